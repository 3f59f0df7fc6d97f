// Native menus as the toolkit sees them: a menu of items (text, tag, key equivalent, check mark,
// enabled state, separator, sub-menu, a 64-bit reference for the caller), the menu bar of a
// top-level window, and popup menus. Items are addressed by index from 0. Each menu carries the
// toolkit's record for it (its owner), which the callbacks hand back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexa {

class DrawImage;
struct PlatformMenu;
struct PlatformWindow;

// `barWindow` is the id of the top-level window whose menu bar opened the menu (for a sub-menu,
// the menu above it), 0 for a popup menu or an item chosen without its menu open.
struct PlatformMenuCallbacks {
    // The menu is about to open (from a menu bar or as a sub-menu).
    void (*aboutToShow)(PlatformMenu* menu, void* owner, int32_t barWindow) = nullptr;
    // An item was chosen; modifiers are the kPlatformMod* bits held at that moment.
    void (*triggered)(PlatformMenu* menu, void* owner, int32_t index, uint32_t modifiers,
                      int32_t barWindow) = nullptr;
};
void PlatformSetMenuCallbacks(const PlatformMenuCallbacks& callbacks);

PlatformMenu* PlatformMenuCreate(const char* title, void* owner);
// Destroys the menu; it leaves every menu bar and item that showed it.
void PlatformMenuDestroy(PlatformMenu* menu);
void* PlatformMenuOwner(const PlatformMenu* menu);
void PlatformMenuSetTitle(PlatformMenu* menu, const char* title);
std::string PlatformMenuTitle(const PlatformMenu* menu);

int32_t PlatformMenuCount(const PlatformMenu* menu);
// Inserts an item (or a separator) before `index` (past the end: appends); returns its index.
int32_t PlatformMenuInsertItem(PlatformMenu* menu, int32_t index, const char* text, int32_t tag,
                               bool separator);
void PlatformMenuRemoveItem(PlatformMenu* menu, int32_t index);
void PlatformMenuRemoveAll(PlatformMenu* menu);

// Item properties; an index out of range reads as 0, false or "" and writes nothing. An item
// keeps its text while it is a separator (which shows none) and shows it again afterwards.
bool PlatformMenuItemIsSeparator(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemSeparator(PlatformMenu* menu, int32_t index, bool separator);
std::string PlatformMenuItemText(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemText(PlatformMenu* menu, int32_t index, const char* text);
int32_t PlatformMenuItemTag(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemTag(PlatformMenu* menu, int32_t index, int32_t tag);
bool PlatformMenuItemChecked(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemChecked(PlatformMenu* menu, int32_t index, bool checked);
bool PlatformMenuItemEnabled(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemEnabled(PlatformMenu* menu, int32_t index, bool enabled);
// The key equivalent: one character, with the kPlatformMod* modifiers (Command is Ctrl here).
// It is shown in the item; the toolkit matches typed keys itself.
void PlatformMenuSetItemKey(PlatformMenu* menu, int32_t index, uint16_t character,
                            uint32_t modifiers);
uint16_t PlatformMenuItemKey(const PlatformMenu* menu, int32_t index, uint32_t* modifiers);
PlatformMenu* PlatformMenuItemSubmenu(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemSubmenu(PlatformMenu* menu, int32_t index, PlatformMenu* submenu);
uint64_t PlatformMenuItemReference(const PlatformMenu* menu, int32_t index);
void PlatformMenuSetItemReference(PlatformMenu* menu, int32_t index, uint64_t reference);
void PlatformMenuSetItemIcon(PlatformMenu* menu, int32_t index, const DrawImage* image);
// Shows an item's text in a font family (a font menu shows each font in itself).
void PlatformMenuSetItemFontFamily(PlatformMenu* menu, int32_t index, const char* family);
// The menu's font: the system font at control size 0 regular, 1 small, 2 mini, or a family and
// point size.
void PlatformMenuSetControlSize(PlatformMenu* menu, int32_t controlSize);
void PlatformMenuSetFont(PlatformMenu* menu, const char* family, double pointSize);

// Shows the menus in a top-level window's menu bar, in order (replacing what it showed).
void PlatformWindowSetMenus(PlatformWindow* window, const std::vector<PlatformMenu*>& menus);
// The titles the window's menu bar shows, in order (empty without a bar).
std::vector<std::string> PlatformWindowMenuTitles(PlatformWindow* window);

// Runs the menu as a popup at a point of the window's content, with item `positionItem` under
// the pointer (-1: none). Returns the chosen index, -1 when nothing was chosen; the triggered
// callback has run for a choice.
int32_t PlatformMenuPopup(PlatformMenu* menu, PlatformWindow* window, int32_t x, int32_t y,
                          int32_t positionItem);

// Test seam: the next popup answers with this index (-1: dismissed) without showing; the user
// opening a menu; the user choosing an item (nothing for a disabled item).
void TestScriptPopupChoice(int32_t index);
// Takes the next queued popup answer: a pop-up button's list opening while one waits answers
// with it too, as a person choosing that item would. False when none waits.
bool TakeScriptedPopupChoice(int32_t* index);
// Forgets the popup choices not yet taken (between tests).
void TestResetMenus();
void TestOpenMenu(PlatformMenu* menu);
void TestChooseMenuItem(PlatformMenu* menu, int32_t index);
// The text the item shows in the menu.
std::string TestMenuItemShownText(const PlatformMenu* menu, int32_t index);

}  // namespace plexa
