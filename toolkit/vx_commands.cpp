// Command routing and the preparation chain.
#include "toolkit/vx_commands.h"

#include <cstring>

#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXPrepCommandEntry gPrepCommandProcs[kVXPrepChainSize];
int32_t gPrepCommandProcCount = 0;
uint8_t gModalInFront = 0;
VXCommandHooks gVXCommandHooks;

namespace {

constexpr uint16_t kCommandClose = 203, kCommandEditMenu = 300, kCommandCut = 302,
                   kCommandPaste = 304, kCommandClear = 305, kCommandSelectAll = 306,
                   kCommandFileMenu = 200;

// The focus as commands see it: the keyboard window, the focused control and its window.
struct Focus {
    VXWindowRecordTag* keyboard = nullptr;
    VXWindowRecordTag* controlWindow = nullptr;
    void* control = nullptr;
};

// Without a window: that of the command window (see VXCommandWindow), else the key window's.
Focus AskFocus(VXWindowRecordTag* window) {
    Focus focus;
    VXGetFocusWindow(window ? window : VXCommandWindow(), &focus.keyboard, &focus.controlWindow, &focus.control);
    return focus;
}

// The window entries stop short of the last two places, which the application's and the default
// procedures always take.
void AddEntry(VXWindowRecordTag* window, VXPrepCommandProc proc, bool reserved) {
    const int32_t limit = reserved ? kVXPrepChainSize : kVXPrepChainSize - 2;
    if (!proc || gPrepCommandProcCount >= limit) return;
    gPrepCommandProcs[gPrepCommandProcCount++] = {window, proc};
}

// Prepares one item and answers the decision.
bool PrepareItem(VXMenuRecord* menu, uint16_t itemIndex, uint16_t command, uint8_t* descend,
                 VXPrepCommandSetup* setup) {
    char title[256] = "";
    VXPrepCommandRecord record{};
    record.menu = menu;
    record.title = title;
    record.focusedControl = setup->focusedControl;
    record.command = command;
    record.itemIndex = itemIndex;
    record.enabled = 1;
    bool oldEnabled = false, oldChecked = false;
    if (menu && itemIndex) {
        oldChecked = VXGetMenuItemChecked(menu, true, itemIndex);
        oldEnabled = VXGetMenuItemEnabled(menu, true, itemIndex);
        record.checked = oldChecked ? 1 : 0;
    } else if (menu) {
        oldEnabled = menu->enabled != 0;
    }
    record.hasSubmenu = *descend;
    record.descend = *descend;
    record.modalInFront = gModalInFront;
    record.onDemand = setup->onDemand;
    if (vx.mouseTracking) {
        record.enabled = 0;
    } else {
        for (int32_t i = 0; i < gPrepCommandProcCount; ++i) {
            record.window = gPrepCommandProcs[i].window;
            if (gPrepCommandProcs[i].proc(&record)) break;
        }
    }
    bool enabled = record.enabled != 0;
    if (menu && itemIndex) {
        if (!record.hasSubmenu && (record.checked != 0) != oldChecked)
            VXSetMenuItemChecked(menu, true, itemIndex, record.checked != 0);
        if (title[0]) VXSetMenuItemText(menu, true, itemIndex, title);
        enabled = enabled && menu->enabled;
    }
    if (menu && enabled != oldEnabled) VXSetMenuItemEnabled(menu, true, itemIndex, enabled);
    if (command >= kVXCommandPreferences && command <= kVXCommandQuit) {
        if (menu) {
            setup->seen[command - kVXCommandPreferences] = 1;
            if (command == kVXCommandPreferences) setup->seen[1] = 1;
        }
    }
    if (command >= kVXCommandAbout && command <= kVXCommandQuit) {
        VXMenuRecord* app = VXGetApplicationMenu();
        if (app && app != menu)
            if (int32_t index = VXCommandToMenuIndex(app, command))
                VXSetMenuItemEnabled(app, true, index, enabled);
    }
    *descend = record.descend;
    return enabled;
}

}  // namespace

