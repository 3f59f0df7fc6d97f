// Selecting by click and rectangle, dragging the selection, resizing frames and sheet symbols,
// dragging sheet-symbol ports and drawing new sheet symbols.
#include "sheeteditor/sheetdrag.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/bitarray.h"
#include "foundation/memory.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/regions.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/sheetselected.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "platform/input_platform.h"
#include "sheeteditor/bussdrag.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/wirestretch.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/spicewindows.h"
#include "symboleditor/syminfodialog.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// Reasons of a change (the sheet's modified status).
constexpr int32_t kModifiedResize = 40;
// A sheet symbol resized or its port moved: the drawing changed (the undoable action).
constexpr int32_t kModifiedSheetSymbol = 0x08;
// The sub-kind of the custom undo operation that keeps a sheet symbol's port data.
constexpr int32_t kUndoCustomSheetSymbolPorts = 4;
constexpr int32_t kModifiedNewSheetSymbol = 97;
constexpr int32_t kModifiedDrag = 104;
// Undo.
// Element flag bit 1: the element shows its shape handles.
constexpr uint16_t kElementReshape = 0x0002;
// Symbol flag bit 31: taken by a rectangle only when wholly inside it.
constexpr uint32_t kSymbolFlagWhollyInside = 0x80000000u;

// A sheet symbol's port data as it was (the symbol found again by its serial number), exchanged
// with what the symbol holds on each replay.
struct SheetSymbolPortsUndo {
    uint32_t serial;
    Handle ports;
};

void ReplaySheetSymbolPorts(void* owner, uint16_t ownerKind, UndoOp* op, int32_t discard) {
    auto* kept = reinterpret_cast<SheetSymbolPortsUndo*>(op->data);
    if (discard) {
        if (kept && kept->ports) MemFree(kept->ports);
        delete kept;
        op->data = 0;
        return;
    }
    if (ownerKind != kUndoOwnerSheet || !kept) return;
    auto* sheet = static_cast<SheetRecord*>(owner);
    SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, kept->serial);
    if (!symbol) return;
    std::swap(symbol->sheetSymbolData, kept->ports);
    NoteSheetItemPlaces();  // the symbol's box and ports are where they were
}

// A sheet symbol as it is before it is resized or a port of it moves: its port data, its texts
// and the nets on its ports.
void CollectUndoSheetSymbol(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!IsCollectingSheetUndo(sheet)) return;
    Handle copy = symbol->sheetSymbolData ? CloneHandle(nullptr, symbol->sheetSymbolData) : nullptr;
    if (!copy) {
        // Without the copy undo could not give the symbol back: the action is not kept.
        AbortSheetUndoCollection(sheet);
        return;
    }
    CollectUndoCustomSheetAction(sheet, kUndoCustomSheetSymbolPorts, ReplaySheetSymbolPorts,
                                 reinterpret_cast<uint64_t>(new SheetSymbolPortsUndo{symbol->serial, copy}), 0);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
        if (IsTextOwnedBySymbol(t, symbol) > 0) CollectUndoSwapSheetItem(sheet, kUndoItemText, t);
    for (int32_t port = 0; port < CountSheetSymbolPorts(symbol); ++port) {
        const auto node = uint16_t(port);
        if (GetSheetSymbolPortFlags(symbol, port) & kSheetPortBuss)
            CollectUndoSwapSheetItem(sheet, kUndoItemBuss, GetConnectedBuss(sheet->bussList, symbol, node, nullptr, nullptr));
        else
            CollectUndoSwapSheetItem(sheet, kUndoItemSignal,
                                     GetConnectedSignal(sheet->signalList, symbol, node, nullptr, nullptr));
    }
}

Point PinInto(Point p, const Rect& r) {
    return Point{int16_t(std::clamp<int32_t>(p.v, r.top, r.bottom)),
                 int16_t(std::clamp<int32_t>(p.h, r.left, r.right))};
}

bool Within(const Rect& inner, const Rect& outer) {
    return inner.top >= outer.top && inner.left >= outer.left && inner.bottom <= outer.bottom &&
           inner.right <= outer.right;
}

