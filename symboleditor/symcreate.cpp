#include "symboleditor/symcreate.h"
#include "symboleditor/pindialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboltexts.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symclip.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselection.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr Point kUnset{int16_t(-32768), int16_t(-32768)};
constexpr int16_t kCornerSize = 18;
constexpr double kFeedbackOpacity = 0.66, kRubberBandOpacity = 0.82;

bool Same(Point a, Point b) { return a.v == b.v && a.h == b.h; }

Rect Spanned(Point a, Point b) {
    return Rect{std::min(a.v, b.v), std::min(a.h, b.h), std::max(a.v, b.v), std::max(a.h, b.h)};
}

Point Offset(Point p, int32_t dv, int32_t dh) { return Point{int16_t(p.v + dv), int16_t(p.h + dh)}; }

ElementRecord* BuildPoly(const std::vector<Point>& points, const SymbolEditorRecord* editor, bool filled) {
    Handle handle = points.empty() ? nullptr
                                   : AllocHandleWithData(nullptr, points.data(), uint32_t(points.size() * sizeof(Point)));
    if (!points.empty() && !handle) return nullptr;
    ElementRecord* e = BuildPolyElement(int16_t(points.size()), handle, editor->penWidth, filled, true,
                                        editor->frameColor, true, editor->fillColor, false);
    if (handle) MemFree(handle);
    return e;
}

struct DragState {
    SymbolEditorRecord* editor;
    EditorDragProc moved;
    void* data;
    Point last;
};

}  // namespace

// ---- Dragging ----

Point EditorDragPoint(const SymbolEditorRecord* editor, Point point) {
    const Rect& s = kSymbolEditorSurface;
    point.v = std::clamp<int16_t>(point.v, s.top, s.bottom);
    point.h = std::clamp<int16_t>(point.h, s.left, s.right);
    GetSymbolEditorGridPoint(editor, &point);
    return point;
}

bool TrackEditorDrag(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t slop, double timeout,
                     EditorDragProc moved, void* data, Point* end) {
    const Point press = EditorDragPoint(editor, EditorEventPoint(editor, event));
    *end = press;
    VXWindowRecordTag* window = editor->window;
    if (!window) return false;
    const int32_t id = window->windowID;
    _LPNT pad{};
    int16_t pane = 0;
    // The drag follows the button that pressed: a right-button press ends with its own release.
    const int32_t mode = event->u.mouse.button == 1 ? kVXTrackRight : kVXTrackLeft;
    if (!VXWaitDragBegin(window, mode, slop, slop, &pad, &pane, timeout)) return false;
    Point last = press;
    for (bool going = true; going;) {
        const Point at = EditorDragPoint(editor, Point{int16_t(std::clamp<int32_t>(pad.v, -32767, 32767)),
                                                       int16_t(std::clamp<int32_t>(pad.h, -32767, 32767))});
        if (!Same(at, last)) {
            last = at;
            if (moved) moved(at, data);
        }
        going = VXWaitDragEnd(window, mode, true, &pad);
        if (!VXGetWindowFromId(id)) return false;
        if (!going) {
            const Point final = EditorDragPoint(editor, Point{int16_t(std::clamp<int32_t>(pad.v, -32767, 32767)),
                                                              int16_t(std::clamp<int32_t>(pad.h, -32767, 32767))});
            if (!Same(final, last) && moved) moved(final, data);
            last = final;
        }
    }
    *end = last;
    return true;
}

// ---- Handles ----

int32_t HitTestElementModifier(SymbolEditorRecord* editor, Point point) {
    if (!editor->window) return kNoModifier;
    EditorModifiers m;
    CalcEditorModifiers(editor, &m);
    const int16_t size = CalcModiferBoxSize(&editor->window->graf.geometry);
    Rect box{};
    if (!m.points.empty()) {
        for (int32_t i = 0; i < int32_t(m.points.size()); ++i)
            if (CalcElementModifierRect(m, -1 - i, size, &box) && VXPtInRect(point, &box)) return -1 - i;
        return kNoModifier;
    }
    for (int32_t id = 0; id < kFixedModifierCount; ++id)
        if (CalcElementModifierRect(m, id, size, &box) && VXPtInRect(point, &box)) return id;
    return kNoModifier;
}

