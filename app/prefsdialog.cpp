// The Preferences dialog. Every tab edits a copy held in the dialog's state (the main record,
// the shortcut groups, the property-name lists, the script list, the excluded fonts, the library
// search paths); Cancel drops them all, OK puts each changed one in place, marks its block of the
// preferences file changed and makes it effective (menus rebuilt, sheets redrawn).
#include "app/prefsdialog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/headedlist.h"
#include "app/prefs.h"
#include "app/recentmenus.h"
#include "app/reportscripts.h"
#include "app/shell.h"
#include "app/shellutil.h"
#include "foundation/bitarray.h"
#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/fonts.h"
#include "graphics/grafprocs_ui.h"
#include "sheeteditor/toolbars.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "library/itemcache.h"
#include "library/libpaths.h"
#include "model/drawglobals.h"
#include "model/modelhooks.h"
#include "model/themes.h"
#include "platform/input_platform.h"
#include "sheeteditor/libbrowser.h"
#include "files/openkinds.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/partsdialog.h"
#include "sheeteditor/pathlisteditor.h"
#include "sheeteditor/propertynames.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"
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
constexpr int16_t kNamesPopupItem = 20, kNamesListItem = 21;
// A name's field begins at 24 in its row, under its column's title; a click 20 or more from the
// row's left edits it.
constexpr int16_t kNameFieldLeft = 24, kNameEditStart = 20;
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
constexpr int16_t kPrefsRowHeight = 17;
constexpr int32_t kShortcutsStyle = 29, kScriptsStyle = 28, kNamesStyle = 5;
// The target menu of a script row.
constexpr uint16_t kScriptTargetMenuId = 1700, kScriptTargetDefault = 1700, kScriptTargetNone = 1701,
                   kScriptTargetChoose = 1702;
// The file name of a script whose file is missing.
constexpr uint32_t kMissingScriptColor = 0x01FF0000;
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
    HeadedList namesRows, shortcutRows, scriptRows;
    PrefsRecord prefs{};
    std::array<ShortcutGroup, kShortcutGroupCount> groups;
    std::array<std::vector<std::string>, kPropertyNamesKinds> names;
    std::vector<ScriptFileEntry> scripts;
    std::vector<bool> fontOffered;  // by family index
    int16_t tab = -1;
    int16_t editedWell = -1;  // the colour well whose menu is up
    int32_t group = 0, namesList = 0;
    int32_t namesShown = -1;     // the names list on show, -1 none
    int32_t pressedScript = -1;  // the script row whose target menu is open
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

// ---- General ----

// The text editor's name as the general tab and the scripts' "****" target show it.
std::string EditorName(const PrefsDialogState* s) {
    std::string name;
    if (s->editorApp.empty() || !GetApplicationNameForBundleIdentifier(s->editorApp.c_str(), true, &name)) name = s->editorApp;
    return name;
}

void ShowEditorName(PrefsDialogState* s) { VXSetItemText(s->panels, kEditorNameItem, EditorName(s).c_str()); }

// ---- Property names ----

void CreateNewAttrNameFieldIfNeeded(PrefsDialogState* s);

std::vector<std::string>* NamesOnShow(PrefsDialogState* s) {
    return s->namesShown >= 0 ? &s->names[size_t(s->namesShown)] : nullptr;
}

// Shows the list (-1: none); the blank names of the list that was on show go.
void SetCurrentPropList(PrefsDialogState* s, int32_t list) {
    if (list == s->namesShown) return;
    if (std::vector<std::string>* shown = NamesOnShow(s)) CleanupPropertyNamesList(shown);
    s->namesShown = list;
    const std::vector<std::string>* names = NamesOnShow(s);
    SetHeadedListRows(s->namesRows, names ? int32_t(names->size()) : 0);
    if (names) CreateNewAttrNameFieldIfNeeded(s);
}

// There is always one empty row at the end for typing a new name.
void CreateNewAttrNameFieldIfNeeded(PrefsDialogState* s) {
    std::vector<std::string>* names = NamesOnShow(s);
    if (!names || (!names->empty() && names->back().empty())) return;
    names->emplace_back();
    const int32_t row = int32_t(names->size()) - 1;
    if (s->namesRows.rows && VXCountListViewItems(s->namesRows.rows) <= row)
        VXInsertListViewItemData(s->namesRows.rows, -1, &row, 1);
}

