// The converter's forms of functions that the editor's shell and file layer also have: the
// remembered folder of the file panels (one folder and one filter value, whatever the kind: the
// converter has no preferences file), the open panel's filter, which also admits the three
// version-3.6 kinds, and the open panel that hands the chosen files on.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "toolkit/vx_filepanels.h"

namespace plexa {

// Kind flags of the open panel's filter: each admits a type code or a name extension.
constexpr uint32_t kFilterSheets = 1;        // "SCH4" / ".SHX"
constexpr uint32_t kFilterProjects = 2;      // "PRJ4" / ".PRX"
constexpr uint32_t kFilterLibraries = 4;     // "LIB4" / ".LBX"
constexpr uint32_t kFilterDatabases = 8;     // ".ASC", or creator "QPLX" with type "TEXT"
constexpr uint32_t kFilterScripts = 16;      // "TEXT" / ".SXP"
constexpr uint32_t kFilterV36Sheets = 32;    // "QSCM" / ".SCM"
constexpr uint32_t kFilterV36Projects = 64;  // "QSPR" / ".SPR"
constexpr uint32_t kFilterV36Libraries = 128;  // "QLIB" / ".SLB"
constexpr uint32_t kFilterV36Documents = kFilterV36Sheets | kFilterV36Projects | kFilterV36Libraries;

// The remembered folder and filter value. Before anything was recorded the folder is invalid and
// the value 1.
void RecordPrefDirectory(int32_t kind, const DirectoryRef* directory, uint16_t value);
void GetPrefDirectory(int32_t kind, DirectoryRef* directory, uint16_t* value);

// Whether the open panel offers a file, for the kind flags that `reference` points to (an
// uint32_t). Extensions are the last four characters of names of at least five, compared
// without regard to case. A version-3.6 sheet or library has no type code of its own on this
// platform: when neither its code nor its name decides, its content does.
bool MacOpenFilesFilter(const FileSpec* spec, void* reference);

// The open-files panel over the remembered folder, filtered by the kind flags; several files may
// be chosen. Each chosen file goes to the processor, or without one to the shell as an open
// request. Unless the panel failed, the folder it ended in is remembered. 0, -128 when
// cancelled, or the failure.
OSStatus SelectAndProcessFiles(uint32_t kindMask, int32_t folderKind, const char* prompt,
                               const char* typeList, VXOpenFileProc processor, void* value);

// The panel that asks the user to find a sheet of a project (the program installs it with
// SetFindSheetPanel): an open panel titled with the prompt that offers only version-3.6 sheets
// ("QSCM" by content, or a name ending in ".SCM") named exactly `name`, or `name` plus ".scm" when
// the name has no dot. 0 with the chosen file, -128 when cancelled.
OSStatus FindSheetWithPanel(const char* prompt, const char* name, FileSpec* chosen, void* refCon);
// Whether the find panel offers a file for a sheet of that name.
bool FindSheetPanelOffers(const FileSpec* spec, const char* name);

}  // namespace plexa
