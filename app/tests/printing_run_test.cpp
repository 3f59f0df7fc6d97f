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

// The title in a PDF file's information, as poppler's pdfinfo reads it ("" without one).
std::string PdfTitle(const std::string& pdf) {
    const std::string out = pdf + ".info";
    if (std::system(("pdfinfo '" + pdf + "' > '" + out + "' 2>/dev/null").c_str()) != 0) return "?";
    std::string info;
    if (!ReadFile(out, info)) return "?";
    const size_t at = info.find("Title:");
    if (at == std::string::npos) return "";
    const size_t start = info.find_first_not_of(' ', at + 6), end = info.find('\n', at);
    return start == std::string::npos || start >= end ? "" : info.substr(start, end - start);
}

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
    EXPECT_EQ(PdfTitle(pdf), "amp") << "the job is titled with the project's name";
}

// A sheet printed alone: the job is titled with the sheet's name.
TEST(PrintingRun, FilePrintWithASheetInFrontTitlesTheJobWithTheSheetsName) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string pdf = folder + "/root.pdf";
    const ScriptedRunResult result = run.Run("wait-window ROOT\n"
                                             "wait-drawn ROOT\n"
                                             "print-panel " + pdf + "\n"
                                             "menu File > Print...\n"
                                             "close ROOT\n",
                                             {"ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(PdfTitle(pdf), "ROOT");
}

#endif

}  // namespace
}  // namespace plexa::test
