// Menus over the platform's native menus. The application menu is the toolkit's own here (the
// desktop has no global menu bar): About, Preferences and Quit, shown leftmost in the menu bar
// that every top-level document window gets, followed by the current bar's menus. A menu whose
// record is disabled still opens; preparation disables each of its items.
//
// Because the application menu is a toolkit menu here, choosing one of its items sends the
// command with the application menu and the item's position, like any other item (there is no
// separate index scheme for items that the toolkit did not build).
#include "toolkit/vx_menus.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/strings.h"
#include "platform/input_platform.h"
#include "graphics/fonts.h"
#include "platform/menu_platform.h"
#include "platform/text_layout.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXMenuRecord* gMenus = nullptr;
VXMenuBar* gCurrentMenuBar = nullptr;

namespace {

const VXMenuDefItem kDefaultEditItems[] = {
    {kVXMenuItem, "Undo", 301, "z"},  {kVXMenuItem, "Cut", 302, "x"},
    {kVXMenuItem, "Copy", 303, "c"},  {kVXMenuItem, "Paste", 304, "v"},
    {kVXMenuItem, "Clear", 305, nullptr}, {0, nullptr, 0, nullptr},
};
const VXMenuDef kDefaultEditMenu = {300, "Edit", kDefaultEditItems};
const VXMenuDef* const kDefaultBarMenus[] = {&kDefaultEditMenu, nullptr};

VXMenuRecord* gAppMenu = nullptr;

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

std::string AppName() { return VXGetAppDisplayName(); }

// Items whose titles may hold "$AppName": the application commands and item 7901 of menu 7900.
bool NamesTheApplication(uint16_t menuID, uint16_t tag) {
    return (tag >= kVXCommandAbout && tag <= 106) || (menuID == 7900 && tag == 7901);
}

// The 0-based index of an addressed item, -1 when it is not there (or is the menu itself).
int32_t IndexOf(VXMenuRecord* menu, bool byPosition, int32_t item) {
    if (!menu) return -1;
    if (byPosition) return item >= 1 && item <= PlatformMenuCount(menu->menu) ? item - 1 : -1;
    return VXCommandToMenuIndex(menu, uint16_t(item)) - 1;
}

VXMenuRecord* RecordOf(PlatformMenu* menu) {
    return menu ? static_cast<VXMenuRecord*>(PlatformMenuOwner(menu)) : nullptr;
}

void UpdateSubmenuFlag(VXMenuRecord* menu) {
    menu->flags &= uint8_t(~kVXMenuHasSubmenus);
    for (int32_t i = 0; i < PlatformMenuCount(menu->menu); ++i)
        if (PlatformMenuItemSubmenu(menu->menu, i)) menu->flags |= kVXMenuHasSubmenus;
}

// The menu that shows this one as a sub-menu, if any.
VXMenuRecord* ParentOf(VXMenuRecord* menu) {
    for (VXMenuRecord* r = gMenus; r; r = r->next)
        for (int32_t i = 0; i < PlatformMenuCount(r->menu); ++i)
            if (PlatformMenuItemSubmenu(r->menu, i) == menu->menu) return r;
    return nullptr;
}

bool InBar(const VXMenuRecord* menu) {
    if (!gCurrentMenuBar) return false;
    for (uint32_t i = 0; i < gCurrentMenuBar->count; ++i)
        if (gCurrentMenuBar->menus[i] == menu) return true;
    return false;
}

void SetBar(std::vector<VXMenuRecord*> menus) {
    if (!gCurrentMenuBar) gCurrentMenuBar = new VXMenuBar{0, nullptr};
    delete[] gCurrentMenuBar->menus;
    gCurrentMenuBar->count = uint32_t(menus.size());
    gCurrentMenuBar->menus = new VXMenuRecord*[menus.size() + 1];
    std::copy(menus.begin(), menus.end(), gCurrentMenuBar->menus);
    for (VXWindowRecordTag* window : VXTopLevelWindows()) VXAttachMenuBarToWindow(window);
}

std::vector<VXMenuRecord*> BarMenus() {
    if (!gCurrentMenuBar) return {};
    return {gCurrentMenuBar->menus, gCurrentMenuBar->menus + gCurrentMenuBar->count};
}

bool Traverse(VXMenuRecord* menu, VXMenuVisitProc proc, void* refcon, int depth) {
    if (!menu || depth > 32) return true;
    menu->flags |= kVXMenuInTraversal;
    uint8_t descend = 1;
    bool go = proc(menu, 0, menu->menuID, &descend, refcon) != 0;
    for (int32_t i = 0; go && i < PlatformMenuCount(menu->menu); ++i) {
        const uint16_t tag = uint16_t(PlatformMenuItemTag(menu->menu, i));
        if (tag == 0 || PlatformMenuItemIsSeparator(menu->menu, i)) continue;
        VXMenuRecord* sub = RecordOf(PlatformMenuItemSubmenu(menu->menu, i));
        descend = sub ? 1 : 0;
        go = proc(menu, uint16_t(i + 1), tag, &descend, refcon) != 0;
        if (go && descend && sub) go = Traverse(sub, proc, refcon, depth + 1);
    }
    menu->flags &= uint8_t(~kVXMenuInTraversal);
    return go;
}

// Platform notices.

void OnAboutToShow(PlatformMenu*, void* owner, int32_t barWindow) {
    auto* menu = static_cast<VXMenuRecord*>(owner);
    if (!menu || vx.popupMenuTracking) return;
    const VXCommandWindowScope scope(barWindow ? VXGetWindowFromId(barWindow) : nullptr);
    if (menu == gAppMenu) {
        for (uint16_t command : {kVXCommandAbout, kVXCommandPreferences,
                                 kVXCommandAccessibleLocations, kVXCommandQuit})
            if (VXCommandToMenuIndex(gAppMenu, command))
                PrepareOneCommand(nullptr, command, 0, true);
        return;
    }
    // A sub-menu is prepared with the top-most menu above it.
    for (int depth = 0; depth < 32; ++depth) {
        VXMenuRecord* parent = ParentOf(menu);
        if (!parent) break;
        menu = parent;
    }
    PrepareOneMenu(menu, 0, true);
}

void OnTriggered(PlatformMenu*, void* owner, int32_t index, uint32_t modifiers, int32_t barWindow) {
    if (!VXMenuWorksWhenModal()) return;
    VXMenuItemChosen(static_cast<VXMenuRecord*>(owner), uint16_t(index + 1), modifiers,
                     barWindow ? VXGetWindowFromId(barWindow) : nullptr);
}

VXMenuRecord* NewRecord(uint16_t menuID, const char* title, const VXMenuDef* definition) {
    auto* record = new VXMenuRecord{};
    record->menu = PlatformMenuCreate(title, record);
    record->definition = definition;
    record->menuID = menuID;
    record->enabled = 1;
    record->next = gMenus;
    gMenus = record;
    return record;
}

void SetKey(VXMenuRecord* menu, int32_t index, const char* key) {
    if (!key || !key[0]) return;
    const unsigned char c = static_cast<unsigned char>(key[0]);
    uint32_t modifiers = kPlatformModCommand;
    if (std::isupper(c)) modifiers |= kPlatformModShift;
    PlatformMenuSetItemKey(menu->menu, index, uint16_t(std::tolower(c)), modifiers);
}

// The item whose key equivalent is this key, in a menu tree.
bool FindKey(VXMenuRecord* menu, uint16_t character, uint32_t modifiers, VXMenuRecord** found,
             int32_t* position, int depth) {
    if (!menu || depth > 32) return false;
    for (int32_t i = 0; i < PlatformMenuCount(menu->menu); ++i) {
        if (VXMenuRecord* sub = RecordOf(PlatformMenuItemSubmenu(menu->menu, i))) {
            if (FindKey(sub, character, modifiers, found, position, depth + 1)) return true;
            continue;
        }
        uint32_t keyModifiers = 0;
        const uint16_t key = PlatformMenuItemKey(menu->menu, i, &keyModifiers);
        if (!key || key != character) continue;
        const uint32_t relevant = kPlatformModCommand | kPlatformModShift | kPlatformModOption;
        if ((keyModifiers & relevant) != (modifiers & relevant)) continue;
        *found = menu;
        *position = i + 1;
        return true;
    }
    return false;
}

}  // namespace

