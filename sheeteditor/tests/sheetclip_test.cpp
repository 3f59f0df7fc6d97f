// The sheet clipboard: what Copy takes along with the selection, Delete of whole and partial nets
// with its undo, the bus-line question, and Cut.
#include <gtest/gtest.h>

#include "foundation/da.h"
#include "model/elements.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheetclip_testing.h"

namespace plexa::test {
namespace {

class SheetClip : public SheetClipTest {
protected:
    // R1 with a ground symbol hanging on its left pin, and a wire from its right pin to R2.
    void ResistorWithGround() {
        r1 = Part("R1", At(100, 96), {At(100, 100), At(140, 100)});
        gnd = Part(nullptr, At(100, 160), {At(100, 160)}, kSymbolFlagPort);
        r2 = Part("R2", At(200, 96), {At(200, 100), At(240, 100)});
        Wire({At(100, 100), At(100, 160)});
        Wire({At(140, 100), At(200, 100)});
    }
    // A line from A to B with C and D hanging on it: the line's middle piece joins two halves.
    WireHandle MiddleWire() {
        Part("A", At(0, 0), {At(0, 0)});
        Part("B", At(90, 0), {At(90, 0)});
        Part("C", At(30, 30), {At(30, 30)});
        Part("D", At(60, 30), {At(60, 30)});
        SignalHandle signal = Wire({At(0, 0), At(90, 0)});
        Wire({At(30, 30), At(30, 0)});
        Wire({At(60, 30), At(60, 0)});
        WireList wires = (*signal)->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
            const Point* c = WireCorners(w);
            if (c[0].v == 0 && c[1].v == 0 && std::min(c[0].h, c[1].h) == 30 && std::max(c[0].h, c[1].h) == 60) return w;
        }
        return nullptr;
    }

    SymbolRecord* r1 = nullptr;
    SymbolRecord* gnd = nullptr;
    SymbolRecord* r2 = nullptr;
};

TEST_F(SheetClip, CopyTakesTheHangingGroundAndTheWiresOfTheCopiedPins) {
    ResistorWithGround();
    Select(r1);
    CopySheetSelection(sheet, false);
    // Positions are relative to the grid point above and left of the selection (R1's 96, 96).
    EXPECT_EQ(ClipDump(),
              "symbols 2\n"
              "  #1 serial 1 at (4,0) map -1 attributes 1 designator \"R1\"\n"
              "  #2 serial 2 at (4,64) flags 0x00000200 map -1\n"
              "signals 2\n"
              "  S1 \"SIG002\" bounds (44,4)-(105,5)\n"
              "    pin 0: serial 1 node 1\n"
              "    W1 pin 0 - free: (44,4) (104,4)\n"
              "  S2 \"SIG001\" flags 0x0001 bounds (4,4)-(5,65)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0 flags 0x02\n"
              "    W1 pin 0 - pin 1: (4,4) (4,64)\n");
    EXPECT_EQ(CurrClip->hasContent, 1);
    EXPECT_EQ(CurrClip->flags, kClipHasObjects);
    EXPECT_EQ(sheet->lastCopiedClipId, CurrClip->clipId);
}

TEST_F(SheetClip, CopyWithShiftTakesOnlyTheSelection) {
    ResistorWithGround();
    Select(r1);
    CopySheetSelection(sheet, true);
    EXPECT_EQ(ClipDump(), "symbols 1\n  #1 serial 1 at (4,0) map -1 attributes 1 designator \"R1\"\n");
    // A clip of wires alone cannot be pasted.
    Unselect(sheet);
    SignalHandle ground = static_cast<SignalHandle>(LLGetIndexedLink(sheet->signalList, 1));
    (*FirstWire((*ground)->wires))->flags |= kWireFlagSelected;
    CopySheetSelection(sheet, true);
    EXPECT_EQ(CurrClip->hasContent, 0);
}

TEST_F(SheetClip, DeletingTheMiddleWireLeavesTwoSignalsAndUndoGivesOneBack) {
    WireHandle middle = MiddleWire();
    ASSERT_NE(middle, nullptr);
    const std::string before = Dump();
    (*middle)->flags |= kWireFlagSelected;
    const std::string selected = Dump();
    ASSERT_TRUE(DeleteSheetSelection(sheet, kUndoActionDelete, true, false));
    const std::string after = Dump();
    EXPECT_EQ(Dump(sheet, kDumpSignals),
              "signals 2\n"
              "  S1 \"SIG002\" bounds (0,0)-(31,31)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 3 node 0\n"
              "    W1 pin 1 - pin 0: (30,30) (30,0) (0,0)\n"
              "  S2 \"SIG001\" bounds (60,0)-(91,31)\n"
              "    pin 0: serial 2 node 0\n"
              "    pin 1: serial 4 node 0\n"
              "    W1 pin 1 - pin 0: (60,30) (60,0) (90,0)\n");
    EXPECT_EQ(UndoText(), "Undo Delete");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), selected);
    EXPECT_EQ(UndoText(), "Redo Delete");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), selected);
    (void)before;
}

