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
#include "sheeteditor/propertynames.h"
#include "sheeteditor/signaldialogs.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/wire_drags_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"
#include "platform/menu_platform.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetundoaction.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_listview.h"

namespace plexa::test {
namespace {

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
    // A signal "A" with the attribute Rating=5, and the signal names "Voltage" and "Value".
    SignalHandle RatedSignal() {
        for (auto& l : gPropertyNamesTable) l.clear();
        AppendPropertyNames(kSignalNames, "Voltage");
        AppendPropertyNames(kSignalNames, "Value");
        SignalHandle a = Net("A", {{100, 100}, {200, 100}}, 0);
        (void)SetSignalAttribute(a, sheet->stringBlock, "Rating", "5");  // added: the absent code
        return a;
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
        uint16_t flags;        // of both signals
        uint16_t answer;       // to the question: 13 the confirming button, 27 Cancel
        const char* question;  // its confirming button
        const char* names;     // after the rename, when the name was taken
    };
    const Case cases[] = {
        {kSignalFlagPort, 13, "Merge", "B(2) "},
        {kSignalFlagBreakOut, 13, "Merge", "B(2) "},
        {0, 13, "Rename", "B(1) B(1) "},
        {kSignalFlagPort, 27, "Merge", "B(1) A(1) "},
    };
    for (const Case& c : cases) {
        NewSheet();
        SignalHandle a = Net("A", {{100, 100}, {200, 100}}, c.flags);
        Net("B", {{100, 200}, {200, 200}}, c.flags);
        std::string button;
        InDialog([&](VXWindowRecordTag* d) {
                     char text[256];
                     VXGetItemText(d, 1, text);
                     button = text;
                 },
                 c.answer);
        const int32_t taken = SignalInfoValidationProc(sheet, a, "B");
        EXPECT_EQ(button, c.question);
        EXPECT_EQ(taken, c.answer == 13);
        if (taken) {
            Rect area;
            VXSetEmptyRect(&area);
            ModifySignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr, nullptr, "B", false, nullptr, &area);
        }
        EXPECT_EQ(Names(), c.names) << c.flags << " " << c.answer;
    }
    // The signal's own name in other letters and a free name are taken without a question.
    NewSheet();
    SignalHandle a = Net("A", {{100, 100}, {200, 100}}, 0);
    Net("B", {{100, 200}, {200, 200}}, 0);
    EXPECT_EQ(SignalInfoValidationProc(sheet, a, "a"), 1);
    EXPECT_EQ(SignalInfoValidationProc(sheet, a, "C"), 1);
}

