// Undo and Redo of what is made on a sheet in the running editor: a part placed, a wire, a bus, a
// rectangle and a text drawn, a sheet symbol resized and one of its ports dragged. Each is the
// one undoable action: Undo gives back the sheet as it was before (the same canonical dump),
// Redo the sheet as it was made. And the undo of the edit before a creation is not lost to a
// creation given up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "foundation/geometry.h"
#include "app/tests/two_gates_testing.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "model/sheetsymbols.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The pad's point (h, v) in the window's content at 100 %: the sheet pane lies right of the tool
// palette and below the tool bar (73 lower with the top tool bar expanded).
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 38); }
std::string At(Point p) { return At(p.h, p.v); }
std::string Below(int h, int v) { return At(h, v + 73); }
// The palette's buttons (the top tool bar not expanded).
std::string PaletteClick(int n) { return "click 18 " + std::to_string(38 + 4 + 31 * n + 14) + "\n"; }
constexpr int kSelectButton = 0, kRectangleButton = 9;
// A resistor from the library pane (the top tool bar expanded shows it; its item list at 470 29,
// typing chooses) placed with the library-part tool.
std::string PlaceResistor(int h, int v) {
    return "click 16 17\nclick 470 29\ntype Res\nclick 18 190\nclick " + Below(h, v) + "\n";
}

class CreationUndoRun : public SheetContentsTest {
protected:
    // Two gates placed as port symbols (A's output pin ends at (192,132), B's upper input pin at
    // (360,240)) and a sheet symbol at (420,320) with two ports, a wire on the right-hand one.
    std::string WriteSheet() {
        EXPECT_NE(PlaceTwoPortGates(driver.get(), drawing)[1], nullptr);
        box = AddSheetSymbolBox(P(420, 320), "Child.SHX");
        for (const char* port : {"IN", "OUT"}) EXPECT_GE(CreateSheetSymbolPort(drawing, box, port, 0), 0);
        // A wire from the right-hand port OUT, which a resize moves with the edge.
        Point pin{};
        GetSheetSymbolPortPinPos(box, 1, &pin);
        pin = P(box->position.h + pin.h, box->position.v + pin.v);
        driver->AddPin(pin, box, 1);
        Draw({pin, P(pin.h + 48, pin.v)});
        drawing->stored.nextSerial = 31;
        const std::string at = WriteSheetAtScale("Made.SHX", 100);
        EXPECT_TRUE(ReadFile(at, written_));
        return at;
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
    // The dump of the sheet saved as a copy after the steps (a save lets the undo go, so each
    // stage is a run of its own), and the Edit menu's undo item before the save.
    struct Stage {
        std::string dump;
        std::string unselected;  // the dump with no symbol selected
        std::string symbols;     // its symbols alone, none selected
        std::vector<std::string> item;
    };
    Stage Run(const std::string& sheet, const std::string& steps, const std::string& picture) {
        const std::string copy = dir.path() + "/copy.SHX";
        // The window's state goes into the file when it closes (the top tool bar expanded, say):
        // each run starts from the sheet as written.
        EXPECT_TRUE(WriteFile(sheet, written_));
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result = run.Run("wait-window Made\nwait-drawn Made\n" + steps +
                                                     "wait-drawn Made\nscreenshot " + OutputPath(picture) +
                                                     "\nlog-menu Edit\npanel " + copy +
                                                     "\nmenu File > Save a Copy...\nclose Made\nbutton Don't Save\n",
                                                 {sheet});
        EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        Stage stage;
        stage.item = result.Lines("  Undo ");
        for (const std::string& line : result.Lines("  Redo ")) stage.item.push_back(line);
        SheetRecord* saved = Load(copy);
        if (!saved) return stage;
        stage.dump = Dump(saved);
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(saved->symbolList)); s;
             s = static_cast<SymbolRecord*>(LLGetNext(saved->symbolList, s)))
            s->flags &= ~kSymbolFlagSelected;
        stage.unselected = Dump(saved);
        stage.symbols = DumpSheet(saved, kDumpSymbols);
        return stage;
    }
    SymbolRecord* box = nullptr;
    std::string written_;
};