TEST_F(SheetClip, NoToTheBusLineQuestionChangesNothing) {
    BussHandle buss = Buss("D[0:3]", {{At(0, 100), At(200, 100)}}, kWireFlagSelected);
    ASSERT_GE(AddBussBreakout(sheet->breakOutTable, buss, At(50, 100), At(55, 95)), 0);
    const std::string before = Dump();
    InDialog([](VXWindowRecordTag*) {}, 27);
    EXPECT_FALSE(DeleteSheetSelection(sheet, kUndoActionDelete, true, false));
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(GetSheetUndoRecord(sheet), nullptr);
    // Cut asks the same question: declined, it neither copies nor removes the line.
    InDialog([](VXWindowRecordTag*) {}, 27);
    CutSheetSelection(sheet, false);
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(CurrClip->content, nullptr);
    // Yes removes the line with its break-outs.
    InDialog([](VXWindowRecordTag*) {}, 13);
    EXPECT_TRUE(DeleteSheetSelection(sheet, kUndoActionDelete, true, false));
    EXPECT_EQ(Dump(sheet, kDumpBusses), "");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), before);
}

// The middle line of a bus of three lines in a row deleted: the two lines left apart are two
// busses of the one name, each with the label and the break-out (and its signal) lying on it;
// undo gives the one bus back as it was, redo the two again.
TEST_F(SheetClip, DeletingTheMiddleLineOfABusLeavesTwoBusses) {
    BussHandle buss = Buss("D[0:3]", {{At(0, 100), At(100, 100)}, {At(100, 100), At(200, 100)},
                                      {At(200, 100), At(300, 100)}});
    WireHandle lines[3] = {};
    for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w))
        lines[WireCorners(w)[0].h / 100] = w;
    for (int32_t end : {0, 2}) {
        ASSERT_NE(CreateBussWireLabel(sheet, buss, lines[end], 0, true), nullptr);
        const int16_t h = int16_t(end * 100 + 50);
        const int32_t row = AddBussBreakout(sheet->breakOutTable, buss, At(h, 100), At(int16_t(h + 5), 95));
        ASSERT_GE(row, 0);
        BreakOutWire(end ? "D2" : "D0", row, At(int16_t(h + 5), 95), At(int16_t(h + 5), 40));
    }
    (*lines[1])->flags |= kWireFlagSelected;
    const std::string selected = Dump();
    ASSERT_TRUE(DeleteSheetSelection(sheet, kUndoActionDelete, true, false));
    const std::string after = Dump();
    EXPECT_EQ(Dump(sheet, kDumpBusses | kDumpTexts),
              "busses 2\n"
              "  B1 \"D[0:3]\" bounds (-1,99)-(102,102)\n"
              "    W1 free - free flags 0x0002: (0,100) (100,100)\n"
              "    label T2 \"D[0:3]\" on W1 segment 0\n"
              "  B2 \"D[0:3]\" bounds (199,99)-(302,102)\n"
              "    W1 free - free flags 0x0002: (200,100) (300,100)\n"
              "    label T1 \"D[0:3]\" on W1 segment 0\n"
              "breakouts 2\n"
              "  row 0: (50,100)-(55,95) buss B1\n"
              "  row 1: (250,100)-(255,95) buss B2\n"
              "texts 2\n"
              "  T1 kind 0x0002 owner B2 flags 0x0020 at (233,98) \"D[0:3]\"\n"
              "  T2 kind 0x0002 owner B1 flags 0x0020 at (33,98) \"D[0:3]\"\n");
    EXPECT_EQ(UndoText(), "Undo Delete");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), selected);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
}