int32_t DispatchCommandEx(VXWindowRecordTag* window, uint16_t command, VXMenuRecord* menu,
                          uint16_t itemIndex, uint16_t extraValue, bool fromKey, bool shift,
                          bool option) {
    if (!menu && itemIndex == 0) menu = VXFindMenuItemWithTag(command, &itemIndex);
    VXEventRecord event = VXClearedEvent(kVXCommandEvent);
    event.u.command.menu = menu;
    event.u.command.command = command;
    event.u.command.itemIndex = itemIndex;
    event.u.command.extra = extraValue;
    event.u.command.fromKey = fromKey ? 1 : 0;
    event.u.command.shift = shift ? 1 : 0;
    event.u.command.option = option ? 1 : 0;
    if (!window) {
        const Focus focus = AskFocus(nullptr);
        window = focus.controlWindow && focus.controlWindow != focus.keyboard
                     ? focus.controlWindow
                     : focus.keyboard;
    }
    if (!window) return VXGlobalCommand(&event);
    return DispatchEvent(window, &event);
}

int32_t DispatchCommand(VXWindowRecordTag* window, uint16_t command, bool fromKey, bool shift,
                        bool option) {
    return DispatchCommandEx(window, command, nullptr, 0, 0, fromKey, shift, option);
}

int32_t VXGlobalCommand(VXEventRecord* event) {
    const Focus focus = AskFocus(nullptr);
    VXWindowRecordTag* target = focus.controlWindow ? focus.controlWindow : focus.keyboard;
    const int32_t id = target ? target->windowID : 0;
    if (vx.globalCommandProc)
        if (int32_t result = vx.globalCommandProc(target, event)) return result;
    // The application's procedure may have destroyed the target.
    return VXDefaultCommandHandler(VXGetWindowFromId(id), event);
}

int32_t VXDefaultCommandHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (!event || event->kind != kVXCommandEvent) return 0;
    const uint16_t command = event->u.command.command;
    switch (command) {
        case kVXCommandAccessibleLocations:
            return 1;  // the application is never sandboxed here: every location is open
        case kVXCommandQuit:
            VXQuitApplication();
            return 1;
        case kCommandClose:
            if (window) VXSendGoAway(VXGetTopParent(window));
            return 1;
        case kCommandCut:
        case kCommandCut + 1:
        case kCommandPaste:
        case kCommandClear:
        case kCommandSelectAll: {
            if (!window) return 1;
            const Focus focus = AskFocus(window);
            if (!focus.control) return 1;
            return gVXCommandHooks.editClipCommand &&
                           gVXCommandHooks.editClipCommand(focus.controlWindow, focus.control,
                                                           command)
                       ? 1
                       : 0;
        }
        default:
            return 0;
    }
}

void VXSetGlobalCommandProc(VXCommandProc proc) { vx.globalCommandProc = proc; }

VXPrepCommandProc VXSetPrepCommandProc(VXWindowRecordTag* window, VXPrepCommandProc proc) {
    VXPrepCommandProc previous;
    if (window) {
        previous = window->prepCommandProc;
        window->prepCommandProc = proc;
    } else {
        previous = vx.globalPrepCommandProc;
        vx.globalPrepCommandProc = proc;
    }
    return previous;
}

void SetupPrepCommandChain(VXPrepCommandSetup* setup) {
    std::memset(setup, 0, sizeof *setup);
    gPrepCommandProcCount = 0;
    const Focus focus = AskFocus(nullptr);
    setup->keyboardWindow = focus.keyboard;
    if (focus.control && focus.controlWindow && focus.controlWindow != focus.keyboard)
        AddEntry(focus.controlWindow, focus.controlWindow->prepCommandProc, false);
    if (focus.controlWindow) {
        setup->focusedControl = focus.control;
        setup->controlWindow = focus.controlWindow;
    }
    for (VXWindowRecordTag* w = focus.keyboard; w; w = w->parent)
        AddEntry(w, w->prepCommandProc, false);
    AddEntry(focus.keyboard, vx.globalPrepCommandProc, true);
    AddEntry(focus.controlWindow ? focus.controlWindow : focus.keyboard, DefaultPrepCommand, true);
    gModalInFront = VXIsModalWindowActive() ? 1 : 0;
}

int32_t PrepareMenuItem(VXMenuRecord* menu, uint16_t itemIndex, uint16_t command,
                        uint8_t* descend, void* setup) {
    PrepareItem(menu, itemIndex, command, descend, static_cast<VXPrepCommandSetup*>(setup));
    return 1;
}

