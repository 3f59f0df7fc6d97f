// The library editor: the window of one open library file, listing its items (each with its
// names as child rows), and the private clipboard of library items. This module owns the editor
// records (`LibEditorRecord`, kept in `gLibraryEditors`), their item references
// (`LibEditorItemRef`) with the life of each item's flattened data, saving, deleting, cut, copy,
// paste, duplicate and revert, closing, and the window with its rows, commands and keys.
//
// An item reference names the item's block in the file (0 for an item never saved) and, while the
// item is in use or has changed, holds its flattened bytes: expanded while used (use count above
// 0), else compressed. Compressed form: the first 7 bytes of the flattened item (byte-order mark,
// time stamp, valid flag) as they are, then the rest compressed (foundation/memory.h), so that
// validity can be read without expanding. Nothing reaches the file before a save; a stored item
// that is deleted goes to the deletions list, and its block is released by the next save.
//
// Saving writes each changed item as a new block before it releases the old one, so a failure
// never loses the stored item; an item that has become invalid keeps its stored block and stays
// modified (its row is struck through), and a new invalid item is dropped. A reference leaves the
// deletions list as soon as its block is released, so no block is ever released twice. A save
// that fails keeps the editor modified, and closing then stops.
//
// A library that the program cannot change (one of the essentials, shared once the program is
// installed, or a file it cannot write; library/libpaths.h) is opened for reading: nothing is
// ever written into it. Saving changes to it asks for a place of the person's own (the user's
// library folder, library/libpaths.h, to start with), copies the library there, carries on with
// the copy, which the library paths then reach, and saves into it. A library that was opened and
// closed without a change is never written.
//
// The names of the references live in the editor's own string block (the item map's block may be
// replaced when the map is rebuilt).
//
// What the library editor needs of the symbol editors that edit the items goes through
// `LibEditorHooks`, which the symbol editor installs (symboleditor/libeditorlink.h); without them
// no item is taken as open in a symbol editor.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "library/libfile.h"
#include "model/modelhooks.h"