void DrawElementModifiers(SymbolEditorRecord* editor) {
    if (!editor->window) return;
    EditorModifiers m;
    CalcEditorModifiers(editor, &m);
    const int16_t size = CalcModiferBoxSize(&editor->window->graf.geometry);
    VXPenNormal();
    QZSetColor(nullptr, 0x07000000, false);
    Rect box{};
    for (int32_t id = -int32_t(m.points.size()); id < kFixedModifierCount; ++id)
        if (CalcElementModifierRect(m, id, size, &box)) VXRectDispatch(&box, 1);
    VXPenNormal();
}

// ---- Resizing ----

namespace {

struct ResizeState {
    SymbolEditorRecord* editor;
    ElementRecord* element;
    ElementRecord* copy;
    Rect work;       // the working rectangle
    Rect start;      // the defining rectangle (an arc's bounds) at the start
    int32_t handle;
    bool refused;
    bool showAngle = false;  // an arc's start or end handle: its angle shows beside it
};

// The angle an arc's start (12) or end (13) handle points at.
int32_t ArcHandleAngle(const ElementRecord* e, int32_t handle) {
    const auto* arc = ElementAs<ArcElement>(e);
    const int32_t angle = handle == 12 ? arc->startAngle : arc->startAngle + arc->arcAngle;
    return ((angle % 360) + 360) % 360;
}

// Maps a point from one rectangle onto another.
Point MapPoint(Point p, const Rect& from, const Rect& to) {
    const auto map = [](int32_t x, int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
        if (a1 == a0) return int16_t(b0);
        return int16_t(b0 + std::lround(double(x - a0) * (b1 - b0) / double(a1 - a0)));
    };
    return Point{map(p.v, from.top, from.bottom, to.top, to.bottom), map(p.h, from.left, from.right, to.left, to.right)};
}

void AdjustFrame(ResizeState* s) {
    ElementRecord* e = s->element;
    Rect work = s->work;
    if (work.top > work.bottom) std::swap(work.top, work.bottom);
    if (work.left > work.right) std::swap(work.left, work.right);
    switch (e->kind) {
        case kElementArc: {
            const Rect from = s->start;
            const Rect& original = s->copy->rect;
            const Point a = MapPoint(Point{original.top, original.left}, from, work);
            const Point b = MapPoint(Point{original.bottom, original.right}, from, work);
            const Rect mapped = Spanned(a, b);
            if (mapped.right - mapped.left > 32000 || mapped.bottom - mapped.top > 32000) return;
            e->rect = mapped;
            break;
        }
        case kElementPoly: {
            const int16_t count = ElementAs<PolyElement>(e)->pointCount;
            const Point* original = PolyPoints(s->copy);
            for (int16_t i = 0; i < count; ++i) PolyPoints(e)[i] = MapPoint(original[i], s->start, work);
            break;
        }
        default: e->rect = work; break;
    }
}

void SetElementModifierPosition(ResizeState* s, Point p) {
    ElementRecord* e = s->element;
    const int32_t h = s->handle;
    if (h >= 0 && h <= 7) {
        Rect& w = s->work;
        if (h == 0 || h == 1 || h == 4) w.top = p.v;
        if (h == 2 || h == 3 || h == 5) w.bottom = p.v;
        if (h == 0 || h == 2 || h == 6) w.left = p.h;
        if (h == 1 || h == 3 || h == 7) w.right = p.h;
        AdjustFrame(s);
    } else if (h == 8) {
        e->points.point1 = p;
    } else if (h == 9) {
        e->points.point2 = p;
    } else if (h == 10) {
        auto* arrow = ElementAs<ArrowElement>(e);
        const int32_t lineLength = CalcLineLength(e->points.point1, e->points.point2);
        arrow->headLength = int16_t(std::min(CalcLineLength(e->points.point2, p), lineLength));
        int32_t angle = SymbolEditorAngle(e->points.point2, p) - SymbolEditorAngle(e->points.point2, e->points.point1);
        angle = ((angle % 360) + 540) % 360 - 180;
        arrow->headAngle = int16_t(std::min(std::abs(angle), 45));
    } else if (h == 11) {
        auto* rr = ElementAs<RoundRectElement>(e);
        const Rect& r = e->rect;
        rr->ovalWidth = int16_t(std::min<int32_t>(r.right - r.left, 2 * std::abs(p.h - r.left)));
        rr->ovalHeight = int16_t(std::min<int32_t>(r.bottom - r.top, 2 * std::abs(p.v - r.top)));
    } else if (h == 12 || h == 13) {
        auto* arc = ElementAs<ArcElement>(e);
        const Rect& r = e->rect;
        const int32_t mouse = SymbolEditorAngle(Point{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)}, p);
        int32_t start = arc->startAngle, end = (arc->startAngle + arc->arcAngle) % 360;
        if (h == 12) start = mouse;
        else end = mouse;
        int32_t sweep = end - start;
        if (sweep < 0) sweep += 360;
        if (sweep == 0) sweep = 360;
        arc->startAngle = int16_t(start);
        arc->arcAngle = int16_t(sweep);
    } else if (h < 0) {
        const int16_t count = ElementAs<PolyElement>(e)->pointCount;
        const int32_t i = -1 - h;
        if (i < count) PolyPoints(e)[i] = p;
        if (i == 0 && IsPolyClosed(s->copy) && count > 1) PolyPoints(e)[count - 1] = p;
    }
    CalcElementBounds(e);
}

