// Tracking a wire under construction across sheets of 500, 2,000 and 5,000 symbols (a body, an
// output bubble and three pins each, with a wire of four segments from each output): each step
// moves the pointer from a pin in the middle of the sheet to an empty spot and back, so every
// step finds a terminal (or none), proposes new legs and invalidates the rubber band's overlay.
// The same sheets with the library-part tool: each step moves the image of the part being placed
// (a gate of a library written in a scratch folder) between two spots in the middle of the sheet
// and paints the overlay; with TurnPart each step also turns the part, as the arrow keys do, so
// that its image is built again.
// The figure to hold is well under one frame (16 ms) a move, not growing with the sheet.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "bench/core_bench_main.h"
#include "bench/sheet_windows.h"
#include "files/pathspec.h"
#include "files/sheetstore.h"
#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "library/itemcache.h"
#include "library/libfile.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/sheetselected.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/wires.h"
#include "model/tests/gate_symbol.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/tests/sheet_walks.h"
#include "platform/app_platform.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetundoaction.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/symbolimage.h"
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
    RecordMouseClickTrackingState(sheet);
    CloseTrackingOverlay();
    CreateSignalClick(sheet);
    if (!IsWireCreationInProgress(sheet)) std::abort();
    const Point other{int16_t(middle.v + 22), middle.h};           // the second input pin
    const Point empty{int16_t(middle.v + 4), int16_t(middle.h - 12)};  // nothing there
    int step = 0;
    for (auto _ : state) {
        TrackSheetMouseMovement(sheet, (step++ & 1) ? empty : other, 0, 255);
        benchmark::DoNotOptimize(WireStateOf(sheet).current.legs);
    }
    CancelWireCreation(sheet);
    DestroySheet(sheet);
    VXWaitUpdateWindows();
}
BENCHMARK(TrackWire)->Arg(500)->Arg(2000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// One wire added with the wire tool, as a person draws it: a click on the wire of a net in the
// middle of the sheet, a click on a spot beside it and the end of the wire there (a T-join with a
// free end, what the model's BM_AddOneWire adds), and the next move of the pointer. Outside the
// timing the wire is undone and the sheet's index and kept selection brought in step again (the
// undo is an edit that moves the item-place clock; adding the wire moves neither the clock nor a
// list's version). The figure to hold: independent of the sheet's size.
void AddOneWire(benchmark::State& state) {
    const int symbols = int(state.range(0));
    SheetRecord* sheet = BuildSheet(symbols);
    VXWaitUpdateWindows();
    const Point middle = At(symbols / 2);
    const Point onWire{int16_t(middle.v + 20), int16_t(middle.h + 72)};  // the net's second segment
    const Point beside{int16_t(middle.v + 20), int16_t(middle.h + 84)};  // nothing there
    std::vector<void*> found;
    const Rect all{-32000, -32000, 32000, 32000};
    const auto inStep = [&] {
        for (int32_t k = 0; k < kSheetItemKinds; ++k) {
            SheetItemsMeeting(sheet, SheetItemKind(k), all, &found);
            SheetSelectedItemsOf(sheet, SheetItemKind(k), &found);
        }
    };
    // After a rebuild the index pays once for looking nets up by identity, and after an edit the
    // kept selection walks the lists once; a person drawing wire after wire pays both at the
    // first. The undo outside the timing is such an edit, so both are paid there too.
    auto* net = static_cast<SignalHandle>(LLFirst(sheet->signalList));
    const auto caughtUp = [&] {
        inStep();
        NoteSheetNetChanged(net);
        inStep();
    };
    caughtUp();
    const auto click = [&](Point at) {
        TrackSheetMouseMovement(sheet, at, 0, 255);
        RecordMouseClickTrackingState(sheet);
        CloseTrackingOverlay();
        CreateSignalClick(sheet);
    };
    for (auto _ : state) {
        click(onWire);
        click(beside);
        CancelWireCreation(sheet);
        // The next move asks the index: a rebuild the wire made due lands here.
        TrackSheetMouseMovement(sheet, onWire, 0, 255);
        state.PauseTiming();
        UndoSheetAction(sheet);
        caughtUp();
        state.ResumeTiming();
    }
    // The sheet is as built: the last wire was undone.
    ReleaseSheetUndo(sheet);
    DestroySheet(sheet);
    VXWaitUpdateWindows();
    state.SetComplexityN(symbols);
}
// A fixed count of wires for every size: each wire opens and closes the tracking overlay, and an
// overlay closed outside the window system's event handlers stays a child of the window until
// the window goes, so a count chosen by speed would weigh the sizes differently.
BENCHMARK(AddOneWire)->Arg(1000)->Arg(10000)->Arg(30000)->Iterations(300)->Unit(benchmark::kMicrosecond)->Complexity();

// Wire after wire, as a person draws them: the same wire as AddOneWire's, each onto the net of
// another symbol, with no undo between them (the undo walks the
// sheet, and what it leaves in the caches weighs on the wire after it). Each wire goes onto a net
// of its own, from a quarter of the way into the sheet on.
constexpr int kWiresAfterWires = 150;
void AddWireAfterWire(benchmark::State& state) {
    const int symbols = int(state.range(0));
    SheetRecord* sheet = BuildSheet(symbols);
    int next = symbols / 4;
    VXWaitUpdateWindows();
    const auto click = [&](Point at) {
        TrackSheetMouseMovement(sheet, at, 0, 255);
        RecordMouseClickTrackingState(sheet);
        CloseTrackingOverlay();
        CreateSignalClick(sheet);
    };
    // The first questions after the sheet was built pay the index's build, its look-up of nets by
    // identity and the kept selection's walk: outside the timing, as in AddOneWire.
    TrackSheetMouseMovement(sheet, At(next), 0, 255);
    std::vector<void*> found;
    for (int32_t k = 0; k < kSheetItemKinds; ++k) SheetSelectedItemsOf(sheet, SheetItemKind(k), &found);
    (void)SheetListHolds(sheet, SheetItemKind::kSignal, LLFirst(sheet->signalList));
    const auto wires = [&] {
        size_t n = 0;
        for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
            n += (*static_cast<SignalHandle>(s))->wires->count;
        return n;
    };
    const size_t before = wires();
    for (auto _ : state) {
        const Point p = At(next++);
        const Point onWire{int16_t(p.v + 20), int16_t(p.h + 72)}, beside{int16_t(p.v + 20), int16_t(p.h + 84)};
        click(onWire);
        click(beside);
        CancelWireCreation(sheet);
        TrackSheetMouseMovement(sheet, onWire, 0, 255);
    }
    if (wires() < before + size_t(state.iterations())) state.SkipWithError("the clicks made no wire");
    ReleaseSheetUndo(sheet);
    DestroySheet(sheet);
    VXWaitUpdateWindows();
    state.SetComplexityN(symbols);
}
BENCHMARK(AddWireAfterWire)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(30000)
    ->Iterations(kWiresAfterWires)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

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

// The library-part tool over the sheet: each step moves the pointer between two spots near the
// middle of the sheet (each an empty one beside a symbol) and lets the loop paint the overlay,
// after turning the part first with `turn` (its image is built again).
void TrackPartSteps(benchmark::State& state, bool turn) {
    const int symbols = int(state.range(0));
    SheetRecord* sheet = BuildSheet(symbols);
    sheet->selectedTool = kDrawToolLibraryPart;
    gPlaceTransformation = 0;
    InvalidateTrackingSymbolImage();
    VXWaitUpdateWindows();
    const Point middle = At(symbols / 2);
    const Point spots[2] = {{int16_t(middle.v + 4), int16_t(middle.h - 12)},
                            {int16_t(middle.v + 20), int16_t(middle.h - 14)}};
    TrackSheetMouseMovement(sheet, spots[0], 0, 255);
    PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros());
    const TrackingImageRecord& image = GetTrackingSymbolImage();
    if (!image.valid || !image.pixels || !SheetHasOverlay(sheet)) std::abort();  // the part is not shown
    int step = 0;
    for (auto _ : state) {
        if (turn) {
            // What the arrow key does (InvalidateMouseTrackingImage) but for the mouse-moved event
            // it asks for: the offscreen pointer lies outside the window, so that event would close
            // the overlay; the step's own move stands for it.
            gPlaceTransformation = VXTransformTransformation(gPlaceTransformation, 1);
            ClearMouseTrackingState(sheet);
            InvalidateTrackingSymbolImage();
        }
        TrackSheetMouseMovement(sheet, spots[++step & 1], 0, 255);
        PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros());  // the overlay paints
        benchmark::DoNotOptimize(image.pixels);
    }
    if (!image.valid || !image.pixels) std::abort();
    CloseTrackingOverlay();
    gPlaceTransformation = 0;
    DestroySheet(sheet);
    VXWaitUpdateWindows();
}

