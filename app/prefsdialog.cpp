// The Preferences dialog. Every tab edits a copy held in the dialog's state (the main record,
// the shortcut groups, the property-name lists, the script list, the excluded fonts, the library
// search paths); Cancel drops them all, OK puts each changed one in place, marks its block of the
// preferences file changed and makes it effective (menus rebuilt, sheets redrawn).
#include "app/prefsdialog.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "app/prefs.h"
#include "app/recentmenus.h"
#include "app/reportscripts.h"
#include "app/shell.h"
#include "app/shellutil.h"
#include "foundation/bitarray.h"
#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/fonts.h"
#include "graphics/grafprocs_ui.h"
#include "library/itemcache.h"
#include "library/libpaths.h"
#include "model/themes.h"
#include "platform/input_platform.h"
#include "sheeteditor/libbrowser.h"
#include "files/openkinds.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/partsdialog.h"
#include "sheeteditor/pathlisteditor.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_window.h"

namespace plexa {

int16_t gLastPrefsTab = 0;

namespace {

enum : int16_t {
    kGeneralTab = 0, kNamesTab = 1, kShortcutsTab = 2, kFontsTab = 3, kColorsTab = 4, kPathsTab = 5, kScriptsTab = 6,
};
// General tab.
constexpr int16_t kChooseEditorItem = 10, kEditorNameItem = 11;
// Property names tab.
constexpr int16_t kNamesPopupItem = 20, kNamesListItem = 21, kNewNameItem = 22, kAddNameItem = 23,
                  kDeleteNamesItem = 24;
// Shortcuts tab.
constexpr int16_t kShortcutListItem = 70, kFirstGroupItem = 71, kAddShortcutItem = 74, kChangeShortcutItem = 75,
                  kRemoveShortcutItem = 76, kShortcutUpItem = 77, kShortcutDownItem = 78;
// Fonts tab.
constexpr int16_t kCheckAllFontsItem = 32, kUncheckAllFontsItem = 33, kFontListItem = 34;
// Colours tab.
constexpr int16_t kColorModeItem = 40, kFirstColorItem = 41, kLastColorItem = 48, kDefaultColorsItem = 49;
// Library paths tab.
constexpr int16_t kPathListItem = 60, kAddPathItem = 61, kChangePathItem = 62, kDeletePathItem = 63,
                  kPathUpItem = 64, kPathDownItem = 65;
// Scripts tab.
constexpr int16_t kScriptListItem = 80, kAddScriptItem = 81, kModifyScriptItem = 82, kRemoveScriptItem = 83,
                  kScriptUpItem = 84, kScriptDownItem = 85;

constexpr const char* kNamesKinds[kPropertyNamesKinds] = {"Component Attributes", "Pin Attributes", "Signal Attributes",
                                                          "Sheet Attributes", "Project Attributes"};
// The colours of the colours menu's items, in order.
constexpr uint32_t kColorValues[9] = {0x07000000, 0x09808080, 0x0BFFFFFF, 0x01FF0000, 0x030000FF,
                                      0x02008000, 0x06FFFF00, 0x05FF00FF, 0x0400FFFF};
constexpr const char* kShortcutTargetTitle = "Choose Shortcut Target";

// General tab: the item, and the word and bit of the record it shows.
struct GeneralOption {
    int16_t item;
    int8_t word;  // 0 options, 1 silentNewSignal, 2 connectSound
    uint16_t bit;
};
constexpr GeneralOption kGeneralOptions[7] = {{1, 1, 0x0001}, {2, 0, kPrefsKeepWiresOrthogonal},
                                              {3, 0, kPrefsHierarchicalDesign}, {4, 0, kPrefsCheckOnOpen},
                                              {5, 0, kPrefsHighlightTerminals}, {6, 2, 0x0001},
                                              {7, 0, kPrefsToolTips}};

struct PrefsDialogState {
    VXWindowRecordTag* dialog = nullptr;
    VXWindowRecordTag* panels = nullptr;
    PathListEditor* paths = nullptr;
    VXMenuRecord* colorsMenu = nullptr;
    PrefsRecord prefs{};
    std::array<ShortcutGroup, kShortcutGroupCount> groups;
    std::array<std::vector<std::string>, kPropertyNamesKinds> names;
    std::vector<ScriptFileEntry> scripts;
    std::vector<bool> fontOffered;  // by family index
    int16_t tab = -1;
    int16_t editedWell = -1;  // the colour well whose menu is up
    int32_t group = 0, namesList = 0;
    bool groupsCopied = false, namesCopied = false, scriptsCopied = false, fontsVisited = false;
    bool pathsChanged = false, namesChanged = false, shortcutsChanged = false, scriptsChanged = false,
         editorChanged = false, confirmed = false;
    std::string editorApp;
};

PrefsDialogState* gState = nullptr;
int32_t gLastScriptAdded = -1;

uint16_t& OptionWord(PrefsRecord& r, int8_t word) {
    return word == 0 ? r.options : word == 1 ? r.silentNewSignal : r.connectSound;
}

bool Shift() { return VXTestKey(kPlatformKeyShift); }

void FillList(VXWindowRecordTag* w, int16_t item, const std::vector<std::string>& rows) {
    VXSetListDrawingEnabled(w, item, false);
    VXRemoveListItem(w, item, 0, VXCountListItems(w, item));
    for (size_t i = 0; i < rows.size(); ++i) VXAddListItem(w, item, rows[i].c_str(), int32_t(i));
    VXSetListDrawingEnabled(w, item, true);
}

std::vector<int32_t> SelectedRows(VXWindowRecordTag* w, int16_t item) {
    std::vector<int32_t> rows;
    for (int32_t i = VXGetSelectedListItem(w, item, -1); i >= 0; i = VXGetSelectedListItem(w, item, i)) rows.push_back(i);
    return rows;
}

void EnableListButtons(VXWindowRecordTag* w, int16_t list, int16_t change, int16_t remove, int16_t up, int16_t down);

// Selects the rows (the last revealed) and enables the list's buttons for them.
void SelectRows(VXWindowRecordTag* w, int16_t item, const std::vector<int32_t>& rows) {
    for (int32_t i : SelectedRows(w, item)) VXSelectListItem(w, item, i, false);
    for (int32_t i : rows) VXSelectListItem(w, item, i, true);
    if (!rows.empty()) VXRevealListItem(w, item, rows.back(), 0);
    if (item == kShortcutListItem)
        EnableListButtons(w, item, kChangeShortcutItem, kRemoveShortcutItem, kShortcutUpItem, kShortcutDownItem);
    else if (item == kScriptListItem)
        EnableListButtons(w, item, kModifyScriptItem, kRemoveScriptItem, kScriptUpItem, kScriptDownItem);
}

// The move buttons of a list: up and down with one row selected that can move that way.
void EnableListButtons(VXWindowRecordTag* w, int16_t list, int16_t change, int16_t remove, int16_t up, int16_t down) {
    const std::vector<int32_t> rows = SelectedRows(w, list);
    const int32_t count = VXCountListItems(w, list);
    const bool one = rows.size() == 1;
    VXSetItemEnabled(w, change, one);
    VXSetItemEnabled(w, remove, !rows.empty());
    VXSetItemEnabled(w, up, one && rows[0] > 0);
    VXSetItemEnabled(w, down, one && rows[0] < count - 1);
}


// ---- General ----

void ShowEditorName(PrefsDialogState* s) {
    std::string name;
    if (s->editorApp.empty() || !GetApplicationNameForBundleIdentifier(s->editorApp.c_str(), true, &name)) name = s->editorApp;
    VXSetItemText(s->panels, kEditorNameItem, name.c_str());
}

// ---- Property names ----

void ShowNames(PrefsDialogState* s) {
    FillList(s->panels, kNamesListItem, s->names[size_t(s->namesList)]);
}

// ---- Shortcuts ----

std::string ShortcutRowText(const Shortcut& shortcut) { return shortcut.item + "    (" + shortcut.library + ")"; }

void ShowShortcuts(PrefsDialogState* s) {
    for (int32_t g = 0; g < kShortcutGroupCount; ++g)
        VXSetButtonState(s->panels, int16_t(kFirstGroupItem + g), g == s->group ? 1 : 0);
    std::vector<std::string> rows;
    for (const Shortcut& shortcut : s->groups[size_t(s->group)]) rows.push_back(ShortcutRowText(shortcut));
    FillList(s->panels, kShortcutListItem, rows);
    EnableListButtons(s->panels, kShortcutListItem, kChangeShortcutItem, kRemoveShortcutItem, kShortcutUpItem,
                      kShortcutDownItem);
}

// The items chosen in the parts dialog with their library, empty when it was cancelled.
std::vector<std::pair<std::string, std::string>> ChooseShortcutTargets(bool several) {
    std::vector<std::pair<std::string, std::string>> chosen;
    std::vector<int32_t> items;
    if (!BrowsePartsDialog(kShortcutTargetTitle, false, -1, nullptr, several ? &items : nullptr)) return chosen;
    char library[kCachedFileNameSize];
    GetCachedLibraryFileName(library);
    if (!several) {
        char name[kStringSpecBufferSize];
        GetCachedLibraryItemName(name);
        if (name[0]) chosen.emplace_back(name, library);
        return chosen;
    }
    for (int32_t index : items) {
        char name[kStringSpecBufferSize];
        if (GetIndexedItemNameFromCachedLibrary(index, name) && name[0]) chosen.emplace_back(name, library);
    }
    return chosen;
}

void AddShortcuts(PrefsDialogState* s) {
    const auto chosen = ChooseShortcutTargets(true);
    if (chosen.empty()) return;
    const std::vector<int32_t> rows = AddShortcutRows(s->groups[size_t(s->group)], chosen);
    s->shortcutsChanged = true;
    ShowShortcuts(s);
    SelectRows(s->panels, kShortcutListItem, rows);
}

void ChangeShortcut(PrefsDialogState* s) {
    const std::vector<int32_t> rows = SelectedRows(s->panels, kShortcutListItem);
    if (rows.size() != 1) return;
    const auto chosen = ChooseShortcutTargets(false);
    if (chosen.empty()) return;
    ShortcutGroup& group = s->groups[size_t(s->group)];
    const int32_t other = FindExistingShortcut(group, chosen[0].first.c_str(), chosen[0].second.c_str());
    int32_t select = rows[0];
    if (other >= 0 && other != rows[0]) {
        RemoveShortcutFromGroup(group, rows[0]);
        select = other > rows[0] ? other - 1 : other;
    } else {
        SetIndexedShortcut(group, rows[0], chosen[0].first.c_str(), chosen[0].second.c_str());
    }
    s->shortcutsChanged = true;
    ShowShortcuts(s);
    SelectRows(s->panels, kShortcutListItem, {select});
}

// ---- Fonts ----

void ShowFonts(PrefsDialogState* s) {
    const int32_t count = VXCountFonts();
    s->fontOffered.assign(size_t(count), true);
    std::vector<std::string> rows;
    for (int32_t i = 0; i < count; ++i) {
        char name[256];
        VXGetIndexedFont(i, name);
        rows.emplace_back(name);
        StrToUpper(name);
        s->fontOffered[size_t(i)] = !IsExcludedFont(name);
    }
    FillList(s->panels, kFontListItem, rows);
    for (int32_t i = 0; i < count; ++i) VXSetListItemMarkCode(s->panels, kFontListItem, i, s->fontOffered[size_t(i)] ? 1 : 0);
}

void ReadFonts(PrefsDialogState* s) {
    for (size_t i = 0; i < s->fontOffered.size(); ++i)
        s->fontOffered[i] = VXGetListItemMarkCode(s->panels, kFontListItem, int32_t(i)) != 0;
}

// ---- Colours ----

constexpr int16_t kHighlightWell = kLastColorItem, kBackgroundWell = kFirstColorItem + 5;
constexpr uint16_t kFirstColorCommand = 1101;

bool ColorMode(const PrefsDialogState* s) { return (s->prefs.options & kPrefsColorDisplay) != 0; }

// The RGB part of a colour value (its high byte names a brush or nothing).
uint32_t GetRealColor(uint32_t color) { return color & 0x00FFFFFF; }

// The well's own colour, or black and white (the background) in monochrome.
void UpdateColorWell(PrefsDialogState* s, int16_t item) {
    uint32_t color = s->prefs.colors[item - kFirstColorItem];
    if (!ColorMode(s) && item != kHighlightWell) color = kColorValues[item == kBackgroundWell ? 2 : 0];
    VXSetColorWellColor(s->panels, item, color);
}

// The popup arrow beside a well: 13 square, 6 right of it and 4 down.
Rect CalcColorPopupRect(PrefsDialogState* s, int16_t item) {
    Rect well{};
    VXGetItemPosition(s->panels, item, &well);
    const int16_t left = int16_t(well.right + 6), top = int16_t(well.top + 4);
    return Rect{top, left, int16_t(top + 13), int16_t(left + 13)};
}

// In monochrome only the highlight's colour is chosen from the menu.
bool ColorArrowActive(const PrefsDialogState* s, int16_t item) { return ColorMode(s) || item == kHighlightWell; }

void UpdateColorsPanel(PrefsDialogState* s) {
    for (int16_t item = kFirstColorItem; item <= kLastColorItem; ++item) {
        const Rect arrow = CalcColorPopupRect(s, item);
        const uint16_t state = item == s->editedWell         ? kPopupArrowPressed
                               : ColorArrowActive(s, item) ? kPopupArrowNormal
                                                           : kPopupArrowDisabled;
        VXDrawPopupArrowButton(&s->panels->graf, &arrow, state);
    }
}

void ShowColors(PrefsDialogState* s) {
    VXWindowRecordTag* w = s->panels;
    for (int32_t i = 0; i < 2; ++i) VXSelectListItem(w, kColorModeItem, i, i == (ColorMode(s) ? 1 : 0));
    for (int16_t item = kFirstColorItem; item <= kLastColorItem; ++item) UpdateColorWell(s, item);
    VXInvalRect(w, nullptr);
}

// First showing: the mode popup, and a colour well in place of each colour's item.
void MakeColorWells(PrefsDialogState* s) {
    VXWindowRecordTag* w = s->panels;
    s->colorsMenu = VXBuildMenu(&gColorsPopupMenuDef);
    VXAddListItem(w, kColorModeItem, "Monochrome", 0);
    VXAddListItem(w, kColorModeItem, "Color", 1);
    for (int16_t item = kFirstColorItem; item <= kLastColorItem; ++item) {
        Rect r{};
        VXGetItemPosition(w, item, &r);
        VXDestroyControl(w, item);
        r = Rect{int16_t(r.top - 2), int16_t(r.left - 3), int16_t(r.bottom + 2), int16_t(r.right + 3)};
        VXCreateControl(w, kVXColorWell, &r, "", item, 0);
    }
}

// The colours menu of a well, popped up at its arrow, the item of the well's colour checked.
void TrackColorPopup(PrefsDialogState* s, int16_t item) {
    VXWindowRecordTag* w = s->panels;
    const uint32_t color = s->prefs.colors[item - kFirstColorItem];
    int32_t checked = -1;
    for (int32_t i = 0; i < 9 && checked < 0; ++i)
        if (kColorValues[i] == color) checked = i;
    for (int32_t i = 0; i < 9 && checked < 0; ++i)
        if (GetRealColor(kColorValues[i]) == GetRealColor(color)) checked = i;
    const Rect arrow = CalcColorPopupRect(s, item);
    s->editedWell = item;
    VXInvalRect(w, &arrow);
    if (checked >= 0) VXSetMenuItemChecked(s->colorsMenu, true, checked + 1, true);
    // The choice comes back as a command while the menu is up.
    (void)VXPopupMenuClick(w, Point{arrow.top, arrow.left}, 0, true, s->colorsMenu, true, checked >= 0 ? checked + 1 : 0);
    if (checked >= 0) VXSetMenuItemChecked(s->colorsMenu, true, checked + 1, false);
    s->editedWell = -1;
    VXInvalRect(w, &arrow);
}

int32_t ColorPrefsPanelHandler(PrefsDialogState* s, VXEventRecord* event) {
    VXWindowRecordTag* w = s->panels;
    switch (event->kind) {
        case kVXUpdateEvent: UpdateColorsPanel(s); return 0;
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent:
            for (int16_t item = kFirstColorItem; item <= kLastColorItem; ++item) {
                const Rect arrow = CalcColorPopupRect(s, item);
                const Point at{event->u.mouse.v, event->u.mouse.h};
                if (!ColorArrowActive(s, item) || at.h < arrow.left || at.h >= arrow.right || at.v < arrow.top ||
                    at.v >= arrow.bottom)
                    continue;
                TrackColorPopup(s, item);
                return 1;
            }
            return 0;
        case kVXCommandEvent: {
            const int32_t chosen = event->u.command.command - kFirstColorCommand;
            if (chosen < 0 || chosen >= 9 || s->editedWell < 0) return 0;
            s->prefs.colors[s->editedWell - kFirstColorItem] = kColorValues[chosen];
            UpdateColorWell(s, s->editedWell);
            return 1;
        }
        case kVXControlEvent: {
            const int16_t item = int16_t(event->u.control.item);
            if (item == kColorModeItem) {
                const bool color = VXGetSelectedListItem(w, kColorModeItem, -1) == 1;
                if (color != ColorMode(s)) {
                    s->prefs.options = uint16_t(s->prefs.options ^ kPrefsColorDisplay);
                    ShowColors(s);
                }
                return 1;
            }
            if (item == kDefaultColorsItem) {
                s->prefs.options |= kPrefsColorDisplay;
                SetDefaultColors(s->prefs.colors);
                ShowColors(s);
                return 1;
            }
            if (item >= kFirstColorItem && item <= kLastColorItem && event->u.control.controlType == kVXColorWell) {
                s->prefs.colors[item - kFirstColorItem] = event->u.control.values.colour;
                return 1;
            }
            return 0;
        }
        default: return 0;
    }
}

// ---- Scripts ----

void ShowScripts(PrefsDialogState* s) {
    std::vector<std::string> rows;
    for (const ScriptFileEntry& entry : s->scripts) {
        std::string target = entry.target == "****" ? "Default" : entry.target.empty() ? "None" : entry.target;
        FileSpec spec;
        const bool found = GetScriptFileSpec(entry, &spec) != 0;
        rows.push_back(entry.name + (found ? "" : "  (missing)") + "    " + target);
    }
    FillList(s->panels, kScriptListItem, rows);
    EnableListButtons(s->panels, kScriptListItem, kModifyScriptItem, kRemoveScriptItem, kScriptUpItem, kScriptDownItem);
}

OSStatus AddOneScriptProc(const FileSpec* spec, int32_t, int32_t, void* data) {
    auto* s = static_cast<PrefsDialogState*>(data);
    gLastScriptAdded = AddScriptFileToList(s->scripts, spec, nullptr);
    s->scriptsChanged = true;
    return status::kNoErr;
}

void AddNewScriptFiles(PrefsDialogState* s) {
    gLastScriptAdded = -1;
    if (SelectAndProcessFiles(kOpenKindScripts, kPrefDirScripts, "Choose Script", "", AddOneScriptProc, s, nullptr))
        return;  // cancelled, or the panel failed: the list is as it was
    ShowScripts(s);
    if (gLastScriptAdded >= 0) SelectRows(s->panels, kScriptListItem, {gLastScriptAdded});
}

void ModifyScriptFile(PrefsDialogState* s) {
    const std::vector<int32_t> rows = SelectedRows(s->panels, kScriptListItem);
    if (rows.size() != 1) return;
    FileSpec spec{};
    if (SelectAndProcessFiles(kOpenKindScripts, kPrefDirScripts, "Choose Script", "", nullptr, nullptr, &spec)) return;
    const int32_t other = FindExistingScript(s->scripts, &spec);
    int32_t select = rows[0];
    if (other >= 0 && other != rows[0]) {
        RemoveScriptFileFromList(s->scripts, rows[0]);
        select = other > rows[0] ? other - 1 : other;
    } else {
        ScriptFileEntry& entry = s->scripts[size_t(rows[0])];
        const std::string target = entry.target;
        entry.name = spec.name;
        AddScriptFileToList(s->scripts, &spec, target.c_str());
    }
    s->scriptsChanged = true;
    ShowScripts(s);
    SelectRows(s->panels, kScriptListItem, {select});
}

// ---- Tabs ----

void FlushPrefsPanel(PrefsDialogState* s) {
    VXWindowRecordTag* w = s->panels;
    switch (s->tab) {
        case kGeneralTab:
            for (const GeneralOption& o : kGeneralOptions) {
                uint16_t& word = OptionWord(s->prefs, o.word);
                word = uint16_t(VXGetItemChecked(w, o.item) ? word | o.bit : word & ~o.bit);
            }
            break;
        case kFontsTab: ReadFonts(s); break;
        case kColorsTab:
            s->prefs.options = uint16_t(VXGetSelectedListItem(w, kColorModeItem, -1) == 1
                                            ? s->prefs.options | kPrefsColorDisplay
                                            : s->prefs.options & ~kPrefsColorDisplay);
            break;
        case kPathsTab:
            if (s->paths) {
                if (s->paths->changed) s->pathsChanged = true;
                // Its windows are children of the panels, not of the tab's layer.
                VXHideWindow(s->paths->header);
                VXHideWindow(s->paths->rows);
            }
            break;
        default: break;
    }
}

void SetPrefsDialogPanel(PrefsDialogState* s, int16_t tab) {
    VXWindowRecordTag* w = s->panels;
    if (!w || tab < 0 || tab >= kPrefsTabCount || tab == s->tab) return;
    FlushPrefsPanel(s);
    if (s->tab == kColorsTab) VXCloseColorPanel();
    const bool first = VXIsViewLayerEmpty(w, tab);
    if (first) VXLoadControlsForViewLayer(w, tab, uint16_t(kPrefsPanelTemplateBase + tab), 0, 0, 0);
    VXSetCurrentViewLayer(w, tab);
    VXSetSelectedTab(s->dialog, kPrefsTabsItem, tab);
    s->tab = tab;
    switch (tab) {
        case kGeneralTab:
            if (!first) break;
            for (const GeneralOption& o : kGeneralOptions)
                VXSetItemChecked(w, o.item, (OptionWord(s->prefs, o.word) & o.bit) ? 1 : 0);
            ShowEditorName(s);
            break;
        case kNamesTab:
            if (first) {
                for (int32_t k = 0; k < kPropertyNamesKinds; ++k) {
                    s->names[size_t(k)] = gPropertyNamesTable[k];
                    VXAddListItem(w, kNamesPopupItem, kNamesKinds[k], k);
                }
                s->namesCopied = true;
            }
            for (int32_t k = 0; k < kPropertyNamesKinds; ++k) VXSelectListItem(w, kNamesPopupItem, k, k == s->namesList);
            ShowNames(s);
            break;
        case kShortcutsTab:
            if (first) {
                for (int32_t g = 0; g < kShortcutGroupCount; ++g) s->groups[size_t(g)] = gLibShortcuts[g];
                s->groupsCopied = true;
            }
            ShowShortcuts(s);
            break;
        case kFontsTab:
            if (first) {
                VXSetListBoxFeatures(w, kFontListItem, kVXListBoxCheckList);
                ShowFonts(s);
                s->fontsVisited = true;
            }
            break;
        case kColorsTab:
            if (first) MakeColorWells(s);
            ShowColors(s);
            break;
        case kPathsTab:
            if (!s->paths) {
                Rect r{};
                VXGetItemPosition(w, kPathListItem, &r);
                VXSetItemVisible(w, kPathListItem, false);
                s->paths = CreatePathListEditor(w, &r, GetLibFilesPathList(), "Library Search Paths", kChangePathItem,
                                                kDeletePathItem, kPathUpItem, kPathDownItem);
                if (s->paths) ValidatePathEditorPaths(s->paths);
            }
            if (s->paths) {
                VXShowWindow(s->paths->header);
                VXShowWindow(s->paths->rows);
                PathEditorSelectionChanged(s->paths);
            }
            break;
        case kScriptsTab:
            if (first) {
                s->scripts = CopyScriptFilesList(gScriptFilesList);
                s->scriptsCopied = true;
            }
            ShowScripts(s);
            break;
        default: break;
    }
}

int32_t PrefsPanelsHandler(VXWindowRecordTag*, VXEventRecord* event) {
    PrefsDialogState* s = gState;
    if (!s) return 0;
    if (s->tab == kColorsTab) return ColorPrefsPanelHandler(s, event);
    if (event->kind != kVXControlEvent) return 0;
    VXWindowRecordTag* w = s->panels;
    const int16_t item = int16_t(event->u.control.item);
    switch (item) {
        case kChooseEditorItem: {
            std::string app;
            if (PromptForApplication(&app) && !app.empty()) {
                s->editorApp = app;
                s->editorChanged = true;
                ShowEditorName(s);
            }
            return 1;
        }
        case kNamesPopupItem:
            s->namesList = std::max(VXGetSelectedListItem(w, kNamesPopupItem, -1), 0);
            ShowNames(s);
            return 1;
        case kAddNameItem: {
            char text[256] = {};
            VXGetItemText(w, kNewNameItem, text);
            std::string name = text;
            name.erase(0, name.find_first_not_of(' '));
            name.erase(name.find_last_not_of(' ') + 1);
            auto& list = s->names[size_t(s->namesList)];
            if (!name.empty() && name.find('~') == std::string::npos &&
                std::find(list.begin(), list.end(), name) == list.end()) {
                list.push_back(name);
                s->namesChanged = true;
                ShowNames(s);
            }
            VXSetItemText(w, kNewNameItem, "");
            return 1;
        }
        case kDeleteNamesItem: {
            auto& list = s->names[size_t(s->namesList)];
            const std::vector<int32_t> rows = SelectedRows(w, kNamesListItem);
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) list.erase(list.begin() + *it);
            if (!rows.empty()) s->namesChanged = true;
            ShowNames(s);
            return 1;
        }
        case kShortcutListItem:
            EnableListButtons(w, kShortcutListItem, kChangeShortcutItem, kRemoveShortcutItem, kShortcutUpItem,
                              kShortcutDownItem);
            return 1;
        case kAddShortcutItem: AddShortcuts(s); return 1;
        case kChangeShortcutItem: ChangeShortcut(s); return 1;
        case kRemoveShortcutItem: {
            const std::vector<int32_t> rows = SelectedRows(w, kShortcutListItem);
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) RemoveShortcutFromGroup(s->groups[size_t(s->group)], *it);
            if (!rows.empty()) s->shortcutsChanged = true;
            ShowShortcuts(s);
            return 1;
        }
        case kShortcutUpItem:
        case kShortcutDownItem: {
            const std::vector<int32_t> rows = SelectedRows(w, kShortcutListItem);
            if (rows.size() != 1) return 1;
            const int32_t to = MoveShortcut(s->groups[size_t(s->group)], rows[0], item == kShortcutUpItem ? -1 : 1, Shift());
            s->shortcutsChanged = true;
            ShowShortcuts(s);
            SelectRows(w, kShortcutListItem, {to});
            return 1;
        }
        case kCheckAllFontsItem:
        case kUncheckAllFontsItem: {
            VXSetListDrawingEnabled(w, kFontListItem, false);
            for (int32_t i = 0; i < VXCountListItems(w, kFontListItem); ++i)
                VXSetListItemMarkCode(w, kFontListItem, i, item == kCheckAllFontsItem ? 1 : 0);
            VXSetListDrawingEnabled(w, kFontListItem, true);
            return 1;
        }
        case kAddPathItem:
            if (s->paths) AskAddPathEditorPath(s->paths, kVXPanelCreateFolders, kPathFileKinds);
            return 1;
        case kScriptListItem:
            EnableListButtons(w, kScriptListItem, kModifyScriptItem, kRemoveScriptItem, kScriptUpItem, kScriptDownItem);
            return 1;
        case kAddScriptItem: AddNewScriptFiles(s); return 1;
        case kModifyScriptItem: ModifyScriptFile(s); return 1;
        case kRemoveScriptItem: {
            const std::vector<int32_t> rows = SelectedRows(w, kScriptListItem);
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) RemoveScriptFileFromList(s->scripts, *it);
            if (!rows.empty()) s->scriptsChanged = true;
            ShowScripts(s);
            return 1;
        }
        case kScriptUpItem:
        case kScriptDownItem: {
            const std::vector<int32_t> rows = SelectedRows(w, kScriptListItem);
            if (rows.size() != 1) return 1;
            const int32_t to = MoveListEntry(s->scripts, rows[0], item == kScriptUpItem ? -1 : 1, Shift());
            s->scriptsChanged = true;
            ShowScripts(s);
            SelectRows(w, kScriptListItem, {to});
            return 1;
        }
        default:
            if (item >= kFirstGroupItem && item < kFirstGroupItem + kShortcutGroupCount) {
                s->group = item - kFirstGroupItem;
                ShowShortcuts(s);
                return 1;
            }
            return s->paths && HandlePathListEditorButton(s->paths, item, Shift()) ? 1 : 0;
    }
}

