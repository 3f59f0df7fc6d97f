// The project settings dialog: panels that show and read back the dialog record's settings copy.
#include "sheeteditor/projectsettings.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetsave.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/strings.h"
#include "library/libpaths.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/texts.h"
#include "platform/input_platform.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/pathlisteditor.h"
#include "sheeteditor/sheeteditorstate.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_window.h"

namespace plexa {

int32_t& gLastProjInfoTab = gSheetEditorState.lastProjInfoTab;

namespace {

constexpr const char* kNamingChoices[] = {"Internal Instance ID", "Instance Path"};
constexpr const char* kPlaceChoices[] = {"Preceding Name", "Following Name"};
constexpr const char* kScopeChoices[] = {"Export  (Hierarchical)", "Global  (Flat)"};
constexpr int32_t kRankLimitMax = 9999;
constexpr int32_t kSeparatorCharacters = 2;
constexpr int32_t kTitleCharacters = 31;

struct SettingsDialogState {
    ProjectSettingsDialog data{};
    VXWindowRecordTag* dialog = nullptr;
    VXWindowRecordTag* panels = nullptr;
    PathListEditor* editor = nullptr;
    bool confirmed = false;
};

SettingsDialogState* gState = nullptr;

// The enabled states that follow other controls of the panel shown.
void ShowDependencies(SettingsDialogState* s) {
    VXWindowRecordTag* w = s->panels;
    const int32_t panel = VXGetCurrentViewLayer(w);
    if (panel == kProjectAnnotationPanel) {
        const bool inProject = VXGetItemChecked(w, kProjAnnotInProjectItem) != 0;
        VXSetItemEnabled(w, kProjAutoAnnotateItem, !inProject);
        if (inProject) VXSetItemChecked(w, kProjAutoAnnotateItem, 0);
    } else if (panel == kProjectSignalsPanel) {
        VXSetItemEnabled(w, kProjGlobalFlaggedItem, Chosen(w, kProjSignalScopeItem) == 1);
        const bool all = VXGetItemChecked(w, kProjQualifyAllItem) != 0;
        VXSetItemEnabled(w, kProjQualifyConflictingItem, !all);
        VXSetItemEnabled(w, kProjQualifySharedItem, !all);
    }
}

// Shows the panel's fields of the dialog's settings copy.
void ShowPanelFields(SettingsDialogState* s, int32_t panel) {
    VXWindowRecordTag* w = s->panels;
    const ProjectSettings& set = s->data.settings;
    switch (panel) {
        case kProjectNamesPanel: {
            FillPopup(w, kProjInstanceNamingItem, kNamingChoices, 2, set.instanceNaming ? 1 : 0);
            FillPopup(w, kProjNamePlaceItem, kPlaceChoices, 2, set.instanceNamePlace ? 1 : 0);
            char separator[sizeof set.separator + 1] = {};
            std::memcpy(separator, set.separator, sizeof set.separator);
            VXSetItemText(w, kProjSeparatorItem, separator);
            VXSetItemInt(w, kProjRankLimitItem, set.rankLimit);
            VXSetItemChecked(w, kProjFileSymbolWarningsItem, !(set.flags & kProjectFileSymbolWarningsOff));
            VXSetFocusItem(w, kProjSeparatorItem);
            break;
        }
        case kProjectAnnotationPanel: {
            const bool inProject = !(set.annotationFlags & kAnnotationKeptInSheets);
            VXSetItemChecked(w, kProjAnnotInProjectItem, inProject);
            VXSetItemChecked(w, kProjAutoAnnotateItem, !inProject && s->data.autoAnnotate);
            VXSetItemChecked(w, kProjNoSlotSuffixItem, (set.annotationFlags & kAnnotationNoSlotSuffix) != 0);
            VXSetItemChecked(w, kProjQualifyDesignatorsItem, set.qualifyDesignators != 0);
            break;
        }
        case kProjectSignalsPanel:
            FillPopup(w, kProjSignalScopeItem, kScopeChoices, 2, set.signalScope == 2 ? 1 : 0);
            VXSetItemChecked(w, kProjGlobalFlaggedItem, set.globalFlagged != 0);
            VXSetItemChecked(w, kProjQualifyAllItem, set.qualifyAllLocal != 0);
            VXSetItemChecked(w, kProjQualifyConflictingItem, set.qualifyConflicting != 0);
            VXSetItemChecked(w, kProjQualifySharedItem, set.qualifyShared != 0);
            break;
        default: break;
    }
}

// Makes the path list editor in place of its placeholder.
void MakePathEditor(SettingsDialogState* s) {
    if (s->editor) return;
    Rect r{};
    VXGetItemPosition(s->panels, kProjPathListItem, &r);
    VXSetItemVisible(s->panels, kProjPathListItem, false);
    s->editor = CreatePathListEditor(s->panels, &r, s->data.paths, kProjectPathsCaption, kProjChangePathItem,
                                     kProjDeletePathItem, kProjPathUpItem, kProjPathDownItem);
    if (s->editor) ValidatePathEditorPaths(s->editor);
}

void DropPathEditor(SettingsDialogState* s) {
    DestroyPathListEditor(std::exchange(s->editor, nullptr));
}

// Reads the panel's controls into the dialog's settings copy.
void FlushProjectDialogPanel(SettingsDialogState* s) {
    VXWindowRecordTag* w = s->panels;
    ProjectSettingsDialog& d = s->data;
    ProjectSettings& set = d.settings;
    switch (d.panel) {
        case kProjectNamesPanel: {
            set.instanceNaming = uint8_t(Chosen(w, kProjInstanceNamingItem));
            set.instanceNamePlace = uint8_t(Chosen(w, kProjNamePlaceItem));
            char text[256] = {};
            VXGetItemText(w, kProjSeparatorItem, text);
            text[Utf8PrefixLength(text, kSeparatorCharacters)] = 0;
            TruncateUTF8ForByteSize(text, int32_t(sizeof set.separator));
            std::memset(set.separator, 0, sizeof set.separator);
            std::memcpy(set.separator, text, std::strlen(text));
            VXEnforceItemIntRange(w, kProjRankLimitItem, 0, kRankLimitMax, true);
            set.rankLimit = uint16_t(std::clamp(VXGetItemInt(w, kProjRankLimitItem), 0, kRankLimitMax));
            set.flags = uint16_t(VXGetItemChecked(w, kProjFileSymbolWarningsItem)
                                     ? set.flags & ~kProjectFileSymbolWarningsOff
                                     : set.flags | kProjectFileSymbolWarningsOff);
            break;
        }
        case kProjectAnnotationPanel: {
            const uint8_t before = set.annotationFlags;
            uint8_t flags = uint8_t(before & ~(kAnnotationKeptInSheets | kAnnotationNoSlotSuffix));
            const bool inProject = VXGetItemChecked(w, kProjAnnotInProjectItem) != 0;
            if (!inProject) flags |= kAnnotationKeptInSheets;
            if (VXGetItemChecked(w, kProjNoSlotSuffixItem)) flags |= kAnnotationNoSlotSuffix;
            set.annotationFlags = flags;
            if (flags != before) d.annotationStorageChanged = true;
            // Kept in the project, new symbols are never annotated at once.
            d.autoAnnotate = !inProject && VXGetItemChecked(w, kProjAutoAnnotateItem) != 0;
            set.qualifyDesignators = VXGetItemChecked(w, kProjQualifyDesignatorsItem) ? 1 : 0;
            break;
        }
        case kProjectSignalsPanel: {
            const int32_t scope = Chosen(w, kProjSignalScopeItem);
            set.signalScope = uint8_t(scope + 1);
            // Hierarchical names have no flagged globals.
            set.globalFlagged = scope == 1 && VXGetItemChecked(w, kProjGlobalFlaggedItem) ? 1 : 0;
            set.qualifyAllLocal = VXGetItemChecked(w, kProjQualifyAllItem) ? 1 : 0;
            set.qualifyConflicting = VXGetItemChecked(w, kProjQualifyConflictingItem) ? 1 : 0;
            set.qualifyShared = VXGetItemChecked(w, kProjQualifySharedItem) ? 1 : 0;
            break;
        }
        case kProjectPathsPanel:
            if (s->editor && s->editor->changed) {
                if (SavePathListEditorPaths(s->editor, d.paths)) d.pathsChanged = true;
                s->editor->changed = false;
            }
            break;
        default: break;
    }
}

void SetProjectDialogPanel(SettingsDialogState* s, int32_t panel) {
    VXWindowRecordTag* w = s->panels;
    if (!w || panel < 0 || panel >= kProjectPanelCount) return;
    if (VXIsViewLayerEmpty(w, panel)) {
        const uint16_t view = panel == kProjectPathsPanel ? kProjectPathsPanelTemplate
                                                          : uint16_t(kProjectPanelTemplateBase + panel);
        // The attributes panel waits for the attribute editor.
        if (panel != kProjectAttributesPanel) VXLoadControlsForViewLayer(w, panel, view, 0, 0, 0);
    }
    VXSetCurrentViewLayer(w, panel);
    VXSetSelectedTab(s->dialog, kProjectTabsItem, panel);
    s->data.panel = panel;
    ShowPanelFields(s, panel);
    if (panel == kProjectPathsPanel) {
        MakePathEditor(s);
        if (s->editor) PathEditorSelectionChanged(s->editor);
    }
    ShowDependencies(s);
}

// Asks for another project file and reads its settings into the dialog.
void ImportSettings(SettingsDialogState* s) {
    FileSpec from{};
    GetPrefDirectory(kPrefFolderDocuments, &from.directory);
    for (;;) {
        const bool chosen = VXAskFileOpen(kImportSettingsTitle, kProjectFileTypeString, kVXPanelStartInFolder, &from,
                                          nullptr);
        RecordPrefDirectory(kPrefFolderDocuments, &from.directory);
        if (!chosen) return;
        if (!EqualFileSpecs(&from, &s->data.project->file.spec)) break;
        VXDisplayMessage(kProjectSelfImportMessage);
    }
    FlushProjectDialogPanel(s);
    if (OSStatus st = ImportProjectSettings(&s->data, &from)) VXErrorReport(st);
    // Every panel shows the imported settings; the path list editor is made anew.
    DropPathEditor(s);
    SetProjectDialogPanel(s, s->data.panel);
    // The dialog takes the keys again after the panels and messages.
    VXSelectWindow(s->dialog);
}

}  // namespace

void FillPopup(VXWindowRecordTag* w, int16_t item, const char* const* choices, int32_t count, int32_t selected) {
    if (VXCountListItems(w, item) == 0)
        for (int32_t i = 0; i < count; ++i) VXAddListItem(w, item, choices[i], i);
    const int32_t shown = VXGetSelectedListItem(w, item, -1);
    if (shown == selected) return;
    if (shown >= 0) VXSelectListItem(w, item, shown, false);
    VXSelectListItem(w, item, std::clamp(selected, 0, count - 1), true);
}

int32_t Chosen(VXWindowRecordTag* w, int16_t item) { return std::max(VXGetSelectedListItem(w, item, -1), 0); }

void ProjectSettingsTitle(const char* projectTitle, char* out, int32_t size) {
    const char* title = projectTitle ? projectTitle : "";
    std::string shown(title, Utf8PrefixLength(title, kTitleCharacters));
    if (shown.size() < std::strlen(title)) shown += "...";
    shown += " Settings";
    StrNCpy(out, size_t(size), shown.c_str(), int16_t(std::min<size_t>(shown.size(), size_t(size - 1))));
}

ProjectSettingsDialog* GetProjectSettingsDialog() { return gState ? &gState->data : nullptr; }
VXWindowRecordTag* GetProjectSettingsPanels() { return gState ? gState->panels : nullptr; }
PathListEditor* GetProjectSettingsPathEditor() { return gState ? gState->editor : nullptr; }

int32_t ProjectTabPanelHandler(VXWindowRecordTag*, VXEventRecord* event) {
    SettingsDialogState* s = gState;
    if (!s || event->kind != kVXControlEvent) return 0;
    const int16_t item = int16_t(event->u.control.item);
    switch (item) {
        case kProjAnnotInProjectItem:
        case kProjSignalScopeItem:
        case kProjQualifyAllItem:
            ShowDependencies(s);
            return 1;
        case kProjAddPathItem:
            if (s->editor) AskAddPathEditorPath(s->editor, kVXPanelCreateFolders, kPathFileKinds);
            return 1;
        default:
            return s->editor && HandlePathListEditorButton(s->editor, item, VXTestKey(kPlatformKeyShift)) ? 1 : 0;
    }
}

int32_t ProjectSettingsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SettingsDialogState* s = gState;
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            s->dialog = window;
            char title[200] = {};
            if (s->data.project->window) VXGetWindowTitle(s->data.project->window, title);
            else StrNCpy(title, sizeof title, s->data.project->file.spec.name, int16_t(sizeof title - 1));
            char text[256];
            ProjectSettingsTitle(title, text, sizeof text);
            VXSetWindowTitle(window, text);
            s->panels = VXCreateLayeredView(window, nullptr, kProjectPanelCount, kProjectTabsItem,
                                            ProjectTabPanelHandler, nullptr);
            const int32_t panel = s->data.panel;
            s->data.panel = -1;
            SetProjectDialogPanel(s, panel);
            return 0;
        }
        case kVXControlEvent:
            if (event->u.control.item == kProjectTabsItem) {
                const int32_t panel = event->u.control.values.pair.second;
                if (panel != s->data.panel) {
                    FlushProjectDialogPanel(s);
                    SetProjectDialogPanel(s, panel);
                }
                return 1;
            }
            if (event->u.control.item == kProjectImportItem) {
                ImportSettings(s);
                return 1;
            }
            return 0;
        case kVXEndModalEvent:
            gLastProjInfoTab = s->data.panel;
            if (event->u.endModal.item == 1) {
                FlushProjectDialogPanel(s);
                s->confirmed = true;
            }
            return 0;
        case kVXDestroyEvent:
            DropPathEditor(s);
            s->panels = nullptr;
            return 0;
        default:
            return 0;
    }
}

