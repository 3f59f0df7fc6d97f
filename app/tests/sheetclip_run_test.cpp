// Copy in the running editor puts a picture of the copied items, drawn as the editor draws them,
// and the plain text of the clip on the system clipboard, where another program finds them: the
// editor and a probe program (app/tests/probe/clipboard_probe.cpp) meet on a display of their own.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/sheetcontents.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/memory.h"
#include "library/tests/library_testing.h"
#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"
#include "platform/pixels_platform.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"
#include "tests/support/virtual_display.h"

namespace plexa::test {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

#ifdef PLEXA_PROGRAM

// A picture's pixel at (x, y) is ink: neither outside the picture nor near white.
bool Ink(const PlatformDecodedImage& picture, int x, int y) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return false;
    const uint32_t p = picture.argb[size_t(y) * size_t(picture.width) + size_t(x)];
    return ((p >> 16) & 0xFF) < 0xC0 || ((p >> 8) & 0xFF) < 0xC0 || (p & 0xFF) < 0xC0;
}

class SheetClipboardRun : public SheetContentsTest {
protected:
    // Runs the script (which ends by logging "copied") on a display of the test's own and
    // reads the clipboard with the probe while the program still runs: the probe's report, and
    // the picture into `picture` (emptied without one), kept as the named output for a look.
    std::string CopyAndProbe(const std::string& script, const std::vector<std::string>& files,
                             const std::string& output, PlatformDecodedImage* picture) {
        *picture = {};
        VirtualDisplay server;
        if (!VirtualDisplay::Available()) return "no display";
        if (server.name().empty()) {
            ADD_FAILURE() << "the display server did not start";
            return "no display";
        }
        const std::string& display = server.name();

        ScriptedRun run(PLEXA_PROGRAM);
        run.SetEnvironment("QT_QPA_PLATFORM=xcb");
        run.SetEnvironment("DISPLAY=" + display);
        // The window system's keyboard library reads past its strings under strict checks; the run is
        // ended by a kill, so leak checks would not report.
        run.SetEnvironment("ASAN_OPTIONS=detect_leaks=0");
        EXPECT_TRUE(run.Start(script +
                                  "# the editor keeps the clipboard while the probe reads it\n"
                                  "wait-window Never Shown\n",
                              files));
        if (!run.WaitForLog("copied")) {
            ADD_FAILURE() << run.Finish(std::chrono::seconds(1)).errors;
            return "no copy";
        }
        const std::string report = dir.path() + "/probe.txt";
        ChildProcess probe(PLEXA_CLIPBOARD_PROBE, {report},
                           {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display, "ASAN_OPTIONS=detect_leaks=0"},
                           dir.path() + "/probe-errors");
        std::string probeErrors;
        EXPECT_EQ(probe.Wait(std::chrono::seconds(300)), 0)
            << (ReadFile(dir.path() + "/probe-errors", probeErrors) ? probeErrors : std::string());
        log = run.Finish(std::chrono::seconds(0)).log;
        std::string found;
        EXPECT_TRUE(ReadFile(report, found));
        const std::string png = report + ".png";
        if (Exists(png)) {
            EXPECT_TRUE(PlatformDecodeImageFile(png, picture)) << png;
            std::filesystem::copy_file(png, OutputPath(output), std::filesystem::copy_options::overwrite_existing);
        }
        return found;
    }

    std::vector<std::string> log;
};