TEST_F(SheetClip, CutThenUndoMakesTheClipUnavailableAndRedoBringsItBack) {
    ResistorWithGround();
    const std::string before = Dump();
    Select(r1);
    const std::string selected = Dump();
    CutSheetSelection(sheet, false);
    EXPECT_EQ(CurrClip->flags & (kClipFromCut | kClipCutUndone), kClipFromCut);
    EXPECT_EQ(Dump(sheet, kDumpSymbols | kDumpSignals),
              "symbols 1\n  #1 serial 3 at (200,96) map -1 attributes 1 designator \"R2\"\n");
    EXPECT_EQ(UndoText(), "Undo Cut");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), selected);
    EXPECT_EQ(CurrClip->flags & kClipCutUndone, kClipCutUndone);
    UndoSheetAction(sheet);
    EXPECT_EQ(CurrClip->flags & kClipCutUndone, 0);
    (void)before;
}

TEST_F(SheetClip, DeleteWithoutUndoFreesAtOnce) {
    ResistorWithGround();
    Select(r2);
    ASSERT_TRUE(DeleteSheetSelection(sheet, 0, false, false));
    // The wire from R1 to R2 went with R2: its only pin left is R1's.
    EXPECT_EQ(Dump(sheet, kDumpSymbols | kDumpSignals),
              "symbols 2\n"
              "  #1 serial 1 at (100,96) map -1 attributes 1 designator \"R1\"\n"
              "  #2 serial 2 at (100,160) flags 0x00000200 map -1\n"
              "signals 1\n"
              "  S1 \"SIG001\" flags 0x0001 bounds (100,100)-(101,161)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0 flags 0x02\n"
              "    W1 pin 0 - pin 1: (100,100) (100,160)\n");
    EXPECT_EQ(GetSheetUndoRecord(sheet) ? GetSheetUndoRecord(sheet)->actionKind : 0, 0);
}

// Without undo, the middle wire of a signal and the middle line of a bus deleted leave two of
// each, and the bus label that lay on the line that went is freed once, with it; so is the label
// of a bus deleted whole.
TEST_F(SheetClip, DeleteWithoutUndoFreesTheLabelsOfPartsThatWentOnce) {
    WireHandle middle = MiddleWire();
    ASSERT_NE(middle, nullptr);
    (*middle)->flags |= kWireFlagSelected;
    BussHandle whole = Buss("B[0:1]", {{At(0, 300), At(100, 300)}});
    ASSERT_NE(CreateBussWireLabel(sheet, whole, FirstWire((*whole)->wires), 0, true), nullptr);
    (*FirstWire((*whole)->wires))->flags |= kWireFlagSelected;
    BussHandle buss = Buss("A[0:1]", {{At(0, 200), At(100, 200)}, {At(100, 200), At(200, 200)},
                                      {At(200, 200), At(300, 200)}});
    for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w)) {
        if (WireCorners(w)[0].h != 100) continue;
        ASSERT_NE(CreateBussWireLabel(sheet, buss, w, 0, true), nullptr);
        (*w)->flags |= kWireFlagSelected;
    }
    ASSERT_TRUE(DeleteSheetSelection(sheet, 0, false, false));
    EXPECT_EQ(Dump(sheet, kDumpTexts), "");
    auto count = [](LinkListHeader* list) {
        int n = 0;
        for (void* i = LLFirst(list); i; i = LLGetNext(list, i)) ++n;
        return n;
    };
    EXPECT_EQ(count(sheet->bussList), 2);
    EXPECT_EQ(count(sheet->signalList), 2);
}