bool IsDegenerate(const ElementRecord* e) {
    const Rect& r = e->rect;
    const bool empty = r.bottom <= r.top || r.right <= r.left;
    switch (e->kind) {
        case kElementLine:
        case kElementNode: return Same(e->points.point1, e->points.point2);
        case kElementArrow:
        case kElementRoundRect: return false;
        case kElementArc: {
            if (empty) return true;
            Rect bounds{};
            GetMinimumArcBounds(e, &bounds);
            return bounds.right - bounds.left < 6 && bounds.bottom - bounds.top < 6;
        }
        default: return empty;
    }
}

void DrawResizeFeedback(VXWindowRecordTag*, void* data) {
    auto* s = static_cast<ResizeState*>(data);
    VXPenNormal();
    const double saved = VXSetOpacity(kFeedbackOpacity);
    DrawElement(s->element, GetElementListImageList(s->editor->elements), false, false);
    VXSetOpacity(saved);
    if (s->showAngle) DrawArcAngle(s->element, ArcHandleAngle(s->element, s->handle));
}

void MoveResizeHandle(Point p, void* data) {
    auto* s = static_cast<ResizeState*>(data);
    SetElementModifierPosition(s, p);
    if (s->editor->window) VXUpdateOverlay(s->editor->window);
}

}  // namespace

