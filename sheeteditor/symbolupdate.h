// Updating placed symbols from their sources: library symbols from the library file they came
// from (the selected symbols, a sheet, or a project's sheets; only those older than the item
// unless forced), and symbols made from a child sheet's file symbols whenever that child sheet's
// file symbols change (on saving the child, and from the application's periodic task for sheets
// marked as having dirty child symbols). Also the Replace command for selected symbols and the
// log entries that report updates and missing sources.
//
// The item cache's library selection is changed during an update and restored afterwards; the
// replaced symbols are selected and deleted at the end of each sheet's update. Log windows, the
// open sheet windows and the deletion of a selection belong to other modules; they are reached
// through `SymbolUpdateHooks`.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct LogWindowRecord;
struct ProjectRecord;
struct SheetRecord;
struct SymbolRecord;
struct SheetNode;
struct SymbolPlaceHooks;

// Codes of the update's log entries.
constexpr int32_t kLogSymbolUpdated = 0;
constexpr int32_t kLogSymbolFileMissing = 0x20000035;
constexpr int32_t kLogSymbolDefinitionMissing = 0x20000036;

constexpr const char* kNoSymbolsUpdatedMessage = "No symbols needed to be updated.";
constexpr const char* kReplacementPartTitle = "Select Replacement Part";
constexpr const char* kUntitledSheetName = "Untitled";

// One log entry: a link to a symbol of a sheet (by serial, instance -1) and its attributes.
struct ReplaceSymbolLogEntry {
    int32_t code;
    bool error;             // the code is not 0
    bool fileSymbol;        // "fileSymbol" = "1"
    uint32_t serial;
    char sheetName[160];    // "sheetName"
    char symName[256];      // "symName"
    char libName[256];      // "libName", only for kLogSymbolFileMissing
};

// The two lines the log shows for an entry (each at most size - 1 bytes).
void CalcReplaceSymbolLogMessages(const ReplaceSymbolLogEntry& entry, char* first, char* second,
                                  int32_t size);

struct SymbolUpdateHooks {
    // The project's log (without a project the sheet's), made when asked. Default: none, and
    // nothing is logged.
    LogWindowRecord* (*getLog)(ProjectRecord* project, SheetRecord* sheet, bool create) = nullptr;
    void (*appendLogEntry)(LogWindowRecord* log, const ReplaceSymbolLogEntry& entry) = nullptr;
    int32_t (*countLogEntries)(LogWindowRecord* log) = nullptr;
    // Shows a log that has entries; destroys an empty or hidden one.
    void (*showLog)(LogWindowRecord* log) = nullptr;
    void (*destroyLog)(LogWindowRecord* log) = nullptr;
    // Deletes the sheet's selection. Default: the selected symbols with their texts. Optional:
    // the sheet editor's delete (with its undo) is not built yet; the default is its plain part.
    void (*deleteSelection)(SheetRecord* sheet) = nullptr;
    // Shows a message. Default: nothing.
    void (*message)(const char* text) = nullptr;
};
void SetSymbolUpdateHooks(const SymbolUpdateHooks& hooks);
const SymbolUpdateHooks& GetSymbolUpdateHooks();

// The sheet of every visible sheet window, front to back.
void EnumVisibleSheetWindows(void (*proc)(SheetRecord* sheet, void* data), void* data);

// Appends an entry for the symbol to the project's log (else the sheet's); nothing without a log
// or when the sheet has no spec in the project.
void AddReplaceSymbolLogEntry(ProjectRecord* project, SheetRecord* sheet, SymbolRecord* symbol, int32_t code);

// The update of one sheet; the number of log entries made.
int32_t UpdateSheetsSymbols(SheetRecord* sheet, ProjectRecord* project, bool force, bool selectedOnly,
                            bool childSymbolsOnly, bool logUpdates, bool quiet, uint32_t options);
int32_t UpdateFileSymbolsFromChildSheet(SheetRecord* sheet, ProjectRecord* project, SheetRecord* child,
                                        const char* childName, bool logUpdates, bool quiet, Rect* changed);
// Every sheet of the project's tree, loading the ones that are not open through the sheet store;
// a loaded sheet that changed is shown (or saved, see the hook), the others released.
int32_t UpdateProjectsLibrarySymbols(ProjectRecord* project, bool force, uint32_t options,
                                     bool selectedSheetsOnly);

// Child-sheet symbols.
bool DoesSheetContainChildSymbolFromSheet(SheetRecord* sheet, SheetRecord* child);
void MarkSheetAsHavingDirtyChildSymbols(SheetRecord* sheet);
void MarkSheetsContainingChildSymbolFromSheet(SheetRecord* child);
void UpdateSheetsContainingChildSymbolFromSheet(SheetRecord* child);
void UpdateSheetsWithDirtyChildSymbols();
OSStatus UpdateDirtyChildSymbolsInSheet(SheetRecord* sheet, bool logUpdates, bool quiet);
// At least one sheet is marked as having dirty child symbols.
extern bool& gSheetsHaveDirtyChildSymbols;

// Replaces the selected symbols (not sheet or net symbols) by a part chosen in the parts dialog.
void ReplaceSelectedSymbols(SheetRecord* sheet);

// The update dialog's choices.
constexpr int32_t kUpdateScopeSelected = 3, kUpdateScopeSheet = 4, kUpdateScopeProject = 5;
struct UpdateSymbolsChoice {
    int32_t scope;
    int32_t attributeMode;  // 0 to 3
    bool force;
};
// The dialog's opening state: which scope is preselected and which scopes are enabled (index by
// scope), as the dialog handler sets them up.
struct UpdateSymbolsDialogState {
    int32_t scope;
    bool enabled[6];
    bool projectSheetsText;  // item 4 reads "Update symbols in the project's selected sheets"
};
UpdateSymbolsDialogState SetupUpdateSymbolsDialog(bool fromProjectWindow, bool hasProject, bool symbolsSelected,
                                                  bool treeHasSelection);
// Runs an update that the dialog confirmed, for a sheet (or none from the project window); the
// number of log entries made. Shows kNoSymbolsUpdatedMessage when nothing was logged.
int32_t RunUpdatePartSymbols(SheetRecord* sheet, ProjectRecord* project, const UpdateSymbolsChoice& choice);

}  // namespace plexa
