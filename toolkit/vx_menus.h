// Menus: static menu-definition tables built into native menus, the menu record that wraps each
// one, the current menu bar (mirrored into every top-level document window, with the application
// menu leftmost), item operations by position or by command, traversal, the font menu, popup
// menus and key equivalents. Every item the toolkit makes issues its tag as a command.
//
// Items are addressed by a flag and a number: with byPosition the number is the position
// (1 = first item; 0 = the menu itself where an operation allows it), otherwise a command looked
// up among the menu's items. An item that is not there is left alone and reads as 0 or "".
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct PlatformMenu;
struct VXWindowRecordTag;
struct VXMenuDef;
struct VXEventRecord;

constexpr uint32_t kVXMenuItem = 1, kVXMenuSeparator = 2, kVXMenuSubmenu = 3;

struct VXMenuDefItem {
    uint32_t kind;
    const char* text;        // UTF-8; "-" also makes a separator; none ends the rows
    uint32_t command;
    const void* keyOrSub;    // kind 1: the key equivalent text or none; kind 3: a VXMenuDef
};

struct VXMenuDef {
    uint16_t menuID;
    const char* title;
    const VXMenuDefItem* items;
};

// A menu-bar definition: the leading word (1) and the menus, ended by a null pointer.
struct VXMenuBarDef {
    uint32_t lead;
    const VXMenuDef* const* menus;
};

constexpr uint8_t kVXMenuHasSubmenus = 1, kVXMenuInTraversal = 16;

struct VXMenuRecord {
    VXMenuRecord* next;
    PlatformMenu* menu;
    const VXMenuDef* definition;
    uint16_t menuID;
    uint8_t enabled;
    uint8_t flags;
};

// A menu bar: a count and that many menu records.
struct VXMenuBar {
    uint32_t count;
    VXMenuRecord** menus;
};

// The record a running popup fills (in `vx.popupMenuTracking`).
struct VXPopupTracking {
    VXWindowRecordTag* window;
    VXMenuRecord* menu;
    uint16_t itemIndex, tag, fontIndex;
    uint8_t dispatch;
};

struct VXPopupResult {
    VXMenuRecord* menu;
    uint16_t itemIndex;
    uint16_t tag;
    uint64_t reference;
    uint16_t fontIndex;
};

extern VXMenuRecord* gMenus;
extern VXMenuBar* gCurrentMenuBar;
extern const VXMenuBarDef kVXDefaultMenuBar;

// Command ids of the application menu.
constexpr uint16_t kVXCommandAbout = 101, kVXCommandPreferences = 102,
                   kVXCommandAccessibleLocations = 104, kVXCommandQuit = 105;
constexpr uint16_t kVXFontItemTag = 8000;

void VXInitMenus();
// Destroys every menu and bar (end of the run, tests).
void VXDisposeMenus();
VXMenuRecord* VXBuildMenu(const VXMenuDef* definition);
VXMenuRecord* VXNewMenu(uint16_t menuID, const char* title);
VXMenuBar* VXBuildMenuBar(const VXMenuBarDef* definition);
void VXDestroyMenuBar(VXMenuBar* bar);
void VXSetCurrentMenuBar(const VXMenuBar* bar);
void VXClearMenuBar();
void VXInstallDefaultMenuBar();
void VXInsertMenu(VXMenuRecord* menu, uint16_t beforeID);
void VXRemoveMenuFromMenuBar(VXMenuRecord* menu);
void VXDestroyMenuEx(VXMenuRecord* menu, bool deep);
VXMenuRecord* VXGetMenuWithTag(uint16_t menuID);
// The application menu (the leftmost menu of every document window's bar).
VXMenuRecord* VXGetApplicationMenu();
// Position (from 1) of an item in the application menu (menu tag 0) or in a bar menu; 0 none.
int32_t VXGetMenuItemWithTag(uint16_t menuTag, uint16_t itemTag, VXMenuRecord** menu);
void VXDeleteApplicationMenuItem(uint16_t tag);
VXMenuRecord* VXFindMenuItemWithTag(uint16_t tag, uint16_t* outIndex);

