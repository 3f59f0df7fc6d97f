// The conversion driver.
#include "converter/driver.h"

#include "converter/detect.h"
#include "converter/report.h"
#include "converter/v36libconvert.h"
#include "converter/v36projconvert.h"
#include "converter/v36sheetconvert.h"
#include "foundation/filespec.h"

namespace plexa {

OSStatus ConvertFileProcessor(const FileSpec* spec) {
    FourCharCode type = 0;
    if (OSStatus st = AutoDetectConversionFileType(spec, &type)) return st;
    switch (type) {
        case kV36SheetType: ConvertV36Sheet(spec); break;
        case kV36ProjectType: ConvertV36Project(spec); break;
        case kV36LibraryType: ConvertV36Library(spec); break;
        default: break;
    }
    return status::kNoErr;
}

void ConvertV36Sheet(const FileSpec* spec) { ConverterError(ConvertV36SheetFile(spec, nullptr)); }

void ConvertV36Project(const FileSpec* spec) { ConverterError(ConvertV36ProjectFile(spec, nullptr)); }

void ConvertV36Library(const FileSpec* spec) { ConverterError(ConvertV36LibraryFile(spec, nullptr)); }

}  // namespace plexa
