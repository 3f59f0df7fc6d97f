// Sheet undo: every sheet keeps one undoable action. An editing operation starts collecting undo
// operations, records each change to the sheet's objects as it makes it and, on success, accepts
// the collection as the sheet's action. Undo replays the action's operations, inverting each one
// in place, so that the same command then redoes the action (the Edit menu reads "Undo %s" and
// "Redo %s" alternately).
//
// An undo replay walks the operations newest first; a redo walks them oldest first, so that two
// operations on one item (a swap and then a move, say) are redone in the order they were made.
// Items removed from the sheet stay alive in their existence operation until the record that
// holds them is freed, and go back to the place in their list that they left.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct ComponentRecord;
struct SheetRecord;
struct SymbolRecord;
struct TextRecord;

// Action kinds, with their names in the menu.
enum : uint16_t {
    kUndoActionNone = 0,
    kUndoActionMove = 1,
    kUndoActionTransformation = 2,
    kUndoActionWireChange = 3,
    kUndoActionReshape = 4,
    kUndoActionZoom = 5,
    kUndoActionCut = 6,
    kUndoActionDelete = 7,
    kUndoActionResize = 8,
    kUndoActionPaste = 9,
    kUndoActionDuplicate = 10,
    kUndoActionSignalModification = 11,
    kUndoActionCreation = 12,  // a part placed, an element, text, wire or pin made
};

// Operation kinds.
enum : uint8_t {
    kUndoOpMove = 1,
    kUndoOpSwap = 2,
    kUndoOpExistence = 3,
    kUndoOpBreakOutTable = 4,
    kUndoOpTextAltRef = 5,
    kUndoOpHideText = 6,
    kUndoOpInvalRect = 7,
    kUndoOpSetView = 8,
    kUndoOpItemString = 9,
    kUndoOpCutSource = 10,
    kUndoOpCustom = 11,
};

// Item kinds.
enum : uint8_t {
    kUndoItemSymbol = 1,
    kUndoItemText = 2,
    kUndoItemSignal = 3,
    kUndoItemBuss = 4,
    kUndoItemBreakOutRow = 5,
    kUndoItemBreakOutTable = 6,
    kUndoItemElement = 7,
    kUndoItemFrame = 8,
};

// Owner kinds of an undo record (the window kinds of their documents).
constexpr uint16_t kUndoOwnerSheet = 101;
constexpr uint16_t kUndoOwnerSymbolEditor = 111;

struct UndoOp;
// A custom operation's procedure: discard 0 replays the operation, 1 lets it go.
using UndoCustomProc = void (*)(void* owner, uint16_t ownerKind, UndoOp* op, int32_t discard);

struct UndoOp {
    uint8_t opKind = 0;
    uint8_t itemKind = 0;
    uint8_t savedSelection = 0;
    uint8_t savedSecond = 0;
    void* item = nullptr;     // the item (a handle for signals, busses and frames), or a row index
    void* stored = nullptr;   // swap: the stored copy; break-out table: the stored table
    Point point{};            // move: the offset or the centre of the transformation
    int16_t transform = 0;    // move: 0 for an offset
    uint8_t present = 0;      // existence: 1 while the item is in the sheet
    int32_t position = 0;     // existence: where the item goes back in its list
    Rect rect{};              // invalidate rect; set view: the view
    int64_t otherOwner = 0;   // text alternate reference
    StringSpec spec = 0;      // item string
    int16_t selector = 0;     // item string
    uint8_t subKind = 0;      // custom
    UndoCustomProc proc = nullptr;
    uint64_t data = 0;
    int16_t value = 0;
    std::vector<uint16_t> wireHilites;  // a signal's or buss's wire selection bits
};

struct UndoRecord {
    uint16_t actionKind = kUndoActionNone;
    uint8_t redo = 0;
    uint32_t clipId = 0;
    std::vector<UndoOp> ops;  // in the order collected
    void* owner = nullptr;
    uint16_t ownerKind = 0;
};

// What the sheet's undo keeps (the sheet's undoAction field), made on first use.
//
// The modified mark follows the saved state through undo: an action whose changes began on an
// unmodified sheet, with no other change made since, is the one step between the sheet and its
// file, so undoing it clears the mark and redoing it sets the mark again. A command reports its
// change (SetSheetModifiedStatus) as it begins, before or after it starts collecting; a change
// reported outside a collection counts as the start of the action when that collection starts
// within the same command, else as a change that no undo takes back.
//
// An edit that takes several commands before it changes the sheet (a text typed into a new frame,
// a polygon clicked corner by corner) begins with BeginSheetUndoEdit, reports what it shows
// meanwhile through ReportSheetEditChange, and collects its action at its end with
// StartSheetUndoEditCollection: that action gives back the saved sheet when the sheet was
// unmodified as the edit began and nothing else changed it meanwhile.
struct SheetUndoState {
    UndoRecord committed;
    UndoRecord collecting;
    bool breakOutTableCollected = false;
    bool clearing = false;
    bool committedFromSaved = false;   // undoing the committed action gives back the saved state
    bool collectingFromSaved = false;  // the collection began on an unmodified sheet
    uint8_t marksAfterAction = 0;      // the sheet's modified marks as the action left them
    bool replaying = false;
    bool editFromSaved = false;        // the edit in progress began on an unmodified sheet
    bool editReporting = false;        // the change reported now is the edit's own
    // The command of the last change reported outside a collection that left the sheet
    // unmodified; 0 when the last such change found it modified already, or none came.
    uint32_t looseChangeCommand = 0;
};

