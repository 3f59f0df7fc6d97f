#include "sheeteditor/wiretracking.h"

#include <algorithm>
#include <cstdlib>

#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "library/itemcache.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetdraw.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symboldraw.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wireintegrate.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/signalinfo.h"
#include "sheeteditor/signaljoin.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/symbolimage.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// The image of the library item the place tool places (a cache of the item cache's item).
TrackingImageRecord gTrackingSymbolImage;
// The window id of the sheet window showing the overlay, -1 none: the pointer is over one window
// at a time, and the overlay follows it.
int32_t gOverlayOwnerID = -1;

constexpr Point kNoPoint{-1, -1};
constexpr uint32_t kSheetPaneOverlay = 0x100000;
// A bus line made: content changed, the search starts again (the line is the undoable action).
constexpr int32_t kBussMadeModified = 0x41;
constexpr int16_t kRayLength = 5000;
// The largest symbol image kept, in bytes of one bit a pixel (rows of whole 32-bit words).
constexpr int64_t kLargestTrackingImage = 0x20000;
// At this view scale (percent) and below a symbol being placed shows as its dashed outline.
constexpr int32_t kSmallestImageScale = 24;
// Pixels drawn as a mask in the foreground colour: white leaves the sheet as it is.
constexpr int16_t kMaskDrawMode = 11;

bool Same(Point a, Point b) { return a.v == b.v && a.h == b.h; }

void InvalArea(SheetRecord* sheet, const Rect& area) {
    if (!VXEmptyRect(&area)) InvalSheetWindowArea(sheet, &area);
}

bool IsCreating(SheetRecord* sheet) { return WireStateOf(sheet).wire != nullptr; }

bool IsBussWire(WireHandle wire) { return wire && ((*wire)->flags & kWireFlagBuss); }

// Step 5 of the terminal test: a point on a signal's wire. The middle of a wire is entered at
// right angles, a free end or a junction end is continued straight.
uint16_t SignalWireTerminal(TrackTerminal* t) {
    t->junction = 1;
    Point end;
    for (int32_t which : {1, 0}) {
        if (!GetWireCorner(t->wire, which ? -1 : 0, &end) || !Same(end, t->point)) continue;
        const uint16_t word = which ? (*t->wire)->end1 : (*t->wire)->end0;
        t->junction = (word & 0x4000) ? 0 : 1;
        break;
    }
    const int32_t direction = GetWireSegOrient(t->wire, t->segment, false);
    const bool horizontal = (direction & 3) == 2;
    t->direction = t->junction ? uint8_t(horizontal) : uint8_t(!horizontal);
    t->kind = kTermSignalWire;
    return t->kind;
}

// Step 1 of the terminal test on a bus hit: snapped onto the wire; 0 when the snap leaves it.
uint16_t BussWireTerminal(SheetRecord* sheet, TrackTerminal* t, uint16_t hitMask) {
    SnapWireSegmentPointToGrid(sheet, t->wire, &t->segment, &t->point);
    if (t->segment < 0 || t->segment >= CountWireSegments(t->wire)) return 0;
    t->direction = uint8_t(GetWireSegOrient(t->wire, t->segment, false));
    t->kind = uint16_t(hitMask & (kTermBussWire | kTermBreakOut));
    return t->kind;
}

// A pin that a wire of its net already ends on: the terminal is that end of the wire.
void TakePinWire(TrackTerminal* t, void* net, WireHandle wire, Point pin) {
    Point first{};
    GetWireCorner(wire, 0, &first);
    t->object = net;
    t->wire = wire;
    t->segment = int16_t(Same(first, pin) ? 0 : CountWireSegments(wire) - 1);
}

// The wire being made lies in no net's list: its changes are reported under its own handle,
// which no spatial index holds, so that they mark none for a rebuild.
void AppendPath(WireHandle wire, const MouseTrackRecord& record) {
    const SheetNetScope scope(wire);
    for (int32_t i = 1; i <= record.legs; ++i)
        if (!InsertWireCorner(wire, record.path[i], -1)) break;  // out of memory: the legs so far
    CalcWireBounds(wire);
}

// The sheet area the overlay draws the tracking state in (the path's corners, the terminal's
// mark, the carried symbol's image, each with room for its pen); empty when it draws nothing.
Rect TrackingOverlayArea(const MouseTrackRecord& r) {
    Rect area;
    VXSetEmptyRect(&area);
    if (!r.visible) return area;
    const auto add = [&](Point at, int16_t room) {
        const Rect box{int16_t(at.v - room), int16_t(at.h - room), int16_t(at.v + room), int16_t(at.h + room)};
        if (VXEmptyRect(&area)) area = box;
        else VXUnionRect(&area, &box, &area);
    };
    const int16_t legs = std::clamp<int16_t>(r.legs, 0, 3);
    for (int16_t i = 0; i <= legs; ++i) add(r.path[i], 3);
    if (r.terminal.kind != kTermNone) add(r.terminal.point, 9);
    const TrackingImageRecord& t = gTrackingSymbolImage;
    if (t.valid && !VXEmptyRect(&t.bounds)) {
        Rect image = t.bounds;
        VXOffsetRect(&image, r.path[legs].h, r.path[legs].v);
        VXInsetRect(&image, -2, -2);
        if (VXEmptyRect(&area)) area = image;
        else VXUnionRect(&area, &image, &area);
    }
    return area;
}

void UpdateOverlayOver(VXWindowRecordTag* window, const Rect& area) {
    if (VXEmptyRect(&area)) return;
    const LRect l{area.top, area.left, area.bottom, area.right};
    VXUpdateOverlayArea(window, &l);
}

