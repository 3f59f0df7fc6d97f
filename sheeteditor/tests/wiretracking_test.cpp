// Drawing wires and busses in a sheet window: the pointer moves through the platform's input path
// and the tracking proposes the legs; a click (as the window's click handling makes it) adds them.
// Checked through the sheet dump: the leg orders, a bus ending on a bus pin at an angle, cancel,
// a round trip through the sheet file, and what the end of a signal wire does to the signals:
// joining, naming and break-outs.
#include "sheeteditor/floatingwire.h"
#include "sheeteditor/wiretracking.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/root.h"
#include "files/sheetcontents.h"
#include "files/sheetstore.h"
#include "files/tests/hierarchy_testing.h"
#include "foundation/filespec.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/textstyle.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/input_platform.h"
#include "platform/window_platform.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/signaljoin.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetundoaction.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

// Points are written {h, v}, as the dump writes them.
Point At(int16_t h, int16_t v) { return Point{v, h}; }
std::string PointText(Point p) { return "(" + std::to_string(p.v) + "," + std::to_string(p.h) + ")"; }

class WireTracking : public WindowsTest {
protected:
    void SetUp() override {
        StartModelForSheets();
        WindowsTest::SetUp();
        InitSheetModelForWindows();
        VXInitControls();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        gUntitledDrawingCount = 0;
        ModelHooks model = GetModelHooks();
        model.windowSheet = SheetOfWindow;
        model.detachSheetWindows = DetachSheetWindows;
        model.releaseSheetEditorParts = ReleaseTestSheetEditorParts;  // the wires' undo goes with the sheet
        SetModelHooks(model);
        ResetWireTrackingForTesting();
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        sheet->selectedTool = kDrawToolWire;
        // Where a sheet point lies in the window's content.
        Deliver(200, 200);
        ASSERT_NE(WireStateOf(sheet).lastMouse.h, -1) << "the pointer did not reach the sheet pane";
        offsetH = 200 - WireStateOf(sheet).lastMouse.h;
        offsetV = 200 - WireStateOf(sheet).lastMouse.v;
    }
    void TearDown() override {
        ResetWireTrackingForTesting();
        sheets.DestroyAll();
        CloseUIFiles();
        InstallCoreHooks();
        WindowsTest::TearDown();
    }

    void Deliver(int32_t x, int32_t y) {
        PlatformInputEvent event;
        event.kind = PlatformInputKind::kMouseMoved;
        event.windowID = sheet->window->windowID;
        event.x = x;
        event.y = y;
        PlatformDeliverInput(event);
    }
    void Move(Point p) { Deliver(p.h + offsetH, p.v + offsetV); }
    // The Tab key's request: the legs swap at the next move.
    void Tab(Point p) {
        sheet->pathToggleRequest = 1;
        Move(p);
    }
    // A mouse-down with the wire or bus tool, as the window's click handling makes it.
    void Click() {
        RecordMouseClickTrackingState(sheet);
        CloseTrackingOverlay();
        if (sheet->selectedTool == kDrawToolBuss) CreateBussClick(sheet);
        else CreateSignalClick(sheet);
    }
    void MoveClick(Point p) {
        Move(p);
        Click();
    }

