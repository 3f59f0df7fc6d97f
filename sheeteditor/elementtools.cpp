// The graphic element tools of a sheet window; see elementtools.h.
#include "sheeteditor/elementtools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/hittest.h"
#include "graphics/pixels.h"
#include "graphics/regions.h"
#include "graphics/textline.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/sheetselected.h"
#include "model/themes.h"
#include "sheeteditor/elementdefaults.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/wiretracking.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// Reasons given to SetSheetModifiedStatus: content and drawing changed, undo forgotten.
constexpr int32_t kElementChanged = 0x28;
// An element made: the drawing changed (the element is the undoable action).
constexpr int32_t kElementMade = 0x08;
// The last click of a polygon ends it when it falls this near its last (or first) vertex.
constexpr int32_t kPolyEndSlop = 2;
// The overlay of a reshape is drawn at this opacity.
constexpr double kReshapeOpacity = 0.66;
// An arc's frame may not grow past this.
constexpr int32_t kMaxArcFrame = 32000;

int16_t Clamp16(int32_t value) { return int16_t(std::clamp<int32_t>(value, -32767, 32767)); }

bool SamePoint(Point a, Point b) { return a.v == b.v && a.h == b.h; }

bool Near(Point a, Point b, int32_t slop) {
    return std::abs(a.h - b.h) <= slop && std::abs(a.v - b.v) <= slop;
}

bool IsLineKind(uint8_t kind) { return kind == kElementLine || kind == kElementArrow; }

int32_t PolyCount(const ElementRecord* e) { return ElementAs<PolyElement>(e)->pointCount; }

// The pad point of a mouse event (the sheet window gives it in the short point; the long one
// stays the window's, for the toolkit's tracking).
Point EventPoint(const VXEventRecord* event) { return Point{event->u.mouse.v, event->u.mouse.h}; }

// A new polygon with the head and first `keep` vertices of `from` and room for `count`.
ElementRecord* CopyPolyWithCount(const ElementRecord* from, int32_t keep, int32_t count) {
    ElementRecord* e = BuildPolyElement(int16_t(count), nullptr, from->penWidth, false, false, 0,
                                        false, 0, false);
    if (!e) return nullptr;
    ElementRecord* link = e->next;
    std::memcpy(e, from, kElementPolyHeadSize);
    e->next = link;
    ElementAs<PolyElement>(e)->pointCount = int16_t(count);
    std::memcpy(PolyPoints(e), PolyPoints(from), 4 * size_t(std::min(keep, count)));
    return e;
}

// ---- The creation and reshape overlays ----

struct OverlayData {
    ElementDragState* state;
    int32_t handle;  // the handle being dragged, -1 while creating
    double opacity;
};

void DrawElementOverlay(VXWindowRecordTag*, void* data) {
    auto* overlay = static_cast<OverlayData*>(data);
    ElementDragState* state = overlay->state;
    if (!state || !state->element) return;
    const double before = VXSetOpacity(overlay->opacity);
    DrawElement(state->element, state->images, true, false);
    (void)VXSetOpacity(before);
    if (overlay->handle != kModArcStart && overlay->handle != kModArcEnd) return;
    if (state->element->kind != kElementArc) return;
    const auto* arc = ElementAs<ArcElement>(state->element);
    int32_t angle = arc->startAngle;
    if (overlay->handle == kModArcEnd) angle += arc->arcAngle;
    angle = ((angle % 360) + 360) % 360;
    DrawArcAngleDegrees(state, angle, Point{});
}