const VXMenuBarDef kVXDefaultMenuBar = {1, kDefaultBarMenus};

void VXInitMenus() {
    PlatformMenuCallbacks callbacks;
    callbacks.aboutToShow = OnAboutToShow;
    callbacks.triggered = OnTriggered;
    PlatformSetMenuCallbacks(callbacks);
    VXSetKeyEquivalentProc(VXMenuKeyEquivalent);
    PlatformSetKeyEquivalentHook([](int32_t id, uint16_t character, uint32_t modifiers) {
        return VXMenuKeyEquivalent(VXGetWindowFromId(id), character, modifiers) != 0;
    });
    if (!gCurrentMenuBar) gCurrentMenuBar = new VXMenuBar{0, new VXMenuRecord*[1]};
    if (gAppMenu) return;
    const std::string name = AppName();
    gAppMenu = NewRecord(0, name.c_str(), nullptr);
    // The application menu lives beside the bar, not in it.
    gMenus = gAppMenu->next;
    gAppMenu->next = nullptr;
    const struct {
        const char* text;
        uint16_t tag;
        const char* key;
    } items[] = {{"About $AppName", kVXCommandAbout, nullptr},
                 {"-", 0, nullptr},
                 {"Preferences\xE2\x80\xA6", kVXCommandPreferences, ","},
                 {"-", 0, nullptr},
                 {"Quit $AppName", kVXCommandQuit, "q"}};
    for (const auto& item : items) {
        std::string text = item.text;
        ReplaceAll(text, "$AppName", name);
        const bool separator = text == "-";
        const int32_t index =
            PlatformMenuInsertItem(gAppMenu->menu, -1, text.c_str(), item.tag, separator);
        SetKey(gAppMenu, index, item.key);
    }
}

