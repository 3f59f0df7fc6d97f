// The grid, its snapping and drawing, the rulers and their guides (see sheetgrid.h).
#include "sheeteditor/sheetgrid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int16_t kColorKindGrid = 6;
constexpr int32_t kMinScreenStep = 4;

struct GridPattern {
    VXPixels* row = nullptr;
    int32_t interval = 0;
};
GridPattern gPattern;
RulerGuides gGuides;

SheetRecord* SheetOfTop(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top || top->typeID != kSheetWindowKind) return nullptr;
    return static_cast<SheetRecord*>(top->refCon);
}

// The grid, snap flag and area of the editor whose window is given: false for other windows.
struct EditorGrid {
    int32_t grid = 1;
    bool snap = false;
    int32_t resolution = kSymbolEditorResolution;
    Rect area = kSurfaceRect;
};
bool GridOfWindow(VXWindowRecordTag* window, EditorGrid* out) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top) return false;
    if (top->typeID == kSheetWindowKind) {
        const SheetRecord* sheet = SheetOfTop(top);
        if (!sheet) return false;
        out->grid = sheet->view.gridSpacing;
        out->snap = sheet->view.snap != 0;
        out->resolution = sheet->stored.resolution ? sheet->stored.resolution : kNewSheetResolution;
        out->area = sheet->sheetBounds;
        return true;
    }
    if (top->typeID == kSymbolEditorWindowKind) {
        const SymbolEditorRecord* symbolEditor = WindowToSymbolEditor(top);
        if (!symbolEditor || symbolEditor->window != top) return false;
        out->grid = symbolEditor->grid;
        out->snap = symbolEditor->gridLock;
        return true;
    }
    return false;
}

// One value of a point at the window's scale (the horizontal and vertical sides).
Point ScaledSides(VXWindowRecordTag* window, int32_t value) {
    Point p{int16_t(std::min(value, 32767)), int16_t(std::min(value, 32767))};
    if (window) PointsToScale(&window->graf.geometry, &p, 1);
    return p;
}

void SetInk(uint32_t color) { QZSetColor(nullptr, color, false); }

void Line(int32_t h0, int32_t v0, int32_t h1, int32_t v1) {
    VXMoveTo(h0, v0);
    VXLineTo(int16_t(h1), int16_t(v1));
}

void DrawNumber(int32_t value, int32_t h, int32_t v) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d", int(value));
    VXMoveTo(h, v);
    VXDrawTextWithEncoding(text, n, kEncodingUTF8);
}

// The pen width and number offset of a ruler at scale p.
int32_t RulerPenWidth(int32_t p) { return p >= 101 ? std::max(p / 100, 1) : 1; }

// A guide's strip of its ruler: the whole ruler pane is marked for display (a ruler is thin, and
// the pane is found as the panel has it, whatever its scroll).
void InvalGuideStrip(VXWindowRecordTag* window, int32_t pane, int32_t) {
    if (!VXHasAltView(window, pane)) return;
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window))
        VXPanelSetNeedsDisplay(panel, GetPaneBounds(panel, pane, false));
}

}  // namespace


void GetSheetGridPoint(const SheetRecord* sheet, Point* point) {
    if (sheet && point && sheet->view.snap) SnapPointToGrid(point, sheet->view.gridSpacing);
}

void GridPointLock(Point* point) {
    EditorGrid grid;
    if (point && GridOfWindow(vx.currentWindow, &grid) && grid.snap)
        SnapPointToGrid(point, grid.grid);
}

int32_t GetWindowScale(VXWindowRecordTag* window) {
    const Point p = ScaledSides(window, 100);
    return p.h != 100 ? p.h : p.v;
}

int32_t CalcGridDotStep(VXWindowRecordTag* window, int32_t grid) {
    int32_t s = std::max(grid, 1);
    while (s < 0x4000 && ScaledSides(window, s).h < kMinScreenStep) s *= 2;
    return s;
}

