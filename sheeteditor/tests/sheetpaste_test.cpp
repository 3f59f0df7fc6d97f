// Pasting and duplicating: where pastes land, serial numbers and designators of pasted symbols,
// signal merging, undo of a paste, and a pasted sheet through its file.
#include <gtest/gtest.h>

#include "files/sheetcontents.h"
#include "foundation/filespec.h"
#include "model/annotation.h"
#include "model/components.h"
#include "model/elements.h"
#include "sheeteditor/sheetpaste.h"
#include "sheeteditor/tests/sheetclip_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

class SheetPaste : public SheetClipTest {
protected:
    SymbolRecord* Resistor() {
        SymbolRecord* r = Part("R1", At(96, 96), {At(96, 100), At(136, 100)});
        Part(nullptr, At(96, 160), {At(96, 160)}, kSymbolFlagPort);
        Wire({At(96, 100), At(96, 160)});
        return r;
    }
    std::string Symbols(SheetRecord* s = nullptr) { return Dump(s, kDumpSymbols); }
};

struct StepCase {
    int16_t grid;
    int16_t step;
};

class PasteSteps : public SheetPaste, public ::testing::WithParamInterface<StepCase> {};

TEST_P(PasteSteps, ThreePastesLandOneTwoAndThreeStepsAway) {
    sheet->view.gridSpacing = GetParam().grid;
    EXPECT_EQ(PasteStep(GetParam().grid), GetParam().step);
    SymbolRecord* r = Part("R1", At(180, 180), {});
    Select(r);
    CopySheetSelection(sheet, false);
    const Point copied = r->position;
    for (int32_t n = 1; n <= 3; ++n) {
        Unselect(sheet);
        PasteIntoSheet(sheet);
        auto* pasted = static_cast<SymbolRecord*>(LLLast(sheet->symbolList));
        EXPECT_EQ(pasted->position.h, copied.h + n * GetParam().step) << n;
        EXPECT_EQ(pasted->position.v, copied.v + n * GetParam().step) << n;
        EXPECT_TRUE(pasted->flags & kSymbolFlagSelected);
    }
}

INSTANTIATE_TEST_SUITE_P(Grids, PasteSteps,
                         ::testing::Values(StepCase{12, 36}, StepCase{9, 36}, StepCase{10, 40}, StepCase{0, 36},
                                           StepCase{-5, 36}, StepCase{50, 50}));

TEST_F(SheetPaste, CutThenPasteKeepsSerialsAndDesignatorsAndASecondPasteRenumbers) {
    SymbolRecord* r = Resistor();
    Part("R2", At(300, 96), {});
    Select(r);
    const std::string before = Symbols();
    CutSheetSelection(sheet, false);
    PasteIntoSheet(sheet);
    // The symbols come back at the end of the list, where they were and as they were.
    EXPECT_EQ(Symbols(),
              "symbols 3\n"
              "  #1 serial 3 at (300,96) map -1 attributes 1 designator \"R2\"\n"
              "  #2 serial 1 at (96,96) flags 0x01000000 map -1 attributes 1 designator \"R1\"\n"
              "  #3 serial 2 at (96,160) flags 0x01000200 map -1\n");
    (void)before;
    Unselect(sheet);
    PasteIntoSheet(sheet);
    EXPECT_EQ(Symbols(),
              "symbols 5\n"
              "  #1 serial 3 at (300,96) map -1 attributes 1 designator \"R2\"\n"
              "  #2 serial 1 at (96,96) map -1 attributes 1 designator \"R1\"\n"
              "  #3 serial 2 at (96,160) flags 0x00000200 map -1\n"
              "  #4 serial 4 at (132,132) flags 0x01000000 map -1 attributes 1 designator \"R3\"\n"
              "  #5 serial 5 at (132,196) flags 0x01000200 map -1\n");
}

TEST_F(SheetPaste, ATwoSectionComponentGetsOneNewDesignator) {
    ComponentRecord* made = CreateComponent(1, 1, 1, 2, 1);
    ASSERT_NE(made, nullptr);
    SetCompRefPrefix(made, sheet->stringBlock, "U");
    ComponentRecord* u = InstallCompInSheet(sheet, made);
    SymbolRecord* a = Part(nullptr, At(96, 96), {});
    SymbolRecord* b = Part(nullptr, At(192, 96), {});
    for (SymbolRecord* s : {a, b}) {
        s->component = u;
        Select(s);
    }
    ASSERT_TRUE(SetSymbolAnnotation(sheet, a->serial, "U1", 0));
    ASSERT_TRUE(SetSymbolAnnotation(sheet, b->serial, "U1", 1));
    CopySheetSelection(sheet, false);
    Unselect(sheet);
    const std::string before = Dump();
    PasteIntoSheet(sheet);
    const std::string after = Dump();
    char text[kAnnotationTextSize];
    auto* first = static_cast<SymbolRecord*>(LLGetIndexedLink(sheet->symbolList, 2));
    auto* second = static_cast<SymbolRecord*>(LLGetIndexedLink(sheet->symbolList, 3));
    EXPECT_EQ(GetSymbolAnnotation(sheet, first->serial, text), 0);
    EXPECT_STREQ(text, "U2");
    EXPECT_EQ(GetSymbolAnnotation(sheet, second->serial, text), 1);
    EXPECT_STREQ(text, "U2");
    EXPECT_EQ(first->component, second->component);
    // Undo takes the new designators away with the symbols; redo brings both back.
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), before);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
    // Undone and then forgotten, the paste's component goes for good.
    UndoSheetAction(sheet);
    ClearSheetUndoAction(sheet);
    EXPECT_EQ(Dump(), before);
}

