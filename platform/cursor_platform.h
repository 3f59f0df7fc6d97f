// Cursors and the mouse as the platform knows them: the standard shapes, cursors made from
// images with a hot spot, the application-wide cursor and each window's own, whether a window
// takes dropped files, and the mouse state that the input delivered so far tells (window, point,
// buttons held, modifiers), which scripted test input moves exactly like real input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/input_platform.h"

namespace plexa {

struct PlatformCursor;
struct PlatformWindow;

enum class PlatformStandardCursor : uint8_t {
    kArrow, kIBeam, kCrosshair, kOpenHand, kPointingHand, kResizeLeftRight, kResizeUpDown,
    // While something is dragged: over a place that takes it (a copy goes there), and elsewhere.
    kDragCopy, kForbidden,
};
constexpr int kPlatformStandardCursorCount = 9;

// The platform's own cursor of a shape; made once and kept for the run.
PlatformCursor* PlatformCursorStandard(PlatformStandardCursor shape);
// A cursor from encoded image bytes (PNG, BMP...) with its hot spot; null when the bytes are not
// an image. The caller releases it.
PlatformCursor* PlatformCursorFromImageData(const uint8_t* data, size_t size, int32_t hotX,
                                            int32_t hotY);
void PlatformCursorRelease(PlatformCursor* cursor);
void PlatformCursorHotSpot(const PlatformCursor* cursor, int32_t* x, int32_t* y);
void PlatformCursorSize(const PlatformCursor* cursor, int32_t* width, int32_t* height);

// The cursor shown over every window (null: each window's own, else the arrow).
void PlatformSetCursor(PlatformCursor* cursor);
PlatformCursor* PlatformCurrentCursor();
// A window's content cursor (null: the arrow).
void PlatformWindowSetCursor(PlatformWindow* window, PlatformCursor* cursor);
PlatformCursor* PlatformWindowCursor(const PlatformWindow* window);

// Whether a window's content view takes dropped files. A drop of local files (file URLs) goes to
// the drop sink with the window's id and the absolute UTF-8 paths in their order; a drag of
// anything else is refused.
void PlatformWindowSetAcceptsFileDrops(PlatformWindow* window, bool accept);
bool PlatformWindowAcceptsFileDrops(const PlatformWindow* window);
using PlatformFileDropSink = void (*)(int32_t windowID, const std::vector<std::string>& paths);
void PlatformSetFileDropSink(PlatformFileDropSink sink);

// Mouse state from the input delivered so far: the window of the last mouse event (0: none yet)
// and the point in its content, the point on screen when that event told it, the buttons held
// (bit n for button n) and the modifiers.
struct PlatformMouseState {
    int32_t windowID = 0;
    int32_t x = 0, y = 0;
    int32_t screenX = 0, screenY = 0;
    bool hasScreenPoint = false;
    uint32_t buttons = 0;
    uint32_t modifiers = 0;
};
PlatformMouseState PlatformLastMouse();
// The pointer on screen when no window's event tells it (y-down from the main screen's top-left).
void PlatformScreenMouse(int32_t* x, int32_t* y);
// Called with every delivered input event; forgetting is for the test seam's reset.
void PlatformNoteMouseInput(const PlatformInputEvent& event);
void PlatformForgetMouseState();

}  // namespace plexa
