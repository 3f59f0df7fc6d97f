// The sheet editor's interactive paths on sheets of connected gates (rows of 100 gates, each gate's
// output wired to the first input of the next one in its row), in a 1920 x 1080 window at the
// scale that shows the whole sheet, each beside a baseline run in the same program:
// - a drag of the first 500 gates (five rows) or of all of them, with their wires, through the
//   select tool's own tracking loop (scripted mouse input, the window's overlay painted for each
//   move), the release moving the selection: 21 moves and the release (DragConnected) and one
//   move and the release (DragRelease), and the press alone (DragClick), so that a move costs
//   (DragConnected - DragRelease) / 20 and the release about DragRelease - DragClick - a move;
//   the baseline is the backing library's painter framing the same outlines in an image; the
//   drag of 500 also on a sheet where a net symbol hangs on every gate (DragWithNetSymbols);
// - undo and redo of a move of all the gates with their wires, against a plain offset of every
//   symbol and wire corner;
// - pasting the copied sheet into an empty one and deleting it again, against copying it;
// - Select All and then Cut, Clear or Duplicate (each undone outside the timing), against the
//   copy;
// - a drag held at the window's lower edge, each event scrolling the view, against the same
//   scroll made directly;
// - the first drawing of a sheet in a fresh window, against the painter drawing the same shapes.
// Sizes 1,000, 5,000 and 30,000 gates give the growth; a mouse event should stay within one frame
// (16 ms) at 5,000 gates.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "app/editor_root.h"
#include "app/selectall.h"
#include "app/shell.h"
#include "bench/core_bench_main.h"
#include "bench/gate_grid.h"
#include "bench/sheet_windows.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/wires.h"
#include "model/tests/gate_symbol.h"
#include "platform/app_platform.h"
#include "platform/baseline_platform.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetdrag.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetpaste.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetundoaction.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kColumns = 100;
constexpr int kMoves = 21;

Point At(int i) { return bench::GateGridPoint(i, kColumns); }

// Gate i's output pin (node 2) wired to the first input (node 0) of gate i + 1 in the same row.
std::vector<Point> LinkCorners(int i) {
    const Point p = At(i), next = At(i + 1);
    const auto v = int16_t(p.v + 15), h = int16_t(p.h + 66), mid = int16_t(p.h + 77);
    return {{v, h}, {v, mid}, {int16_t(next.v + 8), mid}, {int16_t(next.v + 8), next.h}};
}

void PlaceWindow(SheetRecord* sheet) {
    const Rect frame{40, 0, int16_t(40 + kHeight + kTopToolBarCollapsed), int16_t(kWidth + kToolPaletteWidth)};
    VXSetWindowPosition(sheet->window, &frame);
}

// The scale that shows the whole grid of n gates.
int FitPercent(int n) {
    const int rows = (n + kColumns - 1) / kColumns;
    const double width = 40 + kColumns * bench::kGatePitchH, height = 40 + rows * bench::kGatePitchV;
    return std::max(2, int(std::min(kWidth / width, kHeight / height) * 100));
}

void ShowWhole(SheetRecord* sheet, int n) {
    const int percent = FitPercent(n);
    VXSetScalePercent(sheet->window, percent, percent);
    sheet->viewScale = uint16_t(percent);
    VXScrollTo(sheet->window, 0, 0);
    RedrawSheetWindow(sheet);
    VXWaitUpdateWindows();
}

