// Interface drawing helpers.
#include "graphics/grafprocs_ui.h"

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"

namespace plexa {
namespace {

constexpr VXColor kBlack = 0x07000000;
constexpr VXColor kDarkGrey = 0x08444444;
constexpr VXColor kGrey = 0x09808080;
constexpr VXColor kLightGrey = 0x0ABBBBBB;
constexpr VXColor kWhite = 0x0BFFFFFF;

// Saves the pen state and fore colour of the current port, starts from the normal pen, and
// puts both back at the end.
class SavedPen {
public:
    SavedPen() : active_(QZGetCurrentPort() != nullptr) {
        if (!active_) return;
        VXGetPenState(&pen_);
        fore_ = VXGetForeColor();
        VXPenNormal();
    }
    ~SavedPen() {
        if (!active_) return;
        QZSetColor(nullptr, fore_, false);
        VXSetPenState(&pen_);
    }
    SavedPen(const SavedPen&) = delete;
    SavedPen& operator=(const SavedPen&) = delete;
    bool active() const { return active_; }

private:
    bool active_;
    VXPenState pen_{};
    VXColor fore_ = 0;
};

void Color(VXColor c) { QZSetColor(nullptr, c, false); }

void Line(int32_t h1, int32_t v1, int32_t h2, int32_t v2) {
    VXMoveTo(h1, v1);
    VXLineTo(int16_t(h2), int16_t(v2));
}

Rect Inset(const Rect& r, int16_t d) {
    Rect out = r;
    VXInsetRect(&out, d, d);
    return out;
}

}  // namespace

void VXEraseUpdate(VXGrafState* state, const LRect* view, const LRect* update) {
    if (!state || !view) return;
    VXGrafState* previous = VXSetCurrentGrafState(state);
    {
        SavedPen saved;
        LRect r = *view;
        if (update) SectRect32(&r, update, &r);
        InsetRect32(&r, -5, -5);
        VXLRectDispatch(&r, 2);
    }
    VXSetCurrentGrafState(previous);
}

void VXDrawSeparator(int16_t left, int16_t top, int16_t right, int16_t bottom, int32_t) {
    SavedPen saved;
    if (!saved.active()) return;
    const _LPNT a = {top, left}, b = {bottom, right};
    LRect r{};
    Pt2Rect32(&a, &b, &r);
    const bool horizontal = r.right - r.left > r.bottom - r.top;
    const int32_t dh = horizontal ? 0 : 1, dv = horizontal ? 1 : 0;
    const int32_t endH = horizontal ? r.right : r.left, endV = horizontal ? r.top : r.bottom;
    Color(kGrey);
    Line(r.left, r.top, endH, endV);
    Color(kWhite);
    Line(r.left + dh, r.top + dv, endH + dh, endV + dv);
}

void VXDrawListBoxFrame(const Rect* rect, int32_t) {
    SavedPen saved;
    if (!saved.active() || !rect) return;
    const Rect inner = Inset(*rect, -1), outer = Inset(*rect, -2);
    Color(kBlack);
    VXRectDispatch(&inner, 0);
    Color(kWhite);
    VXRectDispatch(&outer, 0);
    Color(kGrey);
    VXMoveTo(outer.left, outer.bottom - 2);
    VXLineTo(outer.left, outer.top);
    VXLineTo(int16_t(outer.right - 2), outer.top);
}

void VXDrawPrimaryFrame(const Rect* rect, VXColor color) {
    SavedPen saved;
    if (!saved.active() || !rect) return;
    Color(color);
    VXRectDispatch(rect, 1);
    Rect r = *rect;
    r.bottom = int16_t(r.bottom + 1);
    r.right = int16_t(r.right + 1);
    Color(kWhite);
    VXRectDispatch(&r, 0);
    VXOffsetRect(&r, -1, -1);
    Color(kGrey);
    VXRectDispatch(&r, 0);
}

void VXDrawPopupArrowButton(VXGrafState* state, const Rect* rect, uint16_t buttonState) {
    if (!state || !rect) return;
    VXGrafState* previous = VXSetCurrentGrafState(state);
    {
        SavedPen saved;
        const bool disabled = buttonState == kPopupArrowDisabled;
        const bool pressed = buttonState == kPopupArrowPressed;
        const Rect& r = *rect;
        // The outline with its four corner pixels cut.
        Color(disabled ? kGrey : kBlack);
        Line(r.left + 1, r.top, r.right - 2, r.top);
        Line(r.right - 1, r.top + 1, r.right - 1, r.bottom - 2);
        Line(r.right - 2, r.bottom - 1, r.left + 1, r.bottom - 1);
        Line(r.left, r.bottom - 2, r.left, r.top + 1);
        const Rect inside = Inset(r, 1);
        Color(pressed ? kGrey : kLightGrey);
        VXRectDispatch(&inside, 1);
        if (!disabled) {
            Color(pressed ? kDarkGrey : kWhite);
            Line(inside.left, inside.bottom - 1, inside.left, inside.top);
            Line(inside.left, inside.top, inside.right - 1, inside.top);
            Color(pressed ? kLightGrey : kGrey);
            Line(inside.right - 1, inside.top, inside.right - 1, inside.bottom - 1);
            Line(inside.right - 1, inside.bottom - 1, inside.left, inside.bottom - 1);
        }
        // The arrow, points vertical first, centred in the inside.
        Point arrow[4] = {{0, 0}, {0, 6}, {3, 3}, {0, 0}};
        const int16_t dh = int16_t(inside.left + (inside.right - inside.left - 6) / 2);
        const int16_t dv = int16_t(inside.top + (inside.bottom - inside.top - 3) / 2);
        VXOffsetPoints(arrow, 4, dh, dv);
        Color(disabled ? kGrey : pressed ? kWhite : kBlack);
        VXPolyDispatch(arrow, 4, 1);
        VXPolyDispatch(arrow, 4, 0);
        if (pressed) VXFlushGraphics(state);
    }
    VXSetCurrentGrafState(previous);
}

}  // namespace plexa