TEST_F(SheetPaste, APlainNetWithATakenNameIsRenamedAndAPortNetJoins) {
    SymbolRecord* r = Resistor();
    Select(r);
    CopySheetSelection(sheet, false);
    Unselect(sheet);
    PasteIntoSheet(sheet);
    // The ground net carries a port symbol: the pasted one joins the sheet's.
    EXPECT_EQ(Dump(sheet, kDumpSignals),
              "signals 1\n"
              "  S1 \"SIG001\" flags 0x0001 bounds (96,100)-(133,197)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0 flags 0x02\n"
              "    pin 2: serial 3 node 0\n"
              "    pin 3: serial 4 node 0 flags 0x02\n"
              "    W1 pin 0 - pin 1: (96,100) (96,160)\n"
              "    W2 pin 2 - pin 3 flags 0x0001: (132,136) (132,196)\n");
    // A plain wire net of that name takes a fresh one.
    Unselect(sheet);
    SymbolRecord* a = Part("A", At(600, 600), {At(600, 600)});
    Part("B", At(660, 600), {At(660, 600)});
    SignalHandle plain = Wire({At(600, 600), At(660, 600)});
    SetSignalName(plain, sheet->stringBlock, "N1");
    Unselect(sheet);
    Select(a);
    (*FirstWire((*plain)->wires))->flags |= kWireFlagSelected;
    CopySheetSelection(sheet, false);
    Unselect(sheet);
    PasteIntoSheet(sheet);
    auto last = static_cast<SignalHandle>(LLLast(sheet->signalList));
    EXPECT_EQ(Dump(sheet, kDumpSignals).find("\"N1\"") != std::string::npos, true);
    char name[kSignalNameSize];
    GetSignalName(last, sheet->stringBlock, name, sizeof name);
    EXPECT_STREQ(name, "SIG002");
}

TEST_F(SheetPaste, UndoOfAPasteGivesTheSheetBackAndRedoThePaste) {
    SymbolRecord* r = Resistor();
    Select(r);
    CopySheetSelection(sheet, false);
    Unselect(sheet);
    const std::string before = Dump();
    PasteIntoSheet(sheet);
    const std::string after = Dump();
    EXPECT_EQ(UndoText(), "Undo Paste");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), before);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
}

TEST_F(SheetPaste, DuplicateLeavesTheClipboardAsItWas) {
    SymbolRecord* r = Resistor();
    Part("R2", At(300, 96), {});
    Select(r);
    CutSheetSelection(sheet, false);
    const uint32_t id = CurrClip->clipId;
    const std::string clip = ClipDump();
    auto* r2 = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
    Select(r2);
    DuplicateSheetSelection(sheet, false);
    EXPECT_EQ(UndoText(), "Undo Duplicate");
    EXPECT_EQ(CurrClip->clipId, id);
    EXPECT_EQ(ClipDump(), clip);
    EXPECT_EQ(sheet->lastCopiedClipId, id);
    // The pending Cut still comes back with its serial numbers.
    Unselect(sheet);
    PasteIntoSheet(sheet);
    // R1 comes back with its serial numbers; its designator is the duplicate's now, so it takes
    // the next free one.
    EXPECT_EQ(Symbols(),
              "symbols 4\n"
              "  #1 serial 3 at (300,96) map -1 attributes 1 designator \"R2\"\n"
              "  #2 serial 4 at (336,132) map -1 attributes 1 designator \"R1\"\n"
              "  #3 serial 1 at (96,96) flags 0x01000000 map -1 attributes 1 designator \"R3\"\n"
              "  #4 serial 2 at (96,160) flags 0x01000200 map -1\n");
}

TEST_F(SheetPaste, APasteThatWouldMissThePageIsCentredOnIt) {
    SymbolRecord* r = Part("R1", At(180, 180), {});
    Select(r);
    CopySheetSelection(sheet, false);
    CurrClip->pastePoint = At(-3000, -3000);
    Unselect(sheet);
    PasteIntoSheet(sheet);
    auto* pasted = static_cast<SymbolRecord*>(LLLast(sheet->symbolList));
    const Rect& page = sheet->sheetBounds;
    EXPECT_NEAR(pasted->position.h, (page.left + page.right) / 2, 12);
    EXPECT_NEAR(pasted->position.v, (page.top + page.bottom) / 2, 12);
    // The next paste goes on from there.
    const Point first = pasted->position;
    PasteIntoSheet(sheet);
    pasted = static_cast<SymbolRecord*>(LLLast(sheet->symbolList));
    EXPECT_EQ(pasted->position.h, first.h + 36);
    EXPECT_EQ(pasted->position.v, first.v + 36);
}

