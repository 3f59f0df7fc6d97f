// Hierarchical design in the running editor: the sub-sheet symbol tool follows the preference in
// the windows already open, and Tools > Annotate... renumbers every instance of a child sheet
// used twice. Each result is read back from the files the program saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files/project_dump.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

namespace fs = std::filesystem;

using HierarchyRun = SheetContentsTest;

// The preferences dialog with its "Hierarchical design" box clicked, as a script.
const std::string kToggleHierarchicalDesign =
    "menu Plexa > Preferences\xE2\x80\xA6\n"
    "wait-window Preferences\n"
    "wait-drawn Preferences\n"
    "click 30 100\n"
    "button OK\n"
    "wait-no-window Preferences\n";

// The sheet window open before hierarchical design is switched on gets the sub-sheet symbol tool
// in its palette (fourth, the tools below it one place down), and a rectangle dragged with it
// makes a sheet symbol; switched off again, the tool goes and the palette closes up.
TEST_F(HierarchyRun, TheSubSheetToolFollowsThePreferenceInAnOpenWindow) {
    const std::string copy = dir.path() + "/symbol.SHX";
    const std::string shown = OutputPath("hierarchy-subsheet-tool-shown.png");
    const std::string gone = OutputPath("hierarchy-subsheet-tool-gone.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n" +
        kToggleHierarchicalDesign +
        "wait-drawn Untitled 1\n"
        "screenshot " + shown + " Untitled 1\n"
        "click 18 221\n"  // the fourth tool: the sub-sheet symbol tool
        "drag 300 200 450 320\n"
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "type X1\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "panel " + copy + "\n"
        "menu File > Save a Copy...\n" +
        kToggleHierarchicalDesign +
        "wait-drawn Untitled 1\n"
        "screenshot " + gone + " Untitled 1\n"
        "click 18 221\n"  // the fourth tool again: now the wire tool, which a drag does not use
        "drag 300 400 450 500\n"
        "log-windows\n"
        "close Untitled 1\n"
        "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(shown));
    EXPECT_TRUE(fs::exists(gone));
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Untitled 1"});
    // The sheet symbol the tool made.
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    const std::string dump = DumpSheet(saved);
    EXPECT_EQ(LinesHolding(dump, "  #"), "  #1 serial 1 at (264,84) flags 0x00083400 map -1 prefix \"X\" designator \"X1\" slot 0\n")
        << dump;
}

// A sheet symbol just drawn shows its designator beside its box: the one typed in (X1), or the
// default one (X?) when none is, as the parts of the sheet show theirs.
TEST_F(HierarchyRun, ANewSheetSymbolShowsItsDesignator) {
    const std::string copy = dir.path() + "/symbols.SHX";
    const std::string shot = OutputPath("hierarchy-sheet-symbol-designators.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n" +
        kToggleHierarchicalDesign +
        "wait-drawn Untitled 1\n"
        "click 18 221\n"  // the sub-sheet symbol tool
        "drag 300 200 450 290\n"
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "type X1\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "click 18 221\n"
        "drag 300 380 450 470\n"
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "wait-drawn Untitled 1\n"
        "screenshot " + shot + " Untitled 1\n"
        "panel " + copy + "\n"
        "menu File > Save a Copy...\n"
        "close Untitled 1\n"
        "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(shot));
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    const std::string dump = DumpSheet(saved);
    // Designator texts (kind 0x11) owned by each symbol, above the box's top-left corner.
    EXPECT_EQ(LinesHolding(dump, "  T"),
              "  T1 kind 0x0011 owner serial 1 flags 0x0020 at (264,80) \"X1\"\n"
              "  T2 kind 0x0011 owner serial 2 flags 0x0020 at (264,260) \"X?\"\n")
        << dump;
}

// The text's lines in sorted order.
std::string Sorted(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// The project's annotation as project-dump shows it: one line a symbol of an instance.
std::string ProjectAnnotation(const std::string& project) {
    const char* argv[] = {"project-dump", project.c_str()};
    std::string out, err;
    EXPECT_EQ(RunProjectDump(2, argv, &out, &err), 0) << err;
    return LinesHolding(out, "    symbol ");
}

// Tools > Annotate... on the root sheet of the project "amp" (its child sheet RC used twice):
// every designator cleared and the parts renumbered from 10. With the dialog's "Descend into
// sub-sheets" on, as it comes, both instances of the child sheet are renumbered too; with it off,
// only the root's parts are, and the child's instances keep theirs.
TEST_F(HierarchyRun, ReannotatingAProjectRenumbersEveryInstanceOfItsChildSheet) {
    struct Case {
        bool descend;
        std::string annotation;
    };
    const std::string root =
        "    symbol 1 instance 1 \"V10\" slot 0\n"
        "    symbol 2 instance 1 \"R10\" slot 0\n"
        "    symbol 3 instance 1 \"R11\" slot 0\n"
        "    symbol 5 instance 1 \"X10\" slot 0\n"
        "    symbol 6 instance 1 \"X11\" slot 0\n";
    const Case cases[] = {
        {true, root +
                   "    symbol 1 instance 2 \"R12\" slot 0\n"
                   "    symbol 1 instance 3 \"R13\" slot 0\n"
                   "    symbol 2 instance 2 \"C10\" slot 0\n"
                   "    symbol 2 instance 3 \"C11\" slot 0\n"},
        {false, ""},
    };
    for (const Case& c : cases) {
        ScriptedRun run(PLEXA_PROGRAM);
        const std::string folder = run.dir().file("amp");
        fs::copy(SourcePath("tools/tests/fixtures/amp"), folder, fs::copy_options::recursive);
        const std::string before = ProjectAnnotation(folder + "/amp.PRX");
        const std::string shot = OutputPath(std::string("hierarchy-annotate-") + (c.descend ? "all" : "top") + ".png");
        const ScriptedRunResult result = run.Run(
            "wait-window ROOT\n"
            "wait-drawn ROOT\n"
            "menu Tools > Annotate...\n"
            "wait-window Annotate\n"
            "wait-drawn Annotate\n"
            "click 267 68\n"          // Clear all designators
            "click 267 94\n"          // Resequence designators
            "click 455 187 double\n"  // the start number
            "type 10\n" +
            std::string(c.descend ? "" : "button Descend into sub-sheets\n") +
            "screenshot " + shot + " Annotate\n"
            "button OK\n"
            "wait-no-window Annotate\n"
            // Closing (rather than a menu of the key window, which may still be the run's
            // message) waits for the run; the sheet and the project are saved.
            "close ROOT\n"
            "button Save\n"
            "wait-no-window ROOT\n"
            "close amp\n"
            "button Save\n",
            {folder + "/amp.PRX", folder + "/ROOT.SHX"});
        ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        EXPECT_TRUE(fs::exists(shot));
        const std::string after = ProjectAnnotation(folder + "/amp.PRX");
        // With the child's instances left alone they keep what they had before.
        const std::string expected = c.descend ? c.annotation : root + LinesHolding(before, "    symbol 1 instance 2") +
                                                                    LinesHolding(before, "    symbol 1 instance 3") +
                                                                    LinesHolding(before, "    symbol 2 instance 2") +
                                                                    LinesHolding(before, "    symbol 2 instance 3");
        EXPECT_EQ(Sorted(after), Sorted(expected)) << after;
    }
}

// Tools > Annotate... from the project window, and the project window closed at once. When the
// close box is clicked while the run shows its message (the windows draw then, and nothing else
// answers), the close waits until the run is done: the program does not lose the project's window
// under the run, and the project closes with every designator renumbered.
TEST_F(HierarchyRun, AnnotatingFromTheProjectWindowAndClosingItAtOnce) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.dir().file("amp");
    fs::copy(SourcePath("tools/tests/fixtures/amp"), folder, fs::copy_options::recursive);
    const ScriptedRunResult result = run.Run(
        "wait-window amp\n"
        "wait-drawn amp\n"
        "menu Tools > Annotate...\n"
        "wait-window Annotate\n"
        "wait-drawn Annotate\n"
        "click 267 68\n"          // Clear all designators
        "click 455 187 double\n"  // the start number
        "type 20\n"
        "button OK\n"
        "wait-no-window Annotate\n"
        "close amp\n"
        "button Save\n",
        {folder + "/amp.PRX"});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::string after = ProjectAnnotation(folder + "/amp.PRX");
    for (const char* designator : {"\"V20\"", "\"R20\"", "\"R21\"", "\"R22\"", "\"R23\"", "\"C20\"", "\"C21\""})
        EXPECT_NE(after.find(designator), std::string::npos) << designator << "\n" << after;
}

#endif

}  // namespace
}  // namespace plexa::test
