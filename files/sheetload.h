// Loading sheet files into sheet records without windows: the loader of open sheets (window
// state, held sheet-local annotation, file dates, string-block upkeep), the lookup of sheets that
// are loaded already (in a sheet window, or in a project's cache of sheets loaded without windows
// for project-wide work), the cache itself, and the recognition of ASCII database text files.
// This module owns the project sheet caches; the sheets in them are destroyed when the cache is
// released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct SheetRecord;
struct SheetSpec;
struct SheetWindowState;

// The keywords of an ASCII database file, looked for in its first bytes (upper-cased).
constexpr const char* kAsciiDatabaseKeyword = "*ORVIX_PLEXA";
constexpr const char* kAsciiLibraryKeyword = "*LIBRARY";
constexpr size_t kAsciiDatabaseProbeSize = 1024;

// What the loader needs of the string-block upkeep and of the sheet editor, installed by the
// composition root.
struct SheetLoadHooks {
    // Moves the sheet's live strings into a fresh string block (recoding the texts of a sheet
    // stored before UTF-8), sets its encoding level and its growth limit; all or nothing
    // (model/sheetstrings.h). A sheet it fails on opens as it was read.
    OSStatus (*compactStringBlock)(SheetRecord* sheet) = nullptr;
    // The sheets shown in sheet windows: the visible windows' front to back (visible), else those
    // of the windows not shown. A program without windows has none.
    std::vector<SheetRecord*> (*openSheets)(bool visible) = nullptr;
};
void SetSheetLoadHooks(const SheetLoadHooks& hooks);
const SheetLoadHooks& GetSheetLoadHooks();

// Loads a sheet file into a new sheet record without a window. With `state`, the window state of
// the file's application header is read into it (an empty state when the file has none).
// *subSheetFlagsFixed (when given) says that a symbol's sub-sheet flag had to be put right. On
// failure the sheet is none, nothing stays open and the status is that of the file, the header
// (0x20002711 for a version too new) or the contents.
OSStatus LoadSchematicSheet(const FileSpec* spec, SheetRecord** sheet, SheetWindowState* state,
                            bool* subSheetFlagsFixed = nullptr);
// The string-block upkeep of a freshly loaded sheet: compacted when its block grew past its growth
// limit, and always when its texts are of an encoding level below 2 (stored before UTF-8).
void MaintainSheetStringBlock(SheetRecord* sheet);

// The sheet of a file open in a sheet window (the visible ones front to back, then those not
// shown), else in the project's cache. By
// name: the file names compared without regard to case, only for sheets whose folder is valid.
SheetRecord* GetLoadedSheet(const FileSpec* spec, ProjectRecord* project, bool byName);
SheetRecord* GetCachedProjectSheet(ProjectRecord* project, const FileSpec* spec, bool byName);
// Destroys the project's cached sheets and forgets the cache.
void ReleaseCachedProjectSheets(ProjectRecord* project);
// Loads the file into the project's cache (the spec's sheet, in the project's context); a sheet
// of that file in the cache already is given again.
OSStatus LoadProjectCacheSheet(ProjectRecord* project, SheetSpec* spec, const FileSpec* file,
                               SheetRecord** sheet);
// The sheet services' lookup by file name: sheet windows first, then the project's cache.
SheetRecord* GetLoadedSheetByName(const char* name, ProjectRecord* project);
// The sheet store's loader: the spec's file found along the project's paths and loaded without a
// window, in the project's context (not cached: the store releases it).
OSStatus LoadSheetForStore(ProjectRecord* project, SheetSpec* spec, SheetRecord** sheet);

// Whether the bytes (the first ones of a text file) hold the keyword of an ASCII database within
// their first 1024 bytes, compared after upper-casing; *isLibrary (when given) whether they also
// hold the library keyword. Embedded zero bytes do not end the search.
bool IsASCIIDatabaseText(const uint8_t* bytes, size_t size, bool* isLibrary);
// The same for a file: false (and the library flag clear) when it cannot be read. A failure
// other than a cancel goes to *status when given.
bool IsASCIIDatabaseFile(const FileSpec* spec, bool* isLibrary, OSStatus* status = nullptr);

}  // namespace plexa
