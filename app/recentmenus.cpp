// The recent-files submenu and the Font submenu: both are rebuilt from data at run time. The
// recent lists themselves, and their stored form, belong to the preferences (app/prefs.h).
#include "app/recentmenus.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/prefs.h"
#include "app/shell.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/dirspec.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/fonts.h"
#include "graphics/textstyle.h"
#include "model/themes.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"

namespace plexa {

namespace {

constexpr const char* kRecentExtensions[kRecentListCount] = {".PRX", ".SHX", ".LBX"};
constexpr int32_t kRecentIcons[kRecentListCount] = {1003, 1001, 1002};

std::vector<uint16_t> gFontMenuTable;
uint16_t gCheckedFontItem = 0;

VXMenuRecord* RecentMenu() {
    VXMenuRecord* menu = VXBuildMenu(&gRecentFilesMenuDef);
    return menu;
}

std::string MenuName(int32_t list, const std::string& name) {
    const std::string ext = kRecentExtensions[list];
    if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0)
        return name.substr(0, name.size() - ext.size());
    return name;
}

int32_t ListOfType(FourCharCode type) {
    if (type == FourCC("PRJ4")) return kRecentProjects;
    if (type == FourCC("SCH4")) return kRecentSheets;
    if (type == FourCC("LIB4")) return kRecentLibraries;
    return -1;
}

void Append(VXMenuRecord* menu, uint16_t tag, const char* text, int32_t icon = 0) {
    const int32_t count = VXCountMenuItems(menu);
    VXInsertMenuItem(menu, true, count + 1, tag, text);
    if (icon) VXSetMenuItemIcon(menu, true, count + 1, icon);
}

}  // namespace

bool HasRecentFiles() {
    for (const auto& list : gRecentFiles)
        if (!list.empty()) return true;
    return false;
}

void RebuildRecentFilesMenu() {
    VXMenuRecord* menu = RecentMenu();
    if (!menu) return;
    VXDeleteAllMenuItems(menu);
    bool items = false;
    for (int32_t list = 0; list < kRecentListCount; ++list) {
        if (items && !gRecentFiles[list].empty()) Append(menu, 0, "-");
        for (size_t i = 0; i < gRecentFiles[list].size(); ++i) {
            const std::string name = MenuName(list, gRecentFiles[list][i].name);
            Append(menu, uint16_t(kRecentFirstCommand[list] + i), name.c_str(), kRecentIcons[list]);
            items = true;
        }
    }
    Append(menu, 0, "-");
    Append(menu, kClearRecentCommand, "Clear History...");
}

void UpdateRecentFilesMenu(const FileSpec* spec, FourCharCode fileType) {
    const int32_t list = ListOfType(fileType);
    if (list < 0 || !spec) return;
    RecordChangedPreferences(kPrefsRecentBlock);
    auto& entries = gRecentFiles[list];
    const auto now = uint32_t(VXGetCurrentDateTime(1));
    for (int32_t i = 0; i < int32_t(entries.size()); ++i) {
        FileSpec listed;
        if (ExtractRecentFilesSpec(list, i, &listed) && EqualFileSpecs(&listed, spec)) {
            entries[size_t(i)].time = now;
            return;
        }
    }
    if (int32_t(entries.size()) >= kRecentListLimits[list]) {
        // The oldest goes; on a tie the first of them.
        auto oldest = std::min_element(entries.begin(), entries.end(),
                                       [](const auto& a, const auto& b) { return int32_t(a.time) < int32_t(b.time); });
        if (oldest->dirSpec) MemFree(oldest->dirSpec);
        entries.erase(oldest);
    }
    // Before the first entry whose name sorts below the new one.
    size_t at = 0;
    while (at < entries.size() && StrCmpAlphaNumeric(entries[at].name.c_str(), spec->name, false) >= 0) ++at;
    entries.insert(entries.begin() + ptrdiff_t(at), RecentFileEntry{now, CreateDirSpec(&spec->directory), spec->name});
    RebuildRecentFilesMenu();
}

void UpdateRecentFilesMenu(const FileSpec* spec, const char* fileType) {
    if (!fileType || std::strlen(fileType) != 4) return;
    char code[5];
    std::memcpy(code, fileType, sizeof code);
    UpdateRecentFilesMenu(spec, FourCC(code));
}