    // A symbol of two pins 12 below its position, at its left edge and 48 right of it; bus pins
    // when wide.
    SymbolRecord* Place(Point position, bool wide = false) {
        LinkListHeader* elements = CreateElementList(sheet->imageList);
        const int16_t pen = wide ? 2 : 1;
        LLAppend(elements, BuildNodeElement({12, 0}, {12, 12}, pen, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildNodeElement({12, 48}, {12, 36}, pen, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(kElementRect, {0, 12}, {24, 36}, 1, 0, 0, false, false, 0,
                                              false, 0, false));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet->stringBlock, false, sheet->imageList);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        const int32_t mapId = AddSymbolToMap(sheet->symbolMap, *data, int32_t(SizeOfHandle(data)), sheet->imageList);
        MemFree(data);
        SymbolRecord* symbol = CreateSymbol();
        symbol->mapId = mapId;
        symbol->position = position;
        symbol->flags = kSymbolFlagPort;
        symbol->libraryName = kNoLibraryName;
        symbol->serial = sheet->stored.nextSerial++;
        AddSymbolToSheet(sheet, symbol);
        return symbol;
    }

    // A signal drawn from a pin to a free end, named; wires start only at a terminal.
    SignalHandle NamedWire(Point pin, Point end, const char* name) {
        MoveClick(pin);
        MoveClick(end);
        CancelWireCreation(sheet);
        auto* signal = static_cast<SignalHandle>(LLFirst(sheet->signalList));
        EXPECT_NE(signal, nullptr);
        if (signal) SetSignalName(signal, sheet->stringBlock, name);
        return signal;
    }

    std::string Nets() { return DumpSheet(sheet, kDumpSignals | kDumpBusses); }
    std::string Names() {
        std::string names;
        for (auto* s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
             s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s))) {
            char name[kSignalNameSize];
            GetSignalName(s, sheet->stringBlock, name, sizeof name);
            names += std::string(names.empty() ? "" : " ") + name;
        }
        return names;
    }

    SheetWindowList sheets;
    SheetRecord* sheet = nullptr;
    int32_t offsetH = 0, offsetV = 0;
};