// The sheet's undo state, made when missing (null only when the sheet is null).
SheetUndoState* GetSheetUndoState(SheetRecord* sheet);
// Frees the sheet's undo state with every held item (the sheet is being destroyed).
void ReleaseSheetUndo(SheetRecord* sheet);

// ---- Collection: nothing happens unless the sheet is collecting an action ----

void CollectUndoMoveSheetItem(SheetRecord* sheet, int32_t itemKind, void* item, Point point,
                              int32_t transformation);
void CollectUndoSwapSheetItem(SheetRecord* sheet, int32_t itemKind, void* item);
// present 0: the item was (or is about to be) removed; 1: it was inserted. When not collecting,
// a removed item is freed at once. An item still in its list is put back at its place there.
void CollectUndoSheetItemExistance(SheetRecord* sheet, int32_t itemKind, void* item,
                                   int32_t present);
// The same with the list position the item goes back to given (an item that never was in the
// list, such as the kept copy of a split signal).
void CollectUndoSheetItemExistanceAt(SheetRecord* sheet, int32_t itemKind, void* item,
                                     int32_t present, int32_t position);
// A signal or buss about to be combined into another and destroyed: undo puts a copy of it, as it
// is now, back in its place, and the labels it owns (and, for a buss, its break-out rows in the
// break-out table collected before) follow the copy.
void CollectUndoCombinedNet(SheetRecord* sheet, int32_t itemKind, void* net);
void CollectUndoAltBOTable(SheetRecord* sheet);
// The text's owner changed from otherOwner (the model's texts report this through their hook).
void CollectUndoSheetTextOwner(SheetRecord* sheet, TextRecord* text, int64_t otherOwner);
void CollectUndoHideSheetText(SheetRecord* sheet, TextRecord* text);
void CollectUndoSheetChangeItemString(SheetRecord* sheet, int32_t itemKind, void* item,
                                      StringSpec spec, int32_t selector);
void CollectUndoInvalSheetRect(SheetRecord* sheet, const Rect* rect);
void CollectUndoSetSheetView(SheetRecord* sheet);
void CollectUndoSheetCutSourceId(SheetRecord* sheet);
void CollectUndoCustomSheetAction(SheetRecord* sheet, int32_t subKind, UndoCustomProc proc,
                                  uint64_t data, int32_t value);
// The selection of what is on the sheet now, given back by undo (and cleared again by redo):
// taken before a command clears the selection.
void CollectUndoSheetSelection(SheetRecord* sheet);

// What undo of symbols added to the sheet also takes back, and redo puts back: the sheet's next
// serial number, the components that were new to the sheet and the designators the symbols were
// given. Collected before the symbols are added (so that undo takes them out first) and filled as
// they are; null when the sheet collects no action.
struct AddedSymbolsUndo {
    struct Designator {
        uint32_t serial;
        std::string text;
        int32_t slot;
    };
    std::vector<ComponentRecord*> components;
    std::vector<Designator> designators;
    std::vector<int32_t> positions;  // the components' places in the list, while undone
    bool undone = false;
};
AddedSymbolsUndo* CollectUndoAddedSymbols(SheetRecord* sheet);
// The designator a symbol was given, kept for redo.
void NoteAddedSymbolDesignator(SheetRecord* sheet, AddedSymbolsUndo* added, const SymbolRecord* symbol);

// The strings of the sheet's net labels and net-symbol name texts, taken before an edit that may
// rename nets; CollectUndoChangedLabelStrings then records each text whose string the edit changed.
using SheetLabelStrings = std::vector<std::pair<TextRecord*, std::string>>;
SheetLabelStrings TakeSheetLabelStrings(SheetRecord* sheet);
void CollectUndoChangedLabelStrings(SheetRecord* sheet, const SheetLabelStrings& before);
// True while the sheet collects an action.
bool IsCollectingSheetUndo(SheetRecord* sheet);

// ---- Control ----

void StartSheetUndoCollection(SheetRecord* sheet, int32_t kind);
// An edit over several commands (see SheetUndoState): its beginning, a change it reports, and
// the collection of its action at its end.
void BeginSheetUndoEdit(SheetRecord* sheet);
void ReportSheetEditChange(SheetRecord* sheet, int32_t reasons);
void StartSheetUndoEditCollection(SheetRecord* sheet, int32_t kind);
void AcceptSheetUndoCollection(SheetRecord* sheet);
void AbortSheetUndoCollection(SheetRecord* sheet);
void ClearSheetUndoAction(SheetRecord* sheet);
// Replays the committed action (undo or redo); the modified mark follows when the action was the
// only change since the sheet was saved. The Undo command (sheeteditor/sheetundoaction.h) first
// ends what is being made on the sheet.
void ReplaySheetUndoAction(SheetRecord* sheet);
// A change of content or drawing reported for the sheet (by SetSheetModifiedStatus), with
// whether the sheet was unmodified until then.
void NoteSheetChangeForUndo(SheetRecord* sheet, bool wasUnmodified);
// The committed record, or null when the sheet has no undo state.
const UndoRecord* GetSheetUndoRecord(SheetRecord* sheet);
// "Undo %s" or "Redo %s" with the action's name into text (at least 64 bytes).
void GetUndoMenuItemText(const UndoRecord* record, char* text);
// The menu name of an action kind; empty outside 1-12.
const char* UndoActionName(int32_t kind);


}  // namespace plexa
