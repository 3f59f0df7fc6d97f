// The symbol information dialog in the running program: a double click on a symbol of a sheet
// opens it on the symbol, a designator typed there is kept when the sheet is saved.
#include <gtest/gtest.h>

#include <string>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/attributes.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SymbolInfoRun = SheetContentsTest;

// A double click on a placed gate in the running program opens its symbol information; the
// designator typed there is stored. The gate's body is at (268, 254) of the window's content.
TEST_F(SymbolInfoRun, ADoubleClickedSymbolTakesTheDesignatorTypedInItsDialog) {
    SetSymbolRefName(AddGate(P(200, 200)), drawing->stringBlock, "G1");
    const std::string at = WriteSheetAtScale("Info.SHX", 100);
    const std::string copy = dir.path() + "/copy.SHX";
    const std::string picture = OutputPath("symdialog-info-program.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Info\n"
        "wait-drawn Info\n"
        "click 268 254 double\n"
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "screenshot " + picture + " Symbol Information\n"
        "type G7\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "panel " + copy + "\nmenu File > Save a Copy...\n"
        "close Info\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    auto* symbol = static_cast<SymbolRecord*>(LLFirst(saved->symbolList));
    ASSERT_NE(symbol, nullptr);
    char designator[kSymbolTextSize];
    GetSymbolRefName(symbol, saved->stringBlock, designator);
    EXPECT_STREQ(designator, "G7");
}

// A double click on a symbol's attribute text opens its symbol information on the Attributes tab
// with that attribute's row in edit: Tab goes on to its value, which takes what is typed
// (symdialog-info-attribute-program.png).
TEST_F(SymbolInfoRun, ADoubleClickedAttributeTextEditsThatAttribute) {
    SymbolRecord* gate = AddGate(P(200, 200));
    for (const char* name : {"Value", "Tolerance"})
        (void)SetSymbolAttribute(gate, drawing->stringBlock, name, "x", nullptr);
    TextRecord* text = CreateDrawingText(drawing, kTextKindSymbolAttribute, 0, P(300, 220), "{Tolerance}");
    ASSERT_NE(text, nullptr);
    text->owner = int64_t(int32_t(gate->serial));
    const std::string at = WriteSheetAtScale("Info.SHX", 100);
    const std::string copy = dir.path() + "/copy.SHX";
    const std::string picture = OutputPath("symdialog-info-attribute-program.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Info\n"
        "wait-drawn Info\n"
        "click 350 255 double\n"  // on the text, right of the gate
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "key Tab\n"
        "type 5%\n"
        "screenshot " + picture + " Symbol Information\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "panel " + copy + "\nmenu File > Save a Copy...\n"
        "close Info\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    auto* symbol = static_cast<SymbolRecord*>(LLFirst(saved->symbolList));
    ASSERT_NE(symbol, nullptr);
    char value[kAttributeTextSize];
    (void)GetSymbolAttribute(symbol, saved->stringBlock, "Tolerance", value);
    EXPECT_STREQ(value, "5%");
    (void)GetSymbolAttribute(symbol, saved->stringBlock, "Value", value);
    EXPECT_STREQ(value, "x");
}

#endif

}  // namespace
}  // namespace plexa::test