// A net symbol (the gate drawn as one) hanging on gate i's second input by a short straight wire
// to the left, its output pin at the wire's end: what a move carries along with its gate.
void AddGround(SheetRecord* sheet, int32_t mapId, SymbolRecord* gate) {
    SymbolRecord* ground = CreateSymbol();
    ground->mapId = mapId;
    ground->libraryName = kNoLibraryName;
    ground->flags = kSymbolFlagPort;
    const Point pin{int16_t(gate->position.v + 22), gate->position.h};
    const Point end{pin.v, int16_t(pin.h - 10)};
    ground->position = Point{int16_t(end.v - 15), int16_t(end.h - 66)};
    AddSymbolToSheet(sheet, ground);
    SignalHandle signal = CreateSignal(sheet->signalList);
    WireHandle wire = CreateWire(nullptr);
    (void)InsertWireCorner(wire, pin, -1);  // fails only out of memory
    (void)InsertWireCorner(wire, end, -1);
    (*wire)->end0 = uint16_t(AddPinToSignal(signal, gate, 1));
    (*wire)->end1 = uint16_t(AddPinToSignal(signal, ground, 2));
    CalcWireBounds(wire);
    LLPush((*signal)->wires, wire);
    CalcSignalBounds(signal);
}

SheetRecord* BuildConnected(int n, bool window = true, bool grounds = false) {
    SheetRecord* sheet = window ? NewSchematicDrawing() : CreateDrawing();
    if (!sheet) std::abort();
    sheet->sheetBounds = Rect{0, 0, 32000, 32000};
    sheet->view.gridSpacing = 1;
    const int32_t id = test::AddGateSymbolDefinition(sheet);
    std::vector<SymbolRecord*> symbols;
    for (int i = 0; i < n; ++i) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->mapId = id;
        symbol->libraryName = kNoLibraryName;
        symbol->position = At(i);
        symbol->serial = uint32_t(i + 1);
        AddSymbolToSheet(sheet, symbol);
        symbols.push_back(symbol);
    }
    for (int i = 0; i + 1 < n; ++i) {
        if (i % kColumns == kColumns - 1) continue;  // a row's last gate
        SignalHandle signal = CreateSignal(sheet->signalList);
        WireHandle wire = CreateWire(nullptr);
        for (Point corner : LinkCorners(i)) (void)InsertWireCorner(wire, corner, -1);  // fails only out of memory
        (*wire)->end0 = uint16_t(AddPinToSignal(signal, symbols[size_t(i)], 2));
        (*wire)->end1 = uint16_t(AddPinToSignal(signal, symbols[size_t(i) + 1], 0));
        CalcWireBounds(wire);
        LLPush((*signal)->wires, wire);
        CalcSignalBounds(signal);
    }
    if (grounds)
        for (SymbolRecord* gate : symbols) AddGround(sheet, id, gate);
    if (window) {
        sheet->selectedTool = kDrawToolSelect;
        PlaceWindow(sheet);
        ShowWhole(sheet, n);
    }
    return sheet;
}

// One sheet per size (and with or without a net symbol on each gate), kept for the whole run.
SheetRecord* SheetOf(int n, bool grounds = false) {
    static std::map<std::pair<int, bool>, SheetRecord*> sheets;
    SheetRecord*& sheet = sheets[{n, grounds}];
    if (!sheet) sheet = BuildConnected(n, true, grounds);
    else ShowWhole(sheet, n);
    return sheet;
}

// Selects the first `count` gates and every wire between two of them, as a band over their rows
// takes them.
void SelectFirst(SheetRecord* sheet, int count) {
    ClearDrawingSelection(sheet);
    int i = 0;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next, ++i)
        if (i < count) s->flags |= kSymbolFlagSelected;
    const int rows = (count + kColumns - 1) / kColumns;
    const int16_t lastRow = int16_t(At(0).v + rows * bench::kGatePitchV);
    for (void* n = LLFirst(sheet->signalList); n; n = LLGetNext(sheet->signalList, n)) {
        WireList wires = (*static_cast<SignalHandle>(n))->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
            if ((*w)->bounds.bottom < lastRow) (*w)->flags |= kWireFlagSelected;
    }
    BuildDrawingSelectRgn(sheet);
    CalcSheetSelection(sheet, nullptr);
    VXWaitUpdateWindows();
}