std::string TrimmedName(const char* text) {
    std::string name = text ? text : "";
    name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

void DrawRowText(const std::string& text, int16_t left, int16_t right, int16_t baseline) {
    char shown[kVXListCellTextSize] = {};
    std::snprintf(shown, sizeof shown, "%s", text.c_str());
    if (right <= left) return;
    VXTruncString(shown, sizeof shown, right - left, 0);
    VXMoveTo(left, baseline);
    VXDrawTextWithEncoding(shown, int32_t(std::strlen(shown)), kEncodingUTF8);
}

int32_t NamesListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    PrefsDialogState* s = gState;
    std::vector<std::string>* names = s ? NamesOnShow(s) : nullptr;
    if (!names) return 0;
    const int32_t row = record->index;
    const bool real = row >= 0 && row < int32_t(names->size());
    switch (message) {
        case kVXListDrawItem: {
            StdDrawHiliteEditListViewItem(window, record);
            int16_t column = 0;
            if (!real || (VXGetListViewEditFocus(window, &column, nullptr, nullptr) == row && column > 0)) return 1;
            const Rect& cell = record->rect;
            DrawRowText((*names)[size_t(row)], int16_t(cell.left + kNameFieldLeft), int16_t(cell.right - 2),
                        int16_t(cell.bottom - 4));
            return 1;
        }
        case kVXListMouseDown:
            // Left of the name the click selects rows; on it, it starts editing.
            if (real && record->event) {
                Rect cell{};
                VXGetListViewItemRect(window, row, &cell);
                record->column = record->event->u.mouse.h - cell.left >= kNameEditStart ? 1 : 0;
            }
            return 0;
        case kVXListEditRect:
            record->rect = {1, kNameFieldLeft, int16_t(kPrefsRowHeight - 2), int16_t(record->width - 6)};
            return 1;
        case kVXListFetchText:
            if (real && record->text) std::snprintf(record->text, kVXListCellTextSize, "%s", (*names)[size_t(row)].c_str());
            return 1;
        case kVXListEditState:
            if (record->param.value) CreateNewAttrNameFieldIfNeeded(s);
            return 3;
        case kVXListDirtyTest:
            return !real || !record->text || (*names)[size_t(row)] == record->text ? 1 : 0;
        case kVXListCommit: {
            if (!real || !record->text) return 1;
            std::string& stored = (*names)[size_t(row)];
            const std::string name = TrimmedName(record->text);
            if (name == stored) return 1;
            if (name.empty()) {
                // An emptied name keeps the old one.
                std::snprintf(record->text, kVXListCellTextSize, "%s", stored.c_str());
                return 3;
            }
            stored = name;
            s->namesChanged = true;
            CreateNewAttrNameFieldIfNeeded(s);
            VXInvalListViewItem(window, row);
            return 1;
        }
        case kVXListEditNavigate:
            // The field is committed first, so that a name typed into the last row gets a new
            // empty row to move on to.
            if (!VXFlushListViewEditField(window)) return kVXListKeyHandled;
            CreateNewAttrNameFieldIfNeeded(s);
            return kVXListKeyMoveFocus | 1;
        case kVXListEditChar: {
            if (!record->event) return 0;
            const uint16_t c = record->event->u.character.character;
            return c == ' ' || c == '~' || c == 0xA0 ? (kVXListKeyHandled | kVXListKeyBeep) : 0;
        }
        default: return 0;
    }
}

// The edit cursor shows over the names; a deletion key with no name being edited deletes the
// selected names.
int32_t NamesListEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PrefsDialogState* s = gState;
    std::vector<std::string>* names = s ? NamesOnShow(s) : nullptr;
    if (names && event->kind == kVXMouseMovedEvent) {
        // The rows lie in the list's pane, which scrolls.
        int32_t v = event->u.mouse.longV;
        if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
            double dx = 0, dy = 0;
            VXPanelPlatformOffset(panel, &dx, &dy);
            v -= int32_t(std::lround(dy));
        }
        const int32_t row = VXListViewItemFromPoint(window, v, false);
        const bool editable = row >= 0 && row < int32_t(names->size()) && event->u.mouse.longH >= kNameEditStart;
        VXSetWindowCursor(window, editable ? kVXCursorIBeam : kVXCursorArrow);
        return 0;
    }
    if (!names || event->kind != kVXCharEvent || !VXIsDeletionChar(event->u.character.character)) return 0;
    int16_t column = 0;
    if (VXGetListViewEditFocus(window, &column, nullptr, nullptr) >= 0 && column > 0) return 0;
    const std::vector<int32_t> rows = HeadedListSelection(s->namesRows);
    if (rows.empty()) return 1;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (*it < int32_t(names->size())) names->erase(names->begin() + *it);
    s->namesChanged = true;
    SetHeadedListRows(s->namesRows, int32_t(names->size()));
    CreateNewAttrNameFieldIfNeeded(s);
    return 1;
}

