// Sheet files: a sheet is stored in a dynamic file of type "SCH4" (creator "QPLX", extension
// ".SHX").
//
// This header holds the start of the sheet-file module: telling a sheet file. The sheet-file
// module completes it with the file's header, blocks, readers and writers.
#pragma once

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

constexpr FourCharCode kSheetFileType = FourCC("SCH4");

// 0 for a dynamic file of type "SCH4"; the dynamic file layer's status for a file that is none
// (0x20002AF8, or the failure to read it); 0x20002712 for a dynamic file of another type.
OSStatus IsSheetFile(const FileSpec* spec);

}  // namespace plexa
