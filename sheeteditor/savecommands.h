// The File menu's save commands for sheets: Save, Save As and Save a Copy, saving every modified
// sheet window, the save panel, and what a save does to the sheet's window afterwards (installed
// as the hooks of files/sheetsave.h). Also the remembered folders of the file panels, until the
// preferences keep them.
#pragma once

#include <cstdint>

#include "foundation/types.h"
#include "sheeteditor/fileselect.h"

namespace plexa {

struct DirectoryRef;
struct FileSpec;
struct SheetSaveHooks;
struct SheetRecord;

// The File menu's command ids.
constexpr uint16_t kSaveCommand = 204;
constexpr uint16_t kSaveCopyCommand = 205;
// A sheet with unsaved changes of these kinds is saved by Save and by SaveAllSheets.
constexpr uint8_t kSheetSaveModifiedMask = 13;

constexpr const char* kSaveSheetPrompt = "Save Schematic Sheet:";
constexpr const char* kUntitledSaveName = "Untitled";


// A file could not be written where it was to go: an alert names the file and its folder, says
// why (the status) and offers another place; 0 when the person chose "Save As..." (the
// save panel then runs again), kSaveCancelled (files/sheetsave.h) for Cancel.
constexpr const char* kSaveAsButton = "Save As...";
OSStatus OfferAnotherPlace(const FileSpec* target, OSStatus status);

// Runs the save panel of the kind (files/sheetsave.h kSavePanel*) for the sheet (or none) and
// gives the chosen file in place; false when cancelled. A file that another loaded sheet holds is
// refused with a message (that sheet and its unsaved changes stay), and the panel answers false.
bool AskSaveSheetFile(SheetRecord* sheet, int32_t kind, FileSpec* spec);
// Another sheet shown in a window (not `except`) whose file is the spec; none when there is none.
SheetRecord* FindLoadedSheetWithFile(const FileSpec* spec, SheetRecord* except);

// Whether the sheet has unsaved changes that a save writes.
bool IsSheetModifiedForSave(const SheetRecord* sheet);
// Saves every visible sheet window with unsaved changes, front to back, and stops at the first
// failure: a cancel is returned as it came, any other failure is reported and returned.
OSStatus SaveAllSheets();
// Save (with Shift: every sheet), Save As and Save a Copy on a sheet; failures are reported (a
// cancel is not). The status of the save.
OSStatus SaveSheetCommand(SheetRecord* sheet, bool shift);
OSStatus SaveSheetAsCommand(SheetRecord* sheet);
OSStatus SaveSheetCopyCommand(SheetRecord* sheet);
// Whether Save is enabled for the sheet: unsaved changes, or no valid folder.
bool CanSaveSheet(const SheetRecord* sheet);

// Puts the save panel, the in-use check, the message and the window updates in the sheet save's
// table, leaving its other slots as they are.
void AddSheetSaveCommands(SheetSaveHooks& hooks);

}  // namespace plexa