using VXMenuVisitProc = int32_t (*)(VXMenuRecord* menu, uint16_t position, uint16_t tag,
                                    uint8_t* descend, void* refcon);
// False when a visit answered 0 (the traversal stopped).
bool VXTraverseMenuItems(VXMenuRecord* menu, VXMenuVisitProc proc, void* refcon);
bool VXTraverseBarMenus(VXMenuVisitProc proc, void* refcon);

int32_t VXCountMenuItems(VXMenuRecord* menu);
int32_t VXCommandToMenuIndex(VXMenuRecord* menu, uint16_t command);
int32_t VXInsertMenuItem(VXMenuRecord* menu, bool byPosition, int32_t where, uint16_t tag,
                         const char* text);
void VXDeleteMenuItem(VXMenuRecord* menu, bool byPosition, int32_t item);
void VXDeleteAllMenuItems(VXMenuRecord* menu);
// 128 bytes UTF-8; position 0 gives the menu's title; a separator reads "-".
void VXGetMenuItemText(VXMenuRecord* menu, bool byPosition, int32_t item, char text[128]);
void VXSetMenuItemText(VXMenuRecord* menu, bool byPosition, int32_t item, const char* text);
bool VXGetMenuItemChecked(VXMenuRecord* menu, bool byPosition, int32_t item);
void VXSetMenuItemChecked(VXMenuRecord* menu, bool byPosition, int32_t item, bool checked);
bool VXGetMenuItemEnabled(VXMenuRecord* menu, bool byPosition, int32_t item);
void VXSetMenuItemEnabled(VXMenuRecord* menu, bool byPosition, int32_t item, bool enabled);
void VXSetMenuItemIcon(VXMenuRecord* menu, bool byPosition, int32_t item, int32_t iconID);
void VXSetMenuItemTag(VXMenuRecord* menu, bool byPosition, int32_t item, uint16_t tag);
// The tag of the item at a position (from 1); 0 for none or a separator.
uint16_t VXGetMenuItemTag(VXMenuRecord* menu, int32_t position);
VXMenuRecord* VXGetMenuItemChildMenu(VXMenuRecord* menu, bool byPosition, int32_t item);
void VXSetMenuItemChildMenu(VXMenuRecord* menu, bool byPosition, int32_t item,
                            VXMenuRecord* child);
void VXSetNSMenuItemReference(VXMenuRecord* menu, bool byPosition, int32_t item,
                              uint64_t reference);
uint64_t VXGetNSMenuItemReference(VXMenuRecord* menu, bool byPosition, int32_t item);
bool VXIsTopLevelMenuBarMenu(VXMenuRecord* menu);
void VXAppendFontNamesToMenu(VXMenuRecord* menu, bool onlyUsable);
int32_t VXGetFontIndexFromMenu(VXMenuRecord* menu, int32_t position);
// For a font-menu command event (8000): the font index, with the family's UTF-8 name copied into
// name[256] when given; -1 and an empty name for any other event.
int32_t VXGetFontCommandInfo(const VXEventRecord* event, char name[256]);
uint16_t VXPopupMenuClickEx(VXWindowRecordTag* window, Point point, int32_t ignored,
                            bool dispatch, VXMenuRecord* menu, bool byPosition, int32_t item,
                            VXPopupResult* result);
uint16_t VXPopupMenuClick(VXWindowRecordTag* window, Point point, int32_t ignored, bool dispatch,
                          VXMenuRecord* menu, bool byPosition, int32_t item);
void VXSetMenuSize(VXMenuRecord* menu, int32_t controlSize);
void VXSetFullHeightMenuSeparators(bool on);

// Gives a top-level document window a menu bar mirroring the current one.
void VXAttachMenuBarToWindow(VXWindowRecordTag* window);
// A typed key with Command: the item with that key equivalent is prepared alone and its command
// sent when it is enabled. Answers whether an item has the key (the key is then used up).
int32_t VXMenuKeyEquivalent(VXWindowRecordTag* window, uint16_t character, uint32_t modifiers);

}  // namespace plexa
