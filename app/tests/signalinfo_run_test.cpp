// A signal renamed from its dialog in the running editor: a double click on its label or on one
// of its wires opens the signal dialog; the name typed there and OK rename the signal, which a
// saved copy's dump shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheetfile.h"
#include "app/tests/signal_label_testing.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/sheetdump.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SignalInfoRun = SheetContentsTest;

// A double click on a signal's label in the running program opens the signal's dialog; the name
// typed there renames the signal (the dialog's cases are checked in-process in sheeteditor/tests),
// and Ctrl+A there selects the field's text.
TEST_F(SignalInfoRun, ADoubleClickOnASignalLabelRenamesTheSignalFromTheDialog) {
    SignalHandle net = Draw({P(100, 300), P(900, 300)});
    SetSignalName(net, drawing->stringBlock, "OLD");
    ASSERT_NE(CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false), nullptr);
    const std::string at = WriteSheetAtScale("Nets.SHX", 100);

    const std::string sheetShot = OutputPath("signal-info-sheet-running.png");
    const std::string dialogShot = OutputPath("signal-info-dialog-running.png");
    const std::string copy = dir.path() + "/renamed.SHX";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Nets\n"
        "wait-drawn Nets\n"
        "screenshot " + sheetShot + " Nets\n" +
        RenameFromTheLabel("AB") +  // the selected name replaced: the caret after "AB"
        // Edit > Select All's key selects the whole of the field's text again, which "CLK" replaces.
        "key Ctrl+A\n"
        "type CLK\n"
        "screenshot " + dialogShot + " Signal Info\n"
        "key Return\n"
        "wait-no-window Signal Info\n"
        "panel " + copy + "\nmenu File > Save a Copy...\n"
        "close Nets\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* renamed = Load(copy);
    ASSERT_NE(renamed, nullptr);
    const std::string dump = DumpSheet(renamed, kDumpSignals);
    EXPECT_NE(dump.find("\"CLK\""), std::string::npos) << dump;
    EXPECT_EQ(dump.find("\"OLD\""), std::string::npos) << dump;
}

// A double click on a wire opens its signal's dialog as one on its label does, whether the wire
// was selected before or not (the double click's first press selects it anyway): the wire renamed
// twice this way, once from nothing selected and once after a click selected it, carries the
// second name.
TEST_F(SignalInfoRun, ADoubleClickOnAWireOpensTheSignalDialogSelectedOrNot) {
    SignalHandle net = Draw({P(100, 300), P(500, 300)});
    SetSignalName(net, drawing->stringBlock, "OLD");
    const std::string at = WriteSheetAtScale("Nets.SHX", 100);
    const std::string wire = "338 338";  // (300, 300) on the sheet
    const std::string selected = OutputPath("signal-info-wire-selected-running.png");
    const std::string copy = dir.path() + "/renamed.SHX";
    const auto rename = [&](const std::string& name) {
        return "click " + wire + " double\nwait-window Signal Info\nwait-drawn Signal Info\n"
               "key Ctrl+A\ntype " + name + "\nkey Return\nwait-no-window Signal Info\n";
    };
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Nets\nwait-drawn Nets\n"
        "click 338 538\n"  // empty sheet: nothing selected
        "log-menu Edit\n" +
        rename("MID") +
        "click 338 538\nclick " + wire + "\n"
        "log-menu Edit\n"
        "screenshot " + selected + " Nets\n" +
        rename("NEW") +
        "panel " + copy + "\nmenu File > Save a Copy...\n"
        "close Nets\nbutton Don't Save\n",
        {at});
    std::string log;
    for (const std::string& line : result.log) log += line + "\n";
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors << log;
    // Nothing was selected before the first double click, the wire before the second.
    EXPECT_EQ(result.Lines("  Clear\t"), (std::vector<std::string>{"  Clear\tdisabled", "  Clear\tenabled"})) << log;
    SheetRecord* renamed = Load(copy);
    ASSERT_NE(renamed, nullptr);
    const std::string dump = DumpSheet(renamed, kDumpSignals);
    EXPECT_NE(dump.find("\"NEW\""), std::string::npos) << dump;
}

// A rename that merges the signal into another of the name, answered "Merge" in the running
// program, and then Edit > Undo (saving would forget it): the saved copy is the sheet as it was,
// both signals and their labels in their places.
TEST_F(SignalInfoRun, AMergeFromTheSignalDialogUndoesToTheSheetAsItWas) {
    SignalHandle other = Draw({P(100, 500), P(900, 500)});
    SetSignalName(other, drawing->stringBlock, "B");
    ASSERT_NE(CreateSignalWireLabel(drawing, other, FirstWire((*other)->wires), 0, false), nullptr);
    SignalHandle net = Draw({P(100, 300), P(900, 300)});
    SetSignalName(net, drawing->stringBlock, "A");
    ASSERT_NE(CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false), nullptr);
    // Both reach net symbols: signals of one name that may be merged.
    (*net)->flags |= kSignalFlagPort;
    (*other)->flags |= kSignalFlagPort;
    const std::string at = WriteSheetAtScale("Nets.SHX", 100);
    SheetRecord* original = Load(at);
    ASSERT_NE(original, nullptr);
    const std::string before = DumpSheet(original, kDumpSignals | kDumpTexts);

    const std::string questionShot = OutputPath("signal-merge-question-running.png");
    const std::string undoneShot = OutputPath("signal-merge-undone-running.png");
    const std::string mergedShot = OutputPath("signal-merged-running.png");
    const std::string undone = dir.path() + "/undone.SHX";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Nets\n"
        "wait-drawn Nets\n" +
        RenameFromTheLabel("B") +
        "key Return\n"
        "screenshot-screen " + questionShot + "\n"
        "button Merge\n"
        "wait-no-window Signal Info\n"
        "screenshot " + mergedShot + " Nets\n"
        "menu Edit > Undo Signal Modification\n"
        "click 341 434\n"  // between the wires: the label the double click selected is let go
        "screenshot " + undoneShot + " Nets\n"
        "panel " + undone + "\nmenu File > Save a Copy...\n"
        "close Nets\nbutton Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    SheetRecord* back = Load(undone);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(DumpSheet(back, kDumpSignals | kDumpTexts), before);
}

#endif

}  // namespace
}  // namespace plexa::test
