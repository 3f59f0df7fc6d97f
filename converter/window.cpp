// The converter's window: the one place on this desktop that carries the converter's menu bar and
// takes dropped files. It says what to do, hands every dropped file to the shell's request queue
// (so a drop goes the way of an open request), and closing it quits the program.
#include "converter/app.h"
#include "foundation/localized.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

int32_t gConverterWindowID = 0;

}  // namespace

VXWindowRecordTag* CreateConverterWindow() {
    if (VXWindowRecordTag* window = ConverterWindow()) return window;
    char title[256];
    VXLoadStringEx(kStrApplicationName, 0, title, sizeof title);
    VXWindowRecordTag* window =
        VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable | kVXFlagNoFullScreen, 0, 0, 0,
                       nullptr, title, kConverterWindowTemplate, nullptr, ConverterWindowEventHandler);
    if (!window) return nullptr;
    gConverterWindowID = window->windowID;
    // The template gives the content and its size; the window then goes where dialogs go.
    VXLoadControls(window, kConverterWindowTemplate, 0, 0, kVXLoadSizeToContainer);
    VXSetItemImageFromResource(window, kConverterWindowIconItem, kConverterIcon, kConverterIconType,
                               0);
    Rect place;
    VXGetWindowPosition(window, &place);
    VXCalcDialogRect(0, kVXPlaceThird, &place);
    VXSetWindowPosition(window, &place);
    VXAllowDroppedFiles(window, true);
    VXShowWindow(window);
    return window;
}

VXWindowRecordTag* ConverterWindow() { return VXGetWindowFromId(gConverterWindowID); }

int32_t ConverterWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    switch (event->kind) {
        case kVXCloseEvent:
            // The window goes with the quit (its procedure closes every window); until then
            // closing it asks for the quit.
            if (vx.terminationInProgress) return 0;
            VXQuitApplication();
            return 1;
        case kVXDroppedFileEvent: {
            // A folder is no version-3.6 document; files are converted as open requests are.
            const auto* path = static_cast<const char*>(event->u.droppedFile.fileSpec);
            if (!event->u.droppedFile.isFolder && path)
                (void)VXPostShellRequestAction(kVXShellOpenFile, path,  // it reports a failure itself
                                               int16_t(event->u.droppedFile.index), int16_t(event->u.droppedFile.count));
            return 1;
        }
        case kVXDestroyEvent:
            if (window->windowID == gConverterWindowID) gConverterWindowID = 0;
            return 0;
        default:
            return 0;
    }
}

}  // namespace plexa