// Follows the held button from `start`: each snapped point that differs from the last one goes to
// `step`, and the overlay is redrawn. Returns the last point.
template <class Step>
Point TrackElementDrag(SheetRecord* sheet, const VXEventRecord* event, Point start,
                       OverlayData* overlay, Step step) {
    VXWindowRecordTag* window = sheet->window;
    const int32_t id = window->windowID;
    const int32_t mode = event && event->u.mouse.button == 1 ? kVXTrackRight : kVXTrackLeft;
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawElementOverlay, overlay);
    Point last = start;
    for (bool going = true; going;) {
        _LPNT pad{};
        going = VXWaitDragEnd(window, mode, true, &pad);
        if (!VXGetWindowFromId(id)) return last;
        Point p{Clamp16(pad.v), Clamp16(pad.h)};
        SetRulerGuidePositions(window, p.h, p.v);
        GridPointLock(&p);
        if (SamePoint(p, last)) continue;
        last = p;
        step(p);
        VXUpdateOverlay(window);
    }
    VXEndOverlay(window);
    return last;
}

// ---- Geometry of the handles ----

// Maps a rectangle from one frame onto another.
Rect MapRect(const Rect& r, const Rect& from, const Rect& to) {
    Point corners[2] = {{r.top, r.left}, {r.bottom, r.right}};
    VXMapPoints(corners, 2, &from, &to);
    Rect out;
    VXPt2Rect(corners[0], corners[1], &out);
    return out;
}

Rect WidenedIfEmpty(Rect r) {
    if (r.right <= r.left) r.right = int16_t(r.left + 1);
    if (r.bottom <= r.top) r.bottom = int16_t(r.top + 1);
    return r;
}

int32_t NormaliseDegrees(int32_t a) { return ((a % 360) + 360) % 360; }

// Exchanges everything but the list link of two records of one size (what each owns goes with
// its content).
void SwapElementContent(ElementRecord* a, ElementRecord* b) {
    const size_t size = ElementSize(a) - sizeof(void*);
    char* x = reinterpret_cast<char*>(a) + sizeof(void*);
    char* y = reinterpret_cast<char*>(b) + sizeof(void*);
    std::swap_ranges(x, x + size, y);
}

}  // namespace

// ---- Creation ----

void RecalcElement(ElementDragState* state, Point point) {
    ElementRecord* e = state->element;
    const Point a = state->anchor;
    switch (e->kind) {
        case kElementRect:
        case kElementOval:
        case kElementRoundRect:
        case kElementImage:
            VXPt2Rect(a, point, &e->rect);
            break;
        case kElementLine:
        case kElementArrow:
            e->points = {a, point};
            break;
        case kElementArc: {
            // A quarter of the ellipse through both points: the anchor sits at the top or bottom
            // of the ellipse and the point at its side.
            const bool right = point.h >= a.h, below = point.v >= a.v;
            auto* arc = ElementAs<ArcElement>(e);
            arc->startAngle = int16_t(right ? (below ? 0 : 90) : (below ? 270 : 180));
            arc->arcAngle = 90;
            const int32_t farH = 2 * a.h - point.h, farV = 2 * point.v - a.v;
            e->rect.left = Clamp16(right ? farH : point.h);
            e->rect.right = Clamp16(right ? point.h : farH);
            e->rect.top = Clamp16(below ? a.v : farV);
            e->rect.bottom = Clamp16(below ? farV : a.v);
            break;
        }
        default: return;
    }
    CalcElementBounds(e);
}