void TrackPart(benchmark::State& state) { TrackPartSteps(state, false); }
BENCHMARK(TrackPart)->Arg(500)->Arg(2000)->Arg(5000)->Unit(benchmark::kMicrosecond);

void TurnPart(benchmark::State& state) { TrackPartSteps(state, true); }
BENCHMARK(TurnPart)->Arg(500)->Arg(2000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// A library of one item, the gate, in a scratch folder (removed when the program ends), listed and
// selected in the item cache as the library-part tool finds it.
std::string gLibraryRoot;

void RemoveLibraryRoot() {
    DisposeLibraryAccess();
    if (!gLibraryRoot.empty()) std::system(("rm -rf '" + gLibraryRoot + "'").c_str());
}

void SelectGateLibraryItem() {
    char pattern[] = "/tmp/plexa-wiretracking-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    gLibraryRoot = pattern;
    std::atexit(RemoveLibraryRoot);
    setenv("HOME", (gLibraryRoot + "/home").c_str(), 1);  // the digest file stays in the scratch folder
    setenv("XDG_DATA_HOME", (gLibraryRoot + "/data").c_str(), 1);
    ::mkdir((gLibraryRoot + "/libs").c_str(), 0777);
    InitLibraryAccess();
    FileSpec spec;
    if (FileSpecFromURL(gLibraryRoot + "/libs/GATES.LBX", &spec, false, nullptr) != 0 || CreateLibraryFile(&spec) != 0)
        std::abort();
    LibraryFileRecord record{};
    if (OpenLibraryFile(&spec, &record, kLibraryOpenLoadMap) != 0) std::abort();
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    if (!item || !SetLibraryItemNameInfo(item, kLibAppendName, "GATE", 255)) std::abort();
    Handle data = test::GateSymbolData(item->stringBlock, item->imageList);
    if (!data) std::abort();
    Ptr drawing = AllocPtrWithData(nullptr, *data, uint32_t(SizeOfHandle(data)));
    MemFree(data);
    if (AddLibSymbolDef(item, "Gate", drawing, nullptr, item->imageList, nullptr) != 0) std::abort();
    LibSection* section = CreateLibSection();
    if (!section) std::abort();
    SetLibSectionSuffix(section, item->stringBlock, "A");
    section->symbolIndex = 0;
    if (!SetLibSectionPinCount(section, CountLibSymbolPins(item, 0, 0))) std::abort();
    AddSectionToLibItem(item, section, true);
    OSStatus st = 0;
    Handle flat = FlattenLibraryItem(item, true, 1, &st);
    uint32_t id = 0;
    if (!flat || st != 0 || WriteLibraryFileItem(&record, flat, true, &id) != 0) std::abort();
    MemFree(flat);
    DestroyLibraryItem(item);
    if (CloseLibraryFile(&record) != 0) std::abort();
    DirectoryRef folder;
    if (DirectoryFromPathName(nullptr, (gLibraryRoot + "/libs/").c_str(), &folder) != 0) std::abort();
    if (!AddPathSpecToList(GetLibFilesPathList(), &folder, kPathRootAbsolute, kPathLibraryFiles, false))
        std::abort();
    BuildLibraryFileList(nullptr, false);
    int32_t fileIndex = -1, itemIndex = -1;
    if (!LocateLibraryFileItem("GATES.LBX", "GATE", &fileIndex, &itemIndex) ||
        SetCachedLibraryFile(kLibFilesAll, fileIndex) != 0 || SetCachedLibraryItem(itemIndex) != 0)
        std::abort();
}

void SetUp() {
    static char name[] = "bench_sheeteditor_wiretracking";
    StartSheetWindows(name);
    // A sheet lets its window go when it is destroyed, as in the editor.
    ModelHooks model = GetModelHooks();
    model.windowSheet = SheetOfWindow;
    model.detachSheetWindows = DetachSheetWindows;
    SetModelHooks(model);
    // A change is recorded by the editor, as in the program.
    SheetStoreHooks store = GetSheetStoreHooks();
    store.setModified = SheetEditorModifiedStatus;
    SetSheetStoreHooks(store);
    SelectGateLibraryItem();
}

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return plexa::RunCoreBenchmarks(argc, argv, argv[0], plexa::SetUp,
                                    {{"tracking move", "TrackWire", "PinWalk"}},
                                    "A tracking move against the walk of the pins it used to make");
}
