// A symbol dragged with the select tool in the running editor, then Undo, Redo and Undo again:
// after each step a copy of the sheet is saved and its dump compared with the sheet before and
// after the drag.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SheetDragRun = SheetContentsTest;

TEST_F(SheetDragRun, ADragUndoneRedoneAndUndoneAgain) {
    SymbolRecord* gate = AddGate(P(200, 200));
    const std::string at = WriteSheetAtScale("Drag.SHX", 100);
    // The click selects the gate, and undo keeps the selection.
    gate->flags |= kSymbolFlagSelected;
    const std::string before = DumpSheet(drawing, kDumpSymbols);

    // Saving (a copy too) forgets the undo, so each state is saved by a run of its own that
    // ends there: the drag, then one more step of Edit > Undo / Redo each run. The gate's body
    // lies right of and below its origin, at (211..251, 201..230) with the view at 100 %; the
    // sheet pane starts right of the tool palette and below the tool bar. The drag takes it 100
    // units right and 50 down (the start and end points on the 12-unit grid, and the gate's
    // origin snapped to it: 112 and 52).
    const std::string steps[] = {"menu Edit > Undo Move\n", "menu Edit > Redo Move\n", "menu Edit > Undo Move\n"};
    std::string script = "wait-window Drag\nwait-drawn Drag\ndrag 268 254 368 304\nlog-menu Edit\n";
    std::vector<std::string> dumps;
    for (int run = 0; run < 4; ++run) {
        if (run) script += steps[run - 1] + "log-menu Edit\n";
        const std::string copy = dir.path() + "/copy" + std::to_string(run) + ".SHX";
        std::string last = script;
        if (run == 3) last += "screenshot " + OutputPath("sheet-drag-undone-again.png") + "\n";
        ScriptedRun program(PLEXA_PROGRAM);
        const ScriptedRunResult result = program.Run(
            last + "panel " + copy + "\nmenu File > Save a Copy...\nclose Drag\nbutton Don't Save\n", {at});
        ASSERT_TRUE(result.Exited(0)) << run << " " << result.status << "\n" << result.errors;
        SheetRecord* saved = Load(copy);
        ASSERT_NE(saved, nullptr) << copy;
        dumps.push_back(DumpSheet(saved, kDumpSymbols));
        if (run < 3) continue;
        // The Edit menu's first item after each step.
        std::vector<std::string> undoItems;
        for (size_t i = 0; i + 1 < result.log.size(); ++i)
            if (result.log[i] == "menu Edit") undoItems.push_back(result.log[i + 1]);
        EXPECT_EQ(undoItems, (std::vector<std::string>{"  Undo Move\tenabled", "  Redo Move\tenabled",
                                                       "  Undo Move\tenabled", "  Redo Move\tenabled"}));
    }
    const std::string after = dumps[0];
    EXPECT_NE(after, before);
    EXPECT_NE(after.find("at (312,252)"), std::string::npos) << after;
    EXPECT_EQ(dumps, (std::vector<std::string>{after, before, after, before}));
}

// A rectangle dragged on empty sheet around one of two gates selects that one: Edit > Clear
// then takes it away and leaves the other.
TEST_F(SheetDragRun, AMarqueeSelectsWhatItEncloses) {
    const int32_t id = AddGateSymbolDefinition(drawing);
    ASSERT_GE(id, 0);
    const Point origins[] = {P(200, 200), P(420, 200)};
    uint32_t serial = 40;
    for (Point at : origins) {
        SymbolRecord* gate = driver->AddSymbol(serial++);
        gate->mapId = id;
        gate->libraryName = kNoLibraryName;
        gate->position = at;
    }
    const std::string at = WriteSheetAtScale("Marquee.SHX", 100);
    // The sheet pane's (h, v) lies at (h + 38, v + 38) in the window's content at 100 %.
    const std::string copy = dir.path() + "/cleared.SHX";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Marquee\nwait-drawn Marquee\n"
                                             "drag 188 168 338 298\n"
                                             "screenshot " + OutputPath("sheet-marquee.png") + "\n"
                                             "menu Edit > Clear\n"
                                             "panel " + copy + "\nmenu File > Save a Copy...\n"
                                             "close Marquee\nbutton Don't Save\n",
                                             {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* cleared = Load(copy);
    ASSERT_NE(cleared, nullptr);
    EXPECT_EQ(DumpSheet(cleared, kDumpSymbols), "symbols 1\n  #1 serial 41 at (420,200) flags 0x00080000 map 0\n");
}

#endif

}  // namespace
}  // namespace plexa::test
