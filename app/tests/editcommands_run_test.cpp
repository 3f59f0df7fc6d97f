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
    // symbols or with the flags; A's output pin ends at (192,132).
    std::string WriteTwoGates(uint32_t flags = 0) {
        const int32_t id = AddGateSymbolDefinition(drawing);
        EXPECT_GE(id, 0);
        const Point origins[] = {P(126, 117), P(326, 117)};
        uint32_t serial = 1;
        for (Point at : origins) {
            SymbolRecord* gate = driver->AddSymbol(serial++, flags);
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

// The lines of the log that start with one of the prefixes, in log order.
std::vector<std::string> LinesOf(const ScriptedRunResult& result, const std::vector<std::string>& prefixes) {
    std::vector<std::string> lines;
    for (const std::string& line : result.log)
        for (const std::string& prefix : prefixes)
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

// A new file symbol of the sheet RC takes the sheet's ports as pins, so "Update Pins from Sheet"
// (on only in the symbol editor of a sheet's file symbol) finds nothing to change and says so.
// Sheet Symbols > Delete... is off until the sheet has a file symbol.
// Page Setup and Print are a sheet's and a project's, not the symbol editor's; Select All in the
// symbol editor is off while its pin tool is on or its parts list has the focus.
TEST_F(EditCommandsRun, TheFileSymbolsPinsAreUpdatedFromTheEditMenu) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.dir().file("RC.SHX");
    std::filesystem::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    const std::string editor = OutputPath("edit-file-symbol-editor.png");
    const std::string pinTool = OutputPath("edit-file-symbol-pin-tool.png");
    const std::string message = OutputPath("edit-update-pins-message.png");
    const ScriptedRunResult result = run.Run(
        "wait-window RC\n"
        "wait-drawn RC\n"
        "log-menu Edit\n"
        "log-menu File\n"
        "menu Edit > Sheet Symbols > New...\n"
        "wait-window RC : RC\n"
        "wait-drawn RC : RC\n"
        "log-menu Edit\n"
        "log-menu File\n"
        "click 158 187\n"  // the pin tool
        "screenshot " + pinTool + " RC : RC\n"
        "log-menu Edit\n"
        "click 158 125\n"  // the arrow tool
        "log-menu Edit\n"
        "click 37 181\n"   // the parts list
        "log-menu Edit\n"
        "screenshot " + editor + " RC : RC\n"
        "menu Edit > Update Pins from Sheet\n"
        "wait-window Plexa\n"
        "wait-drawn Plexa\n"
        "screenshot-screen " + message + "\n"
        "button OK\n"
        "wait-no-window Plexa\n" +
        CloseFileSymbolAndSheet("RC"),
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(LinesOf(result, {"  Update Pins from Sheet\t", "  Page Setup...\t", "  Print...\t", "  Select All\t",
                               "    Delete...\t"}),
              (std::vector<std::string>{
                  // the sheet, which has no file symbol to delete yet
                  "  Select All\tenabled", "    Delete...\tdisabled", "  Update Pins from Sheet\tdisabled",
                  "  Page Setup...\tenabled", "  Print...\tenabled",
                  // its file symbol's editor: now there is one
                  "  Select All\tenabled", "    Delete...\tenabled", "  Update Pins from Sheet\tenabled",
                  "  Page Setup...\tdisabled", "  Print...\tdisabled",
                  // the pin tool, the arrow tool, the parts list
                  "  Select All\tdisabled", "    Delete...\tenabled", "  Update Pins from Sheet\tenabled",
                  "  Select All\tenabled", "    Delete...\tenabled", "  Update Pins from Sheet\tenabled",
                  "  Select All\tdisabled", "    Delete...\tenabled", "  Update Pins from Sheet\tenabled"}));
    std::string bytes;
    for (const std::string& picture : {editor, pinTool, message}) EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
}

// Select All is off on a sheet while a wire is being drawn and while the library-part tool is on.
TEST_F(EditCommandsRun, SelectAllWaitsForTheWireAndThePartBeingPlaced) {
    const std::string sheet = WriteTwoGates(kSymbolFlagPort);
    const std::string wire = OutputPath("edit-select-all-wire.png");
    const std::string picture = OutputPath("edit-select-all-part-tool.png");
    ScriptedRun run(PLEXA_PROGRAM);
    // The wire starts on A's output pin (the gates placed as port symbols); the library pane (item list at 470 29, typing chooses)
    // gives the ground part.
    const ScriptedRunResult result = run.Run(
        "wait-window Attrs\nwait-drawn Attrs\n"
        "log-menu Edit\n"
        "key w\nmove " + At(192, 132) + "\nclick " + At(192, 132) + "\nmove " + At(260, 200) + "\n"
        "screenshot " + wire + "\n"
        "log-menu Edit\n"
        "key Escape\n"
        "log-menu Edit\n"
        "click 16 17\nclick 470 29\ntype GND\nclick 18 190\n"
        "log-menu Edit\n"
        "screenshot " + picture + "\n"
        "close Attrs\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("  Select All\t"),
              (std::vector<std::string>{"  Select All\tenabled", "  Select All\tdisabled", "  Select All\tenabled",
                                        "  Select All\tdisabled"}));
}

// Attributes copied in a signal's dialog are offered for a paste while a wire is selected, not
// while nothing is.
TEST_F(EditCommandsRun, SignalAttributesAreOfferedForSelectedWires) {
    SignalHandle net = Draw({P(100, 300), P(900, 300)});
    SetSignalName(net, drawing->stringBlock, "CLK");
    (void)SetSignalAttribute(net, drawing->stringBlock, "Rate", "10MHz");
    ASSERT_EQ((*net)->attributeCount, 1u);
    ASSERT_NE(CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false), nullptr);
    const std::string at = WriteSheetAtScale("Nets.SHX", 100);
    const std::string copied = OutputPath("edit-signal-attributes-copied.png");
    const std::string selected = OutputPath("edit-signal-attributes-wire.png");
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Nets\nwait-drawn Nets\n"
        "click 537 333 double\n"  // the signal's label
        "wait-window Signal Info\nwait-drawn Signal Info\n"
        "key Tab\n"       // from the name into the attributes
        "click 28 124\n"  // Rate's row, beside its names arrow
        "key Ctrl+C\n"
        "screenshot " + copied + " Signal Info\n"
        "button Cancel\n"
        "wait-no-window Signal Info\n"
        "click " + At(500, 500) + "\n"  // nothing selected
        "log-menu Edit\n"
        "click " + At(500, 300) + "\n"  // the wire
        "log-menu Edit\n"
        "screenshot " + selected + "\n"
        "close Nets\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("  Paste"), (std::vector<std::string>{"  Paste\tdisabled", "  Paste\tenabled"}));
}

// The title's modified mark follows whether the sheet differs from its file: a move marks it,
// undoing the move takes the mark away, redoing puts it back; a second move undone leaves the
// first, so the mark stays. After a save the same holds for a move made then. Closed unmodified,
// the sheet asks nothing.
TEST_F(EditCommandsRun, UndoBackToTheSavedSheetTakesTheModifiedMarkAway) {
    const std::string sheet = WriteTwoGates();
    const std::string moveRight = "menu Edit > Select All\nkey Right\nlog-title Attrs\n";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Attrs\nwait-drawn Attrs\nlog-title Attrs\n" + moveRight +
            "key Ctrl+Z\nlog-title Attrs\nkey Ctrl+Z\nlog-title Attrs\nkey Ctrl+Z\nlog-title Attrs\n" + moveRight +
            moveRight + "key Ctrl+Z\nlog-title Attrs\nmenu File > Save\nlog-title Attrs\n" + moveRight +
            "screenshot " + OutputPath("edit-undo-mark-moved.png") + " Attrs\nkey Ctrl+Z\nlog-title Attrs\n"
            "screenshot " + OutputPath("edit-undo-mark-undone.png") + " Attrs\nclose Attrs\nwait-no-window Attrs\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("title "),
              (std::vector<std::string>{"title Attrs", "title Attrs*", "title Attrs", "title Attrs*", "title Attrs",
                                        "title Attrs*", "title Attrs*", "title Attrs*", "title Attrs", "title Attrs*",
                                        "title Attrs"}));
    // The gates as saved (and selected then): one unit right of where they were written.
    SheetRecord* saved = Load(sheet);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(DumpSheet(saved, kDumpSymbols), "symbols 2\n"
                                              "  #1 serial 1 at (127,117) flags 0x01080000 map 0 attributes 1\n"
                                              "  #2 serial 2 at (327,117) flags 0x01080000 map 0\n");
}

#endif

}  // namespace
}  // namespace plexa::test
