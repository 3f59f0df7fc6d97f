// The report-script list in the Export menu, and the list's edits. Each script's menu command is
// 1400 plus its index in the list, so that the command runs the script it names even when an
// entry before it has no menu item.
#include "app/reportscripts.h"

#include <algorithm>

#include "app/shell.h"
#include "foundation/datafile.h"
#include "foundation/dirspec.h"
#include "foundation/memory.h"
#include "toolkit/vx_menus.h"

namespace plexa {

namespace {

bool EndsWith(const std::string& text, const char* ending) {
    const std::string e = ending;
    return text.size() >= e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0;
}

}  // namespace

std::string ScriptMenuName(const std::string& fileName) {
    std::string name = fileName;
    if (EndsWith(name, ".SXP")) name.resize(name.size() - 4);
    if (EndsWith(name, ".txt")) name.resize(name.size() - 4);
    return name;
}

void RebuildScriptsMenu() {
    VXMenuRecord* menu = VXBuildMenu(&gExportMenuDef);
    if (!menu) return;
    const int32_t dxf = VXCommandToMenuIndex(menu, kCmdExportDXF);
    if (dxf <= 0) return;
    while (VXCountMenuItems(menu) > dxf) VXDeleteMenuItem(menu, true, VXCountMenuItems(menu));
    if (gScriptFilesList.empty()) return;
    VXInsertMenuItem(menu, true, VXCountMenuItems(menu) + 1, 0, "-");
    for (const auto& [command, name] : ScriptMenuItems())
        VXInsertMenuItem(menu, true, VXCountMenuItems(menu) + 1, command, name.c_str());
}

std::vector<std::pair<uint16_t, std::string>> ScriptMenuItems() {
    std::vector<std::pair<uint16_t, std::string>> items;
    const int32_t count = std::min<int32_t>(int32_t(gScriptFilesList.size()), kMaxScriptMenuItems);
    for (int32_t i = 0; i < count; ++i) {
        std::string name = ScriptMenuName(gScriptFilesList[size_t(i)].name);
        // The command keeps the script's index in the list, whatever was skipped before it.
        if (!name.empty()) items.emplace_back(uint16_t(kFirstScriptCommand + i), std::move(name));
    }
    return items;
}

int32_t FindExistingScript(const std::vector<ScriptFileEntry>& list, const FileSpec* spec) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == spec->name) return int32_t(i);
    return -1;
}

int32_t AddScriptFileToList(std::vector<ScriptFileEntry>& list, const FileSpec* spec, const char* target) {
    int32_t index = FindExistingScript(list, spec);
    if (index < 0) {
        list.push_back({spec->name, target ? target : "****", nullptr});
        index = int32_t(list.size()) - 1;
    } else if (target) {
        list[size_t(index)].target = target;
    }
    ScriptFileEntry& entry = list[size_t(index)];
    if (entry.dirSpec) MemFree(entry.dirSpec);
    entry.dirSpec = CreateDirSpec(&spec->directory);
    return index;
}

int32_t GetScriptFileSpec(const ScriptFileEntry& entry, FileSpec* spec) {
    ClearFileSpec(spec);
    DirectoryRef folder;
    ClearDirectoryRef(&folder);
    if (entry.dirSpec) (void)DirSpecToDirectory(entry.dirSpec, &folder);  // unresolved: the folder stays invalid
    spec->directory = folder;
    SetFileSpecName(spec, entry.name.c_str());
    bool isFolder = false;
    return !entry.name.empty() && entry.dirSpec && VXFileExists(spec, &isFolder) && !isFolder ? 1 : 0;
}

void RemoveScriptFileFromList(std::vector<ScriptFileEntry>& list, int32_t index) {
    if (index < 0 || index >= int32_t(list.size())) return;
    if (list[size_t(index)].dirSpec) MemFree(list[size_t(index)].dirSpec);
    list.erase(list.begin() + index);
}

std::vector<ScriptFileEntry> CopyScriptFilesList(const std::vector<ScriptFileEntry>& list) {
    std::vector<ScriptFileEntry> copy;
    for (const auto& entry : list) {
        Handle folder = entry.dirSpec ? AllocHandleWithData(gGenPool, *entry.dirSpec, SizeOfHandle(entry.dirSpec)) : nullptr;
        copy.push_back({entry.name, entry.target, folder});
    }
    return copy;
}

void FreeScriptFilesList(std::vector<ScriptFileEntry>& list) {
    for (auto& entry : list)
        if (entry.dirSpec) MemFree(entry.dirSpec);
    list.clear();
}

}  // namespace plexa
