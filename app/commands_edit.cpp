// The Edit menu: undo, the clipboard commands, select all, the stacking order, the sheet's file
// symbols, the library item of a symbol, and the settings dialogs; each command's rule for the
// front document and its action.
#include "app/clipscrap.h"
#include "app/shell.h"
#include "app/selectall.h"

#include <cstring>

#include "graphics/textedit.h"
#include "foundation/ll.h"
#include "model/clipattributes.h"
#include "model/elements.h"
#include "model/selectionsummary.h"
#include "model/sheet.h"
#include "model/texts.h"
#include "model/symbols.h"
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/elementtools.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/projectwindow.h"
#include "files/filesymbols.h"
#include "files/hierarchy.h"
#include "files/sheetstore.h"
#include "files/project.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetpaste.h"
#include "sheeteditor/sheetsettings.h"
#include "sheeteditor/sheetsymbolui.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/propertynames.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/wiretracking.h"
#include "symboleditor/filesympins.h"
#include "symboleditor/symclip.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symtools.h"
#include "symboleditor/symundo.h"
#include "platform/input_platform.h"
#include "symboleditor/symwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint16_t kSheetTextTool = 2007;
constexpr uint16_t kSymbolEditorTextTool = 128;
constexpr uint32_t kNoLibrarySource = 0xFFFFFFFF;

// The text being edited in the front document when its tool is the text tool, else none.
VXTERecord* EditedText(const FrontDocument& front) {
    if (front.sheet && front.sheet->selectedTool == kSheetTextTool)
        return static_cast<VXTERecord*>(front.sheet->drawingTE);
    if (front.editor && front.editor->tool == kSymbolEditorTextTool) return front.editor->textEdit;
    return nullptr;
}

bool HasTextSelection(const VXTERecord* te) { return te && te->selStart != te->selEnd; }

// The focused edit field's selection, when a field has the focus.
bool FocusedFieldSelection(const VXPrepCommandRecord* r, bool* selection) {
    *selection = false;
    return r->focusedControl && gVXCommandHooks.isEditText &&
           gVXCommandHooks.isEditText(r->window, r->focusedControl, selection);
}

// The single selected symbol that comes from a library: neither a sheet symbol nor a file symbol,
// with a library source.
SymbolRecord* SelectedLibrarySymbol() {
    auto* symbol = static_cast<SymbolRecord*>(FrontSelection().symbol);
    if (!symbol || (symbol->flags & (kSymbolFlagSheet | kSymbolFlagFileSymbol))) return nullptr;
    return symbol->libraryName != 0 && symbol->libraryName != kNoLibrarySource ? symbol : nullptr;
}

// The stacking-order commands: a sheet with graphic elements selected, or a symbol editor with
// exactly one element and no text selected.
bool StackingOrderRule(const FrontDocument& front) {
    const auto selected = [](LinkListHeader* list, int32_t* count) {
        for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next)
            if (e->flags & kElementSelected) ++*count;
    };
    int32_t count = 0;
    if (front.sheet) {
        selected(front.sheet->elementList, &count);
        return count > 0;
    }
    if (!front.editor || !front.editor->elements) return false;
    selected(front.editor->elements, &count);
    for (auto* t = static_cast<TextRecord*>(LLFirst(front.editor->texts)); t; t = t->link)
        if (t->flags & kTextFlagSelected) return false;
    return count == 1;
}

// Cut, Copy, Clear and Duplicate.
// Something of the symbol editor's drawing is selected.
bool SymbolEditorHasSelection(SymbolEditorRecord* editor) {
    if (editor->currentTab != kSymEditTabDrawing) return false;
    int32_t elements = 0, texts = 0, frames = 0;
    CountSymbolEditorSelection(editor, &elements, nullptr, &texts, nullptr, &frames, nullptr);
    return elements + texts + frames > 0;
}

// The sheets' clip holds objects a paste can use (a clip of wires alone cannot be pasted).
bool SheetClipHoldsItems() {
    return CurrClip && CurrClip->content && CurrClip->hasContent && (CurrClip->flags & kClipHasObjects) &&
           !(CurrClip->flags & kClipCutUndone);
}

