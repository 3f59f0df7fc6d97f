// The symbol editor's view in the running editor: its grid drawn, the zoom tool's click, Undo of
// the zoom, and a drag with the other mouse button. The scale is read from the View menu (Actual
// Size is checked at 100 percent only).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(SymZoomRun, GridZoomToolUndoAndPanInTheSymbolEditor) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.dir().file("RC.SHX");
    std::filesystem::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    const std::string opened = OutputPath("symzoom-opened.png"), zoomed = OutputPath("symzoom-zoomed.png"),
                      panned = OutputPath("symzoom-panned.png");
    const ScriptedRunResult result = run.Run(
        "wait-window RC\n"
        "wait-drawn RC\n"
        "menu Edit > Sheet Symbols > New...\n"
        "wait-window RC : RC\n"
        "wait-drawn RC : RC\n"
        "screenshot " + opened + " RC : RC\n"
        // The Zoom Area button, then a click in the drawing: one step in.
        "click 59 51\n"
        "click 350 300\n"
        "log-menu View\n"
        "screenshot " + zoomed + " RC : RC\n"
        "menu Edit > Undo Zoom\n"
        "log-menu View\n"
        // The other button pans.
        "drag 400 400 300 330 middle\n"
        "screenshot " + panned + " RC : RC\n"
        "close RC : RC\n"
        "wait-no-window RC : RC\n"
        "close RC\n"
        "button Don't Save\n"
        "wait-no-window RC\n"
        "quit\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // Zoomed in, then back at 100 percent after Undo.
    EXPECT_EQ(result.Lines("  Normal Size"),
              (std::vector<std::string>{"  Normal Size\tenabled", "  Normal Size\tenabled\tchecked"}));
}

#endif

}  // namespace
}  // namespace plexa::test
