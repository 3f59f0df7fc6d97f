// Event dispatch and default handling. Code that may destroy windows keeps window ids and looks
// the window up again after every call that can run a handler.
#include "toolkit/vx_events.h"

#include <cmath>
#include <cstdlib>

#include "platform/input_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"

namespace plexa {
namespace {

constexpr uint16_t kVXClearCommand = 305;
VXKeyEquivalentProc gKeyEquivalentProc = nullptr;

bool Overlaps(const VXLongRect& a, const VXLongRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}


// Runs the update blocks of one phase; false when the window went away.
bool RunUpdateBlocks(int32_t id, uint8_t phase, const VXEventRecord& event) {
    for (size_t i = 0;; ++i) {
        VXWindowRecordTag* window = VXGetWindowFromId(id);
        if (!window) return false;
        if (i >= window->updateBlocks.size()) return true;
        VXUpdateBlock block = window->updateBlocks[i];
        if (block.phase != phase || !block.block) continue;
        if (!RectIsEmpty(block.rect) && !Overlaps(block.rect, event.u.update.longRect)) continue;
        VXSetWindow(window);
        block.block(window, block.refcon);
    }
}

bool IsTopLevelDialog(VXWindowRecordTag* window) {
    return !window->parent && window->windowClass == kVXWindowDialog;
}

// A character or command that the window did not handle goes to its parent; from a top-level
// window a character goes to its push buttons and a command to the application.
int32_t Bubble(VXWindowRecordTag* window, VXEventRecord* event) {
    if (window->parent) return DispatchEvent(window->parent, event);
    if (event->kind == kVXCommandEvent) return VXGlobalCommand(event);
    if (gVXWindowDefaultHooks.invokePushButton)
        return gVXWindowDefaultHooks.invokePushButton(window, event->u.character.character);
    return 0;
}

int32_t DefaultCharacter(VXWindowRecordTag* window, VXEventRecord* event) {
    const uint16_t c = event->u.character.character;
    if (c == 27 && window->fullScreen) {
        SendFullScreenEvent(window, false);
        window->fullScreen = 0;
        VXSelectWindow(window);
        return 1;
    }
    if (VXIsDeletionChar(c)) {
        const int32_t id = window->windowID;
        VXEventRecord command = VXClearedEvent(kVXCommandEvent);
        command.u.command.command = kVXClearCommand;
        command.u.command.fromKey = 1;
        command.u.command.shift = event->u.character.shift;
        if (int32_t result = DispatchEvent(window, &command)) return result;
        window = VXGetWindowFromId(id);
        if (!window) return 0;
    }
    return Bubble(window, event);
}

void EncodeUTF8(uint16_t c, char (&out)[5]) {
    out[0] = out[1] = out[2] = out[3] = out[4] = 0;
    if (c < 0x80) {
        out[0] = char(c);
    } else if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
    } else if (c < 0xD800 || c > 0xDFFF) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
    }
}

void InputSink(const PlatformInputEvent& input) {
    VXWindowRecordTag* window =
        input.windowID ? VXGetWindowFromId(input.windowID) : VXGetKeyWindow();
    if (!window) return;
    VXEventRecord event = VXClearedEvent(0);
    switch (input.kind) {
        case PlatformInputKind::kMouseDown: {
            // A click in a header strip is dropped unless the panel takes such clicks (the
            // current pane stays as it was); otherwise the click selects its pane.
            if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
                _LPNT content{};
                VXWindowPointToPanelContent(window, input.x, input.y, &content);
                const int32_t pane = AltViewFromPanelContentPoint(window, content.h, content.v);
                if (pane >= 0 && !(panel->flags & kVXPanelAltPaneClicks)) return;
                if (pane != kVXNoPane)
                    SelectPaneFromPanelContentPoint(window, content.h, content.v, nullptr);
            }
            SetupMouseEvent(input.x, input.y, input.button, input.modifiers, &event);
            // A repeated click is a double click only close to the click before it.
            if (input.clickCount >= 2 && vx.lastClickWindowID == window->windowID &&
                std::abs(input.x - vx.lastClickH) < 4 && std::abs(input.y - vx.lastClickV) < 4)
                event.kind = kVXDoubleClickEvent;
            vx.lastClickWindowID = window->windowID;
            vx.lastClickH = input.x;
            vx.lastClickV = input.y;
            break;
        }
        case PlatformInputKind::kMouseMoved:
            SetupMouseEvent(input.x, input.y, input.button, input.modifiers, &event);
            event.kind = kVXMouseMovedEvent;
            event.u.mouse.button = 0x00FE | (1u << 8);  // pane: none; the mouse moved
            break;
        case PlatformInputKind::kWheel: {
            // Wheel lines are worth the panel's line step (32 units without one), precise
            // deltas a little more than their units; a turn that comes to nothing sends nothing.
            double scale = 1.15;
            if (input.wheelLines) {
                VXPanelRecordTag* panel = VXGetWindowPanel(window);
                scale = panel && panel->lineIncrement != 0 ? panel->lineIncrement : 32;
            }
            const auto deltaV = int32_t(std::lround(input.wheelDeltaV * scale));
            const auto deltaH = int32_t(std::lround(input.wheelDeltaH * scale));
            if (deltaV == 0 && deltaH == 0) return;
            SetupMouseEvent(input.x, input.y, 2, input.modifiers, &event);
            event.kind = kVXWheelEvent;
            event.u.wheel.deltaV = deltaV;
            event.u.wheel.deltaH = deltaH;
            break;
        }
        case PlatformInputKind::kMagnify: {
            const auto amount = int32_t(std::lround(input.magnification * 100));
            if (amount == 0) return;
            SetupMouseEvent(input.x, input.y, 2, input.modifiers, &event);
            event.kind = kVXMagnifyEvent;
            event.u.wheel.deltaV = amount;
            event.u.wheel.deltaH = 0;
            break;
        }
        case PlatformInputKind::kKeyDown:
            if (!input.character) return;
            if ((input.modifiers & kPlatformModCommand) && gKeyEquivalentProc &&
                gKeyEquivalentProc(window, input.character, input.modifiers))
                return;
            VXSendCharacterEventToWindow(window, input.character, input.modifiers);
            return;
        default:
            return;  // releases and drags are read by the tracking loops
    }
    DispatchEvent(window, &event);
}

}  // namespace