TEST_F(SheetClipboardRun, CopyPutsTheItemsAsDrawnAndTheirTextWhereAnotherProgramReadsThem) {
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "no virtual display server";
    // U1, a gate, with a net from its output pin that branches off downwards and a text above,
    // all selected.
    SymbolRecord* gate = AddGate(P(96, 96));
    gate->flags |= kSymbolFlagSelected;
    SetSymbolRefName(gate, drawing->stringBlock, "U1");
    TextRecord* label = DrawingText(kTextKindFree, 0, P(106, 90), "Inverter", 12, kTextFlagSelected);
    driver->AddPin(P(162, 111), gate, 2);
    SignalHandle net = Draw({P(162, 111), P(232, 111)});
    ASSERT_EQ(Draw({P(200, 111), P(200, 140)}), net);
    for (WireHandle w = FirstWire((*net)->wires); w; w = NextWire((*net)->wires, w)) (*w)->flags |= kWireFlagSelected;
    drawing->stored.nextSerial = 41;
    // The items' bounds; the picture has 16 more on every side.
    Rect items{};
    GetSymbolInstanceBounds(drawing, gate, 1, &items);
    ASSERT_FALSE(VXEmptyRect(&items));
    VXUnionRect(&items, &(*net)->bounds, &items);
    VXUnionRect(&items, &label->bounds, &items);
    const std::string file = dir.path() + "/Clip.SHX";
    const FileSpec spec = SheetSpecAt(file);
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);

    PlatformDecodedImage picture;
    const std::string found = CopyAndProbe("wait-window Clip\nwait-drawn Clip\nmenu Edit > Copy\nlog copied\n", {file},
                                           "sheet-clip-picture.png", &picture);
    EXPECT_EQ(found.substr(found.find('\n') + 1), "svg yes\ntext U1\nInverter\n");
    EXPECT_NE(found.find(" PNG\n"), std::string::npos) << found;
    ASSERT_EQ(picture.width, items.right - items.left + 32);
    ASSERT_EQ(picture.height, items.bottom - items.top + 32);
    const auto at = [&](Point p) { return Ink(picture, p.h - items.left + 16, p.v - items.top + 16); };
    // The gate's pins, body and output bubble, the net with its junction dot and the text,
    // as the sheet window draws them; no frame at the bounds, and nothing in the margin.
    EXPECT_TRUE(at(P(96 + 5, 96 + 8)));
    EXPECT_TRUE(at(P(96 + 5, 96 + 22)));
    EXPECT_TRUE(at(P(96 + 10, 96 + 15)));
    EXPECT_FALSE(at(P(96 + 30, 96 + 15)));
    EXPECT_TRUE(at(P(96 + 53, 96 + 12)));
    EXPECT_TRUE(at(P(220, 111)));
    EXPECT_TRUE(at(P(200, 130)));
    EXPECT_TRUE(at(P(198, 109))) << "the junction dot";
    EXPECT_FALSE(at(P(190, 109)));
    int text = 0;
    for (int16_t v = label->bounds.top; v < label->bounds.bottom; ++v)
        for (int16_t h = label->bounds.left; h < label->bounds.right; ++h) text += at(P(h, v));
    EXPECT_GT(text, 40) << "the text";
    EXPECT_FALSE(at(P(items.left, items.top)));
    EXPECT_FALSE(at(P(items.left, int16_t(items.bottom - 1))));
    int margin = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            if ((x < 14 || y < 14 || x >= picture.width - 14 || y >= picture.height - 14) && Ink(picture, x, y)) ++margin;
    EXPECT_EQ(margin, 0);
}

TEST_F(SheetClipboardRun, CopyOfNothingDrawnWritesNoPictureAndStillPastes) {
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "no virtual display server";
    // R1 has no drawing and no texts.
    SymbolRecord* r1 = driver->AddSymbol(1, kSymbolFlagSelected);
    r1->position = P(96, 96);
    SetSymbolRefName(r1, drawing->stringBlock, "R1");
    drawing->stored.nextSerial = 2;
    const std::string file = dir.path() + "/Empty.SHX";
    const FileSpec spec = SheetSpecAt(file);
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);

    PlatformDecodedImage picture;
    const std::string found =
        CopyAndProbe("wait-window Empty\nwait-drawn Empty\nmenu Edit > Copy\nlog-menu Edit\nlog copied\n", {file},
                     "sheet-clip-nothing.png", &picture);
    EXPECT_EQ(found, "png 0\nsvg no\ntext ");
    EXPECT_EQ(picture.width, 0);
    const auto paste = std::find(log.begin(), log.end(), "  Paste\tenabled");
    EXPECT_NE(paste, log.end()) << "the private clip pastes";
}

TEST_F(SheetClipboardRun, CopyInTheSymbolEditorPutsTheDrawingThere) {
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "no virtual display server";
    const std::string libraryPath = dir.path() + "/Parts.LBX";
    WriteBoxLibrary(libraryPath, {"Gate"});
    // The item's drawing: a 40 by 60 box.
    ElementRecord* box = BuildCommonElement(kElementRect, Point{0, 0}, Point{40, 60}, 1, 0, 0, false, false, 0, false, 0, false);
    ASSERT_NE(box, nullptr);
    const Rect bounds = box->bounds;
    DestroyElement(box, nullptr);

    PlatformDecodedImage picture;
    const std::string found = CopyAndProbe("wait-window Parts\nwait-drawn Parts\nclick 52 9 double\n"
                                           "wait-window Parts : Gate\nwait-drawn Parts : Gate\n"
                                           "menu Edit > Select All\nmenu Edit > Copy\nlog copied\n",
                                           {libraryPath}, "symbol-clip-picture.png", &picture);
    EXPECT_EQ(found.substr(0, 4), "png ");
    EXPECT_NE(found.find(" PNG\nsvg yes\n"), std::string::npos) << found;
    ASSERT_EQ(picture.width, bounds.right - bounds.left + 32);
    ASSERT_EQ(picture.height, bounds.bottom - bounds.top + 32);
    // The box's outline 16 in from the picture's edges; its inside and the margin empty.
    EXPECT_TRUE(Ink(picture, 16, 30));
    EXPECT_TRUE(Ink(picture, 40, 16));
    EXPECT_FALSE(Ink(picture, 40, 30));
    EXPECT_FALSE(Ink(picture, 8, 8));
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
