// Drawing without a window: graphics states of this layer's own, over an off-screen port that
// draws into a bitmap or nowhere. Text is measured with fonts, not windows, so the layers that
// measure texts and record display lists use these where no window is at hand; the state of a
// window (the toolkit's) is reached from the opaque pointer those layers keep through the owner's
// hook (VXGrafHooks::ownerState).
#pragma once

#include "graphics/grafport.h"
#include "graphics/render.h"

namespace plexa {

// A new off-screen state with the default text style and the standard drawing procedures. With
// a bitmap it draws into those pixels (the caller keeps them alive longer than the state);
// without, it draws nowhere, while text is measured and display lists are recorded as in any
// state. Null when it cannot be made.
VXGrafState* VXNewOffScreenState(const QZBitmap* bitmap);
// Frees the state, its port and its style; the current state becomes none if it was this.
void VXDisposeOffScreenState(VXGrafState* state);

// The off-screen state in which texts are measured when no window is given: made on first use,
// kept for the program's life. Null when it cannot be made.
VXGrafState* VXGetMeasuringState();

// The state of a drawing target that the owner of windows made (a window record), through its
// hook; null for a null target or without the hook.
VXGrafState* VXGrafStateOfTarget(void* target);
// The target that owns a state (a window record), or null for this layer's own states.
void* VXTargetOfGrafState(const VXGrafState* state);
// Invalidates an area of such a target through the owner's hook; nothing for a null target.
void VXInvalTargetRect(void* target, const LRect* area);
void VXInvalTargetRect(void* target, const Rect* area);

// Makes a state current for the scope (null: the measuring state) and makes the former one current
// again afterwards.
class VXGrafStateScope {
public:
    explicit VXGrafStateScope(VXGrafState* state);
    ~VXGrafStateScope();
    VXGrafStateScope(const VXGrafStateScope&) = delete;
    VXGrafStateScope& operator=(const VXGrafStateScope&) = delete;
    VXGrafState* state() const { return state_; }

private:
    VXGrafState* state_;
    VXGrafState* previous_;
};

}  // namespace plexa
