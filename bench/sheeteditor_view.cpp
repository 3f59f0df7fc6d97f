// The sheet window redrawing a sheet of 5,000 symbols (a body, an output bubble and three pins,
// drawn from the sheet's symbol map) and 5,000 wires of four segments each (20,000 segments) in
// a 1920x1080 window, through the window's own update path: the whole view invalidated and
// drawn, at fit (the whole sheet in the window) and at 100 %, and at both the view scrolled on
// by one screen, and a zoom step between two standard scales. The baseline draws the same primitives at the same device positions straight
// with the backing library's painter (at fit: every symbol and wire; at 100 %: those in view).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/core_bench_main.h"
#include "bench/sheet_windows.h"
#include "bench/gate_grid.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "model/wires.h"
#include "model/tests/gate_symbol.h"
#include "platform/app_platform.h"
#include "platform/baseline_platform.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kSymbols = 5000, kColumns = 50;
SheetRecord* gSheet = nullptr;

Point At(int i) { return bench::GateGridPoint(i, kColumns); }
std::vector<Point> WireCorners(int i) { return bench::GateGridWire(i, kColumns); }

void Build() { bench::BuildGateGrid(gSheet, kSymbols, kColumns); }

void SetUp() {
    static char name[] = "bench_sheeteditor_view";
    StartSheetWindows(name);
    gSheet = NewSchematicDrawing();
    if (!gSheet) std::abort();
    // The sheet pane 1920 x 1080 beside the tool palette, below the top tool bar.
    const Rect frame{40, 0, int16_t(40 + kHeight + kTopToolBarCollapsed), int16_t(kWidth + kToolPaletteWidth)};
    VXSetWindowPosition(gSheet->window, &frame);
    Build();
    VXWaitUpdateWindows();
    Rect view{};
    VXGetViewRect(gSheet->window, &view);
    std::fprintf(stderr, "sheet pane %d x %d\n", view.right - view.left, view.bottom - view.top);
}

void Redraw() {
    RedrawSheetWindow(gSheet);
    VXWaitUpdateWindows();
}

void SheetWindowRedraw(benchmark::State& state) {
    const int percent = int(state.range(0));
    VXSetScalePercent(gSheet->window, percent, percent);
    VXScrollTo(gSheet->window, 0, 0);
    Redraw();
    for (auto _ : state) Redraw();
}
BENCHMARK(SheetWindowRedraw)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);

void SheetWindowScroll(benchmark::State& state) {
    const int percent = int(state.range(0));
    VXSetScalePercent(gSheet->window, percent, percent);
    int screen = 0;
    for (auto _ : state) {
        // Down by one screen, back to the top after the sheet's end.
        screen = (screen + 1) % 3;
        VXScrollTo(gSheet->window, 0, screen * kHeight * 100 / percent);
        VXWaitUpdateWindows();
    }
}
BENCHMARK(SheetWindowScroll)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);

// A small part of the view drawn again at 100 % (a 64 x 64 area, as a moved handle or a changed
// text asks for), in turn at ten places down the view: it costs what lies in the area, not what
// the sheet holds.
void SheetWindowSmallUpdate(benchmark::State& state) {
    VXSetScalePercent(gSheet->window, 100, 100);
    VXScrollTo(gSheet->window, 0, 0);
    Redraw();
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 10;
        const Rect area{int16_t(100 + step * 60), 200, int16_t(164 + step * 60), 264};
        InvalSheetWindowArea(gSheet, &area);
        VXWaitUpdateWindows();
    }
}
BENCHMARK(SheetWindowSmallUpdate)->Unit(benchmark::kMicrosecond);

// A zoom step as the View menu's Zoom In and Zoom Out and the gestures make it: the scale changed
// by a standard step (100 % and 150 % in turn, or 40 % and 50 %), the view kept at the top left,
// and the whole view drawn at the new scale.
void SheetWindowZoomStep(benchmark::State& state) {
    const int low = int(state.range(0)), high = int(state.range(1));
    VXScrollTo(gSheet->window, 0, 0);
    bool up = true;
    for (auto _ : state) {
        const int percent = up ? high : low;
        up = !up;
        VXSetScalePercent(gSheet->window, percent, percent);
        gSheet->viewScale = uint16_t(percent);
        Redraw();
    }
}
BENCHMARK(SheetWindowZoomStep)->Args({100, 150})->Args({40, 50})->Unit(benchmark::kMillisecond);

// The painter drawing the same primitives (frames, ovals and lines) in device pixels.
void PainterRedraw(benchmark::State& state) {
    const double scale = double(state.range(0)) / 100;
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight, 0xFFFFFFFF);
    std::vector<BaselineShape> shapes;
    const auto px = [&](int units) { return int32_t(units * scale); };
    const auto add = [&](BaselineShape::Kind kind, int h1, int v1, int h2, int v2) {
        const BaselineShape s{kind, px(h1), px(v1), px(h2), px(v2), nullptr};
        if (s.x2 < 0 || s.y2 < 0 || s.x1 >= kWidth || s.y1 >= kHeight) return;
        shapes.push_back(s);
    };
    for (int i = 0; i < kSymbols; ++i) {
        bench::GateShapes<BaselineShape>(At(i), add);
        const std::vector<Point> corners = WireCorners(i);
        for (size_t c = 1; c < corners.size(); ++c)
            add(BaselineShape::kLine, corners[c - 1].h, corners[c - 1].v, corners[c].h, corners[c].v);
    }
    for (auto _ : state) {
        std::fill(pixels.begin(), pixels.end(), 0xFFFFFFFF);
        BaselineDrawShapes(reinterpret_cast<uint8_t*>(pixels.data()), kWidth, kHeight, kWidth * 4,
                           shapes.data(), shapes.size(), "DejaVu Sans", 10, 1.0);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(PainterRedraw)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return plexa::RunCoreBenchmarks(argc, argv, argv[0], plexa::SetUp,
                                    {{"sheet window redraw", "SheetWindowRedraw", "PainterRedraw"},
                                     {"scroll by one screen", "SheetWindowScroll", ""}},
                                    "The sheet window against the painter");
}