void ResizeElement(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t handle) {
    ElementRecord* e = editor->selectedElement;
    if (!e || !editor->window) return;
    ImageList* images = GetElementListImageList(editor->elements);
    ElementRecord* copy = DuplicateElement(e, false, images, images);
    if (!copy) return;
    ResizeState s{editor, e, copy, e->rect, e->rect, handle, false};
    if (e->kind == kElementArc) {
        Rect bounds{};
        GetMinimumArcBounds(e, &bounds);
        VXInsetRect(&bounds, -1, -1);
        Rect clipped{};
        if (VXSectRect(&bounds, &e->rect, &clipped)) bounds = clipped;
        s.work = s.start = bounds;
        s.showAngle = handle == 12 || handle == 13;
    }
    editor->constructed = e;
    editor->dragState |= 2;
    const Rect before = e->bounds;
    InvalEditorView(editor, before);
    StartSymbolEditorUndoCollection(editor, kSymUndoReshape);
    CollectUndoSwapSymbolEditorItem(editor, kSymUndoItemElement, e);
    VXBeginOverlayForPanes(editor->window, kVXOverlayMainPane, DrawResizeFeedback, &s);
    Point end{};
    const bool moved = TrackEditorDrag(editor, event, 3, -1, MoveResizeHandle, &s, &end);
    if (editor->window) VXEndOverlay(editor->window);
    if (moved) {
        SetEditModified(editor, true);
        CalcElementBounds(e);
        if (IsDegenerate(e)) {
            // The shape as it was; a pin keeps its own pin data and numbers (the copy has none).
            const bool pin = e->kind == kElementNode;
            const Handle data = pin ? ElementAs<NodeElement>(e)->pinData : nullptr;
            const Handle numbers = pin ? ElementAs<NodeElement>(e)->pinNumbers : nullptr;
            std::memcpy(reinterpret_cast<char*>(e) + sizeof(ElementRecord*),
                        reinterpret_cast<const char*>(copy) + sizeof(ElementRecord*),
                        ElementSize(copy) - sizeof(ElementRecord*));
            if (pin) {
                ElementAs<NodeElement>(e)->pinData = data;
                ElementAs<NodeElement>(e)->pinNumbers = numbers;
            }
            VXBeep();
            AbortSymbolEditorUndoCollection(editor);
        } else {
            Rect area = before;
            AddEditorArea(&area, e->bounds);
            area = GrownEditorRect(area, handle == 12 || handle == 13 ? 25 : 4);
            AddEditorArea(&area, s.work);
            InvalEditorView(editor, area);
            CollectUndoInvalSymbolEditorRect(editor, area);
            AcceptSymbolEditorUndoCollection(editor);
        }
    } else {
        AbortSymbolEditorUndoCollection(editor);
    }
    InvalEditorView(editor, GrownEditorRect(before, 4));
    DestroyElement(copy, images);
    editor->constructed = nullptr;
    editor->dragState &= uint8_t(~2u);
    PrepSymbolEditorSelection(editor);
}

namespace {

struct FrameResize {
    SymbolEditorRecord* editor;
    Point anchor;
    Point minimum;  // signed extents
    Rect box;
};

Rect FrameBox(const FrameResize& f, Point p) {
    auto extent = [](int32_t d, int32_t minimum) {
        if (minimum > 0) return std::max(d, minimum);
        return std::min(d, minimum);
    };
    const int32_t dv = extent(p.v - f.anchor.v, f.minimum.v), dh = extent(p.h - f.anchor.h, f.minimum.h);
    return Spanned(f.anchor, Offset(f.anchor, dv, dh));
}

void DrawFrameResize(VXWindowRecordTag*, void* data) {
    auto* f = static_cast<FrameResize*>(data);
    VXPenNormal();
    QZSetColor(nullptr, 0x07000000, false);
    VXFrameRect(&f->box);
}

void MoveFrameResize(Point p, void* data) {
    auto* f = static_cast<FrameResize*>(data);
    f->box = FrameBox(*f, p);
    if (f->editor->window) VXUpdateOverlay(f->editor->window);
}

}  // namespace

void ResizeSymbolEditTextFrame(SymbolEditorRecord* editor, const VXEventRecord* event, int32_t) {
    TextFrameHandle frame = editor->selectedFrame;
    if (!frame || !editor->window) return;
    FrameResize f{editor, {}, {11, 11}, (*frame)->bounds};
    GetTextFrameAnchorPoint(frame, false, &f.anchor);
    const uint16_t rotation = (*frame)->flags & kFrameFlagRotation;
    // The minimum extent turns with the frame.
    if (rotation == 1) f.minimum = Point{11, -11};
    else if (rotation == 2) f.minimum = Point{-11, -11};
    else if (rotation == 3) f.minimum = Point{-11, 11};
    Point size{};
    GetTextFrameSizePoint(frame, &size);
    f.box = Spanned(f.anchor, size);
    const Rect start = f.box;
    const Rect before = (*frame)->bounds;
    (*frame)->flags &= uint16_t(~kFrameFlagSelected);
    editor->selectedFrame = nullptr;
    InvalEditorView(editor, before);
    VXBeginOverlayForPanes(editor->window, kVXOverlayMainPane, DrawFrameResize, &f);
    Point end{};
    TrackEditorDrag(editor, event, 1, -1, MoveFrameResize, &f, &end);
    if (editor->window) VXEndOverlay(editor->window);
    if (f.box.top != start.top || f.box.left != start.left || f.box.bottom != start.bottom || f.box.right != start.right) {
        SetEditModified(editor, true);
        StartSymbolEditorUndoCollection(editor, kSymUndoResize);
        CollectUndoSwapSymbolEditorItem(editor, kSymUndoItemFrame, frame);
        const bool turned = rotation == 1 || rotation == 3;
        const int32_t width = (turned ? f.box.bottom - f.box.top : f.box.right - f.box.left) - 4;
        CalcTextFrameBounds(editor->window, frame, true, int16_t(std::max(width, 1)));
        Rect area = before;
        AddEditorArea(&area, (*frame)->bounds);
        InvalEditorView(editor, area);
        CollectUndoInvalSymbolEditorRect(editor, area);
        AcceptSymbolEditorUndoCollection(editor);
    }
    (*frame)->flags |= kFrameFlagSelected;
    PrepSymbolEditorSelection(editor);
    InvalEditorView(editor, (*frame)->bounds);
}

