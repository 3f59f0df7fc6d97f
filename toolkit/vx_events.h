// The toolkit's event record, the dispatcher with its fixed order around update events, the
// default handling (which also makes characters and commands bubble from a child window to its
// parent and on to the application), and the small operations that send each kind.
#pragma once

#include <cstdint>
#include <cstring>

#include "toolkit/vx_window.h"

namespace plexa {

// Event kinds (10 and 22 are not used).
enum : uint8_t {
    kVXIdleEvent = 0, kVXCreateEvent = 1, kVXCloseEvent = 2, kVXDestroyEvent = 3,
    kVXActivateEvent = 4, kVXFocusEvent = 5, kVXSizeEvent = 6, kVXMovedEvent = 7,
    kVXUpdateEvent = 8, kVXMouseDownEvent = 9, kVXDoubleClickEvent = 11, kVXCharEvent = 12,
    kVXTabOutEvent = 13, kVXScrollEvent = 14, kVXScrollToEvent = 15, kVXCommandEvent = 16,
    kVXTrackControlEvent = 17, kVXControlEvent = 18, kVXTrackingEndEvent = 19,
    kVXEditFocusEvent = 20, kVXEndModalEvent = 21, kVXMouseMovedEvent = 23, kVXWheelEvent = 24,
    kVXIdealPositionEvent = 25, kVXFullScreenEvent = 26, kVXDroppedFileEvent = 27,
    kVXMagnifyEvent = 28,  // a pinch: u.wheel.deltaV the magnification in hundredths
};

// Modifier set.
constexpr uint32_t kVXModShift = 1, kVXModControl = 2, kVXModCommand = 32, kVXModOption = 64;

struct VXEventRect16 {
    int16_t top, left, bottom, right;
};

struct VXMouseFields {
    uint16_t button;       // 0 left, 1 right, 2 other; kind 23: i8 pane, u8 movement bits
    uint8_t shift;
    uint8_t option;
    uint32_t modifiers;
    int16_t v, h;
    int32_t longV, longH;
};
static_assert(sizeof(VXMouseFields) == 20);

struct VXEventRecord {
    uint8_t kind;
    union {
        struct { uint16_t focusItem; uint8_t show; } create;
        struct { uint8_t activated; } activate;
        struct { uint8_t* refuse; uint8_t gaining; } focus;
        struct { int16_t height, width; uint32_t flag; } size;
        struct { VXEventRect16 rect; VXLongRect longRect; uint8_t duringScroll; } update;
        VXMouseFields mouse;  // 9, 11, 23
        struct {
            uint16_t character; uint8_t shift, option; uint32_t modifiers;
            char utf8[5]; uint8_t functional;
        } character;
        struct { uint16_t item; uint8_t controlType; uint8_t backwards; } tabOut;
        struct { int32_t amount, value2; uint8_t part, axis; } scroll;
        struct { int32_t v, h; } scrollTo;
        struct {
            void* menu; uint16_t command, itemIndex, extra;
            uint8_t fromKey, shift, option;
        } command;
        struct {
            VXMouseFields mouse; uint16_t item; uint8_t controlType, textual;
            int16_t tabValue1, tabValue2;
        } track;
        struct {
            uint16_t item; uint8_t controlType;
            union {
                struct { uint8_t part; int32_t given, value; } scroller;
                struct { uint16_t first, second, secondNegative; } editText;
                struct { int32_t first, second; } listBox;
                struct { uint16_t first, second; } pair;  // popup, tab view, segmented
                uint32_t colour;
                double slider;
            } values;
        } control;
        struct {
            uint16_t button; uint8_t shift, option; uint32_t modifiers;
            uint16_t item; uint8_t controlType;
        } trackingEnd;
        struct { uint16_t item; uint8_t controlType; uint8_t gaining; } editFocus;
        struct { int16_t item; } endModal;
        struct { VXMouseFields mouse; int32_t deltaV, deltaH; } wheel;
        struct { uint32_t entered; } fullScreen;
        struct { const void* fileSpec; uint16_t index, count; uint8_t isFolder; } droppedFile;
    } u;
};
static_assert(sizeof(VXEventRecord) == 40);

// A record cleared byte for byte, of a kind: every field the kind does not use is 0.
inline VXEventRecord VXClearedEvent(uint8_t kind) {
    VXEventRecord event;
    std::memset(&event, 0, sizeof event);
    event.kind = kind;
    return event;
}

int32_t DispatchEvent(VXWindowRecordTag* window, VXEventRecord* event);
int32_t VXDefaultEventHandler(VXWindowRecordTag* window, VXEventRecord* event);
// The end of the command chain: the application's command procedure, then the toolkit's own
// (toolkit/vx_commands.cpp).
int32_t VXGlobalCommand(VXEventRecord* event);

// Returns whether the window still exists afterwards; marks it created.
bool SendCreateEvent(VXWindowRecordTag* window, uint16_t focusItem, bool show);
void SendDestroyEvent(VXWindowRecordTag* window);
// True when gaining, or when losing and the handler did not refuse.
bool SendFocusEvent(VXWindowRecordTag* window, bool gaining);
void SendActivateEvent(VXWindowRecordTag* window, bool activated);
void SendFullScreenEvent(VXWindowRecordTag* window, bool entered);
void SendDroppedFileEvent(VXWindowRecordTag* window, const void* fileSpec, uint16_t index,
                          uint16_t count, bool isFolder);
void SetupMouseEvent(int32_t h, int32_t v, uint16_t button, uint32_t modifierFlags,
                     VXEventRecord* event);
// Sends a character to a window (kind 12): the UTF-8 text, or the functional-key mark.
int32_t VXSendCharacterEventToWindow(VXWindowRecordTag* window, uint16_t character,
                                     uint32_t modifiers);
// The modifier set of the desktop platform's modifier flags (Shift bit 17, Control 18,
// Option 19, Command 20).
uint32_t TranslateNSEventModifiers(uint32_t flags);
bool VXIsFunctionalChar(uint16_t c);
bool VXIsDeletionChar(uint16_t c);

// Turns the platform's input into events for the windows (installed at launch).
void VXInstallInputSink();
// Offered every typed key with Command before the window sees it (the menus' key equivalents);
// a non-zero answer uses the key up.
using VXKeyEquivalentProc = int32_t (*)(VXWindowRecordTag* window, uint16_t character,
                                        uint32_t modifiers);
void VXSetKeyEquivalentProc(VXKeyEquivalentProc proc);
VXKeyEquivalentProc VXGetKeyEquivalentProc();

}  // namespace plexa
