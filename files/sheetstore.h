// Where whole-sheet work (resequencing names over a project, updating symbols in sheets that are
// not open) gets the sheets it needs and puts them back: a sheet already loaded (in a window or
// in the project's cache), a sheet loaded from its file without a window, saving a sheet to its
// file, releasing a sheet that was loaded only for the work and marking a sheet modified. The
// sheet editor and the sheet-file module install these calls at start-up; tests install their
// own store. Where a call is missing, the default beside it applies.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct SheetRecord;
struct SheetSpec;

// Reasons given when a sheet is marked modified.
constexpr int32_t kSheetChangeContent = 1;
constexpr int32_t kSheetChangeSubSheet = 16;
constexpr int32_t kSheetChangeSignalNames = 97;
// Given with the reasons by an edit that has reported by identity every item whose place or size
// it changed (a wire drawn: its nets inside SheetNetScope; texts, symbols and list changes report
// themselves): the sheets' spatial indexes are not all marked for a rebuild. Without it every
// change marks them, whatever it was.
constexpr int32_t kSheetChangePlacesReported = 0x100;

struct SheetStoreHooks {
    // The loaded sheet of the spec. Default: GetOpenSheetFromSheetSpec.
    SheetRecord* (*getLoaded)(ProjectRecord* project, SheetSpec* spec) = nullptr;
    // Loads the spec's sheet file without a window, in the project's context. Default:
    // LoadSheetForStore (files/sheetload.h).
    OSStatus (*load)(ProjectRecord* project, SheetSpec* spec, SheetRecord** sheet) = nullptr;
    // Saves the sheet to its file. Default: SaveSchematicSheet (files/sheetsave.h).
    OSStatus (*save)(SheetRecord* sheet) = nullptr;
    // Frees a sheet that `load` gave. Default: DestroySheet.
    void (*release)(SheetRecord* sheet) = nullptr;
    // Marks the sheet modified for the reason. Default: the content bit of its modified flags.
    void (*setModified)(SheetRecord* sheet, int32_t reason) = nullptr;
};
void SetSheetStoreHooks(const SheetStoreHooks& hooks);
const SheetStoreHooks& GetSheetStoreHooks();

// The hooks' calls with their defaults.
SheetRecord* StoreGetLoadedSheet(ProjectRecord* project, SheetSpec* spec);
OSStatus StoreLoadSheet(ProjectRecord* project, SheetSpec* spec, SheetRecord** sheet);
OSStatus StoreSaveSheet(SheetRecord* sheet);
void StoreReleaseSheet(SheetRecord* sheet);
void SetSheetModifiedStatus(SheetRecord* sheet, int32_t reason);
// The plain mark of a change whatever its reason, for a sheet without the sheet editor: the
// content bit of its modified flags.
void MarkSheetModified(SheetRecord* sheet, int32_t reason);

}  // namespace plexa
