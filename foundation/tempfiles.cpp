// The run's temporary folder and temporary file names (see tempfiles.h).
#include "foundation/tempfiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/datafile.h"
#include "foundation/datetime.h"

namespace plexa {
namespace {

std::string gBundleIdentifier = "com.orvix.Plexa";
std::string gTempFolder;  // empty until made
pid_t gTempFolderOwner = 0;
bool gExitHandlerInstalled = false;

void RemoveTempFolderAtExit() { VXRemoveSessionTempDirectory(); }

bool MakeTempFolder() {
    const char* root = std::getenv("TMPDIR");
    const std::string base = NormalizePath(root && root[0] == '/' ? root : "/tmp");
    const std::string pattern = (base == "/" ? "" : base) + "/" + gBundleIdentifier + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!::mkdtemp(name.data())) return false;
    gTempFolder = name.data();
    gTempFolderOwner = ::getpid();
    if (!gExitHandlerInstalled) gExitHandlerInstalled = std::atexit(RemoveTempFolderAtExit) == 0;
    return true;
}

}  // namespace

void SetTempFilesBundleIdentifier(const char* identifier) {
    if (identifier && *identifier && !std::strchr(identifier, '/')) gBundleIdentifier = identifier;
}

const char* GetTempFilesBundleIdentifier() { return gBundleIdentifier.c_str(); }

OSStatus VXGetTempDirectory(DirectoryRef* directory) {
    if (!directory) return status::kParamErr;
    // A folder that went away (say, inherited from the parent of a fork that has ended) is
    // replaced by a new one of our own.
    if (!gTempFolder.empty() && !IsDirectoryURL(gTempFolder)) gTempFolder.clear();
    if ((gTempFolder.empty() && !MakeTempFolder()) ||
        DirectoryFromDirectoryURL(gTempFolder, directory) != status::kNoErr) {
        ClearDirectoryRef(directory);
        return status::kFolderNotFound;
    }
    return status::kNoErr;
}

void VXRemoveSessionTempDirectory() {
    if (gTempFolder.empty() || gTempFolderOwner != ::getpid()) return;
    DirectoryRef folder;
    if (DirectoryFromDirectoryURL(gTempFolder, &folder) == status::kNoErr)
        (void)VXDeleteDirectory(&folder, kDeleteFolder | kDeleteContent);  // best effort at exit
    gTempFolder.clear();
    gTempFolderOwner = 0;
}

OSStatus MakeTemporaryFileSpec(const char* prefix, bool inGivenFolder, FileSpec* spec) {
    if (!spec) return status::kParamErr;
    std::string folder;
    OSStatus st;
    if (inGivenFolder) {
        st = CreateDirectoryURLFromDirectory(&spec->directory, &folder);
    } else {
        DirectoryRef temporary;
        st = VXGetTempDirectory(&temporary);
        if (st == status::kNoErr) st = CreateDirectoryURLFromDirectory(&temporary, &folder);
    }
    if (st != status::kNoErr) {
        ClearFileSpec(spec);
        return status::kFolderNotFound;
    }
    const std::string bundle = gBundleIdentifier.substr(0, 47);
    const std::string head = (prefix && *prefix) ? std::string(prefix).substr(0, 3) : std::string("T");
    uint32_t ticks = uint32_t(MonotonicTicks());
    for (int attempt = 0; attempt < 100000; ++attempt, ticks += 3) {
        char number[16];
        std::snprintf(number, sizeof number, "%X", (ticks & 0x7FFFFFu) | 0x800000u);
        const std::string name = bundle + "." + head + number + ".tmp";
        const std::string path = (folder == "/" ? "" : folder) + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0) continue;
        return FileSpecFromURL(path, spec, false, nullptr);
    }
    ClearFileSpec(spec);
    return status::kDuplicateName;
}

namespace {

OSStatus CreateTemporary(const char* prefix, bool inGivenFolder, const char* creator, const char* type,
                         FileSpec* spec) {
    if (!spec) return status::kParamErr;
    const FileSpec given = *spec;
    OSStatus st = status::kDuplicateName;
    // The name is checked, then created with O_EXCL: a name taken in between is tried again.
    for (int attempt = 0; attempt < 64 && st == status::kDuplicateName; ++attempt) {
        *spec = given;
        if ((st = MakeTemporaryFileSpec(prefix, inGivenFolder, spec)) != status::kNoErr) break;
        st = CreateNewDataFile(spec, creator, type);
    }
    if (st != status::kNoErr) ClearFileSpec(spec);
    return st;
}

}  // namespace

OSStatus CreateTemporaryDataFile(const char* prefix, const char* creator, const char* type, FileSpec* spec) {
    return CreateTemporary(prefix, false, creator, type, spec);
}

OSStatus CreateTemporaryFileBeside(const char* prefix, FileSpec* spec) {
    return CreateTemporary(prefix, true, nullptr, nullptr, spec);
}

}  // namespace plexa