void Unite(Rect* into, const Rect& r) {
    if (VXEmptyRect(&r)) return;
    if (VXEmptyRect(into)) *into = r;
    else VXUnionRect(into, &r, into);
}

void Redraw(SheetRecord* sheet, Rect r, int16_t grow = 0) {
    if (VXEmptyRect(&r)) return;
    if (grow) VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
    InvalSheetView(sheet, &r);
}

// The area the handles take now (their boxes grown by one).
Rect HandleArea(const SheetRecord* sheet) {
    Rect area;
    VXSetEmptyRect(&area);
    const int32_t s = SheetModifierBoxSize(sheet);
    const ItemModifier* m = SheetModifiers(sheet);
    for (int32_t i = 0; i < CountSheetModifiers(sheet); ++i) {
        const int32_t half = s / 2 + 1;
        Unite(&area, Rect{int16_t(m[i].v - half), int16_t(m[i].h - half), int16_t(m[i].v + half + 1),
                          int16_t(m[i].h + half + 1)});
    }
    return area;
}

Point EventPoint(const VXEventRecord* event) { return Point{event->u.mouse.v, event->u.mouse.h}; }

// One clickable item, whatever its kind.
struct ClickItem {
    SheetRecord* sheet;
    SymbolRecord* symbol = nullptr;
    TextRecord* text = nullptr;
    TextFrameHandle frame = nullptr;
    ElementRecord* element = nullptr;

    bool Selected() const {
        if (symbol) return symbol->flags & kSymbolFlagSelected;
        if (text) return text->flags & kTextFlagSelected;
        if (frame) return (*frame)->flags & kFrameFlagSelected;
        return element->flags & kElementSelected;
    }
    void Select(bool on) const {
        if (symbol) symbol->flags = on ? symbol->flags | kSymbolFlagSelected : symbol->flags & ~kSymbolFlagSelected;
        else if (text) text->flags = uint16_t(on ? text->flags | kTextFlagSelected : text->flags & ~kTextFlagSelected);
        else if (frame) (*frame)->flags = uint16_t(on ? (*frame)->flags | kFrameFlagSelected : (*frame)->flags & ~kFrameFlagSelected);
        else element->flags = uint16_t(on ? element->flags | kElementSelected
                                          : element->flags & ~(kElementSelected | kElementReshape));
        if (!on) return;
        if (symbol) NoteSheetItemSelected(sheet, SheetItemKind::kSymbol, symbol);
        else if (text) NoteSheetItemSelected(sheet, SheetItemKind::kText, text);
        else if (frame) NoteSheetItemSelected(sheet, SheetItemKind::kTextFrame, frame);
        else NoteSheetItemSelected(sheet, SheetItemKind::kElement, element);
    }
    Rect Bounds() const {
        Rect r;
        if (symbol) GetSelectedSymbolBounds(sheet, symbol, &r);
        else if (text) r = text->bounds;
        else if (frame) r = (*frame)->bounds;
        else r = element->bounds;
        return r;
    }
};

void DoClickSelection(const ClickItem& item, const VXEventRecord* event) {
    SheetRecord* sheet = item.sheet;
    const Rect oldHandles = HandleArea(sheet);
    const bool shift = event->u.mouse.shift;
    if (shift && item.Selected()) {
        item.Select(false);
        const Rect bounds = item.Bounds();
        SelectionRgnRemove(sheet->selectionRegion, &bounds);
        CalcSheetSelection(sheet, nullptr);
        Redraw(sheet, oldHandles);
        Redraw(sheet, HandleArea(sheet));
        Redraw(sheet, bounds, 2);
        return;
    }
    if (!shift && !item.Selected()) ClearDrawingSelection(sheet);
    item.Select(true);
    if (item.element) {
        const bool reshape = event->u.mouse.button == 1 || (event->u.mouse.modifiers & kPlatformModCommand);
        item.element->flags = uint16_t(reshape ? item.element->flags | kElementReshape
                                               : item.element->flags & ~kElementReshape);
    }
    const Rect bounds = item.Bounds();
    SelectionRgnAdd(sheet->selectionRegion, &bounds);
    CalcSheetSelection(sheet, nullptr);
    Redraw(sheet, oldHandles);
    Redraw(sheet, HandleArea(sheet));
    Redraw(sheet, bounds, 2);
    DragSelection(sheet, item.symbol, event);
    if (item.symbol) SpiceParametersSelection(sheet, item.symbol);
}

