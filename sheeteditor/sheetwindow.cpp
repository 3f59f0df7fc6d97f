// The sheet windows: finding them and their sheets, invalidating them; see sheetwindow.h.
#include "sheeteditor/sheetwindow.h"

#include <vector>

#include "foundation/assert.h"
#include "foundation/geometry.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "symboleditor/filesympins.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

SheetWindowHooks gHooks;

// The sheet of a window of the sheet's, or null.
SheetRecord* SheetOf(VXWindowRecordTag* window) {
    return window ? SheetOfWindow(window) : nullptr;
}

}  // namespace

void SetSheetWindowHooks(const SheetWindowHooks& hooks) { gHooks = hooks; }
const SheetWindowHooks& GetSheetWindowHooks() { return gHooks; }

SheetRecord* SheetOfWindow(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top || top->typeID != kSheetWindowKind) return nullptr;
    auto* sheet = static_cast<SheetRecord*>(top->refCon);
    // A sheet window points at its sheet only while the sheet points back at the window, or
    // while the window is still being made (its create and size events come before the sheet
    // takes it).
    PLEXA_ASSERT(!sheet || !sheet->window || sheet->window == top || sheet->toolPalette == top ||
                 sheet->topToolBar == top);
    return sheet;
}

std::vector<SheetRecord*> SheetWindowSheets(bool visible) {
    std::vector<SheetRecord*> sheets;
    const auto add = [&](VXWindowRecordTag* window) {
        if (window->typeID != kSheetWindowKind) return;
        if (SheetRecord* sheet = SheetOfWindow(window)) sheets.push_back(sheet);
    };
    if (visible) {
        for (VXWindowRecordTag* window = VXGetNextVisibleWindow(nullptr, 8, false); window;
             window = VXGetNextVisibleWindow(window, 8, false))
            add(window);
    } else {
        for (VXWindowRecordTag* window : VXTopLevelWindows())
            if (!VXIsWindowVisible(window, false)) add(window);
    }
    return sheets;
}

bool SheetWindowPlace(SheetRecord* sheet, Rect* position, Rect* view) {
    if (!sheet || !sheet->window) return false;
    VXGetWindowPosition(sheet->window, position);
    VXGetViewRect(sheet->window, view);
    return true;
}

void HideShowRulers(VXWindowRecordTag* window, bool show) {
    if (!window) return;
    if (window->typeID == kSheetWindowKind) {
        if (SheetRecord* sheet = SheetOf(window)) sheet->view.showRulers = show ? 1 : 0;
    } else if (window->typeID == kSymbolEditorWindowKind) {
        if (SymbolEditorRecord* editor = WindowToSymbolEditor(window)) editor->rulers = show;
    } else {
        return;
    }
    const int32_t size = show ? kRulerSize : 0;
    VXSetAltSize(window, size, size);
}

void UpdateSheetOwnedWindowNames(SheetRecord* sheet) {
    if (!sheet) return;
    UpdateFileSymbolEditorTitles(sheet);
    if (sheet->logWindow && gHooks.updateLogWindowTitle) gHooks.updateLogWindowTitle(sheet->logWindow);
}

void InvalSheetWindowArea(SheetRecord* sheet, const Rect* area) {
    if (!sheet || !area || !sheet->window || VXEmptyRect(area)) return;
    const auto grow = int16_t(2 + CalcModiferBoxSize(&sheet->window->graf.geometry));
    Rect grown = *area;
    VXInsetRect(&grown, int16_t(-grow), int16_t(-grow));
    VXInvalRect(sheet->window, &grown);
}

void RedrawSheetWindow(SheetRecord* sheet) {
    if (sheet && sheet->window) VXInvalidateHierarchy(sheet->window);
}

VXWindowRecordTag* FrontSheetWindow() {
    const std::vector<VXWindowRecordTag*> windows = VXTopLevelWindows();
    if (windows.empty() || windows.front()->typeID != kSheetWindowKind) return nullptr;
    return windows.front();
}

SheetRecord* GetFrontSheet(bool frontOnly) {
    for (VXWindowRecordTag* w : VXTopLevelWindows()) {
        if (!VXIsWindowVisible(w, false)) continue;
        if (w->typeID == kSheetWindowKind) return SheetOfWindow(w);
        if (frontOnly) return nullptr;
    }
    return nullptr;
}

SheetWindowScope::SheetWindowScope(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = VXSetWindow(window);
    previousId_ = previous ? previous->windowID : 0;
}

SheetWindowScope::~SheetWindowScope() {
    // The window current before may have gone while the mouse was followed.
    if (VXWindowRecordTag* previous = previousId_ ? VXGetWindowFromId(previousId_) : nullptr)
        VXSetWindow(previous);
}

}  // namespace plexa
