// Tracking a wire under construction across sheets of 500, 2,000 and 5,000 symbols (a body, an
// output bubble and three pins each, with a wire of four segments from each output): each step
// moves the pointer from a pin in the middle of the sheet to an empty spot and back, so every
// step finds a terminal (or none), proposes new legs and invalidates the rubber band's overlay.
// The figure to hold is well under one frame (16 ms) a move, not growing with the sheet.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "bench/core_bench_main.h"
#include "bench/sheet_windows.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/wires.h"
#include "model/tests/gate_symbol.h"
#include "sheeteditor/tests/sheet_walks.h"
#include "platform/app_platform.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/wiretracking.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int kColumns = 50;
constexpr int16_t kPitchH = 88, kPitchV = 33;

Point At(int i) { return Point{int16_t(20 + (i / kColumns) * kPitchV), int16_t(20 + (i % kColumns) * kPitchH)}; }

SheetRecord* BuildSheet(int symbols) {
    SheetRecord* sheet = NewSchematicDrawing();
    if (!sheet) std::abort();
    const int32_t id = test::AddGateSymbolDefinition(sheet);
    for (int i = 0; i < symbols; ++i) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->mapId = id;
        symbol->libraryName = kNoLibraryName;
        symbol->flags = kSymbolFlagPort;  // a symbol whose pins connect
        symbol->position = At(i);
        symbol->serial = uint32_t(i + 1);
        AddSymbolToSheet(sheet, symbol);
        SignalHandle signal = CreateSignal(sheet->signalList);
        WireHandle wire = CreateWire(nullptr);
        const Point p = At(i);
        const auto v = int16_t(p.v + 15), h = int16_t(p.h + 66);
        for (Point corner : {Point{v, h}, Point{v, int16_t(h + 6)}, Point{int16_t(v + 10), int16_t(h + 6)},
                             Point{int16_t(v + 10), int16_t(h + 14)}, Point{v, int16_t(h + 14)}})
            (void)InsertWireCorner(wire, corner, -1);  // fails only out of memory
        CalcWireBounds(wire);
        LLPush((*signal)->wires, wire);
        CalcSignalBounds(signal);
    }
    sheet->selectedTool = kDrawToolWire;
    return sheet;
}

void TrackWire(benchmark::State& state) {
    const int symbols = int(state.range(0));
    SheetRecord* sheet = BuildSheet(symbols);
    VXWaitUpdateWindows();
    // The wire starts at the first input pin of a symbol in the middle of the sheet.
    const Point middle = At(symbols / 2);
    const Point pin{int16_t(middle.v + 8), middle.h};
    TrackSheetMouseMovement(sheet, pin, 0, 255);
    RecordMouseClickTrackingState();
    CloseTrackingOverlay();
    CreateSignalClick(sheet);
    if (!IsWireCreationInProgress()) std::abort();
    const Point other{int16_t(middle.v + 22), middle.h};           // the second input pin
    const Point empty{int16_t(middle.v + 4), int16_t(middle.h - 12)};  // nothing there
    int step = 0;
    for (auto _ : state) {
        TrackSheetMouseMovement(sheet, (step++ & 1) ? empty : other, 0, 255);
        benchmark::DoNotOptimize(gCurrentMouseTrack.legs);
    }
    CancelWireCreation(sheet);
    DestroySheet(sheet);
    VXWaitUpdateWindows();
}
BENCHMARK(TrackWire)->Arg(500)->Arg(2000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The baseline: the terminal search's pin test as a walk of the whole symbol list, as it was
// before the sheet's index (sheeteditor/tests/sheet_walks.h), at the same two points.
void PinWalk(benchmark::State& state) {
    const int symbols = int(state.range(0));
    SheetRecord* sheet = BuildSheet(symbols);
    const Point middle = At(symbols / 2);
    const Point other{int16_t(middle.v + 22), middle.h}, empty{int16_t(middle.v + 4), int16_t(middle.h - 12)};
    int step = 0;
    SymbolRecord* symbol = nullptr;
    for (auto _ : state) {
        Point at = (step++ & 1) ? empty : other;
        benchmark::DoNotOptimize(test::WalkHitTestPins(sheet, &at, CalcDefaultSignalWireHitTestSlop(sheet), &symbol));
    }
    DestroySheet(sheet);
    VXWaitUpdateWindows();
}
BENCHMARK(PinWalk)->Arg(500)->Arg(2000)->Arg(5000)->Unit(benchmark::kMicrosecond);

void SetUp() {
    static char name[] = "bench_sheeteditor_wiretracking";
    StartSheetWindows(name);
    // A sheet lets its window go when it is destroyed, as in the editor.
    ModelHooks model = GetModelHooks();
    model.windowSheet = SheetOfWindow;
    model.detachSheetWindows = DetachSheetWindows;
    SetModelHooks(model);
}

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return plexa::RunCoreBenchmarks(argc, argv, argv[0], plexa::SetUp,
                                    {{"tracking move", "TrackWire", "PinWalk"}},
                                    "A tracking move against the walk of the pins it used to make");
}