// Cut, Copy, Paste, Clear and Duplicate in the symbol editor's drawing.
int32_t DoSymbolEditorEditCommand(SymbolEditorRecord* editor, uint16_t id) {
    if (editor->currentTab != kSymEditTabDrawing) return 0;
    switch (id) {
        case 302:
        case 303:
            // The one private clip: the sheets' clip is emptied.
            Kill_Clipboard();
            if (id == 302) CutSymbolEditorSelection(editor);
            else (void)CopySymbolEditorSelection(editor);
            ResetScrap(kScrapPrivateClip);
            (void)PrivateClipToScrap();
            break;
        case 304:
            // A sheet's clip is turned into the editor's drawing once, on its first paste here.
            if (SheetClipHoldsItems() && !SymbolClipIsFromSheetClip(CurrClip->clipId))
                ConvertSheetClipToSymbolClip(CurrClip->content,
                                             {CurrClip->clipId, CurrClip->bounds, CurrClip->pastePoint, CurrClip->resolution,
                                              (CurrClip->flags & kClipFromCut) != 0, (CurrClip->flags & kClipPasted) != 0});
            PasteIntoSymbolEditor(editor, kSymUndoPaste);
            break;
        case 305:
            // In the parts tree Clear deletes its selected part.
            if (PartsTreeHasFocus(editor)) (void)DeleteSelectedPart(editor);
            else DeleteSymbolEditorSelection(editor, false, kSymUndoDelete);
            break;
        case 311: DuplicateSymbolEditorSelection(editor); break;
        default: return 0;
    }
    return 1;
}

bool SelectionRule(const VXPrepCommandRecord* r, const FrontDocument& front) {
    const uint16_t id = r->command;
    bool fieldSelection = false;
    if (front.modal) return id != 311 && FocusedFieldSelection(r, &fieldSelection) && fieldSelection;
    if (VXTERecord* te = EditedText(front)) return id != 311 && HasTextSelection(te);
    // Signal wires alone can be cleared, not cut, copied or duplicated.
    if (front.sheet) return SheetHasSelection(front.sheet) || (id == 305 && SheetHasSelection(front.sheet, true));
    if (front.editor) {
        if (FocusedFieldSelection(r, &fieldSelection)) return id != 311 && fieldSelection;
        if (id == 305 && PartsTreeHasFocus(front.editor)) return true;
        return SymbolEditorHasSelection(front.editor);
    }
    // The project window removes its selected rows.
    if (front.kind == kProjectKind) return id == 305 && CountSelectedProjectRows(front.project) > 0;
    return false;
}

// Copied attributes paste onto a sheet's selection: a component's attributes onto selected
// symbols, a signal's onto selected wires.
bool ClipAttributesFitSheetSelection() {
    if (gClipAttrKind == kComponentNames) return FrontSelection().symbolCount > 0;
    if (gClipAttrKind == kSignalNames) return FrontSelection().signals > 0;
    return false;
}

bool FileSymbolEditor(const FrontDocument& front) {
    return front.editor && (front.editor->state & kSymEditFileSymbol) && front.editor->sheet;
}

// A file symbol's editor asked for from the menu: a full list is told here (a failing read was
// told where it failed), an entry the sheet no longer has beeps.
void OpenFileSymbolEditorFromMenu(SheetRecord* sheet, int32_t index) {
    const OSStatus st = OpenSheetFileSymbolEditor(sheet, nullptr, index, true, nullptr);
    if (st == kFileSymbolListFull) SchError(st);
    else if (st == status::kNotFound) VXBeep();
}

}  // namespace