int32_t DispatchEvent(VXWindowRecordTag* window, VXEventRecord* event) {
    if (!window || !event) return 0;
    const int32_t id = window->windowID;
    ++window->dispatchCounter;
    if (event->kind == kVXUpdateEvent) {
        if (!RunUpdateBlocks(id, 0, *event)) return 0;
        window = VXGetWindowFromId(id);
        VXSetWindow(window);
        int32_t result = window->eventProc ? window->eventProc(window, event) : 0;
        // The handler may have destroyed its window: nothing more is drawn then.
        if (!VXGetWindowFromId(id)) return result;
        RunUpdateBlocks(id, 1, *event);
        return result;
    }
    if (vx.updateWaitDepth != 0) return 0;
    if (window->eventProc) {
        VXSetWindow(window);
        int32_t result = window->eventProc(window, event);
        if (result != 0 || !VXGetWindowFromId(id)) return result;
    }
    return VXDefaultEventHandler(window, event);
}

int32_t VXDefaultEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (!window || !event) return 0;
    VXSetWindow(window);
    auto& hooks = gVXWindowDefaultHooks;
    switch (event->kind) {
        case kVXCreateEvent:
            if (IsTopLevelDialog(window) && event->u.create.focusItem > 0 && hooks.focusItem)
                hooks.focusItem(window, event->u.create.focusItem);
            if (event->u.create.show) {
                window->visible = 1;
                if (hooks.showWindow) hooks.showWindow(window);
            }
            return 1;
        case kVXCloseEvent:
            if (IsTopLevelDialog(window))
                VXEndDialog(window, 2);
            else
                VXDestroyWindow(window);
            return 1;
        case kVXActivateEvent:
            if (VXIsDialogWindow(window) && hooks.activateControls)
                hooks.activateControls(window, event->u.activate.activated != 0);
            return 1;
        case kVXFocusEvent:
            return 1;
        case kVXCharEvent:
            return DefaultCharacter(window, event);
        case kVXScrollEvent:
        case kVXScrollToEvent:
            if (hooks.defaultScroll) hooks.defaultScroll(window, event);
            return 1;
        case kVXCommandEvent:
            return Bubble(window, event);
        case kVXControlEvent: {
            const uint8_t type = event->u.control.controlType;
            const uint16_t item = event->u.control.item;
            if (type == 3) {
                if (hooks.selectRadioButton) hooks.selectRadioButton(window, item);
                return 1;
            }
            VXWindowRecordTag* top = VXGetTopParent(window);
            if (type == 1 && (item == 1 || item == 2) && IsTopLevelDialog(top)) {
                VXEndDialog(top, int16_t(item));
                return 1;
            }
            return 0;
        }
        case kVXEndModalEvent:
            if (vx.modalResult) *vx.modalResult = event->u.endModal.item;
            VXDestroyWindow(window);
            return 1;
        case kVXWheelEvent: {
            VXEventRecord scroll = VXClearedEvent(kVXScrollEvent);
            scroll.u.scroll.part = 7;
            scroll.u.scroll.axis = event->u.wheel.deltaV == 0 ? 1 : 0;
            scroll.u.scroll.amount = -event->u.wheel.deltaV;
            scroll.u.scroll.value2 = -event->u.wheel.deltaH;
            DispatchEvent(window, &scroll);
            return 1;
        }
        default:
            return 0;
    }
}