int32_t ExtractRecentFilesSpec(int32_t list, int32_t index, FileSpec* spec) {
    *spec = FileSpec{};
    if (list < 0 || list >= kRecentListCount || index < 0 || index >= int32_t(gRecentFiles[list].size())) return 0;
    const RecentFileEntry& entry = gRecentFiles[list][size_t(index)];
    DirectoryRef folder;
    FileSpec found;
    bool isFolder = false;
    if (!entry.dirSpec || DirSpecToDirectory(entry.dirSpec, &folder) != status::kNoErr ||
        FileSpecFromPathName(&folder, entry.name.c_str(), &found) != status::kNoErr ||
        !VXFileExists(&found, &isFolder) || isFolder)
        return 0;
    *spec = found;
    return 1;
}

bool RecentCommandEntry(uint16_t command, int32_t* list, int32_t* index) {
    for (int32_t l = kRecentListCount - 1; l >= 0; --l)
        if (command >= kRecentFirstCommand[l] && command < kRecentFirstCommand[l] + 30) {
            *list = l;
            *index = command - kRecentFirstCommand[l];
            return true;
        }
    return false;
}

void OpenRecentFile(int32_t list, int32_t index) {
    if (list < 0 || list >= kRecentListCount || index < 0 || index >= int32_t(gRecentFiles[list].size())) return;
    FileSpec spec;
    if (!ExtractRecentFilesSpec(list, index, &spec)) {
        VXBeep();
        auto& entries = gRecentFiles[list];
        if (entries[size_t(index)].dirSpec) MemFree(entries[size_t(index)].dirSpec);
        entries.erase(entries.begin() + index);
        RebuildRecentFilesMenu();
        RecordChangedPreferences(kPrefsRecentBlock);
        return;
    }
    ReportOpenFailure(&spec, OpenFileProcessor(&spec));
}

void ClearRecentFilesHistory() {
    InitRecentFiles();
    RecordChangedPreferences(kPrefsRecentBlock);
    RebuildRecentFilesMenu();
}

// ---- Fonts ----

void BuildFontMenu() {
    VXMenuRecord* menu = VXBuildMenu(&gFontMenuDef);
    if (!menu) return;
    VXDeleteAllMenuItems(menu);
    VXAppendFontNamesToMenu(menu, true);
    gFontMenuTable.clear();
    gCheckedFontItem = 0;
    bool excluded = false;
    for (int32_t item = 1; item <= VXCountMenuItems(menu);) {
        char name[128];
        VXGetMenuItemText(menu, true, item, name);
        StrToUpper(name);
        if (IsExcludedFont(name)) {
            VXDeleteMenuItem(menu, true, item);
            excluded = true;
            continue;
        }
        gFontMenuTable.push_back(uint16_t(VXGetFontIndexFromMenu(menu, item)));
        ++item;
    }
    if (excluded) {
        const bool remain = VXCountMenuItems(menu) > 0;
        if (remain) Append(menu, 0, "-");
        Append(menu, kOtherFontsItem, remain ? "Others..." : "Select...");
    }
}

const std::vector<uint16_t>& FontMenuIndexes() { return gFontMenuTable; }

int32_t GetFontMenuItemNumber(const txStyle* style) {
    if (!style || gFontMenuTable.empty()) return 0;
    const std::string name(FontNameOf(style->fontName));
    const int32_t index = VXGetFontIndexFromName(nullptr, name.c_str());
    if (index < 0) return 0;
    for (int32_t i = int32_t(gFontMenuTable.size()); i >= 1; --i)
        if (gFontMenuTable[size_t(i - 1)] == index) return i;
    return 0;
}

int32_t MarkFontMenuItem(VXMenuRecord* menu, const txStyle* style) {
    if (!menu) return 0;
    if (gCheckedFontItem == 65535) {
        const int32_t other = VXCommandToMenuIndex(menu, kOtherFontsItem);
        if (other > 0) VXSetMenuItemChecked(menu, true, other, false);
    } else if (gCheckedFontItem) {
        VXSetMenuItemChecked(menu, true, gCheckedFontItem, false);
    }
    const int32_t item = GetFontMenuItemNumber(style);
    if (item) {
        VXSetMenuItemChecked(menu, true, item, true);
        gCheckedFontItem = uint16_t(item);
        return item;
    }
    const int32_t other = VXCommandToMenuIndex(menu, kOtherFontsItem);
    if (other > 0) VXSetMenuItemChecked(menu, true, other, true);
    gCheckedFontItem = 65535;
    return other;
}

}  // namespace plexa