// Shows the list and edits its first row.
void ShowNamesList(PrefsDialogState* s, int32_t list) {
    SetCurrentPropList(s, list);
    if (!s->namesRows.rows) return;
    FocusHeadedList(s->namesRows);
    (void)VXSetListViewEditFocus(s->namesRows.rows, 0, 1);
}

// Ends editing and shows no list (which cleans the list of blank names).
void HideNamesList(PrefsDialogState* s) {
    if (s->namesRows.rows) (void)VXSetListViewEditFocus(s->namesRows.rows, -1, 0);
    SetCurrentPropList(s, -1);
}

// ---- Shortcuts ----

void ShortcutSelectionChanged(PrefsDialogState* s) {
    const std::vector<int32_t> rows = HeadedListSelection(s->shortcutRows);
    const int32_t count = int32_t(s->groups[size_t(s->group)].size());
    const bool one = rows.size() == 1;
    VXSetItemEnabled(s->panels, kChangeShortcutItem, one);
    VXSetItemEnabled(s->panels, kRemoveShortcutItem, !rows.empty());
    VXSetItemEnabled(s->panels, kShortcutUpItem, one && rows[0] > 0);
    VXSetItemEnabled(s->panels, kShortcutDownItem, one && rows[0] < count - 1);
}

void SetCurrentShortcutList(PrefsDialogState* s) {
    for (int32_t g = 0; g < kShortcutGroupCount; ++g)
        VXSetButtonState(s->panels, int16_t(kFirstGroupItem + g), g == s->group ? 1 : 0);
    SetHeadedListRows(s->shortcutRows, int32_t(s->groups[size_t(s->group)].size()));
    ShortcutSelectionChanged(s);
}

void SelectShortcutRows(PrefsDialogState* s, const std::vector<int32_t>& rows) {
    SelectHeadedListRows(s->shortcutRows, rows);
    ShortcutSelectionChanged(s);
}

int32_t ShortcutsListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    PrefsDialogState* s = gState;
    if (!s || message != kVXListDrawItem) return 0;
    StdDrawHiliteEditListViewItem(window, record);
    const ShortcutGroup& group = s->groups[size_t(s->group)];
    if (record->index < 0 || record->index >= int32_t(group.size())) return 1;
    const Shortcut& shortcut = group[size_t(record->index)];
    const Rect& cell = record->rect;
    const int16_t baseline = int16_t(cell.bottom - 4);
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    DrawRowText(shortcut.item, int16_t(cell.left + 4), int16_t(cell.left + 4 + 152), baseline);
    DrawRowText(shortcut.library, int16_t(cell.left + 164), int16_t(cell.left + 164 + (cell.right - cell.left) - 168),
                baseline);
    return 1;
}

void ChangeShortcut(PrefsDialogState* s);

int32_t ShortcutsEventHandler(VXWindowRecordTag*, VXEventRecord* event) {
    PrefsDialogState* s = gState;
    if (!s || event->kind != kVXControlEvent || event->u.control.controlType != kVXListBox) return 0;
    ShortcutSelectionChanged(s);
    if (event->u.control.values.listBox.second && HeadedListSelection(s->shortcutRows).size() == 1) ChangeShortcut(s);
    return 1;
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
    SetCurrentShortcutList(s);
    SelectShortcutRows(s, rows);
}

