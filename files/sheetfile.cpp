// Sheet files (see sheetfile.h).
#include "files/sheetfile.h"

#include "foundation/dynfile.h"

namespace plexa {

OSStatus IsSheetFile(const FileSpec* spec) {
    FourCharCode type = 0;
    if (OSStatus st = IsDynamicFileEx(spec, &type, 0, nullptr, nullptr)) return st;
    return type == kSheetFileType ? status::kNoErr : status::kUnknownFileKind;
}

}  // namespace plexa
