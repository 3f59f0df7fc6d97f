// The program plexa-convert itself: started with files on its command line it takes them as open
// requests, converts them (sheets and projects: reports what it would write), and quits cleanly on a termination request; started
// without files (its window and the About box up) it quits as promptly on one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "converter/tests/converter_fixtures.h"
#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "converter/tests/v36_library_fixture.h"
#include "converter/tests/v36_sheet_builder.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"
#include "tests/support/unprivileged.h"

namespace plexa::test {
namespace {

using namespace std::chrono_literals;

#ifdef PLEXA_CONVERT_PROGRAM

// Waits for a state of the program; the limit only ends a test whose program is stuck.
bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 30000; ++i) {
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
    // The project is written last, after its sheet.
    const auto reported = [&] {
        return Slurp(dir.file("errors")).find("for 1 sheets") != std::string::npos;
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
    ChildProcess program(PLEXA_CONVERT_PROGRAM, {},
                         {"XDG_CONFIG_HOME=" + config.path(),
                          std::string(kTestLoopLogVariable) + "=" + dir.file("loops")},
                         dir.file("errors"));
    ASSERT_GT(program.pid(), 0);
    ASSERT_TRUE(program.WaitUntilCatches(SIGTERM));
    // The window and the About box up: the program runs the About box's modal loop.
    const std::string modalLoop = "loop " + std::to_string(kPlatformModeModalPanel) + " 2\n";
    ASSERT_TRUE(WaitFor([&] { return Slurp(dir.file("loops")).find(modalLoop) != std::string::npos; }))
        << Slurp(dir.file("loops")) << Slurp(dir.file("errors"));
    ASSERT_TRUE(program.Running()) << Slurp(dir.file("errors"));
    kill(program.pid(), SIGTERM);
    const int status = program.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Slurp(dir.file("errors"));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(OwnLines(Slurp(dir.file("errors"))), "");
}

// The bytes of a file, or "" when there is none.
std::string Contents(const std::string& path) { return Slurp(path); }

// What a folder holds, names sorted, folders marked with "/" and walked into.
std::string Listing(const std::string& dir, const std::string& prefix = "") {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& name : names) {
        struct stat info {};
        const std::string path = dir + "/" + name;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            out += prefix + name + "/\n" + Listing(path, prefix + name + "/");
        } else {
            out += prefix + name + "\n";
        }
    }
    return out;
}

// A run of the program with its standard output into a file; `unprivileged`: as an unprivileged
// user (tests/support/unprivileged.h), for a run that meets file permissions.
int RunToFile(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
              const std::string& out, const std::string& err, bool unprivileged = false) {
    std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" > '" + out + "'"};
    const std::vector<std::string> command =
        unprivileged ? UnprivilegedCommand(PLEXA_CONVERT_PROGRAM, arguments) : std::vector<std::string>{PLEXA_CONVERT_PROGRAM};
    shell.insert(shell.end(), command.begin(), command.end());
    if (!unprivileged) shell.insert(shell.end(), arguments.begin(), arguments.end());
    ChildProcess program("/bin/sh", shell, environment, err);
    if (program.pid() <= 0) return -1;
    const int status = program.Wait();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A batch run over good, skipped, damaged, unreadable and unwritable files: one line per file on
