// Selection on large sheets: hit testing a point among the symbols and wire segments of sheets of
// 5,000, 20,000 and 50,000 symbols (each with a wire of four segments, so up to 200,000
// segments), a rectangle taking 10,000 symbols, and dragging 1,000 selected symbols of a
// 5,000-symbol sheet: each mouse move redraws the outline overlay, and the release moves them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/core_bench_main.h"
#include "bench/gate_grid.h"
#include "foundation/ll.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/gate_symbol.h"
#include "model/wires.h"
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
constexpr int kSizes[] = {5000, 20000, 50000};

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

// A point on the body of the last symbol placed (a scan meets it last), and its wire's middle.
void HitTestSymbolPoint(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    const Point p = At(n - 1);
    const Point inside{int16_t(p.v + 15), int16_t(p.h + 30)};
    for (auto _ : state) benchmark::DoNotOptimize(HitTestSymbol(sheet, inside, 2));
    if (!HitTestSymbol(sheet, inside, 2)) state.SkipWithError("no symbol hit");
}
BENCHMARK(HitTestSymbolPoint)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void HitTestWireSegment(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    const Point p = At(n - 1);
    const Point onWire{int16_t(p.v + 20), int16_t(p.h + 72)};
    for (auto _ : state) benchmark::DoNotOptimize(HitTestSignalList(sheet, onWire, 2, nullptr, nullptr, nullptr));
}
BENCHMARK(HitTestWireSegment)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// A rectangle over the first 40 rows of 250 symbols of the largest sheet: 10,000 symbols.
void RectangleSelection(benchmark::State& state) {
    SheetRecord* sheet = SheetOf(50000);
    const Rect rect{0, 0, int16_t(20 + 40 * kPitchV - 5), int16_t(20 + kColumns * kPitchH)};
    for (auto _ : state) {
        DoAreaSelection(sheet, &rect, false, false);
        state.PauseTiming();
        ClearDrawingSelection(sheet);
        state.ResumeTiming();
    }
}
BENCHMARK(RectangleSelection)->Unit(benchmark::kMillisecond);

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
    return plexa::RunCoreBenchmarks(argc, argv, argv[0], plexa::SetUp);
}