TEST_F(SheetClip, DeleteWithShiftKeepsTheWiresAndDropsThePinsOfTheSymbolsThatWent) {
    ResistorWithGround();
    Select(r2);
    const std::string selected = Dump();
    ASSERT_TRUE(DeleteSheetSelection(sheet, kUndoActionDelete, true, true));
    EXPECT_EQ(Dump(sheet, kDumpSymbols | kDumpSignals),
              "symbols 2\n"
              "  #1 serial 1 at (100,96) map -1 attributes 1 designator \"R1\"\n"
              "  #2 serial 2 at (100,160) flags 0x00000200 map -1\n"
              "signals 2\n"
              "  S1 \"SIG002\" bounds (140,100)-(201,101)\n"
              "    pin 0: serial 1 node 1\n"
              "    W1 pin 0 - free: (140,100) (200,100)\n"
              "  S2 \"SIG001\" flags 0x0001 bounds (100,100)-(101,161)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0 flags 0x02\n"
              "    W1 pin 0 - pin 1: (100,100) (100,160)\n");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), selected);
}

TEST_F(SheetClip, DeletingASelectedSymbolTextHidesItAndUndoShowsItSelected) {
    ResistorWithGround();
    TextRecord* text = CreateDrawingText(sheet, kTextKindDesignator, 0, At(100, 88), "R1");
    ASSERT_NE(text, nullptr);
    text->owner = TextOwnerSerial(r1->serial);
    text->flags |= kTextFlagSelected;
    const std::string selected = Dump();
    ASSERT_TRUE(DeleteSheetSelection(sheet, kUndoActionDelete, true, false));
    EXPECT_EQ(text->flags & (kTextFlagHidden | kTextFlagSelected), kTextFlagHidden);
    const std::string after = Dump();
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), selected);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
}

// A rectangle as "top left bottom right".
std::string Text(const Rect& r) {
    return std::to_string(r.top) + " " + std::to_string(r.left) + " " + std::to_string(r.bottom) + " " + std::to_string(r.right);
}

TEST_F(SheetClip, ThePictureSpansTheCopiedItemsLeavingOutHiddenElements) {
    ResistorWithGround();
    Select(r1);
    CopySheetSelection(sheet, false);
    EXPECT_EQ(ClipPlainText(), "R1\n");
    // The two wires: symbols without a drawing add nothing.
    Rect bounds{};
    DrawClipboardContent(true, &bounds);
    EXPECT_EQ(Text(bounds), "4 4 65 105");
    ElementRecord* box = BuildCommonElement(kElementRect, At(200, 10), At(220, 30), 1, 0, 0, false, false, 0, false, 0, false);
    ASSERT_NE(box, nullptr);
    LLPush(CurrClip->content->elementList, box);
    DrawClipboardContent(true, &bounds);
    EXPECT_EQ(bounds.right, box->bounds.right);
    // A sheet that hid its hideable elements copied none into the picture.
    box->flags |= kElementHideable;
    DrawClipboardContent(true, &bounds);
    EXPECT_EQ(bounds.right, box->bounds.right);
    CurrClip->flags |= kClipElementOption;
    DrawClipboardContent(true, &bounds);
    EXPECT_EQ(Text(bounds), "4 4 65 105");

    // R1 alone has nothing to draw.
    CopySheetSelection(sheet, true);
    DrawClipboardContent(true, &bounds);
    EXPECT_EQ(Text(bounds), "0 0 0 0");
}

}  // namespace
}  // namespace plexa::test