int32_t PrefsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PrefsDialogState* s = gState;
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            s->dialog = window;
            s->panels = VXCreateLayeredView(window, nullptr, kPrefsTabCount, kPrefsTabsItem, PrefsPanelsHandler, nullptr);
            SetPrefsDialogPanel(s, std::clamp<int16_t>(gLastPrefsTab, 0, kPrefsTabCount - 1));
            return 0;
        case kVXActivateEvent:
            if (s->paths) ValidatePathEditorPaths(s->paths);
            return 0;
        case kVXControlEvent:
            if (event->u.control.item == kPrefsTabsItem) {
                SetPrefsDialogPanel(s, int16_t(event->u.control.values.pair.second));
                return 1;
            }
            // A list box of a panel reports to the dialog.
            return PrefsPanelsHandler(window, event);
        case kVXEndModalEvent:
            gLastPrefsTab = s->tab;
            if (event->u.endModal.item == 1) {
                FlushPrefsPanel(s);
                s->confirmed = true;
                // The editor's entries go to the live list while the editor still exists.
                if (s->pathsChanged && s->paths && !SavePathListEditorPaths(s->paths, GetLibFilesPathList()))
                    s->pathsChanged = false;
            }
            VXCloseColorPanel();
            return 0;
        case kVXDestroyEvent:
            DestroyPathListEditor(std::exchange(s->paths, nullptr));
            s->panels = nullptr;
            return 0;
        default: return 0;
    }
}