void SetGridPattern(int32_t interval) {
    interval = std::max(interval, 1);
    if (!gPattern.row) {
        gPattern.row = VXCreateEmptyPixelImage(kSurfaceRect.right + 60, 1, 0);
        if (!gPattern.row) return;
    }
    VXPixels* row = gPattern.row;
    // A grey mask: white leaves the ground as it is, black paints in the fore colour (the grid's).
    std::memset(row->bits, 255, row->rowBytes);
    for (int32_t x = 0; x < row->width; x += interval) row->bits[x] = 0;
    row->cachedImage.reset();
    row->cachedMask.reset();
    gPattern.interval = interval;
}

int32_t GridPatternInterval() { return gPattern.interval; }

void DisposeGridPattern() {
    VXDestroyPixelImage(gPattern.row);
    gPattern = {};
}

void DrawGrid(VXWindowRecordTag* window, int32_t grid, const Rect* rect) {
    if (!window) return;
    const int32_t s = CalcGridDotStep(window, grid);
    if (gPattern.interval != s) SetGridPattern(s);
    if (!gPattern.row) return;
    Set_Fore_Color(kColorKindGrid);
    Rect area;
    VXGetViewRect(window, &area);
    if (rect && !VXSectRect(&area, rect, &area)) return;
    area.left = int16_t(std::max(area.left - 2, -32767));
    area.right = int16_t(std::min(area.right + 2, 32767));
    const SheetRecord* sheet = SheetOfTop(window);
    const Rect limit = sheet ? sheet->sheetBounds : kSurfaceRect;
    if (!VXSectRect(&area, &limit, &area)) return;
    area.left = std::max<int16_t>(area.left, 0);
    area.right = std::min<int16_t>(area.right, int16_t(gPattern.row->width));
    if (area.left >= area.right) return;
    for (int32_t v = area.top - area.top % s; v < area.bottom; v += s) {
        if (v < area.top) continue;
        const Rect source{0, area.left, 1, area.right};
        const Rect dest{int16_t(v), area.left, int16_t(v + 1), area.right};
        VXDrawPixels(gPattern.row, &source, &dest, kPixelsMask);
    }
}

int32_t CalcRulerStep(VXWindowRecordTag* window, int32_t grid) {
    int32_t step = std::max(grid, 2);
    while (step < 0x4000) {
        const Point p = ScaledSides(window, step);
        if (p.h >= kMinScreenStep && p.v >= kMinScreenStep) break;
        step *= 2;
    }
    return step;
}

void DrawRulerPane(VXWindowRecordTag* window) {
    EditorGrid grid;
    if (!GridOfWindow(window, &grid)) return;
    const int32_t step = CalcRulerStep(window, grid.grid);
    const int8_t pane = window->graf.geometry.pane;
    Rect view;
    VXGetViewRect(window, &view);
    SetInk(kRulerInkColor);
    if (pane == 1) {
        view.bottom = std::min(view.bottom, grid.area.bottom);
        DrawVertRuler(window, &view, grid.resolution, step);
    } else if (pane == 0) {
        view.right = std::min(view.right, grid.area.right);
        DrawHorzRuler(window, &view, grid.resolution, step);
    }
}

