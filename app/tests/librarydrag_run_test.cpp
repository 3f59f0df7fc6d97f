// An item dragged from the library pane of a sheet window onto a sheet in the running editor: the
// press on the item's row carries it over the windows, and released over a sheet it is placed
// where the library-part tool's click would place it, as the one undoable creation; released
// anywhere else it places nothing, and a press that does not move past the drag threshold is a
// click on the row as before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The sheet pad's point (h, v) at 100 % in the window's content, the top tool bar expanded: the
// sheet pane lies right of the tool palette and below the tool bar.
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 111); }
// The fifth row of the library pane's item list: "Diode" of the default library.
constexpr const char* kDiodeRow = "440 94";
// The point the parts land on, and its grid point.
constexpr int kDropH = 242, kDropV = 301;

class LibraryDragRun : public SheetContentsTest {
protected:
    // The sheet in a file of the test's folder, its window at the position with the top tool bar
    // expanded; its path.
    std::string WriteSheet(const std::string& name, Rect position) {
        const std::string at = dir.path() + "/" + name;
        const FileSpec to = SheetSpecAt(at);
        EXPECT_EQ(WriteSheetFile(drawing, &to), 0);
        SheetWindowState state{};
        state.position = position;
        state.scale = 100;
        state.toolsExpanded = 1;
        EXPECT_EQ(WriteSheetWindowState(&to, nullptr, &state), 0);
        return at;
    }

    struct Outcome {
        std::string symbols;           // the canonical dump's symbols and components
        std::vector<std::string> undo;  // the Edit menu's undo item
        ScriptedRunResult result;
    };
    // The steps on the sheet window "Drop" (a copy of `sheet`), then its dump through a saved copy.
    Outcome Run(const std::string& sheet, const std::string& steps, const std::string& picture,
                const std::vector<std::string>& more = {}, const std::string& window = "Drop") {
        const std::string copy = dir.path() + "/copy.SHX";
        std::remove(copy.c_str());
        std::vector<std::string> files = {sheet};
        files.insert(files.end(), more.begin(), more.end());
        ScriptedRun run(PLEXA_PROGRAM);
        Outcome outcome;
        outcome.result = run.Run("wait-window Drop\nwait-drawn Drop\n" + steps + "wait-drawn " + window +
                                     "\nscreenshot " + OutputPath(picture) + " " + window + "\nlog-menu Edit\n" +
                                     "panel " + copy + "\nmenu-in " + window + " | File > Save a Copy...\n" +
                                     "quit\nbutton Don't Save\n",
                                 files);
        EXPECT_TRUE(outcome.result.Exited(0)) << outcome.result.status << "\n" << outcome.result.errors;
        outcome.undo = outcome.result.Lines("  Undo");
        if (SheetRecord* saved = Load(copy)) outcome.symbols = DumpSheet(saved, kDumpSymbols | kDumpComponents);
        return outcome;
    }
};

TEST_F(LibraryDragRun, AnItemDroppedOnTheSheetIsPlacedAsTheToolsClickPlacesIt) {
    const std::string sheet = WriteSheet("Drop.SHX", Rect{40, 20, 760, 780});
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = DumpSheet(written, kDumpSymbols | kDumpComponents);
    const std::string drop = At(kDropH, kDropV);
    const std::string mid = At(kDropH - 40, kDropV - 30);

    // The row clicked, then the sheet clicked with the library-part tool that the click chose.
    const Outcome clicked = Run(sheet, std::string("click ") + kDiodeRow + "\nclick " + drop + "\n",
                                "library-drag-click-placed.png");
    ASSERT_NE(clicked.symbols, before);
    EXPECT_NE(clicked.symbols.find("\"Diode\""), std::string::npos) << clicked.symbols;

    // The row dragged there: the same part at the same place, the one undoable creation. Half
    // way over the sheet the part's picture follows the pointer and the cursor shows a copy.
    const std::string midShot = OutputPath("library-drag-over-sheet.png");
    const Outcome dragged = Run(sheet,
                                std::string("drag ") + kDiodeRow + " " + mid + " hold\n" + "screenshot-screen " +
                                    midShot + "\nlog-app-cursor\nrelease " + drop + "\nlog-app-cursor\n",
                                "library-drag-dropped.png");
    EXPECT_EQ(dragged.symbols, clicked.symbols);
    EXPECT_EQ(dragged.undo, std::vector<std::string>{"  Undo Creation\tenabled"});
    EXPECT_EQ(dragged.result.Lines("app-cursor "), (std::vector<std::string>{"app-cursor drag-copy", "app-cursor none"}));

    // Undo takes it out again.
    const Outcome undone =
        Run(sheet, std::string("drag ") + kDiodeRow + " " + drop + "\nmenu Edit > Undo Creation\n", "library-drag-undone.png");
    EXPECT_EQ(undone.symbols, before);

    // A press that moves less than the threshold is a click on the row: the part tool chosen, the
    // next click places the item.
    const Outcome pressed = Run(sheet, std::string("drag ") + kDiodeRow + " 442 95\nclick " + drop + "\n",
                                "library-drag-short-press.png");
    EXPECT_EQ(pressed.symbols, clicked.symbols);
}

