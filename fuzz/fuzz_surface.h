// An off-screen window for the graphics fuzz targets: a small white ARGB bitmap with its port and
// graphics state, current while the surface lives, so that what a reader gives can be drawn. The
// core is started first (fuzz/fuzz_core.h), since fonts and images need the platform.
#pragma once

#include <cstdlib>
#include <vector>

#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "fuzz/fuzz_core.h"

namespace plexa::fuzz {

inline void EnsureGraphics() {
    static const bool ready = [] {
        StartFuzzCore();
        VXInitGraf();
        return true;
    }();
    (void)ready;
}

class Surface {
public:
    static constexpr int kSide = 96;

    Surface() : pixels_(size_t(kSide) * kSide, 0xFFFFFFFF) {
        EnsureGraphics();
        bitmap_ = {reinterpret_cast<uint8_t*>(pixels_.data()), kSide, kSide, kSide * 4,
                   DrawPixelFormat::kARGB32};
        QZWindowHooks hooks;
        hooks.kind = [](void*) -> int32_t { return kQZWindowOffScreen; };
        hooks.image = [](void* window, QZBitmap* out) {
            *out = static_cast<Surface*>(window)->bitmap_;
            return true;
        };
        QZSetWindowHooks(hooks);
        port_ = QZPortAlloc(this);
        if (port_ && QZInstallContext(port_)) {
            QZSetFocus(port_, -1);
            state_.port = port_;
            state_.textStyle = CreateTextStyle(nullptr, nullptr);
            previous_ = VXSetCurrentGrafState(&state_);
            ready_ = state_.textStyle != nullptr;
        }
    }
    ~Surface() {
        if (ready_) VXSetCurrentGrafState(previous_);
        if (state_.textStyle) DestroyTextStyle(state_.textStyle);
        state_.textStyle = nullptr;
        state_.port = nullptr;
        if (port_) {
            QZReleaseContext(port_);
            QZPortFree(port_);
        }
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool ready() const { return ready_; }
    VXGrafState* state() { return &state_; }

private:
    std::vector<uint32_t> pixels_;
    QZBitmap bitmap_{};
    QZPort* port_ = nullptr;
    VXGrafState state_;
    VXGrafState* previous_ = nullptr;
    bool ready_ = false;
};

}  // namespace plexa::fuzz
