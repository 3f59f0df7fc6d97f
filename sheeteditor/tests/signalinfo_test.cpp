// Renaming signals from their dialog on a sheet in a real window: merging or sharing a name as the
// person answers, splitting one fragment off, labels shown and hidden, and the port dialog; the
// dialogs answered by scripted input and checked through the sheet dump.
#include "sheeteditor/signalinfo.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "model/sheetdump.h"
#include "model/texts.h"
#include "sheeteditor/signaldialogs.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/wire_drags_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"

namespace plexa::test {
namespace {

// Scripts for the dialogs that come up one after the other: each runs on the front dialog, then
// the key is typed.
std::deque<std::pair<std::function<void(VXWindowRecordTag*)>, uint16_t>> gAnswers;

void RunNextAnswer(void*) {
    if (gAnswers.empty()) return;
    auto [script, key] = std::move(gAnswers.front());
    gAnswers.pop_front();
    VXWindowRecordTag* dialog = FrontDialog();
    EXPECT_NE(dialog, nullptr);
    if (dialog && script) script(dialog);
    if (!gAnswers.empty()) VXPostDeferredAction(RunNextAnswer, nullptr, 0.01);
    QueueKey(key);
}

void Answer(std::deque<std::pair<std::function<void(VXWindowRecordTag*)>, uint16_t>> answers) {
    gAnswers = std::move(answers);
    VXPostDeferredAction(RunNextAnswer, nullptr, 0.001);
}

void Type(VXWindowRecordTag* dialog, int16_t item, const char* text) {
    VXSetItemText(dialog, item, "");
    VXControlRecordTag* control = VXGetControl(dialog, item, nullptr);
    ASSERT_NE(control, nullptr);
    PlatformControlTestClick(control->platform, 4, 4);
    PlatformControlTestType(dialog->platformWindow, text);
}

class SignalInfoTest : public WireDragTest {
protected:
    void SetUp() override {
        WireDragTest::SetUp();
        VXInitControls();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
    }
    void TearDown() override {
        gAnswers.clear();
        CloseUIFiles();
        WireDragTest::TearDown();
        PlatformControlFlushDestroyed();
    }
    SignalHandle Net(const char* name, const std::vector<Point>& corners, uint16_t flags) {
        SignalHandle s = driver->Draw(corners);
        SetSignalName(s, sheet->stringBlock, name);
        (*s)->flags |= flags;
        return s;
    }
    std::string Names() {
        std::string out;
        for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s)) {
            char name[256];
            GetSignalName(static_cast<SignalHandle>(s), sheet->stringBlock, name, 256);
            out += std::string(name) + "(" + std::to_string(CountWires(static_cast<SignalHandle>(s))) + ") ";
        }
        return out;
    }
    static int32_t CountWires(SignalHandle s) {
        int32_t n = 0;
        for (WireHandle w = FirstWire((*s)->wires); w; w = NextWire((*s)->wires, w)) n++;
        return n;
    }
    std::string Labels() {
        std::string out;
        for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t)) {
            auto* text = static_cast<TextRecord*>(t);
            char s[256];
            GetTextRecordString(text, sheet->stringBlock, s, 256);
            out += std::string(s) + ((text->flags & kTextFlagHidden) ? "(hidden) " : " ");
        }
        return out;
    }
};