// The window content point over a sheet point, from the pad points of two content points.
struct ContentMap {
    _LPNT a{}, b{};
    explicit ContentMap(SheetRecord* sheet) {
        _LPNT panel{};
        VXWindowPointToPanelContent(sheet->window, 300, 300, &panel);
        PanelContentPointToPanesPad(sheet->window, panel.h, panel.v, &a);
        VXWindowPointToPanelContent(sheet->window, 400, 400, &panel);
        PanelContentPointToPanesPad(sheet->window, panel.h, panel.v, &b);
        if (b.h == a.h || b.v == a.v) std::abort();
    }
    int32_t X(Point p) const { return int32_t(300 + int64_t(p.h - a.h) * 100 / (b.h - a.h)); }
    int32_t Y(Point p) const { return int32_t(300 + int64_t(p.v - a.v) * 100 / (b.v - a.v)); }
};

PlatformInputEvent Mouse(PlatformInputKind kind, SheetRecord* sheet, int32_t x, int32_t y) {
    PlatformInputEvent event;
    event.kind = kind;
    event.windowID = sheet->window->windowID;
    event.x = x;
    event.y = y;
    event.clickCount = 1;
    return event;
}

// The press on the symbol at the point, as the window hands it to the select tool, which follows
// the queued input from there.
void Press(SheetRecord* sheet, SymbolRecord* symbol, Point at) {
    VXEventRecord down{};
    down.kind = kVXMouseDownEvent;
    down.u.mouse.v = at.v;
    down.u.mouse.h = at.h;
    DoSymbolSelection(sheet, symbol, &down);
}

// The time of one mouse event of a drag (press, moves, release), and the sheet left unselected.
void EndDrags(benchmark::State& state, SheetRecord* sheet, int events) {
    state.counters["event"] = benchmark::Counter(double(state.iterations()) * events,
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetComplexityN(state.range(0));
    ReleaseSheetUndo(sheet);
    ClearDrawingSelection(sheet);
}

// A press on the first gate's body, `moves` moves of the pointer (one window pixel further each,
// the other way when `back`), and the release, through the select tool's tracking loop.
void DragFirstGate(SheetRecord* sheet, const ContentMap& map, int moves, bool back) {
    auto* first = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
    const Point body{int16_t(first->position.v + 15), int16_t(first->position.h + 30)};
    const int32_t x = map.X(body), y = map.Y(body);
    int32_t dx = 0;
    for (int m = 1; m <= moves; ++m) {
        dx = back ? -m : m;
        TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, sheet, x + dx, y + m / 2));
    }
    TestQueueInput(Mouse(PlatformInputKind::kMouseUp, sheet, x + dx, y + moves / 2));
    Press(sheet, first, body);
    if (TestQueuedInputCount() != 0) std::abort();  // the drag did not take its input
    VXWaitUpdateWindows();
}

void Drag(benchmark::State& state, int moves, bool grounds = false) {
    const int n = int(state.range(0)), count = std::min(n, int(state.range(1)));
    SheetRecord* sheet = SheetOf(n, grounds);
    SelectFirst(sheet, count);
    const ContentMap map(sheet);
    auto* first = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
    const Point start = first->position;
    bool back = false;
    for (auto _ : state) {
        DragFirstGate(sheet, map, moves, back);
        if (moves && !back && first->position.h == start.h && first->position.v == start.v) std::abort();  // nothing moved
        back = !back;
    }
    EndDrags(state, sheet, moves + 2);
}

void DragConnected(benchmark::State& state) { Drag(state, kMoves); }
BENCHMARK(DragConnected)
    ->Args({1000, 500})->Args({5000, 500})->Args({30000, 500})
    ->Args({1000, 1000})->Args({5000, 5000})->Args({30000, 30000})
    ->Unit(benchmark::kMillisecond);

