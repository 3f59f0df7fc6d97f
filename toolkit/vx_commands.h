// Commands and their preparation. A command is a 16-bit id, the tag of a menu item; it travels as
// a command event from the window with the keyboard focus up through its parents to the
// application's command procedure and then to the toolkit's own handler. Before a menu opens,
// the preparation chain (the focused windows' preparation procedures, the application's, then
// the toolkit's default) decides for each item whether it is enabled and checked and what it
// says.
#pragma once

#include <cstdint>

#include "toolkit/vx_app.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct VXMenuRecord;

struct VXPrepCommandRecord {
    VXMenuRecord* menu;          // none for an application-menu item prepared by tag
    VXWindowRecordTag* window;   // the window of the chain entry being asked
    char* title;                 // 256 bytes, starts empty; a written title replaces the text
    void* focusedControl;
    uint16_t command;
    uint16_t itemIndex;          // 0 for the menu itself
    uint8_t enabled;             // in: 1; out: the decision
    uint8_t checked;             // in: the current check mark; out: the decision
    uint8_t hasSubmenu;
    uint8_t descend;             // cleared by a procedure to skip the sub-menu's items
    uint8_t modalInFront;
    uint8_t reserved;
    uint8_t onDemand;            // one menu or item prepared on its own
};

// One chain entry; the chain holds at most kVXPrepChainSize entries. Windows nested deeper than
// that add no entries of their own (the application's and the default entries always fit).
struct VXPrepCommandEntry {
    VXWindowRecordTag* window;
    VXPrepCommandProc proc;
};
constexpr int kVXPrepChainSize = 16;
extern VXPrepCommandEntry gPrepCommandProcs[kVXPrepChainSize];
extern int32_t gPrepCommandProcCount;
extern uint8_t gModalInFront;

// What one preparation pass keeps between items.
struct VXPrepCommandSetup {
    void* focusedControl;
    VXWindowRecordTag* controlWindow;
    VXWindowRecordTag* keyboardWindow;
    uint8_t onDemand;
    uint8_t seen[4];  // application-menu commands 102 to 105 met in the bar's menus
};

// What the controls and the text layer tell the command code, installed by them.
struct VXCommandHooks {
    // Whether a control is an edit text; with one, whether its selection is not empty.
    bool (*isEditText)(VXWindowRecordTag* window, void* control, bool* hasSelection) = nullptr;
    // Cut, copy, paste, clear or select all (302 to 306) on an edit text; false when it is none.
    bool (*editClipCommand)(VXWindowRecordTag* window, void* control, uint16_t command) = nullptr;
    // Characters in the text engine's private scrap.
    int32_t (*scrapCharacters)() = nullptr;
};
extern VXCommandHooks gVXCommandHooks;

int32_t DispatchCommandEx(VXWindowRecordTag* window, uint16_t command, VXMenuRecord* menu,
                          uint16_t itemIndex, uint16_t extraValue, bool fromKey, bool shift,
                          bool option);
int32_t DispatchCommand(VXWindowRecordTag* window, uint16_t command, bool fromKey, bool shift,
                        bool option);
int32_t VXDefaultCommandHandler(VXWindowRecordTag* window, VXEventRecord* event);
void VXSetGlobalCommandProc(VXCommandProc proc);
// A window's preparation procedure, or with no window the global one; returns the previous.
VXPrepCommandProc VXSetPrepCommandProc(VXWindowRecordTag* window, VXPrepCommandProc proc);

void SetupPrepCommandChain(VXPrepCommandSetup* setup);
// The visiting procedure of menu traversal (refcon: the setup); always 1.
int32_t PrepareMenuItem(VXMenuRecord* menu, uint16_t itemIndex, uint16_t command,
                        uint8_t* descend, void* setup);
// Prepares one item (none: by tag, with the application menu's item of that tag); answers
// whether the command is enabled afterwards.
bool PrepareOneCommand(VXMenuRecord* menu, uint16_t command, uint16_t itemIndex, bool onDemand);
void PrepareOneMenu(VXMenuRecord* menu, int32_t ignored, bool onDemand);
void PrepareMenuBar();
int32_t DefaultPrepCommand(VXPrepCommandRecord* record);

// A menu item was chosen: its menu, position (from 1) and the modifiers held; `barWindow` is the
// top-level window whose menu bar the menu was opened from (null: a popup, or not known).
void VXMenuItemChosen(VXMenuRecord* menu, uint16_t position, uint32_t modifiers,
                      VXWindowRecordTag* barWindow = nullptr);

// The top-level window whose menu bar (or whose keys) reached the command being prepared or run:
// the commands of a window's menus act on that window's document, whichever window the toolkit
// holds in front. Null outside of that, and when the menu was not reached from a window.
VXWindowRecordTag* VXCommandWindow();
// Makes `window` the command window while it lives; the previous one afterwards.
class VXCommandWindowScope {
public:
    explicit VXCommandWindowScope(VXWindowRecordTag* window);
    ~VXCommandWindowScope();
    VXCommandWindowScope(const VXCommandWindowScope&) = delete;
    VXCommandWindowScope& operator=(const VXCommandWindowScope&) = delete;

private:
    int32_t previous_;
};
// Whether menu commands work now (not while a mouse-tracking loop runs).
bool VXMenuWorksWhenModal();

}  // namespace plexa
