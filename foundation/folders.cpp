// Standard folders (XDG) and the in-memory list of access points (see folders.h).
#include "foundation/folders.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/datafile.h"
#include "foundation/localized.h"
#include "foundation/tempfiles.h"

namespace plexa {
namespace {

FolderChooserHook gChooser = nullptr;

// Access points: folder locations kept in CompareURLs order, each once.
std::vector<std::string>* gAccessPoints = nullptr;

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string Home() { return AbsoluteEnv("HOME"); }

std::string UnderHome(const char* variable, const char* fallback) {
    std::string value = variable ? AbsoluteEnv(variable) : std::string();
    if (!value.empty()) return value;
    const std::string home = Home();
    return home.empty() ? std::string() : (fallback[0] ? home + "/" + fallback : home);
}

std::string UserFolderPath(uint32_t kind) {
    switch (kind) {
        case kVXFolderHome: return UnderHome(nullptr, "");
        case kVXFolderApplicationSupport: return UnderHome("XDG_DATA_HOME", ".local/share");
        case kVXFolderPreferences: return UnderHome("XDG_CONFIG_HOME", ".config");
        case kVXFolderCaches: return UnderHome("XDG_CACHE_HOME", ".cache");
        case kVXFolderDocuments: return UnderHome(nullptr, "Documents");
        case kVXFolderDesktop: return UnderHome(nullptr, "Desktop");
    }
    return {};
}

bool IsSingleComponent(const char* name) {
    if (!name) return false;
    const size_t length = std::strlen(name);
    return length > 0 && length < kFileSpecNameCapacity && !std::strchr(name, '/') &&
           std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

// Makes a folder and the missing folders above it (mode 0700 for new ones, as XDG asks).
bool MakeFolderPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? path : path.substr(0, slash);
        if (!IsDirectoryURL(part) && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos) break;
    }
    return IsDirectoryURL(path);
}

bool FolderAt(const std::string& path, const char* subfolder, bool create, DirectoryRef* directory) {
    if (path.empty()) return false;
    return FindOrCreateSubFolder(path.c_str(), subfolder, create, directory) == status::kNoErr;
}

std::vector<std::string>& AccessPoints() {
    if (!gAccessPoints) gAccessPoints = new std::vector<std::string>;
    return *gAccessPoints;
}

}  // namespace

void SetFolderChooserHook(FolderChooserHook hook) { gChooser = hook; }
FolderChooserHook GetFolderChooserHook() { return gChooser; }

OSStatus FindOrCreateSubFolder(const char* location, const char* name, bool create,
                               DirectoryRef* directory) {
    if (!directory) return status::kParamErr;
    ClearDirectoryRef(directory);
    if (!location || location[0] != '/') return status::kFolderNotFound;
    if (name && !IsSingleComponent(name)) return status::kParamErr;
    std::string path = NormalizePath(location);
    if (name) path += (path == "/" ? "" : "/") + std::string(name);
    if (IsDirectoryURL(path)) return DirectoryFromDirectoryURL(path, directory);
    if (URLTargetExists(path)) return status::kDuplicateName;
    if (!create) return status::kFolderNotFound;
    FileSpec spec;
    if (OSStatus st = FileSpecFromURL(path, &spec, false, nullptr)) return st;
    if (OSStatus st = VXCreateDirectory(&spec)) return st;
    *directory = spec.directory;
    return status::kNoErr;
}

bool VXGetBundleResourcesDirectory(DirectoryRef* directory) {
    if (!directory) return false;
    ClearDirectoryRef(directory);
    return FolderAt(GetResourceDirectory(), nullptr, false, directory);
}

bool VXGetUserDomainDirectory(uint32_t kind, const char* subfolder, bool create,
                              DirectoryRef* directory) {
    if (!directory) return false;
    ClearDirectoryRef(directory);
    return FolderAt(UserFolderPath(kind), subfolder, create && subfolder, directory);
}

bool VXGetApplicationsDirectory(const char* subfolder, DirectoryRef* directory) {
    if (!directory) return false;
    ClearDirectoryRef(directory);
    return FolderAt("/usr/share/applications", subfolder, false, directory);
}

bool VXGetAppLibraryDirectory(const char* folderName, DirectoryRef* directory) {
    if (!directory) return false;
    ClearDirectoryRef(directory);
    const std::string data = UserFolderPath(kVXFolderApplicationSupport);
    if (!MakeFolderPath(data)) return false;
    DirectoryRef maker;
    if (!FolderAt(data, folderName && *folderName ? folderName : "Anonymous", true, &maker))
        return false;
    std::string makerPath;
    if (CreateDirectoryURLFromDirectory(&maker, &makerPath)) return false;
    return FolderAt(makerPath, GetTempFilesBundleIdentifier(), true, directory);
}

OSStatus VXBuildPreferenceFileSpec(const char* name, const char* folderName, uint32_t, uint32_t,
                                   FileSpec* spec) {
    if (!spec) return status::kParamErr;
    ClearFileSpec(spec);
    DirectoryRef folder;
    if (!VXGetAppLibraryDirectory(folderName, &folder)) return status::kFolderNotFound;
    spec->directory = folder;
    SetFileSpecName(spec, name ? name : "");
    return status::kNoErr;
}

// ---- Access points ----

// The application is never sandboxed here: there are no stored bookmarks to load, and the list
// is made empty on its first use.
void VXLoadAccessPoints() {}

void VXSaveAccessPoints(bool dispose) {
    if (dispose && gAccessPoints) {
        delete gAccessPoints;
        gAccessPoints = nullptr;
    }
}

int32_t VXCountAccessPoints() { return gAccessPoints ? int32_t(gAccessPoints->size()) : 0; }

bool VXGetIndexedAccessPoint(int32_t index, DirectoryRef* directory) {
    if (directory) ClearDirectoryRef(directory);
    if (!directory || index < 0 || index >= VXCountAccessPoints()) return false;
    return DirectoryFromDirectoryURL((*gAccessPoints)[size_t(index)], directory) == status::kNoErr;
}

OSStatus VXChooseAccessPoint(DirectoryRef* directory) {
    if (directory) ClearDirectoryRef(directory);
    if (!gChooser) return status::kParamErr;
    DirectoryRef start, chosen;
    const bool haveStart = DirectoryFromDirectoryURL("/media", &start) == status::kNoErr ||
                           DirectoryFromDirectoryURL("/mnt", &start) == status::kNoErr;
    if (OSStatus st = gChooser(&chosen, "Choose Accessible Location", "Choose",
                               haveStart ? &start : nullptr))
        return st;
    std::string location;
    if (OSStatus st = CreateDirectoryURLFromDirectory(&chosen, &location)) return st;
    std::vector<std::string>& list = AccessPoints();
    const auto at = std::lower_bound(list.begin(), list.end(), location,
                                     [](const std::string& a, const std::string& b) {
                                         return CompareURLs(a, b) < 0;
                                     });
    if (at != list.end() && CompareURLs(*at, location) == 0) return status::kDuplicateName;
    list.insert(at, location);
    if (directory) *directory = chosen;
    return status::kNoErr;
}

bool VXRemoveIndexedAccessPoint(int32_t index) {
    if (index < 0 || index >= VXCountAccessPoints()) return false;
    gAccessPoints->erase(gAccessPoints->begin() + index);
    return true;
}

}  // namespace plexa
