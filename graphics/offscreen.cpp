// Off-screen graphics states; see offscreen.h.
#include "graphics/offscreen.h"

#include <new>

#include "graphics/textstyle.h"

namespace plexa {

VXGrafState* VXNewOffScreenState(const QZBitmap* bitmap) {
    auto* state = new (std::nothrow) VXGrafState;
    if (!state) return nullptr;
    state->geometry.kind = kWindowOffScreen;
    state->port = QZPortAlloc(nullptr);
    state->textStyle = CreateTextStyle(nullptr, nullptr);
    if (!state->port || !state->textStyle) {
        VXDisposeOffScreenState(state);
        return nullptr;
    }
    if (bitmap) state->port->bitmap = *bitmap;
    return state;
}

void VXDisposeOffScreenState(VXGrafState* state) {
    if (!state) return;
    if (VXGetCurrentGrafState() == state) VXSetCurrentGrafState(nullptr);
    if (state->port) {
        QZReleaseContext(state->port);
        QZPortFree(state->port);
    }
    if (state->textStyle) DestroyTextStyle(state->textStyle);
    delete state;
}

VXGrafState* VXGetMeasuringState() {
    static VXGrafState* state = nullptr;
    if (!state) state = VXNewOffScreenState(nullptr);
    return state;
}

VXGrafState* VXGrafStateOfTarget(void* target) {
    const VXGrafHooks hooks = VXGetGrafHooks();
    return target && hooks.ownerState ? hooks.ownerState(target) : nullptr;
}

void* VXTargetOfGrafState(const VXGrafState* state) { return state ? state->geometry.owner : nullptr; }

void VXInvalTargetRect(void* target, const LRect* area) {
    const VXGrafHooks hooks = VXGetGrafHooks();
    if (target && hooks.invalRect) hooks.invalRect(target, area);
}

void VXInvalTargetRect(void* target, const Rect* area) {
    if (!area) return VXInvalTargetRect(target, static_cast<const LRect*>(nullptr));
    const LRect r{area->top, area->left, area->bottom, area->right};
    VXInvalTargetRect(target, &r);
}

VXGrafStateScope::VXGrafStateScope(VXGrafState* state)
    : state_(state ? state : VXGetMeasuringState()), previous_(VXGetCurrentGrafState()) {
    if (state_) VXSetCurrentGrafState(state_);
}

VXGrafStateScope::~VXGrafStateScope() {
    if (state_) VXSetCurrentGrafState(previous_);
}

}  // namespace plexa
