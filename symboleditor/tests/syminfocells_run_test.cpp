// Cell editing in the lists of a symbol's information, played on the running program through the
// window system's input path: clicks in cells, Tab, Return, Ctrl+A and typed keys in the
// Attributes tab, Return in the Port Pins tab, each case checked by what the saved sheet holds.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/ll.h"
#include "model/attributes.h"
#include "model/sheetdump.h"
#include "model/symbols.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The symbol's attributes, one "NAME=VALUE" a line in their stored order, " shown" after a
// visible one.
std::string AttributeLines(SheetRecord* sheet, SymbolRecord* symbol) {
    std::string lines;
    for (int32_t i = 0; i < symbol->attributeCount; ++i) {
        char name[kAttributeTextSize] = "", value[kAttributeTextSize] = "";
        uint16_t flags = 0;
        GetIndexedAttribute(sheet->stringBlock, symbol->attributes, 0, i, name, value, &flags,
                            nullptr);
        lines += std::string(name) + "=" + value + ((flags & 1) ? " shown" : "") + "\n";
    }
    return lines;
}

class SymbolInfoCellsRun : public SheetContentsTest {
protected:
    // Writes the sheet as NAME.SHX, opens it in the program, plays the steps, saves a copy and
    // closes the sheet; the copy as loaded (none when the run failed).
    SheetRecord* RunOnSheet(const std::string& name, const std::string& steps) {
        const std::string at = WriteSheetAtScale(name + ".SHX", 100);
        const std::string copy = dir.path() + "/copy.SHX";
        std::remove(copy.c_str());
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result =
            run.Run("wait-window " + name + "\nwait-drawn " + name + "\n" + steps + "panel " + copy +
                        "\nmenu File > Save a Copy...\nclose " + name + "\nbutton Don't Save\n",
                    {at});
        EXPECT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        return result.Exited(0) ? Load(copy) : nullptr;
    }

    // A gate whose attributes are Value=1k and Tolerance=5%, its symbol information opened on the
    // Attributes tab; the steps are played there, the dialog is confirmed, and the saved gate's
    // attributes returned.
    std::string Play(const std::string& steps) {
        SymbolRecord* gate = AddGate(P(200, 200));
        (void)SetSymbolAttribute(gate, drawing->stringBlock, "Value", "1k", nullptr);
        (void)SetSymbolAttribute(gate, drawing->stringBlock, "Tolerance", "5%", nullptr);
        SheetRecord* saved = RunOnSheet("Cells",
                                        "click 268 254 double\n"
                                        "wait-window Symbol Information\n"
                                        "wait-drawn Symbol Information\n"
                                        "click 120 17\n"  // the Attributes tab
                                        "wait-drawn Symbol Information\n" +
                                            steps +
                                            "button OK\n"
                                            "wait-no-window Symbol Information\n");
        if (!saved) return "(not saved)";
        auto* symbol = static_cast<SymbolRecord*>(LLFirst(saved->symbolList));
        return symbol ? AttributeLines(saved, symbol) : "(no symbol)";
    }
};

// Rows lie 17 high from 56 in the dialog; the name cell at 61..178, the value cell from 180, the
// "Vis" column from 558.
constexpr const char *kValueName = "100 64", *kValueData = "300 64", *kToleranceData = "300 81",
                     *kValueVis = "580 64";

struct CellCase {
    const char* name;
    std::string steps;
    const char* expected;
};
void PrintTo(const CellCase& c, std::ostream* out) { *out << c.name; }

class AttributeCellCases : public SymbolInfoCellsRun, public ::testing::WithParamInterface<CellCase> {};

TEST_P(AttributeCellCases, StoreWhatWasTyped) { EXPECT_EQ(Play(GetParam().steps), GetParam().expected); }

std::string Click(const char* at) { return std::string("click ") + at + "\n"; }
// A picture of the dialog at that step, under the test output folder.
std::string Shot(const char* name) { return "screenshot " + OutputPath(name) + " Symbol Information\n"; }

