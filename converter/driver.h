// The conversion driver: every file that reaches the converter (the Convert command, an open
// request of the shell, a drop, the command line in batch use) goes to `ConvertDocument`, which
// checks that the file can be read, decides by content what it is and runs the matching
// conversion, and tells what became of it (converter/report.h). `ConvertFileProcessor` is the
// same for a file spec whose detection failure the caller reports.
//
// Libraries are converted by converter/v36libconvert.h, sheets and projects by
// converter/v36projconvert.h.
//
// Skipped, with the reason: a folder, something that is not a regular file, an empty file, a file
// that is not a version-3.6 document (or is one of another kind, or too old), a library of no
// items. Failed, with the reason: a file that is not there or cannot be read, any failure of the
// conversion. Cancelled: the user did not find a sheet of a project.
#pragma once

#include <string>

#include "converter/report.h"
#include "foundation/types.h"

namespace plexa {

struct FileSpec;

// Converts the file at the path (absolute or relative to the working folder) and tells what became
// of it; reports nothing itself.
ConversionReport ConvertDocument(const std::string& path);

// 0 after a conversion ran (and reported its outcome through ReportConversion) or when there was
// nothing to convert; the detection's failure otherwise (0x20002712 for a file that is not a
// version-3.6 document), which the caller reports.
OSStatus ConvertFileProcessor(const FileSpec* spec);

// Each conversion reports its outcome through ReportConversion.
void ConvertV36Sheet(const FileSpec* spec);
void ConvertV36Project(const FileSpec* spec);
void ConvertV36Library(const FileSpec* spec);

}  // namespace plexa
