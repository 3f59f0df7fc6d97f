// Select All (see selectall.h).
#include "app/selectall.h"

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/signals.h"
#include "model/busses.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "symboleditor/symtools.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symwindow.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int16_t kSheetKind = 101, kSymbolEditorKind = 111;
constexpr uint16_t kSymbolEditorSelectTool = 64;

void SelectWires(WireList wires) {
    for (void* w = LLFirst(wires); w; w = LLGetNext(wires, w)) (*static_cast<WireHandle>(w))->flags |= kWireFlagSelected;
}

void SelectTexts(LinkListHeader* texts) {
    for (auto* t = static_cast<TextRecord*>(LLFirst(texts)); t; t = t->link)
        if (!(t->flags & kTextFlagHidden)) t->flags |= kTextFlagSelected;
}

// Every frame, or only those no symbol owns.
void SelectFrames(LinkListHeader* frames, bool freeOnly) {
    for (void* f = LLFirst(frames); f; f = LLGetNext(frames, f)) {
        auto frame = static_cast<TextFrameHandle>(f);
        if (freeOnly && IsTextFrameOwnedBySymbol(frame, nullptr)) continue;
        (*frame)->flags |= kFrameFlagSelected;
    }
}

void InvalWhole(VXWindowRecordTag* window) {
    if (!window) return;
    Rect all{};
    VXGetClientRect(window, &all);
    VXInvalRect(window, &all);
}

}  // namespace

void SelectSheetContents(SheetRecord* sheet) {
    if (!sheet) return;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) s->flags |= kSymbolFlagSelected;
    const bool hiding = (sheet->stored.flags & kSheetFlagHideElements) != 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
        if (!(hiding && (e->flags & kElementHideable))) e->flags |= kElementSelected;
    for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
        SelectWires((*static_cast<SignalHandle>(s))->wires);
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b))
        SelectWires((*static_cast<BussHandle>(b))->wires);
}

void DoSelectAll(int16_t kind, void* document, bool option) {
    if (!document) return;
    if (kind == kSheetKind) {
        auto* sheet = static_cast<SheetRecord*>(document);
        SetupFlashingSignal(sheet, nullptr, nullptr);
        if (sheet->selectedTool != kDrawToolSelect) SetDrawingTool(sheet, kDrawToolSelect);
        ClearDrawingSelection(sheet);
        if (!option) {
            SelectSheetContents(sheet);
            SelectFrames(sheet->textFrameList, true);
        } else {
            SelectTexts(sheet->textList);
            SelectFrames(sheet->textFrameList, false);
        }
        RetakeSheetSelectedItems(sheet);
        BuildDrawingSelectRgn(sheet);
        CalcSheetSelection(sheet, nullptr);
        InvalWhole(sheet->window);
    } else if (kind == kSymbolEditorKind) {
        auto* editor = static_cast<SymbolEditorRecord*>(document);
        if (editor->tool != kSymbolEditorSelectTool) SetSymbolEditorTool(editor, kSymbolEditorSelectTool);
        ClearSymbolEditorSelection(editor);
        if (!option) {
            for (auto* e = static_cast<ElementRecord*>(LLFirst(editor->elements)); e; e = e->next) e->flags |= kElementSelected;
        } else {
            SelectTexts(editor->texts);
        }
        SelectFrames(editor->frames, false);
        PrepSymbolEditorSelection(editor);
        InvalWhole(editor->window);
    }
}

}  // namespace plexa
