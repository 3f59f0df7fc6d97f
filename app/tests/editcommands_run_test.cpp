// The Edit menu's commands in the running editor: attributes copied in a symbol's attribute panel
// pasted onto another selected symbol, the file symbol's pins brought in line with its sheet from
// the menu, and the rules that keep Select All, Page Setup and Print off where they do not apply.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/attributes.h"
#include "model/symbols.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class EditCommandsRun : public SheetContentsTest {
protected:
    // Two gates, A (serial 1, with the attribute Tol = 5%, marked shown) and B (serial 2), as plain
    // symbols.
    std::string WriteTwoGates() {
        const int32_t id = AddGateSymbolDefinition(drawing);
        EXPECT_GE(id, 0);
        const Point origins[] = {P(126, 117), P(326, 117)};
        uint32_t serial = 1;
        for (Point at : origins) {
            SymbolRecord* gate = driver->AddSymbol(serial++);
            gate->mapId = id;
            gate->libraryName = kNoLibraryName;
            gate->position = at;
        }
        SymbolRecord* a = RetrieveSerializedSymbol(drawing->symbolList, 1);
        const uint16_t shown = 1;
        SetSymbolAttribute(a, drawing->stringBlock, "Tol", "5%", &shown);
        drawing->stored.nextSerial = serial;
        return WriteSheetAtScale("Attrs.SHX", 100);
    }
};

// The pad's point (h, v) in the window's content at 100 %: the sheet pane lies right of the tool
// palette and below the tool bar.
std::string At(int h, int v) { return std::to_string(h + 38) + " " + std::to_string(v + 38); }

// Tol copied in A's attribute panel (its row selected by a click left of its name) is pasted
// onto B from the Edit menu; Paste is offered only while a symbol is selected. The copy made from
// the sheet afterwards holds the attribute on both gates, hidden on B.
TEST_F(EditCommandsRun, AttributesCopiedInASymbolsPanelArePastedOntoTheSelectedSymbol) {
    const std::string sheet = WriteTwoGates();
    const std::string copy = dir.path() + "/copy.SHX";
    const std::string panel = OutputPath("edit-attributes-copied.png"), pasted = OutputPath("edit-attributes-pasted.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Attrs\nwait-drawn Attrs\n"
        "click " + At(156, 132) + " double\n"
        "wait-window Symbol Information\nwait-drawn Symbol Information\n"
        "click 120 17\n"  // the Attributes tab
        "click 26 64\n"   // Tol's row, beside its names arrow
        "key Ctrl+C\n"
        "screenshot " + panel + " Symbol Information\n"
        "button Cancel\n"
        "wait-no-window Symbol Information\n"
        "log-menu Edit\n"
        "click " + At(250, 400) + "\n"  // nothing selected
        "log-menu Edit\n"
        "click " + At(356, 132) + "\n"  // B
        "log-menu Edit\n"
        "menu Edit > Paste\n"
        "screenshot " + pasted + "\n"
        "panel " + copy + "\n"
        "menu File > Save a Copy...\n"
        "close Attrs\n"
        "button Don't Save\n",
        {sheet});
    std::string log;
    for (const std::string& line : result.log) log += line + "\n";
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors << log;
    EXPECT_EQ(result.Lines("  Paste"),
              (std::vector<std::string>{"  Paste\tenabled", "  Paste\tdisabled", "  Paste\tenabled"}))
        << result.errors;
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    for (uint32_t serial : {1u, 2u}) {
        SymbolRecord* gate = RetrieveSerializedSymbol(saved->symbolList, serial);
        ASSERT_NE(gate, nullptr);
        char value[kAttributeTextSize] = {};
        uint16_t flags = 0xFFFF;
        const int16_t index = GetSymbolAttribute(gate, saved->stringBlock, "Tol", value);
        ASSERT_FALSE(index & kAttributeAbsent) << serial;
        GetIndexedAttribute(saved->stringBlock, gate->attributes, 0, index, nullptr, nullptr, &flags, nullptr);
        EXPECT_STREQ(value, "5%") << serial;
        EXPECT_EQ(flags & 1, serial == 1 ? 1 : 0) << serial;
    }
}

#endif

}  // namespace
}  // namespace plexa::test
