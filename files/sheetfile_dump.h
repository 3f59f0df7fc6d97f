// The block listing of a sheet file, for `sheet-dump blocks` and for tests: the application
// header (window state and file-symbols flag), then every block in file order with its type, data
// offset and size and what its head says, one line each, with a line for each entry of the blocks
// that list entries (sub-sheet references, exports, file symbols). A block that cannot be read
// says so on its line and the listing goes on.
#pragma once

#include <string>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

// The listing into *out; the status of opening the file (nothing listed then) or of walking its
// blocks.
OSStatus ListSheetFileBlocks(const FileSpec* spec, std::string* out);

}  // namespace plexa
