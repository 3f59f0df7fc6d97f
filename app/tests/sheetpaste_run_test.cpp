// Edit > Copy and Edit > Paste in the running editor: successive pastes of one copy land one
// offset step apart, down and to the right of the copied items.
#include <gtest/gtest.h>

#include <string>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SheetPasteRun = SheetContentsTest;

TEST_F(SheetPasteRun, ThreePastesLandOneStepApart) {
    // A selected gate on a sheet with the 12-unit grid: the step is 36.
    const int32_t id = AddGateSymbolDefinition(drawing);
    ASSERT_GE(id, 0);
    SymbolRecord* gate = driver->AddSymbol(1, kSymbolFlagSelected);
    gate->mapId = id;
    gate->libraryName = kNoLibraryName;
    gate->position = P(96, 96);
    drawing->stored.nextSerial = 2;
    const std::string at = WriteSheetAtScale("Paste.SHX", 100);

    const std::string copy = dir.path() + "/pasted.SHX";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Paste\nwait-drawn Paste\n"
        "menu Edit > Copy\nmenu Edit > Paste\nmenu Edit > Paste\nmenu Edit > Paste\n"
        "screenshot " + OutputPath("sheet-three-pastes.png") + "\n"
        "panel " + copy + "\nmenu File > Save a Copy...\nclose Paste\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* pasted = Load(copy);
    ASSERT_NE(pasted, nullptr);
    // The last paste is what stays selected.
    EXPECT_EQ(DumpSheet(pasted, kDumpSymbols), "symbols 4\n"
                                               "  #1 serial 1 at (96,96) flags 0x00080000 map 0\n"
                                               "  #2 serial 2 at (132,132) flags 0x00080000 map 0\n"
                                               "  #3 serial 3 at (168,168) flags 0x00080000 map 0\n"
                                               "  #4 serial 4 at (204,204) flags 0x01080000 map 0\n");
}

// A part copied alone (its wire not selected) takes the wire on its pin along, as copies do; the
// pasted wire's net, whose name MID the sheet has, takes a fresh name, and its label, which
// would show that name nobody chose, is pasted hidden: no new label appears. With Shift held the
// part goes alone.
TEST_F(SheetPasteRun, ACopiedPartTakesItsWiresButAddsNoLabel) {
    const int32_t id = AddGateSymbolDefinition(drawing);
    ASSERT_GE(id, 0);
    SymbolRecord* gates[2] = {};
    const Point origins[] = {P(126, 117), P(360, 232)};
    for (uint32_t i = 0; i < 2; ++i) {
        gates[i] = driver->AddSymbol(i + 1, i == 0 ? kSymbolFlagSelected : 0);
        gates[i]->mapId = id;
        gates[i]->libraryName = kNoLibraryName;
        gates[i]->position = origins[i];
    }
    driver->AddPin(P(192, 132), gates[0], 2);
    driver->AddPin(P(360, 240), gates[1], 0);
    SignalHandle net = Draw({P(192, 132), P(360, 132), P(360, 240)});
    SetSignalName(net, drawing->stringBlock, "MID");
    CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false);
    drawing->stored.nextSerial = 3;
    const std::string at = WriteSheetAtScale("Paste.SHX", 100);
    auto pasted = [&](const std::string& copyKey, const std::string& picture) {
        const std::string copy = dir.path() + "/pasted.SHX";
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result = run.Run("wait-window Paste\nwait-drawn Paste\n" + copyKey +
                                                     "menu Edit > Paste\nscreenshot " + OutputPath(picture) + "\npanel " +
                                                     copy + "\nmenu File > Save a Copy...\nclose Paste\nbutton Don't Save\n",
                                                 {at});
        EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        SheetRecord* saved = Load(copy);
        return saved ? DumpSheet(saved, kDumpSignals | kDumpTexts) : std::string();
    };
    const std::string original = "  S1 \"MID\" bounds (192,132)-(361,241)\n"
                                 "    pin 0: serial 1 node 2\n"
                                 "    pin 1: serial 2 node 0\n"
                                 "    W1 pin 0 - pin 1: (192,132) (360,132) (360,240)\n"
                                 "    label T1 \"MID\" on W1 segment 0\n";
    EXPECT_EQ(pasted("menu Edit > Copy\n", "sheet-paste-part-with-wire.png"),
              "signals 2\n" + original +
                  "  S2 \"SIG001\" bounds (228,168)-(397,277)\n"
                  "    pin 0: serial 3 node 2\n"
                  "    W1 pin 0 - free flags 0x0001: (228,168) (396,168) (396,276)\n"
                  "    label T2 \"SIG001\" on W1 segment 0\n"
                  "texts 2\n"
                  "  T1 kind 0x0001 owner S1 flags 0x0020 at (266,131) \"MID\"\n"
                  "  T2 kind 0x0001 owner S2 flags 0x0028 at (302,167) \"SIG001\"\n");
    EXPECT_EQ(pasted("key Ctrl+Shift+C\n", "sheet-paste-part-alone.png"),
              "signals 1\n" + original + "texts 1\n  T1 kind 0x0001 owner S1 flags 0x0020 at (266,131) \"MID\"\n");
}

#endif

}  // namespace
}  // namespace plexa::test