void RenderSheetOverlay(VXWindowRecordTag* window, void*) {
    SheetRecord* sheet = SheetOfWindow(window);
    if (!sheet) return;
    const WireInProgress& w = WireStateOf(sheet);
    const MouseTrackRecord& r = w.current;
    if (!r.visible) return;
    const uint16_t tool = sheet->selectedTool;
    const int32_t placement = NetSymbolPlacement(sheet);
    const bool wireTool = tool == kDrawToolVoltageLabel || tool == kDrawToolGraphSignals ||
                          tool == kDrawToolWire || tool == kDrawToolBuss || placement != 0;
    if (!wireTool && tool != kDrawToolLibraryPart) return;
    VXPenNormal();
    const double opacity = VXSetOpacity(0.78);
    if (tool == kDrawToolLibraryPart) {
        (void)DrawTrackingSymbolImage(sheet, r.path[std::clamp<int16_t>(r.legs, 0, 3)]);  // nothing to draw without an image
        if (placement == 0) {
            VXSetOpacity(opacity);
            return;
        }
        VXPenNormal();
    }
    const TrackTerminal& t = r.terminal;
    bool mark = t.kind != 0 && GetWireTrackingHooks().showTerminalMark && GetWireTrackingHooks().showTerminalMark();
    if (mark && IsCreating(sheet) && (t.kind == kTermSignalPin || t.kind == kTermBussPin) &&
        t.kind == w.start.kind && t.object == w.start.object && t.node == w.start.node)
        mark = false;
    const bool bussMode = IsBussLineMode(sheet) != 0;
    const int16_t shift = bussMode ? -1 : 0;
    if (r.legs > 0) {
        VXSetPenWidth(bussMode ? 2 : 1);
        Set_Fore_Color(7);
        VXMoveTo(r.path[0].h + shift, r.path[0].v + shift);
        for (int32_t i = 1; i <= r.legs; ++i)
            VXLineTo(int16_t(r.path[i].h + shift), int16_t(r.path[i].v + shift));
    }
    if (mark) {
        Rect box{t.point.v, t.point.h, int16_t(t.point.v + 1), int16_t(t.point.h + 1)};
        if (t.kind == kTermBreakOut || bussMode)
            box = {int16_t(t.point.v - 1), int16_t(t.point.h - 1), int16_t(t.point.v + 1), int16_t(t.point.h + 1)};
        int16_t grow = (t.kind == kTermSignalPin || t.kind == kTermBussPin) ? 5 : 4;
        if ((box.bottom - box.top + 2 * grow) * window->scalePercentV / 100 < 13) ++grow;
        VXInsetRect(&box, int16_t(-grow), int16_t(-grow));
        VXSetPenWidth(2);
        Set_Fore_Color(3);
        VXFrameOval(&box);
    }
    VXSetOpacity(opacity);
}

}  // namespace

void PlayConnectSound() {
    if (GetWireTrackingHooks().connectSound) GetWireTrackingHooks().connectSound();
}

void InvalJunctionDot(SheetRecord* sheet, Point pt) {
    InvalArea(sheet, Rect{int16_t(pt.v - 4), int16_t(pt.h - 4), int16_t(pt.v + 5), int16_t(pt.h + 5)});
}

// ---- Paths ----

void BuildOrientPath(Point* path, int32_t direction, int32_t length) {
    const int32_t l = std::abs(length);
    static constexpr int8_t kOffsets[8][2] = {{-1, 0}, {-1, 1}, {0, 1},  {1, 1},
                                              {1, 0},  {1, -1}, {0, -1}, {-1, -1}};
    const int8_t* o = direction >= 0 && direction < 8 ? kOffsets[direction] : kOffsets[3];
    path[1] = {int16_t(path[0].v + o[0] * l), int16_t(path[0].h + o[1] * l)};
}

bool BuildIntersectPath(Point* path, int32_t direction, const Point segment[2]) {
    BuildOrientPath(path, direction, kRayLength);
    Point crossing{};
    const int result = VXSectLines(path[0], path[1], segment[0], segment[1], true, &crossing);
    if ((result & ~2) == 0) return false;
    path[1] = crossing;
    return true;
}

void CalcSignalCreationPath(SheetRecord* sheet, Point mouse, MouseTrackRecord* r) {
    const WireInProgress& w = WireStateOf(sheet);
    r->legs = 0;
    if (!w.wire || !GetWireCorner(w.wire, -1, &r->path[0])) return;
    const Point p0 = r->path[0];
    const Point target = r->terminal.kind ? r->terminal.point : SnapToSheetGrid(sheet, mouse);
    const int32_t dv = target.v - p0.v, dh = target.h - p0.h;
    if (dv == 0 && dh == 0) return;
    r->path[1] = r->path[2] = target;
    r->legs = (dv && dh) ? 2 : 1;
    if (r->legs == 2) r->path[1] = w.pathOption == 0 ? Point{p0.v, target.h} : Point{target.v, p0.h};
    if (r->terminal.kind != kTermBreakOut) return;
    // A signal wire meets a bus with a 9 x 9 diagonal stub from the last corner far enough from it.
    TrackTerminal& t = r->terminal;
    const Point hit = t.point;
    const bool horizontal = (t.direction & 2) != 0;
    for (int32_t i = r->legs - 1; i >= 1; --i) {
        const Point corner = r->path[i];
        Point entry, elbow;
        if (horizontal) {
            if (std::abs(hit.v - corner.v) <= 8) continue;
            entry = {hit.v, int16_t(corner.h < mouse.h ? corner.h + 9 : corner.h - 9)};
            elbow = {int16_t(hit.v >= corner.v ? hit.v - 9 : hit.v + 9), corner.h};
        } else {
            if (std::abs(hit.h - corner.h) <= 8) continue;
            entry = {int16_t(corner.v < mouse.v ? corner.v + 9 : corner.v - 9), hit.h};
            elbow = {corner.v, int16_t(hit.h >= corner.h ? hit.h - 9 : hit.h + 9)};
        }
        const int32_t found = HitTestOneWire(t.wire, entry, 0, false, nullptr);
        if (found < 0 || std::abs(found - t.segment) > 1) continue;
        r->path[i + 1] = elbow;
        r->path[i + 2] = entry;
        r->legs = int16_t(i + 2);
        t.point = entry;
        return;
    }
    t = TrackTerminal{};
    t.point = SnapToSheetGrid(sheet, mouse);
    r->hitMask &= uint16_t(~kTermBreakOut);
}