void VXDisposeMenus() {
    while (gMenus) VXDestroyMenuEx(gMenus, false);
    if (gAppMenu) {
        PlatformMenuDestroy(gAppMenu->menu);
        delete gAppMenu;
        gAppMenu = nullptr;
    }
    if (gCurrentMenuBar) {
        delete[] gCurrentMenuBar->menus;
        delete gCurrentMenuBar;
        gCurrentMenuBar = nullptr;
    }
}

VXMenuRecord* VXBuildMenu(const VXMenuDef* definition) {
    if (!definition) return nullptr;
    for (VXMenuRecord* r = gMenus; r; r = r->next)
        if (r->definition == definition) return r;
    if (!definition->title) return nullptr;
    VXMenuRecord* record = NewRecord(definition->menuID, definition->title, definition);
    for (const VXMenuDefItem* row = definition->items; row && row->text; ++row) {
        const bool separator = row->kind == kVXMenuSeparator || std::strcmp(row->text, "-") == 0;
        std::string text = row->text;
        if (NamesTheApplication(definition->menuID, uint16_t(row->command)))
            ReplaceAll(text, "$AppName", AppName());
        const int32_t index = PlatformMenuInsertItem(record->menu, -1, text.c_str(),
                                                     int32_t(row->command), separator);
        if (separator) continue;
        if (row->kind == kVXMenuSubmenu) {
            VXMenuRecord* sub = VXBuildMenu(static_cast<const VXMenuDef*>(row->keyOrSub));
            if (sub && sub != record) {
                PlatformMenuSetItemSubmenu(record->menu, index, sub->menu);
                record->flags |= kVXMenuHasSubmenus;
            }
        } else if (row->kind == kVXMenuItem) {
            SetKey(record, index, static_cast<const char*>(row->keyOrSub));
        }
    }
    return record;
}

VXMenuRecord* VXNewMenu(uint16_t menuID, const char* title) {
    return NewRecord(menuID, title ? title : "", nullptr);
}

VXMenuBar* VXBuildMenuBar(const VXMenuBarDef* definition) {
    auto* bar = new VXMenuBar{0, nullptr};
    std::vector<VXMenuRecord*> menus;
    if (definition && definition->menus)
        for (const VXMenuDef* const* def = definition->menus; *def; ++def)
            if (VXMenuRecord* menu = VXBuildMenu(*def)) menus.push_back(menu);
    bar->count = uint32_t(menus.size());
    bar->menus = new VXMenuRecord*[menus.size() + 1];
    std::copy(menus.begin(), menus.end(), bar->menus);
    return bar;
}

void VXDestroyMenuBar(VXMenuBar* bar) {
    if (!bar) return;
    delete[] bar->menus;
    delete bar;
}