void UpdateProjectSheetText(ProjectRecord* project, bool resetContexts) {
    for (VXWindowRecordTag* w = VXGetNextVisibleWindow(nullptr, 8, false); w; w = VXGetNextVisibleWindow(w, 8, false)) {
        SheetRecord* sheet = SheetOfWindow(w);
        if (!sheet || sheet->project != project) continue;
        if (resetContexts) {
            VXErrorReport(SetSheetContext(sheet, project, sheet->hierarchyContext, true));
        } else {
            Rect area{};
            RebuildMacroizedText(sheet, nullptr, &area);
            if (area.bottom > area.top) VXInvalRect(w, &area);
        }
    }
}

bool EditProjectSettings(ProjectRecord* project, bool isNew) {
    if (!project) return false;
    SettingsDialogState state;
    if (!BeginProjectSettings(project, &state.data)) return false;
    state.data.panel = isNew ? kProjectNamesPanel : std::clamp(gLastProjInfoTab, 0, kProjectPanelCount - 1);
    const uint8_t namePlace = project->settings.instanceNamePlace;
    const std::string separator(project->settings.separator, strnlen(project->settings.separator, 4));
    SettingsDialogState* saved = std::exchange(gState, &state);
    VXModalDialog(kProjectSettingsDialogTemplate, kVXPlaceCentre, ProjectSettingsDialogHandler, nullptr);
    gState = saved;
    if (state.confirmed) {
        const bool attributes = state.data.attributesChanged;
        OSStatus st = CommitProjectSettings(&state.data);
        const bool storage = state.data.annotationStorageChanged;
        const bool naming = project->settings.instanceNamePlace != namePlace ||
                            separator != std::string(project->settings.separator, strnlen(project->settings.separator, 4));
        if (state.data.pathsChanged) BuildLibraryFileList(project, false);
        if (state.data.pathsChanged || storage) UpdateProjectHierarchy(project, 5);
        if (attributes || storage || naming) {
            UpdateProjectSheetText(project, storage);
            if (const OSStatus marked = MarkSpiceProjectDirty(project, false); !st) st = marked;
        }
        if (st) VXErrorReport(st);
    }
    EndProjectSettings(&state.data);
    return state.confirmed;
}

}  // namespace plexa