void DragCreateElement(SheetRecord* sheet, VXEventRecord* event) {
    if (!sheet || !sheet->window || !event) return;
    const uint16_t kind = sheet->selectedTool;
    if (kind < kElementLine || kind > kElementArc) return;
    SheetWindowScope scope(sheet->window);
    Point anchor = EventPoint(event);
    GridPointLock(&anchor);

    const ElementDefaults d = GetSheetElementDefaults(sheet);
    const uint16_t defaults = d.flags;
    ElementParamRecord param{};
    param.kind = uint8_t(kind);
    param.penWidth = int16_t(d.penWidth);
    param.filled = !IsLineKind(uint8_t(kind)) && (defaults & kElementFilled);
    param.point1 = param.point2 = anchor;
    param.frameColor = d.frameColor;
    param.fillColor = d.fillColor;
    param.flags = uint16_t(defaults & ~kElementFilled & ~kElementSelected);
    if (IsLineKind(uint8_t(kind))) param.flags &= uint16_t(~kElementOwnFillColor);
    const bool option = event->u.mouse.option || (event->u.mouse.modifiers & kVXModOption);
    if (!option && !(sheet->stored.flags & kSheetFlagHideElements)) param.flags |= kElementHideable;
    if (kind == kElementRoundRect) param.extra[0] = param.extra[1] = kNewRoundRectCorner;
    if (kind == kElementArrow) GetDefaultArrow(param.penWidth, &param.extra[0], &param.extra[1]);
    ElementRecord* e = BuildElement(&param);
    if (!e) {
        VXBeep();
        return;
    }
    ElementDragState state;
    state.element = e;
    state.anchor = anchor;
    state.images = sheet->imageList;
    RecalcElement(&state, anchor);

    OverlayData overlay{&state, -1, 1.0};
    const int32_t id = sheet->window->windowID;
    const Point last = TrackElementDrag(sheet, event, anchor, &overlay,
                                        [&](Point p) { RecalcElement(&state, p); });
    if (SamePoint(last, anchor) || !VXGetWindowFromId(id)) {
        DestroyElement(e, sheet->imageList);
        return;
    }
    CalcElementBounds(e);
    Rect area = e->bounds;
    VXInsetRect(&area, -5, -5);
    InvalSheetView(sheet, &area);
    ClearSheetUndoAction(sheet);
    StartSheetUndoCollection(sheet, kUndoActionCreation);
    LLPush(sheet->elementList, e);
    CollectUndoSheetItemExistance(sheet, kUndoItemElement, e, 1);
    CollectUndoInvalSheetRect(sheet, &area);
    SetSheetModifiedStatus(sheet, kElementMade);
    AcceptSheetUndoCollection(sheet);
}

bool AddSheetPolyClick(SheetRecord* sheet, Point point) {
    if (!sheet || !sheet->window) return false;
    Rect view{};
    VXGetViewRect(sheet->window, &view);
    if (!VXPtInRect(point, &view)) return false;
    SheetWindowScope scope(sheet->window);
    GridPointLock(&point);
    ElementRecord* poly = sheet->elementInCreation;
    if (!poly) {
        // The polygon becomes the undoable action when it is finished; until then the sheet
        // shows it as a change to come.
        BeginSheetUndoEdit(sheet);
        ReportSheetEditChange(sheet, kElementMade);
        poly = BuildPolyElement(1, nullptr, int16_t(GetSheetElementDefaults(sheet).penWidth), false, false, 0,
                                false, 0, false);
        if (!poly) {
            VXBeep();
            return false;
        }
        PolyPoints(poly)[0] = point;
        CalcElementBounds(poly);
        sheet->elementInCreation = poly;
        return false;
    }
    InvalidateMouseTrackingImage(sheet);
    const int32_t count = PolyCount(poly);
    if (count > 0 && Near(point, PolyPoints(poly)[count - 1], kPolyEndSlop)) {
        // A second click on the last vertex ends the polygon open.
        return true;
    }
    ElementRecord* grown = CopyPolyWithCount(poly, count, count + 1);
    if (!grown) {
        VXBeep();
        return false;
    }
    PolyPoints(grown)[count] = point;
    const Rect before = poly->bounds;
    DestroyElement(poly, sheet->imageList);
    sheet->elementInCreation = grown;
    if (count > 0 && Near(point, PolyPoints(grown)[0], kPolyEndSlop)) {
        PolyPoints(grown)[count] = PolyPoints(grown)[0];
        return true;
    }
    CalcElementBounds(grown);
    Rect area;
    VXUnionRect(&before, &grown->bounds, &area);
    InvalSheetView(sheet, &area);
    return false;
}