namespace plexa {

struct FileSpec;
struct LinkListHeader;
struct SymbolEditorRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXPrepCommandRecord;
struct VXWindowRecordTag;

// The key that, held while a library opens, has its item map rebuilt (Option; Alt here).
constexpr uint16_t kLibRebuildMapKey = 58;

// Reference flags.
constexpr uint8_t kLibItemRefModified = 0x01;  // the data differs from the stored block
constexpr uint8_t kLibItemRefNameList = 0x02;  // names.list holds the name specs

// Commands.
constexpr uint16_t kCmdLibSave = 204, kCmdLibPageSetup = 206, kCmdLibPrint = 207,
                   kCmdLibOpenSelection = 211, kCmdLibCut = 302, kCmdLibCopy = 303,
                   kCmdLibPaste = 304, kCmdLibClear = 305, kCmdLibSelectAll = 306,
                   kCmdLibDuplicate = 311, kCmdLibMenu = 1000, kCmdLibNewItem = 1001,
                   kCmdLibRevert = 1002, kCmdLibFind = 1003, kCmdLibFindAgain = 1004;

// Row icons.
constexpr int16_t kLibIconComponent = 2036, kLibIconComponentAlias = 2040,
                  kLibIconWireSymbol = 2042, kLibIconWireSymbolAlias = 2032,
                  kLibIconPort = 2041, kLibIconPortAlias = 2030;

// Window counts of EditSelectedLibItems.
constexpr int32_t kLibOpenAskCount = 8, kLibOpenRefuseCount = 25, kLibOpenCountLimit = 30;

// New-item flags (added to the new symbol editor's symbol flags).
constexpr uint32_t kNewItemLocalWireSymbol = 0x100;

constexpr const char* kTooManyWindowsMessage = "You cannot open that many windows!";
// Told before a library cut short by a crash opens for changes: the file name, the bytes of the
// lost last block, the items recovered.
constexpr const char* kLibraryCutShortMessage =
    "The library \"%s\" was cut short: its last block (%u bytes) was lost and has been removed. "
    "%d items were recovered; the library opens for changes.";
constexpr const char* kOpenWindowsQuestion = "Are you sure you want to open %d windows?";
constexpr const char* kRemoveItemsQuestion =
    "Are you sure you want to remove the selected item(s) from the library?";
constexpr const char* kRemoveButton = "Remove";
constexpr const char* kYesButton = "Yes";
constexpr const char* kUnnamedLibItemRow = "Unnamed Item";
constexpr const char* kLibraryPathQuestion =
    "The destination folder is not included in the Library Path preferences.";
constexpr const char* kAddPathButton = "Add it";
// The save panel's title for the person's own copy of a library that cannot be changed.
constexpr const char* kLibraryCopyPrompt = "Save Your Copy of the Library:";
constexpr const char* kLeavePathButton = "Leave as is";

// The preference change recorded when a library's folder joins the library paths.
constexpr uint32_t kLibraryPathPreferenceChange = 64;

// Find modes of FindAndSelectLibEditorItem.
constexpr int32_t kLibFindAnywhere = 0, kLibFindPrefix = 1, kLibFindWhole = 2;

struct LibEditorItemRef {
    LibEditorItemRef* next;
    SymbolEditorRecord* symbolEditor;  // the editor open on the item, or none
    uint32_t blockId;                  // 0 for an item never saved
    Handle data;                       // the flattened item (compressed while idle), or none
    union {
        StringSpec spec;  // the one name, in the editor's names block
        Handle list;      // with kLibItemRefNameList: primary then aliases, StringSpec each
    } names;
    uint8_t flags;
    uint16_t useCount;
    uint8_t kind;
};

struct LibEditorRecord {
    LibEditorRecord* next;
    VXWindowRecordTag* window;     // none before it is shown
    LinkListHeader* items;         // LibEditorItemRef, in list order
    LinkListHeader* deletions;     // stored items to release at the next save; none for the clip
    LibraryFileRecord library;     // zero for the clipboard
    bool openedForReading;         // the library cannot be changed: a save goes to a copy
    StringBlock names;             // the references' names
    int32_t windowID;
};

// The open editors, and the library clipboard (none until the first copy).
extern LibEditorRecord* gLibraryEditors;
extern LibEditorRecord*& gLibEditorClip;

// Save question answers.
enum class LibSaveAnswer { kSave, kDontSave, kCancel };

// What the library editor needs from the layers above it and from the user. Every member may be
// left empty; the default is named beside it.
struct LibEditorHooks {
    // -- The symbol editors of the items --
    // Opens (or brings forward) the item's symbol editor. Default: none opened.
    SymbolEditorRecord* (*openItemEditor)(LibEditorRecord* editor, LibEditorItemRef* ref) = nullptr;
    // Closes an item's symbol editor, taking its changes first when `save`, asking about an
    // invalid symbol when `ask`; false when it stays open. Default: true.
    bool (*closeItemEditor)(SymbolEditorRecord* symbolEditor, bool save, bool ask) = nullptr;
    // Whether the editor's symbol is valid (a save skips an item whose open symbol is not).
    // Default: true.
    bool (*itemEditorValid)(SymbolEditorRecord* symbolEditor) = nullptr;
    // Writes the editor's drawing into its item; false when a list refuses. Default: true.
    bool (*flushItemEditor)(SymbolEditorRecord* symbolEditor) = nullptr;
    // Whether the editor's item has changes the reference has not taken. Default: false.
    bool (*itemEditorChanged)(SymbolEditorRecord* symbolEditor) = nullptr;
    // Whether the editor holds changes (drawn or taken into its item) that no save has written.
    // Default: false.
    bool (*itemEditorEdited)(SymbolEditorRecord* symbolEditor) = nullptr;
    // The library the editor's item belongs to is saved, or its file has moved: the editor's
    // window shows that (its title and its mark of unsaved changes). Default: nothing.
    void (*itemEditorLibrarySaved)(SymbolEditorRecord* symbolEditor) = nullptr;
    // The editor's item flattened (empty allowed), or none with the status. Default: none.
    Handle (*flattenItemEditor)(SymbolEditorRecord* symbolEditor, OSStatus* status) = nullptr;
    // Marks the editor's changes taken. Default: nothing.
    void (*itemEditorTaken)(SymbolEditorRecord* symbolEditor) = nullptr;
    // Adds flags to the symbol flags of a new item's editor. Default: nothing.
    void (*addItemEditorSymbolFlags)(SymbolEditorRecord* symbolEditor, uint32_t flags) = nullptr;

