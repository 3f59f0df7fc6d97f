// In-place editing of text frames; see textframeedit.h.
#include "sheeteditor/textframeedit.h"

#include <algorithm>
#include <utility>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/textedit.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/symboltexts.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr VXColor kGrowHandleColor = 0x07000000;  // the theme's black

LRect Grown(LRect r, int32_t by) {
    InsetRect32(&r, -by, -by);
    return r;
}

int32_t HandleSize(const VXTERecord* te) {
    return te->window ? CalcModiferBoxSize(&te->window->geometry) : 0;
}

void Invalidate(const VXTERecord* te, const LRect& r) {
    if (VXWindowRecordTag* window = VXWindowFromGrafState(te->window)) VXLInvalRect(window, &r);
}

bool SameRect(const LRect& a, const LRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

// What the grow drag's overlay draws.
struct GrowDrag {
    LRect frame;
};

void DrawGrowDrag(VXWindowRecordTag*, void* data) {
    FrameTextEditBoundsRect(&static_cast<GrowDrag*>(data)->frame);
}

}  // namespace

VXTERecord* CreateTextFrameEditor(VXWindowRecordTag* window, TextFrameHandle frame) {
    if (!window || !frame || !*frame) return nullptr;
    const Rect bounds = (*frame)->bounds;
    Rect invalid = bounds;
    VXInsetRect(&invalid, -2, -2);
    VXInvalRect(window, &invalid);
    LRect view{bounds.top + 2, bounds.left + 3 - 1, bounds.bottom - 2, bounds.right - 3};
    LRect dest = view;
    if ((*frame)->lineCount <= 1 && !((*frame)->flags & kFrameFlagRightAligned)) dest.right = 32767;
    view.right += 3;

    VXGrafStateScope scope(&window->graf);
    txStyle* saved = VXPreserveTextStyle();
    VXSetTextStyle((*frame)->style);
    VXTERecord* te = VXTENewUsingStyle(&dest, &view, kTEStyleCurrent);
    if (saved) VXRestoreTextStyle(saved);
    if (!te) return nullptr;
    if ((*frame)->flags & kFrameFlagRightAligned) te->just = kTEJustRight;
    VXTESetTabWidth(0, kTextFrameEditTabWidth, te);
    VXTEActivate(te);
    uint32_t length = 0;
    const char16_t* text = GetTextFrameUnicodeText(frame, false, &length);
    if (length && !VXTESetText(text, int32_t(length * 2), kEncodingUTF16LE, te)) {
        VXTEDispose(te);
        return nullptr;
    }
    return te;
}

void CalcTEDisplayFrame(const VXTERecord* te, LRect* rect) {
    *rect = Grown(te->viewRect, 2);
}

void CalcTEGrowHandle(const VXTERecord* te, LRect* rect) {
    LRect frame;
    CalcTEDisplayFrame(te, &frame);
    const int32_t size = HandleSize(te);
    const int32_t top = frame.bottom - size / 2, left = frame.right - size / 2;
    *rect = LRect{top, left, top + size, left + size};
}

void FrameTextEditBoundsRect(const LRect* rect) {
    VXGrafState* state = VXGetCurrentGrafState();
    if (!state || !rect) return;
    VXPenState pen;
    VXGetPenState(&pen);
    const VXColor fore = VXGetForeColor();
    Point ten{10, 10};
    PointsToScale(&state->geometry, &ten, 1);
    bool scaling;
    if (ten.h > 21) {
        scaling = VXSetPenWidthScalingEnabled(false);
        VXSetPenWidth(2);
        VXSetLineDashInterval(2, 2, 0);
    } else {
        scaling = VXSetPenWidthScalingEnabled(true);
        VXSetPenWidth(1);
        VXSetLineDashInterval(1, 2, 0);
    }
    QZSetColor(nullptr, VXGetInvertedBackColor(), false);
    VXLRectDispatch(rect, 0);
    VXPenNormal();
    VXSetPenWidthScalingEnabled(scaling);
    QZSetColor(nullptr, fore, false);
    VXSetPenState(&pen);
}

void FrameEditTE(VXTERecord* te) {
    if (!te) return;
    VXWindowRecordTag* window = VXWindowFromGrafState(te->window);
    if (!window) return;
    VXGrafStateScope scope(&window->graf);
    LRect frame, handle;
    CalcTEDisplayFrame(te, &frame);
    FrameTextEditBoundsRect(&frame);
    CalcTEGrowHandle(te, &handle);
    VXPenState pen;
    VXGetPenState(&pen);
    const VXColor fore = VXGetForeColor();
    VXPenNormal();
    QZSetColor(nullptr, kGrowHandleColor, false);
    VXLRectDispatch(&handle, 1);
    QZSetColor(nullptr, fore, false);
    VXSetPenState(&pen);
}