void FinishCreateSheetPoly(SheetRecord* sheet, bool select) {
    if (!sheet) return;
    ElementRecord* poly = sheet->elementInCreation;
    if (!poly) return;
    sheet->elementInCreation = nullptr;
    CalcElementBounds(poly);
    CloseTrackingOverlay();
    InvalSheetView(sheet, &poly->bounds);
    const int32_t count = PolyCount(poly);
    ElementRecord* kept = nullptr;
    if (count == 2) {
        const Point a = PolyPoints(poly)[0], b = PolyPoints(poly)[1];
        if (!SamePoint(a, b)) {
            ElementParamRecord param{};
            param.kind = kElementLine;
            param.penWidth = poly->penWidth;
            param.point1 = a;
            param.point2 = b;
            param.flags = uint16_t(poly->flags & ~kElementFilled);
            param.frameColor = poly->frameColor;
            kept = BuildElement(&param);
            if (kept) CalcElementBounds(kept);
        }
        DestroyElement(poly, sheet->imageList);
    } else if (count < 2) {
        DestroyElement(poly, sheet->imageList);
    } else {
        kept = poly;
    }
    if (!kept) return;
    StartSheetUndoEditCollection(sheet, kUndoActionCreation);
    LLPush(sheet->elementList, kept);
    CollectUndoSheetItemExistance(sheet, kUndoItemElement, kept, 1);
    CollectUndoInvalSheetRect(sheet, &kept->bounds);
    SetSheetModifiedStatus(sheet, kElementMade);
    AcceptSheetUndoCollection(sheet);
    if (select) {
        kept->flags |= kElementSelected;
        NoteSheetItemSelected(sheet, SheetItemKind::kElement, kept);
        (void)SetupElementResize(sheet, kept);  // the handles show when the sheet can show them
    }
    InvalSheetView(sheet, &kept->bounds);
}

// ---- Reshaping ----

void ModifyFrame(ElementDragState* state, int32_t id, Point point) {
    ElementRecord* e = state->element;
    const ElementRecord* was = state->original;
    const Rect old = ElementFrame(was);
    Point tl{old.top, old.left}, br{old.bottom, old.right};
    switch (id) {
        case kModTopLeft: tl = point; break;
        case kModTopRight: tl.v = point.v; br.h = point.h; break;
        case kModBottomLeft: br.v = point.v; tl.h = point.h; break;
        case kModBottomRight: br = point; break;
        case kModTop: tl.v = point.v; break;
        case kModBottom: br.v = point.v; break;
        case kModLeft: tl.h = point.h; break;
        case kModRight: br.h = point.h; break;
        default: return;
    }
    Rect frame;
    VXPt2Rect(tl, br, &frame);
    switch (e->kind) {
        case kElementRect:
        case kElementOval:
        case kElementRoundRect:
        case kElementImage:
            e->rect = frame;
            break;
        case kElementArc: {
            const Rect from = WidenedIfEmpty(old), to = WidenedIfEmpty(frame);
            const Rect mapped = MapRect(was->rect, from, to);
            const int32_t w = mapped.right - mapped.left, h = mapped.bottom - mapped.top;
            if (w > kMaxArcFrame || h > kMaxArcFrame || VXEmptyRect(&mapped)) return;
            e->rect = mapped;
            break;
        }
        case kElementPoly: {
            const int32_t count = PolyCount(was);
            if (count == 0 || VXEmptyRect(&old) || VXEmptyRect(&frame)) return;
            std::memcpy(PolyPoints(e), PolyPoints(was), 4 * size_t(count));
            VXMapPoints(PolyPoints(e), count, &old, &frame);
            break;
        }
        default: return;
    }
    CalcElementBounds(e);
}

void ModifyArrowHead(ElementDragState* state, Point point) {
    ElementRecord* e = state->element;
    if (e->kind != kElementArrow) return;
    const Point tip = e->points.point2, tail = e->points.point1;
    int32_t between = std::abs(CalcLineAngle(tip, tail) - CalcLineAngle(tip, point)) % 360;
    if (between > 180) between = 360 - between;
    auto* arrow = ElementAs<ArrowElement>(e);
    arrow->headAngle = int16_t(std::min(between, 45));
    arrow->headLength =
        int16_t(std::min(CalcLineLength(tip, point), CalcLineLength(tip, tail)));
    CalcElementBounds(e);
}