void DragRelease(benchmark::State& state) { Drag(state, 1); }
BENCHMARK(DragRelease)
    ->Args({1000, 500})->Args({5000, 500})->Args({30000, 500})
    ->Args({1000, 1000})->Args({5000, 5000})->Args({30000, 30000})
    ->Unit(benchmark::kMillisecond);

// The same drag of the first 500 gates where a net symbol hangs on every gate: those of the
// dragged gates go with them, the others stay.
void DragWithNetSymbols(benchmark::State& state) { Drag(state, kMoves, true); }
BENCHMARK(DragWithNetSymbols)->Args({1000, 500})->Args({5000, 500})->Args({30000, 500})->Unit(benchmark::kMillisecond);

// The press alone (released where it went down): the click's selection and the drag's first
// drawing, nothing moved.
void DragClick(benchmark::State& state) { Drag(state, 0); }
BENCHMARK(DragClick)
    ->Args({1000, 500})->Args({5000, 500})->Args({30000, 500})
    ->Args({1000, 1000})->Args({5000, 5000})->Args({30000, 30000})
    ->Unit(benchmark::kMillisecond);

// Each step the painter clears a window-sized image and draws the shapes into it.
void Paint(benchmark::State& state, const std::vector<BaselineShape>& shapes) {
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight, 0xFFFFFFFF);
    for (auto _ : state) {
        std::fill(pixels.begin(), pixels.end(), 0xFFFFFFFF);
        BaselineDrawShapes(reinterpret_cast<uint8_t*>(pixels.data()), kWidth, kHeight, kWidth * 4, shapes.data(),
                           shapes.size(), "DejaVu Sans", 10, 1.0);
        benchmark::DoNotOptimize(pixels.data());
    }
}

// The painter framing the outlines of the dragged gates at the fitting scale, the image cleared
// first: what a move's drawing costs without the window.
void PainterOutlines(benchmark::State& state) {
    const int n = int(state.range(0)), count = std::min(n, int(state.range(1)));
    const double scale = FitPercent(n) / 100.0;
    std::vector<BaselineShape> shapes;
    for (int i = 0; i < count; ++i) {
        const Point p = At(i);
        shapes.push_back(BaselineShape{BaselineShape::kFrame, int32_t(p.h * scale), int32_t(p.v * scale),
                                       int32_t((p.h + 66) * scale), int32_t((p.v + 30) * scale), nullptr});
    }
    Paint(state, shapes);
    state.SetComplexityN(n);
}
BENCHMARK(PainterOutlines)
    ->Args({1000, 500})->Args({5000, 500})->Args({30000, 500})
    ->Args({1000, 1000})->Args({5000, 5000})->Args({30000, 30000})
    ->Unit(benchmark::kMillisecond);

// Undo and redo in turn of a move of every gate with its wires, the window updated after each.
void UndoMove(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    SelectFirst(sheet, n);
    MoveDrawingSelection(sheet, 10, 0);
    VXWaitUpdateWindows();
    if (!GetSheetUndoRecord(sheet)) std::abort();
    for (auto _ : state) {
        UndoSheetAction(sheet);
        VXWaitUpdateWindows();
    }
    if (state.iterations() % 2) UndoSheetAction(sheet);  // back where it started
    VXWaitUpdateWindows();
    state.SetComplexityN(n);
    ReleaseSheetUndo(sheet);
    ClearDrawingSelection(sheet);
}
BENCHMARK(UndoMove)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

void OffsetEverything(SheetRecord* sheet, int16_t by) {
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        s->position.h = int16_t(s->position.h + by);
    for (void* net = LLFirst(sheet->signalList); net; net = LLGetNext(sheet->signalList, net)) {
        WireList wires = (*static_cast<SignalHandle>(net))->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) OffsetWire(w, by, 0);
    }
}