    // -- Questions and reports --
    // The save question with the file name. Default: kSave (nothing is lost without a user).
    LibSaveAnswer (*askSave)(LibEditorRecord* editor, const char* fileName) = nullptr;
    // Optional: the library editor's own dialogs come with its window's commands; until then the
    // defaults of these three questions stand.
    // A question with one action button; true for the action. Default: the toolkit's standard
    // alert with the button and "Cancel" (for the library path question "Leave as is").
    bool (*confirm)(const char* message, const char* button) = nullptr;
    // A message with OK. Default: the toolkit's message alert.
    void (*message)(const char* text) = nullptr;
    // Where the person's own copy of a library that cannot be changed goes: a save panel for the
    // spec, which holds the library's name in the user's library folder. False when cancelled.
    // Default: false (nothing is saved).
    bool (*askLibraryCopy)(FileSpec* spec) = nullptr;
    // The new-item dialog: name (64 bytes), kind, flags; false when cancelled. Default: false.
    bool (*askNewItem)(char* name, uint8_t* kind, uint32_t* flags) = nullptr;
    // The find dialog: text (64 bytes, holding the last one) and the partial-match option;
    // false when cancelled. Default: false.
    bool (*askFind)(char* text, bool* partial) = nullptr;
    // Records a change of the preferences (kLibraryPathPreferenceChange). Default: nothing.
    void (*preferencesChanged)(uint32_t change) = nullptr;
    // Reports a failure. Default: the toolkit's error report.
    void (*reportError)(OSStatus status) = nullptr;
    // Reports a failure to open a library file, naming it. Default: VXOpenErrorReport.
    void (*reportOpenError)(OSStatus status, const char* fileName) = nullptr;
    // The alert sound. Default: nothing.
    void (*beep)() = nullptr;
    // The library clipboard was made afresh for a Cut or Copy: the application takes the system
    // clipboard for it and notes that the clipboard now holds library items. Default: nothing.
    void (*claimClipboard)() = nullptr;
    // The window came to the front: the application puts up the library editor's menu bar.
    // Default: nothing.
    void (*activated)(LibEditorRecord* editor) = nullptr;
};
void SetLibEditorHooks(const LibEditorHooks& hooks);
const LibEditorHooks& GetLibEditorHooks();

// ---- Editors ----

void InitLibraryEditors();
// Closes every editor (forced) and drops the clipboard; for the end of the run and for tests.
void DisposeLibraryEditors();
// The editor of the file, or none.
LibEditorRecord* GetOpenLibEditor(const FileSpec* spec);
// The editor whose window is the window's top parent, or none.
LibEditorRecord* WindowToLibEditor(VXWindowRecordTag* window);
// In the library editor of the window: selecting the item of that whole name (false when there
// is no such editor or item), and editing the selected items.
bool FindAndSelectLibEditorItemNamed(VXWindowRecordTag* window, const char* name);
void EditSelectedItemsOfWindow(VXWindowRecordTag* window);
// Opens the file in an editor, or brings its editor forward; with rebuildMap the item map is
// rebuilt (also while kLibRebuildMapKey is held). None (reported) when the file cannot be opened. The window is shown when `show`.
LibEditorRecord* OpenLibraryEditor(const FileSpec* spec, bool rebuildMap = false, bool show = true);
// An editor over an open library (taken over; none: the clipboard form), in the list of editors
// when it has a file; none when memory fails (the library is then the caller's).
LibEditorRecord* NewLibEditor(LibraryFileRecord* library);
// Makes (on first display) and shows the window.
void DisplayLibEditor(LibEditorRecord* editor);
// Closes the editor (see the top of this file); true when it is gone. A forced close asks
// nothing and writes nothing back.
bool CloseLibEditor(LibEditorRecord* editor, bool force);
// Frees the editor, its window, references and library (closed read-only when still open).
void DestroyLibEditor(LibEditorRecord* editor);
// Asks for a new library file (an editor open on it is closed, forced), makes it and opens it;
// offers to add its folder to the library paths when it is not among them (then the library
// file list is rebuilt). None when cancelled or failed.
LibEditorRecord* CreateNewLibrary();

// One library save (library/libfile.h): 0 when everything was written; else the first failure
// (reported), the file as it was byte for byte and the editor still dirty with every change. A
// library opened for reading is first copied to a place the person chooses (see the top of this
// file); kUserCancelled (not reported) when the person chose none.
OSStatus SaveLibEditorChanges(LibEditorRecord* editor);
bool IsLibEditorDirty(const LibEditorRecord* editor);
bool IsLibItemDirty(const LibEditorItemRef* ref);

// ---- Item data ----

// The expanded data with one more use, or none (reported).
Handle GetLibEditorItemData(LibEditorRecord* editor, LibEditorItemRef* ref);
void ReleaseLibEditorItemData(LibEditorItemRef* ref);
// Data: replaces the data (taken over), one use, modified. Block id: frees the data and records
// the id (the previous block is released when it differs).
void SetLibEditorItemData(LibEditorRecord* editor, LibEditorItemRef* ref, Handle data);
void SetLibEditorItemBlock(LibEditorRecord* editor, LibEditorItemRef* ref, uint32_t blockId);
// Drops the data and the modified flag.
void KillLibEditorItemData(LibEditorItemRef* ref);
// New handles in the other form, or none (compression that does not shrink gives none).
Handle ExpandLibEditorItemData(Handle data);
Handle CompressLibEditorItemData(Handle data);
// Writes a modified item (see the top of this file); the reference may be freed (a new invalid
// item). 0 or the failure.
OSStatus FlushLibEditorItemData(LibEditorRecord* editor, LibEditorItemRef* ref);

// ---- References ----

// A new reference (not in the list): with a name, that name; with data (taken over), the names
// and kind of the data, modified, its data compressed; with a block id, the stored item. None
// when memory fails (data freed).
LibEditorItemRef* CreateLibEditorItemRef(LibEditorRecord* editor, const char* name, Handle data,
                                         uint32_t blockId, uint8_t kind);
void DestroyLibEditorItemRef(LibEditorRecord* editor, LibEditorItemRef* ref);
// A never-stored, modified copy for the target editor (its data compressed); none on failure.
LibEditorItemRef* DuplicateLibEditorItemRef(LibEditorRecord* source, LibEditorRecord* target,
                                            LibEditorItemRef* ref);
// Reloads the names from the data (or the stored block) and brings the child rows in line.
void SetupLibEditorItemNames(LibEditorRecord* editor, LibEditorItemRef* ref);
int32_t CountLibEditorItemNames(const LibEditorItemRef* ref);
// The name (at most 254 bytes) into a buffer of 256; false and empty when there is none.
bool GetLibEditorItemName(const LibEditorRecord* editor, const LibEditorItemRef* ref,
                          int32_t index, char* out);
// Takes the flattened item of the reference's symbol editor when it has changes.
void SyncLibItemRefWithSymbolEditor(LibEditorRecord* editor, LibEditorItemRef* ref);

// ---- The list ----

// Appends the reference and its rows; its top row, -1 without a window.
int32_t AddItemToLibEditor(LibEditorRecord* editor, LibEditorItemRef* ref);
// Unlinks the reference and removes its rows (the reference is not freed).
void RemoveItemFromLibEditor(LibEditorRecord* editor, LibEditorItemRef* ref);
void AddItemToLibEditorDeletions(LibEditorRecord* editor, LibEditorItemRef* ref);
// Closes the item's symbol editor unsaved and removes it; a stored item goes to the deletions.
void DeleteLibraryItem(LibEditorRecord* editor, LibEditorItemRef* ref);
// The reference of a row (and the name index of the row, 0 for a top row); none for no row.
LibEditorItemRef* GetItemRefFromViewIndex(LibEditorRecord* editor, int32_t row, int32_t* nameIndex);
// The top row of the reference, -1 when it has none.
int32_t GetLibItemRefRow(LibEditorRecord* editor, const LibEditorItemRef* ref);
void UpdateLibEditorListItem(LibEditorRecord* editor, LibEditorItemRef* ref);
void SelectLibEditorItem(LibEditorRecord* editor, LibEditorItemRef* ref, bool only);
void ClearLibEditorSelection(LibEditorRecord* editor);
// The first item after `after` (none: from the start) with a selected row.
LibEditorItemRef* GetNextSelectedItem(LibEditorRecord* editor, LibEditorItemRef* after);

struct LibSelectionFlags {
    int32_t count;           // selected items, counting stops at the second once one is modified
    LibEditorItemRef* item;  // the first
    bool any;                // any row selected
    bool modified;           // a selected item is modified
};
LibSelectionFlags SetSelectionFlags(LibEditorRecord* editor);

// Selects (alone) the first name after the start row (-1: from the top) that matches the text
// (upper-cased) in the mode; with visibleOnly a collapsed item offers only its primary name;
// with primaryRow its top row is selected. False when none matches.
bool FindAndSelectLibEditorItem(LibEditorRecord* editor, int32_t startRow, const char* text,
                                int32_t mode, bool visibleOnly, bool primaryRow);
// The find command: asks (unless repeating a stored text) and searches from the first selected
// row; no match clears the selection and beeps.
void FindLibEditorItem(LibEditorRecord* editor, bool ask);
// Selects and reveals the item stored in the block; false when none is.
bool SelectAndOpenLibEditorItem(LibEditorRecord* editor, uint32_t blockId);

// ---- Commands ----

int16_t GetLibItemKindIconId(uint8_t kind, bool aliasRow);
int32_t LibEditorPrepCommand(VXPrepCommandRecord* record);
int32_t LibEditorDoCommand(LibEditorRecord* editor, VXEventRecord* event);
int32_t LibEditorWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t LibEditorListViewHook(VXWindowRecordTag* window, int32_t message,
                              VXListViewHookRecord* record);

// A new item named `name` of the kind, appended, selected and opened; none on failure.
LibEditorItemRef* NewLibraryItem(LibEditorRecord* editor, const char* name, uint8_t kind,
                                 uint32_t flags);
// Whether `count` windows may be opened (asks from kLibOpenAskCount on).
bool VerifyWindowCount(int32_t count);
void EditSelectedLibItems(LibEditorRecord* editor);
bool CloseAllItemEditors(LibEditorRecord* editor, bool save, bool ask);
void CopySelectedItems(LibEditorRecord* editor);
void DeleteSelectedItems(LibEditorRecord* editor);
void PasteItems(LibEditorRecord* editor);
void DuplicateSelectedItems(LibEditorRecord* editor);
void RevertSelectedItems(LibEditorRecord* editor);
void ResetClipboard();
void DisposeLibEditorClip();

}  // namespace plexa
