// The sheet windows: the sheet of a window, the sheets of the open windows, the front sheet, a
// window's place, the rulers, invalidating a window's area and retitling the windows a sheet owns;
// and the hooks the sheet window asks of the symbol editor and the application shell. Making a
// sheet's window, binding a sheet record to it and its event handler are
// sheeteditor/drawingwindow.h, which sits above the editor's tools; this module sits below them,
// so that every tool may find its window here.
//
// The stored window state (SheetWindowState) is the sheet file's: files/sheetfile.h.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct LogWindowRecord;
struct Rect;
struct SheetRecord;
struct SheetWindowState;
struct VXEventRecord;
struct VXWindowRecordTag;

// Bit 0 of SheetWindowState::toolsExpanded.
constexpr uint16_t kSheetWindowStateTopToolsExpanded = 0x1;

// Creation flags of a sheet window: resizable, minimizable, closable, both scroll bars.
constexpr uint32_t kSheetWindowFlags = 55;
constexpr uint16_t kSheetWindowTemplate = 1001;
constexpr int16_t kTopToolBarCollapsed = 37;
constexpr int16_t kTopToolBarExpanded = 110;
constexpr int16_t kToolPaletteWidth = 37;
constexpr int16_t kRulerSize = 14;
// The document type a sheet window stands for.
constexpr const char* kSheetDocumentType = "com.orvix.plexa.drawing";

struct SheetWindows {
    VXWindowRecordTag* window;
    VXWindowRecordTag* toolPalette;
    VXWindowRecordTag* topToolBar;
};

// What the sheet window needs of the application shell, installed by it.
// Without a hook the call does nothing.
struct SheetWindowHooks {
    // Retitles the sheet's log window.
    void (*updateLogWindowTitle)(LogWindowRecord* log) = nullptr;
    // Destroys the sheet's log window, with the sheet that goes. Default: nothing (no log window
    // was made).
    void (*destroyLog)(LogWindowRecord* log) = nullptr;
    // A close request on the sheet window: closes it (asking to save a modified sheet), or keeps
    // it when the person cancels. Without it the window goes and the sheet stays loaded.
    void (*closeSheetWindow)(VXWindowRecordTag* window) = nullptr;
    // The sheet window came to the front: the application puts up the sheets' menu bar.
    // Default: nothing.
    void (*activated)(VXWindowRecordTag* window) = nullptr;
    // The person chose not to save the sheet's changes: the log rows of the symbols placed since
    // it was loaded go. Default: nothing.
    void (*changesDiscarded)(SheetRecord* sheet) = nullptr;
    // A wheel turn or a pinch over the sheet: 1 when the application zoomed with it (a pinch, or
    // the wheel with Ctrl), else the wheel scrolls. Default: it scrolls.
    int32_t (*zoomGesture)(VXWindowRecordTag* window, const VXEventRecord* event) = nullptr;
};
void SetSheetWindowHooks(const SheetWindowHooks& hooks);
const SheetWindowHooks& GetSheetWindowHooks();

// What the files layer asks of the sheet windows (its SheetLoadHooks::openSheets and
// SheetSaveHooks::windowPlace): the sheets of the visible sheet windows front to back, else those
// of the sheet windows not shown; the position of a sheet's window and its view rectangle (false
// without a window).
std::vector<SheetRecord*> SheetWindowSheets(bool visible);
// The sheet of the sheet window that is the window's top parent, or null (the model's
// ModelHooks::windowSheet).
SheetRecord* SheetOfWindow(VXWindowRecordTag* window);
bool SheetWindowPlace(SheetRecord* sheet, Rect* position, Rect* view);

// Shows or hides the rulers of a sheet or symbol-editor window; other windows are left alone.
void HideShowRulers(VXWindowRecordTag* window, bool show);
// Retitles the windows the sheet owns after its file name changed.
void UpdateSheetOwnedWindowNames(SheetRecord* sheet);
// Invalidates an area of the sheet's window (the model's InvalSheetView), grown by 2 and the size
// of the selection handles so that handles drawn at its edge go with it; nothing for an empty
// area or a sheet without a window.
void InvalSheetWindowArea(SheetRecord* sheet, const Rect* area);
// Redraws the whole of the sheet's window.
void RedrawSheetWindow(SheetRecord* sheet);
// The front window when it is a sheet's, else none.
VXWindowRecordTag* FrontSheetWindow();
// The sheet of the frontmost visible sheet window; with frontOnly only when it is the front window.
SheetRecord* GetFrontSheet(bool frontOnly);

// Makes a window current for the length of a scope; the window current before comes back when
// it is still there.
class SheetWindowScope {
public:
    explicit SheetWindowScope(VXWindowRecordTag* window);
    ~SheetWindowScope();
    SheetWindowScope(const SheetWindowScope&) = delete;
    SheetWindowScope& operator=(const SheetWindowScope&) = delete;

private:
    int32_t previousId_ = 0;
};

}  // namespace plexa