TEST_F(WireTracking, PinToPinThroughATwoLegPointInBothLegOrders) {
    struct Case {
        bool tab;
        const char* nets;
    } const cases[] = {
        // From a pin leaving to the right the first leg is horizontal; Tab makes it vertical.
        {false, "signals 1\n  S1 \"SIG001\" flags 0x0001 bounds (108,96)-(241,193)\n    pin 0: serial 2 node 1 flags 0x02\n    pin 1: serial 4 node 0 flags 0x02\n    W1 pin 0 - pin 1: (108,96) (168,96) (168,144) (240,144) (240,192)\n"},
        {true, "signals 1\n  S1 \"SIG001\" flags 0x0001 bounds (108,96)-(241,193)\n    pin 0: serial 2 node 1 flags 0x02\n    pin 1: serial 4 node 0 flags 0x02\n    W1 pin 0 - pin 1: (108,96) (108,144) (168,144) (168,192) (240,192)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tab);
        sheets.DestroyAll();
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        sheet->selectedTool = kDrawToolWire;
        Place(At(60, 84));    // pin A at (108, 96)
        Place(At(240, 180));  // its left pin B at (240, 192)
        MoveClick(At(108, 96));
        EXPECT_TRUE(IsWireCreationInProgress(sheet));
        if (c.tab) Tab(At(168, 144));
        MoveClick(At(168, 144));
        MoveClick(At(240, 192));
        EXPECT_FALSE(IsWireCreationInProgress(sheet));
        EXPECT_EQ(Nets(), c.nets);
    }
}

// The overlay follows the pointer: the legs a click would add and the mark of the terminal.
TEST_F(WireTracking, TheOverlayShowsTheProposedLegsAndTheTerminal) {
    WireTrackingHooks hooks;
    hooks.showTerminalMark = [] { return true; };
    SetWireTrackingHooks(hooks);
    Place(At(60, 204));
    Place(At(240, 300));
    Move(At(108, 216));
    EXPECT_TRUE(SheetHasOverlay(sheet));
    EXPECT_EQ(WireStateOf(sheet).current.terminal.kind, kTermSignalPin);
    Click();
    EXPECT_FALSE(SheetHasOverlay(sheet));  // a mouse-down closes it
    Move(At(242, 310));                    // near pin B: the legs end on it
    EXPECT_TRUE(SheetHasOverlay(sheet));
    EXPECT_EQ(WireStateOf(sheet).current.terminal.kind, kTermSignalPin);
    EXPECT_EQ(WireStateOf(sheet).current.legs, 2);
    EXPECT_EQ(PointText(WireStateOf(sheet).current.path[2]), "(312,240)");
    // The same grid point again is no new state.
    const MouseTrackRecord before = WireStateOf(sheet).current;
    Move(At(241, 311));
    EXPECT_FALSE(IsNewTrackingState(sheet, &before));
    RedrawSheetWindow(sheet);
    VXWaitUpdateWindows();
    ASSERT_TRUE(PlatformWindowGrabPNG(sheet->window->platformWindow, OutputPath("wire-tracking.png")));
    // Leaving the pane closes the overlay.
    TrackSheetMouseMovement(sheet, At(200, 200), 0, 0);
    EXPECT_FALSE(SheetHasOverlay(sheet));
}

TEST_F(WireTracking, ABusEndsExactlyOnABusPinAtAnAngle) {
    sheet->selectedTool = kDrawToolBuss;
    Place(At(180, 132), true);  // bus pins at (180, 144) and (228, 144)
    MoveClick(At(96, 96));      // a bus may start on an empty spot
    Move(At(178, 146));         // near the pin, off the grid and off the 8 directions
    EXPECT_EQ(WireStateOf(sheet).current.legs, 1);
    Click();
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(Nets(), "busses 1\n"
                      "  B1 \"\" bounds (95,95)-(182,146)\n"
                      "    terminal 0: serial 2 node 0\n"
                      "    W1 terminal 0 - free flags 0x0002: (180,144) (96,96)\n");
}

TEST_F(WireTracking, CancelAfterOneClickLeavesTheSheetAsItWas) {
    Place(At(60, 84));
    const std::string before = DumpSheet(sheet);
    MoveClick(At(108, 96));
    Move(At(168, 144));
    EXPECT_TRUE(IsWireCreationInProgress(sheet));
    EXPECT_GT(WireStateOf(sheet).current.legs, 0);
    CancelWireCreation(sheet);
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(DumpSheet(sheet), before);
    // Cancelling after two clicks keeps the legs (drawn while they are drawn) as a wire with a
    // free end.
    MoveClick(At(108, 96));
    MoveClick(At(168, 144));
    RedrawSheetWindow(sheet);
    VXWaitUpdateWindows();
    CancelWireCreation(sheet);
    EXPECT_EQ(Nets(), "signals 1\n"
                      "  S1 \"SIG001\" flags 0x0001 bounds (108,96)-(169,145)\n"
                      "    pin 0: serial 2 node 1 flags 0x02\n"
                      "    W1 pin 0 - free: (108,96) (168,96) (168,144)\n");
}

TEST_F(WireTracking, DrawnWiresSurviveSavingAndOpening) {
    Place(At(60, 84));
    Place(At(240, 180));
    MoveClick(At(108, 96));
    MoveClick(At(168, 144));
    MoveClick(At(240, 192));
    sheet->selectedTool = kDrawToolBuss;
    MoveClick(At(96, 240));
    MoveClick(At(300, 240));
    CancelWireCreation(sheet);
    TempDir dir;
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir.path() + "/drawn.SHX", &spec, false, nullptr), 0);
    ASSERT_EQ(WriteSheetFile(sheet, &spec), 0);
    SheetRecord* loaded = nullptr;
    ASSERT_EQ(LoadSheetFile(&spec, &loaded), 0);
    ASSERT_NE(loaded, nullptr);
    sheets.Keep(loaded);
    EXPECT_EQ(DumpSheet(loaded, kDumpSymbols | kDumpSignals | kDumpBusses),
              DumpSheet(sheet, kDumpSymbols | kDumpSignals | kDumpBusses));
}

// A stale terminal: the signal under the pointer goes between the move and the click.
TEST_F(WireTracking, AClickOnATerminalThatWentStartsNothing) {
    Place(At(60, 84));
    SignalHandle signal = NamedWire(At(108, 96), At(168, 96), "CLK");
    ASSERT_NE(signal, nullptr);
    Move(At(144, 96));
    EXPECT_EQ(WireStateOf(sheet).current.terminal.kind, kTermSignalWire);
    RemoveSignalFromList(sheet->signalList, signal);
    DestroySignal(signal);
    Click();
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
}

