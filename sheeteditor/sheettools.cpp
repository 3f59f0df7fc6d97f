// The drawing tools of a sheet window; see sheettools.h.
#include "sheeteditor/sheettools.h"

#include <cstdio>
#include <cstring>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "files/sheetstore.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "sheeteditor/elementtools.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

const SheetToolsHooks& Hooks() { return GetSheetToolsHooks(); }

constexpr int32_t kArrowCursor = 0x7FFFFF00, kIBeamCursor = 0x7FFFFF01, kCrossCursor = 0x7FFFFF02;

// The shortcut group of a shortcut tool, -1 for any other tool.
int32_t ShortcutGroup(uint16_t tool) {
    switch (tool) {
        case kDrawToolPowerShortcuts: return 0;
        case kDrawToolPortShortcuts: return 1;
        case kDrawToolComponentShortcuts: return 2;
        default: return -1;
    }
}

}  // namespace

void SetDrawingTool(SheetRecord* sheet, uint16_t tool) {
    if (!sheet) return;
    if (sheet->window) VXSetWindow(sheet->window);
    CloseTrackingOverlay();
    SetupFlashingSignal(sheet, nullptr, nullptr);
    ClearBreakoutSequence(sheet);
    DestroyDrawingTE(sheet);
    const bool changes = tool != sheet->selectedTool;
    CancelWireCreation(sheet);
    CancelZoomMode(sheet->window);
    ClearDrawingSelection(sheet);
    FinishCreateSheetPoly(sheet, tool == kDrawToolSelect);
    if (changes) {
        if (VXWindowRecordTag* bar = GetDrawingToolsWindow(sheet, sheet->selectedTool))
            VXSetButtonState(bar, int16_t(sheet->selectedTool), 0);
        if (VXWindowRecordTag* bar = GetDrawingToolsWindow(sheet, tool))
            VXSetButtonState(bar, int16_t(tool), 1);
        sheet->selectedTool = tool;
        SetDrawViewCursor(sheet);
    }
    CalcSheetIdleInterval(sheet);
}

void SetDrawViewCursor(SheetRecord* sheet) {
    if (!sheet || !sheet->window) return;
    int32_t cursor = kCrossCursor;
    if (sheet->zoomMode) {
        cursor = kZoomCursor;
    } else {
        switch (sheet->selectedTool) {
            case kDrawToolSelect: cursor = kArrowCursor; break;
            case kDrawToolText: cursor = kIBeamCursor; break;
            case kDrawToolVoltageLabel: cursor = kVoltageLabelCursor; break;
            case kDrawToolGraphSignals: cursor = kGraphSignalsCursor; break;
            default: break;
        }
    }
    VXSetWindowCursor(sheet->window, cursor);
}

void SetDrawViewFocus(SheetRecord* sheet) {
    if (sheet && sheet->window) VXSetFocusWindow(sheet->window, true);
}

void CancelZoomMode(VXWindowRecordTag* window) {
    if (!window) return;
    if (window->typeID == kSymbolEditorWindowKind) {
        if (Hooks().cancelSymbolEditorZoom) Hooks().cancelSymbolEditorZoom(window);
        return;
    }
    if (window->typeID != kSheetWindowKind) return;
    auto* sheet = static_cast<SheetRecord*>(window->refCon);
    if (!sheet || !sheet->zoomMode) return;
    sheet->zoomMode = 0;
    if (sheet->topToolBar) VXSetButtonState(sheet->topToolBar, kTopToolZoomArea, 0);
    SetDrawViewCursor(sheet);
}

void CreateSheetPolyClick(SheetRecord* sheet, Point point) {
    if (!AddSheetPolyClick(sheet, point)) return;
    SheetWindowScope scope(sheet->window);
    SetDrawingTool(sheet, kDrawToolSelect);
    FinishCreateSheetPoly(sheet, true);
}

