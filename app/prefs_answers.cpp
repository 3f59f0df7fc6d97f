#include "app/prefs_answers.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/prefs.h"
#include "app/reportscripts.h"
#include "app/shellutil.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "library/libhistory.h"
#include "model/symboltexts.h"
#include "sheeteditor/spicewindows.h"

namespace plexa {

namespace {

bool Option(uint16_t flag) { return gPrefs && (gPrefs->options & flag) != 0; }

bool ValidShortcut(int32_t group, int32_t index) {
    return group >= 0 && group < kShortcutGroupCount && index >= 0 && size_t(index) < gLibShortcuts[group].size();
}

}  // namespace

const SymbolTextOffsets* PreferredSymbolTextOffsets() {
    static SymbolTextOffsets offsets;
    if (!gPrefs) return nullptr;
    std::memcpy(&offsets, gPrefs->pinNumberOffsets, sizeof offsets);
    return &offsets;
}

bool PreferOrthogonalRubberband() { return Option(kPrefsKeepWiresOrthogonal); }
bool PreferCheckOnOpen() { return Option(kPrefsCheckOnOpen); }
bool PreferTerminalMarks() { return Option(kPrefsHighlightTerminals); }
bool PreferHierarchicalDesign() { return Option(kPrefsHierarchicalDesign); }
bool PreferAskingNewSignalName() { return !gPrefs || !(gPrefs->silentNewSignal & 1); }

SpiceLinkPreferences PreferredSpiceLink() {
    SpiceLinkPreferences link;
    if (!gPrefs) return link;
    link.settings = {gPrefs->simulatorAddress, gPrefs->listenPort, gPrefs->connectPort};
    link.differentComputer = gPrefs->options & kPrefsSimulatorRemote;
    link.linkOn = gPrefs->options & kPrefsSimulatorLinkOn;
    return link;
}

void StorePreferredSpiceLink(const SpiceLinkPreferences& link) {
    if (!gPrefs) return;
    gPrefs->simulatorAddress = link.settings.address;
    gPrefs->listenPort = link.settings.listenPort;
    gPrefs->connectPort = link.settings.connectPort;
    gPrefs->options = uint16_t((gPrefs->options & ~(kPrefsSimulatorRemote | kPrefsSimulatorLinkOn)) |
                               (link.differentComputer ? kPrefsSimulatorRemote : 0) |
                               (link.linkOn ? kPrefsSimulatorLinkOn : 0));
    RecordChangedPreferences(kPrefsMainBlock);
}

void PreferredFolder(int32_t index, DirectoryRef* directory) {
    ClearDirectoryRef(directory);
    if (index >= 0 && index < kPrefDirCount && gDirectoryPrefs[index].dirSpec)
        (void)DirSpecToDirectory(gDirectoryPrefs[index].dirSpec, directory);  // cleared: the panel's default
}

void RecordPreferredFolder(int32_t index, const DirectoryRef* directory) { RecordPrefDirectory(index, directory, 0); }

bool PreferredScript(int32_t index, FileSpec* file, char* bundleId) {
    if (index < 0 || index >= int32_t(gScriptFilesList.size())) return false;
    const ScriptFileEntry& entry = gScriptFilesList[size_t(index)];
    DirectoryRef folder;
    ClearDirectoryRef(&folder);
    if (entry.dirSpec) (void)DirSpecToDirectory(entry.dirSpec, &folder);  // gone: the run asks for the file
    ClearFileSpec(file);
    file->directory = folder;
    SetFileSpecName(file, entry.name.c_str());
    std::strncpy(bundleId, entry.target.c_str(), 255);
    bundleId[255] = 0;
    return true;
}

int32_t ReplacePreferredScript(int32_t index, const FileSpec* file) {
    for (size_t i = 0; i < gScriptFilesList.size(); i++)
        if (gScriptFilesList[i].name == file->name) return int32_t(i);
    if (index < 0 || index >= int32_t(gScriptFilesList.size())) return -1;
    ScriptFileEntry& entry = gScriptFilesList[size_t(index)];
    Handle folder = CreateDirSpec(&file->directory);
    if (!folder) return -1;
    if (entry.dirSpec) MemFree(entry.dirSpec);
    entry.dirSpec = folder;
    entry.name = file->name;
    RebuildScriptsMenu();
    RecordChangedPreferences(kPrefsScriptsBlock);
    return index;
}

const char* PreferredTextEditor() {
    static std::string editor;
    return GetTextEditorApplication(&editor) ? editor.c_str() : nullptr;
}

int32_t ShortcutCount(int32_t group) {
    return group >= 0 && group < kShortcutGroupCount ? int32_t(gLibShortcuts[group].size()) : 0;
}

void ShortcutName(int32_t group, int32_t index, char* name, int32_t size) {
    if (size > 0) name[0] = 0;
    if (!ValidShortcut(group, index)) return;
    std::snprintf(name, size_t(size), "%s", gLibShortcuts[group][size_t(index)].item.c_str());
}

bool SelectShortcut(int32_t group, int32_t index) {
    if (!ValidShortcut(group, index)) return false;
    const Shortcut& entry = gLibShortcuts[group][size_t(index)];
    return SelectShortcutItem(entry.library.c_str(), entry.item.c_str());
}

}  // namespace plexa