void ModifyRoundCorner(ElementDragState* state, Point point) {
    ElementRecord* e = state->element;
    if (e->kind != kElementRoundRect) return;
    const Rect& r = e->rect;
    auto* round = ElementAs<RoundRectElement>(e);
    round->ovalWidth = int16_t(std::clamp(2 * (point.h - r.left), 0, r.right - r.left));
    round->ovalHeight = int16_t(std::clamp(2 * (point.v - r.top), 0, r.bottom - r.top));
    CalcElementBounds(e);
}

void ModifyAngle(ElementDragState* state, int32_t id, Point point) {
    ElementRecord* e = state->element;
    if (e->kind != kElementArc) return;
    auto* arc = ElementAs<ArcElement>(e);
    int32_t s = NormaliseDegrees(arc->startAngle);
    int32_t end = NormaliseDegrees(arc->startAngle + arc->arcAngle);
    const int32_t angle = NormaliseDegrees(AngleFromPoint(&e->rect, point));
    if (id == kModArcStart) s = angle;
    else end = angle;
    int32_t extent = end - s;
    if (s > end) extent += 360;
    if (extent == 0) extent = 360;
    arc->startAngle = int16_t(s);
    arc->arcAngle = int16_t(extent);
    CalcElementBounds(e);
}

void ModifyElement(ElementDragState* state, int32_t id, Point point) {
    ElementRecord* e = state->element;
    if (id >= kModTopLeft && id <= kModRight) {
        ModifyFrame(state, id, point);
    } else if ((id == kModLineStart || id == kModLineEnd) && IsLineKind(e->kind)) {
        (id == kModLineStart ? e->points.point1 : e->points.point2) = point;
        CalcElementBounds(e);
    } else if (id == kModArrowBarb) {
        ModifyArrowHead(state, point);
    } else if (id == kModRoundCorner) {
        ModifyRoundCorner(state, point);
    } else if (id == kModArcStart || id == kModArcEnd) {
        ModifyAngle(state, id, point);
    } else if (id >= kModPolyVertex && e->kind == kElementPoly) {
        const int32_t n = id - kModPolyVertex, count = PolyCount(e);
        if (n >= count) return;
        PolyPoints(e)[n] = point;
        if (n == 0 && count > 1 && IsPolyClosed(state->original)) PolyPoints(e)[count - 1] = point;
        CalcElementBounds(e);
    }
}

void DrawArcAngleDegrees(ElementDragState* state, int32_t angle, Point) { DrawArcAngle(state->element, angle); }

bool IsDegenerateElement(const ElementRecord* e) {
    switch (e->kind) {
        case kElementLine:
        case kElementArrow:
            return SamePoint(e->points.point1, e->points.point2);
        case kElementArc:
            return VXEmptyRect(&e->rect) ||
                   (e->bounds.right - e->bounds.left <= 2 && e->bounds.bottom - e->bounds.top < 3);
        case kElementRect:
        case kElementOval:
        case kElementRoundRect:
        case kElementPoly:
        case kElementImage:
            return VXEmptyRect(&e->rect);
        default:
            return false;
    }
}