struct SelectionDrag {
    SheetRecord* sheet;
    Point offset;
};

void DrawSelectionDrag(VXWindowRecordTag*, void* data) {
    auto* drag = static_cast<SelectionDrag*>(data);
    FrameSheetSelectionRects(drag->sheet, drag->offset);
}

// The box of every frame the drag's overlay draws, unmoved; empty when it draws none.
Rect SelectionFramesBox(SheetRecord* sheet) {
    Rect box;
    VXSetEmptyRect(&box);
    EnumSheetSelectionRects(
        sheet,
        [](SheetRecord*, const Rect* bounds, void* data) {
            Rect* into = static_cast<Rect*>(data);
            if (VXEmptyRect(bounds)) return;
            if (VXEmptyRect(into)) *into = *bounds;
            else VXUnionRect(into, bounds, into);
        },
        &box);
    return box;
}

// Repaints the drag's overlay where its frames stand at the offset.
void UpdateSelectionFrames(VXWindowRecordTag* window, const Rect& box, Point offset) {
    if (VXEmptyRect(&box)) return;
    const LRect area{box.top + offset.v, box.left + offset.h, box.bottom + offset.v, box.right + offset.h};
    VXUpdateOverlayArea(window, &area);
}

struct RubberBand {
    Rect frame;
    bool shown;
};

void DrawRubberBand(VXWindowRecordTag*, void* data) {
    auto* band = static_cast<RubberBand*>(data);
    if (!band->shown) return;
    VXPenNormal();
    VXSetLineDashInterval(3, 3, 0);
    VXFrameRect(&band->frame);
    VXPenNormal();
}

// The rectangle spanned by two points.
Rect Span(Point a, Point b) {
    return Rect{std::min(a.v, b.v), std::min(a.h, b.h), std::max(a.v, b.v), std::max(a.h, b.h)};
}

// Follows a drag in the sheet's window: calls step(point) with each pad point (the first one
// where the drag began), until the button goes up. False when the drag never began.
template <class F>
bool FollowDrag(SheetRecord* sheet, int32_t slop, F&& step) {
    VXWindowRecordTag* window = sheet->window;
    if (!window) return false;
    const int32_t id = window->windowID;
    _LPNT point{};
    int16_t pane = 0;
    if (!VXWaitDragBegin(window, kVXTrackLeft, slop, slop, &point, &pane, -1)) return false;
    for (bool going = true; going;) {
        step(Point{int16_t(point.v), int16_t(point.h)});
        going = VXWaitDragEnd(window, kVXTrackLeft, true, &point);
        if (!VXGetWindowFromId(id)) return true;
    }
    step(Point{int16_t(point.v), int16_t(point.h)});
    return true;
}

}  // namespace

Point SnapPointToSheetView(const SheetRecord* sheet, Point point) {
    return SnapToSheetGrid(sheet, PinInto(point, sheet->sheetBounds));
}

void FrameSheetSelectionRects(SheetRecord* sheet, Point offset) {
    VXPenNormal();
    EnumSheetSelectionRects(
        sheet,
        [](SheetRecord*, const Rect* bounds, void* data) {
            if (VXEmptyRect(bounds)) return;
            const Point* by = static_cast<const Point*>(data);
            Rect r = *bounds;
            VXOffsetRect(&r, by->h, by->v);
            VXFrameRect(&r);
        },
        &offset);
}

void DoSymbolSelection(SheetRecord* sheet, SymbolRecord* symbol, const VXEventRecord* event) {
    DoClickSelection(ClickItem{sheet, symbol}, event);
}

void DoTextSelection(SheetRecord* sheet, TextRecord* text, const VXEventRecord* event) {
    DoClickSelection(ClickItem{sheet, nullptr, text}, event);
}

