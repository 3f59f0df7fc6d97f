// The conversion driver: every file that reaches the converter (the Convert command, an open
// request of the shell, a drop) goes to `ConvertFileProcessor`, which decides by content what the
// file is and runs the matching conversion. A conversion reports its own failure (once, through
// the converter's report procedures) and returns nothing.
//
// Libraries are converted by converter/v36libconvert.h, sheets and projects by
// converter/v36projconvert.h. Until the files layer writes sheet files, a sheet or project
// conversion writes the project file and logs each translated sheet as not written (that line is
// its report; no failure is shown for it).
#pragma once

#include "foundation/types.h"

namespace plexa {

struct FileSpec;

// 0 after a conversion ran or when there was nothing to convert; the detection's failure
// otherwise (0x20002712 for a file that is not a version-3.6 document).
OSStatus ConvertFileProcessor(const FileSpec* spec);

void ConvertV36Sheet(const FileSpec* spec);
void ConvertV36Project(const FileSpec* spec);
void ConvertV36Library(const FileSpec* spec);

}  // namespace plexa
