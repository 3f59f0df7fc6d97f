// The Edit menu's part of the command table: undo, the clipboard commands, select all, the
// stacking order, the sheet's file symbols, the library item of a symbol, and the settings
// dialogs; each command's rule for the front document beside its action.
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
#include "sheeteditor/sheetundoaction.h"
#include "sheeteditor/propertynames.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/wiretracking.h"
#include "symboleditor/filesympins.h"
#include "symboleditor/symclip.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symtools.h"
#include "symboleditor/symundo.h"
#include "symboleditor/symundoreplay.h"
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

// Cut, Copy, Clear and Duplicate: something to act on is selected.
void SelectionRule(VXPrepCommandRecord* r, const FrontDocument& front) {
    const bool clear = r->command == cmd::kClear, duplicate = r->command == cmd::kDuplicate;
    bool fieldSelection = false;
    r->enabled = [&] {
        if (front.modal) return !duplicate && FocusedFieldSelection(r, &fieldSelection) && fieldSelection;
        if (VXTERecord* te = EditedText(front)) return !duplicate && HasTextSelection(te);
        // Signal wires alone can be cleared, not cut, copied or duplicated.
        if (front.sheet) return SheetHasSelection(front.sheet) || (clear && SheetHasSelection(front.sheet, true));
        if (front.editor) {
            if (FocusedFieldSelection(r, &fieldSelection)) return !duplicate && fieldSelection;
            if (clear && PartsTreeHasFocus(front.editor)) return true;
            return SymbolEditorHasSelection(front.editor);
        }
        // The project window removes its selected rows.
        if (front.kind == kProjectKind) return clear && CountSelectedProjectRows(front.project) > 0;
        return false;
    }();
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

namespace {

using Record = VXPrepCommandRecord;
using Front = FrontDocument;
static_assert(cmd::kFirstFileSymbol == kFileSymbolsFirstCommand && cmd::kBringToFront == kCmdBringToFront &&
              cmd::kMoveForward == kCmdMoveForward && cmd::kMoveBack == kCmdMoveBack &&
              cmd::kSendToBack == kCmdSendToBack);

int32_t Done() { return 1; }

// Every rule of the Edit menu first takes note of whether the private clip's Cut was undone (an
// undone Cut disables its paste).
template <CommandRule Rule>
void EditRule(Record* r, const Front& f) {
    gCurrClipFlags = (CurrClip->flags & kClipCutUndone) ? kClipFlagReported : 0;
    Rule(r, f);
}

// A sheet acts on its selection itself unless one of its texts is being edited.
SheetRecord* ActingSheet(const Front& f) { return f.sheet && !EditedText(f) && !f.modal ? f.sheet : nullptr; }

// The private clip was filled: the system clipboard shows it.
int32_t PublishPrivateClip() {
    ResetScrap(kScrapPrivateClip);
    (void)PrivateClipToScrap();
    return Done();
}

// ---- Undo ----

void UndoRule(Record* r, const Front& f) {
    r->enabled = 0;
    if (f.editor && !f.modal) {
        // The symbol editor's one level of undo.
        char text[64];
        GetSymbolEditorUndoMenuText(f.editor, text, sizeof text);
        if (text[0]) {
            r->enabled = 1;
            std::strncpy(r->title, text, 255);
        }
        return;
    }
    if (!f.sheet || f.modal || EditedText(f)) return;
    const UndoRecord* record = GetSheetUndoRecord(f.sheet);
    // A Cut waiting to be redone whose clip has been replaced can no longer be redone.
    if (record && record->actionKind == kUndoActionCut && record->redo && CurrClip->clipId != record->clipId) {
        ClearSheetUndoAction(f.sheet);
        record = GetSheetUndoRecord(f.sheet);
    }
    r->enabled = record && record->actionKind != kUndoActionNone;
    if (r->enabled && r->title) GetUndoMenuItemText(record, r->title);
}

int32_t Undo(const CommandCall& c) {
    if (SheetRecord* sheet = ActingSheet(c.front)) {
        UndoSheetAction(sheet);
        return Done();
    }
    if (!c.front.editor || !GetSymbolEditorUndoKind(c.front.editor)) return 0;
    UndoSymbolEditorAction(c.front.editor);
    return Done();
}

// ---- Cut, Copy, Clear and Duplicate ----

// A text being edited: Cut and Copy through the text clipboard, Clear deletes its selection.
int32_t TextClipCommand(VXTERecord* te, uint16_t id) {
    if (id == cmd::kClear) {
        VXTEDelete(te);
        return Done();
    }
    ResetScrap(kScrapText);
    if (id == cmd::kCut) VXTECut(te);
    else VXTECopy(te);
    VXTEToScrap();
    RecordCurrentScrapRef();
    return Done();
}

int32_t CutOrCopy(const CommandCall& c) {
    const bool cut = c.id == cmd::kCut;
    if (SheetRecord* sheet = ActingSheet(c.front)) {
        KillSymbolEditorClip(false);  // the one private clip is the sheet's now
        if (cut) CutSheetSelection(sheet, c.shift);
        else CopySheetSelection(sheet, c.shift);
        return PublishPrivateClip();
    }
    VXTERecord* te = EditedText(c.front);
    if (te) return TextClipCommand(te, c.id);
    SymbolEditorRecord* editor = c.front.editor;
    if (!editor || editor->currentTab != kSymEditTabDrawing) return 0;
    // The one private clip: the sheets' clip is emptied. A copy that fails leaves the selection
    // where it is, and says why.
    Kill_Clipboard();
    const OSStatus st = cut ? CutSymbolEditorSelection(editor) : CopySymbolEditorSelection(editor);
    if (st != status::kNoErr) {
        SchError(st);
        return Done();
    }
    return PublishPrivateClip();
}

int32_t Clear(const CommandCall& c) {
    if (SheetRecord* sheet = ActingSheet(c.front)) {
        (void)DeleteSheetSelection(sheet, kUndoActionDelete, true, c.shift);  // No leaves all as it was
        return Done();
    }
    if (VXTERecord* te = EditedText(c.front)) return TextClipCommand(te, c.id);
    SymbolEditorRecord* editor = c.front.editor;
    if (!editor || editor->currentTab != kSymEditTabDrawing) return 0;
    // In the parts tree Clear deletes its selected part.
    if (PartsTreeHasFocus(editor)) (void)DeleteSelectedPart(editor);
    else DeleteSymbolEditorSelection(editor, false, kSymUndoDelete);
    return Done();
}

int32_t Duplicate(const CommandCall& c) {
    if (SheetRecord* sheet = ActingSheet(c.front)) {
        DuplicateSheetSelection(sheet, c.shift);
        return Done();
    }
    if (EditedText(c.front)) return 0;
    SymbolEditorRecord* editor = c.front.editor;
    if (!editor || editor->currentTab != kSymEditTabDrawing) return 0;
    DuplicateSymbolEditorSelection(editor);
    return Done();
}

// ---- Paste ----

void PasteRule(Record* r, const Front& f) {
    const int16_t kind = GetScrapType();
    bool selection = false;
    if (f.modal) r->enabled = FocusedFieldSelection(r, &selection) && (kind == kScrapForeign || kind == kScrapText);
    else if (EditedText(f)) r->enabled = kind == kScrapForeign || kind == kScrapText;
    // With another application's content the command takes note of it; the private clip pastes
    // into a sheet when a sheet filled it, into a symbol editor's drawing when a symbol editor did.
    else if (f.sheet)
        r->enabled = kind == kScrapForeign || (kind == kScrapPrivateClip && CurrClip->hasContent) ||
                     (kind == kScrapAttributes && AttributeClipIsCurrent() && ClipAttributesFitSheetSelection());
    else if (f.editor)
        r->enabled = kind == kScrapForeign ||
                     (kind == kScrapPrivateClip && (SymbolClipHoldsItems() || SheetClipHoldsItems()) &&
                      f.editor->currentTab == kSymEditTabDrawing);
    else r->enabled = 0;
}

void PasteIntoSheetFromScrap(SheetRecord* sheet) {
    const int16_t kind = GetScrapType();
    if (kind == kScrapPrivateClip) PasteIntoSheet(sheet);
    else if (kind == kScrapForeign) RecordCurrentScrapRef();
    // Copied attributes of a component go onto the selected symbols, a signal's onto the signals
    // of the selected wires; no undo is kept of it.
    else if (kind == kScrapAttributes && AttributeClipIsCurrent() && ClipAttributesFitSheetSelection()) {
        bool changed = true;
        if (gClipAttrKind == kComponentNames) ApplyClipAttributesToSymbols(sheet);
        else changed = ApplyClipAttributesToSignals(sheet);
        if (changed) SetSheetModifiedStatus(sheet, kSheetReasonContent | kSheetReasonForgetUndo);
    }
}

void PasteIntoSymbolEditorDrawing(SymbolEditorRecord* editor) {
    // A sheet's clip is turned into the editor's drawing once, on its first paste here.
    if (SheetClipHoldsItems() && !SymbolClipIsFromSheetClip(CurrClip->clipId))
        ConvertSheetClipToSymbolClip(CurrClip->content,
                                     {CurrClip->clipId, CurrClip->bounds, CurrClip->pastePoint, CurrClip->resolution,
                                      (CurrClip->flags & kClipFromCut) != 0, (CurrClip->flags & kClipPasted) != 0});
    PasteIntoSymbolEditor(editor, kSymUndoPaste);
}

int32_t Paste(const CommandCall& c) {
    const Front& f = c.front;
    if (SheetRecord* sheet = ActingSheet(f)) {
        PasteIntoSheetFromScrap(sheet);
        return Done();
    }
    if (VXTERecord* te = EditedText(f)) {
        VXTEPaste(te);
        return Done();
    }
    if (f.editor && GetScrapType() == kScrapPrivateClip && (SymbolClipHoldsItems() || SheetClipHoldsItems())) {
        if (f.editor->currentTab != kSymEditTabDrawing) return 0;
        PasteIntoSymbolEditorDrawing(f.editor);
        return Done();
    }
    if (!f.sheet && !f.editor) return 0;
    if (GetScrapType() == kScrapForeign) RecordCurrentScrapRef();
    return Done();
}

// ---- Select All ----

// A sheet selects its items unless a part is being placed or a wire drawn; a symbol editor its
// drawing's unless the pin tool is on or one of its fields or its parts list has the focus; the
// project window its rows; a dialog in front the text of its field that has the keys (the
// toolkit's own command).
void SelectAllRule(Record* r, const Front& f) {
    bool selection = false;
    if (f.modal)
        r->enabled = FocusedFieldSelection(r, &selection);
    else if (f.sheet)
        r->enabled = f.sheet->selectedTool != kDrawToolLibraryPart && !IsWireCreationInProgress();
    else if (f.editor)
        r->enabled = f.editor->tool != kSymEditToolPin && !FocusedFieldSelection(r, &selection) &&
                     !PartsTreeHasFocus(f.editor);
    else
        r->enabled = f.kind == kProjectKind && f.project && f.project->hierarchy && f.project->hierarchy->first;
}

int32_t SelectAll(const CommandCall& c) {
    if (VXTERecord* te = EditedText(c.front)) {
        VXTESetSelect(0, int32_t(te->length), te);
        return Done();
    }
    if (c.front.sheet) DoSelectAll(kSheetKind, c.front.sheet, VXTestKey(kPlatformKeyOption));
    else if (c.front.editor) DoSelectAll(kSymbolEditorKind, c.front.editor, VXTestKey(kPlatformKeyOption));
    else return 0;
    return Done();
}

// ---- The stacking order ----

void StackingRule(Record* r, const Front& f) { r->enabled = !f.modal && StackingOrderRule(f); }

int32_t ChangeStackingOrder(const CommandCall& c) {
    if (c.front.sheet) (void)ChangeSheetElementOrder(c.front.sheet, c.id);  // no change: nothing to do
    else if (c.front.editor) (void)ChangeLibElementOrder(c.front.editor, c.id);
    else return 0;
    return Done();
}

// ---- The sheet's file symbols ----

void FileSymbolsRule(Record* r, const Front& f) { r->enabled = !f.modal && (f.sheet || FileSymbolEditor(f)); }
// The submenu lists the front sheet's file symbols when it opens.
void FileSymbolsMenuRule(Record* r, const Front& f) {
    FileSymbolsRule(r, f);
    if (r->enabled && r->itemIndex == 0) BuildFileSymbolsMenu(FrontSheetOf(f));
}
// There is nothing to delete on a sheet without file symbols.
void DeleteFileSymbolsRule(Record* r, const Front& f) {
    FileSymbolsRule(r, f);
    if (r->enabled) r->enabled = CountFileSymbols(FrontSheetOf(f)) > 0;
}

// ---- Settings and the sources of symbols ----

void EnableAlways(Record* r, const Front&) { r->enabled = 1; }
void UpdatePinsRule(Record* r, const Front& f) { r->enabled = FileSymbolEditor(f); }
void EditLibraryItemRule(Record* r, const Front& f) { r->enabled = f.sheet && SelectedLibrarySymbol(); }
void SheetSettingsRule(Record* r, const Front& f) { r->enabled = f.sheet && !f.modal; }
void ProjectSettingsRule(Record* r, const Front& f) { r->enabled = f.project || (f.sheet && f.sheet->project); }

const CommandEntry kEditCommands[] = {
    {cmd::kEditMenu, cmd::kEditMenu, EditRule<EnableAlways>, nullptr},
    {cmd::kUndo, cmd::kUndo, EditRule<UndoRule>, Undo},
    {cmd::kCut, cmd::kCopy, EditRule<SelectionRule>, CutOrCopy},
    {cmd::kPaste, cmd::kPaste, EditRule<PasteRule>, Paste},
    {cmd::kClear, cmd::kClear, EditRule<SelectionRule>, Clear},
    {cmd::kDuplicate, cmd::kDuplicate, EditRule<SelectionRule>, Duplicate},
    {cmd::kSelectAll, cmd::kSelectAll, EditRule<SelectAllRule>, SelectAll},
    {cmd::kBringToFront, cmd::kSendToBack, EditRule<StackingRule>, ChangeStackingOrder},
    {cmd::kUpdatePins, cmd::kUpdatePins, EditRule<UpdatePinsRule>,
     [](const CommandCall& c) {
         if (!FileSymbolEditor(c.front)) return int32_t(0);
         VXDisplayMessage(UpdateFileSymbolPinsFromSheet(c.front.editor)
                              ? "The symbol is now synchronized with the ports in the sheet."
                              : "No changes were required.");
         return Done();
     }},
    {cmd::kEditLibraryItem, cmd::kEditLibraryItem,
     EditRule<EditLibraryItemRule>,
     [](const CommandCall& c) {
         if (!c.front.sheet) return int32_t(0);
         if (SymbolRecord* symbol = SelectedLibrarySymbol()) OpenSymbolSourceItem(c.front.sheet, symbol);
         return Done();
     }},
    {cmd::kSheetSettings, cmd::kSheetSettings,
     EditRule<SheetSettingsRule>,
     [](const CommandCall& c) {
         if (!c.front.sheet) return int32_t(0);
         EditSheetSettings(c.front.sheet);
         return Done();
     }},
    {cmd::kProjectSettings, cmd::kProjectSettings,
     EditRule<ProjectSettingsRule>,
     [](const CommandCall& c) {
         // Confirmed settings go into the project file at once, as the project window's command does.
         if (ProjectRecord* project = FrontProject(c.front))
             if (EditProjectSettings(project, false)) SchError(WriteProjectSettings(project, true));
         return Done();
     }},
    {cmd::kFileSymbolsMenu, cmd::kFileSymbolsMenu,
     EditRule<FileSymbolsMenuRule>,
     nullptr},
    {cmd::kFirstFileSymbol, cmd::kLastFileSymbol, EditRule<FileSymbolsRule>,
     [](const CommandCall& c) {
         if (SheetRecord* sheet = FrontSheetOf(c.front)) OpenFileSymbolEditorFromMenu(sheet, c.id - cmd::kFirstFileSymbol);
         return Done();
     }},
    {cmd::kNewFileSymbol, cmd::kNewFileSymbol, EditRule<FileSymbolsRule>,
     [](const CommandCall& c) {
         if (SheetRecord* sheet = FrontSheetOf(c.front)) OpenFileSymbolEditorFromMenu(sheet, -1);
         return Done();
     }},
    {cmd::kDeleteFileSymbols, cmd::kDeleteFileSymbols,
     EditRule<DeleteFileSymbolsRule>,
     [](const CommandCall& c) {
         if (SheetRecord* sheet = FrontSheetOf(c.front)) AskDeleteSheetSymbolDefintions(sheet);
         return Done();
     }},
};

}  // namespace

std::span<const CommandEntry> EditCommands() { return kEditCommands; }

}  // namespace plexa