void DoTextFrameSelection(SheetRecord* sheet, TextFrameHandle frame, const VXEventRecord* event) {
    DoClickSelection(ClickItem{sheet, nullptr, nullptr, frame}, event);
}

void DoElementSelection(SheetRecord* sheet, ElementRecord* element, const VXEventRecord* event) {
    DoClickSelection(ClickItem{sheet, nullptr, nullptr, nullptr, element}, event);
}

void DragSelection(SheetRecord* sheet, SymbolRecord* clicked, const VXEventRecord* event) {
    if (!sheet || !sheet->window) return;
    const Point start = SnapPointToSheetView(sheet, EventPoint(event));
    const Rect& page = sheet->sheetBounds;
    Rect bounds;
    if (!CalcSheetHiliteBounds(sheet, &bounds)) return;
    Rect shown;
    if (VXSectRect(&bounds, &page, &shown)) Redraw(sheet, shown);
    // The mouse stays where the highlighted bounds stay inside the page (with a little slack).
    Rect limit{int16_t(start.v - bounds.top), int16_t(start.h - bounds.left),
               int16_t(page.bottom + start.v - bounds.bottom), int16_t(page.right + start.h - bounds.right)};
    VXInsetRect(&limit, -kDragPageSlack, -kDragPageSlack);
    SelectionDrag drag{sheet, {0, 0}};
    VXWindowRecordTag* window = sheet->window;
    const int32_t id = window->windowID;
    const Rect frames = SelectionFramesBox(sheet);
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawSelectionDrag, &drag);
    FollowDrag(sheet, 1, [&](Point p) {
        p = SnapToSheetGrid(sheet, PinInto(p, limit));
        Point offset{int16_t(p.v - start.v), int16_t(p.h - start.h)};
        if (clicked) {
            // The clicked symbol's origin lands on the grid.
            const Point moved{int16_t(clicked->position.v + offset.v), int16_t(clicked->position.h + offset.h)};
            const Point snapped = SnapToSheetGrid(sheet, moved);
            offset.v = int16_t(offset.v + snapped.v - moved.v);
            offset.h = int16_t(offset.h + snapped.h - moved.h);
        }
        const bool scrolled = VXDragDidAutoScroll();
        if (offset.v != drag.offset.v || offset.h != drag.offset.h || scrolled) {
            const Point was = drag.offset;
            drag.offset = offset;
            if (!VXGetWindowFromId(id)) return;
            // A scroll moved the whole view under the overlay; otherwise only the frames'
            // old and new places change.
            if (scrolled) {
                VXUpdateOverlay(window);
            } else {
                UpdateSelectionFrames(window, frames, was);
                UpdateSelectionFrames(window, frames, offset);
            }
        }
    });
    if (!VXGetWindowFromId(id)) return;
    VXEndOverlay(window);
    if (drag.offset.v || drag.offset.h) {
        SetSheetModifiedStatus(sheet, kModifiedDrag);
        MoveDrawingSelection(sheet, drag.offset.h, drag.offset.v);
    }
}

