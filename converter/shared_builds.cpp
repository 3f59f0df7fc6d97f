// The converter's remembered folder, open-panel filter and open panel.
#include "converter/shared_builds.h"

#include <cstring>
#include <string>

#include "converter/detect.h"
#include "files/openkinds.h"
#include "foundation/strings.h"

namespace plexa {
namespace {

DirectoryRef gPrefDirectory{};
uint16_t gPrefDirectoryValue = 1;

// The version-3.6 kinds; the editor's own kinds are the files layer's.
struct FilterKind {
    uint32_t flag;
    const char* type;
    const char* extension;
};
constexpr FilterKind kV36FilterKinds[] = {
    {kFilterV36Sheets, "QSCM", ".SCM"},
    {kFilterV36Projects, "QSPR", ".SPR"},
    {kFilterV36Libraries, "QLIB", ".SLB"},
};
constexpr size_t kMinimumNameForExtension = 5;

bool CodeIs(const char (&code)[5], const char* value) { return std::strncmp(code, value, 4) == 0; }

}  // namespace

void RecordPrefDirectory(int32_t, const DirectoryRef* directory, uint16_t value) {
    if (directory) gPrefDirectory = *directory;
    if (value > 0) gPrefDirectoryValue = value;
}

void GetPrefDirectory(int32_t, DirectoryRef* directory, uint16_t* value) {
    if (directory) *directory = gPrefDirectory;
    if (value) *value = gPrefDirectoryValue;
}

bool MacOpenFilesFilter(const FileSpec* spec, void* reference) {
    if (!spec || !reference) return true;
    const uint32_t mask = *static_cast<const uint32_t*>(reference);
    if (FileMatchesOpenKinds(spec, mask & kOpenKindsAll)) return true;
    const bool longName = std::strlen(spec->name) >= kMinimumNameForExtension;
    for (const FilterKind& kind : kV36FilterKinds) {
        if (!(mask & kind.flag)) continue;
        if (CodeIs(spec->type, kind.type)) return true;
        if (longName && NameHasExtension(spec->name, kind.extension)) return true;
    }
    if (!(mask & kFilterV36Documents)) return false;
    FourCharCode type = 0;
    if (AutoDetectConversionFileType(spec, &type) != status::kNoErr) return false;
    return ((mask & kFilterV36Sheets) && type == kV36SheetType) ||
           ((mask & kFilterV36Projects) && type == kV36ProjectType) ||
           ((mask & kFilterV36Libraries) && type == kV36LibraryType);
}

OSStatus SelectAndProcessFiles(uint32_t kindMask, int32_t folderKind, const char* prompt,
                               const char* typeList, VXOpenFileProc processor, void* value) {
    DirectoryRef folder;
    GetPrefDirectory(folderKind, &folder, nullptr);
    uint32_t mask = kindMask;
    VXInstallMacOpenFilesFilter(MacOpenFilesFilter, &mask);
    uint32_t flags = kVXPanelMultiple;
    if (!IsDirectoryInvalid(&folder)) flags |= kVXPanelStartInFolder;
    const OSStatus st = VXAskOpenFiles(prompt, typeList ? typeList : "", flags, &folder, nullptr,
                                       prompt, processor, value);
    VXInstallMacOpenFilesFilter(nullptr, nullptr);
    if (st != status::kNoErr && st != status::kUserCancelled) return st;
    RecordPrefDirectory(folderKind, &folder, 0);
    return st;
}

bool FindSheetPanelOffers(const FileSpec* spec, const char* name) {
    if (!spec || !name) return false;
    const std::string wanted = name;
    const std::string given = spec->name;
    const bool exact = given == wanted;
    const bool withExtension = wanted.find('.') == std::string::npos && given.size() == wanted.size() + 4 &&
                               given.compare(0, wanted.size(), wanted) == 0 && NameHasExtension(given.c_str(), ".SCM");
    if (!exact && !withExtension) return false;
    if (CodeIs(spec->type, "QSCM") || NameHasExtension(given.c_str(), ".SCM")) return true;
    FourCharCode type = 0;
    return AutoDetectConversionFileType(spec, &type) == status::kNoErr && type == kV36SheetType;
}

OSStatus FindSheetWithPanel(const char* prompt, const char* name, FileSpec* chosen, void*) {
    if (!chosen) return status::kParamErr;
    std::string wanted = name ? name : "";
    VXInstallMacOpenFilesFilter(
        [](const FileSpec* spec, void* reference) {
            return FindSheetPanelOffers(spec, static_cast<const std::string*>(reference)->c_str());
        },
        &wanted);
    FileSpec spec{};
    GetPrefDirectory(0, &spec.directory, nullptr);
    const uint32_t flags = IsDirectoryInvalid(&spec.directory) ? 0 : kVXPanelStartInFolder;
    const bool found = VXAskFileOpen(prompt, "", flags, &spec, nullptr);
    VXInstallMacOpenFilesFilter(nullptr, nullptr);
    if (!found) return status::kUserCancelled;
    *chosen = spec;
    return status::kNoErr;
}

}  // namespace plexa
