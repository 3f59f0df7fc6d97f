// A sheet's string block in the running editor: a sheet that carries an earlier session's dead
// strings is opened, edited a few times, saved and opened again, and its file holds only its live
// strings; a name that does not fit a full block is refused with a message and the sheet keeps its
// name.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/tests/signal_label_testing.h"
#include "files/sheetfile.h"
#include "files/tests/sheetcontents_testing.h"
#include "model/attributes.h"
#include "model/sheetdump.h"
#include "model/texts.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using SheetStringsRun = SheetContentsTest;

// The rename of the label's signal, confirmed with OK.
std::string Rename(const std::string& name) { return RenameFromTheLabel(name) + "key Return\n"; }

uint32_t Used(StringBlock block) { return reinterpret_cast<const StringBlockHeader*>(*block)->used; }
uint32_t StoredUsed(const std::string& at) { return StoredStringBlockHeader(at).used; }

// A sheet that an earlier session left with thousands of dead names, renamed three times in the
// editor and saved, then opened in a second run and saved as a copy: the first save already holds
// only the live strings and what this session left (the open compacted the block), and the copy
// holds the same.
TEST_F(SheetStringsRun, ASheetOpenedEditedSavedAndOpenedAgainKeepsOnlyItsLiveStrings) {
    SignalHandle net = Draw({P(100, 300), P(900, 300)});
    std::mt19937 rng(TestSeed());
    for (int i = 0; i < 2000; ++i) SetSignalName(net, drawing->stringBlock, ("E" + std::to_string(rng())).c_str());
    SetSignalName(net, drawing->stringBlock, "OLD");
    ASSERT_NE(CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false), nullptr);
    const std::string at = WriteSheetAtScale("Nets.SHX", 100);
    const uint32_t before = StoredUsed(at);
    ASSERT_GT(before, 16000u);

    const std::string shot = OutputPath("sheet-strings-renamed-running.png");
    ScriptedRun first(PLEXA_PROGRAM);
    const ScriptedRunResult edited = first.Run(
        "wait-window Nets\nwait-drawn Nets\n" + Rename("FIRST") + "wait-no-window Signal Info\n" +
            Rename("SECOND") + "wait-no-window Signal Info\n" + Rename("CLK") +
            "wait-no-window Signal Info\nscreenshot " + shot + " Nets\nmenu File > Save\nclose Nets\n",
        {at});
    ASSERT_TRUE(edited.Exited(0)) << edited.status << "\n" << edited.errors;
    const uint32_t saved = StoredUsed(at);
    EXPECT_LT(saved, 200u) << "the open did not compact the block of " << before << " bytes";
    SheetRecord* written = Load(at);
    ASSERT_NE(written, nullptr);
    const std::string dump = DumpSheet(written, kDumpSignals | kDumpTexts);
    EXPECT_NE(dump.find("S1 \"CLK\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\"CLK\" on W1"), std::string::npos) << dump;  // its label

    const std::string copy = dir.path() + "/copy.SHX";
    ScriptedRun second(PLEXA_PROGRAM);
    const ScriptedRunResult reopened = second.Run(
        "wait-window Nets\nwait-drawn Nets\npanel " + copy + "\nmenu File > Save a Copy...\nclose Nets\n", {at});
    ASSERT_TRUE(reopened.Exited(0)) << reopened.status << "\n" << reopened.errors;
    EXPECT_EQ(StoredUsed(copy), saved);
    SheetRecord* copied = Load(copy);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(DumpSheet(copied, kDumpSignals | kDumpTexts), dump);
}

// A sheet whose live strings fill the 4 MiB that a block addresses: the name typed in the signal
// dialog cannot be stored, so the rename is refused with a message that says why, and the saved
// copy has the signal and its label under the old name.
TEST_F(SheetStringsRun, ANameThatDoesNotFitIsRefusedWithAMessageAndTheSheetKeepsItsName) {
    SignalHandle net = Draw({P(100, 300), P(900, 300)});
    SetSignalName(net, drawing->stringBlock, "OLD");
    ASSERT_NE(CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false), nullptr);
    // Live strings up to the limit: sheet attributes of random values, then a hidden text that
    // starts below the limit and ends beyond it.
    std::mt19937 rng(TestSeed());
    const auto random = [&](size_t n) {
        std::string s(n, ' ');
        for (char& c : s) c = char('a' + rng() % 26);
        return s;
    };
    int16_t count = int16_t(drawing->stored.attributeCount);
    for (int i = 0; kStringBlockOffsetLimit - Used(drawing->stringBlock) > 1100; ++i)
        SetAttributeValue(drawing->stringBlock, drawing->attributes, 0, &count, ("F" + std::to_string(i)).c_str(),
                          random(kStringSpecMaxLength).c_str(), nullptr);
    drawing->stored.attributeCount = uint16_t(count);
    TextRecord* last = CreateDrawingText(drawing, kTextKindFree, kTextFlagHidden, P(10, 10),
                                         random(kStringBlockOffsetLimit - Used(drawing->stringBlock) + 10).c_str());
    ASSERT_NE(last, nullptr);
    ASSERT_GE(Used(drawing->stringBlock), kStringBlockOffsetLimit);
    const std::string at = WriteSheetAtScale("Full.SHX", 100);

    const std::string shot = OutputPath("sheet-strings-full-alert-running.png");
    const std::string copy = dir.path() + "/copy.SHX";
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Full\nwait-drawn Full\n" + Rename("NEWNAME") +
            "wait-window Plexa\nwait-drawn Plexa\nlog-texts Plexa\nscreenshot-screen " + shot +
            "\nbutton OK\nwait-no-window Plexa\nwait-no-window Signal Info\n"
            "panel " + copy + "\nmenu File > Save a Copy...\nclose Full\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("text "),
              (std::vector<std::string>{"text Error:  There is no room for more text in the document: its names and "
                                        "texts are limited to 4 MB."}));
    SheetRecord* kept = Load(copy);
    ASSERT_NE(kept, nullptr);
    const std::string dump = DumpSheet(kept, kDumpSignals);
    EXPECT_NE(dump.find("S1 \"OLD\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("\"OLD\" on W1"), std::string::npos) << dump;  // its label
    EXPECT_EQ(dump.find("NEWNAME"), std::string::npos) << dump;
}

#endif

}  // namespace
}  // namespace plexa::test