// Every symbol and wire corner offset in place and back: the least any undo of a move does.
void OffsetAll(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    int16_t by = 10;
    for (auto _ : state) {
        OffsetEverything(sheet, by);
        by = int16_t(-by);
    }
    if (by < 0) OffsetEverything(sheet, by);
    state.SetComplexityN(n);
}
BENCHMARK(OffsetAll)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

// The whole sheet of n gates copied (no window), pasted into an empty sheet and deleted there.
void PasteDelete(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* source = BuildConnected(n, false);
    SelectSheetContents(source);
    CopySheetSelection(source, false);
    SheetRecord* target = CreateDrawing();
    if (!target) std::abort();
    for (auto _ : state) {
        PasteIntoSheet(target);
        if (!DeleteSheetSelection(target, kUndoActionDelete, false, false)) std::abort();
        ReleaseSheetUndo(target);
    }
    if (LLFirst(target->symbolList)) std::abort();
    state.SetComplexityN(n);
    DestroySheet(target);
    DestroySheet(source);
    ReleaseClipboard();
}
BENCHMARK(PasteDelete)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

void CopyAll(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* source = BuildConnected(n, false);
    SelectSheetContents(source);
    for (auto _ : state) CopySheetSelection(source, false);
    state.SetComplexityN(n);
    DestroySheet(source);
    ReleaseClipboard();
}
BENCHMARK(CopyAll)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

// Select All and the command on the sheet in its window, the window updated; undone outside the
// timing.
template <int kCommand>
void SelectAllThen(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    for (auto _ : state) {
        DoSelectAll(kSheetKind, sheet, false);
        if (kCommand == 0) CutSheetSelection(sheet, false);
        else if (kCommand == 1) (void)DeleteSheetSelection(sheet, kUndoActionDelete, false, false);
        else DuplicateSheetSelection(sheet, false);
        VXWaitUpdateWindows();
        state.PauseTiming();
        UndoSheetAction(sheet);
        ReleaseSheetUndo(sheet);
        ClearDrawingSelection(sheet);
        VXWaitUpdateWindows();
        if (sheet->symbolList->count != uint32_t(n)) std::abort();
        state.ResumeTiming();
    }
    state.SetComplexityN(n);
    ReleaseClipboard();
}
void SelectAllCut(benchmark::State& state) { SelectAllThen<0>(state); }
void SelectAllClear(benchmark::State& state) { SelectAllThen<1>(state); }
void SelectAllDuplicate(benchmark::State& state) { SelectAllThen<2>(state); }
BENCHMARK(SelectAllCut)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectAllClear)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);
BENCHMARK(SelectAllDuplicate)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

// A drag of 500 gates held at the window's lower edge at 100 %: each of the 21 events scrolls the
// view down (and back up in the next drag) while the outlines follow.
void AutoScrollDrag(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    SelectFirst(sheet, 500);
    VXSetScalePercent(sheet->window, 100, 100);
    sheet->viewScale = 100;
    VXScrollTo(sheet->window, 0, 0);
    RedrawSheetWindow(sheet);
    VXWaitUpdateWindows();
    Rect view{};
    VXGetViewRect(sheet->window, &view);
    auto* first = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
    bool back = false;
    for (auto _ : state) {
        const ContentMap map(sheet);
        const Point body{int16_t(first->position.v + 15), int16_t(first->position.h + 30)};
        const int32_t x = map.X(body), y = map.Y(body);
        // Down to the edge and held there (or up to the top edge, coming back).
        const int32_t edge = back ? map.Y(Point{int16_t(view.top), 0}) + 1 : map.Y(Point{int16_t(view.bottom), 0}) + 4;
        for (int m = 0; m < kMoves; ++m)
            TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, sheet, x + (m & 1), back ? std::min(y, edge) : edge));
        TestQueueInput(Mouse(PlatformInputKind::kMouseUp, sheet, x, y));
        Press(sheet, first, body);
        VXWaitUpdateWindows();
        VXGetViewRect(sheet->window, &view);
        back = !back;
    }
    EndDrags(state, sheet, kMoves + 2);
}
BENCHMARK(AutoScrollDrag)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

