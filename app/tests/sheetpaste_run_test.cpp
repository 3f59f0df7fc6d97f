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

#endif

}  // namespace
}  // namespace plexa::test