// A stale start: the signal the wire started on goes while the wire is drawn; the wire ends as one
// that started on nothing.
TEST_F(WireTracking, AStartSignalThatWentIsNotJoined) {
    Place(At(60, 84));
    Place(At(240, 180));
    SignalHandle signal = NamedWire(At(108, 96), At(168, 96), "CLK");
    ASSERT_NE(signal, nullptr);
    MoveClick(At(144, 96));
    ASSERT_TRUE(IsWireCreationInProgress(sheet));
    RemoveSignalFromList(sheet->signalList, signal);
    DestroySignal(signal);
    MoveClick(At(240, 192));
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(Nets(), "signals 1\n"
                      "  S1 \"SIG001\" flags 0x0001 bounds (144,96)-(241,193)\n"
                      "    pin 0: serial 4 node 0 flags 0x02\n"
                      "    W1 pin 0 - free: (240,192) (144,192) (144,96)\n");
}

// One wire is drawn at a time: a click on another sheet ends the first sheet's wire there, and
// closing a sheet's window ends the wire drawn on it.
TEST_F(WireTracking, AWireStaysOnTheSheetItWasStartedOn) {
    SheetRecord* first = sheet;
    Place(At(60, 84));
    MoveClick(At(108, 96));
    MoveClick(At(168, 144));
    sheet = sheets.New();
    ASSERT_NE(sheet, nullptr);
    sheet->selectedTool = kDrawToolWire;
    Place(At(60, 84));
    MoveClick(At(108, 96));
    EXPECT_TRUE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(DumpSheet(first, kDumpSignals), "signals 1\n"
                                              "  S1 \"SIG001\" flags 0x0001 bounds (108,96)-(169,145)\n"
                                              "    pin 0: serial 2 node 1 flags 0x02\n"
                                              "    W1 pin 0 - free: (108,96) (168,96) (168,144)\n");
    EXPECT_EQ(Nets(), "");
    MoveClick(At(108, 144));
    VXDestroyWindow(sheet->window);
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(Nets(), "signals 1\n"
                      "  S1 \"SIG001\" flags 0x0001 bounds (108,96)-(109,145)\n"
                      "    pin 0: serial 2 node 1 flags 0x02\n"
                      "    W1 pin 0 - free: (108,96) (108,144)\n");
}

// A wire whose free end lies on a pin it is not attached to is connected there.
TEST_F(WireTracking, AFloatingWireEndIsConnectedToThePinUnderIt) {
    Place(At(60, 84));
    SignalHandle signal = NamedWire(At(108, 96), At(168, 96), "CLK");
    ASSERT_NE(signal, nullptr);
    EXPECT_FALSE(CanConnectFloatingWire(sheet, false));  // no flashing wire
    sheet->flashingSignal = signal;
    sheet->flashingWire = FirstWire((*signal)->wires);
    EXPECT_FALSE(CanConnectFloatingWire(sheet, false));  // nothing under its end
    Place(At(168, 84));                                  // a pin at (168, 96)
    EXPECT_TRUE(CanConnectFloatingWire(sheet, false));
    ConnectFloatingWire(sheet);
    sheet->flashingSignal = nullptr;
    sheet->flashingWire = nullptr;
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(sheet->selectedTool, kSelectTool);
    EXPECT_EQ(Nets(), "signals 1\n"
                      "  S1 \"CLK\" flags 0x0001 bounds (108,96)-(169,97)\n"
                      "    pin 0: serial 2 node 1 flags 0x02\n"
                      "    pin 1: serial 4 node 0 flags 0x02\n"
                      "    W1 pin 1 - pin 0: (168,96) (108,96)\n");
}

// ---- The end of a signal wire ----