// ---- Elements by dragging ----

void CalcTriangleCorners(int16_t dv, int16_t dh, Point corners[2]) {
    int32_t v = dv, h = dh;
    if (v && h) {
        const int32_t av = std::abs(v), ah = std::abs(h);
        if (std::max(av, ah) / std::min(av, ah) >= 3) {
            if (av < ah) v = 0;
            else h = 0;
        }
    }
    if (!h) {
        corners[0] = Point{int16_t(v), int16_t(-v)};
        corners[1] = Point{int16_t(v), int16_t(v)};
    } else if (!v) {
        corners[0] = Point{int16_t(-h), int16_t(h)};
        corners[1] = Point{int16_t(h), int16_t(h)};
    } else if ((v > 0) == (h > 0)) {
        corners[0] = Point{int16_t(2 * v), 0};
        corners[1] = Point{0, int16_t(2 * v)};
    } else {
        corners[0] = Point{0, int16_t(2 * h)};
        corners[1] = Point{int16_t(-2 * h), 0};
    }
}

ElementRecord* CalcElementFromMouse(const SymbolEditorRecord* editor, uint16_t tool, Point press, Point point) {
    switch (tool) {
        case kElementLine: return BuildSymbolEditorElement(editor, kElementLine, press, point, 0, 0);
        case kElementArrow: {
            int16_t length = 0, angle = 0;
            GetDefaultArrow(editor->penWidth, &length, &angle);
            return BuildSymbolEditorElement(editor, kElementArrow, press, point, length, angle);
        }
        case kElementRoundRect: {
            const Rect r = Spanned(press, point);
            return BuildSymbolEditorElement(editor, kElementRoundRect, Point{r.top, r.left}, Point{r.bottom, r.right},
                                       kCornerSize, kCornerSize);
        }
        case kElementArc: {
            // A quarter of the ellipse centred on the point's row and the press point's column.
            const Point centre{point.v, press.h};
            const auto rv = int16_t(std::abs(press.v - point.v)), rh = int16_t(std::abs(point.h - press.h));
            const bool right = point.h >= press.h, below = point.v >= press.v;
            const int16_t start = right ? (below ? 0 : 90) : (below ? 270 : 180);
            return BuildSymbolEditorElement(editor, kElementArc, Offset(centre, -rv, -rh), Offset(centre, rv, rh), start, 90);
        }
        case kSymEditToolTriangle: {
            Point corners[2];
            CalcTriangleCorners(int16_t(point.v - press.v), int16_t(point.h - press.h), corners);
            const std::vector<Point> points{press, Offset(press, corners[0].v, corners[0].h),
                                            Offset(press, corners[1].v, corners[1].h), press};
            return BuildPoly(points, editor, editor->fill);
        }
        default: {
            const Rect r = Spanned(press, point);
            return BuildSymbolEditorElement(editor, uint8_t(tool), Point{r.top, r.left}, Point{r.bottom, r.right}, 0, 0);
        }
    }
}

