// Output names, output folders and the replacement of older output files.
#include "converter/output.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "converter/report.h"
#include "foundation/datafile.h"
#include "foundation/strings.h"
#include "foundation/tempfiles.h"

namespace plexa {
namespace {

constexpr const char* kSheetSourceExtension = ".SCM";
constexpr const char* kProjectSourceExtension = ".SPR";
constexpr const char* kLibrarySourceExtension = ".SLB";
constexpr const char* kSheetExtension = ".SHX";
constexpr const char* kProjectExtension = ".PRX";
constexpr const char* kLibraryExtension = ".LBX";
constexpr const char* kSheetProjectSuffix = " Project";
constexpr const char* kPendingPrefix = "Cnv";
// Libraries folders tried beside one another before giving up.
constexpr int kLibraryFolderTries = 1000;

// The name less the extension when it ends in it (without regard to case); whether it did.
bool StripExtension(std::string* name, const char* extension) {
    if (!NameHasExtension(name->c_str(), extension)) return false;
    name->resize(name->size() - std::strlen(extension));
    return true;
}

bool IsContinuationByte(char c) { return (uint8_t(c) & 0xC0) == 0x80; }

OSStatus CreateOutputFolder(const FileSpec* folder, bool* created) {
    FileSpec made = *folder;
    const OSStatus st = VXCreateDirectory(&made);
    if (created) *created = st == status::kNoErr;
    return st;
}

}  // namespace

std::string CutOutputName(const std::string& name) {
    uint32_t characters = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (IsContinuationByte(name[i])) continue;
        if (characters == kOutputNameLimit) return name.substr(0, i) + "_";
        ++characters;
    }
    return name;
}

std::string OutputProjectFolderName(const char* sourceName, bool isProject) {
    std::string name = sourceName ? sourceName : "";
    StripExtension(&name, isProject ? kProjectSourceExtension : kSheetSourceExtension);
    return CutOutputName(name) + kOutputFolderSuffix;
}

std::string OutputProjectFileName(const char* sourceName, bool isProject) {
    std::string name = sourceName ? sourceName : "";
    if (isProject)
        return StripExtension(&name, kProjectSourceExtension) ? name + kProjectExtension : name;
    if (StripExtension(&name, kSheetSourceExtension)) return name + kProjectExtension;
    return CutOutputName(name) + kSheetProjectSuffix;
}

std::string FixSheetOutputName(const char* sheetName) {
    std::string name = sheetName ? sheetName : "";
    if (!StripExtension(&name, kSheetSourceExtension)) return name;
    StripExtension(&name, kSheetExtension);
    return name + kSheetExtension;
}

std::string OutputLibraryFileName(const char* sourceName) {
    std::string name = sourceName ? sourceName : "";
    StripExtension(&name, kLibrarySourceExtension);
    StripExtension(&name, kLibraryExtension);
    return name + kLibraryExtension;
}

OSStatus OutputProjectFolder(const FileSpec* source, bool isProject, bool create, FileSpec* folder,
                             bool* created) {
    if (created) *created = false;
    if (!source || !folder) return status::kParamErr;
    ClearFileSpec(folder);
    folder->directory = source->directory;
    SetFileSpecName(folder, OutputProjectFolderName(source->name, isProject).c_str());
    bool isFolder = false;
    const bool exists = VXFileExists(folder, &isFolder);
    if (exists && !isFolder) return status::kDuplicateName;
    if (exists || !create) return status::kNoErr;
    return CreateOutputFolder(folder, created);
}

OSStatus OutputLibraryFolder(const FileSpec* source, bool create, FileSpec* folder, bool* created) {
    if (created) *created = false;
    if (!source || !folder) return status::kParamErr;
    ClearFileSpec(folder);
    folder->directory = source->directory;
    for (int n = 0; n < kLibraryFolderTries; ++n) {
        char name[64];
        if (n == 0)
            std::snprintf(name, sizeof name, "%s", kConvertedLibrariesFolder);
        else
            std::snprintf(name, sizeof name, "%s.%d", kConvertedLibrariesFolder, n);
        SetFileSpecName(folder, name);
        bool isFolder = false;
        const bool exists = VXFileExists(folder, &isFolder);
        if (exists && !isFolder) continue;
        if (exists || !create) return status::kNoErr;
        return CreateOutputFolder(folder, created);
    }
    return status::kDuplicateName;
}

OSStatus OutputFileSpec(const FileSpec* folder, const std::string& name, FileSpec* file) {
    if (!folder || !file) return status::kParamErr;
    DirectoryRef directory;
    if (OSStatus st = DirectoryFromFolderSpec(folder, &directory)) return st;
    ClearFileSpec(file);
    file->directory = directory;
    SetFileSpecName(file, name.c_str());
    return status::kNoErr;
}

void RemoveEmptyOutputFolder(const FileSpec* folder) {
    const std::string path = OutputPath(folder);
    if (!path.empty()) ::rmdir(path.c_str());  // fails, and keeps the folder, when it holds anything
}

std::string OutputPath(const FileSpec* spec) {
    std::string path;
    if (!spec || CreateURLFromFileSpec(spec, true, &path) != status::kNoErr) return {};
    return path;
}

OSStatus BeginOutputFile(const FileSpec* target, OutputFile* file) {
    if (!target || !file) return status::kParamErr;
    file->open = false;
    bool isFolder = false;
    if (VXFileExists(target, &isFolder) && isFolder) return status::kDuplicateName;
    file->target = *target;
    file->pending = *target;
    // Made at once under a name of its own (O_EXCL), so that no other run shares it.
    if (OSStatus st = CreateTemporaryFileBeside(kPendingPrefix, &file->pending)) return st;
    file->open = true;
    return status::kNoErr;
}

OSStatus CommitOutputFile(OutputFile* file) {
    if (!file || !file->open) return status::kParamErr;
    bool isFolder = false;
    const bool replaces = VXFileExists(&file->target, &isFolder);
    OSStatus st = replaces && isFolder ? status::kDuplicateName
                                       : VXReplaceFile(&file->target, &file->pending);
    if (st != status::kNoErr) {
        AbandonOutputFile(file);
        return st;
    }
    file->open = false;
    if (replaces) ConverterLog("replaced the earlier \"%s\"", OutputPath(&file->target).c_str());
    return status::kNoErr;
}

void AbandonOutputFile(OutputFile* file) {
    if (!file || !file->open) return;
    (void)VXDeleteFile(&file->pending);  // best effort: the pending file is not kept
    file->open = false;
}

}  // namespace plexa
