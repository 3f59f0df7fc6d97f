// The preferences put in the layers' hook slots that ask for them, once the preferences are
// loaded: the change mask, the symbol text offsets, the simulator link's settings, orthogonal
// rubber-banding, the remembered folders of the file panels, the check on opening, the report
// scripts and the text editor.
#include <cstring>
#include <string>

#include "app/prefs.h"
#include "app/reportscripts.h"
#include "app/shellutil.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "model/modelhooks.h"
#include "model/symboltexts.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/scriptcommands.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/wirestretch.h"
#include "toolkit/vx_alerts.h"

namespace plexa {

void InstallPreferenceHooks() {
    PreferencesHooks reports;
    reports.message = VXDisplayMessage;
    reports.errorReport = VXErrorReport;
    SetPreferencesHooks(reports);

    ModelHooks model = GetModelHooks();
    model.changedPreferences = RecordChangedPreferences;
    SetModelHooks(model);

    SymbolTextHooks texts = GetSymbolTextHooks();
    texts.preferences = []() -> const SymbolTextOffsets* {
        static SymbolTextOffsets offsets;
        if (!gPrefs) return nullptr;
        std::memcpy(&offsets, gPrefs->pinNumberOffsets, sizeof offsets);
        return &offsets;
    };
    SetSymbolTextHooks(texts);

    WireStretchHooks stretch;
    stretch.orthogonalRubberband = [] {
        return gPrefs && (gPrefs->options & kPrefsKeepWiresOrthogonal) != 0;
    };
    SetWireStretchHooks(stretch);

    SpiceWindowHooks spice = GetSpiceWindowHooks();
    spice.preferences = [] {
        SpiceLinkPreferences link;
        if (!gPrefs) return link;
        link.settings = {gPrefs->simulatorAddress, gPrefs->listenPort, gPrefs->connectPort};
        link.differentComputer = gPrefs->options & kPrefsSimulatorRemote;
        link.linkOn = gPrefs->options & kPrefsSimulatorLinkOn;
        return link;
    };
    spice.storePreferences = [](const SpiceLinkPreferences& link) {
        if (!gPrefs) return;
        gPrefs->simulatorAddress = link.settings.address;
        gPrefs->listenPort = link.settings.listenPort;
        gPrefs->connectPort = link.settings.connectPort;
        gPrefs->options = uint16_t((gPrefs->options & ~(kPrefsSimulatorRemote | kPrefsSimulatorLinkOn)) |
                                   (link.differentComputer ? kPrefsSimulatorRemote : 0) |
                                   (link.linkOn ? kPrefsSimulatorLinkOn : 0));
        RecordChangedPreferences(kPrefsMainBlock);
    };
    SetSpiceWindowHooks(spice);

    FileSelectHooks panels = GetFileSelectHooks();
    panels.getPrefDirectory = [](int32_t index, DirectoryRef* directory) {
        ClearDirectoryRef(directory);
        if (index >= 0 && index < kPrefDirCount && gDirectoryPrefs[index].dirSpec)
            (void)DirSpecToDirectory(gDirectoryPrefs[index].dirSpec, directory);  // cleared: the panel's default
    };
    panels.recordPrefDirectory = [](int32_t index, const DirectoryRef* directory) {
        RecordPrefDirectory(index, directory, 0);
    };
    SetFileSelectHooks(panels);

    SheetOpenHooks open = GetSheetOpenHooks();
    open.checkOnOpen = [] { return gPrefs && (gPrefs->options & kPrefsCheckOnOpen); };
    SetSheetOpenHooks(open);

    ScriptCommandHooks scripts = GetScriptCommandHooks();
    scripts.getScript = [](int32_t index, FileSpec* file, char* bundleId) {
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
    };
    scripts.replaceScript = [](int32_t index, const FileSpec* file) -> int32_t {
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
    };
    scripts.textEditorApplication = []() -> const char* {
        static std::string editor;
        return GetTextEditorApplication(&editor) ? editor.c_str() : nullptr;
    };
    SetScriptCommandHooks(scripts);
}

}  // namespace plexa
