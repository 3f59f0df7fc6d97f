// Selection on large sheets: hit testing a point among the symbols, pins and wire segments of
// sheets of 5,000, 20,000 and 50,000 symbols (each with a wire of four segments, so up to 200,000
// segments), beside the walks of the whole lists that the hit tests made before the sheet's
// index; a rectangle taking 1,000 symbols of each sheet and of sheets of 1,000, 10,000 and 30,000
// symbols (beside a plain painter drawing the same 1,000 symbols) and one taking 10,000; the
// band's frame following the mouse (its overlay repainted along the old and new frames, beside
// repainting the whole overlay); and dragging 1,000 selected symbols of a 5,000-symbol sheet: each
// mouse move redraws the outline overlay, and the release moves them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/core_bench_main.h"
#include "platform/baseline_platform.h"
#include "bench/gate_grid.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/gate_symbol.h"
#include "model/wires.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/tests/sheet_walks.h"
#include "platform/app_platform.h"
#include "sheeteditor/sheetdrag.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int kColumns = 250;
constexpr int16_t kPitchH = bench::kGatePitchH, kPitchV = bench::kGatePitchV;
constexpr int kSizes[] = {1000, 5000, 10000, 20000, 30000, 50000};

struct Sheet {
    int symbols;
    SheetRecord* sheet;
};
std::vector<Sheet> gSheets;

Point At(int i) { return bench::GateGridPoint(i, kColumns); }

SheetRecord* Build(int count) {
    SheetRecord* sheet = NewSchematicDrawing();
    if (!sheet) std::abort();
    sheet->sheetBounds = Rect{0, 0, 32000, 32000};
    bench::BuildGateGrid(sheet, count, kColumns);
    return sheet;
}

SheetRecord* SheetOf(int symbols) {
    for (const Sheet& s : gSheets)
        if (s.symbols == symbols) return s.sheet;
    std::abort();
}

void SetUp() {
    static char name[] = "bench_sheeteditor_select";
    static char* argv[] = {name, nullptr};
    if (!PlatformEnsureApplication(1, argv)) std::abort();
    VXInitWindows();
    VXInitPanels();
    VXInitControls();
    VXInitMenus();
    if (InitSheetDefaults() != 0) std::abort();
    for (int n : kSizes) gSheets.push_back({n, Build(n)});
}

// The baselines are the walks of the lists that the hit tests made before the sheet's index
// (sheeteditor/tests/sheet_walks.h).
using test::WalkHitTestPins;
using test::WalkHitTestSignalList;
using test::WalkHitTestSymbol;

// A point on the body of the last symbol placed (a walk meets it last), its first input pin, and
// the middle of the first symbol's wire (whose signal stands last in the signal list).
Point SymbolPoint(int n) {
    const Point p = At(n - 1);
    return Point{int16_t(p.v + 15), int16_t(p.h + 30)};
}
Point PinPoint(int n) {
    const Point p = At(n - 1);
    return Point{int16_t(p.v + 8), p.h};
}
Point WirePoint(int) {
    const Point p = At(0);
    return Point{int16_t(p.v + 20), int16_t(p.h + 72)};
}

void HitTestSymbolPoint(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    for (auto _ : state) benchmark::DoNotOptimize(HitTestSymbol(sheet, SymbolPoint(n), 2));
    if (!HitTestSymbol(sheet, SymbolPoint(n), 2)) state.SkipWithError("no symbol hit");
    // The index of the symbols (the one part built so far), per symbol.
    state.counters["index_bytes_per_symbol"] = double(SheetItemIndexBytes(sheet)) / n;
}
BENCHMARK(HitTestSymbolPoint)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void HitTestSymbolWalk(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    for (auto _ : state) benchmark::DoNotOptimize(WalkHitTestSymbol(sheet, SymbolPoint(n)));
}
BENCHMARK(HitTestSymbolWalk)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// While the pin hit tests run, the symbols are ones whose pins connect, so that the tests look
// at them (the drags below move symbols that are not).
void SetPortFlags(SheetRecord* sheet, bool on) {
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        s->flags = on ? s->flags | kSymbolFlagPort : s->flags & ~kSymbolFlagPort;
}

