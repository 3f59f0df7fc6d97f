// Hierarchical design in the running editor: the sub-sheet symbol tool follows the preference in
// the windows already open, and Tools > Annotate... renumbers every instance of a child sheet
// used twice. Each result is read back from the files the program saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

namespace fs = std::filesystem;

using HierarchyRun = SheetContentsTest;

// The lines of a dump that start with the prefix.
std::string Lines(const std::string& dump, const std::string& prefix) {
    std::string out;
    size_t at = 0;
    while (at < dump.size()) {
        size_t end = dump.find('\n', at);
        if (end == std::string::npos) end = dump.size();
        const std::string line = dump.substr(at, end - at);
        if (line.compare(0, prefix.size(), prefix) == 0) out += line + "\n";
        at = end + 1;
    }
    return out;
}

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
    EXPECT_EQ(Lines(dump, "  #"), "  #1 serial 1 at (264,84) flags 0x00083400 map -1 prefix \"X\" designator \"X1\" slot 0\n")
        << dump;
}

#endif

}  // namespace
}  // namespace plexa::test
