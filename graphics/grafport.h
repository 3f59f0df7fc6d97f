// The graphics state of a window and the current window for drawing.
//
// Every drawing call goes to the current graphics state: one global pointer, set by
// `VXSetCurrentGrafState` (which the toolkit's `VXSetWindow` calls), names the `VXGrafState` whose
// port, scale, flags, clip stack and drawing procedures are used. The toolkit's window record
// contains a `VXGrafState`; this layer never needs the window record itself (the state's
// geometry.owner points back at it for the toolkit's hooks).
//
// Every state call acts on the current state's port and does nothing, returning the default
// stated with it, when there is none.
//
// Pen size 0 is a hairline: it is stroked one pixel wide at every zoom (the renderer strokes
// width 1 and pen scaling leaves 0 as it is), and it counts as a pen of width 0 wherever a
// frame is offset by half the pen (the centre-line set leaves it in place).
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/windowgeometry.h"

namespace plexa {

struct QZPort;
struct VXRgn;
struct VXGrafProcsRecord;
struct txStyle;

// Bits of the flag word beyond kWindowFlagScaled: strokes keep their unscaled width; L lines
// add segments to the port's open path instead of stroking.
constexpr uint32_t kWindowFlagNoPenScaling = 0x20;
constexpr uint32_t kWindowFlagLinesBuildPath = 0x8000;

struct VXGrafState {
    VXGrafState() = default;
    ~VXGrafState();  // frees the regions still on the clip stack
    VXGrafState(const VXGrafState&) = delete;
    VXGrafState& operator=(const VXGrafState&) = delete;

    WindowGeometry geometry;                     // kind, current pane, flag word, scale
    QZPort* port = nullptr;                      // owned by the window record
    const VXGrafProcsRecord* grafProcs = nullptr;  // null: the layer's standard table
    std::vector<VXRgn*> clipStack;               // pushed clips; null items mean "no clip"
    void* displayList = nullptr;                 // the open display-list capture, or null
    txStyle* textStyle = nullptr;                // the window's text style
    int16_t textRotation = 0;                    // degrees
    uint8_t drawMode = 0;
    uint8_t textMirror = 0;
};

// What the window owner (the toolkit) does for this layer.
struct VXGrafHooks {
    // The current state changed (also when the owner itself set it): the owner keeps its own
    // current window in step from state->geometry.owner, without setting the state again.
    void (*currentChanged)(VXGrafState* state) = nullptr;
    // Moves the panel contents after the port origin of an on-screen window changed.
    void (*translatePanelOrigin)(VXGrafState* state, int32_t dh, int32_t dv) = nullptr;
    // The state of one of the owner's drawing targets (a window), from the pointer that a lower
    // layer keeps without knowing the owner's record.
    VXGrafState* (*ownerState)(void* target) = nullptr;
    // Invalidates an area (document coordinates) of such a target.
    void (*invalRect)(void* target, const LRect* area) = nullptr;
};
void VXSetGrafHooks(const VXGrafHooks& hooks);
// The hooks installed now (an owner adds its own to what another part installed).
VXGrafHooks VXGetGrafHooks();

// Makes a state current (null: none) and returns the previous one; the port becomes the
// renderer's current port.
VXGrafState* VXSetCurrentGrafState(VXGrafState* state);
VXGrafState* VXGetCurrentGrafState();

// Origin. An on-screen window reads and keeps the coordinates its current pane cannot scroll
// from the pane's view bounds (foundation's pane-bounds hook).
void VXGetOrigin(VXGrafState* state, _LPNT* out);
void VXSetOrigin(VXGrafState* state, int32_t h, int32_t v);

// Clip stack. A pop without a matching push does nothing. A port without a clip counts as
// unbounded: intersecting it gives the other operand.
VXRgn* VXPushClip(VXGrafState* state);
void VXPopClip(VXGrafState* state);
void VXSectClipRgn(VXGrafState* state, const VXRgn* rgn, bool push);
void VXLSectClipRect(VXGrafState* state, const LRect* rect, bool push);
void VXSectClipRect(VXGrafState* state, const Rect* rect, bool push);
// The same for a rectangle in the window's drawing coordinates: in a scaled window it is scaled
// as drawing scales a rectangle (no-empty scaling), so that it clips to what a drawing of that
// area covers at any zoom. The rectangle forms above take port coordinates as they are.
void VXSectDrawingClipRect(VXGrafState* state, const Rect* rect, bool push);

// Pen, modes and colours of the current port.
struct VXPenState {
    uint8_t reserved[8];  // neither read nor written
    int32_t v, h;
    uint8_t drawMode;
    int32_t penSize;
};

void VXMoveTo(int32_t h, int32_t v);
void VXMove(int32_t dh, int32_t dv);
void VXGetPenPosition(Point* out);  // clamped to 16 bits; (0, 0) without a window
void VXGetPenState(VXPenState* out);
void VXSetPenState(const VXPenState* in);
void VXSetPenWidth(int32_t width);
int32_t VXGetPenWidth();
// Returns the previous enabled state (1 without a window).
bool VXSetPenWidthScalingEnabled(bool enabled);
void VXPenNormal();
void VXPenRubberband();
// Returns the previous window draw mode.
uint8_t VXSetDrawMode(uint8_t mode);
uint8_t VXGetDrawMode();  // always 0
void VXSetTextMode(int32_t mode);
int32_t VXGetTextMode();  // always 1
void VXSetStockPattern(int32_t pattern);
void VXSetLineDashInterval(int32_t on, int32_t off, int32_t phase);
bool VXSetCapRound(bool round);
double VXSetOpacity(double alpha);
bool VXSetClearMode(bool on);
bool VXAntialiasGraphics(bool on);
// Flushes the given state's port, else the current one.
void VXFlushGraphics(VXGrafState* state);
// Returns the previous rotation (degrees).
int16_t VXSetTextRotation(int16_t degrees);

// Text style of the current state (all do nothing without a state or without a style).
void VXSetTextStyle(const txStyle* style);
// Copies the current style into out and returns out (null without a style).
txStyle* VXGetTextStyle(txStyle* out);
void VXSetTextFont(const char* name);
void VXSetTextSize(uint16_t size);
void VXSetTextFace(uint16_t face);
// A scratch style holding a copy of the current style (null without one), for
// VXRestoreTextStyle, which copies it back and releases it.
txStyle* VXPreserveTextStyle();
void VXRestoreTextStyle(txStyle* saved);
// Makes the default style of a kind current.
void VXSetDefaultTextStyle(int32_t kind);
// Makes the user interface font of type n ("<uifont_n>", size 1) current.
void VXSetUIFont(int32_t n);

// The pen size a stroke of the state is drawn with: scaled by the vertical factor in the content
// pane of a scaled window unless pen scaling is off; 0 stays 0, and a scale under 1.0 never
// takes a pen below 1.
int32_t VXScaledPenSize(const VXGrafState* state, int32_t penSize);

}  // namespace plexa