namespace {

struct CreateState {
    SymbolEditorRecord* editor;
    uint16_t tool;
    Point press;
    Point point;
    ElementRecord* element;
};

void DrawCreateFeedback(VXWindowRecordTag*, void* data) {
    auto* s = static_cast<CreateState*>(data);
    if (!s->element) return;
    VXPenNormal();
    DrawElement(s->element, GetElementListImageList(s->editor->elements), false, false);
}

void MoveCreate(Point p, void* data) {
    auto* s = static_cast<CreateState*>(data);
    s->point = p;
    if (ElementRecord* e = CalcElementFromMouse(s->editor, s->tool, s->press, p)) {
        if (s->element) DestroyElement(s->element, nullptr);
        s->element = e;
    }
    if (s->editor->window) VXUpdateOverlay(s->editor->window);
}

}  // namespace

void DoCreateElement(SymbolEditorRecord* editor, const VXEventRecord* event) {
    if (!editor->window) return;
    CreateState s{editor, editor->tool, EditorDragPoint(editor, EditorEventPoint(editor, event)), {}, nullptr};
    s.point = s.press;
    s.element = CalcElementFromMouse(editor, s.tool, s.press, s.press);
    VXBeginOverlayForPanes(editor->window, kVXOverlayMainPane, DrawCreateFeedback, &s);
    Point end{};
    TrackEditorDrag(editor, event, 1, -1, MoveCreate, &s, &end);
    if (editor->window) VXEndOverlay(editor->window);
    ElementRecord* e = s.element;
    if (!e) return;
    if (Same(s.point, s.press)) {
        DestroyElement(e, nullptr);
        return;
    }
    CalcElementBounds(e);
    // The element made is the undoable action.
    SetEditModified(editor, false);
    StartSymbolEditorUndoCollection(editor, kSymUndoCreation);
    LLPush(editor->elements, e);
    CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, e, true);
    InvalEditorView(editor, e->bounds);
    CollectUndoInvalSymbolEditorRect(editor, GrownEditorRect(e->bounds, 2));
    AcceptSymbolEditorUndoCollection(editor);
}

// ---- Polygons ----

namespace {

void DrawPolyBand(VXWindowRecordTag*, void* data) {
    auto* editor = static_cast<SymbolEditorRecord*>(data);
    ElementRecord* poly = editor->constructed;
    if (!poly || poly->kind != kElementPoly) return;
    const int16_t count = ElementAs<PolyElement>(poly)->pointCount;
    if (count < 1) return;
    const Point last = PolyPoints(poly)[count - 1];
    VXPenNormal();
    VXSetPenWidth(std::max<int32_t>(1, poly->penWidth));
    QZSetColor(nullptr, 0x07000000, false);
    const double saved = VXSetOpacity(kRubberBandOpacity);
    VXMoveTo(last.h, last.v);
    VXLineTo(editor->polyBandMouse.h, editor->polyBandMouse.v);
    VXSetOpacity(saved);
    VXPenNormal();
}

std::vector<Point> PointsOf(const ElementRecord* poly) {
    return std::vector<Point>(PolyPoints(poly), PolyPoints(poly) + ElementAs<PolyElement>(poly)->pointCount);
}

bool Near(Point a, Point b) { return std::abs(a.v - b.v) <= 2 && std::abs(a.h - b.h) <= 2; }

}  // namespace

void ShowPolyCreation(SymbolEditorRecord* editor, Point mouse) {
    if (!editor->window || !editor->constructed) return;
    const bool inside = VXPtInRect(mouse, &kSymbolEditorSurface);
    if (!inside) {
        EndSymbolEditorPolyBand(editor);
        return;
    }
    editor->polyBandMouse = EditorDragPoint(editor, mouse);
    if (!editor->polyBandShown) {
        VXBeginOverlayForPanes(editor->window, kVXOverlayMainPane, DrawPolyBand, editor);
        editor->polyBandShown = true;
    } else {
        VXUpdateOverlay(editor->window);
    }
}