void ResizeSheetElement(SheetRecord* sheet, int32_t id, VXEventRecord* event) {
    if (!sheet || !sheet->window) return;
    ElementRecord* e = sheet->selectedElement;
    if (!e || LLGetLinkPosition(sheet->elementList, e) < 0) e = SingleSelectedElement(sheet->elementList);
    if (!e) return;
    SheetWindowScope scope(sheet->window);
    ImageList* images = sheet->imageList;
    const int32_t position = LLGetLinkPosition(sheet->elementList, e);
    LLRemoveOrFree(sheet->elementList, e, nullptr, false);
    ElementRecord* backup = DuplicateElement(e, true, images, images);
    if (!backup) {
        LLInsertAt(sheet->elementList, position, e);
        VXBeep();
        return;
    }
    StartSheetUndoCollection(sheet, kUndoActionReshape);
    CollectUndoSwapSheetItem(sheet, kUndoItemElement, e);
    ClearSheetModifiers(sheet);
    if (sheet->selectionRegion) VXSetEmptyRgn(sheet->selectionRegion);
    const Rect oldBounds = e->bounds;
    InvalSheetView(sheet, &oldBounds);
    CollectUndoInvalSheetRect(sheet, &oldBounds);

    ElementDragState state;
    state.element = e;
    state.original = backup;
    state.anchor = event ? EventPoint(event) : Point{};
    state.images = images;
    OverlayData overlay{&state, id, kReshapeOpacity};
    const int32_t windowId = sheet->window->windowID;
    (void)TrackElementDrag(sheet, event, state.anchor, &overlay,
                           [&](Point p) { ModifyElement(&state, id, p); });
    const bool windowAlive = VXGetWindowFromId(windowId) != nullptr;

    const bool changed = std::memcmp(reinterpret_cast<const char*>(e) + sizeof(void*),
                                     reinterpret_cast<const char*>(backup) + sizeof(void*),
                                     ElementSize(e) - sizeof(void*)) != 0;
    if (!changed) {
        // Nothing moved: no undo step is left behind.
        AbortSheetUndoCollection(sheet);
    } else {
        CalcElementBounds(e);
        if (IsDegenerateElement(e)) {
            // Refused: the backup's content goes back into the element, which keeps its place
            // and its address (an undo step before this one still names it); the sheet is as it
            // was, so it is not marked and keeps its undo.
            AbortSheetUndoCollection(sheet);
            SwapElementContent(e, backup);
            VXBeep();
            if (windowAlive) InvalSheetView(sheet, &oldBounds);
        } else {
            SetSheetModifiedStatus(sheet, kElementChanged);
            InvalSheetView(sheet, &oldBounds);
            InvalSheetView(sheet, &e->bounds);
            CollectUndoInvalSheetRect(sheet, &e->bounds);
            AcceptSheetUndoCollection(sheet);
        }
    }
    LLInsertAt(sheet->elementList, position, e);
    BuildDrawingSelectRgn(sheet);
    (void)SetupElementResize(sheet, e);  // the handles show when the sheet can show them
    DestroyElement(backup, images);
}

// ---- Restyling ----

bool RestyleElement(ElementRecord* e, int32_t what, uint32_t value) {
    const auto colour = [&](uint16_t flag, uint32_t* field) {
        if (value == kNoOwnColor) {
            if (!(e->flags & flag)) return false;
            e->flags &= uint16_t(~flag);
            return true;
        }
        if ((e->flags & flag) && *field == value) return false;
        e->flags |= flag;
        *field = value;
        return true;
    };
    switch (what) {
        case kChoiceWidth:
            if (e->penWidth == int8_t(value)) return false;
            e->penWidth = int8_t(value);
            return true;
        case kChoiceFill: {
            if (IsLineKind(e->kind)) return false;
            const uint16_t flags = value ? uint16_t(e->flags | kElementFilled)
                                         : uint16_t(e->flags & ~kElementFilled);
            if (flags == e->flags) return false;
            e->flags = flags;
            return true;
        }
        case kChoiceFrameColor: return colour(kElementOwnFrameColor, &e->frameColor);
        case kChoiceFillColor: return colour(kElementOwnFillColor, &e->fillColor);
        default: return false;
    }
}

namespace {

// Restyles the selected elements of a list; the area before and after each change joins `area`.
int32_t RestyleSelected(LinkListHeader* list, int32_t what, uint32_t value, Rect* area,
                        int32_t* changed) {
    int32_t selected = 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next) {
        if (!(e->flags & kElementSelected)) continue;
        ++selected;
        const Rect before = e->bounds;
        if (!RestyleElement(e, what, value)) continue;
        ++*changed;
        CalcElementBounds(e);
        VXUnionRect(area, &before, area);
        VXUnionRect(area, &e->bounds, area);
    }
    return selected;
}

}  // namespace