// Puts the confirmed copies in place.
void ApplyPreferences(PrefsDialogState* s) {
    RecordChangedPreferences(kPrefsMainBlock);
    const bool redraw = ((s->prefs.options ^ gPrefs->options) & kPrefsColorDisplay) ||
                        std::memcmp(s->prefs.colors, gPrefs->colors, sizeof gPrefs->colors) != 0;
    *gPrefs = s->prefs;
    if (redraw) VXInvalidateAllWindows();
    VXSetToolTipsEnabled((gPrefs->options & kPrefsToolTips) != 0);
    if (s->pathsChanged) {
        RecordChangedPreferences(kPrefsLibraryPathsBlock);
        BuildLibraryFileList(nullptr, false);
        InvalidateActiveBrowser();
    }
    if (s->fontsVisited) {
        BitArray excluded = CreateBitArray(gGenPool, 256);
        if (excluded) {
            for (size_t i = 0; i < s->fontOffered.size(); ++i)
                if (!s->fontOffered[i]) BitArraySet(excluded, int32_t(i));
            RecordFontPreferences(excluded);
            DisposeBitArray(excluded);
        }
        BuildFontMenu();
    }
    if (s->shortcutsChanged) {
        for (int32_t g = 0; g < kShortcutGroupCount; ++g) gLibShortcuts[g] = s->groups[size_t(g)];
        RecordChangedPreferences(kPrefsShortcutsBlock);
    }
    if (s->namesChanged) {
        for (int32_t k = 0; k < kPropertyNamesKinds; ++k) gPropertyNamesTable[k] = s->names[size_t(k)];
        RecordChangedPreferences(kPrefsPropertyNamesBlock);
    }
    if (s->scriptsChanged) {
        FreeScriptFilesList(gScriptFilesList);
        gScriptFilesList = std::move(s->scripts);
        RebuildScriptsMenu();
        RecordChangedPreferences(kPrefsScriptsBlock);
    }
    if (s->editorChanged) VXStoreStringValueForKey(kTextEditorKey, s->editorApp.c_str());
}

}  // namespace

std::vector<int32_t> AddShortcutRows(ShortcutGroup& group, const std::vector<std::pair<std::string, std::string>>& chosen) {
    std::vector<int32_t> rows;
    for (const auto& [item, library] : chosen) {
        const int32_t existing = FindExistingShortcut(group, item.c_str(), library.c_str());
        if (existing >= 0) {
            rows.push_back(existing);
            continue;
        }
        AddShortcutToGroup(group, item.c_str(), library.c_str());
        rows.push_back(int32_t(group.size()) - 1);
    }
    return rows;
}

bool EditPrefsDialog(bool openOnLibraryTab) {
    if (!gPrefs) return false;
    PrefsDialogState state;
    state.prefs = *gPrefs;
    (void)GetTextEditorApplication(&state.editorApp);  // none: the field stays empty
    if (openOnLibraryTab) gLastPrefsTab = kLibraryPathsTab;
    PrefsDialogState* saved = std::exchange(gState, &state);
    VXModalDialog(kPrefsDialogTemplate, kVXPlaceCentre, PrefsDialogHandler, nullptr);
    gState = saved;
    if (state.confirmed) ApplyPreferences(&state);
    FreeScriptFilesList(state.scripts);
    return state.confirmed;
}

}  // namespace plexa