// The view scrolled by a step and drawn, as the window's own scrolling does it.
void ScrollStep(benchmark::State& state) {
    const int n = int(state.range(0));
    SheetRecord* sheet = SheetOf(n);
    VXSetScalePercent(sheet->window, 100, 100);
    sheet->viewScale = 100;
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 20;
        VXScrollTo(sheet->window, 0, step * 16);
        VXWaitUpdateWindows();
    }
    state.SetComplexityN(n);
}
BENCHMARK(ScrollStep)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

// A sheet built outside the timing, then its window made, placed, set to show the whole sheet and
// drawn for the first time, its index made on the way.
void FirstDraw(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        SheetRecord* sheet = BuildConnected(n, false);
        SheetWindows windows{};
        state.ResumeTiming();
        if (!CreateDrawingWindow("Bench", sheet, &windows)) std::abort();
        InstallDrawingInWindow(sheet, &windows);
        PlaceWindow(sheet);
        const int percent = FitPercent(n);
        VXSetScalePercent(sheet->window, percent, percent);
        sheet->viewScale = uint16_t(percent);
        VXShowWindow(sheet->window);
        VXWaitUpdateWindows();
        state.PauseTiming();
        DestroySheet(sheet);
        VXWaitUpdateWindows();
        state.ResumeTiming();
    }
    state.SetComplexityN(n);
}
BENCHMARK(FirstDraw)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

// The painter drawing the same gates and wires at the same scale.
void PainterSheet(benchmark::State& state) {
    const int n = int(state.range(0));
    const double scale = FitPercent(n) / 100.0;
    std::vector<BaselineShape> shapes;
    const auto px = [&](int units) { return int32_t(units * scale); };
    const auto add = [&](BaselineShape::Kind kind, int h1, int v1, int h2, int v2) {
        shapes.push_back(BaselineShape{kind, px(h1), px(v1), px(h2), px(v2), nullptr});
    };
    for (int i = 0; i < n; ++i) {
        bench::GateShapes<BaselineShape>(At(i), add);
        if (i + 1 < n && i % kColumns != kColumns - 1) {
            const std::vector<Point> corners = LinkCorners(i);
            for (size_t c = 1; c < corners.size(); ++c)
                add(BaselineShape::kLine, corners[c - 1].h, corners[c - 1].v, corners[c].h, corners[c].v);
        }
    }
    Paint(state, shapes);
    state.SetComplexityN(n);
}
BENCHMARK(PainterSheet)->Arg(1000)->Arg(5000)->Arg(30000)->Unit(benchmark::kMillisecond);

void SetUp() {
    static char name[] = "bench_sheeteditor_drag";
    StartSheetWindows(name);
    InstallEditorHooks();  // as the editor runs: its modified-status handler, undo and windows
}

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return plexa::RunCoreBenchmarks(argc, argv, argv[0], plexa::SetUp,
                                    {{"drag of connected gates", "DragConnected", "PainterOutlines"},
                                     {"drag with net symbols", "DragWithNetSymbols", "PainterOutlines"},
                                     {"press, one move, release", "DragRelease", "PainterOutlines"},
                                     {"press and release", "DragClick", "PainterOutlines"},
                                     {"undo/redo of a move of all", "UndoMove", "OffsetAll"},
                                     {"paste and delete", "PasteDelete", "CopyAll"},
                                     {"Select All, Cut", "SelectAllCut", "CopyAll"},
                                     {"Select All, Clear", "SelectAllClear", "CopyAll"},
                                     {"Select All, Duplicate", "SelectAllDuplicate", "CopyAll"},
                                     {"autoscrolling drag", "AutoScrollDrag", "ScrollStep"},
                                     {"first drawing at fit", "FirstDraw", "PainterSheet"}},
                                    "The editor's interactive paths against their baselines");
}