void CalcBussLineCreationPath(SheetRecord* sheet, Point mouse, MouseTrackRecord* r) {
    const WireInProgress& w = WireStateOf(sheet);
    r->legs = 0;
    if (!w.wire || !GetWireCorner(w.wire, -1, &r->path[0])) return;
    const Point p0 = r->path[0];
    if (r->terminal.kind == kTermBussPin) {
        if (Same(p0, r->terminal.point)) return;
        r->path[1] = r->terminal.point;
        r->legs = 1;
        return;
    }
    const Point g = SnapToSheetGrid(sheet, mouse);
    const int32_t direction = CalcClosestLineOrient(p0, g, false);
    if (direction == kOrientNull) return;
    if (r->terminal.kind == kTermBussWire) {
        Point segment[2];
        if (GetWireSegment(r->terminal.wire, r->terminal.segment, segment) &&
            BuildIntersectPath(r->path, direction, segment)) {
            r->terminal.point = r->path[1];
            r->legs = Same(r->path[1], p0) ? 0 : 1;
            return;
        }
        r->terminal.kind = kTermNone;
    }
    BuildOrientPath(r->path, direction, std::max(std::abs(g.v - p0.v), std::abs(g.h - p0.h)));
    r->legs = 1;
}

// The polygon tool's path comes with the graphic element tools; until then it proposes nothing.
bool CalcPolyCreationPath(SheetRecord*, Point, MouseTrackRecord* r) {
    r->legs = 0;
    return false;
}

// ---- Terminals ----

void SnapWireSegmentPointToGrid(SheetRecord* sheet, WireHandle wire, int16_t* segmentIndex, Point* point) {
    if (!sheet || !sheet->view.snap || !wire || !segmentIndex || !point) return;
    Point g = SnapToSheetGrid(sheet, *point);
    if (Same(g, *point)) return;
    Point ends[2];
    if (!GetWireSegment(wire, *segmentIndex, ends)) return;
    Point a = ends[0], b = ends[1];
    const int32_t direction = GetWireSegOrient(wire, *segmentIndex, false);
    if ((direction & 7) == 0 || (direction & 7) > 4) std::swap(a, b);
    g.h = int16_t(std::clamp<int32_t>(g.h, std::min(a.h, b.h), std::max(a.h, b.h)));
    g.v = int16_t(std::clamp<int32_t>(g.v, std::min(a.v, b.v), std::max(a.v, b.v)));
    if (Same(g, a) || Same(g, b)) {
        *point = g;
        return;
    }
    const bool alongV = std::abs(b.h - a.h) <= std::abs(b.v - a.v);
    const Point l0 = alongV ? Point{g.v, -5000} : Point{-5000, g.h};
    const Point l1 = alongV ? Point{g.v, 5000} : Point{5000, g.h};
    Point crossing{};
    if (VXSectLines(a, b, l0, l1, false, &crossing) == kLinesCross) g = crossing;
    if (direction >= 9) {
        // A slant that is not 45 degrees: the crossing may lie a unit off the drawn line.
        *segmentIndex = -1;
        for (int32_t d : {-1, 0, 1}) {
            Point p = g;
            if (alongV) p.h = int16_t(g.h + d);
            else p.v = int16_t(g.v + d);
            const int32_t found = HitTestOneWire(wire, p, 0, false, nullptr);
            if (found >= 0) {
                *segmentIndex = int16_t(found);
                g = p;
                break;
            }
        }
    }
    *point = g;
}