void PrepEditCommand(VXPrepCommandRecord* r, const FrontDocument& front) {
    const uint16_t id = r->command;
    // The undone Cut of the private clip disables its paste.
    gCurrClipFlags = (CurrClip->flags & kClipCutUndone) ? kClipFlagReported : 0;
    switch (id) {
    case 300: r->enabled = 1; break;
    case 301: {
        r->enabled = 0;
        if (front.editor && !front.modal) {
            // The symbol editor's one level of undo.
            char text[64];
            GetSymbolEditorUndoMenuText(front.editor, text, sizeof text);
            if (text[0]) {
                r->enabled = 1;
                std::strncpy(r->title, text, 255);
            }
            break;
        }
        if (!front.sheet || front.modal || EditedText(front)) break;
        const UndoRecord* record = GetSheetUndoRecord(front.sheet);
        // A Cut waiting to be redone whose clip has been replaced can no longer be redone.
        if (record && record->actionKind == kUndoActionCut && record->redo && CurrClip->clipId != record->clipId) {
            ClearSheetUndoAction(front.sheet);
            record = GetSheetUndoRecord(front.sheet);
        }
        r->enabled = record && record->actionKind != kUndoActionNone;
        if (r->enabled && r->title) GetUndoMenuItemText(record, r->title);
        break;
    }
    case 302:
    case 303:
    case 305:
    case 311: r->enabled = SelectionRule(r, front); break;
    case 304: {
        const int16_t kind = GetScrapType();
        bool selection = false;
        if (front.modal) r->enabled = FocusedFieldSelection(r, &selection) && (kind == kScrapForeign || kind == kScrapText);
        else if (EditedText(front)) r->enabled = kind == kScrapForeign || kind == kScrapText;
        // With another application's content the command takes note of it; the private clip
        // pastes into a sheet when a sheet filled it, into a symbol editor's drawing when a symbol
        // editor did.
        else if (front.sheet)
            r->enabled = kind == kScrapForeign || (kind == kScrapPrivateClip && CurrClip->hasContent) ||
                         (kind == kScrapAttributes && AttributeClipIsCurrent() && ClipAttributesFitSheetSelection());
        else if (front.editor)
            r->enabled = kind == kScrapForeign ||
                         (kind == kScrapPrivateClip && (SymbolClipHoldsItems() || SheetClipHoldsItems()) &&
                          front.editor->currentTab == kSymEditTabDrawing);
        else r->enabled = 0;
        break;
    }
    case 306: {
        // A sheet selects its items unless a part is being placed or a wire drawn; a symbol
        // editor its drawing's unless the pin tool is on or one of its fields or its parts list
        // has the focus; the project window its rows; a dialog in front the text of its field
        // that has the keys (the toolkit's own command).
        bool selection = false;
        if (front.modal)
            r->enabled = FocusedFieldSelection(r, &selection);
        else if (front.sheet)
            r->enabled = front.sheet->selectedTool != kDrawToolLibraryPart && !IsWireCreationInProgress();
        else if (front.editor)
            r->enabled = front.editor->tool != kSymEditToolPin && !FocusedFieldSelection(r, &selection) &&
                         !PartsTreeHasFocus(front.editor);
        else
            r->enabled = front.kind == kProjectKind && front.project && front.project->hierarchy &&
                         front.project->hierarchy->first;
        break;
    }
    case 312:
    case 313:
    case 314:
    case 315:
        r->enabled = !front.modal && StackingOrderRule(front);
        break;
    case 1500:
    case 1598:
    case 1599:
        r->enabled = !front.modal && (front.sheet || FileSymbolEditor(front));
        if (id == 1500 && r->enabled && r->itemIndex == 0) BuildFileSymbolsMenu(FrontSheetOf(front));
        // There is nothing to delete on a sheet without file symbols.
        if (id == 1599 && r->enabled) r->enabled = CountFileSymbols(FrontSheetOf(front)) > 0;
        break;
    case 316: r->enabled = FileSymbolEditor(front); break;
    case 317: r->enabled = front.sheet && SelectedLibrarySymbol(); break;
    case 318: r->enabled = front.sheet && !front.modal; break;
    case 319: r->enabled = front.project || (front.sheet && front.sheet->project); break;
    default:
        if (id >= 1501 && id <= 1597) r->enabled = !front.modal && (front.sheet || FileSymbolEditor(front));
        break;
    }
}