class SignalJoin : public WireTracking {
protected:
    // The sheet goes; a fresh one with the wire tool.
    void FreshSheet() {
        ResetWireTrackingForTesting();
        sheets.DestroyAll();
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        sheet->selectedTool = kDrawToolWire;
    }
    // A question that comes up is refused (its item 2), and *asked set.
    static void RefuseAQuestion(bool* asked) {
        static bool* gAsked;
        gAsked = asked;
        *asked = false;
        VXPostDeferredAction([](void*) {
            if (VXWindowRecordTag* dialog = FrontDialog()) {
                *gAsked = true;
                ClickItem(dialog, 2);
            }
        }, nullptr, 0.001);
    }
    // Two named wires one above the other, joined by a wire from the middle of the first to the
    // middle of the second.
    void Join(const char* first, const char* second) {
        Place(At(60, 84));
        Place(At(60, 180));
        NamedWire(At(108, 96), At(168, 96), first);
        NamedWire(At(108, 192), At(168, 192), second);
        ASSERT_EQ(Names(), std::string(second) + " " + first);
        MoveClick(At(132, 96));
        MoveClick(At(132, 192));
    }
};

TEST_F(SignalJoin, NamesSurviveByTheirKindWithoutAQuestion) {
    struct Case {
        const char* first;
        const char* second;
        const char* survivor;
    } const cases[] = {
        {"SIG012", "SIG003", "SIG003"},  // the lower automatic number
        {"SIG003", "SIG012", "SIG003"},
        {"SIG002", "CLK", "CLK"},        // a chosen name over an automatic one
        {"RESET", "SIG007", "RESET"},
        {"Data", "DATA", "Data"},        // equal but for case: the first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " + " + c.second);
        FreshSheet();
        bool asked = false;
        RefuseAQuestion(&asked);
        Join(c.first, c.second);
        EXPECT_FALSE(asked);
        EXPECT_FALSE(IsWireCreationInProgress(sheet));
        EXPECT_EQ(Names(), c.survivor);
        EXPECT_EQ(DumpSheet(sheet, kDumpSignals).find("signals 1\n"), 0u);
    }
}

TEST_F(SignalJoin, TwoChosenNamesAskWhichSurvives) {
    struct Case {
        int16_t button;
        const char* names;
        bool drawing;
    } const cases[] = {
        {3, "RESET", false},      // the first (the wire's start) survives
        {4, "CLK", false},
        {2, "CLK RESET", true},   // refused: nothing joined, the wire goes on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        FreshSheet();
        static std::string gTexts;
        static int16_t gButton;
        gTexts.clear();
        gButton = c.button;
        VXPostDeferredAction([](void*) {
            VXWindowRecordTag* dialog = FrontDialog();
            ASSERT_NE(dialog, nullptr);
            for (int16_t item : {1, 3, 4}) {
                char text[256];
                VXGetItemText(dialog, item, text);
                gTexts += std::string(text) + "|";
            }
            ClickItem(dialog, gButton);
        }, nullptr, 0.001);
        Join("RESET", "CLK");
        EXPECT_EQ(gTexts, "You are combining two named Signals.|RESET|CLK|");
        EXPECT_EQ(Names(), c.names);
        EXPECT_EQ(IsWireCreationInProgress(sheet), c.drawing);
        if (c.drawing) {
            // The wire under construction is as it was before the refused click, its start
            // drawn with the junction dot it will make.
            EXPECT_EQ(CountWireSegments(WireStateOf(sheet).wire), 0);
            RedrawSheetWindow(sheet);
            VXWaitUpdateWindows();
        }
    }
}