int32_t UpdateSelectedSheetElements(SheetRecord* sheet, int32_t what, uint32_t value) {
    if (!sheet) return 0;
    if (sheet->selectionRegion) VXSetEmptyRgn(sheet->selectionRegion);
    ClearSheetModifiers(sheet);
    Rect area;
    VXSetEmptyRect(&area);
    int32_t changed = 0;
    const int32_t selected = RestyleSelected(sheet->elementList, what, value, &area, &changed);
    if (changed) SetSheetModifiedStatus(sheet, kElementChanged);
    if (what == kChoiceWidth && sheet->elementInCreation) {
        ElementRecord* poly = sheet->elementInCreation;
        VXUnionRect(&area, &poly->bounds, &area);
        poly->penWidth = int8_t(value);
        CalcElementBounds(poly);
        VXUnionRect(&area, &poly->bounds, &area);
    }
    BuildDrawingSelectRgn(sheet);
    if (selected == 1) (void)SetupElementResize(sheet, nullptr);  // handles of the one element
    if (!VXEmptyRect(&area)) {
        VXInsetRect(&area, -3, -3);
        InvalSheetView(sheet, &area);
    }
    return selected;
}

int32_t UpdateSymbolEditorWindowElements(VXWindowRecordTag* window, int32_t what, uint32_t value) {
    SymbolEditorRecord* symbolEditor = WindowToSymbolEditor(window);
    return symbolEditor ? UpdateSelectedSymbolElements(symbolEditor, what, value) : 0;
}

int32_t UpdateSelectedSymbolElements(SymbolEditorRecord* editor, int32_t what, uint32_t value) {
    if (!editor || !editor->elements) return 0;
    Rect area;
    VXSetEmptyRect(&area);
    int32_t changed = 0;
    const int32_t selected = RestyleSelected(editor->elements, what, value, &area, &changed);
    if (changed) SetEditModified(editor, true);
    if (!VXEmptyRect(&area) && editor->window) {
        VXInsetRect(&area, -3, -3);
        VXInvalRect(editor->window, &area);
    }
    return selected;
}

// ---- Stacking order ----

ElementRecord* SingleSelectedElement(LinkListHeader* list) {
    ElementRecord* single = nullptr;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next) {
        if (!(e->flags & kElementSelected)) continue;
        if (single) return nullptr;
        single = e;
    }
    return single;
}

bool ChangeElementOrder(LinkListHeader* list, ElementRecord* e, int32_t command, bool backLayer) {
    const int32_t p = LLGetLinkPosition(list, e);
    if (p < 0) return false;
    const auto* front = p > 0 ? static_cast<ElementRecord*>(LLGetIndexedLink(list, uint32_t(p - 1))) : nullptr;
    const ElementRecord* back = e->next;
    const bool inBack = e->flags & kElementBackLayer;
    const auto isBack = [](const ElementRecord* x) { return x && (x->flags & kElementBackLayer); };
    uint16_t flags = e->flags;
    int32_t to = p;
    switch (command) {
        case kCmdBringToFront:
            if (backLayer) flags &= uint16_t(~kElementBackLayer);
            to = 0;
            break;
        case kCmdMoveForward:
            if (backLayer && inBack && (!front || !isBack(front))) flags &= uint16_t(~kElementBackLayer);
            else to = std::max(p - 1, 0);
            break;
        case kCmdMoveBack:
            if (backLayer && !inBack && (!back || isBack(back))) flags |= kElementBackLayer;
            else if (back) to = p + 1;
            break;
        case kCmdSendToBack:
            if (backLayer) flags |= kElementBackLayer;
            to = -1;  // the end
            break;
        default: return false;
    }
    LLRemoveOrFree(list, e, nullptr, false);
    LLInsertAt(list, to, e);
    const bool changed = LLGetLinkPosition(list, e) != p || flags != e->flags;
    e->flags = flags;
    return changed;
}