uint16_t HitTestTerminal(SheetRecord* sheet, Point point, uint16_t hitMask, MouseTrackRecord* record) {
    TrackTerminal& t = record->terminal;
    t = TrackTerminal{};
    WireHandle wire = nullptr;
    int32_t segment = -1;
    Point hit = point;
    if (hitMask & (kTermBussWire | kTermBreakOut)) {
        if (BussHandle buss = HitTestBussList(sheet, point, CalcDefaultBussWireHitTestSlop(sheet),
                                              (hitMask & kTermBreakOut) != 0, &wire, &segment, &hit)) {
            t.object = buss;
            t.wire = wire;
            t.segment = int16_t(segment);
            t.point = hit;
            if (BussWireTerminal(sheet, &t, hitMask)) return t.kind;
            t = TrackTerminal{};
        }
    }
    if (hitMask & kTermSignalWire) {
        hit = point;
        if (SignalHandle signal = HitTestSignalList(sheet, point, CalcDefaultSignalWireHitTestSlop(sheet),
                                                    &wire, &segment, &hit)) {
            t.object = signal;
            t.wire = wire;
            t.segment = int16_t(segment);
            t.point = hit;
            SnapWireSegmentPointToGrid(sheet, wire, &t.segment, &t.point);
            if (t.segment >= 0 && t.segment < CountWireSegments(wire)) return SignalWireTerminal(&t);
            t = TrackTerminal{};
        }
    }
    if (hitMask & (kTermSignalPin | kTermBussPin)) {
        Point at = point;
        SymbolRecord* symbol = nullptr;
        const int32_t node = HitTestPins(sheet, &at, CalcDefaultSignalWireHitTestSlop(sheet), &symbol);
        if (node >= 0 && symbol) {
            const uint16_t kind = uint16_t(GetNodeInstanceWidth(sheet, symbol, node) == 1 ? hitMask & kTermSignalPin
                                                                                         : hitMask & kTermBussPin);
            t.object = symbol;
            t.node = uint16_t(node);
            t.point = at;
            if (kind == kTermSignalPin && (hitMask & kTermSignalWire)) {
                WireHandle pinWire = nullptr;
                if (SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, t.node, &pinWire, nullptr);
                    signal && pinWire) {
                    TakePinWire(&t, signal, pinWire, at);
                    SnapWireSegmentPointToGrid(sheet, pinWire, &t.segment, &t.point);
                    return SignalWireTerminal(&t);
                }
                t.pinDirection = uint16_t(~GetNodeInstanceOrient(sheet, symbol, node) & 1);
                t.kind = kTermSignalPin;
                return t.kind;
            }
            if (kind == kTermBussPin && (hitMask & kTermBussWire)) {
                WireHandle pinWire = nullptr;
                if (BussHandle buss = GetConnectedBuss(sheet->bussList, symbol, t.node, &pinWire, nullptr);
                    buss && pinWire) {
                    TakePinWire(&t, buss, pinWire, at);
                    if (BussWireTerminal(sheet, &t, hitMask)) return t.kind;
                    t = TrackTerminal{};
                    t.point = SnapToSheetGrid(sheet, point);
                    return 0;
                }
            }
            if (kind) {
                t.pinDirection = uint16_t(~GetNodeInstanceOrient(sheet, symbol, node) & 1);
                t.kind = kind;
                return kind;
            }
            t = TrackTerminal{};
        }
    }
    t.point = SnapToSheetGrid(sheet, point);
    return 0;
}

// ---- Tracking ----

int32_t NetSymbolPlacement(SheetRecord* sheet) {
    if (!sheet || sheet->selectedTool != kDrawToolLibraryPart) return 0;
    if (!IsSignalWireMode(sheet) && !IsBussLineMode(sheet)) return 0;
    const WireInProgress& w = WireStateOf(sheet);
    if (IsCreating(sheet) && (w.start.kind == kTermSignalPin || w.start.kind == kTermBussPin) &&
        w.start.netSymbol)
        return 2;
    return 1;
}

void CalcMouseTrackingState(SheetRecord* sheet, Point mouse, MouseTrackRecord* r) {
    *r = MouseTrackRecord{};
    const uint16_t tool = sheet->selectedTool;
    if (tool == kDrawToolPolygon) {
        r->visible = CalcPolyCreationPath(sheet, mouse, r) ? 1 : 0;
        return;
    }
    const int32_t placement = NetSymbolPlacement(sheet);
    bool imageFlag = false;
    if (tool == kDrawToolLibraryPart) {
        if (gTrackingSymbolImage.stale) BuildTrackingSymbolImage(sheet, gPlaceTransformation);
        imageFlag = gTrackingSymbolImage.valid && placement != 2;
    }
    if (tool == kDrawToolLibraryPart && placement == 0) {
        r->path[0] = SnapToSheetGrid(sheet, mouse);
        r->visible = imageFlag ? 1 : 0;
        return;
    }
    if (tool != kDrawToolVoltageLabel && tool != kDrawToolGraphSignals && tool != kDrawToolWire &&
        tool != kDrawToolBuss && tool != kDrawToolLibraryPart)
        return;
    const bool bussMode = IsBussLineMode(sheet) != 0;
    uint16_t mask;
    if (IsCreating(sheet) && placement == 1) mask = 0;
    else if (bussMode) mask = kTermBussPin | kTermBussWire;
    else if (tool == kDrawToolGraphSignals) mask = kTermSignalPin | kTermSignalWire;
    else if (tool == kDrawToolVoltageLabel) mask = kTermSignalWire;
    else mask = uint16_t(kTermSignalPin | kTermSignalWire | (IsCreating(sheet) ? kTermBreakOut : 0));
    r->hitMask = mask;
    const uint16_t kind = HitTestTerminal(sheet, mouse, mask, r);
    if (IsCreating(sheet)) {
        if (bussMode) CalcBussLineCreationPath(sheet, mouse, r);
        else CalcSignalCreationPath(sheet, mouse, r);
    } else {
        r->legs = 0;
        r->path[0] = r->terminal.point;
    }
    r->visible = ((kind != 0 && r->terminal.kind != 0) || imageFlag || r->legs > 0) ? 1 : 0;
}

bool IsNewTrackingState(SheetRecord* sheet, const MouseTrackRecord* r) {
    const MouseTrackRecord& c = WireStateOf(sheet).current;
    if (r->visible != c.visible || r->legs != c.legs || r->terminal.kind != c.terminal.kind) return true;
    for (int32_t i = std::min<int32_t>(r->legs, 3); i >= 0; --i)
        if (!Same(r->path[i], c.path[i])) return true;
    return false;
}