TEST_F(CreationUndoRun, EachCreationIsUndoneAndRedoneThroughTheOneUndoRecord) {
    const std::string sheet = WriteSheet();
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = Dump(written);
    // The sheet symbol's corner (its resize handle) and the middle of its first port's outline.
    Point corner{}, outline[7]{};
    GetSheetSymbolSizePoint(box, &corner);
    const int32_t points = BuildSheetSymbolPortPoly(box, 0, outline);
    ASSERT_GT(points, 0);
    Rect around{};
    VXGetPointsBounds(outline, points, &around);
    const Point port{int16_t((around.top + around.bottom) / 2), int16_t((around.left + around.right) / 2)};
    const Point body{int16_t(corner.v - 10), int16_t(corner.h - 40)};
    // Each creation after its prelude (a tool chosen, a symbol selected), which the sheet undone
    // keeps.
    const struct Case {
        const char* name;
        std::string prelude, steps;
        const char* action;
    } cases[] = {
        {"part", "", PlaceResistor(240, 420), "Creation"},
        {"wire", "",
         "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(300, 200) + "\nmove " +
             At(360, 240) + "\nclick " + At(360, 240) + "\n",
         "Wire Change"},
        {"bus", "",
         "key b\nmove " + At(96, 480) + "\nclick " + At(96, 480) + "\nmove " + At(240, 480) + "\nclick " +
             At(240, 480) + "\nkey Escape\n",
         "Wire Change"},
        {"element", "", PaletteClick(kRectangleButton) + "drag " + At(96, 300) + " " + At(192, 360) + "\n", "Creation"},
        {"text", "", "key t\nclick " + At(120, 560) + "\ntype hello\nkey Escape\n", "Creation"},
        {"sheet-symbol-resize", PaletteClick(kSelectButton) + "click " + At(body) + "\n",
         "drag " + At(corner) + " " +
             At(corner.h + 48, corner.v + 24) + "\n",
         "Resize"},
        {"port-drag", "", PaletteClick(kSelectButton) + "drag " + At(port) + " " + At(port.h, port.v + 36) + "\n", "Move"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string shot = std::string("creation-undo-") + c.name;
        const std::string undo = std::string("menu Edit > Undo ") + c.action + "\n";
        const std::string redo = std::string("menu Edit > Redo ") + c.action + "\n";
        const std::string start = c.prelude.empty() ? before : Run(sheet, c.prelude, shot + "-before.png").dump;
        const Stage made = Run(sheet, c.prelude + c.steps, shot + ".png");
        const Stage undone = Run(sheet, c.prelude + c.steps + undo, shot + "-undone.png");
        const Stage redone = Run(sheet, c.prelude + c.steps + undo + redo, shot + "-redone.png");
        EXPECT_NE(made.dump, start);
        EXPECT_EQ(undone.dump, start);
        EXPECT_EQ(redone.dump, made.dump);
        const std::string item = std::string("  Undo ") + c.action + "\tenabled";
        EXPECT_EQ(made.item, std::vector<std::string>{item});
        EXPECT_EQ(undone.item, std::vector<std::string>{std::string("  Redo ") + c.action + "\tenabled"});
        EXPECT_EQ(redone.item, std::vector<std::string>{item});
    }
}

// A creation given up keeps the undo of the edit before it: a wire started and escaped, a text
// tool click with nothing typed; a part placed and undone leaves that edit in place.
TEST_F(CreationUndoRun, TheEarlierEditStaysThroughACreationGivenUpOrUndone) {
    const std::string sheet = WriteSheet();
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = Dump(written);
    // Gate A moved one unit right.
    const std::string move = "click " + At(140, 130) + "\nkey Right\n";
    const std::string part = PlaceResistor(240, 420);
    const Stage moved = Run(sheet, move, "creation-undo-moved.png");
    EXPECT_NE(moved.dump, before);
    EXPECT_EQ(moved.item, std::vector<std::string>{"  Undo Move\tenabled"});
    // A wire started and escaped, a text tool click with nothing typed: the move is still undone.
    const std::string givenUp = "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(260, 200) +
                                "\nkey Escape\nkey t\nclick " + At(120, 560) + "\nkey Escape\n" +
                                PaletteClick(kSelectButton);
    const Stage given = Run(sheet, move + givenUp + "menu Edit > Undo Move\n", "creation-undo-given-up.png");
    EXPECT_EQ(given.symbols, DumpSheet(written, kDumpSymbols));
    EXPECT_EQ(given.item, std::vector<std::string>{"  Redo Move\tenabled"});
    // A part placed and undone: the move stays (the part tool chosen let the selection go).
    const Stage placed = Run(sheet, move + part + "menu Edit > Undo Creation\n", "creation-undo-part-after-move.png");
    EXPECT_EQ(placed.unselected, moved.unselected);
    EXPECT_EQ(placed.item, std::vector<std::string>{"  Redo Creation\tenabled"});
}

#endif

}  // namespace
}  // namespace plexa::test