void ChangeShortcut(PrefsDialogState* s) {
    const std::vector<int32_t> rows = HeadedListSelection(s->shortcutRows);
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
    SetCurrentShortcutList(s);
    SelectShortcutRows(s, {select});
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

void ScriptEditorSelectionChanged(PrefsDialogState* s) {
    const std::vector<int32_t> rows = HeadedListSelection(s->scriptRows);
    const int32_t count = int32_t(s->scripts.size());
    const bool one = rows.size() == 1;
    VXSetItemEnabled(s->panels, kModifyScriptItem, one);
    VXSetItemEnabled(s->panels, kRemoveScriptItem, !rows.empty());
    VXSetItemEnabled(s->panels, kScriptUpItem, one && rows[0] > 0);
    VXSetItemEnabled(s->panels, kScriptDownItem, one && rows[0] < count - 1);
}

void ShowScripts(PrefsDialogState* s) {
    SetHeadedListRows(s->scriptRows, int32_t(s->scripts.size()));
    ScriptEditorSelectionChanged(s);
}

void SelectScriptRows(PrefsDialogState* s, const std::vector<int32_t>& rows) {
    SelectHeadedListRows(s->scriptRows, rows);
    ScriptEditorSelectionChanged(s);
}

// The target's pop-up arrow: 13 by 13, centred in the last 23 pixels of the row.
Rect CalcTargetAppPopupRect(const Rect& row) {
    const int16_t h = int16_t(row.right - 23 + 5), v = int16_t((row.top + row.bottom - 13) / 2);
    return Rect{v, h, int16_t(v + 13), int16_t(h + 13)};
}

// "****" stands for the text editor of the preferences; an empty target for no application.
std::string ScriptTargetName(const PrefsDialogState* s, const std::string& target) {
    if (target.empty()) return {};
    if (target == "****") return EditorName(s);
    std::string name;
    return GetApplicationNameForBundleIdentifier(target.c_str(), false, &name) ? name : target;
}

void DrawTargetArrow(const Rect& r, bool pressed) {
    if (pressed) {
        QZSetColor(nullptr, 0x09808080, false);
        VXRectDispatch(&r, 1);
    }
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    VXFrameRect(&r);
    const int16_t h = int16_t((r.left + r.right) / 2), v = int16_t(r.top + 5);
    for (int16_t i = 0; i < 4; ++i) {
        VXMoveTo(int16_t(h - 3 + i), int16_t(v + i));
        VXLineTo(int16_t(h + 3 - i), int16_t(v + i));
    }
}

// The target menu at a row's arrow: "Default", "None" or an application chosen; the rows
// selected get it when the row is one of them, else the row alone.
void TrackTargetMenu(PrefsDialogState* s, VXWindowRecordTag* window, int32_t row, const Rect& arrow) {
    VXMenuRecord* menu = VXNewMenu(kScriptTargetMenuId, "");
    if (!menu) return;
    VXInsertMenuItem(menu, true, 1, kScriptTargetDefault, "Default");
    VXInsertMenuItem(menu, true, 2, kScriptTargetNone, "None");
    VXInsertMenuItem(menu, true, 3, 0, "-");
    VXInsertMenuItem(menu, true, 4, kScriptTargetChoose, "Choose...");
    s->pressedScript = row;
    VXInvalListViewItem(window, row);
    const uint16_t command = VXPopupMenuClick(window, Point{arrow.bottom, arrow.left}, 0, false, menu, false, 0);
    VXDestroyMenuEx(menu, true);
    s->pressedScript = -1;
    VXInvalListViewItem(window, row);
    std::string target;
    if (command == kScriptTargetDefault) target = "****";
    else if (command == kScriptTargetChoose) {
        if (!PromptForApplication(&target) || target.empty()) return;
    } else if (command != kScriptTargetNone) return;
    std::vector<int32_t> rows = HeadedListSelection(s->scriptRows);
    if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows = {row};
    for (int32_t r : rows)
        if (r < int32_t(s->scripts.size())) s->scripts[size_t(r)].target = target;
    s->scriptsChanged = true;
    InvalHeadedList(s->scriptRows);
}

int32_t ScriptListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    PrefsDialogState* s = gState;
    if (!s) return 0;
    const int32_t row = record->index;
    const bool real = row >= 0 && row < int32_t(s->scripts.size());
    if (message == kVXListDrawItem) {
        StdDrawHiliteEditListViewItem(window, record);
        if (!real) return 1;
        const ScriptFileEntry& entry = s->scripts[size_t(row)];
        const Rect& cell = record->rect;
        const int16_t baseline = int16_t(cell.bottom - 4), width = int16_t(cell.right - cell.left);
        FileSpec spec;
        QZSetColor(nullptr, GetScriptFileSpec(entry, &spec) ? kVXDefaultForeColor : kMissingScriptColor, false);
        DrawRowText(entry.name, int16_t(cell.left + 4), int16_t(cell.left + 4 + 202), baseline);
        QZSetColor(nullptr, kVXDefaultForeColor, false);
        DrawRowText(ScriptTargetName(s, entry.target), int16_t(cell.left + 214), int16_t(cell.left + 214 + width - 218),
                    baseline);
        DrawTargetArrow(CalcTargetAppPopupRect(cell), s->pressedScript == row);
        return 1;
    }
    if (message != kVXListMouseDown || !real || !record->event) return 0;
    Rect cell{};
    VXGetListViewItemRect(window, row, &cell);
    const Rect arrow = CalcTargetAppPopupRect(cell);
    const int16_t v = record->event->u.mouse.v, h = record->event->u.mouse.h;
    const auto within = [&](int16_t margin) {
        return v >= arrow.top - margin && v < arrow.bottom + margin && h >= arrow.left - margin && h < arrow.right + margin;
    };
    if (within(0)) {
        TrackTargetMenu(s, window, row, arrow);
        return kVXListClickHandled;
    }
    // A click just beside the arrow does nothing.
    return within(2) ? kVXListClickHandled : 0;
}