void TrackSheetMouseMovement(SheetRecord* sheet, Point mouse, uint32_t toggleRequest, int32_t inView) {
    if (!sheet || !sheet->window) return;
    if (inView != 255 || sheet->zoomMode || FrontSheetWindow() != sheet->window) {
        if (SheetHasOverlay(sheet)) CloseTrackingOverlay();
        return;
    }
    WireInProgress& w = WireStateOf(sheet);
    w.lastMouse = mouse;
    if ((toggleRequest & 1) && !(IsCreating(sheet) && w.current.terminal.kind == kTermBreakOut))
        w.pathOption ^= 1;
    MouseTrackRecord r;
    CalcMouseTrackingState(sheet, mouse, &r);
    if (!IsNewTrackingState(sheet, &r)) return;
    if (r.terminal.kind == kTermNone && (r.legs > 0 || (!IsCreating(sheet) && NetSymbolPlacement(sheet) != 0))) {
        // The path may end exactly on a terminal that the mouse itself is not over.
        MouseTrackRecord probe = r;
        const Point end = r.path[r.legs];
        if (HitTestTerminal(sheet, end, r.hitMask, &probe) && Same(probe.terminal.point, end)) {
            r.terminal = probe.terminal;
            if (r.terminal.kind == kTermBreakOut) CalcSignalCreationPath(sheet, mouse, &r);
        }
    }
    if (!IsNewTrackingState(sheet, &r)) return;
    VXWindowRecordTag* window = sheet->window;
    if (gOverlayOwnerID == window->windowID) {
        // Only where the overlay drew and where it draws now: the area kept when it was drawn
        // (the carried image may have changed since) and the shown state's.
        const Rect shown = TrackingOverlayArea(w.current);
        w.current = r;
        const Rect next = TrackingOverlayArea(r);
        UpdateOverlayOver(window, w.overlayArea);
        UpdateOverlayOver(window, shown);
        UpdateOverlayOver(window, next);
        w.overlayArea = next;
        return;
    }
    CloseTrackingOverlay();
    w.current = r;
    w.overlayArea = TrackingOverlayArea(r);
    VXBeginOverlayForPanes(window, kSheetPaneOverlay, RenderSheetOverlay, nullptr);
    gOverlayOwnerID = window->windowID;
}

void TrackSheetMouseEvent(SheetRecord* sheet, int32_t x, int32_t y) {
    if (!sheet || !sheet->window) return;
    _LPNT content{}, pad{};
    VXWindowPointToPanelContent(sheet->window, x, y, &content);
    const int32_t pane = TranslateMousePt(sheet->window, &content, &pad);
    const Point mouse{int16_t(std::clamp<int32_t>(pad.v, -32000, 32000)),
                      int16_t(std::clamp<int32_t>(pad.h, -32000, 32000))};
    TrackSheetMouseMovement(sheet, mouse, sheet->pathToggleRequest, pane == -1 ? 255 : 0);
}

void RecordMouseClickTrackingState(SheetRecord* sheet) {
    WireInProgress& w = WireStateOf(sheet);
    w.atClick = w.current;
}

void CloseTrackingOverlay() {
    if (gOverlayOwnerID == -1) return;
    if (VXWindowRecordTag* window = VXGetWindowFromId(gOverlayOwnerID)) {
        VXEndOverlay(window);
        // Nothing is shown now: the next state that shows something opens the overlay again.
        if (SheetRecord* sheet = SheetOfWindow(window)) WireStateOf(sheet).current.visible = 0;
    }
    gOverlayOwnerID = -1;
}

bool SheetHasOverlay(const SheetRecord* sheet) {
    return sheet && sheet->window && gOverlayOwnerID != -1 && sheet->window->windowID == gOverlayOwnerID;
}

void InvalidateMouseTrackingImage(SheetRecord* sheet) {
    InvalidateTrackingSymbolImage();
    if (!sheet) return;
    ClearMouseTrackingState(sheet);
    WireStateOf(sheet).current.visible = 0;
    if (!sheet->window) return;
    if (SheetHasOverlay(sheet)) VXUpdateOverlay(sheet->window);
    VXRequestMouseMoved(sheet->window);
}

void InvalidateTrackingSymbolImage() { gTrackingSymbolImage.stale = true; }

const TrackingImageRecord& GetTrackingSymbolImage() { return gTrackingSymbolImage; }

void BuildTrackingSymbolImage(SheetRecord* sheet, int32_t transform) {
    TrackingImageRecord& t = gTrackingSymbolImage;
    t.stale = false;
    VXDestroyPixelImage(t.pixels);
    t.pixels = nullptr;
    t.valid = t.tooLarge = false;
    VXSetEmptyRect(&t.bounds);
    if (!sheet) return;
    transform &= 7;
    LoadLibCacheTextList(sheet->window, transform);
    CachedLibData data{};
    GetCachedLibData(&data);
    const uint32_t size = data.symbolData ? SizeOfPtr(data.symbolData) : 0;
    t.valid = data.item && size > kSymbolDataHeadSize;
    if (!t.valid) return;
    // The symbol's bounds, turned as it will be placed, with its texts and frames.
    Rect bounds = data.bounds;
    if (transform) VXTransformGrafRect(transform, &bounds);
    VXInsetRect(&bounds, -1, -1);
    auto shown = [](const TextRecord* text) {
        return text->kind != kTextKindSymbolAttribute && !(text->flags & kTextFlagHidden);
    };
    for (auto* text = static_cast<TextRecord*>(LLFirst(data.texts)); text; text = text->link)
        if (shown(text)) AddToUpdateRect(&bounds, text->bounds);
    for (auto frame = static_cast<TextFrameHandle>(LLFirst(data.frames)); frame;
         frame = static_cast<TextFrameHandle>(LLGetNext(data.frames, frame)))
        AddToUpdateRect(&bounds, (*frame)->bounds);
    t.bounds = bounds;
    const int64_t width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (height * ((width + 31) / 32) * 4 > kLargestTrackingImage) {
        t.tooLarge = true;
        return;
    }
    t.pixels = DrawSheetAreaImage(bounds, [&](VXGrafState* graf) {
        DrawSymbolGraphics(graf, data.symbolData, size, data.item->imageList, Point{0, 0}, 0, 0, transform, false);
        for (auto* text = static_cast<TextRecord*>(LLFirst(data.texts)); text; text = text->link)
            if (shown(text)) DrawTextElement(text, data.strings);
        for (auto frame = static_cast<TextFrameHandle>(LLFirst(data.frames)); frame;
             frame = static_cast<TextFrameHandle>(LLGetNext(data.frames, frame)))
            DrawTextFrame(frame, true);
    });
    t.tooLarge = t.pixels == nullptr;
}