TEST_F(SheetPaste, ABussWithABreakOutAndItsSignalComeAlong) {
    BussHandle buss = Buss("D[0:3]", {{At(96, 48), At(300, 48)}}, kWireFlagSelected);
    const int32_t row = AddBussBreakout(sheet->breakOutTable, buss, At(120, 48), At(132, 60));
    ASSERT_GE(row, 0);
    SymbolRecord* r = Part("R1", At(132, 96), {At(132, 96)});
    SignalHandle signal = BreakOutWire("D0", row, At(132, 60), At(132, 96));
    WireHandle wire = FirstWire((*signal)->wires);
    (*wire)->end1 = uint16_t(AddPinToSignal(signal, r, 0));
    CalcSignalScopeFlags(signal);
    Select(r);
    CopySheetSelection(sheet, false);
    EXPECT_EQ(ClipDump(kDumpSignals | kDumpBusses),
              "signals 1\n"
              "  S1 \"D0\" flags 0x0004 bounds (27,3)-(45,49)\n"
              "    pin 0: serial 1 node 0\n"
              "    W1 breakout 0 - pin 0: (36,12) (36,48)\n"
              "busses 1\n"
              "  B1 \"D[0:3]\" bounds (-1,-1)-(206,2)\n"
              "    W1 free - free flags 0x0002: (0,0) (204,0)\n"
              "breakouts 1\n"
              "  row 0: (24,0)-(36,12) buss B1\n");
    SheetRecord* other = NewSheet();
    ASSERT_NE(other, nullptr);
    const std::string empty = Dump(other);
    PasteIntoSheet(other);
    // The row points at the pasted buss; the signal's end at the row.
    EXPECT_EQ(Dump(other, kDumpSignals | kDumpBusses),
              "signals 1\n"
              "  S1 \"D0\" flags 0x0004 bounds (159,87)-(177,133)\n"
              "    pin 0: serial 1 node 0\n"
              "    W1 breakout 0 - pin 0 flags 0x0001: (168,96) (168,132)\n"
              "busses 1\n"
              "  B1 \"D[0:3]\" bounds (131,83)-(338,86)\n"
              "    W1 free - free flags 0x0003: (132,84) (336,84)\n"
              "breakouts 1\n"
              "  row 0: (156,84)-(168,96) buss B1\n");
    UndoSheetAction(other);
    EXPECT_EQ(Dump(other), empty);
}

TEST_F(SheetPaste, OverlappingElementsKeepTheirStackingOrder) {
    // A filled rectangle over an oval, at the head of the list (drawn last, on top).
    ElementRecord* oval = BuildCommonElement(kElementOval, At(100, 100), At(160, 140), 1, 0, 0, false, false, 0, false, 0, false);
    ElementRecord* box = BuildCommonElement(kElementRect, At(120, 110), At(180, 150), 2, 0, 0, true, false, 0, false, 0, false);
    ASSERT_TRUE(oval && box);
    LLPush(sheet->elementList, oval);
    LLPush(sheet->elementList, box);
    oval->flags |= kElementSelected;
    box->flags |= kElementSelected;
    CopySheetSelection(sheet, false);
    SheetRecord* other = NewSheet();
    ASSERT_NE(other, nullptr);
    PasteIntoSheet(other);
    const std::string pasted = Dump(other, kDumpElements);
    const size_t rect = pasted.find("kind 3"), ellipse = pasted.find("kind 4");
    ASSERT_NE(rect, std::string::npos);
    ASSERT_NE(ellipse, std::string::npos);
    EXPECT_LT(rect, ellipse) << pasted;
}

TEST_F(SheetPaste, APastedSheetSavedAndReopenedDumpsTheSame) {
    SymbolRecord* r = Resistor();
    Select(r);
    CopySheetSelection(sheet, false);
    SheetRecord* other = NewSheet();
    ASSERT_NE(other, nullptr);
    PasteIntoSheet(other);
    PasteIntoSheet(other);
    Unselect(other);
    TempDir dir;
    FileSpec spec{};
    ASSERT_EQ(FileSpecFromURL(dir.path() + "/pasted.sch", &spec, false, nullptr), 0);
    ASSERT_EQ(WriteSheetFile(other, &spec), 0);
    SheetRecord* read = nullptr;
    ASSERT_EQ(LoadSheetFile(&spec, &read), 0);
    sheets.Keep(read);
    EXPECT_EQ(Dump(read, kDumpAll & ~kDumpSheet), Dump(other, kDumpAll & ~kDumpSheet));
}

}  // namespace
}  // namespace plexa::test