void VXSetCurrentMenuBar(const VXMenuBar* bar) {
    if (!bar) {
        VXClearMenuBar();
        return;
    }
    SetBar({bar->menus, bar->menus + bar->count});
}

void VXClearMenuBar() { SetBar({}); }

void VXInstallDefaultMenuBar() {
    VXMenuBar* bar = VXBuildMenuBar(&kVXDefaultMenuBar);
    VXSetCurrentMenuBar(bar);
    VXDestroyMenuBar(bar);
}

void VXInsertMenu(VXMenuRecord* menu, uint16_t beforeID) {
    if (!menu || beforeID == 0xFFFF) return;
    std::vector<VXMenuRecord*> menus = BarMenus();
    for (VXMenuRecord* m : menus)
        if (m->menuID == menu->menuID) return;
    auto at = std::find_if(menus.begin(), menus.end(),
                           [&](VXMenuRecord* m) { return m->menuID == beforeID; });
    menus.insert(at, menu);
    SetBar(menus);
}

void VXRemoveMenuFromMenuBar(VXMenuRecord* menu) {
    std::vector<VXMenuRecord*> menus = BarMenus();
    auto end = std::remove(menus.begin(), menus.end(), menu);
    if (end == menus.end()) return;
    menus.erase(end, menus.end());
    SetBar(menus);
}

void VXDestroyMenuEx(VXMenuRecord* menu, bool deep) {
    if (!menu || menu == gAppMenu) return;
    if (InBar(menu)) VXRemoveMenuFromMenuBar(menu);
    for (VXMenuRecord** link = &gMenus; *link; link = &(*link)->next)
        if (*link == menu) {
            *link = menu->next;
            break;
        }
    for (int32_t i = 0; i < PlatformMenuCount(menu->menu); ++i) {
        VXMenuRecord* sub = RecordOf(PlatformMenuItemSubmenu(menu->menu, i));
        if (!sub) continue;
        PlatformMenuSetItemSubmenu(menu->menu, i, nullptr);
        if (deep) VXDestroyMenuEx(sub, true);
    }
    // No other menu keeps showing it.
    for (VXMenuRecord* r = gMenus; r; r = r->next)
        for (int32_t i = 0; i < PlatformMenuCount(r->menu); ++i)
            if (PlatformMenuItemSubmenu(r->menu, i) == menu->menu) {
                PlatformMenuSetItemSubmenu(r->menu, i, nullptr);
                UpdateSubmenuFlag(r);
            }
    PlatformMenuDestroy(menu->menu);
    delete menu;
}

VXMenuRecord* VXGetMenuWithTag(uint16_t menuID) {
    for (VXMenuRecord* menu : BarMenus())
        if (menu->menuID == menuID) return menu;
    struct Search {
        uint16_t id;
        VXMenuRecord* found;
    } search{menuID, nullptr};
    VXTraverseBarMenus(
        [](VXMenuRecord* menu, uint16_t position, uint16_t, uint8_t*, void* refcon) -> int32_t {
            auto* s = static_cast<Search*>(refcon);
            if (position == 0 && menu->menuID == s->id) {
                s->found = menu;
                return 0;
            }
            return 1;
        },
        &search);
    return search.found;
}

VXMenuRecord* VXGetApplicationMenu() { return gAppMenu; }

int32_t VXGetMenuItemWithTag(uint16_t menuTag, uint16_t itemTag, VXMenuRecord** menu) {
    VXMenuRecord* record = menuTag == 0 ? gAppMenu : VXGetMenuWithTag(menuTag);
    if (menu) *menu = record;
    return VXCommandToMenuIndex(record, itemTag);
}

void VXDeleteApplicationMenuItem(uint16_t tag) { VXDeleteMenuItem(gAppMenu, false, tag); }

VXMenuRecord* VXFindMenuItemWithTag(uint16_t tag, uint16_t* outIndex) {
    struct Search {
        uint16_t tag;
        VXMenuRecord* menu;
        uint16_t index;
    } search{tag, nullptr, 0};
    VXTraverseBarMenus(
        [](VXMenuRecord* menu, uint16_t position, uint16_t itemTag, uint8_t*,
           void* refcon) -> int32_t {
            auto* s = static_cast<Search*>(refcon);
            if (position == 0 || itemTag != s->tag) return 1;
            s->menu = menu;
            s->index = position;
            return 0;
        },
        &search);
    if (outIndex) *outIndex = search.index;
    return search.menu;
}

