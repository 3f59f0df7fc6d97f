// Sheet files used as libraries: a sheet whose file-symbols block holds file symbols offers them
// as library items. The symbols are read through the sheet services (files/sheet_services.h);
// until the sheet-file module installs them, no sheet has file symbols.
//
// A sheet opened as a library is a `LibraryFileRecord` with flag kLibrarySheetFile: its dynamic
// file open read-only, and an item map over the file symbols' names whose block ids are the
// symbols' stream positions in the file-symbols block. It is never written.
#pragma once

#include "foundation/filespec.h"
#include "library/libfile.h"

namespace plexa {

// Whether the file is a sheet file ("SCH4") that holds at least one file symbol.
bool IsSheetWithFileSymbols(const FileSpec* spec);

// Opens the sheet read-only and builds the item map over its file symbols. 0x20002712 for a file
// that is not a sheet, 0x20002715 for a sheet without file symbols; on failure the record is
// closed and zero.
OSStatus OpenSheetAsLibrary(const FileSpec* spec, LibraryFileRecord* record);

// Opens a file of a library list for reading its items: a sheet as above, a library file
// read-only with its item map (rebuilt in memory when the stored one is missing or marked
// invalid). On failure the record is closed and zero.
OSStatus OpenLibraryForReading(const FileSpec* spec, bool isSheet, LibraryFileRecord* record);

}  // namespace plexa