bool PrepareOneCommand(VXMenuRecord* menu, uint16_t command, uint16_t itemIndex, bool onDemand) {
    VXPrepCommandSetup setup;
    SetupPrepCommandChain(&setup);
    setup.onDemand = onDemand ? 1 : 0;
    uint8_t descend = 0;
    return PrepareItem(menu, itemIndex, command, &descend, &setup);
}

void PrepareOneMenu(VXMenuRecord* menu, int32_t, bool onDemand) {
    if (!menu) return;
    VXPrepCommandSetup setup;
    SetupPrepCommandChain(&setup);
    setup.onDemand = onDemand ? 1 : 0;
    VXTraverseMenuItems(menu, PrepareMenuItem, &setup);
}

void PrepareMenuBar() {
    VXPrepCommandSetup setup;
    SetupPrepCommandChain(&setup);
    VXTraverseBarMenus(PrepareMenuItem, &setup);
    uint8_t descend = 0;
    PrepareItem(nullptr, 0, kVXCommandAbout, &descend, &setup);
    for (uint16_t command : {kVXCommandQuit, kVXCommandPreferences, uint16_t(103),
                             kVXCommandAccessibleLocations})
        if (!setup.seen[command - kVXCommandPreferences])
            PrepareItem(nullptr, 0, command, &descend, &setup);
}

int32_t DefaultPrepCommand(VXPrepCommandRecord* record) {
    switch (record->command) {
        case kCommandEditMenu:
        case kCommandCut:
        case kCommandCut + 1:
        case kCommandPaste:
        case kCommandClear:
        case kCommandSelectAll: {
            bool selection = false;
            const bool editText = record->focusedControl && gVXCommandHooks.isEditText &&
                                  gVXCommandHooks.isEditText(record->window,
                                                             record->focusedControl, &selection);
            if (!editText)
                record->enabled = 0;
            else if (record->command == kCommandEditMenu || record->command == kCommandSelectAll)
                record->enabled = 1;
            else if (record->command == kCommandPaste)
                record->enabled = gVXCommandHooks.scrapCharacters &&
                                  gVXCommandHooks.scrapCharacters() > 0;
            else
                record->enabled = selection ? 1 : 0;
            return 1;
        }
        case kVXCommandAbout:
        case kVXCommandAccessibleLocations:
        case kVXCommandQuit:
        case kCommandFileMenu:
            record->enabled = record->modalInFront ? 0 : 1;
            return 1;
        default:
            record->enabled = 0;
            return 0;
    }
}

namespace {
// Kept by id: the command may close the window.
int32_t gCommandWindowID = 0;
}  // namespace

VXWindowRecordTag* VXCommandWindow() {
    return gCommandWindowID ? VXGetWindowFromId(gCommandWindowID) : nullptr;
}

VXCommandWindowScope::VXCommandWindowScope(VXWindowRecordTag* window) : previous_(gCommandWindowID) {
    window = window ? VXGetTopParent(window) : nullptr;
    gCommandWindowID = window ? window->windowID : 0;
}

VXCommandWindowScope::~VXCommandWindowScope() { gCommandWindowID = previous_; }

void VXMenuItemChosen(VXMenuRecord* menu, uint16_t position, uint32_t modifiers,
                      VXWindowRecordTag* barWindow) {
    if (!menu || position == 0) return;
    const VXCommandWindowScope scope(barWindow);
    const bool shift = (modifiers & kVXModShift) != 0;
    const bool option = (modifiers & kVXModOption) != 0;
    const int32_t fontIndex = VXGetFontIndexFromMenu(menu, position);
    const uint16_t extra = fontIndex >= 0 ? uint16_t(fontIndex) : 0;
    const uint16_t command = VXGetMenuItemTag(menu, position);
    if (auto* tracking = static_cast<VXPopupTracking*>(vx.popupMenuTracking)) {
        tracking->menu = menu;
        tracking->itemIndex = position;
        tracking->tag = command;
        tracking->fontIndex = extra;
        if (tracking->dispatch && command)
            DispatchCommandEx(tracking->window, command, menu, position, extra, false, shift,
                              option);
        return;
    }
    if (command == 0) return;
    DispatchCommandEx(nullptr, command, menu, position, extra, false, shift, option);
}

bool VXMenuWorksWhenModal() { return !vx.mouseTracking; }

}  // namespace plexa