void TransformSelection(SheetRecord* sheet, int32_t transformation) {
    if (!sheet) return;
    if (sheet->selectedTool == kDrawToolLibraryPart) {
        gPlaceTransformation = VXTransformTransformation(gPlaceTransformation, transformation);
        InvalidateMouseTrackingImage(sheet);
        return;
    }
    int32_t symbols = 0, texts = 0, frames = 0, elements = 0;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next)
        symbols += (symbol->flags & kSymbolFlagSelected) != 0;
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link)
        texts += (text->flags & kTextFlagSelected) != 0;
    for (auto frame = static_cast<TextFrameHandle>(LLFirst(sheet->textFrameList)); frame;
         frame = static_cast<TextFrameHandle>(LLGetNext(sheet->textFrameList, frame)))
        frames += ((*frame)->flags & kFrameFlagSelected) != 0;
    for (auto* element = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); element;
         element = element->next)
        elements += (element->flags & kElementSelected) != 0;
    if (symbols + texts + frames + elements == 0) return;
    SetSheetModifiedStatus(sheet, kSheetReasonForgetUndo | kSheetReasonDrawing);
    TransformDrawingSelection(sheet, Point{-32768, -32768}, transformation);
}

VXWindowRecordTag* GetDrawingToolsWindow(SheetRecord* sheet, uint16_t tool) {
    if (!sheet) return nullptr;
    if (tool == kDrawToolVoltageLabel || tool == kDrawToolRunAnalysis || tool == kDrawToolGraphSignals)
        return sheet->simulatorTools;
    return sheet->toolPalette;
}

bool NeedActivateInval(VXWindowRecordTag* window, const VXEventRecord* event) {
    if (!window || !event) return false;
    if (event->u.activate.activated) return (window->status() & kVXStatusControlsInactive) != 0;
    if (VXIsModalWindowActive()) return false;
    VXWindowRecordTag* top = VXGetTopParent(window);
    const bool inSheet = top && top->typeID == kSheetWindowKind;
    return !(inSheet && Hooks().searchWindowActive && Hooks().searchWindowActive());
}

void BuildParentChainList(SheetRecord* sheet) {
    VXWindowRecordTag* bar = sheet ? sheet->topToolBar : nullptr;
    if (!bar) return;
    VXSetItemVisible(bar, kTopToolProjectContext, false);
    VXRemoveListItem(bar, kTopToolProjectContext, 0, -1);
    SheetNode* node = sheet->project && sheet->hierarchyContext
                          ? GetSheetNodeWithInstance(sheet->project, sheet->hierarchyContext)
                          : nullptr;
    if (node) {
        for (; node; node = GetSheetNodeParent(node)) {
            char name[256];
            GetSheetNodeName(sheet->project, node, name, sizeof name);
            VXAddListItem(bar, kTopToolProjectContext, name, -1);
        }
        char name[kFileSpecNameCapacity];
        GetFileSpecName(&sheet->project->file.spec, name, sizeof name);
        RemoveExtension(kProjectExtension, name);
        VXAddListItem(bar, kTopToolProjectContext, name, -1);
        VXSelectListItem(bar, kTopToolProjectContext, VXCountListItems(bar, kTopToolProjectContext) - 1, true);
        VXSetItemEnabled(bar, kTopToolProjectContext, true);
    } else {
        VXAddListItem(bar, kTopToolProjectContext, "No Project Context", -1);
        VXSelectListItem(bar, kTopToolProjectContext, 0, true);
        VXSetItemEnabled(bar, kTopToolProjectContext, false);
    }
    VXSetItemVisible(bar, kTopToolProjectContext, true);
}

VXMenuRecord* BuildShortcutMenu(uint16_t tool) {
    VXMenuRecord* menu = VXNewMenu(kShortcutMenuId, "x");
    if (!menu) return nullptr;
    const int32_t group = ShortcutGroup(tool);
    int32_t count = group >= 0 && Hooks().shortcutCount ? Hooks().shortcutCount(group) : 0;
    if (count > kShortcutMenuLimit) count = kShortcutMenuLimit;
    for (int32_t n = 0; n < count; ++n) {
        char name[256] = "";
        if (Hooks().shortcutName) Hooks().shortcutName(group, n, name, sizeof name);
        VXInsertMenuItem(menu, true, n + 1, uint16_t(kFirstShortcutCommand + n), name);
    }
    if (count <= 0) {
        VXInsertMenuItem(menu, true, 1, kFirstShortcutCommand, "Empty");
        VXSetMenuItemEnabled(menu, true, 1, false);
    }
    return menu;
}

}  // namespace plexa