void DoAreaSelection(SheetRecord* sheet, const Rect* rect, bool shift, bool option) {
    if (!sheet || !rect) return;
    if (!shift) ClearDrawingSelection(sheet);
    Rect changed;
    VXSetEmptyRect(&changed);
    const Rect& area = *rect;
    // Each kind's items near the area, in list order; each is tested as a walk would.
    std::vector<void*> near;
    if (option) {
        SheetItemsMeeting(sheet, SheetItemKind::kText, area, &near);
        for (void* item : near) {
            auto* t = static_cast<TextRecord*>(item);
            if ((t->flags & kTextFlagHidden) || !VXRectsOverlap(&t->bounds, &area)) continue;
            t->flags ^= kTextFlagSelected;
            NoteSheetItemSelected(sheet, SheetItemKind::kText, t);
            Unite(&changed, t->bounds);
        }
    } else {
        SheetItemsMeeting(sheet, SheetItemKind::kSymbol, area, &near);
        for (void* item : near) {
            auto* s = static_cast<SymbolRecord*>(item);
            Rect r;
            GetSelectedSymbolBounds(sheet, s, &r);
            if (VXEmptyRect(&r) || !VXRectsOverlap(&r, &area)) continue;
            if ((s->flags & kSymbolFlagWhollyInside) && !Within(r, area)) continue;
            s->flags ^= kSymbolFlagSelected;
            NoteSheetItemSelected(sheet, SheetItemKind::kSymbol, s);
            Unite(&changed, r);
        }
        const bool hideable = sheet->stored.flags & kSheetFlagHideElements;
        SheetItemsMeeting(sheet, SheetItemKind::kElement, area, &near);
        for (void* item : near) {
            auto* e = static_cast<ElementRecord*>(item);
            if (hideable && (e->flags & kElementHideable)) continue;
            if (!Within(e->bounds, area)) continue;
            e->flags ^= kElementSelected;
            NoteSheetItemSelected(sheet, SheetItemKind::kElement, e);
            Unite(&changed, e->bounds);
        }
        for (SheetItemKind nets : {SheetItemKind::kSignal, SheetItemKind::kBuss}) {
            SheetItemsMeeting(sheet, nets, area, &near);
            for (void* net : near) {
                WireList wires = (*static_cast<NetRecordHead**>(net))->wires;
                for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
                    if (!Within((*w)->bounds, area)) continue;
                    (*w)->flags ^= kWireFlagSelected;
                    NoteSheetItemSelected(sheet, nets, net);
                    Unite(&changed, (*w)->bounds);
                }
            }
        }
    }
    SheetItemsMeeting(sheet, SheetItemKind::kTextFrame, area, &near);
    for (void* item : near) {
        auto f = static_cast<TextFrameHandle>(item);
        if ((*f)->owner && !option) continue;
        const bool takes = (*f)->lineCount >= 2 ? Within((*f)->bounds, area) : VXRectsOverlap(&(*f)->bounds, &area);
        if (!takes) continue;
        (*f)->flags ^= kFrameFlagSelected;
        NoteSheetItemSelected(sheet, SheetItemKind::kTextFrame, f);
        Unite(&changed, (*f)->bounds);
    }
    Unite(&changed, HandleArea(sheet));
    CalcSheetSelection(sheet, nullptr);
    Unite(&changed, HandleArea(sheet));
    BuildDrawingSelectRgn(sheet);
    Redraw(sheet, changed, 2);
}

void ResizeTextFrame(SheetRecord* sheet, TextFrameHandle frame, const VXEventRecord* event) {
    (void)event;  // the drag follows the button that is down now
    if (!sheet || !frame || !sheet->window) return;
    Point anchor;
    GetTextFrameAnchorPoint(frame, true, &anchor);
    const int32_t rotation = (*frame)->flags & kFrameFlagRotation;
    Point least{int16_t(kMinTextFrameExtent), int16_t(kMinTextFrameExtent)};
    TransformPoint(&least, {0, 0}, rotation);
    const Rect old = (*frame)->bounds;
    (*frame)->flags &= uint16_t(~kFrameFlagSelected);
    Redraw(sheet, HandleArea(sheet));
    ClearSheetModifiers(sheet);
    RubberBand band{old, false};
    VXWindowRecordTag* window = sheet->window;
    const int32_t id = window->windowID;
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawRubberBand, &band);
    FollowDrag(sheet, 2, [&](Point p) {
        p = PinInto(p, sheet->sheetBounds);
        int32_t dv = p.v - anchor.v, dh = p.h - anchor.h;
        dv = least.v > 0 ? std::max<int32_t>(dv, least.v) : std::min<int32_t>(dv, least.v);
        dh = least.h > 0 ? std::max<int32_t>(dh, least.h) : std::min<int32_t>(dh, least.h);
        band.frame = Span(anchor, Point{int16_t(anchor.v + dv), int16_t(anchor.h + dh)});
        band.shown = true;
        if (VXGetWindowFromId(id)) VXUpdateOverlay(window);
    });
    if (!VXGetWindowFromId(id)) return;
    VXEndOverlay(window);
    (*frame)->flags |= kFrameFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kTextFrame, frame);
    if (band.shown && !VXEqualRect(&band.frame, &old)) {
        SetSheetModifiedStatus(sheet, kModifiedResize);
        StartSheetUndoCollection(sheet, kUndoActionResize);
        CollectUndoSwapSheetItem(sheet, kUndoItemFrame, frame);
        Rect inner = band.frame;
        VXInsetRect(&inner, 2, 2);
        const int32_t width = (rotation & 1) ? inner.bottom - inner.top : inner.right - inner.left;
        CalcTextFrameBounds(sheet->window, frame, true, width);
        Rect area = old;
        Unite(&area, (*frame)->bounds);
        VXInsetRect(&area, -2, -2);
        InvalSheetView(sheet, &area);
        BuildDrawingSelectRgn(sheet);
        CollectUndoInvalSheetRect(sheet, &area);
        AcceptSheetUndoCollection(sheet);
    }
    (void)SetupTextFrameResize(sheet, frame);  // a handle only for a lone frame
    Redraw(sheet, HandleArea(sheet));
}