bool DrawTrackingSymbolImage(SheetRecord* sheet, Point point) {
    const TrackingImageRecord& t = gTrackingSymbolImage;
    if (!sheet || sheet->selectedTool != kDrawToolLibraryPart || NetSymbolPlacement(sheet) == 2) return false;
    if (!t.valid) return false;
    Rect r = t.bounds;
    VXOffsetRect(&r, point.h, point.v);
    Set_Fore_Color(0);
    if (t.pixels && !t.tooLarge && sheet->window && sheet->window->scalePercentV > kSmallestImageScale) {
        VXDrawPixels(t.pixels, nullptr, &r, kMaskDrawMode);
    } else {
        VXSetPenWidth(1);
        VXSetLineDashInterval(3, 2, 0);
        VXFrameRect(&r);
        VXSetLineDashInterval(0, 0, 0);
    }
    return true;
}

// ---- Clicks ----

namespace {

// The cached library item placed at the point when the library-part tool places net symbols (a
// ground or power symbol, or a bus's).
SymbolRecord* CreateNetSymbolInstance(SheetRecord* sheet, Point at) {
    if (!IsSignalWireMode(sheet) && !IsBussLineMode(sheet)) return nullptr;
    return PlaceCachedLibraryItem(sheet, at);
}

// The start of a wire: clears the highlights. The last action stays undoable until the wire is
// made, which then is the action.
void BeginCreation(SheetRecord* sheet, bool buss) {
    Rect area;
    VXSetEmptyRect(&area);
    if (buss) ClearBussHilite(sheet, &area);
    else ClearSignalHilite(sheet, &area);
    InvalArea(sheet, area);
}

bool StartWire(SheetRecord* sheet, const TrackTerminal& t, uint16_t flags) {
    WireInProgress& w = WireStateOf(sheet);
    WireHandle wire = CreateWire(nullptr);
    if (!wire) return false;
    if (!InsertWireCorner(wire, t.point, -1)) {
        DestroyWire(wire);
        return false;
    }
    (*wire)->flags |= flags;
    {
        const SheetNetScope scope(wire);  // in no list yet (see AppendPath)
        CalcWireBounds(wire);
    }
    w.start = t;
    w.wire = wire;
    return true;
}

// A click on another sheet than one a wire is drawn on ends that wire there first (kept with a
// free end), so that one wire is drawn at a time.
void EndWireOfOtherSheet(SheetRecord* sheet) {
    for (bool visible : {true, false})
        for (SheetRecord* open : SheetWindowSheets(visible))
            if (open != sheet && open->editState && WireStateOf(open).wire) CancelWireCreation(open);
}

// The click state when it stands for a terminal still on the sheet (the sheet may have changed
// since the mouse was tracked: a terminal gone is not used).
bool ClickTerminal(SheetRecord* sheet, MouseTrackRecord* click) {
    if (!sheet) return false;
    *click = WireStateOf(sheet).atClick;
    return !Same(click->terminal.point, kNoPoint) && IsTrackTerminalOnSheet(sheet, click->terminal);
}

// Places a net symbol at the point; the terminal becomes its pin. False when none was placed.
bool PlaceNetSymbol(SheetRecord* sheet, Point at, uint16_t kind, TrackTerminal* t) {
    SymbolRecord* symbol = CreateNetSymbolInstance(sheet, at);
    if (!symbol) return false;
    t->kind = kind;
    t->node = 0;
    t->object = symbol;
    t->netSymbol = 1;
    return true;
}

// The click that ends a wire at a net symbol it places: the placing and the wire are one action.
void BeginPlacingEnd(SheetRecord* sheet) {
    ClearSheetUndoAction(sheet);
    StartSheetUndoCollection(sheet, kUndoActionWireChange);
}

bool IsStartPin(const WireInProgress& w, const TrackTerminal& t) {
    return t.object == w.start.object && t.node == w.start.node &&
           (w.start.kind == kTermSignalPin || w.start.kind == kTermBussPin);
}

}  // namespace