namespace {

// One ruler along an axis: `along` picks the run of the marks (h for the top ruler), and
// `mark` draws a line across the ruler from one depth to another at a position.
struct RulerAxis {
    int32_t from, to, limit;
    bool top;
};

void DrawRulerAxis(VXWindowRecordTag* window, const RulerAxis& axis, int32_t resolution,
                   int32_t step) {
    VXPenNormal();
    const int32_t p = GetWindowScale(window);
    VXSetDefaultTextStyle(27);
    const auto across = [&](int32_t at, int32_t d0, int32_t d1) {
        if (axis.top)
            Line(at, d0, at, d1);
        else
            Line(d0, at, d1, at);
    };
    if (axis.top)
        Line(axis.from - 3, kRulerBaseLine, axis.to + 2, kRulerBaseLine);
    else
        Line(kRulerBaseLine, axis.from - 3, kRulerBaseLine, axis.to + 2);
    const int32_t w = RulerPenWidth(p);
    const int32_t offset = (2 * w + (axis.top ? 2 : 7)) * 100 / std::max(p, 1);
    resolution = std::max(resolution, 1);
    for (int32_t k = axis.from / resolution; k <= axis.to / resolution + 1; ++k) {
        const int32_t x = k * resolution;
        if (x > axis.limit) break;
        across(x, 0, 12);
        if (p < 22) continue;
        if (axis.top && x + 20 < axis.limit) DrawNumber(k, x + offset, 8);
        if (!axis.top && x + 10 < axis.limit) DrawNumber(k, 2, x + offset + 1);
    }
    step = std::max(step, 2);
    int32_t first = axis.from - axis.from % step;
    if (first < axis.from) first += step;
    for (int32_t x = first; x <= axis.to && x <= axis.limit; x += step) across(x, 10, 12);
}

}  // namespace

void DrawHorzRuler(VXWindowRecordTag* window, const Rect* rect, int32_t resolution, int32_t step) {
    EditorGrid grid;
    GridOfWindow(window, &grid);
    DrawRulerAxis(window, {rect->left, rect->right, grid.area.right, true}, resolution, step);
}

void DrawVertRuler(VXWindowRecordTag* window, const Rect* rect, int32_t resolution, int32_t step) {
    EditorGrid grid;
    GridOfWindow(window, &grid);
    DrawRulerAxis(window, {rect->top, rect->bottom, grid.area.bottom, false}, resolution, step);
}

void DrawRulerCorner(VXWindowRecordTag*) {
    const Rect corner{-1, -1, 14, 14};
    SetInk(kRulerCornerColor);
    VXRectDispatch(&corner, 1);
    SetInk(kRulerInkColor);
    VXFrameRect(&corner);
}

void DrawWindowRulers(VXWindowRecordTag* window) {
    if (!window || !VXHasAltView(window, 0) || !window->graf.port) return;
    QZPort* port = window->graf.port;
    // The rulers scroll with the content: along its run a ruler takes the content's origin, across
    // it its own (0). A ruler starts where the content's pane does, beside the other ruler, so
    // its marks move by that ruler's breadth to stand over the content's own units.
    const _LPNT content = port->origin;
    const VXPanelRecordTag* panel = VXGetWindowPanel(window);
    const int32_t besideH = panel ? int32_t(std::lround(panel->headerWidth)) : 0;
    const int32_t besideV = panel ? int32_t(std::lround(panel->headerHeight)) : 0;
    for (int32_t pane : {0, 1, 2}) {
        if (!VXHasAltView(window, pane)) continue;
        QZSetFocus(port, pane);
        window->graf.geometry.pane = int8_t(pane);
        QZSetOrigin(port, pane == 0 ? content.h + besideH : 0, pane == 1 ? content.v + besideV : 0);
        if (pane == 2) {
            DrawRulerCorner(window);
        } else {
            // The view's part of the pane, its fixed axis from 0 as the pane draws it.
            Rect view;
            VXGetViewRect(window, &view);
            if (pane == 0) VXOffsetRect(&view, 0, int16_t(-view.top));
            else VXOffsetRect(&view, int16_t(-view.left), 0);
            SetInk(kRulerGroundColor);
            VXRectDispatch(&view, 1);
            DrawRulerPane(window);
            Set_Bak_Color();
            DrawRulerGuide(window);
        }
        QZReleaseFocus(port);
    }
    window->graf.geometry.pane = -1;
    QZSetFocus(port, -1);
}