bool VXTraverseMenuItems(VXMenuRecord* menu, VXMenuVisitProc proc, void* refcon) {
    return proc ? Traverse(menu, proc, refcon, 0) : true;
}

bool VXTraverseBarMenus(VXMenuVisitProc proc, void* refcon) {
    for (VXMenuRecord* menu : BarMenus())
        if (!VXTraverseMenuItems(menu, proc, refcon)) return false;
    return true;
}

int32_t VXCountMenuItems(VXMenuRecord* menu) { return menu ? PlatformMenuCount(menu->menu) : 0; }

int32_t VXCommandToMenuIndex(VXMenuRecord* menu, uint16_t command) {
    if (!menu) return 0;
    for (int32_t i = 0; i < PlatformMenuCount(menu->menu); ++i)
        if (!PlatformMenuItemIsSeparator(menu->menu, i) &&
            PlatformMenuItemTag(menu->menu, i) == command)
            return i + 1;
    return 0;
}

int32_t VXInsertMenuItem(VXMenuRecord* menu, bool byPosition, int32_t where, uint16_t tag,
                         const char* text) {
    if (!menu) return 0;
    const int32_t count = PlatformMenuCount(menu->menu);
    int32_t index = count;
    if (byPosition)
        index = std::clamp(where - 1, 0, count);
    else if (int32_t position = VXCommandToMenuIndex(menu, uint16_t(where)))
        index = position - 1;
    const bool separator = text && std::strcmp(text, "-") == 0;
    return PlatformMenuInsertItem(menu->menu, index, text ? text : "", tag, separator) + 1;
}

void VXDeleteMenuItem(VXMenuRecord* menu, bool byPosition, int32_t item) {
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index < 0) return;
    PlatformMenuRemoveItem(menu->menu, index);
    UpdateSubmenuFlag(menu);
}

void VXDeleteAllMenuItems(VXMenuRecord* menu) {
    if (!menu) return;
    PlatformMenuRemoveAll(menu->menu);
    UpdateSubmenuFlag(menu);
}

void VXGetMenuItemText(VXMenuRecord* menu, bool byPosition, int32_t item, char text[128]) {
    text[0] = 0;
    if (!menu) return;
    std::string value;
    if (byPosition && item == 0) {
        value = PlatformMenuTitle(menu->menu);
    } else {
        const int32_t index = IndexOf(menu, byPosition, item);
        if (index < 0) return;
        value = PlatformMenuItemIsSeparator(menu->menu, index)
                    ? "-"
                    : PlatformMenuItemText(menu->menu, index);
    }
    TruncateUTF8ForByteSize(value.data(), 128);
    std::snprintf(text, 128, "%s", value.c_str());
}

void VXSetMenuItemText(VXMenuRecord* menu, bool byPosition, int32_t item, const char* text) {
    if (!menu || !text) return;
    if (byPosition && item == 0) {
        PlatformMenuSetTitle(menu->menu, text);
        for (VXWindowRecordTag* window : VXTopLevelWindows()) VXAttachMenuBarToWindow(window);
        return;
    }
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index < 0) return;
    if (std::strcmp(text, "-") == 0) {
        PlatformMenuSetItemSeparator(menu->menu, index, true);
        return;
    }
    PlatformMenuSetItemSeparator(menu->menu, index, false);
    PlatformMenuSetItemText(menu->menu, index, text);
}

bool VXGetMenuItemChecked(VXMenuRecord* menu, bool byPosition, int32_t item) {
    const int32_t index = IndexOf(menu, byPosition, item);
    return index >= 0 && PlatformMenuItemChecked(menu->menu, index);
}

void VXSetMenuItemChecked(VXMenuRecord* menu, bool byPosition, int32_t item, bool checked) {
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index >= 0) PlatformMenuSetItemChecked(menu->menu, index, checked);
}

bool VXGetMenuItemEnabled(VXMenuRecord* menu, bool byPosition, int32_t item) {
    if (!menu) return false;
    if (byPosition && item == 0) return menu->enabled != 0;
    const int32_t index = IndexOf(menu, byPosition, item);
    return index >= 0 && PlatformMenuItemEnabled(menu->menu, index);
}

