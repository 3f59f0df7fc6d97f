// Undo and Redo of what is made on a sheet in the running editor: a part placed, a wire, a bus, a
// rectangle and a text drawn, a sheet symbol resized and one of its ports dragged. Each is the
// one undoable action: Undo gives back the sheet as it was before (the same canonical dump),
// Redo the sheet as it was made. And the undo of the edit before a creation is not lost to a
// creation given up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "model/sheetsymbols.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The pad's point (h, v) in the window's content at 100 %, the top tool bar expanded: the sheet
// pane lies right of the tool palette and below the tool bar.
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 38 + 73); }
std::string At(Point p) { return At(p.h, p.v); }
// The palette's buttons (below the expanded tool bar).
std::string PaletteClick(int n) { return "click 18 " + std::to_string(111 + 4 + 31 * n + 14) + "\n"; }
constexpr int kSelectButton = 0, kRectangleButton = 9;
const std::string kExpandToolBar = "click 16 17\nwait-drawn Made\n";

class CreationUndoRun : public SheetContentsTest {
protected:
    // Two gates placed as port symbols (A's output pin ends at (192,132), B's upper input pin at
    // (360,240)) and a sheet symbol at (420,320) with two ports.
    std::string WriteSheet() {
        const int32_t id = AddGateSymbolDefinition(drawing);
        EXPECT_GE(id, 0);
        const Point origins[] = {P(126, 117), P(360, 232)};
        uint32_t serial = 1;
        for (Point at : origins) {
            SymbolRecord* gate = driver->AddSymbol(serial++, kSymbolFlagPort);
            gate->mapId = id;
            gate->libraryName = kNoLibraryName;
            gate->position = at;
        }
        box = AddSheetSymbolBox(P(420, 320), "Child.SHX");
        for (const char* port : {"IN", "OUT"}) EXPECT_GE(CreateSheetSymbolPort(drawing, box, port, 0), 0);
        drawing->stored.nextSerial = 31;
        return WriteSheetAtScale("Made.SHX", 100);
    }
    // The canonical dump, with what it does not show of a sheet symbol: its box and its ports'
    // places.
    std::string Dump(SheetRecord* sheet) {
        std::string text = DumpSheet(sheet);
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s;
             s = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, s))) {
            if (!IsSheetSymbolRecord(s) || !s->sheetSymbolData) continue;
            const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(s->sheetSymbolData);
            text += "box serial " + std::to_string(s->serial) + " " + std::to_string(head->width) + " x " +
                    std::to_string(head->height) + "\n";
            for (int32_t n = 0; n < CountSheetSymbolPorts(s); ++n) {
                const SheetSymbolPort* port = SheetSymbolPortAt(s->sheetSymbolData, n);
                text += "  port " + std::to_string(n) + " flags " + std::to_string(port->flags) + " slot " +
                        std::to_string(port->slot) + "\n";
            }
        }
        return text;
    }
    // The dumps of the sheet as saved after the steps, after Undo and after Redo (the menu's
    // items named by the action), and the Edit menu's undo item after each.
    struct Stages {
        std::string made, undone, redone;
        std::vector<std::string> items;
    };
    Stages Run(const std::string& sheet, const std::string& steps, const std::string& action,
               const std::string& picture) {
        const std::string made = dir.path() + "/made.SHX", undone = dir.path() + "/undone.SHX",
                          redone = dir.path() + "/redone.SHX";
        auto save = [](const std::string& at) { return "panel " + at + "\nmenu File > Save a Copy...\nlog-menu Edit\n"; };
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result = run.Run(
            "wait-window Made\nwait-drawn Made\n" + kExpandToolBar + steps + "wait-drawn Made\nscreenshot " +
                OutputPath(picture) + "\n" + save(made) + "menu Edit > Undo " + action + "\n" + save(undone) +
                "menu Edit > Redo " + action + "\n" + save(redone) + "close Made\nbutton Don't Save\n",
            {sheet});
        EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        Stages stages;
        stages.items = result.Lines("  Undo ");
        for (const std::string& line : result.Lines("  Redo ")) stages.items.push_back(line);
        for (auto [path, out] : {std::pair{made, &stages.made}, {undone, &stages.undone}, {redone, &stages.redone}}) {
            SheetRecord* saved = Load(path);
            *out = saved ? Dump(saved) : "";
        }
        return stages;
    }
    SymbolRecord* box = nullptr;
};

