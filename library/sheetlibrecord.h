// The library record of a sheet file whose file symbols are at hand already (read by the caller,
// or held by the sheet being saved): the sheet file's record, the sheet-library flag and, when
// there are file symbols, an item map over their names whose block ids are the stream positions
// of the symbols' entries in the file-symbols block.
#pragma once

#include "files/filesymbols.h"
#include "library/libfile.h"

namespace plexa {

// Clears the record and builds it over the open sheet file (the record takes the file over: it
// is closed with the record) and the list (none or empty: no map). Entries whose bytes are not an
// item with names are passed over. On failure the map is freed, the record cleared and the file
// left open for the caller.
OSStatus BuildSheetLibraryRecord(const DynamicFileRecord* sheetFile, const FileSymbolList* list,
                                 LibraryFileRecord* record);

}  // namespace plexa
