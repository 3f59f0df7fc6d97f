// The library browser's record; see libbrowserrecord.h.
#include "sheeteditor/libbrowserrecord.h"

#include "model/sheet.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

void InvalWindow(VXWindowRecordTag* window) {
    if (!window) return;
    Rect r;
    VXGetClientRect(window, &r);
    VXInvalRect(window, &r);
}

}  // namespace

LibBrowserRecord* SheetLibraryPane(VXWindowRecordTag* window) {
    SheetRecord* sheet = SheetOfWindow(window);
    return sheet ? sheet->libraryPane : nullptr;
}

void ClearBrowserKeyText(LibBrowserRecord* browser) {
    if (!browser || !browser->keyText[0]) return;
    browser->keyText[0] = 0;
    if (browser->keyTimer) VXSetTimerNextFires(browser->keyTimer, 0xFFFFFFFF);
    if (browser->keyWindow) InvalWindow(browser->keyWindow == browser->fileList ? browser->fileCaption : browser->itemCaption);
    browser->keyWindow = nullptr;
}

}  // namespace plexa