// A pin hit test through the index or by the walk.
template <int32_t (*HitPins)(SheetRecord*, Point*, int32_t, SymbolRecord**)>
void PinHitTest(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    SetPortFlags(sheet, true);
    SymbolRecord* symbol = nullptr;
    for (auto _ : state) {
        Point at = PinPoint(n);
        benchmark::DoNotOptimize(HitPins(sheet, &at, 2, &symbol));
    }
    Point at = PinPoint(n);
    if (HitPins(sheet, &at, 2, &symbol) != 0) state.SkipWithError("no pin hit");
    SetPortFlags(sheet, false);
}
void HitTestPinPoint(benchmark::State& state) { PinHitTest<HitTestPins>(state); }
BENCHMARK(HitTestPinPoint)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);
void HitTestPinWalk(benchmark::State& state) { PinHitTest<WalkHitTestPins>(state); }
BENCHMARK(HitTestPinWalk)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void HitTestWireSegment(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    for (auto _ : state) benchmark::DoNotOptimize(HitTestSignalList(sheet, WirePoint(n), 2, nullptr, nullptr, nullptr));
    if (!HitTestSignalList(sheet, WirePoint(n), 2, nullptr, nullptr, nullptr)) state.SkipWithError("no wire hit");
}
BENCHMARK(HitTestWireSegment)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void HitTestWireWalk(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    WireHandle wire = nullptr;
    int32_t segment = -1;
    for (auto _ : state) benchmark::DoNotOptimize(WalkHitTestSignalList(sheet, WirePoint(n), 2, &wire, &segment));
}
BENCHMARK(HitTestWireWalk)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// A rectangle over the first rows of 250 symbols: 4 rows (1,000 symbols and their wires) on each
// sheet (also on sheets of 1,000, 10,000 and 30,000 symbols, the first taken whole), and 40 rows
// (10,000 symbols) of the largest.
void Band(benchmark::State& state, SheetRecord* sheet, int rows) {
    const Rect rect{0, 0, int16_t(20 + rows * kPitchV - 5), int16_t(20 + kColumns * kPitchH)};
    for (auto _ : state) {
        DoAreaSelection(sheet, &rect, false, false);
        state.PauseTiming();
        ClearDrawingSelection(sheet);
        state.ResumeTiming();
    }
}
void RectangleSelection(benchmark::State& state) { Band(state, SheetOf(int(state.range(0))), 4); }
BENCHMARK(RectangleSelection)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(30000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);

void RectangleSelection10k(benchmark::State& state) { Band(state, SheetOf(50000), 40); }
BENCHMARK(RectangleSelection10k)->Unit(benchmark::kMillisecond);

