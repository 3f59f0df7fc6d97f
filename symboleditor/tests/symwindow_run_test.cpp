// The symbol editor's window in the running program: a library item opened from its library's
// window by a double click, drawn, closed back into the library, and the library saved and listed.
#include <gtest/gtest.h>

#include <string>

#include "foundation/memory.h"
#include "library/lib_tool.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SymWindowRun : public LibEditorTest {
protected:
    static std::string List(const std::string& path) {
        const char* argv[] = {"lib-tool", "list", "-l", path.c_str()};
        std::string out, err;
        EXPECT_EQ(RunLibTool(4, argv, &out, &err), 0) << err;
        return out;
    }
};

TEST_F(SymWindowRun, ALibraryItemOpensInItsWindowAndClosesBackIntoTheLibrary) {
    Library("Parts.LBX", {{"Gate"}, {"Latch"}});
    const std::string path = dir_.file("Parts.LBX");
    const std::string before = List(path);
    const std::string picture = OutputPath("symwindow-program.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Parts\n"
        "wait-drawn Parts\n"
        "click 52 9 double\n"
        "wait-window Parts : Gate\n"
        "wait-drawn Parts : Gate\n"
        "screenshot " + picture + " Parts : Gate\n"
        "log-windows\n"
        "close Parts : Gate\n"
        "wait-no-window Parts : Gate\n"
        "key Ctrl+S\n"
        "close Parts\n"
        "wait-no-window Parts\n"
        "quit\n",
        {path});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::vector<std::string> windows = result.Lines("windows:");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].rfind("windows: Parts : Gate | Parts", 0), 0u) << windows[0];
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
    // Nothing was edited: the library lists as it did.
    EXPECT_EQ(List(path), before);
}

#endif

}  // namespace
}  // namespace plexa::test
