// The program plexa-convert itself: started with files on its command line it takes them as open
// requests, converts them (sheets and projects: reports what it would write), and quits cleanly on a termination request; started
// without files (its window and the About box up) it quits as promptly on one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "converter/tests/converter_fixtures.h"
#include "converter/tests/v36_library_fixture.h"
#include "converter/tests/v36_sheet_builder.h"
#include "tests/support/child_process.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using namespace std::chrono_literals;

#ifdef PLEXA_CONVERT_PROGRAM

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 3000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

std::string Slurp(const std::string& path) {
    std::string text;
    ReadFile(path, text);
    return text;
}

// The program's own lines of a log (the platform may add lines of its own).
std::string OwnLines(const std::string& text) {
    std::istringstream in(text);
    std::string line, own;
    while (std::getline(in, line))
        if (line.rfind("plexa-convert: ", 0) == 0) own += line + "\n";
    return own;
}

TEST(Program, ConvertsFilesOfTheCommandLineAndQuitsOnATerminationRequest) {
    TempDir dir, config;
    V36SheetDesc sheet;  // a resistor and nothing else
    sheet.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0, {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    ASSERT_TRUE(WriteFile(dir.file("Amplifier.SCM"), WriteV36SheetDesc(sheet)));
    ASSERT_TRUE(WriteFile(dir.file("Notes.TXT"), TextFile()));
    ChildProcess program(PLEXA_CONVERT_PROGRAM, {dir.file("Notes.TXT"), dir.file("Amplifier.SCM")},
                         {"XDG_CONFIG_HOME=" + config.path()}, dir.file("errors"));
    ASSERT_GT(program.pid(), 0);
    const auto reported = [&] {
        return Slurp(dir.file("errors")).find("wrote") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor(reported)) << Slurp(dir.file("errors"));
    ASSERT_TRUE(program.WaitUntilCatches(SIGTERM));
    kill(program.pid(), SIGTERM);
    const int status = program.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // A line for the text file, which is skipped (no alert: its name makes no claim), then the
    // sheet file and its project are written.
    EXPECT_EQ(OwnLines(Slurp(dir.file("errors"))),
              "plexa-convert: \"" + dir.file("Notes.TXT") +
                  "\": skipped: The file is not a version-3.6 sheet, project or library.\n"
                  "plexa-convert: \"" + dir.file("Amplifier.SCM") + "\": wrote \"" +
                  dir.file("Amplifier (Plexa)/Amplifier.SHX") + "\"\n"
                  "plexa-convert: \"" + dir.file("Amplifier.SCM") + "\": wrote \"" +
                  dir.file("Amplifier (Plexa)/Amplifier.PRX") + "\" for 1 sheets\n");
    struct stat info;
    EXPECT_EQ(::stat(dir.file("Amplifier (Plexa)/Amplifier.PRX").c_str(), &info), 0);
    EXPECT_EQ(::stat(dir.file("Amplifier (Plexa)/Amplifier.SHX").c_str(), &info), 0);
}

TEST(Program, ConvertsALibraryOfTheCommandLine) {
    TempDir dir, config;
    ASSERT_TRUE(WriteFile(dir.file("Parts.SLB"), WriteV36Library().bytes));
    ChildProcess program(PLEXA_CONVERT_PROGRAM, {dir.file("Parts.SLB")}, {"XDG_CONFIG_HOME=" + config.path()},
                         dir.file("errors"));
    ASSERT_GT(program.pid(), 0);
    const auto reported = [&] { return Slurp(dir.file("errors")).find("wrote") != std::string::npos; };
    ASSERT_TRUE(WaitFor(reported)) << Slurp(dir.file("errors"));
    ASSERT_TRUE(program.WaitUntilCatches(SIGTERM));
    kill(program.pid(), SIGTERM);
    const int status = program.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string library = dir.file("Converted Libraries (Plexa)/Parts.LBX");
    EXPECT_EQ(OwnLines(Slurp(dir.file("errors"))), "plexa-convert: \"" + dir.file("Parts.SLB") + "\": wrote \"" +
                                                       library + "\" with 2 of 2 items\n");
    std::string bytes;
    EXPECT_TRUE(ReadFile(library, bytes));
    EXPECT_FALSE(bytes.empty());
}

TEST(Program, WithoutFilesQuitsPromptlyOnATerminationRequest) {
    TempDir dir, config;
    ChildProcess program(PLEXA_CONVERT_PROGRAM, {}, {"XDG_CONFIG_HOME=" + config.path()},
                         dir.file("errors"));
    ASSERT_GT(program.pid(), 0);
    ASSERT_TRUE(program.WaitUntilCatches(SIGTERM));
    // Time for the window and the About box (a modal dialog) to come up.
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(program.Running()) << Slurp(dir.file("errors"));
    kill(program.pid(), SIGTERM);
    const int status = program.Wait(5s);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Slurp(dir.file("errors"));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(OwnLines(Slurp(dir.file("errors"))), "");
}

#endif

}  // namespace
}  // namespace plexa::test
