// Input as the platform hands it to the toolkit: mouse, wheel and key events for a window named
// by the toolkit's window id, and the keyboard state. Real windows and the test seam both feed
// input through the one sink the toolkit installs.
#pragma once

#include <cstdint>

namespace plexa {

// Platform virtual key codes that the toolkit tests (the desktop platform's numbering).
constexpr uint16_t kPlatformKeyEscape = 53;
constexpr uint16_t kPlatformKeyCommand = 55;
constexpr uint16_t kPlatformKeyPeriod = 47;
constexpr uint16_t kPlatformKeyShift = 56;
constexpr uint16_t kPlatformKeyOption = 58;
constexpr uint16_t kPlatformKeyControl = 59;

// Modifier bits of input events (the toolkit's own set).
constexpr uint32_t kPlatformModShift = 1;
constexpr uint32_t kPlatformModControl = 2;
constexpr uint32_t kPlatformModCommand = 32;
constexpr uint32_t kPlatformModOption = 64;

enum class PlatformInputKind : uint8_t {
    kMouseDown, kMouseUp, kMouseMoved, kMouseDragged, kWheel, kKeyDown, kKeyUp, kMagnify,
};

struct PlatformInputEvent {
    PlatformInputKind kind = PlatformInputKind::kMouseMoved;
    int32_t windowID = 0;       // the toolkit window the event is for (0: the key window)
    int32_t x = 0, y = 0;       // content coordinates, y downwards
    // Mouse and wheel events from the window system: the pointer on screen (y-down from the main
    // screen's top-left), also while a press keeps sending its moves to the window it went to.
    int32_t screenX = 0, screenY = 0;
    uint8_t hasScreenPoint = 0;
    uint16_t button = 0;        // 0 left, 1 right, 2 other
    uint16_t clickCount = 0;
    uint32_t modifiers = 0;     // kPlatformMod* bits
    double wheelDeltaV = 0, wheelDeltaH = 0;  // view units, or wheel lines with wheelLines
    uint8_t wheelLines = 0;
    double magnification = 0;  // a pinch: the change of scale (0.1 grows by a tenth)
    uint16_t keyCode = 0;       // virtual key code (key events)
    uint16_t character = 0;     // UTF-16 character (key events), 0 for none
};

using PlatformInputSink = void (*)(const PlatformInputEvent& event);
void PlatformSetInputSink(PlatformInputSink sink);
// The sink installed now (a tracking loop takes the input for a while and puts it back).
PlatformInputSink PlatformGetInputSink();
// Hands one event to the sink now (and updates the key state for key events).
void PlatformDeliverInput(const PlatformInputEvent& event);

// Whether a key (virtual key code) is down now.
bool PlatformIsKeyDown(uint16_t keyCode);

}  // namespace plexa