void ResizeSheetSymbol(SheetRecord* sheet, SymbolRecord* symbol, const VXEventRecord* event) {
    (void)event;
    if (!sheet || !symbol || !sheet->window || !(symbol->flags & kSymbolFlagSheet)) return;
    Handle ports = SheetSymbolPortsOf(symbol);
    if (!ports) return;
    const Point anchor = symbol->position;
    const int32_t code = int32_t(symbol->flags & kSymbolFlagTransform);
    int16_t minWidth = 0, minHeight = 0;
    GetMinimumSheetSymbolSize(symbol, &minWidth, &minHeight);
    Point least{minHeight, minWidth};
    TransformPoint(&least, {0, 0}, code);
    Rect old;
    GetSelectedSymbolBounds(sheet, symbol, &old);
    Point corner;
    GetSheetSymbolSizePoint(symbol, &corner);
    Point last = corner;
    RubberBand band{old, false};
    VXWindowRecordTag* window = sheet->window;
    const int32_t id = window->windowID;
    Redraw(sheet, HandleArea(sheet));
    ClearSheetModifiers(sheet);
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawRubberBand, &band);
    FollowDrag(sheet, 1, [&](Point p) {
        p = SnapPointToSheetView(sheet, p);
        // A coordinate that would make the box smaller than the ports need keeps its last value.
        const int32_t dv = p.v - anchor.v, dh = p.h - anchor.h;
        if (least.v > 0 ? dv >= least.v : dv <= least.v) last.v = p.v;
        if (least.h > 0 ? dh >= least.h : dh <= least.h) last.h = p.h;
        band.frame = Span(anchor, last);
        ++band.frame.bottom;
        ++band.frame.right;
        band.shown = true;
        if (VXGetWindowFromId(id)) VXUpdateOverlay(window);
    });
    if (!VXGetWindowFromId(id)) return;
    VXEndOverlay(window);
    if (band.shown && (last.v != corner.v || last.h != corner.h)) {
        ClearSheetUndoAction(sheet);
        StartSheetUndoCollection(sheet, kUndoActionResize);
        CollectUndoSheetSymbol(sheet, symbol);
        SetSheetModifiedStatus(sheet, kModifiedSheetSymbol);
        SelectionRgnRemove(sheet->selectionRegion, &old);
        SelectionRgnAdd(sheet->selectionRegion, &band.frame);
        Rect area = old;
        Unite(&area, band.frame);
        const int16_t spacing = int16_t(std::max<int32_t>(1, SheetSymbolPortsHeadOf(ports)->spacing));
        Redraw(sheet, area, int16_t(3 + spacing));
        Point size{int16_t(last.v - anchor.v), int16_t(last.h - anchor.h)};
        if (code) TransformPoint(&size, {0, 0}, VXInverseTransformation(code));
        const auto width = int16_t(std::abs(size.h)), height = int16_t(std::abs(size.v));
        Rect changed;
        VXSetEmptyRect(&changed);
        (void)SetSheetSymbolSize(sheet, symbol, width, height, &changed);  // a refused size keeps the old one
        for (uint16_t kind : {kTextKindSymbolName, kTextKindCompDesignator})
            if (TextRecord* text = RetrieveSymbolText(sheet, symbol, kind))
                AutoPositionSymbolText(sheet, symbol, text, false);
        (void)SetSheetSymbolSize(sheet, symbol, width, height, &changed);  // a refused size keeps the old one
        Redraw(sheet, changed, 2);
        Rect after;
        GetSelectedSymbolBounds(sheet, symbol, &after);
        Unite(&area, after);
        Unite(&area, changed);
        VXInsetRect(&area, int16_t(-(3 + spacing)), int16_t(-(3 + spacing)));
        CollectUndoInvalSheetRect(sheet, &area);
        AcceptSheetUndoCollection(sheet);
    }
    (void)SetupSymbolResize(sheet, symbol);  // a handle only for a lone sheet symbol
    Redraw(sheet, HandleArea(sheet));
}

void DragSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, int32_t port, const VXEventRecord* event) {
    (void)event;
    if (!sheet || !symbol || !sheet->window || port < 0 || port >= CountSheetSymbolPorts(symbol)) return;
    Handle ports = SheetSymbolPortsOf(symbol);
    if (!ports) return;
    int32_t rows = 0;
    BitArray table = BuildPortPositionTable(symbol, port, &rows);
    const SheetSymbolPortsHead head = *SheetSymbolPortsHeadOf(ports);
    // A spacing of 0 (from a sheet without a grid) would divide by zero.
    const int32_t spacing = std::max<int32_t>(1, head.spacing);
    SheetSymbolPort* entry = SheetSymbolPortAt(ports, port);
    const uint16_t oldFlags = entry->flags;
    const uint16_t entrySlot = entry->slot;
    auto taken = [&](int32_t slot, bool right) {
        return table && BitArrayTest(table, slot - 1 + (right ? rows : 0));
    };
    Point oldPin;
    GetSheetSymbolPortPinPos(symbol, port, &oldPin);
    const int32_t code = int32_t(symbol->flags & kSymbolFlagTransform);
    VXWindowRecordTag* window = sheet->window;
    const int32_t id = window->windowID;
    FollowDrag(sheet, 1, [&](Point p) {
        // Into the symbol's own frame.
        Point local{int16_t(p.v - symbol->position.v), int16_t(p.h - symbol->position.h)};
        if (code) TransformPoint(&local, {0, 0}, VXInverseTransformation(code));
        const int32_t slot = std::clamp<int32_t>(local.v / spacing, 1, std::max(1, rows));
        const bool right = local.h > head.width / 2;
        if (taken(slot, right)) return;
        SheetSymbolPort* e = SheetSymbolPortAt(ports, port);
        e->slot = uint16_t(slot);
        e->flags = uint16_t(right ? e->flags | kSheetPortRight : e->flags & ~kSheetPortRight);
        if (VXGetWindowFromId(id)) {
            Rect r;
            GetSelectedSymbolBounds(sheet, symbol, &r);
            Redraw(sheet, r, int16_t(2 + spacing));
        }
    });
    if (table) DisposeBitArray(table);
    if (!VXGetWindowFromId(id)) return;
    Point newPin;
    GetSheetSymbolPortPinPos(symbol, port, &newPin);
    if (newPin.v == oldPin.v && newPin.h == oldPin.h) return;
    // The port data as it was before the drag (the drag changed it as it went).
    SheetSymbolPort* moved = SheetSymbolPortAt(ports, port);
    const SheetSymbolPort now = *moved;
    moved->slot = entrySlot;
    moved->flags = oldFlags;
    ClearSheetUndoAction(sheet);
    StartSheetUndoCollection(sheet, kUndoActionMove);
    CollectUndoSheetSymbol(sheet, symbol);
    moved = SheetSymbolPortAt(ports, port);
    *moved = now;
    SetSheetModifiedStatus(sheet, kModifiedSheetSymbol);
    Point movement{int16_t(newPin.v - oldPin.v), int16_t(newPin.h - oldPin.h)};
    if (code) TransformPoint(&movement, {0, 0}, code);
    Rect area;
    GetSelectedSymbolBounds(sheet, symbol, &area);
    ClearBussUndoFlags(sheet);
    // The terminal at the port is marked as moving while the wires attached to it stretch.
    const bool buss = oldFlags & kSheetPortBuss;
    LinkListHeader* nets = buss ? sheet->bussList : sheet->signalList;
    auto markTerminals = [&](bool on) {
        for (void* net = LLFirst(nets); net; net = LLGetNext(nets, net)) {
            auto mark = [&](uint8_t& flags) {
                flags = uint8_t(on ? flags | kPinEntrySelected : flags & ~kPinEntrySelected);
                if (on) NoteSheetItemSelected(sheet, buss ? SheetItemKind::kBuss : SheetItemKind::kSignal, net);
            };
            if (buss) {
                auto b = static_cast<BussHandle>(net);
                for (int32_t i = 0; i < (*b)->terminalCount; ++i)
                    if (BussTerminals(b)[i].serial == symbol->serial && BussTerminals(b)[i].node == port)
                        mark(BussTerminals(b)[i].flags);
            } else {
                auto sg = static_cast<SignalHandle>(net);
                for (int32_t i = 0; i < (*sg)->pinCount; ++i)
                    if (SignalPins(sg)[i].serial == symbol->serial && SignalPins(sg)[i].node == port)
                        mark(SignalPins(sg)[i].flags);
            }
        }
    };
    markTerminals(true);
    if (buss) CollectUndoAltBOTable(sheet);  // the lines may split beside their break-outs
    if (buss) MoveBussWires(sheet, movement, 0, &area);
    else MoveSignalWires(sheet, movement, 0, &area);
    markTerminals(false);
    const bool sameEdge = (oldFlags & kSheetPortRight) == (SheetSymbolPortAt(ports, port)->flags & kSheetPortRight);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) {
        if (t->owner != TextOwnerSerial(symbol->serial) || (t->kind & 0xC000) != kTextKindPinName ||
            (t->kind & kTextKindNodeMask) != port)
            continue;
        Unite(&area, t->bounds);
        if (sameEdge) OffsetTextElement(t, movement.h, movement.v);
        else AutoPositionSheetPortText(t, sheet, symbol);
        Unite(&area, t->bounds);
    }
    Redraw(sheet, area, int16_t(2 + spacing));
    Rect recorded = area;
    VXInsetRect(&recorded, int16_t(-(2 + spacing)), int16_t(-(2 + spacing)));
    CollectUndoInvalSheetRect(sheet, &recorded);
    AcceptSheetUndoCollection(sheet);
}