TEST_F(LibraryDragRun, AnItemReleasedAnywhereElsePlacesNothing) {
    const std::string sheet = WriteSheet("Drop.SHX", Rect{40, 20, 760, 780});
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = DumpSheet(written, kDumpSymbols | kDumpComponents);
    const struct Case {
        const char* name;
        std::string to;
    } cases[] = {
        {"outside", "-60 300"},  // beyond the window's left edge: no window of the program
        {"browser", "300 60"},   // back on the pane's list of libraries
        {"palette", "18 300"},   // the tool palette of the sheet window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = Run(sheet,
                                    std::string("drag ") + kDiodeRow + " " + c.to + " hold\nlog-app-cursor\nrelease " +
                                        c.to + "\n",
                                    std::string("library-drag-") + c.name + ".png");
        EXPECT_EQ(outcome.symbols, before);
        EXPECT_EQ(outcome.undo, std::vector<std::string>{"  Undo...\tdisabled"});
        EXPECT_EQ(outcome.result.Lines("app-cursor "), std::vector<std::string>{"app-cursor forbidden"});
    }
}

// Dragged from one sheet window's pane onto another sheet window, in the part of it that the
// first leaves uncovered: placed there, undone there, the first sheet left alone.
TEST_F(LibraryDragRun, AnItemDroppedOnAnotherSheetWindowIsPlacedThere) {
    const std::string sheet = WriteSheet("Drop.SHX", Rect{40, 10, 760, 600});
    const std::string other = WriteSheet("Other.SHX", Rect{100, 450, 760, 795});
    // Without the expanded tool bar: the sheet pane of "Other" starts 38 below its content's top.
    SheetWindowState state{};
    const FileSpec otherSpec = SheetSpecAt(other);
    state.position = Rect{100, 450, 760, 795};
    state.scale = 100;
    ASSERT_EQ(WriteSheetWindowState(&otherSpec, nullptr, &state), 0);
    SheetRecord* written = Load(sheet);
    ASSERT_NE(written, nullptr);
    const std::string before = DumpSheet(written, kDumpSymbols | kDumpComponents);
    const std::string there = std::to_string(kDropH + 38) + " " + std::to_string(kDropV + 38);
    const std::string bring = "wait-window Other\nwait-drawn Other\nmenu Window > Drop\nwait-drawn Drop\nlog-windows\n";
    const std::string drag = bring + "drag " + kDiodeRow + " 500 300 hold\ndrag-in Other | " + there +
                             "\nscreenshot-screen " + OutputPath("library-drag-other-window.png") +
                             "\nlog-app-cursor\nrelease-in Other | " + there + "\n";
    const Outcome placed = Run(sheet, drag, "library-drag-other-dropped.png", {other}, "Other");
    EXPECT_EQ(placed.result.Lines("windows: "), std::vector<std::string>{"windows: Drop | Other"});
    EXPECT_EQ(placed.result.Lines("app-cursor "), std::vector<std::string>{"app-cursor drag-copy"});
    EXPECT_NE(placed.symbols.find("at (240,300)"), std::string::npos) << placed.symbols;
    EXPECT_NE(placed.symbols.find("\"Diode\""), std::string::npos) << placed.symbols;
    const Outcome first = Run(sheet, drag, "library-drag-other-first.png", {other}, "Drop");
    EXPECT_EQ(first.symbols, before);
    const Outcome undone =
        Run(sheet, drag + "menu-in Other | Edit > Undo Creation\n", "library-drag-other-undone.png", {other}, "Other");
    EXPECT_EQ(undone.symbols, before);
}

#endif

}  // namespace
}  // namespace plexa::test