TEST_F(SignalInfoTest, RenamingToAnExistingNameMergesOrSharesItAsAnswered) {
    struct Case {
        uint16_t flags;     // of both signals
        uint16_t answer;    // to the question: 13 the confirming button, 27 Cancel
        const char* names;  // after OK (or the dialog kept open and cancelled)
    };
    const Case cases[] = {
        {kSignalFlagPort, 13, "B(2) "},
        {0, 13, "B(1) B(1) "},
        {kSignalFlagPort, 27, "B(1) A(1) "},
    };
    for (const Case& c : cases) {
        NewSheet();
        SignalHandle a = Net("A", {{100, 100}, {200, 100}}, c.flags);
        Net("B", {{100, 200}, {200, 200}}, c.flags);
        std::string asked;
        std::deque<std::pair<std::function<void(VXWindowRecordTag*)>, uint16_t>> answers;
        answers.push_back({[](VXWindowRecordTag* d) { Type(d, 3, "B"); }, 13});
        answers.push_back({[&](VXWindowRecordTag* d) {
                               (void)d;
                               asked = "asked";
                           },
                           c.answer});
        if (c.answer == 27) answers.push_back({nullptr, 27});  // the signal dialog stays up: cancel it
        Answer(std::move(answers));
        EditSignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr);
        EXPECT_EQ(asked, "asked");
        EXPECT_EQ(Names(), c.names) << c.flags << " " << c.answer;
    }
}

TEST_F(SignalInfoTest, ANewNameForOneFragmentSplitsItOff) {
    SignalHandle a = Net("A", {{100, 100}, {200, 100}}, 0);
    // A second piece of the same signal that touches nothing of the first.
    WireHandle far = CreateWire(nullptr);
    (void)InsertWireCorner(far, {100, 300}, -1);
    (void)InsertWireCorner(far, {200, 300}, -1);
    CalcWireBounds(far);
    LLPush((*a)->wires, far);
    ASSERT_TRUE(IsWireListFragmented((*a)->wires, nullptr));
    Rect area;
    VXSetEmptyRect(&area);
    const uint8_t fragmentOnly = 1;
    SignalHandle piece = ModifySignalInfo(sheet, a, far, 0, nullptr, nullptr, "NEW", false, &fragmentOnly, &area);
    EXPECT_NE(piece, a);
    EXPECT_EQ(Names(), "NEW(1) A(1) ");
    // The same name in other letters is no change: nothing splits, the name is kept as typed.
    SignalHandle same = ModifySignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr, nullptr, "a", false,
                                         &fragmentOnly, &area);
    EXPECT_EQ(same, a);
    EXPECT_EQ(Names(), "NEW(1) a(1) ");
}

TEST_F(SignalInfoTest, TheLabelOnTheClickedSegmentIsShownAndHidden) {
    SignalHandle a = Net("DATA", {{100, 100}, {200, 100}}, 0);
    Rect area;
    VXSetEmptyRect(&area);
    ModifySignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr, nullptr, "DATA", true, nullptr, &area);
    EXPECT_EQ(Labels(), "DATA ");
    ModifySignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr, nullptr, "CLK", true, nullptr, &area);
    EXPECT_EQ(Labels(), "CLK ");
    ModifySignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr, nullptr, "CLK", false, nullptr, &area);
    EXPECT_EQ(Labels(), "");
    const std::string dump = DumpSheet(sheet, kDumpSignals);
    EXPECT_NE(dump.find("\"CLK\""), std::string::npos) << dump;
}

TEST_F(SignalInfoTest, TheSignalDialogCutsNamesAndShowsItsChoices) {
    SignalHandle a = Net("A", {{100, 100}, {200, 100}}, 0);
    std::string typed;
    Answer({{[&](VXWindowRecordTag* d) {
                 // 16 bytes and a two-byte character: the character does not fit in 17 bytes.
                 Type(d, 3, "ABCDEFGHIJKLMNOP\xC3\xA9");
                 char text[256];
                 VXGetItemText(d, 3, text);
                 typed = text;
                 EXPECT_TRUE(VXGetItemVisible(d, 4));
                 EXPECT_FALSE(VXGetItemVisible(d, 6));
                 EXPECT_GT(WriteScreenshot(d, "signal-info-dialog.png").size(), 24u);
             },
             13}});
    EditSignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr);
    EXPECT_EQ(typed, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Names(), "ABCDEFGHIJKLMNOP(1) ");
}

}  // namespace
}  // namespace plexa::test