TEST_F(CreationUndoRun, EachCreationIsUndoneAndRedoneThroughTheOneUndoRecord) {
    const std::string sheet = WriteSheet();
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = Dump(written);
    // The sheet symbol's corner (its resize handle) and its first port's place on its edge.
    Point corner{}, port{};
    int32_t side = 0;
    GetSheetSymbolSizePoint(box, &corner);
    GetSheetSymbolPortPos(box, 0, &port, &side);
    const Point body{int16_t(corner.v - 10), int16_t(corner.h - 40)};
    const struct Case {
        const char* name;
        std::string steps;
        const char* action;
    } cases[] = {
        {"part", "click 470 29\ntype Res\nclick 18 190\nclick " + At(240, 420) + "\nclick 18 129\n", "Creation"},
        {"wire",
         "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(300, 200) + "\nmove " +
             At(360, 240) + "\nclick " + At(360, 240) + "\n",
         "Wire Change"},
        {"bus",
         "key b\nmove " + At(96, 480) + "\nclick " + At(96, 480) + "\nmove " + At(240, 480) + "\nclick " +
             At(240, 480) + "\nkey Escape\n",
         "Wire Change"},
        {"element", PaletteClick(kRectangleButton) + "drag " + At(96, 300) + " " + At(192, 360) + "\n", "Creation"},
        {"text", "key t\nclick " + At(120, 560) + "\ntype hello\nkey Escape\n", "Creation"},
        {"sheet-symbol-resize",
         PaletteClick(kSelectButton) + "click " + At(body) + "\ndrag " + At(corner) + " " +
             At(corner.h + 48, corner.v + 24) + "\n",
         "Resize"},
        {"port-drag", PaletteClick(kSelectButton) + "drag " + At(port) + " " + At(port.h, port.v + 36) + "\n", "Move"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Stages stages = Run(sheet, c.steps, c.action, std::string("creation-undo-") + c.name + ".png");
        EXPECT_NE(stages.made, before);
        EXPECT_EQ(stages.undone, before);
        EXPECT_EQ(stages.redone, stages.made);
        const std::string undo = std::string("  Undo ") + c.action + "\tenabled";
        const std::string redo = std::string("  Redo ") + c.action + "\tenabled";
        EXPECT_EQ(stages.items, (std::vector<std::string>{undo, undo, redo})) << stages.made;
    }
}

// A creation given up keeps the undo of the edit before it: a wire started and escaped, a text
// tool click with nothing typed; a part placed and undone leaves that edit in place.
TEST_F(CreationUndoRun, TheEarlierEditStaysThroughACreationGivenUpOrUndone) {
    const std::string sheet = WriteSheet();
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = Dump(written);
    const std::string moved = dir.path() + "/moved.SHX", given = dir.path() + "/given.SHX",
                      placed = dir.path() + "/placed.SHX";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Made\nwait-drawn Made\n" + kExpandToolBar +
            // The gates moved one unit right, and that undone after a wire escaped and an empty text.
            "click " + At(140, 130) + "\nkey Right\npanel " + moved + "\nmenu File > Save a Copy...\n"
            "key w\nmove " + At(192, 132) + "\nclick " + At(192, 133) + "\nmove " + At(260, 200) +
            "\nkey Escape\nkey t\nclick " + At(120, 560) + "\nkey Escape\n" + PaletteClick(kSelectButton) +
            "log-menu Edit\nmenu Edit > Undo Move\npanel " + given + "\nmenu File > Save a Copy...\n"
            // Redone, then a part placed and undone: the move stays.
            "menu Edit > Redo Move\nclick 470 29\ntype Res\nclick 18 190\nclick " + At(240, 420) +
            "\nclick 18 129\nmenu Edit > Undo Creation\npanel " + placed + "\nmenu File > Save a Copy...\n"
            "close Made\nbutton Don't Save\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("  Undo "), std::vector<std::string>{"  Undo Move\tenabled"});
    SheetRecord* afterMove = Load(moved);
    SheetRecord* afterGiven = Load(given);
    SheetRecord* afterPlaced = Load(placed);
    ASSERT_TRUE(afterMove && afterGiven && afterPlaced);
    const std::string move = Dump(afterMove);
    EXPECT_NE(move, before);
    EXPECT_EQ(Dump(afterGiven), before);
    EXPECT_EQ(Dump(afterPlaced), move);
}

#endif

}  // namespace
}  // namespace plexa::test