INSTANTIATE_TEST_SUITE_P(
    Cases, AttributeCellCases,
    ::testing::Values(
        CellCase{"ClickInTheValueCellThenType",
                 Click(kValueData) + Shot("attribute-cell-clicked.png") + "type 3k\n" +
                     Shot("attribute-cell-typed.png"),
                 "Value=3k\nTolerance=5%\n"},
        CellCase{"TabFromTheNameCellToItsValue", Click(kValueName) + "key Tab\ntype 3k\n",
                 "Value=3k\nTolerance=5%\n"},
        CellCase{"CtrlAInTheValueCellThenType",
                 Click(kValueData) + "click 190 64\nkey Ctrl+A\n" + Shot("attribute-cell-select-all.png") +
                     "type 3k\n",
                 "Value=3k\nTolerance=5%\n"},
        CellCase{"ReturnMovesOnCellByCell",
                 Click(kValueData) +
                     "type 3k\nkey Return\nkey Return\ntype 10%\nkey Return\ntype Q1\nkey Tab\ntype 7\n",
                 "Value=3k\nTolerance=10%\nQ1=7\n"},
        CellCase{"AClickInAnotherRowsValueCell", Click(kValueData) + "type 3k\n" + Click(kToleranceData) + "type 1%\n",
                 "Value=3k\nTolerance=1%\n"},
        // A click in the "Vis" column ends the editing and shows the attribute; the keys typed
        // then change nothing.
        CellCase{"StrayKeysWithNoCellInEdit", Click(kValueVis) + "type 1kx\n",
                 "Value=1k shown\nTolerance=5%\n"}),
    [](const ::testing::TestParamInfo<CellCase>& info) { return std::string(info.param.name); });

// The text engine's hooks stay whole once a list with editable cells has been open: in a text
// typed on the sheet afterwards, Shift+Right extends the selection, so that the "X" typed then
// replaces the two letters selected.
TEST_F(SymbolInfoCellsRun, ShiftArrowsExtendASelectionAfterACellListWasOpen) {
    (void)AddGate(P(200, 200));
    SheetRecord* saved = RunOnSheet("Cells",
                                    "click 268 254 double\n"
                                    "wait-window Symbol Information\n"
                                    "click 120 17\n"  // the Attributes tab, a row in edit
                                    "wait-drawn Symbol Information\n"
                                    "button Cancel\n"
                                    "wait-no-window Symbol Information\n"
                                    "key t\nclick 338 398\ntype hello\n"
                                    "key Left\nkey Left\nkey Left\nkey Shift+Right\nkey Shift+Right\ntype X\n"
                                    "key Escape\n");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(DumpSheet(saved, kDumpFrames), "frames 1\n  F1 at (301,362) flags 0x0020 lines 1 \"heXo\"\n");
}

// In the Port Pins tab of a sheet symbol without ports, Return ends the name's edit and starts a
// new row: "IN" Return "OUT" gives the ports IN and OUT.
TEST_F(SymbolInfoCellsRun, ReturnInThePortPinsStartsANewPort) {
    SetSheetSymbolName(AddSheetSymbolBox(P(200, 200), "Filter.SHX"), drawing->stringBlock, "FILTER");
    SheetRecord* saved = RunOnSheet("Ports",
                                    "click 318 265 double\n"
                                    "wait-window Symbol Information\n"
                                    "wait-drawn Symbol Information\n"
                                    "click 130 17\n"  // the Port Pins tab, the new port's name in edit
                                    "wait-drawn Symbol Information\n"
                                    "type IN\nkey Return\ntype OUT\n" +
                                        Shot("port-pins-return.png") +
                                        "button OK\n"
                                        "wait-no-window Symbol Information\n");
    ASSERT_NE(saved, nullptr);
    std::string ports;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(saved->symbolList)); s;
         s = static_cast<SymbolRecord*>(LLGetNext(saved->symbolList, s)))
        for (int32_t i = 0; i < CountSheetSymbolPorts(s); ++i) {
            char name[kSymbolTextSize] = "";
            GetSheetSymbolPortName(s, i, saved->stringBlock, name, int32_t(sizeof name));
            ports += std::string(name) + "\n";
        }
    EXPECT_EQ(ports, "IN\nOUT\n");
}

#endif

}  // namespace
}  // namespace plexa::test