void ModifyScriptFile(PrefsDialogState* s);

int32_t ScriptListEventHandler(VXWindowRecordTag*, VXEventRecord* event) {
    PrefsDialogState* s = gState;
    if (!s || event->kind != kVXControlEvent || event->u.control.controlType != kVXListBox) return 0;
    if (event->u.control.values.listBox.second && HeadedListSelection(s->scriptRows).size() == 1)
        ModifyScriptFile(s);
    else
        ScriptEditorSelectionChanged(s);
    return 1;
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
    if (gLastScriptAdded >= 0) SelectScriptRows(s, {gLastScriptAdded});
}

void ModifyScriptFile(PrefsDialogState* s) {
    const std::vector<int32_t> rows = HeadedListSelection(s->scriptRows);
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
    SelectScriptRows(s, {select});
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
        case kNamesTab:
            s->namesList = std::max(s->namesShown, 0);
            HideNamesList(s);
            ShowHeadedList(s->namesRows, false);
            break;
        case kShortcutsTab: ShowHeadedList(s->shortcutRows, false); break;
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
        case kScriptsTab: ShowHeadedList(s->scriptRows, false); break;
        default: break;
    }
}

// Puts the list in place of the template's item, which stays hidden. The list's windows are
// children of the panels, not of the tab's layer.
void ReplaceItemByList(PrefsDialogState* s, HeadedList& list, int16_t item, std::initializer_list<HeaderColumn> columns,
                       int32_t style, uint32_t features, VXListViewHookProc hook, VXEventProc handler) {
    Rect r{};
    VXGetItemPosition(s->panels, item, &r);
    VXSetItemVisible(s->panels, item, false);
    (void)CreateHeadedList(list, s->panels, r, columns, GetTempDefaultStyle(style), kPrefsRowHeight, features, hook,
                           handler);
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
            if (first)
                ReplaceItemByList(s, s->namesRows, kNamesListItem, {{0, ""}, {20, "Attribute Names"}}, kNamesStyle,
                                  kVXListMultiSelect | kVXListEditCells, NamesListViewHook, NamesListEventHandler);
            for (int32_t k = 0; k < kPropertyNamesKinds; ++k) VXSelectListItem(w, kNamesPopupItem, k, k == s->namesList);
            ShowHeadedList(s->namesRows, true);
            ShowNamesList(s, s->namesList);
            break;
        case kShortcutsTab:
            if (first) {
                for (int32_t g = 0; g < kShortcutGroupCount; ++g) s->groups[size_t(g)] = gLibShortcuts[g];
                s->groupsCopied = true;
                ReplaceItemByList(s, s->shortcutRows, kShortcutListItem, {{0, "Item Name"}, {160, "Library File"}},
                                  kShortcutsStyle, kVXListMultiSelect, ShortcutsListViewHook, ShortcutsEventHandler);
            }
            ShowHeadedList(s->shortcutRows, true);
            SetCurrentShortcutList(s);
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
                ReplaceItemByList(s, s->scriptRows, kScriptListItem, {{0, "Script File"}, {210, "Target Application"}},
                                  kScriptsStyle, kVXListMultiSelect, ScriptListViewHook, ScriptListEventHandler);
            }
            ShowHeadedList(s->scriptRows, true);
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
            HideNamesList(s);
            s->namesList = std::max(VXGetSelectedListItem(w, kNamesPopupItem, -1), 0);
            ShowNamesList(s, s->namesList);
            return 1;
        case kAddShortcutItem: AddShortcuts(s); return 1;
        case kChangeShortcutItem: ChangeShortcut(s); return 1;
        case kRemoveShortcutItem: {
            const std::vector<int32_t> rows = HeadedListSelection(s->shortcutRows);
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) RemoveShortcutFromGroup(s->groups[size_t(s->group)], *it);
            if (!rows.empty()) s->shortcutsChanged = true;
            SetCurrentShortcutList(s);
            return 1;
        }
        case kShortcutUpItem:
        case kShortcutDownItem: {
            const std::vector<int32_t> rows = HeadedListSelection(s->shortcutRows);
            if (rows.size() != 1) return 1;
            const int32_t to = MoveShortcut(s->groups[size_t(s->group)], rows[0], item == kShortcutUpItem ? -1 : 1, Shift());
            s->shortcutsChanged = true;
            SetCurrentShortcutList(s);
            SelectShortcutRows(s, {to});
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
        case kAddScriptItem: AddNewScriptFiles(s); return 1;
        case kModifyScriptItem: ModifyScriptFile(s); return 1;
        case kRemoveScriptItem: {
            const std::vector<int32_t> rows = HeadedListSelection(s->scriptRows);
            for (auto it = rows.rbegin(); it != rows.rend(); ++it) RemoveScriptFileFromList(s->scripts, *it);
            if (!rows.empty()) s->scriptsChanged = true;
            ShowScripts(s);
            return 1;
        }
        case kScriptUpItem:
        case kScriptDownItem: {
            const std::vector<int32_t> rows = HeadedListSelection(s->scriptRows);
            if (rows.size() != 1) return 1;
            const int32_t to = MoveListEntry(s->scripts, rows[0], item == kScriptUpItem ? -1 : 1, Shift());
            s->scriptsChanged = true;
            ShowScripts(s);
            SelectScriptRows(s, {to});
            return 1;
        }
        default:
            if (item >= kFirstGroupItem && item < kFirstGroupItem + kShortcutGroupCount) {
                s->group = item - kFirstGroupItem;
                SetCurrentShortcutList(s);
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
            for (HeadedList* list : {&s->namesRows, &s->shortcutRows, &s->scriptRows}) DestroyHeadedList(*list);
            s->panels = nullptr;
            return 0;
        default: return 0;
    }
}