void SetRulerGuidePositions(VXWindowRecordTag* window, int32_t h, int32_t v) {
    if (!window || !VXHasAltView(window, 2)) return;
    Rect view;
    VXSetAltView(window, -1);
    VXGetViewRect(window, &view);
    Point point{int16_t(std::clamp(v, -32768, 32767)), int16_t(std::clamp(h, -32768, 32767))};
    if (VXPtInRect(point, &view)) {
        VXWindowRecordTag* previous = VXSetWindow(window);
        GridPointLock(&point);
        if (previous) VXSetWindow(previous);
        EditorGrid grid;
        const Rect area = GridOfWindow(window, &grid) ? grid.area : kSurfaceRect;
        VXPinToRect(&point, &area, false);
        if (!gGuides.shown || gGuides.h != point.h) {
            if (gGuides.shown) InvalTopRulerGuide(window);
            gGuides.h = point.h;
            InvalTopRulerGuide(window);
        }
        if (!gGuides.shown || gGuides.v != point.v) {
            if (gGuides.shown) InvalLeftRulerGuide(window);
            gGuides.v = point.v;
            InvalLeftRulerGuide(window);
        }
        gGuides.shown = true;
    } else if (gGuides.shown) {
        InvalTopRulerGuide(window);
        InvalLeftRulerGuide(window);
        gGuides.shown = false;
    }
    VXSetAltView(window, -1);
}

void InvalTopRulerGuide(VXWindowRecordTag* window) { InvalGuideStrip(window, 0, gGuides.h); }
void InvalLeftRulerGuide(VXWindowRecordTag* window) { InvalGuideStrip(window, 1, gGuides.v); }

void DrawRulerGuide(VXWindowRecordTag* window) {
    if (!window || !gGuides.shown) return;
    if (VXGetTopParent(window) != VXGetNextVisibleWindow(nullptr, 7, false)) return;
    if (window->graf.geometry.pane == 0)
        DrawTop(window);
    else if (window->graf.geometry.pane == 1)
        DrawLeft(window);
}

namespace {
void GuideLine(int32_t h0, int32_t v0, int32_t h1, int32_t v1) {
    VXPenNormal();
    VXSetLineDashInterval(1, 1, 0);
    const bool antialias = VXAntialiasGraphics(false);
    SetInk(kRulerInkColor);
    Line(h0, v0, h1, v1);
    VXAntialiasGraphics(antialias);
    VXPenNormal();
}
}  // namespace

void DrawTop(VXWindowRecordTag*) { GuideLine(gGuides.h, 0, gGuides.h, kRulerGuideDepth); }
void DrawLeft(VXWindowRecordTag*) { GuideLine(0, gGuides.v, kRulerGuideDepth, gGuides.v); }

const RulerGuides& GetRulerGuides() { return gGuides; }

int32_t RGetMouse(Point* point) {
    VXWindowRecordTag* window = vx.currentWindow;
    if (!window || !point) return 0;
    const int8_t pane = window->graf.geometry.pane;
    VXSetAltView(window, -1);
    const int32_t result = VXGetMouse(point);
    SetRulerGuidePositions(window, point->h, point->v);
    VXSetAltView(window, pane);
    return result;
}

void TrackSurfaceSelectionRectHook(VXWindowRecordTag* window, int32_t message, const _LPNT*,
                                   void*) {
    if (message == 2) {
        // The outline in the inverse of the ground, 2 wide, dashed 4 on and 3 off.
        const QZPort* port = window ? window->graf.port : nullptr;
        const uint32_t ground = port ? port->back.rgb : 0xFFFFFF;
        QZSetColor(nullptr, ~ground & 0xFFFFFF, false);
        VXSetPenWidth(2);
        VXSetLineDashInterval(4, 3, 0);
    } else if (message == 1 && window && VXHasAltView(window, 2)) {
        Point mouse;
        (void)RGetMouse(&mouse);  // only the guides' move is wanted
    }
}

}  // namespace plexa
