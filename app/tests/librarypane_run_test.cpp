// The library pane of a sheet window's expanded top tool bar in the running editor: its lists run
// down the bar's whole height, so that the fifth item of the default library is there to click,
// and the part clicked is the one placed.
#include <gtest/gtest.h>

#include <string>

#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using LibraryPaneRun = SheetContentsTest;

TEST_F(LibraryPaneRun, TheListsShowFiveRowsAndTheFifthItemIsPlaced) {
    const std::string at = WriteSheetAtScale("Pane.SHX", 100);
    const std::string copy = dir.path() + "/copy.SHX";
    const std::string picture = OutputPath("library-pane.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Pane\n"
        "wait-drawn Pane\n"
        "click 16 20\n"  // the disclosure: the bar expands with the library pane
        "wait-drawn Pane\n"
        "screenshot " + picture + " Pane\n"
        "click 440 94\n"  // the fifth row of the items: "Diode"
        "click 400 400\n"
        "panel " + copy + "\nmenu File > Save a Copy...\n"
        "close Pane\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    const std::string components = DumpSheet(saved, kDumpComponents);
    EXPECT_NE(components.find("name 0 \"Diode\""), std::string::npos) << components;
}

#endif

}  // namespace
}  // namespace plexa::test
