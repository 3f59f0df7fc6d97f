// Menu commands act on the window whose menu bar they were chosen from: with two sheets open, the
// File menu of the one behind saves a copy of that sheet and exports it as DXF, not the sheet in
// front.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using CommandWindowRun = SheetContentsTest;

TEST_F(CommandWindowRun, TheMenuOfASheetBehindActsOnThatSheet) {
    // Two sheets of one net each, "BEHIND" and "FRONT"; the second has a text "FRONT" besides.
    // The one opened last is in front.
    SignalHandle net = Draw({P(100, 300), P(900, 300)});
    SetSignalName(net, drawing->stringBlock, "BEHIND");
    const std::string behind = WriteSheetAtScale("Behind.SHX", 100);
    SetSignalName(net, drawing->stringBlock, "FRONT");
    DrawingText(kTextKindFree, 0, P(100, 200), "FRONT", 12, 0);
    const std::string front = WriteSheetAtScale("Front.SHX", 100);
    const std::string copy = dir.path() + "/copy.SHX", dxf = dir.path() + "/behind.DXF";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Behind\nwait-drawn Behind\n"
        "wait-window Front\nwait-drawn Front\n"
        "log-windows\n"
        "panel " + copy + "\nmenu-in Behind | File > Save a Copy...\n"
        "panel " + dxf + "\nmenu-in Behind | File > Export > DXF...\n"
        "log-windows\n"
        "close Front\nwait-no-window Front\n"
        "close Behind\n",
        {behind, front});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The sheet behind stayed behind throughout.
    const std::vector<std::string> windows = result.Lines("windows: ");
    ASSERT_EQ(windows.size(), 2u);
    for (const std::string& line : windows) EXPECT_EQ(line.rfind("windows: Front | Behind", 0), 0u) << line;
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    const std::string dump = DumpSheet(saved, kDumpSignals);
    EXPECT_NE(dump.find("\"BEHIND\""), std::string::npos) << dump;
    EXPECT_EQ(dump.find("\"FRONT\""), std::string::npos) << dump;
    // The DXF of the sheet behind: its wire, without the text of the one in front.
    std::string exported;
    ASSERT_TRUE(ReadFile(dxf, exported));
    EXPECT_NE(exported.find("\r\nLINE\r\n"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("FRONT"), std::string::npos) << exported;
}

#endif

}  // namespace
}  // namespace plexa::test
