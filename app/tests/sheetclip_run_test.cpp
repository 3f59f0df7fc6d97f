// Copy in the running editor puts a picture and the plain text of the clip on the system
// clipboard, where another program finds them: the editor and a probe process (this test program,
// running only the probe) meet on a display of their own.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "files/sheetcontents.h"
#include "files/tests/sheetcontents_testing.h"
#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

constexpr const char* kProbeVariable = "PLEXA_CLIPBOARD_PROBE";
constexpr const char* kXServer = "/usr/bin/Xvfb";

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The probe: what another program reads from the clipboard, into the file the variable names.
TEST(SheetClipboardProbe, ReadsTheSystemClipboard) {
    const char* out = std::getenv(kProbeVariable);
    if (!out) GTEST_SKIP() << "run by the copy test only";
    static char name[] = "probe";
    static char* argv[] = {name, nullptr};
    ASSERT_TRUE(PlatformEnsureApplication(1, argv));
    std::string png, svg;
    std::u16string text;
    ASSERT_TRUE(PlatformClipboardGetPicture(&png, &svg, &text));
    std::string plain(text.begin(), text.end());
    const std::string report = "png " + std::to_string(png.size()) + (png.size() > 4 ? " " + png.substr(1, 3) : "") +
                               "\nsvg " + (svg.find("<svg") != std::string::npos ? "yes" : "no") + "\ntext " + plain;
    ASSERT_TRUE(WriteFile(out, report));
}

#ifdef PLEXA_PROGRAM

class SheetClipboardRun : public SheetContentsTest {};

TEST_F(SheetClipboardRun, CopyPutsThePictureAndTheTextWhereAnotherProgramReadsThem) {
    if (!Exists(kXServer)) GTEST_SKIP() << "no virtual display server";
    // A display of this run's own.
    int number = 70 + int(getpid() % 200);
    while (Exists("/tmp/.X11-unix/X" + std::to_string(number)) || Exists("/tmp/.X" + std::to_string(number) + "-lock"))
        ++number;
    const std::string display = ":" + std::to_string(number);
    ChildProcess server(kXServer, {display, "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, {});
    for (int i = 0; i < 1000 && !Exists("/tmp/.X11-unix/X" + std::to_string(number)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Exists("/tmp/.X11-unix/X" + std::to_string(number)));

    // R1, selected, with a ground symbol hanging on its pin.
    SymbolRecord* r1 = driver->AddSymbol(1, kSymbolFlagSelected);
    r1->position = P(96, 96);
    SetSymbolRefName(r1, drawing->stringBlock, "R1");
    SymbolRecord* ground = driver->AddSymbol(2, kSymbolFlagPort);
    ground->position = P(96, 160);
    driver->AddPin(P(96, 100), r1, 0);
    driver->AddPin(P(96, 160), ground, 0);
    Draw({P(96, 100), P(96, 160)});
    drawing->stored.nextSerial = 3;
    const std::string file = dir.path() + "/Clip.SHX";
    const FileSpec spec = SheetSpecAt(file);
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);

    ScriptedRun run(PLEXA_PROGRAM);
    run.SetEnvironment("QT_QPA_PLATFORM=xcb");
    run.SetEnvironment("DISPLAY=" + display);
    // The window system's keyboard library reads past its strings under strict checks; the run is
    // ended by a kill, so leak checks would not report.
    run.SetEnvironment("ASAN_OPTIONS=detect_leaks=0");
    ASSERT_TRUE(run.Start("wait-window Clip\n"
                          "wait-drawn Clip\n"
                          "menu Edit > Copy\n"
                          "log copied\n"
                          "# the editor keeps the clipboard while the probe reads it\n"
                          "wait-window Never Shown\n",
                          {file}));
    ASSERT_TRUE(run.WaitForLog("copied")) << run.Finish(std::chrono::seconds(1)).errors;

    const std::string report = dir.path() + "/probe.txt";
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    ChildProcess probe(self, {"--gtest_filter=SheetClipboardProbe.*"},
                       {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display, std::string(kProbeVariable) + "=" + report,
                        "ASAN_OPTIONS=detect_leaks=0"});
    EXPECT_EQ(probe.Wait(std::chrono::seconds(60)), 0);
    run.Finish(std::chrono::seconds(0));
    std::string found;
    ASSERT_TRUE(ReadFile(report, found));
    EXPECT_EQ(found.substr(found.find('\n') + 1), "svg yes\ntext R1\n");
    EXPECT_EQ(found.substr(0, 4), "png ");
    EXPECT_NE(found.find(" PNG\n"), std::string::npos) << found;
}

TEST_F(SheetClipboardRun, ClearUndoAndRedoFromTheEditMenuThenSave) {
    SymbolRecord* r1 = driver->AddSymbol(1, kSymbolFlagSelected);
    r1->position = P(96, 96);
    SetSymbolRefName(r1, drawing->stringBlock, "R1");
    SymbolRecord* r2 = driver->AddSymbol(2);
    r2->position = P(196, 96);
    SetSymbolRefName(r2, drawing->stringBlock, "R2");
    driver->AddPin(P(136, 100), r1, 1);
    driver->AddPin(P(196, 100), r2, 0);
    Draw({P(136, 100), P(196, 100)});
    drawing->stored.nextSerial = 3;
    const std::string file = dir.path() + "/Undo.SHX";
    const FileSpec spec = SheetSpecAt(file);
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    const std::string before = DumpSheet(drawing, kDumpAll & ~kDumpSheet);

    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Undo\n"
        "wait-drawn Undo\n"
        "menu Edit > Clear\n"
        "log-menu Edit\n"
        "menu Edit > Undo Delete\n"
        "log-menu Edit\n"
        "menu Edit > Redo Delete\n"
        "menu Edit > Undo Delete\n"
        "# an undone Cut cannot be pasted; redone, it can\n"
        "menu Edit > Cut\n"
        "menu Edit > Undo Cut\n"
        "log-menu Edit\n"
        "menu Edit > Redo Cut\n"
        "log-menu Edit\n"
        "menu Edit > Undo Cut\n"
        "key Ctrl+S\n"
        "close Undo\n",
        {file});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::vector<std::string> undoItems;
    for (const std::string& line : result.log)
        if (line.find("Undo ") != std::string::npos || line.find("Redo ") != std::string::npos) undoItems.push_back(line);
    EXPECT_EQ(undoItems, (std::vector<std::string>{"  Undo Delete\tenabled", "  Redo Delete\tenabled",
                                                   "  Redo Cut\tenabled", "  Undo Cut\tenabled"}));
    EXPECT_EQ(result.Lines("  Paste"), (std::vector<std::string>{"  Paste\tenabled", "  Paste\tenabled",
                                                                  "  Paste\tdisabled", "  Paste\tenabled"}));
    SheetRecord* read = nullptr;
    ASSERT_EQ(LoadSheetFile(&spec, &read), 0);
    EXPECT_EQ(DumpSheet(read, kDumpAll & ~kDumpSheet), before);
    DestroySheet(read);
}

#endif

}  // namespace
}  // namespace plexa::test
