// Documents named on the command line, relative names taken from the folder the program starts
// in: sheets and libraries each open in their window, at launch and when a second start hands
// them to the running program; with "--print" they are printed instead, by the running program
// or by a start that ends once it has printed.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The small project of the tools' tests: amp.PRX with ROOT.SHX, which uses RC.SHX.
constexpr const char* kAmp = "tools/tests/fixtures/amp";

// A second start of the program beside the run's, in the run's scratch folder and playing no
// script, which should hand its arguments over and end at once.
void SecondStart(const ScriptedRun& run, const std::vector<std::string>& arguments) {
    std::vector<std::string> environment = run.Environment();
    for (std::string& entry : environment)
        if (entry.rfind("PLEXA_TEST_SCRIPT=", 0) == 0) entry = "PLEXA_TEST_SCRIPT=";
    ChildProcess second(PLEXA_PROGRAM, arguments, environment, run.dir().file("second.err"), run.dir().path());
    const int status = second.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CommandLine, RelativeNamesOpenAtLaunchAndFromASecondStart) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(run.Start("wait-window ROOT\n"
                          "wait-drawn ROOT\n"
                          "log ready\n"
                          "wait-window RC\n"
                          "wait-drawn RC\n"
                          "log-windows\n"
                          "quit\n",
                          {"ROOT.SHX"}, folder));
    ASSERT_TRUE(run.WaitForLog("ready"));
    // The second start, from the folder above, hands its document over and ends.
    SecondStart(run, {"amp/RC.SHX"});
    const ScriptedRunResult result = run.Finish();
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: RC | ROOT"})
        << result.errors;
}

// The page count that pdfinfo reads from a PDF file, -1 when it cannot be read.
int PdfPages(const std::string& pdf) {
    const std::string out = pdf + ".info";
    if (std::system(("pdfinfo '" + pdf + "' > '" + out + "' 2>/dev/null").c_str()) != 0) return -1;
    std::string info;
    if (!ReadFile(out, info)) return -1;
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// A second start asked to print hands the document to the running editor, which prints it
// through the print panel (here into a PDF file) in a window opened for the job and closed again,
// leaving the sheet it showed as it was.
TEST(CommandLine, APrintRequestFromASecondStartPrintsTheDocument) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string pdf = run.dir().file("RC.pdf");
    ASSERT_TRUE(run.Start("wait-window ROOT\n"
                          "wait-drawn ROOT\n"
                          "print-panel " + pdf + "\n"
                          "log ready\n"
                          "wait-file " + pdf + "\n"
                          "wait-no-window RC\n"
                          "log-windows\n"
                          "quit\n",
                          {"ROOT.SHX"}, folder));
    ASSERT_TRUE(run.WaitForLog("ready"));
    SecondStart(run, {"--print", "amp/RC.SHX"});
    const ScriptedRunResult result = run.Finish();
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: ROOT"}) << result.errors;
    EXPECT_EQ(PdfPages(pdf), 1);
    EXPECT_EQ(std::system(("pdftoppm -r 40 -png -singlefile '" + pdf + "' '" + OutputPath("print-request-RC") +
                           "'").c_str()),
              0);
}

// Started only to print, the editor prints the document and ends.
TEST(CommandLine, AStartThatOnlyPrintsEndsOncePrinted) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const std::string pdf = run.dir().file("ROOT.pdf");
    const ScriptedRunResult result =
        run.Run("print-panel " + pdf + "\nwait-file " + pdf + "\n", {"--print", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(PdfPages(pdf), 1);
}

// A library opens in the library editor, whose window carries the library editor's menu bar.
TEST(CommandLine, ALibraryOpensInItsEditor) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string library = run.CopyFixture("fuzz/corpus/library_file/items.LBX");
    ASSERT_FALSE(library.empty());
    const ScriptedRunResult result =
        run.Run("wait-window items\nwait-drawn items\nlog-windows\nlog-menubar\nquit\n", {"items.LBX"});
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: items"});
    ASSERT_EQ(result.Lines("menubar:").size(), 1u);
    EXPECT_NE(result.Lines("menubar:")[0].find(" Library "), std::string::npos) << result.Lines("menubar:")[0];
}

// A name that names nothing is reported with the whole path it was taken for.
TEST(CommandLine, AMissingDocumentIsReportedByItsWholePath) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture(kAmp);
    ASSERT_FALSE(folder.empty());
    const ScriptedRunResult result =
        run.Run("wait-window ROOT\nwait-drawn ROOT\nlog-windows\nquit\n",
                {"missing.SHX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: ROOT"});
    EXPECT_NE(result.errors.find("\"" + folder + "/missing.SHX\""), std::string::npos)
        << result.errors;
}

// A display that cannot be reached: the editor says so in one line and exits with a failure,
// rather than being ended by a signal.
TEST(CommandLine, WithoutAReachableDisplayTheEditorSaysSoAndExits) {
    const struct {
        const char* display;
        const char* platform;
        const char* reason;
    } cases[] = {
        {"DISPLAY=:4093", "QT_QPA_PLATFORM=", "no X server answers on DISPLAY \":4093\""},
        {"DISPLAY=:4093", "QT_QPA_PLATFORM=xcb", "no X server answers on DISPLAY \":4093\""},
        {"DISPLAY=", "QT_QPA_PLATFORM=xcb", "DISPLAY is not set"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.display) + " " + c.platform);
        ScriptedRun run(PLEXA_PROGRAM);
        run.SetEnvironment(c.display);
        run.SetEnvironment(c.platform);
        run.SetEnvironment("WAYLAND_DISPLAY=");
        run.SetEnvironment("XDG_RUNTIME_DIR=");
        const ScriptedRunResult result = run.Run("log started\nquit\n", {}, {}, std::chrono::seconds(60));
        EXPECT_TRUE(result.Exited(1)) << result.status << "\n" << result.errors;
        EXPECT_EQ(result.errors, std::string("plexa: cannot reach the display: ") + c.reason + "\n");
        EXPECT_TRUE(result.log.empty());
    }
}

#endif

}  // namespace
}  // namespace plexa::test