bool ChangeSheetElementOrder(SheetRecord* sheet, int32_t command) {
    if (!sheet) return false;
    ElementRecord* e = SingleSelectedElement(sheet->elementList);
    if (!e || !ChangeElementOrder(sheet->elementList, e, command, true)) return false;
    Rect area = e->bounds;
    VXInsetRect(&area, -4, -4);
    InvalSheetView(sheet, &area);
    SetSheetModifiedStatus(sheet, kElementChanged);
    return true;
}

bool ChangeLibElementOrder(SymbolEditorRecord* editor, int32_t command) {
    if (!editor || !editor->elements) return false;
    ElementRecord* e = SingleSelectedElement(editor->elements);
    if (!e || !ChangeElementOrder(editor->elements, e, command, false)) return false;
    if (editor->window) {
        Rect area = e->bounds;
        VXInsetRect(&area, -4, -4);
        VXInvalRect(editor->window, &area);
    }
    SetEditModified(editor, true);
    return true;
}

// ---- Hit testing ----

namespace {

// The hit test over the elements given in list order (the list's, or those of it near the point).
template <class Elements>
ElementRecord* HitElementsOf(ImageList* images, const Elements& elements, Point point, int32_t tolerance,
                             int32_t mode, bool* insideFill) {
    const uint16_t layer = (mode & kHitBackLayer) ? kElementBackLayer : 0;
    ElementRecord* found = nullptr;
    // Without a pixel test an element is hit anywhere in its bounds.
    const bool pixels = SchStartPixelHitTest(nullptr, point);
    for (int32_t t = 0; t <= tolerance; ++t) {
        for (void* item : elements) {
            auto* e = static_cast<ElementRecord*>(item);
            if (e == found) break;
            if ((e->flags & kElementBackLayer) != layer) continue;
            if ((mode & kHitSkipHideable) && (e->flags & kElementHideable)) continue;
            Rect r = e->bounds;
            VXInsetRect(&r, int16_t(-t), int16_t(-t));
            if (!VXPtInRect(point, &r)) continue;
            if (e->kind == kElementImage) {
                const VXPixels* picture =
                    images ? GetImageFromImageList(images, ElementAs<ImageElement>(e)->imageId, false)
                           : nullptr;
                // A one-bit picture is kept as an 8-bit mask; anything deeper is opaque.
                if ((e->flags & kElementFilled) || (picture && picture->depth > 8)) {
                    found = e;
                    break;
                }
            }
            if (pixels) {
                ResetPixelHitTest();
                DrawElement(e, images, false, false);
            }
            if (!pixels || HitTestPixels(t, t)) {
                found = e;
                break;
            }
        }
    }
    const uint16_t outlineOnly = kElementFilled | kElementOptionalFill;
    if (pixels && found && (found->flags & outlineOnly) == outlineOnly) {
        ResetPixelHitTest();
        DrawElement(found, images, true, false);
        if (!HitTestPixels(tolerance, tolerance)) {
            found = nullptr;
            if (insideFill) *insideFill = true;
        }
    }
    SchStopPixelHitTest();
    return found;
}

}  // namespace

ElementRecord* HitTestGrafElements(LinkListHeader* list, Point point, int32_t tolerance,
                                   int32_t mode, bool* insideFill) {
    if (insideFill) *insideFill = false;
    if (!list) return nullptr;
    std::vector<ElementRecord*> elements;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next) elements.push_back(e);
    return HitElementsOf(GetElementListImageList(list), elements, point, tolerance, mode, insideFill);
}

ElementRecord* HitTestGrafElements(SheetRecord* sheet, Point point, int32_t tolerance, int32_t mode,
                                   bool* insideFill) {
    if (insideFill) *insideFill = false;
    if (!sheet || !sheet->elementList) return nullptr;
    std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kElement, SheetReachArea(point, tolerance + 2), &near);
    return HitElementsOf(GetElementListImageList(sheet->elementList), near, point, tolerance, mode, insideFill);
}

}  // namespace plexa