void CreateSignalClick(SheetRecord* sheet) {
    MouseTrackRecord click;
    if (!ClickTerminal(sheet, &click)) return;
    EndWireOfOtherSheet(sheet);
    WireInProgress& w = WireStateOf(sheet);
    TrackTerminal t = click.terminal;
    const int32_t placement = NetSymbolPlacement(sheet);
    char name[kSignalNameSize];
    if (!w.wire) {
        BeginCreation(sheet, false);
        switch (t.kind) {
            case kTermSignalWire:
                if (t.junction) InvalJunctionDot(sheet, t.point);
                w.pathOption = t.direction;
                PlayConnectSound();
                if (placement == 1 && GetCachedNetSymbolSignalName(sheet, name) &&
                    !AskChangeAttachedSignalName(sheet, static_cast<SignalHandle>(t.object), name, false))
                    return;
                break;
            case kTermSignalPin:
                w.pathOption = t.pinDirection;
                PlayConnectSound();
                if (placement == 1 && GetCachedNetSymbolSignalName(sheet, name) &&
                    !AskChangeAttachedSignalName(sheet, nullptr, name, false))
                    return;
                break;
            case kTermNone:
                if (placement != 1 || !PlaceNetSymbol(sheet, t.point, kTermSignalPin, &t)) return;
                w.pathOption =
                    uint16_t(~GetNodeInstanceOrient(sheet, static_cast<SymbolRecord*>(t.object), 0) & 1);
                break;
            default:
                return;
        }
        (void)StartWire(sheet, t, kWireFlagCreating);  // out of memory: nothing starts
        return;
    }
    if (click.legs <= 0 || IsBussWire(w.wire)) return;
    const bool placing = t.kind == kTermNone && placement == 1;
    switch (t.kind) {
        case kTermNone:
            if (!placing) break;
            BeginPlacingEnd(sheet);
            if (!PlaceNetSymbol(sheet, click.path[click.legs], kTermSignalPin, &t)) {
                AbortSheetUndoCollection(sheet);
                return;
            }
            break;
        case kTermSignalPin:
            if (IsStartPin(w, t)) return;
            PlayConnectSound();
            break;
        case kTermSignalWire:
            if (t.junction) InvalJunctionDot(sheet, t.point);
            PlayConnectSound();
            break;
        case kTermBreakOut:
            PlayConnectSound();
            break;
        default:
            return;
    }
    WireHandle copy = DuplicateWire(w.wire);
    if (!copy) {
        // The net symbol placed stays, its own action.
        if (placing) AcceptSheetUndoCollection(sheet);
        return;
    }
    AppendPath(w.wire, click);
    InvalArea(sheet, (*w.wire)->bounds);
    if (t.kind == kTermSignalPin || t.kind == kTermSignalWire || t.kind == kTermBreakOut) {
        WireHandle drawn = w.wire;
        if (!FinishSignalCreation(sheet, &t)) {
            // A question was refused: the wire goes on as it was before the click (a net symbol
            // placed by the click stays, the action that undo takes back).
            InvalArea(sheet, (*drawn)->bounds);
            DestroyWire(drawn);
            w.wire = copy;
            if (placing) AcceptSheetUndoCollection(sheet);
            return;
        }
    }
    if (placing) AcceptSheetUndoCollection(sheet);
    DestroyWire(copy);
}

void CreateBussClick(SheetRecord* sheet) {
    MouseTrackRecord click;
    if (!ClickTerminal(sheet, &click)) return;
    EndWireOfOtherSheet(sheet);
    WireInProgress& w = WireStateOf(sheet);
    TrackTerminal t = click.terminal;
    const int32_t placement = NetSymbolPlacement(sheet);
    if (!w.wire) {
        BeginCreation(sheet, true);
        switch (t.kind) {
            case kTermBussWire:
            case kTermBussPin:
                PlayConnectSound();
                break;
            case kTermNone:
                if (sheet->selectedTool == kDrawToolLibraryPart && !PlaceNetSymbol(sheet, t.point, kTermBussPin, &t))
                    return;
                break;  // a bus may start on an empty spot of the sheet
            default:
                return;
        }
        (void)StartWire(sheet, t, kWireFlagCreating | kWireFlagBuss);  // out of memory: nothing starts
        return;
    }
    if (click.legs <= 0 || !IsBussWire(w.wire)) return;
    const bool placing = t.kind == kTermNone && placement == 1;
    switch (t.kind) {
        case kTermNone:
            if (!placing) break;
            BeginPlacingEnd(sheet);
            if (!PlaceNetSymbol(sheet, click.path[click.legs], kTermBussPin, &t)) {
                AbortSheetUndoCollection(sheet);
                return;
            }
            break;
        case kTermBussWire:
            PlayConnectSound();
            break;
        case kTermBussPin:
            if (IsStartPin(w, t)) return;
            PlayConnectSound();
            break;
        default:
            return;
    }
    AppendPath(w.wire, click);
    InvalArea(sheet, (*w.wire)->bounds);
    if (t.kind == kTermBussWire || t.kind == kTermBussPin) FinishBussCreation(sheet, &t);
    if (placing) AcceptSheetUndoCollection(sheet);
}