// the standard output in the order given, the failures also on the standard error, exit status 1;
// nothing half-written is left, and the good files are converted. Over the good files alone the
// status is 0; and a start with files but without a display is a batch run too. The program runs
// as an unprivileged user, so that the unreadable file and the read-only folder refuse it as
// root's runs in CI too.
TEST(Program, ABatchRunPrintsALinePerFileAndSucceedsOnlyWhenEveryFileConverted) {
    TempDir dir, config, work;
    V36SheetDesc sheet;
    sheet.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0, {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    sheet.parts = {{"RES\tR7", {}, {{1, 5}}}};
    ASSERT_TRUE(WriteFile(dir.file("Good.SCM"), WriteV36SheetDesc(sheet)));
    V36SheetDesc big = sheet;
    big.bigEndian = true;
    big.platform = FourCC("PMac");
    ASSERT_TRUE(WriteFile(dir.file("Big.SCM"), WriteV36SheetDesc(big)));
    ASSERT_TRUE(WriteFile(dir.file("Parts.SLB"), WriteV36Library().bytes));
    ASSERT_TRUE(WriteFile(dir.file("Renamed.SCM"), TextFile()));
    ASSERT_TRUE(WriteFile(dir.file("Empty.SCM"), ""));
    ASSERT_TRUE(WriteFile(dir.file("Cut.SCM"), OverlongLeader()));
    V36SheetDesc oneLength = big;  // both sections on the resistor, one length behind them
    oneLength.parts = {{"RES\tR7", {}, {{1, 5}, {1, 5}}}};
    oneLength.pins = {{1, "VCC", "VCC\t+5V"}};
    oneLength.oneLengthSections = true;
    ASSERT_TRUE(WriteFile(dir.file("OneLength.SCM"), WriteV36SheetDesc(oneLength)));
    ASSERT_EQ(::mkdir(dir.file("Folder").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(dir.file("Locked.SCM"), WriteV36SheetDesc(sheet)));
    ASSERT_EQ(::mkdir(dir.file("ro").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFile(dir.file("ro/Blocked.SCM"), WriteV36SheetDesc(sheet)));
    ASSERT_EQ(::mkdir(dir.file("locked").c_str(), 0755), 0);
    ASSERT_TRUE(GiveToUnprivilegedUser(dir.path()));
    ASSERT_TRUE(GiveToUnprivilegedUser(config.path()));
    // Unreadable: no one may read it. Unwritable: the sheet's output folder is one where no file
    // can be made.
    ASSERT_EQ(::chmod(dir.file("Locked.SCM").c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0555), 0);
    ASSERT_EQ(::symlink(dir.file("locked").c_str(), dir.file("ro/Blocked (Plexa)").c_str()), 0);
    const std::string before = Listing(dir.path());

    const std::vector<std::string> files = {"Good.SCM", "Big.SCM",  "Parts.SLB", "Renamed.SCM", "Empty.SCM",
                                            "Cut.SCM",  "OneLength.SCM", "Folder", "Locked.SCM",
                                            "ro/Blocked.SCM", "Missing.SCM"};
    std::vector<std::string> arguments = {"--batch", "--dpi", "72"};
    for (const std::string& f : files) arguments.push_back(dir.file(f));
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + config.path()};
    EXPECT_EQ(RunToFile(arguments, environment, work.file("out"), work.file("err"), true), 1);
    const std::string damaged = "failed: The file is damaged: it holds a record that no version-3.6 writer makes.";
    const auto line = [&](const std::string& f, const std::string& what) { return "\"" + dir.file(f) + "\": " + what + "\n"; };
    const std::string expected =
        line("Good.SCM", "written \"" + dir.file("Good (Plexa)/Good.PRX") + "\"") +
        line("Big.SCM", "written \"" + dir.file("Big (Plexa)/Big.PRX") + "\"") +
        line("Parts.SLB", "written \"" + dir.file("Converted Libraries (Plexa)/Parts.LBX") + "\"") +
        line("Renamed.SCM", "skipped: The file is not a version-3.6 sheet, project or library.") +
        line("Empty.SCM", "skipped: The file is empty.") +
        line("Cut.SCM", "failed: The end of the file was reached unexpectedly.") +
        line("OneLength.SCM", damaged) +
        line("Folder", "skipped: It is a folder, not a file.") +
        line("Locked.SCM", "failed: You do not have permission to read the file.") +
        line("ro/Blocked.SCM", "failed: You do not have permission to do that.") +
        line("Missing.SCM", "failed: The file could not be found.");
    EXPECT_EQ(Contents(work.file("out")), expected) << Contents(work.file("err"));
    // Each failure is a line on the standard error too.
    const std::string errors = OwnLines(Contents(work.file("err")));
    for (const char* f : {"Cut.SCM", "OneLength.SCM", "Locked.SCM", "ro/Blocked.SCM", "Missing.SCM"})
        EXPECT_NE(errors.find("plexa-convert: \"" + dir.file(f) + "\": "), std::string::npos) << f << "\n" << errors;
    // What was written: the good files' outputs, whole; nothing for the others, no pending file.
    std::string after = before + "Big (Plexa)/\nBig (Plexa)/Big.PRX\nBig (Plexa)/Big.SHX\n" +
                        "Converted Libraries (Plexa)/\nConverted Libraries (Plexa)/Parts.LBX\n" +
                        "Good (Plexa)/\nGood (Plexa)/Good.PRX\nGood (Plexa)/Good.SHX\n";
    std::vector<std::string> sorted;
    std::istringstream lines(after);
    for (std::string l; std::getline(lines, l);) sorted.push_back(l);
    std::sort(sorted.begin(), sorted.end());
    std::string expectedListing;
    for (const std::string& l : sorted) expectedListing += l + "\n";
    EXPECT_EQ(Listing(dir.path()), expectedListing);

    // The good ones alone: status 0. Files and no display: a batch run as well.
    const std::vector<std::string> noDisplay = {"XDG_CONFIG_HOME=" + config.path(), "DISPLAY=", "WAYLAND_DISPLAY=",
                                                "QT_QPA_PLATFORM="};
    EXPECT_EQ(RunToFile({dir.file("Good.SCM"), dir.file("Parts.SLB")}, noDisplay, work.file("out2"), work.file("err2"), true),
              0)
        << Contents(work.file("err2"));
    EXPECT_EQ(Contents(work.file("out2")),
              line("Good.SCM", "written \"" + dir.file("Good (Plexa)/Good.PRX") + "\"") +
                  line("Parts.SLB", "written \"" + dir.file("Converted Libraries (Plexa)/Parts.LBX") + "\""));
}

// A display that cannot be reached: the batch use, asked for or taken because of it, converts on
// the offscreen platform and its standard error carries nothing but its own lines (none here, with
// XDG_RUNTIME_DIR unset as in a shell over ssh); the window cannot be shown, which is one line and
// a failed exit, not an abort.
TEST(Program, AStaleDisplayLeavesTheBatchUseOffscreenAndTheWindowSaysWhyItCannotStart) {
    TempDir dir, config, work;
    V36SheetDesc sheet;
    sheet.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0, {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    ASSERT_TRUE(WriteFile(dir.file("Good.SCM"), WriteV36SheetDesc(sheet)));
    const std::string written = "\"" + dir.file("Good.SCM") + "\": written \"" + dir.file("Good (Plexa)/Good.PRX") + "\"\n";
    const std::vector<std::vector<std::string>> environments = {
        {"DISPLAY=:4093", "QT_QPA_PLATFORM=", "WAYLAND_DISPLAY="},
        {"DISPLAY=:4093", "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY="},
        {"DISPLAY=", "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY="},
    };
    for (std::vector<std::string> environment : environments) {
        SCOPED_TRACE(environment[0] + " " + environment[1]);
        environment.push_back("XDG_CONFIG_HOME=" + config.path());
        environment.push_back("XDG_RUNTIME_DIR=");
        for (const bool batch : {true, false}) {
            std::vector<std::string> arguments = {dir.file("Good.SCM")};
            if (batch) arguments.insert(arguments.begin(), "--batch");
            EXPECT_EQ(RunToFile(arguments, environment, work.file("out"), work.file("err")), 0) << batch;
            EXPECT_EQ(Contents(work.file("out")), written) << batch;
            EXPECT_EQ(Contents(work.file("err")), "") << batch;
        }
        EXPECT_EQ(RunToFile({}, environment, work.file("out"), work.file("err")), 1);
        const std::string errors = Contents(work.file("err"));
        EXPECT_EQ(errors.rfind("plexa-convert: cannot reach the display: ", 0), 0u) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
}

// The window shows one line a file converted, the newest last: the files of the command line (a
// sheet written, its project named from the sheet's folder; a text file skipped; a cut sheet
// failed, also told in an alert) and then a file chosen with File > Convert....
TEST(Program, TheWindowShowsALinePerFileConverted) {
    ScriptedRun run(PLEXA_CONVERT_PROGRAM);
    V36SheetDesc sheet;
    sheet.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0, {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    for (const char* name : {"Good.SCM", "Other.SCM"}) ASSERT_TRUE(WriteFile(run.dir().file(name), WriteV36SheetDesc(sheet)));
    ASSERT_TRUE(WriteFile(run.dir().file("Notes.TXT"), TextFile()));
    ASSERT_TRUE(WriteFile(run.dir().file("Cut.SCM"), OverlongLeader()));
    const std::string window = "Plexa Document Converter";
    const ScriptedRunResult result = run.Run(
        "wait-window " + window + "\nbutton OK\nwait-drawn " + window + "\nlog-texts " + window + "\npanel " +
            run.dir().file("Other.SCM") + "\nmenu File > Convert...\nwait-text \"Other.SCM\": written \"Other (Plexa)/Other.PRX\"\nlog-texts " + window +
            "\nscreenshot " + OutputPath("converter-window-results.png") + " " + window + "\nclose " + window + "\n",
        {run.dir().file("Good.SCM"), run.dir().file("Notes.TXT"), run.dir().file("Cut.SCM")});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::string texts;
    for (const std::string& line : result.log)
        if (line == "end" || line.rfind("text ", 0) == 0) texts += line + "\n";
    const std::string first = "text Choose File > Convert... or drop files here.\n"
                              "text \"Good.SCM\": written \"Good (Plexa)/Good.PRX\"\n"
                              "text \"Notes.TXT\": skipped: The file is not a version-3.6 sheet, project or library.\n"
                              "text \"Cut.SCM\": failed: The end of the file was reached unexpectedly.\n";
    EXPECT_EQ(texts, first + first + "text \"Other.SCM\": written \"Other (Plexa)/Other.PRX\"\nend\n");
}

TEST(Program, HelpVersionAndCommandLinesItDoesNotTake) {
    TempDir work, config;
    const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + config.path(), "DISPLAY=", "QT_QPA_PLATFORM="};
    EXPECT_EQ(RunToFile({"--help"}, environment, work.file("help"), work.file("e1")), 0);
    EXPECT_EQ(Contents(work.file("help")).rfind("Usage: plexa-convert [FILE...]\n", 0), 0u);
    EXPECT_EQ(RunToFile({"--version"}, environment, work.file("version"), work.file("e2")), 0);
    EXPECT_EQ(Contents(work.file("version")).rfind("plexa-convert (Plexa Document Converter) ", 0), 0u);
    struct Case {
        std::vector<std::string> arguments;
        const char* error;
    };
    const Case cases[] = {
        {{"--bogus", "a.SCM"}, "plexa-convert: unknown option \"--bogus\"\n"},
        {{"--batch"}, "plexa-convert: --batch needs files\n"},
        {{"--batch", "--dpi", "80", "a.SCM"}, "plexa-convert: --dpi takes 72 or 96, not \"80\"\n"},
        {{"--batch", "--attribute", "14=X", "a.SCM"}, "plexa-convert: --attribute takes N=NAME with N from 1 to 13, not \"14=X\"\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunToFile(c.arguments, environment, work.file("out"), work.file("err")), 2);
        EXPECT_EQ(Contents(work.file("err")).rfind(c.error, 0), 0u) << Contents(work.file("err"));
        EXPECT_EQ(Contents(work.file("out")), "");
    }
}

#endif

}  // namespace
}  // namespace plexa::test
