// The private clip's picture on the system clipboard (see clipscrap.h).
#include "app/clipscrap.h"

#include <string>

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/pixels.h"
#include "app/shell.h"
#include "sheeteditor/sheetclip.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// The margin of blank ground around the items.
constexpr int16_t kPictureMargin = 16;

}  // namespace

int32_t PrivateClipToScrap() {
    VXWindowRecordTag* previous = VXSetWindow(nullptr);
    if (VXWindowRecordTag* window = VXCreateOffScreenWindow(nullptr, 0, nullptr)) {
        Rect bounds{};
        DrawClipboardContent(true, &bounds);
        if (!VXEmptyRect(&bounds)) {
            VXInsetRect(&bounds, -kPictureMargin, -kPictureMargin);
            VXSetOrigin(&window->graf, bounds.left, bounds.top);
            if (VXPixels* image = VXCreateEmptyPixelImage(bounds.right - bounds.left, bounds.bottom - bounds.top, 1)) {
                (void)VXSetWindowImage(&window->graf, image);
                VXSetWindow(window);
                DrawClipboardContent(false, &bounds);
                VXFlushGraphics(&window->graf);
                const std::string text = ClipPlainText();
                VXWriteImageToClipboard(image, text.empty() ? nullptr : text.c_str());
                (void)VXSetWindowImage(&window->graf, nullptr);
                VXDestroyPixelImage(image);
            }
        }
        VXDestroyWindow(window);
    }
    VXSetWindow(previous);
    RecordCurrentScrapRef();
    return 0;
}

}  // namespace plexa