void CreatePolyClick(SymbolEditorRecord* editor, const VXEventRecord* event) {
    Point p = EditorEventPoint(editor, event);
    if (!VXPtInRect(p, &kSymbolEditorSurface)) return;
    GetSymbolEditorGridPoint(editor, &p);
    ElementRecord* poly = editor->constructed;
    if (!poly || poly->kind != kElementPoly) {
        // The polygon is the undoable action once it is finished.
        SetEditModified(editor, false);
        editor->constructed = BuildPoly({p}, editor, editor->fill);
        return;
    }
    std::vector<Point> points = PointsOf(poly);
    if (!points.empty() && Near(points.back(), p)) {
        FinishCreatePoly(editor, true);
        return;
    }
    points.push_back(p);
    ElementRecord* grown = BuildPoly(points, editor, (poly->flags & kElementFilled) != 0);
    if (!grown) return;
    DestroyElement(poly, nullptr);
    editor->constructed = grown;
    if (points.size() > 1 && Near(points.front(), p)) {
        FinishCreatePoly(editor, true);
        return;
    }
    CalcElementBounds(grown);
    InvalEditorView(editor, GrownEditorRect(grown->bounds, 2));
}

// ---- Pins ----

namespace {

// A pin from start (its connection point) to end with the next link index, new pin data and the
// next free number of the current pin set ("*" without a section).
ElementRecord* BuildOneNode(SymbolEditorRecord* editor, Point start, Point end, BitArray* cache, char* number) {
    ElementRecord* e = BuildNodeElement(start, end, 1, 0, false, 0, true, editor->frameColor, false, 0);
    if (!e) return nullptr;
    auto* pin = ElementAs<NodeElement>(e);
    pin->serial = uint16_t(editor->linkedPinCount++);
    pin->pinData = CreateNewPinData();
    if (editor->section) std::snprintf(number, kPinTextSize, "%d", int(GetUniquePinNumber(editor, cache, editor->pinSet, e, true)));
    else std::snprintf(number, kPinTextSize, "*");
    const NodePinEditor context = SymbolEditorPinContext(editor);
    SetNodesPinNumber(&context, &pin->pinNumbers, 0, editor->pinSet, number);
    return e;
}

// Appends the pin to the drawing (within the collection of the pins made).
void InstallOneNode(SymbolEditorRecord* editor, ElementRecord* pin, Rect* area) {
    LLAppend(editor->elements, pin);
    CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, pin, true);
    SetEditModified(editor, false);
    CalcElementBounds(pin);
    AddEditorArea(area, pin->bounds);
}

// The texts of the pins made (their numbers and names), for the undo of the pins.
void CollectPinTexts(SymbolEditorRecord* editor, const std::vector<ElementRecord*>& pins) {
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts))
        if (t->kind >= kTextKindPinNumber &&
            std::find(pins.begin(), pins.end(), reinterpret_cast<ElementRecord*>(t->owner)) != pins.end())
            CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemText, t, true);
}

// The pins made are the undoable action.
void AcceptNodes(SymbolEditorRecord* editor, const std::vector<ElementRecord*>& pins, const Rect& area) {
    CollectPinTexts(editor, pins);
    if (!VXEmptyRect(&area)) CollectUndoInvalSymbolEditorRect(editor, GrownEditorRect(area, 2));
    AcceptSymbolEditorUndoCollection(editor);
}

// Every pin number of the other sections made unique.
void UniqueInOtherSections(SymbolEditorRecord* editor, const std::vector<ElementRecord*>& pins, Rect* area) {
    if (editor->kind != kLibItemComponent) return;
    SetUniquePinNumbers(editor, pins, nullptr, true, area);
}

struct NodeFeedback {
    SymbolEditorRecord* editor;
    Point start;
    Point end;
    bool row;
};

void DrawNodeFeedback(VXWindowRecordTag*, void* data) {
    auto* f = static_cast<NodeFeedback*>(data);
    VXPenNormal();
    QZSetColor(nullptr, 0x07000000, false);
    if (f->row) {
        const Rect r = Spanned(f->start, f->end);
        VXFrameRect(&r);
    } else {
        VXMoveTo(f->start.h, f->start.v);
        VXLineTo(f->end.h, f->end.v);
    }
}

void MoveNodeFeedback(Point p, void* data) {
    auto* f = static_cast<NodeFeedback*>(data);
    f->end = p;
    if (f->editor->window) VXUpdateOverlay(f->editor->window);
}

}  // namespace

