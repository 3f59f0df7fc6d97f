// The tool palette of a sheet window at a device scale factor of 2, where the window is too short
// for its column of tools: the tools go on in further columns, so that the last one (the arrow)
// is there to click and draws.
#include <gtest/gtest.h>

#include <string>

#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using PaletteScaleRun = SheetContentsTest;

TEST_F(PaletteScaleRun, EveryToolIsReachableAtScaleFactorTwo) {
    const std::string at = WriteSheetAtScale("Scaled.SHX", 100);
    const std::string copy = dir.path() + "/copy.SHX";
    const std::string picture = OutputPath("palette-scale-2.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    run.SetEnvironment("QT_SCALE_FACTOR=2");
    const ScriptedRunResult result = run.Run(
        "wait-window Scaled\n"
        "wait-drawn Scaled\n"
        "screenshot " + picture + " Scaled\n"
        "click 49 243\n"  // the arrow tool, the last one, at the foot of the second column
        "drag 150 100 250 150\n"
        "panel " + copy + "\nmenu File > Save a Copy...\n"
        "close Scaled\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    const std::string elements = DumpSheet(saved, kDumpElements);
    // One element, an arrow (a line with a head).
    EXPECT_EQ(elements.rfind("elements 1\n  E1 kind 2 ", 0), 0u) << elements;
    EXPECT_NE(elements.find(" head "), std::string::npos) << elements;
}

#endif

}  // namespace
}  // namespace plexa::test
