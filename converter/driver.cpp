// The conversion driver.
#include "converter/driver.h"

#include <string>

#include "converter/detect.h"
#include "converter/output.h"
#include "converter/report.h"
#include "converter/v36libconvert.h"
#include "foundation/filespec.h"

namespace plexa {
namespace {

std::string Inside(const FileSpec* folder, const std::string& name) {
    return OutputPath(folder) + "/" + name;
}

}  // namespace

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

void ConvertV36Sheet(const FileSpec* spec) {
    FileSpec folder;
    if (OSStatus st = OutputProjectFolder(spec, false, false, &folder)) return ConverterError(st);
    ConverterLog("\"%s\": would write \"%s\" and \"%s\"", OutputPath(spec).c_str(),
                 Inside(&folder, OutputProjectFileName(spec->name, false)).c_str(),
                 Inside(&folder, FixSheetOutputName(spec->name)).c_str());
}

void ConvertV36Project(const FileSpec* spec) {
    FileSpec folder;
    if (OSStatus st = OutputProjectFolder(spec, true, false, &folder)) return ConverterError(st);
    ConverterLog("\"%s\": would write \"%s\" and the project's sheets", OutputPath(spec).c_str(),
                 Inside(&folder, OutputProjectFileName(spec->name, true)).c_str());
}

void ConvertV36Library(const FileSpec* spec) { ConverterError(ConvertV36LibraryFile(spec, nullptr)); }

}  // namespace plexa