// The band's baseline: the painter of the backing library drawing the same 1,000 gates (body, bubble
// and three pins) into an image of 1920 by 1080 pixels.
void RectangleSelectionPainter(benchmark::State& state) {
    constexpr int kWidth = 1920, kHeight = 1080;
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    std::vector<BaselineShape> shapes;
    for (int i = 0; i < 1000; ++i) {
        const Point p = At(i);
        const int32_t h = p.h % (kWidth - 70), v = p.v;
        shapes.push_back({BaselineShape::kFrame, h + 10, v, h + 50, v + 30, nullptr});
        shapes.push_back({BaselineShape::kOval, h + 50, v + 12, h + 56, v + 18, nullptr});
        shapes.push_back({BaselineShape::kLine, h, v + 8, h + 10, v + 8, nullptr});
        shapes.push_back({BaselineShape::kLine, h, v + 22, h + 10, v + 22, nullptr});
        shapes.push_back({BaselineShape::kLine, h + 56, v + 15, h + 66, v + 15, nullptr});
    }
    for (auto _ : state) {
        std::fill(pixels.begin(), pixels.end(), 0xFFFFFFFFu);
        BaselineDrawShapes(reinterpret_cast<uint8_t*>(pixels.data()), kWidth, kHeight, kWidth * 4, shapes.data(),
                           shapes.size(), "DejaVu Sans", 10, 1.0);
    }
}
BENCHMARK(RectangleSelectionPainter)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The band's frame following the mouse over a sheet: each move repaints the overlay along the
// old and the new frame (the baseline: the whole overlay, as before), and the window system's
// paint runs.
LRect gBandFrame{};
void DrawBandFrame(VXWindowRecordTag*, void*) {
    VXPenRubberband();
    VXLRectDispatch(&gBandFrame, 0);
}
void BandFrame(benchmark::State& state, bool sides) {
    SheetRecord* sheet = SheetOf(int(state.range(0)));
    VXWindowRecordTag* window = sheet->window;
    VXWaitUpdateWindows();
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, DrawBandFrame, nullptr);
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 50;
        const LRect old = gBandFrame;
        gBandFrame = {40, 40, 300 + 2 * step, 500 + 3 * step};
        if (sides) {
            VXUpdateOverlayFrame(window, &old);
            VXUpdateOverlayFrame(window, &gBandFrame);
        } else {
            VXUpdateOverlay(window);
        }
        PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros());  // the overlay paints
    }
    VXEndOverlay(window);
    VXWaitUpdateWindows();
}
void BandMouseMove(benchmark::State& state) { BandFrame(state, true); }
BENCHMARK(BandMouseMove)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);
void BandMouseMoveWhole(benchmark::State& state) { BandFrame(state, false); }
BENCHMARK(BandMouseMoveWhole)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void SelectFirst(SheetRecord* sheet, int count) {
    ClearDrawingSelection(sheet);
    int i = 0;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s && i < count; s = s->next, ++i)
        s->flags |= kSymbolFlagSelected;
    BuildDrawingSelectRgn(sheet);
}

struct Drag {
    SheetRecord* sheet;
    Point offset;
};
void DrawDrag(VXWindowRecordTag*, void* data) {
    auto* drag = static_cast<Drag*>(data);
    FrameSheetSelectionRects(drag->sheet, drag->offset);
}

// One mouse move while 1,000 selected symbols are dragged: the outlines drawn at the new offset
// in the window's overlay, and the window updated.
void DragMouseMove(benchmark::State& state) {
    SheetRecord* sheet = SheetOf(5000);
    SelectFirst(sheet, 1000);
    Drag drag{sheet, {0, 0}};
    VXBeginOverlayForPanes(sheet->window, kVXOverlayMainPane, DrawDrag, &drag);
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 50;
        drag.offset = Point{int16_t(step), int16_t(2 * step)};
        // The outlines drawn into the window, then the overlay asked to show them.
        VXWindowRecordTag* previous = VXSetWindow(sheet->window);
        FrameSheetSelectionRects(sheet, drag.offset);
        if (previous) VXSetWindow(previous);
        VXUpdateOverlay(sheet->window);
        VXWaitUpdateWindows();
    }
    VXEndOverlay(sheet->window);
}
BENCHMARK(DragMouseMove)->Unit(benchmark::kMillisecond);

// The release: 1,000 symbols moved and the area invalidated.
void DragRelease(benchmark::State& state) {
    SheetRecord* sheet = SheetOf(5000);
    SelectFirst(sheet, 1000);
    int sign = 1;
    for (auto _ : state) {
        MoveDrawingSelection(sheet, 10 * sign, 0);
        sign = -sign;
    }
    ClearDrawingSelection(sheet);
}
BENCHMARK(DragRelease)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return plexa::RunCoreBenchmarks(argc, argv, argv[0], plexa::SetUp,
                                    {{"symbol hit test", "HitTestSymbolPoint", "HitTestSymbolWalk"},
                                     {"pin hit test", "HitTestPinPoint", "HitTestPinWalk"},
                                     {"wire segment hit test", "HitTestWireSegment", "HitTestWireWalk"},
                                     {"rubber band of 1,000 symbols", "RectangleSelection",
                                      "RectangleSelectionPainter"},
                                     {"band frame per mouse move", "BandMouseMove", "BandMouseMoveWhole"}},
                                    "Hit tests through the sheet's index against the walks of its lists");
}