namespace {

// Grows the record's view to hold its text (its widest line plus one, from the destination's top
// left, measured in its window and style) and the caret, with 3 units of slack. Whether the view
// got wider, taller; false, false when the text cannot be measured.
std::pair<bool, bool> GrowTEViewToText(VXTERecord* te) {
    VXWindowRecordTag* window = VXWindowFromGrafState(te->window);
    if (!window) return {false, false};
    VXGrafStateScope scope(&window->graf);
    txStyle* saved = VXPreserveTextStyle();
    VXSetTextStyle(te->style);
    LRect box = te->destRect;
    const char16_t* text = te->text ? reinterpret_cast<const char16_t*>(*te->text) : u"";
    const bool measured = VXTECalcBoxWithStyle(text, int32_t(te->length * 2), kEncodingUTF16LE,
                                               kTEStyleCurrent, -kTextFrameEditTabWidth, &box,
                                               nullptr, nullptr, nullptr);
    if (saved) VXRestoreTextStyle(saved);
    if (!measured) return {false, false};
    _LPNT caret{};
    VXLTEGetPoint(int32_t(te->selStart), &caret, te);
    const int32_t right = std::max(box.right, caret.h) + 3;
    const bool wider = right > te->viewRect.right;
    const bool taller = box.bottom > te->viewRect.bottom;
    if (wider) te->viewRect.right = right;
    if (taller) te->viewRect.bottom = box.bottom;
    return {wider, taller};
}

// The display frame with the grow handle, grown by 3.
LRect DrawnTEBox(const VXTERecord* te) {
    LRect frame;
    CalcTEDisplayFrame(te, &frame);
    return Grown(frame, HandleSize(te) + 3);
}

}  // namespace

void GetTESizingInfo(const VXTERecord* te, TESizingInfo* info) { info->display = DrawnTEBox(te); }

void UpdateTESize(VXTERecord* te, const TESizingInfo& info) {
    if (!te || !te->window) return;
    VXTECalText(te);
    VXLTEGetPoint(-1, nullptr, te);  // the caret point
    (void)GrowTEViewToText(te);
    Invalidate(te, info.display);
    Invalidate(te, DrawnTEBox(te));
}

void ApplyTEKey(VXTERecord* te, uint16_t key) {
    if (!te) return;
    const uint32_t length = te->length;
    const LRect before = te->viewRect;
    if (key) VXTEKey(key, te);
    if (length == 0 && te->length == 0) return;
    if (te->selStart != te->selEnd || te->length < length) return;

    const auto [wider, taller] = GrowTEViewToText(te);
    if (!wider && !taller) return;
    // From the old corner (with its handle) to the new corner and its handle.
    const int32_t handle = HandleSize(te);
    LRect invalid{taller ? before.bottom - handle : te->viewRect.top,
                  wider ? before.right - handle : te->viewRect.left,
                  te->viewRect.bottom + handle, te->viewRect.right + handle + 3};
    Invalidate(te, Grown(invalid, 2));
}

LRect TEGrowFrameForPoint(const LRect& frame, const _LPNT& point) {
    return LRect{frame.top, frame.left,
                 frame.top + std::max(point.v - frame.top, kTextFrameEditMinimumSize),
                 frame.left + std::max(point.h - frame.left, kTextFrameEditMinimumSize)};
}

bool TrackTEGrowBox(VXTERecord* te, const VXEventRecord* mouseDown) {
    (void)mouseDown;  // the drag follows the button that is down now
    if (!te) return false;
    VXWindowRecordTag* window = VXWindowFromGrafState(te->window);
    if (!window) return false;
    const int32_t id = window->windowID;
    LRect old;
    CalcTEDisplayFrame(te, &old);
    const LRect first = Grown(old, 4);
    VXLInvalRect(window, &first);
    GrowDrag drag{old};
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawGrowDrag, &drag);
    const auto& hooks = GetSymbolTextHooks();
    _LPNT point{};
    int16_t pane = 0;
    if (VXWaitDragBegin(window, kVXTrackLeft, 2, 2, &point, &pane, -1)) {
        for (bool going = true; going;) {
            if (hooks.setRulerGuidePositions) hooks.setRulerGuidePositions(window, point.h, point.v);
            const LRect frame = TEGrowFrameForPoint(old, point);
            if (!SameRect(frame, drag.frame)) {
                drag.frame = frame;
                VXUpdateOverlay(window);
            }
            going = VXWaitDragEnd(window, kVXTrackLeft, false, &point);
            window = VXGetWindowFromId(id);
            if (!window) return false;
        }
    }
    VXEndOverlay(window);
    const LRect oldArea = Grown(old, 6);
    VXLInvalRect(window, &oldArea);
    if (SameRect(drag.frame, old)) return false;
    LRect inner = drag.frame;
    InsetRect32(&inner, 2, 2);
    te->viewRect = inner;
    te->destRect = inner;
    const LRect newArea = Grown(drag.frame, 6);
    VXLInvalRect(window, &newArea);
    VXGrafStateScope scope(&window->graf);
    VXTECalText(te);
    return true;
}

}  // namespace plexa