void VXSetMenuItemEnabled(VXMenuRecord* menu, bool byPosition, int32_t item, bool enabled) {
    if (!menu) return;
    if (byPosition && item == 0) {
        menu->enabled = enabled ? 1 : 0;
        return;
    }
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index >= 0) PlatformMenuSetItemEnabled(menu->menu, index, enabled);
}

void VXSetMenuItemIcon(VXMenuRecord* menu, bool byPosition, int32_t item, int32_t iconID) {
    // Icons come from the controls' image loader; until it exists an item shows no icon.
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index >= 0 && iconID == 0) PlatformMenuSetItemIcon(menu->menu, index, nullptr);
}

void VXSetMenuItemTag(VXMenuRecord* menu, bool byPosition, int32_t item, uint16_t tag) {
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index >= 0) PlatformMenuSetItemTag(menu->menu, index, tag);
}

uint16_t VXGetMenuItemTag(VXMenuRecord* menu, int32_t position) {
    const int32_t index = IndexOf(menu, true, position);
    if (index < 0 || PlatformMenuItemIsSeparator(menu->menu, index)) return 0;
    return uint16_t(PlatformMenuItemTag(menu->menu, index));
}

VXMenuRecord* VXGetMenuItemChildMenu(VXMenuRecord* menu, bool byPosition, int32_t item) {
    const int32_t index = IndexOf(menu, byPosition, item);
    return index >= 0 ? RecordOf(PlatformMenuItemSubmenu(menu->menu, index)) : nullptr;
}

void VXSetMenuItemChildMenu(VXMenuRecord* menu, bool byPosition, int32_t item,
                            VXMenuRecord* child) {
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index < 0 || child == menu) return;
    PlatformMenuSetItemSubmenu(menu->menu, index, child ? child->menu : nullptr);
    UpdateSubmenuFlag(menu);
}

void VXSetNSMenuItemReference(VXMenuRecord* menu, bool byPosition, int32_t item,
                              uint64_t reference) {
    const int32_t index = IndexOf(menu, byPosition, item);
    if (index >= 0) PlatformMenuSetItemReference(menu->menu, index, reference);
}

uint64_t VXGetNSMenuItemReference(VXMenuRecord* menu, bool byPosition, int32_t item) {
    const int32_t index = IndexOf(menu, byPosition, item);
    return index >= 0 ? PlatformMenuItemReference(menu->menu, index) : 0;
}

bool VXIsTopLevelMenuBarMenu(VXMenuRecord* menu) { return menu && InBar(menu); }

void VXAppendFontNamesToMenu(VXMenuRecord* menu, bool onlyUsable) {
    if (!menu) return;
    // A menu that lists the fonts already keeps its list.
    for (int32_t i = 0; i < PlatformMenuCount(menu->menu); ++i)
        if (PlatformMenuItemTag(menu->menu, i) == kVXFontItemTag) return;
    int32_t at = PlatformMenuCount(menu->menu);
    if (at > 0) {
        const std::string last = PlatformMenuItemText(menu->menu, at - 1);
        if (last.size() == 7 && StrCINCmp(last.c_str(), "<fonts>", 7) == 0) {
            PlatformMenuRemoveItem(menu->menu, at - 1);
            --at;
        }
    }
    InitFontTables();
    char name[256];
    for (int32_t index = 0; index < VXCountFonts(); ++index) {
        if (!VXGetIndexedFont(index, name)) continue;
        if (onlyUsable) {
            TextFont* font = TextFontCreate(name, 13, false, false);
            if (!font) continue;
            TextFontRelease(font);
        }
        PlatformMenuSetItemFontFamily(menu->menu,
                                      PlatformMenuInsertItem(menu->menu, at++, name,
                                                             kVXFontItemTag, false),
                                      name);
    }
}

int32_t VXGetFontCommandInfo(const VXEventRecord* event, char name[256]) {
    if (name) name[0] = 0;
    if (!event || event->kind != kVXCommandEvent || event->u.command.command != kVXFontItemTag)
        return -1;
    const int32_t index = event->u.command.extra;
    if (!VXGetIndexedFont(index, name)) return -1;
    return index;
}

int32_t VXGetFontIndexFromMenu(VXMenuRecord* menu, int32_t position) {
    const int32_t index = IndexOf(menu, true, position);
    if (index < 0 || PlatformMenuItemTag(menu->menu, index) != kVXFontItemTag) return -1;
    const std::string name = PlatformMenuItemText(menu->menu, index);
    return VXGetFontIndexFromName(name.c_str(), nullptr);
}