void FinishCreateNode(SymbolEditorRecord* editor, Point start, Point end, bool row) {
    Rect area{};
    BitArray cache = nullptr;
    char number[kPinTextSize];
    if (!row) {
        if (Same(start, end)) return;
        ElementRecord* pin = BuildOneNode(editor, start, end, &cache, number);
        if (cache) MemFree(cache);
        if (!pin) return;
        if (!EditSymbolEditorPinInfo(editor, pin, nullptr, 1)) {  // as a new pin
            // Cancelled: the link index goes back with the pin.
            --editor->linkedPinCount;
            DestroyElement(pin, nullptr);
            return;
        }
        StartSymbolEditorUndoCollection(editor, kSymUndoCreation);
        InstallOneNode(editor, pin, &area);
        UniqueInOtherSections(editor, {pin}, &area);
        AcceptNodes(editor, {pin}, area);
        InvalEditorView(editor, area);
        return;
    }
    const Rect r = Spanned(start, end);
    const int32_t width = r.right - r.left, height = r.bottom - r.top;
    if (!width && !height) return;
    const int32_t grid = std::max<int32_t>(1, editor->grid);
    const bool column = height >= width;
    // A row of pins of no length makes nothing.
    if (column ? width == 0 : height == 0) {
        VXBeep();
        return;
    }
    const int32_t count = (column ? height : width) / grid + 1;
    const int32_t step = grid * ((column ? end.v < start.v : end.h < start.h) ? -1 : 1);
    std::vector<ElementRecord*> made;
    StartSymbolEditorUndoCollection(editor, kSymUndoCreation);
    for (int32_t i = 0; i < count; ++i) {
        Point a = start, b = end;
        if (column) {
            a.v = b.v = int16_t(start.v + i * step);
        } else {
            a.h = b.h = int16_t(start.h + i * step);
        }
        ElementRecord* pin = BuildOneNode(editor, a, b, &cache, number);
        if (!pin) break;
        InstallOneNode(editor, pin, &area);
        made.push_back(pin);
        if (TextRecord* text = CreateSymbolEditorText(editor->texts, editor->styleList, editor->stringBlock,
                                                      editor->window, kTextKindPinNumber, a, number)) {
            text->owner = reinterpret_cast<intptr_t>(pin);
            AutoPositionPinText(text, editor->stringBlock, pin->points.point2, Node_Orient(pin), nullptr, editor->window);
            AddEditorArea(&area, text->bounds);
        }
    }
    if (cache) MemFree(cache);
    if (!made.empty()) UniqueInOtherSections(editor, made, &area);
    AcceptNodes(editor, made, area);
    InvalEditorView(editor, area);
}

void DoCreateNode(SymbolEditorRecord* editor, const VXEventRecord* event) {
    if (!editor->window) return;
    const bool row = event->u.mouse.option && editor->grid >= 6;
    const bool savedLock = editor->gridLock;
    if (row) editor->gridLock = true;
    NodeFeedback f{editor, EditorDragPoint(editor, EditorEventPoint(editor, event)), {}, row};
    f.end = f.start;
    VXBeginOverlayForPanes(editor->window, kVXOverlayMainPane, DrawNodeFeedback, &f);
    Point end{};
    TrackEditorDrag(editor, event, 1, 0.3, MoveNodeFeedback, &f, &end);
    if (editor->window) VXEndOverlay(editor->window);
    editor->gridLock = savedLock;
    // A click without a drag makes a pin all the same: from the clicked point (where wires
    // connect) to the right, as long as a new wire symbol's pin, or the next whole grid step.
    if (!row && f.end.v == f.start.v && f.end.h == f.start.h) {
        int32_t length = kNewPinLength;
        if (editor->gridLock && editor->grid > 1) length = (length + editor->grid - 1) / editor->grid * editor->grid;
        f.end.h = int16_t(std::min<int32_t>(f.start.h + length, INT16_MAX));
    }
    FinishCreateNode(editor, f.start, f.end, row);
}

}  // namespace plexa
