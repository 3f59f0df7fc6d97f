// File panels over the platform's panels (see vx_filepanels.h).
#include "toolkit/vx_filepanels.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "foundation/folders.h"
#include "foundation/strings.h"
#include "platform/panel_platform.h"
#include "toolkit/vx_app.h"

namespace plexa {
namespace {

// The filter of the next open panel.
VXOpenFilesFilterProc gFilter = nullptr;
void* gFilterReference = nullptr;

struct FilterClearer {
    ~FilterClearer() {
        gFilter = nullptr;
        gFilterReference = nullptr;
    }
};

// The offered types of a file type list.
struct TypeList {
    bool applications = false;
    bool folders = false;
    std::vector<std::string> codes;  // codes that name a type
};

bool NamesAType(const std::string& code) {
    for (char c : code)
        if (c != ' ' && c != 0 && c != '?' && c != '*') return true;
    return false;
}

TypeList ParseTypes(const char* types) {
    TypeList list;
    const std::string text = types ? types : "";
    std::vector<std::string> codes;
    for (size_t at = 0; at + 4 <= text.size(); at += 4) codes.push_back(text.substr(at, 4));
    if (codes.size() == 1 && codes[0] == "APPL") list.applications = true;
    for (const std::string& code : codes) {
        if (code == "Fldr") list.folders = true;
        else if (!list.applications && NamesAType(code)) list.codes.push_back(code);
    }
    return list;
}

bool IsApplication(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.substr(dot) == ".desktop") return true;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Enabling in an open panel: the type list first, then the filter procedure's delegate rule.
bool OpenPanelEnable(const std::string& path, bool isFolder, void* refcon) {
    if (isFolder) return true;
    const auto* types = static_cast<const TypeList*>(refcon);
    if (types && types->applications && !IsApplication(path)) return false;
    if (types && !types->codes.empty()) {
        char creator[5], type[5];
        (void)GetLegacyCreatorAndTypeForURL(path, creator, type);  // codes stay empty when unknown
        bool offered = false;
        for (const std::string& code : types->codes) offered = offered || code == type;
        if (!offered) return false;
    }
    return VXOpenPanelShouldEnable(path);
}

// The enable procedure, only when a type list or a filter decides anything (the platform's
// panel can then stay its own).
void SetOpenPanelEnable(PlatformFilePanelRequest* request, const TypeList* types) {
    if (!types->applications && types->codes.empty() && !gFilter) return;
    request->enable = OpenPanelEnable;
    request->enableRefcon = const_cast<TypeList*>(types);
}

std::string MacRomanToUTF8(const char* text) {
    if (!text || !*text) return {};
    const size_t length = std::strlen(text);
    std::vector<char> buffer(length * 3 + 1);
    std::memcpy(buffer.data(), text, length + 1);
    RecodeFromMacRomanIfNeeded(buffer.data(), uint32_t(buffer.size()), kEncodingUTF8);
    return buffer.data();
}

std::string DirectoryPath(const DirectoryRef* directory) {
    std::string path;
    if (directory && !IsDirectoryInvalid(directory) &&
        CreateDirectoryURLFromDirectory(directory, &path) == 0 && IsDirectoryURL(path))
        return path;
    return {};
}

std::string SpecFolderPath(const FileSpec* spec) {
    return spec ? DirectoryPath(&spec->directory) : std::string();
}

// The folder a panel ended in, as a directory reference (cleared when it gives none).
void StoreFolder(const std::string& folder, DirectoryRef* directory) {
    if (!directory) return;
    if (folder.empty() || DirectoryFromDirectoryURL(folder, directory) != 0) ClearDirectoryRef(directory);
}

// A chosen file as a file spec with its codes, aliases resolved.
OSStatus ChosenFileSpec(const std::string& path, FileSpec* spec) {
    bool isFolder = false;
    if (OSStatus st = FileSpecFromURL(path, spec, true, &isFolder)) return st;
    bool wasAlias = false;
    if (OSStatus st = ResolveFileSpec(spec, true, &wasAlias, &isFolder)) return st;
    return isFolder ? status::kParamErr : status::kNoErr;  // an alias of a folder is no file
}

// The folder chooser; *endedIn (when asked) receives the folder the panel showed last.
OSStatus RunFolderPanel(const char* title, uint32_t flags, DirectoryRef* directory,
                        const char* prompt, std::string* endedIn) {
    if (!directory) return status::kParamErr;
    PlatformFilePanelRequest request;
    request.kind = PlatformPanelKind::kChooseFolder;
    request.title = title ? title : "";
    request.prompt = prompt ? prompt : "";
    if (flags & kVXPanelStartInFolder) request.folder = DirectoryPath(directory);
    request.createFolders = flags & kVXPanelCreateFolders;
    ClearDirectoryRef(directory);
    const PlatformFilePanelResult result = PlatformRunFilePanel(request);
    if (endedIn) *endedIn = result.folder;
    if (!result.accepted || result.paths.empty()) return status::kUserCancelled;
    std::string path = result.paths.front();
    char real[4096];
    if (::realpath(path.c_str(), real)) path = real;  // aliases resolved
    return DirectoryFromDirectoryURL(path, directory);
}

OSStatus OpenFilesUsingShellRequests(const FileSpec* spec, int32_t index, int32_t count, void*) {
    std::string path;
    if (CreateURLFromFileSpec(spec, true, &path)) return status::kNoErr;  // no location: dropped
    return VXPostShellRequestAction(kVXShellOpenFile, path.c_str(), int16_t(index), int16_t(count));
}

OSStatus ChooseFolderHook(DirectoryRef* directory, const char* title, const char* prompt,
                          const DirectoryRef* start) {
    if (start && directory != start) *directory = *start;
    return RunChooseFolderPanel(title, start ? kVXPanelStartInFolder : 0, directory, prompt);
}

}  // namespace

bool VXOpenPanelShouldEnable(const std::string& path) {
    if (!gFilter) return true;
    FileSpec spec;
    bool isFolder = false;
    if (FileSpecFromURL(path, &spec, true, &isFolder) != 0) return true;
    if (isFolder) return true;
    return gFilter(&spec, gFilterReference);
}

void VXInstallMacOpenFilesFilter(VXOpenFilesFilterProc proc, void* reference) {
    gFilter = proc;
    gFilterReference = proc ? reference : nullptr;
}

void VXBuildFileTypeStr(char* buffer, void*, const char* code, bool append) {
    if (!buffer) return;
    if (!append) buffer[0] = 0;
    if (code) std::strncat(buffer, code, 4);
}

OSStatus VXAskOpenFiles(const char* title, const char* fileTypes, uint32_t flags,
                        DirectoryRef* directory, void*, const char* prompt, VXOpenFileProc proc,
                        void* userData) {
    FilterClearer clearer;
    const TypeList types = ParseTypes(fileTypes);
    PlatformFilePanelRequest request;
    request.kind = PlatformPanelKind::kOpen;
    request.title = MacRomanToUTF8(title);
    request.prompt = MacRomanToUTF8(prompt);
    if (flags & kVXPanelStartInFolder) request.folder = DirectoryPath(directory);
    request.multiple = flags & kVXPanelMultiple;
    SetOpenPanelEnable(&request, &types);
    const PlatformFilePanelResult result = PlatformRunFilePanel(request);
    StoreFolder(result.folder, directory);
    if (!result.accepted) return status::kUserCancelled;
    if (!proc) proc = OpenFilesUsingShellRequests;
    const int32_t count = int32_t(result.paths.size());
    for (int32_t i = 0; i < count; ++i) {
        FileSpec spec;
        if (ChosenFileSpec(result.paths[size_t(i)], &spec)) continue;  // skipped, still counted
        if (OSStatus st = proc(&spec, i - 1, count, userData)) return st;
    }
    return status::kNoErr;
}

bool VXAskFileOpen(const char* title, const char* fileTypes, uint32_t flags, FileSpec* spec, void*) {
    if (!spec) return false;
    FilterClearer clearer;
    const TypeList types = ParseTypes(fileTypes);
    if (types.folders) {
        DirectoryRef folder;
        ClearDirectoryRef(&folder);
        uint32_t folderFlags = 0;
        if ((flags & kVXPanelStartInFolder) && !SpecFolderPath(spec).empty()) {
            folder = spec->directory;
            folderFlags = kVXPanelStartInFolder;
        }
        std::string endedIn;
        if (RunFolderPanel(title, folderFlags, &folder, "Choose", &endedIn)) {
            StoreFolder(endedIn, &spec->directory);
            return false;
        }
        std::string path;
        FileSpec chosen;
        if (CreateDirectoryURLFromDirectory(&folder, &path) || FileSpecFromURL(path, &chosen, true, nullptr))
            return false;
        *spec = chosen;
        return true;
    }
    PlatformFilePanelRequest request;
    request.kind = PlatformPanelKind::kOpen;
    request.title = MacRomanToUTF8(title);
    if (flags & kVXPanelChoosePrompt) request.prompt = "Choose";
    if (flags & kVXPanelStartInFolder) request.folder = SpecFolderPath(spec);
    SetOpenPanelEnable(&request, &types);
    const PlatformFilePanelResult result = PlatformRunFilePanel(request);
    FileSpec chosen;
    if (result.accepted && !result.paths.empty() && ChosenFileSpec(result.paths.front(), &chosen) == 0) {
        *spec = chosen;
        return true;
    }
    StoreFolder(result.folder, &spec->directory);
    return false;
}

OSStatus RunSaveFilesPanel(const char* title, const char* defaultName, bool startInFolder,
                           const char*, const char*, FileSpec* spec) {
    if (!spec) return status::kParamErr;
    PlatformFilePanelRequest request;
    request.kind = PlatformPanelKind::kSave;
    request.title = title ? title : "";
    request.defaultName = defaultName ? defaultName : "";
    if (startInFolder) request.folder = SpecFolderPath(spec);
    request.createFolders = true;
    const PlatformFilePanelResult result = PlatformRunFilePanel(request);
    if (!result.accepted || result.paths.empty()) return status::kUserCancelled;
    FileSpec chosen;
    bool isFolder = false;
    if (OSStatus st = FileSpecFromURL(result.paths.front(), &chosen, true, &isFolder)) return st;
    *spec = chosen;
    return status::kNoErr;
}

bool VXAskFileSave(const char* title, const char* defaultName, const char* creator,
                   const char* type, bool startInFolder, FileSpec* spec) {
    return RunSaveFilesPanel(title, defaultName, startInFolder, creator, type, spec) == 0;
}

OSStatus RunChooseFolderPanel(const char* title, uint32_t flags, DirectoryRef* directory,
                              const char* prompt) {
    return RunFolderPanel(title, flags, directory, prompt, nullptr);
}

OSStatus VXChooseFolder(const char* title, const char* prompt, uint32_t flags, FileSpec* spec) {
    if (!spec) return status::kParamErr;
    DirectoryRef folder = spec->directory;
    if (OSStatus st = RunChooseFolderPanel(title, flags, &folder, prompt)) return st;
    if (flags & kVXPanelFolderAsSpec) {
        std::string path;
        FileSpec chosen;
        if (OSStatus st = CreateDirectoryURLFromDirectory(&folder, &path)) return st;
        if (OSStatus st = FileSpecFromURL(path, &chosen, true, nullptr)) return st;
        *spec = chosen;
    } else {
        ClearFileSpec(spec);
        spec->directory = folder;
    }
    return status::kNoErr;
}

void VXInstallFolderHooks() {
    SetFolderChooserHook(ChooseFolderHook);
}

}  // namespace plexa
