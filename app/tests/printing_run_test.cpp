// Printing through the running program: File > Print with the fixture project's window in front
// asks which sheets to print and prints every sheet of the hierarchy into the file the print panel
// names, the child sheet that the root uses twice once for each use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(PrintingRun, FilePrintWithTheProjectInFrontPrintsEachUseOfItsSheets) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string pdf = folder + "/amp.pdf";
    const ScriptedRunResult result = run.Run("wait-window amp\n"
                                             "wait-drawn amp\n"
                                             "print-panel " + pdf + "\n"
                                             "menu File > Print...\n"
                                             "wait-window Print Project\n"
                                             "screenshot " + OutputPath("print-project-dialog.png") + " Print Project\n"
                                             "button Print\n"
                                             "wait-no-window Print Project\n"
                                             "close amp\n",
                                             {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    std::string bytes;
    ASSERT_TRUE(ReadFile(pdf, bytes)) << result.errors;
    EXPECT_NE(bytes.find("/Count 3"), std::string::npos) << "the root and the child twice";
}

#endif

}  // namespace
}  // namespace plexa::test