// A name the validation refuses keeps the dialog open with the text typed.
TEST_F(SignalInfoTest, ARefusedNameKeepsTheSignalDialogOpen) {
    SignalHandle a = Net("A", {{100, 100}, {200, 100}}, 0);
    static int32_t asked;
    asked = 0;
    auto refuseOnce = [](SheetRecord*, void*, const char*) -> int32_t { return asked++ > 0; };
    bool stayed = false;
    std::string kept;
    InDialog([&](VXWindowRecordTag* d) {
                 Type(d, 3, "X1");
                 const int32_t id = d->windowID;
                 ClickItem(d, 1, 10, 8);
                 stayed = VXGetWindowFromId(id) != nullptr;
                 char text[256];
                 VXGetItemText(d, 3, text);
                 kept = text;
             },
             13);
    char name[256] = "A";
    EXPECT_EQ(SignalInfoDialog(sheet, a, name, nullptr, nullptr, 1, refuseOnce), 1);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(kept, "X1");
    EXPECT_EQ(asked, 2);
    EXPECT_STREQ(name, "X1");
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

// A rename, undone, gives the sheet back as it was, redone gives the rename again, and undone
// once more the sheet as it was: signals, labels and texts each in their places.
struct RenameCase {
    const char* what;
    uint16_t flags;    // of both signals
    bool fragment;     // the far piece of A alone takes the name
    const char* name;  // the new name of A (B is in use)
    bool labels;       // A's wires and B carry labels, with a free text between them
    bool show;         // the label on the clicked segment (of the far piece)
    bool port;         // applied through A's port symbol rather than a wire
    bool bFirst;       // B made before A (it stands after A in the list)
};

class SignalRenameUndoTest : public SignalInfoTest {
protected:
    SignalHandle a = nullptr, b = nullptr;
    WireHandle far = nullptr;
    SymbolRecord* port = nullptr;

    // Signals A (a wire and a far piece) and B, their labels when asked for, and a port symbol.
    void Build(uint16_t flags, bool labels, bool bFirst = false) {
        NewSheet();
        if (bFirst) b = Net("B", {{100, 200}, {200, 200}}, flags);
        a = Net("A", {{100, 100}, {200, 100}}, flags);
        if (!bFirst) b = Net("B", {{100, 200}, {200, 200}}, flags);
        WireHandle near = FirstWire((*a)->wires);
        far = CreateWire(nullptr);
        (void)InsertWireCorner(far, {100, 300}, -1);  // fails only out of memory
        (void)InsertWireCorner(far, {200, 300}, -1);  // fails only out of memory
        CalcWireBounds(far);
        LLPush((*a)->wires, far);
        port = driver->AddSymbol(30, kSymbolFlagPort | kSymbolFlagModulePort);
        SetPortSymbolName(sheet, port, "IN1");
        SetPortSymbolType(port, 1);
        if (!labels) return;
        for (auto [signal, wire] : {std::pair{a, near}, std::pair{b, FirstWire((*b)->wires)}, std::pair{a, far}}) {
            TextRecord* label = CreateSignalWireLabel(sheet, signal, wire, 0, false);
            ASSERT_NE(label, nullptr);
            SetTextVisibility(label, false, true);
            ASSERT_NE(CreateDrawingText(sheet, kTextKindFree, 0, Point{50, 50}, "note"), nullptr);
        }
    }
    // The edit, undo, redo and undo again, each checked against the sheet's dump.
    void Check(const std::function<void()>& edit) {
        const std::string before = DumpSheet(sheet);
        edit();
        const std::string after = DumpSheet(sheet);
        ASSERT_NE(after, before);
        UndoSheetAction(sheet);
        EXPECT_EQ(DumpSheet(sheet), before);
        UndoSheetAction(sheet);
        EXPECT_EQ(DumpSheet(sheet), after);
        UndoSheetAction(sheet);
        EXPECT_EQ(DumpSheet(sheet), before);
    }
};

TEST_F(SignalRenameUndoTest, RenamesMergesAndSplitsUndoAndRedo) {
    constexpr uint16_t kMerging = kSignalFlagPort;
    const RenameCase cases[] = {
        {"a new name", 0, false, "C", false, false, false, false},
        {"a name in use, kept apart", 0, false, "B", false, false, false, false},
        {"merged into B", kMerging, false, "B", false, false, false, false},
        {"a piece split off", 0, true, "C", false, false, false, false},
        {"a piece split off, sharing B's name", 0, true, "B", false, false, false, false},
        {"a piece split off and merged into B", kMerging, true, "B", false, false, false, false},
        {"a label made on a new name", 0, false, "C", false, true, false, false},
        {"a label made on a piece split off", 0, true, "C", false, true, false, false},
        {"labels kept through a merge", kMerging, false, "B", true, true, false, false},
        {"labels kept through a split and a merge", kMerging, true, "B", true, true, false, false},
        {"the clicked label hidden on a new name", 0, false, "C", true, false, false, false},
        {"the clicked label hidden in a merge", kMerging, false, "B", true, false, false, false},
        {"the clicked label hidden in a split", 0, true, "C", true, false, false, false},
        {"a port's label shown on a new name", 0, false, "C", true, true, true, false},
        {"a port's label shown in a merge", kMerging, false, "B", true, true, true, false},
        {"merged into B after it", kMerging, false, "B", true, false, false, true},
        {"a piece split off and merged into B after it", kMerging, true, "B", true, true, false, true},
    };
    for (const RenameCase& c : cases) {
        SCOPED_TRACE(c.what);
        Build(c.flags, c.labels, c.bFirst);
        Check([&] {
            Rect area;
            VXSetEmptyRect(&area);
            const uint8_t fragmentOnly = 1;
            StartSheetUndoCollection(sheet, kUndoActionSignalModification);
            // It commits the action it collected.
            if (c.port) ModifySignalInfo(sheet, a, nullptr, -1, port, nullptr, c.name, c.show, nullptr, &area);
            else ModifySignalInfo(sheet, a, far, 0, nullptr, nullptr, c.name, c.show,
                                  c.fragment ? &fragmentOnly : nullptr, &area);
        });
    }
}

// The port dialog: a new name and type for the port's signal, and its label shown.
TEST_F(SignalRenameUndoTest, ThePortDialogsChangesUndoAndRedo) {
    Build(0, true);
    Check([&] {
        InDialog([&](VXWindowRecordTag* d) {
                     Type(d, 3, "C");
                     ChooseItem(d, 9, 2);
                     if (!VXGetItemChecked(d, 8)) ClickItem(d, 8);
                 },
                 13);
        EditSignalPortInfo(sheet, port, a, far);
        EXPECT_EQ(GetPortSymbolType(port), 2);
    });
    EXPECT_EQ(GetPortSymbolType(port), 1);
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
    InDialog([&](VXWindowRecordTag* d) {
                 // 16 bytes and a two-byte character: the character does not fit in 17 bytes.
                 Type(d, 3, "ABCDEFGHIJKLMNOP\xC3\xA9");
                 char text[256];
                 VXGetItemText(d, 3, text);
                 typed = text;
                 EXPECT_TRUE(VXGetItemVisible(d, 4));
                 EXPECT_FALSE(VXGetItemVisible(d, 6));
                 EXPECT_GT(WriteScreenshot(d, "signal-info-dialog.png").size(), 24u);
             },
             13);
    EditSignalInfo(sheet, a, FirstWire((*a)->wires), 0, nullptr);
    EXPECT_EQ(typed, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(Names(), "ABCDEFGHIJKLMNOP(1) ");
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// The port dialog confirmed without a change gives nothing to undo; a new type does, and its
// undo record brings the old name and type back (and the new ones on the next replay).
TEST_F(SignalInfoTest, ThePortDialogWithNoChangeRecordsNothing) {
    SignalHandle a = Net("A", {{100, 100}, {200, 100}}, 0);
    SymbolRecord* port = driver->AddSymbol(30, kSymbolFlagPort | kSymbolFlagModulePort);
    SetPortSymbolName(sheet, port, "IN1");
    SetPortSymbolType(port, 1);
    PortNameResult result{};
    bool sameChecked = true;
    InDialog([&](VXWindowRecordTag* d) {
                 sameChecked = VXGetItemChecked(d, 7) != 0;
                 EXPECT_GT(WriteScreenshot(d, "port-name-dialog.png").size(), 24u);
             },
             13);
    ASSERT_EQ(PortNameDialog(sheet, port, a, SignalInfoValidationProc, nullptr, &result), 1);
    EXPECT_FALSE(sameChecked);
    EXPECT_STREQ(result.netName, "A");
    EXPECT_STREQ(result.displayName, "IN1");
    EXPECT_EQ(result.portType, 1);
    EXPECT_EQ(ApplyPortSymbolChange(sheet, port, &result), nullptr);

    InDialog([&](VXWindowRecordTag* d) { ChooseItem(d, 9, 2); }, 13);
    ASSERT_EQ(PortNameDialog(sheet, port, a, SignalInfoValidationProc, nullptr, &result), 1);
    PortSymbolUndoRecord* record = ApplyPortSymbolChange(sheet, port, &result);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(GetPortSymbolType(port), 2);
    PortSymbolInfoUndoHandler(sheet, record, false);
    char name[256];
    EXPECT_EQ(GetPortSymbolName(sheet, port, a, name, 256), 0);
    EXPECT_STREQ(name, "IN1");
    EXPECT_EQ(GetPortSymbolType(port), 1);
    PortSymbolInfoUndoHandler(sheet, record, false);
    EXPECT_EQ(GetPortSymbolType(port), 2);
    PortSymbolInfoUndoHandler(sheet, record, true);

    // Cancelled: every answer cleared.
    InDialog(nullptr, 27);
    EXPECT_EQ(PortNameDialog(sheet, port, a, SignalInfoValidationProc, nullptr, &result), 0);
    EXPECT_STREQ(result.netName, "");
}

TEST_F(SignalInfoTest, TheBussDialogsStoreTheirNames) {
    BussHandle buss = CreateBuss(sheet->bussList);
    ASSERT_NE(buss, nullptr);
    SetBussName(buss, sheet->stringBlock, "D[0:3]");
    char name[256] = "D[0:3]";
    int32_t option = 1;
    InDialog([&](VXWindowRecordTag* d) {
                 Type(d, 3, "ADDRESS[0:15]");
                 EXPECT_GT(WriteScreenshot(d, "bus-info-dialog.png").size(), 24u);
             },
             13);
    ASSERT_EQ(BusInfoDialog(sheet, buss, name, &option, true), 1);
    EXPECT_STREQ(name, "ADDRESS[0:15]");
    EXPECT_EQ(option, 1);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// The attribute list of the signal dialog.
VXWindowRecordTag* AttributeList(VXWindowRecordTag* dialog) {
    for (VXWindowRecordTag* w = VXGetFirstChild(dialog); w; w = VXGetNextWindow(w))
        if (VXGetListViewRecord(w)) return w;
    return nullptr;
}

void Key(VXWindowRecordTag* window, uint16_t c) {
    PlatformInputEvent event;
    event.kind = PlatformInputKind::kKeyDown;
    event.windowID = window->windowID;
    event.character = c;
    PlatformDeliverInput(event);
    event.kind = PlatformInputKind::kKeyUp;
    PlatformDeliverInput(event);
}

// The signal dialog lists the signal's attributes; "Val" typed as a new name completes to
// "Value" from the signal names, and OK stores the new attribute with the signal.
TEST_F(SignalInfoTest, TheSignalDialogEditsTheSignalsAttributesWithCompletedNames) {
    SignalHandle a = RatedSignal();
    InDialog([&](VXWindowRecordTag* d) {
                 // The list of the attributes: rows of 17; the name field of row 1 (the empty row).
                 VXWindowRecordTag* list = AttributeList(d);
                 ASSERT_NE(list, nullptr);
                 PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, list, 60, 17 + 8));
                 PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseUp, list, 60, 17 + 8));
                 for (char c : std::string("Val")) Key(list, uint16_t(c));
                 EXPECT_GT(WriteScreenshot(d, "signal-info-attributes.png").size(), 24u);
             },
             13);
    char name[256] = "A";
    EXPECT_EQ(SignalInfoDialog(sheet, a, name, nullptr, nullptr, 1, SignalInfoValidationProc), 1);
    char value[256];
    EXPECT_GE(GetSignalAttribute(a, sheet->stringBlock, "Rating", value, 256), 0);
    EXPECT_STREQ(value, "5");
    EXPECT_GE(GetSignalAttribute(a, sheet->stringBlock, "Value", value, 256), 0);
    for (auto& l : gPropertyNamesTable) l.clear();
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// Without members the chooser offers the sheet's next free signal name; OK starts the break-out
// naming with it (with the buss only when the sequence is to continue), Cancel empties the name.
TEST_F(SignalInfoTest, TheMemberChooserOffersAFreeNameAndStartsTheSequence) {
    BussHandle buss = CreateBuss(sheet->bussList);
    ASSERT_NE(buss, nullptr);
    char offered[256] = {};
    GetUniqueSignalName(sheet, nullptr, offered, 256);
    for (const bool keep : {false, true}) {
        char name[256] = {};
        InDialog([&](VXWindowRecordTag* d) {
                     if (keep) ClickItem(d, 4);
                     EXPECT_GT(WriteScreenshot(d, "bus-member-dialog.png").size(), 24u);
                 },
                 13);
        ASSERT_EQ(ChooseBusMemberNameDialog(sheet, buss, name), 1);
        EXPECT_STREQ(name, offered);
        EXPECT_STREQ(sheet->breakoutSequenceName, offered);
        EXPECT_EQ(sheet->breakoutSequenceBuss, keep ? buss : nullptr);
    }
    char name[256] = "D0";
    InDialog(nullptr, 27);
    EXPECT_EQ(ChooseBusMemberNameDialog(sheet, buss, name), 0);
    EXPECT_STREQ(name, "");
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// A name chosen from a row's names pop-up replaces the row's name and keeps its value.
TEST_F(SignalInfoTest, ANameChosenFromTheRowsPopupReplacesItsName) {
    SignalHandle a = RatedSignal();
    InDialog([&](VXWindowRecordTag* d) {
                 VXWindowRecordTag* list = AttributeList(d);
                 ASSERT_NE(list, nullptr);
                 TestScriptPopupChoice(0);
                 PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, list, 28, 8));
                 PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseUp, list, 28, 8));
                 EXPECT_GT(WriteScreenshot(d, "signal-info-names-popup.png").size(), 24u);
             },
             13);
    char name[256] = "A";
    EXPECT_EQ(SignalInfoDialog(sheet, a, name, nullptr, nullptr, 1, SignalInfoValidationProc), 1);
    char value[256];
    EXPECT_GE(GetSignalAttribute(a, sheet->stringBlock, "Voltage", value, 256), 0);
    EXPECT_STREQ(value, "5");
    EXPECT_LT(GetSignalAttribute(a, sheet->stringBlock, "Rating", value, 256), 0);
    for (auto& l : gPropertyNamesTable) l.clear();
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// The buss dialog shows or hides the label on the clicked segment and renames the buss.
TEST_F(SignalInfoTest, TheBussLabelFollowsTheDialogsChoice) {
    BussHandle buss = CreateBuss(sheet->bussList);
    ASSERT_NE(buss, nullptr);
    SetBussName(buss, sheet->stringBlock, "D[0:7]");
    WireHandle wire = CreateWire(nullptr);
    (void)InsertWireCorner(wire, {300, 100}, -1);  // fails only out of memory
    (void)InsertWireCorner(wire, {300, 400}, -1);
    (*wire)->flags |= kWireFlagBuss;
    CalcWireBounds(wire);
    LLPush((*buss)->wires, wire);
    for (const bool show : {true, false}) {
        InDialog([&](VXWindowRecordTag* d) {
                     if (VXGetItemChecked(d, 4) != show) ClickItem(d, 4);
                     if (show) Type(d, 3, "DATA[0:7]");
                 },
                 13);
        EditBussInfo(sheet, buss, wire, 0, Point{-1, -1});
        EXPECT_EQ(Labels(), show ? "DATA[0:7] " : "");
    }
    char name[256];
    GetBussName(buss, sheet->stringBlock, name, 256);
    EXPECT_STREQ(name, "DATA[0:7]");
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// Tab leaves the name field into the attributes: row 0's name is edited.
TEST_F(SignalInfoTest, TabMovesFromTheNameIntoTheAttributes) {
    SignalHandle a = RatedSignal();
    int32_t row = -2;
    int16_t column = -1;
    InDialog([&](VXWindowRecordTag* d) {
                 VXWindowRecordTag* list = AttributeList(d);
                 ASSERT_NE(list, nullptr);
                 PlatformControlTestKey(d->platformWindow, 9);
                 row = VXGetListViewEditFocus(list, &column, nullptr, nullptr);
                 VXWindowRecordTag* keyboard = nullptr;
                 (void)VXGetFocusWindow(d, &keyboard, nullptr);
                 EXPECT_EQ(keyboard, list);
             },
             27);
    char name[256] = "A";
    EXPECT_EQ(SignalInfoDialog(sheet, a, name, nullptr, nullptr, 1, SignalInfoValidationProc), 0);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 1);
    for (auto& l : gPropertyNamesTable) l.clear();
}

}  // namespace
}  // namespace plexa::test