// Puts the confirmed copies in place.
// The sheet and symbol editor windows take the new background and are drawn again.
void RedrawSheetsInNewColours() {
    // As for drawing on the screen.
    const uint32_t flags = gGenFlags;
    gGenFlags = (gGenFlags | kGenColorDrawing) & ~kGenPrinting;
    VXWindowRecordTag* previous = nullptr;
    bool switched = false;
    for (VXWindowRecordTag* w = VXGetFirstWindow(); w; w = VXGetNextWindow(w)) {
        if (w->typeID != kSheetWindowKind && w->typeID != kSymbolEditorWindowKind) continue;
        VXWindowRecordTag* was = VXSetWindow(w);
        if (!switched) previous = was;
        switched = true;
        Set_Bak_Color();
    }
    gGenFlags = flags;
    if (previous) VXSetWindow(previous);
    VXInvalidateAllWindows();
}

void ApplyPreferences(PrefsDialogState* s) {
    RecordChangedPreferences(kPrefsMainBlock);
    const bool redraw = ((s->prefs.options ^ gPrefs->options) & kPrefsColorDisplay) ||
                        std::memcmp(s->prefs.colors, gPrefs->colors, sizeof gPrefs->colors) != 0;
    *gPrefs = s->prefs;
    if (redraw) RedrawSheetsInNewColours();
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

void EditPrefsFromDrawingTools(int32_t panel) {
    if (EditPrefsDialog(panel == 1)) UpdateDrawingToolPalettes();
}

}  // namespace plexa