// A name given to a signal by a net symbol: a chosen name is renamed only when the person agrees,
// an automatic one silently; a name that a plain signal has already asks before connecting.
TEST_F(SignalJoin, ANetSymbolsNameAsksAboutChosenNamesAndConflicts) {
    struct Case {
        const char* old;        // the signal's name (none: no signal)
        const char* named;      // the name given
        const char* other;      // another signal of the sheet
        int16_t button;         // the question's answer (0: no question)
        const char* question;
        int32_t answer;
        const char* names;      // the sheet's names after
    } const cases[] = {
        {"SIG005", "VCC", nullptr, 0, "", 1, "VCC"},
        {"vcc", "VCC", nullptr, 0, "", 1, "vcc"},
        {"DATA", "VCC", nullptr, 1, "Rename \"DATA\" to \"VCC\"?|Rename", 1, "VCC"},
        {"DATA", "VCC", nullptr, 2, "Rename \"DATA\" to \"VCC\"?|Rename", 0, "DATA"},
        {nullptr, "CLK", "CLK", 1, "The symbol name conflicts with an existing signal.  Connect anyway?|Connect", 1,
         "CLK"},
        {nullptr, "CLK", "CLK", 2, "The symbol name conflicts with an existing signal.  Connect anyway?|Connect", 0,
         "CLK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.old ? c.old : "-") + " " + std::to_string(c.button));
        FreshSheet();
        Place(At(60, 84));
        SignalHandle signal = NamedWire(At(108, 96), At(168, 96), c.old ? c.old : c.other);
        ASSERT_NE(signal, nullptr);
        if (!c.old) {
            // A plain signal of that name: its pin's symbol does not count as a net symbol.
            (*signal)->flags = 0;
            signal = nullptr;
        }
        static std::string gAsked;
        static int16_t gButton;
        gAsked.clear();
        gButton = c.button;
        VXPostDeferredAction([](void*) {
            VXWindowRecordTag* dialog = FrontDialog();
            if (!dialog) return;
            char text[512];
            VXGetItemText(dialog, 3, text);
            gAsked = text;
            VXGetItemText(dialog, 1, text);
            gAsked += std::string("|") + text;
            ClickItem(dialog, gButton);
        }, nullptr, 0.001);
        EXPECT_EQ(AskChangeAttachedSignalName(sheet, signal, c.named, true), c.answer);
        EXPECT_EQ(gAsked, c.question);
        EXPECT_EQ(Names(), c.names);
    }
}

TEST_F(SignalJoin, AWireEndingOnABusAddsABreakOutAndALabel) {
    Place(At(60, 84));
    sheet->selectedTool = kDrawToolBuss;
    MoveClick(At(96, 300));
    MoveClick(At(396, 300));
    CancelWireCreation(sheet);
    auto* buss = static_cast<BussHandle>(LLFirst(sheet->bussList));
    ASSERT_NE(buss, nullptr);
    sheet->selectedTool = kDrawToolWire;
    MoveClick(At(108, 96));
    // Straight down onto the bus there is no corner to leave it from: the bus is no terminal.
    Move(At(108, 300));
    EXPECT_EQ(WireStateOf(sheet).current.terminal.kind, kTermNone);
    // Without a naming sequence the member name is asked for; no name given, nothing changes and
    // the wire goes on as before the click.
    Move(At(252, 300));
    EXPECT_EQ(WireStateOf(sheet).current.terminal.kind, kTermBreakOut);
    VXPostDeferredAction([](void*) {
        if (FrontDialog()) QueueKey(27);  // the member-name chooser, cancelled
    }, nullptr, 0.001);
    Click();
    EXPECT_TRUE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(CountWireSegments(WireStateOf(sheet).wire), 0);
    EXPECT_EQ(LLFirst(sheet->signalList), nullptr);
    SetBreakoutSequence(sheet, buss, "D0");
    Move(At(250, 290));
    Move(At(252, 300));
    EXPECT_EQ(WireStateOf(sheet).current.terminal.kind, kTermBreakOut);
    Click();
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    // The stub onto the bus is the break-out row's; the name is the sequence's next.
    EXPECT_EQ(DumpSheet(sheet, kDumpSignals | kDumpBusses | kDumpTexts),
              "signals 1\n"
              "  S1 \"D1\" flags 0x0005 bounds (108,96)-(261,300)\n"
              "    pin 0: serial 2 node 1 flags 0x02\n"
              "    W1 breakout 0 - pin 0: (252,291) (252,96) (108,96)\n"
              "    label T1 \"D1\" on W1 segment 0\n"
              "busses 1\n"
              "  B1 \"\" bounds (95,299)-(398,302)\n"
              "    W1 free - free flags 0x0002: (396,300) (96,300)\n"
              "breakouts 1\n"
              "  row 0: (243,300)-(252,291) buss B1\n"
              "texts 1\n"
              "  T1 kind 0x0001 owner S1 flags 0x0025 at (253,287) \"D1\"\n");
}

// A wire between two pins that are one net already without a wire between them (held by one
// signal, or by two signals of one name) joins that net: no second signal holds the pins.
TEST_F(SignalJoin, AWireBetweenPinsOfOneNetJoinsIt) {
    struct Case {
        const char* what;
        bool startHeld, endHeld;  // the pins' signals before the wire
        bool oneSignal;           // both pins held by one signal (else each by its own, of one name)
        const char* nets;
    } const cases[] = {
        {"one signal holds both pins", true, true, true,
         "signals 1\n"
         "  S1 \"GND\" flags 0x0001 bounds (108,96)-(109,193)\n"
         "    pin 0: serial 2 node 1 flags 0x02\n"
         "    pin 1: serial 4 node 1 flags 0x02\n"
         "    W1 pin 0 - pin 1: (108,96) (108,192)\n"},
        {"two signals of one name", true, true, false,
         "signals 1\n"
         "  S1 \"GND\" flags 0x0001 bounds (108,96)-(109,193)\n"
         "    pin 0: serial 2 node 1 flags 0x02\n"
         "    pin 1: serial 4 node 1 flags 0x02\n"
         "    W1 pin 0 - pin 1: (108,96) (108,192)\n"},
        {"the start pin held", true, false, true,
         "signals 1\n"
         "  S1 \"GND\" flags 0x0001 bounds (108,96)-(109,193)\n"
         "    pin 0: serial 2 node 1 flags 0x02\n"
         "    pin 1: serial 4 node 1 flags 0x02\n"
         "    W1 pin 0 - pin 1: (108,96) (108,192)\n"},
        {"the end pin held", false, true, true,
         "signals 1\n"
         "  S1 \"GND\" flags 0x0001 bounds (108,96)-(109,193)\n"
         "    pin 0: serial 4 node 1 flags 0x02\n"
         "    pin 1: serial 2 node 1 flags 0x02\n"
         "    W1 pin 1 - pin 0: (108,96) (108,192)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FreshSheet();
        SymbolRecord* top = Place(At(60, 84));
        SymbolRecord* bottom = Place(At(60, 180));
        // The net by name: signals that hold the pins with no wire.
        SignalHandle net = nullptr;
        for (auto [symbol, held] : {std::pair{top, c.startHeld}, std::pair{bottom, c.endHeld}}) {
            if (!held) continue;
            if (!net || !c.oneSignal) {
                net = CreateSignal(sheet->signalList);
                ASSERT_NE(net, nullptr);
                SetSignalName(net, sheet->stringBlock, "GND");
                (*net)->flags |= kSignalFlagPort;
            }
            ASSERT_GE(AddPinToSignal(net, symbol, 1), 0);
        }
        bool asked = false;
        RefuseAQuestion(&asked);
        MoveClick(At(108, 96));
        MoveClick(At(108, 192));
        EXPECT_FALSE(asked);
        EXPECT_FALSE(IsWireCreationInProgress(sheet));
        EXPECT_EQ(Nets(), c.nets);
    }
}

// The sheet's spatial index follows wires drawn with the wire tool without a rebuild: each step
// draws a wire (a new net, a T-join, two nets combined, a break-out with its label), undoes and
// redoes it, and after each the index answers every small area as a grid built afresh does. A
// wire that joins a net without linking or unlinking a net marks no index for a rebuild.
TEST_F(SignalJoin, TheSheetIndexFollowsDrawnWiresAndTheirUndo) {
    const auto expectAsRebuilt = [&](const std::string& when) {
        SCOPED_TRACE(when);
        std::vector<void*> kept, fresh;
        for (int32_t k = 0; k < kSheetItemKinds; ++k) {
            const auto kind = SheetItemKind(k);
            for (int16_t v = 0; v < 720; v += 12)
                for (int16_t h = 0; h < 480; h += 12) {
                    const Rect area{v, h, int16_t(v + 15), int16_t(h + 15)};
                    SheetItemsMeeting(sheet, kind, area, &kept);
                    SheetItemsMeetingRebuilt(sheet, kind, area, &fresh);
                    ASSERT_EQ(kept, fresh) << "kind " << k << " at (" << h << "," << v << ")";
                }
        }
    };
    const auto undoAndRedo = [&](const std::string& what) {
        expectAsRebuilt(what);
        const std::string after = DumpSheet(sheet);
        UndoSheetAction(sheet);
        EXPECT_NE(DumpSheet(sheet), after) << what;
        expectAsRebuilt(what + ", undone");
        UndoSheetAction(sheet);
        EXPECT_EQ(DumpSheet(sheet), after) << what;
        expectAsRebuilt(what + ", redone");
    };
    // The editor's own record of a change, as the program installs it (the store as it was after).
    struct RestoreStore {
        SheetStoreHooks was = GetSheetStoreHooks();
        ~RestoreStore() { SetSheetStoreHooks(was); }
    } const restore;
    SheetStoreHooks store = restore.was;
    store.setModified = SheetEditorModifiedStatus;
    SetSheetStoreHooks(store);
    bool asked = false;
    RefuseAQuestion(&asked);
    Place(At(60, 84));    // pins (60,96) and (108,96)
    Place(At(60, 180));   // pins (60,192) and (108,192)
    Place(At(240, 84));   // pins (240,96) and (288,96)
    Place(At(60, 400));   // pins (60,412) and (108,412)
    expectAsRebuilt("placed");

    MoveClick(At(108, 96));
    MoveClick(At(168, 96));
    CancelWireCreation(sheet);
    ASSERT_EQ(Names(), "SIG001");
    undoAndRedo("a new net with a free end");

    // As if just saved: the undo reports the sheet as saved again.
    sheet->modifiedFlags &= ~(kSheetModifiedContent | kSheetModifiedDrawing);
    const uint32_t clock = SheetItemPlaceClock();
    MoveClick(At(132, 96));
    MoveClick(At(108, 192));
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    EXPECT_EQ(SheetItemPlaceClock(), clock) << "the T-join marked every index for a rebuild";
    ASSERT_EQ(Names(), "SIG001");
    undoAndRedo("a T-join onto a pin");
    EXPECT_EQ(SheetItemPlaceClock(), clock) << "undoing or redoing the T-join marked every index for a rebuild";

    MoveClick(At(240, 96));
    MoveClick(At(240, 150));
    CancelWireCreation(sheet);
    ASSERT_EQ(Names(), "SIG002 SIG001");
    expectAsRebuilt("a second net");
    MoveClick(At(240, 130));
    MoveClick(At(156, 96));
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    ASSERT_EQ(DumpSheet(sheet, kDumpSignals).find("signals 1\n"), 0u);
    undoAndRedo("two nets combined");

    sheet->selectedTool = kDrawToolBuss;
    MoveClick(At(96, 616));
    MoveClick(At(396, 616));
    CancelWireCreation(sheet);
    auto* buss = static_cast<BussHandle>(LLFirst(sheet->bussList));
    ASSERT_NE(buss, nullptr);
    sheet->selectedTool = kDrawToolWire;
    SetBreakoutSequence(sheet, buss, "D0");
    MoveClick(At(108, 412));
    Move(At(250, 606));
    Move(At(252, 616));
    ASSERT_EQ(WireStateOf(sheet).current.terminal.kind, kTermBreakOut);
    Click();
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    ASSERT_NE(DumpSheet(sheet, kDumpTexts).find("\"D1\""), std::string::npos);
    undoAndRedo("a break-out with its label");

    // A T-join onto the labelled net, from its wire to a free pin.
    MoveClick(At(252, 500));
    MoveClick(At(60, 412));
    EXPECT_FALSE(IsWireCreationInProgress(sheet));
    undoAndRedo("a T-join onto a labelled net");
    EXPECT_FALSE(asked);
}

}  // namespace
}  // namespace plexa::test