bool SendCreateEvent(VXWindowRecordTag* window, uint16_t focusItem, bool show) {
    if (!window) return false;
    const int32_t id = window->windowID;
    VXEventRecord event = VXClearedEvent(kVXCreateEvent);
    event.u.create.focusItem = focusItem;
    event.u.create.show = show ? 1 : 0;
    DispatchEvent(window, &event);
    window = VXGetWindowFromId(id);
    if (!window) return false;
    window->created = 1;
    return true;
}

void SendDestroyEvent(VXWindowRecordTag* window) {
    if (!window) return;
    VXEventRecord event = VXClearedEvent(kVXDestroyEvent);
    DispatchEvent(window, &event);
}

bool SendFocusEvent(VXWindowRecordTag* window, bool gaining) {
    if (!window) return gaining;
    uint8_t refuse = 0;
    VXEventRecord event = VXClearedEvent(kVXFocusEvent);
    event.u.focus.refuse = &refuse;
    event.u.focus.gaining = gaining ? 1 : 0;
    DispatchEvent(window, &event);
    return gaining || refuse == 0;
}

void SendActivateEvent(VXWindowRecordTag* window, bool activated) {
    if (!window) return;
    VXEventRecord event = VXClearedEvent(kVXActivateEvent);
    event.u.activate.activated = activated ? 1 : 0;
    DispatchEvent(window, &event);
}

void SendFullScreenEvent(VXWindowRecordTag* window, bool entered) {
    if (!window) return;
    VXEventRecord event = VXClearedEvent(kVXFullScreenEvent);
    event.u.fullScreen.entered = entered ? 1 : 0;
    DispatchEvent(window, &event);
}

void SendDroppedFileEvent(VXWindowRecordTag* window, const void* fileSpec, uint16_t index,
                          uint16_t count, bool isFolder) {
    if (!window) return;
    VXEventRecord event = VXClearedEvent(kVXDroppedFileEvent);
    event.u.droppedFile.fileSpec = fileSpec;
    event.u.droppedFile.index = index;
    event.u.droppedFile.count = count;
    event.u.droppedFile.isFolder = isFolder ? 1 : 0;
    DispatchEvent(window, &event);
}

void SetupMouseEvent(int32_t h, int32_t v, uint16_t button, uint32_t modifierFlags,
                     VXEventRecord* event) {
    *event = VXClearedEvent(kVXMouseDownEvent);
    VXMouseFields& mouse = event->u.mouse;
    mouse.button = button;
    mouse.modifiers = modifierFlags;
    mouse.shift = (modifierFlags & kVXModShift) ? 1 : 0;
    mouse.option = (modifierFlags & kVXModOption) ? 1 : 0;
    mouse.v = int16_t(v);
    mouse.h = int16_t(h);
    mouse.longV = v;
    mouse.longH = h;
}

int32_t VXSendCharacterEventToWindow(VXWindowRecordTag* window, uint16_t character,
                                     uint32_t modifiers) {
    if (!window) return 0;
    VXEventRecord event = VXClearedEvent(kVXCharEvent);
    auto& c = event.u.character;
    c.character = character;
    c.modifiers = modifiers;
    c.shift = (modifiers & kVXModShift) ? 1 : 0;
    c.option = (modifiers & kVXModOption) ? 1 : 0;
    c.functional = VXIsFunctionalChar(character) ? 1 : 0;
    if (!c.functional) EncodeUTF8(character, c.utf8);
    return DispatchEvent(window, &event);
}

uint32_t TranslateNSEventModifiers(uint32_t flags) {
    uint32_t result = 0;
    if (flags & (1u << 17)) result |= kVXModShift;
    if (flags & (1u << 18)) result |= kVXModControl;
    if (flags & (1u << 19)) result |= kVXModOption;
    if (flags & (1u << 20)) result |= kVXModCommand;
    return result;
}

bool VXIsFunctionalChar(uint16_t c) { return c >= 0xF700 && c <= 0xF747; }
bool VXIsDeletionChar(uint16_t c) { return c == 8 || c == 0xF728 || c == 0xF73A; }

void VXInstallInputSink() { PlatformSetInputSink(InputSink); }

void VXSetKeyEquivalentProc(VXKeyEquivalentProc proc) { gKeyEquivalentProc = proc; }
VXKeyEquivalentProc VXGetKeyEquivalentProc() { return gKeyEquivalentProc; }

}  // namespace plexa