void FinishBussCreation(SheetRecord* sheet, const TrackTerminal* endTerminal) {
    if (!sheet) return;
    WireInProgress& w = WireStateOf(sheet);
    WireHandle wire = w.wire;
    if (!IsBussWire(wire)) return;
    TrackTerminal start = w.start;
    if (!IsTrackTerminalOnSheet(sheet, start)) start = TrackTerminal{};
    TrackTerminal end = endTerminal ? *endTerminal : TrackTerminal{};
    if (!IsTrackTerminalOnSheet(sheet, end)) end = TrackTerminal{};
    w.wire = nullptr;
    if (CountWireSegments(wire) == 0) {
        DestroyWire(wire);  // a net symbol placed for its start stays
    } else {
        // The line is the undoable action (see FinishSignalCreation).
        const bool own = !IsCollectingSheetUndo(sheet);
        if (own) {
            ClearSheetUndoAction(sheet);
            StartSheetUndoCollection(sheet, kUndoActionWireChange);
        }
        const SheetLabelStrings labels = TakeSheetLabelStrings(sheet);
        BussHandle buss = start.kind == kTermBussWire ? static_cast<BussHandle>(start.object) : nullptr;
        if (buss) CollectUndoSwapSheetItem(sheet, kUndoItemBuss, buss);
        if (end.kind == kTermBussWire && end.object) {
            auto* endBuss = static_cast<BussHandle>(end.object);
            if (!buss) {
                buss = endBuss;
                CollectUndoSwapSheetItem(sheet, kUndoItemBuss, buss);
            } else if (buss != endBuss) {
                // The end's buss goes into the start's; its break-out rows follow.
                CollectUndoAltBOTable(sheet);
                CollectUndoCombinedNet(sheet, kUndoItemBuss, endBuss);
                CombineBusses(sheet, endBuss, buss);
            }
        }
        if (!buss && (buss = CreateBuss(sheet->bussList)) != nullptr)
            CollectUndoSheetItemExistance(sheet, kUndoItemBuss, buss, 1);
        if (!buss) {
            DestroyWire(wire);
        } else {
            // From here every wire changed is the new one or one of the buss's (a buss combined
            // into it reported itself), so the sheets' indexes learn of them by the buss.
            const SheetNetScope scope(buss);
            if (start.kind == kTermBussPin) {
                const int32_t index = AddPinToBuss(buss, static_cast<SymbolRecord*>(start.object), start.node, 0);
                if (index >= 0) (*wire)->end0 = uint16_t(index);
            }
            if (end.kind == kTermBussPin) {
                const int32_t index = AddPinToBuss(buss, static_cast<SymbolRecord*>(end.object), end.node, 0);
                if (index >= 0) (*wire)->end1 = uint16_t(index);
            }
            Rect area;
            VXSetEmptyRect(&area);
            RemoveExtraWireCorners(wire, &area);
            CalcWireBounds(wire);
            AddToUpdateRect(&area, (*wire)->bounds);
            IntegrateWire(wire, (*buss)->wires, kIntegrateRecalcBounds, sheet, &area);
            CleanupBussWires(buss, nullptr);
            CalcBussBounds(buss);
            CollectUndoChangedLabelStrings(sheet, labels);
            InvalArea(sheet, area);
            CollectUndoInvalSheetRect(sheet, &area);
            SetSheetModifiedStatus(sheet, kBussMadeModified | kSheetChangePlacesReported);
        }
        if (own) AcceptSheetUndoCollection(sheet);
    }
    ClearMouseTrackingState(sheet);
}

bool CanConnectFloatingWire(SheetRecord* sheet, bool adopt) {
    if (!sheet || !sheet->flashingWire || !sheet->flashingSignal) return false;
    WireHandle wire = sheet->flashingWire;
    WireList list = (*sheet->flashingSignal)->wires;
    if (!IsInSheetList(list, wire) || (*wire)->cornerCount == 0) return false;
    const int32_t end = GetFloatingWireEnd(wire, 0, nullptr);
    Point at{};
    GetWireCorner(wire, end ? -1 : 0, &at);
    // The wire itself is out of its list while the point is tested, then back in its place.
    void* previous = nullptr;
    for (void* link = LLFirst(list); link && link != wire; link = LLGetNext(list, link)) previous = link;
    LLRemoveOrFree(list, wire, previous, false);
    MouseTrackRecord record;
    const uint16_t kind = HitTestTerminal(sheet, at, kTermSignalPin | kTermSignalWire, &record);
    if (previous) LLInsert(list, previous, wire);
    else LLPush(list, wire);
    if (!kind) return false;
    if (adopt) {
        record.hitMask = kTermSignalPin | kTermSignalWire;
        record.path[0] = at;
        WireStateOf(sheet).current = record;
    }
    return true;
}

bool IsWireCreationInProgress(SheetRecord* sheet) { return sheet && sheet->editState && WireStateOf(sheet).wire; }

bool IsWireCreationInProgress() {
    VXWindowRecordTag* window = FrontSheetWindow();
    return window && IsWireCreationInProgress(SheetOfWindow(window));
}

void CancelWireCreation(SheetRecord* sheet) {
    if (!IsWireCreationInProgress(sheet)) return;
    WireInProgress& w = WireStateOf(sheet);
    CloseTrackingOverlay();
    const bool buss = IsBussWire(w.wire);
    if (buss) {
        FinishBussCreation(sheet, nullptr);
    } else if (!FinishSignalCreation(sheet, nullptr) && w.wire) {
        // Only a net symbol's name can still be refused here; the wire is dropped then.
        DestroyWire(w.wire);
        w.wire = nullptr;
        ClearMouseTrackingState(sheet);
    }
    Rect area;
    VXSetEmptyRect(&area);
    if (buss) ClearBussHilite(sheet, &area);
    else ClearSignalHilite(sheet, &area);
    InvalArea(sheet, area);
}

void UpdateWireCreation(SheetRecord* sheet) {
    if (!IsWireCreationInProgress(sheet)) return;
    const WireInProgress& w = WireStateOf(sheet);
    if (CountWireSegments(w.wire) > 0) DrawWire(w.wire, sheet->breakOutTable, 0);
    if (w.start.kind == kTermSignalWire && w.start.junction) DrawJunctionDot(w.start.point, 0);
}

void ReleaseSheetWireTracking(SheetRecord* sheet) {
    if (!sheet) return;
    CancelWireCreation(sheet);
    if (SheetHasOverlay(sheet)) CloseTrackingOverlay();
}

void ResetWireTrackingForTesting() {
    CloseTrackingOverlay();
    gOverlayOwnerID = -1;
    VXDestroyPixelImage(gTrackingSymbolImage.pixels);
    gTrackingSymbolImage = TrackingImageRecord{};
    SetWireTrackingHooks({});
}

}  // namespace plexa