void TrackCreateSheetSymbol(SheetRecord* sheet, const VXEventRecord* event) {
    if (!sheet || !sheet->window) return;
    const Point start = SnapPointToSheetView(sheet, EventPoint(event));
    RubberBand band{Rect{start.v, start.h, start.v, start.h}, true};
    VXWindowRecordTag* window = sheet->window;
    const int32_t id = window->windowID;
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawRubberBand, &band);
    FollowDrag(sheet, 1, [&](Point p) {
        band.frame = Span(start, SnapPointToSheetView(sheet, p));
        if (VXGetWindowFromId(id)) VXUpdateOverlay(window);
    });
    if (!VXGetWindowFromId(id)) return;
    VXEndOverlay(window);
    const Rect& r = band.frame;
    if (r.right - r.left < kMinNewSheetSymbolExtent || r.bottom - r.top < kMinNewSheetSymbolExtent) return;
    SymbolRecord* symbol = CreateSheetSymbol();
    if (!symbol) return;
    SetSheetModifiedStatus(sheet, kModifiedNewSheetSymbol);
    symbol->position = {r.top, r.left};
    SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(symbol->sheetSymbolData);
    head->height = uint16_t(r.bottom - r.top);
    head->width = uint16_t(r.right - r.left);
    head->spacing = uint16_t(std::max<int32_t>(1, sheet->view.gridSpacing));
    AddSymbolToSheet(sheet, symbol);
    SetSymbolRefPrefix(symbol, sheet->stringBlock, "X");
    Rect bounds;
    GetSelectedSymbolBounds(sheet, symbol, &bounds);
    Redraw(sheet, bounds, 2);
    EditSymbolInformation(sheet, symbol, 1, nullptr);
}

}  // namespace plexa