int32_t DoEditCommand(uint16_t id, const FrontDocument& front, bool fromKey, bool shift) {
    (void)fromKey;
    VXTERecord* te = EditedText(front);
    if (front.sheet && !te && !front.modal) {
        SheetRecord* sheet = front.sheet;
        switch (id) {
        case 301: UndoSheetAction(sheet); return 1;
        case 302:
        case 303:
            KillSymbolEditorClip(false);  // the one private clip is the sheet's now
            if (id == 302) CutSheetSelection(sheet, shift);
            else CopySheetSelection(sheet, shift);
            ResetScrap(kScrapPrivateClip);
            (void)PrivateClipToScrap();
            return 1;
        case 304: {
            const int16_t kind = GetScrapType();
            if (kind == kScrapPrivateClip) PasteIntoSheet(sheet);
            else if (kind == kScrapForeign) RecordCurrentScrapRef();
            // Copied attributes of a component go onto the selected symbols, a signal's onto the
            // signals of the selected wires; no undo is kept of it.
            else if (kind == kScrapAttributes && AttributeClipIsCurrent() && ClipAttributesFitSheetSelection()) {
                bool changed = true;
                if (gClipAttrKind == kComponentNames) ApplyClipAttributesToSymbols(sheet);
                else changed = ApplyClipAttributesToSignals(sheet);
                if (changed) SetSheetModifiedStatus(sheet, kSheetReasonContent | kSheetReasonForgetUndo);
            }
            return 1;
        }
        case 305: (void)DeleteSheetSelection(sheet, kUndoActionDelete, true, shift); return 1;  // No leaves all as it was
        case 311: DuplicateSheetSelection(sheet, shift); return 1;
        default: break;
        }
    }
    switch (id) {
    case 301:
        if (!front.editor || !GetSymbolEditorUndoKind(front.editor)) return 0;
        UndoSymbolEditorAction(front.editor);
        return 1;
    case 302:
    case 303:
    case 305:
    case 311:
        if (!te && front.editor) return DoSymbolEditorEditCommand(front.editor, id);
        if (!te || id == 311) return 0;
        if (id == 305) {
            VXTEDelete(te);
            return 1;
        }
        ResetScrap(kScrapText);
        if (id == 302) VXTECut(te);
        else VXTECopy(te);
        VXTEToScrap();
        RecordCurrentScrapRef();
        return 1;
    case 304:
        if (te) {
            VXTEPaste(te);
            return 1;
        }
        if (front.editor && GetScrapType() == kScrapPrivateClip && (SymbolClipHoldsItems() || SheetClipHoldsItems()))
            return DoSymbolEditorEditCommand(front.editor, id);
        if (!front.sheet && !front.editor) return 0;
        if (GetScrapType() == kScrapForeign) RecordCurrentScrapRef();
        return 1;
    case 306:
        if (te) {
            VXTESetSelect(0, int32_t(te->length), te);
            return 1;
        }
        if (front.sheet) DoSelectAll(kSheetKind, front.sheet, VXTestKey(kPlatformKeyOption));
        else if (front.editor) DoSelectAll(kSymbolEditorKind, front.editor, VXTestKey(kPlatformKeyOption));
        else return 0;
        return 1;
    case 312:
    case 313:
    case 314:
    case 315:
        if (front.sheet) (void)ChangeSheetElementOrder(front.sheet, id);  // no change: nothing to do
        else if (front.editor) (void)ChangeLibElementOrder(front.editor, id);
        else return 0;
        return 1;
    case 316:
        if (!FileSymbolEditor(front)) return 0;
        VXDisplayMessage(UpdateFileSymbolPinsFromSheet(front.editor)
                             ? "The symbol is now synchronized with the ports in the sheet."
                             : "No changes were required.");
        return 1;
    case 317:
        if (!front.sheet) return 0;
        if (SymbolRecord* symbol = SelectedLibrarySymbol()) OpenSymbolSourceItem(front.sheet, symbol);
        return 1;
    case 318:
        if (!front.sheet) return 0;
        EditSheetSettings(front.sheet);
        return 1;
    case 319:
        // Confirmed settings go into the project file at once, as the project window's command does.
        if (ProjectRecord* project = FrontProject(front))
            if (EditProjectSettings(project, false)) SchError(WriteProjectSettings(project, true));
        return 1;
    case 1598:
        if (SheetRecord* sheet = FrontSheetOf(front)) OpenFileSymbolEditorFromMenu(sheet, -1);
        return 1;
    case 1599:
        if (SheetRecord* sheet = FrontSheetOf(front)) AskDeleteSheetSymbolDefintions(sheet);
        return 1;
    default:
        if (id >= 1501 && id <= 1597) {
            if (SheetRecord* sheet = FrontSheetOf(front)) OpenFileSymbolEditorFromMenu(sheet, id - 1501);
            return 1;
        }
        return 0;
    }
}

}  // namespace plexa