uint16_t VXPopupMenuClickEx(VXWindowRecordTag* window, Point point, int32_t, bool dispatch,
                            VXMenuRecord* menu, bool byPosition, int32_t item,
                            VXPopupResult* result) {
    if (result) *result = VXPopupResult{};
    if (!menu) return 0;
    // Window coordinates to the scaled view.
    int32_t h = point.h, v = point.v;
    if (window) {
        h = int32_t(int64_t(h) * window->graf.geometry.scaleH / kFixed24One);
        v = int32_t(int64_t(v) * window->graf.geometry.scaleV / kFixed24One);
    }
    const int32_t under = item ? IndexOf(menu, byPosition, item) : -1;
    VXPopupTracking tracking{window, nullptr, 0, 0, 0, uint8_t(dispatch ? 1 : 0)};
    void* saved = vx.popupMenuTracking;
    vx.popupMenuTracking = &tracking;
    VXWindowRecordTag* current = vx.currentWindow;
    const int32_t currentID = current ? current->windowID : 0;
    const int32_t chosen = PlatformMenuPopup(menu->menu, window ? window->platformWindow : nullptr,
                                             h, v, under);
    vx.popupMenuTracking = saved;
    if (chosen >= 0 && tracking.menu && result) {
        result->menu = tracking.menu;
        result->itemIndex = tracking.itemIndex;
        result->tag = tracking.tag;
        result->reference = VXGetNSMenuItemReference(tracking.menu, true, tracking.itemIndex);
        result->fontIndex = tracking.fontIndex;
    }
    if (currentID) VXSetWindow(VXGetWindowFromId(currentID));
    return chosen >= 0 ? tracking.tag : 0;
}

uint16_t VXPopupMenuClick(VXWindowRecordTag* window, Point point, int32_t ignored, bool dispatch,
                          VXMenuRecord* menu, bool byPosition, int32_t item) {
    return VXPopupMenuClickEx(window, point, ignored, dispatch, menu, byPosition, item, nullptr);
}

void VXSetMenuSize(VXMenuRecord* menu, int32_t controlSize) {
    if (menu) PlatformMenuSetControlSize(menu->menu, controlSize);
}

void VXSetFullHeightMenuSeparators(bool) {}

void VXAttachMenuBarToWindow(VXWindowRecordTag* window) {
    if (!window || window->parent || window->windowClass != kVXWindowDocument ||
        !window->platformWindow || !gAppMenu)
        return;
    std::vector<PlatformMenu*> menus{gAppMenu->menu};
    for (VXMenuRecord* menu : BarMenus()) menus.push_back(menu->menu);
    PlatformWindowSetMenus(window->platformWindow, menus);
}

int32_t VXMenuKeyEquivalent(VXWindowRecordTag* window, uint16_t character, uint32_t modifiers) {
    if (!(modifiers & kPlatformModCommand) || character == 0 || character > 0x7F) return 0;
    // The command acts on the window the keys were typed in.
    const VXCommandWindowScope scope(window);
    const uint16_t key = uint16_t(std::tolower(character));
    if (std::isupper(character)) modifiers |= kPlatformModShift;
    VXMenuRecord* menu = nullptr;
    int32_t position = 0;
    bool found = false;
    for (VXMenuRecord* barMenu : BarMenus())
        if ((found = FindKey(barMenu, key, modifiers, &menu, &position, 0))) break;
    if (!found && !FindKey(gAppMenu, key, modifiers, &menu, &position, 0)) return 0;
    const uint16_t command = VXGetMenuItemTag(menu, position);
    if (command == 0) return 1;
    const bool byTag = menu == gAppMenu;
    // The item's menu is prepared first: its own enabled state, kept from the last time it
    // opened, may no longer hold.
    if (!byTag) PrepareOneCommand(menu, menu->menuID, 0, true);
    if (!PrepareOneCommand(byTag ? nullptr : menu, command, byTag ? 0 : uint16_t(position), true))
        return 1;
    DispatchCommandEx(nullptr, command, menu, uint16_t(position), 0, true,
                      (modifiers & kPlatformModShift) != 0, (modifiers & kPlatformModOption) != 0);
    return 1;
}

}  // namespace plexa
