// Sheet undo: the menu texts, commit rules, the order of replay, and seeded runs of edits each
// undone and redone against the sheet dump.
#include <gtest/gtest.h>

#include <random>

#include "graphics/regions.h"
#include "model/sheetselected.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetpaste.h"
#include "sheeteditor/tests/sheetclip_testing.h"

namespace plexa::test {
namespace {

using SheetUndo = SheetClipTest;

TEST(SheetUndoText, MenuTextsByKindAndDirection) {
    const struct {
        uint16_t kind;
        uint8_t redo;
        const char* text;
    } cases[] = {{kUndoActionMove, 0, "Undo Move"},
                 {kUndoActionMove, 1, "Redo Move"},
                 {kUndoActionTransformation, 0, "Undo Transformation"},
                 {kUndoActionWireChange, 1, "Redo Wire Change"},
                 {kUndoActionCut, 0, "Undo Cut"},
                 {kUndoActionDelete, 0, "Undo Delete"},
                 {kUndoActionPaste, 1, "Redo Paste"},
                 {kUndoActionDuplicate, 0, "Undo Duplicate"},
                 {kUndoActionSignalModification, 0, "Undo Signal Modification"},
                 {kUndoActionCreation, 1, "Redo Creation"},
                 {0, 0, "Undo "},
                 {13, 1, "Redo "}};
    for (const auto& c : cases) {
        UndoRecord record;
        record.actionKind = c.kind;
        record.redo = c.redo;
        char text[64];
        GetUndoMenuItemText(&record, text);
        EXPECT_STREQ(text, c.text) << c.kind;
    }
}

TEST_F(SheetUndo, AnActionWithoutOperationsIsNotCommittedAndTheOldOneIsGone) {
    SymbolRecord* r = Part("R1", At(0, 0), {});
    StartSheetUndoCollection(sheet, kUndoActionMove);
    CollectUndoMoveSheetItem(sheet, kUndoItemSymbol, r, At(10, 0), 0);
    r->position.h = 10;
    AcceptSheetUndoCollection(sheet);
    EXPECT_EQ(UndoText(), "Undo Move");
    StartSheetUndoCollection(sheet, kUndoActionDelete);
    AcceptSheetUndoCollection(sheet);
    EXPECT_EQ(GetSheetUndoRecord(sheet)->actionKind, kUndoActionNone);
    UndoSheetAction(sheet);
    EXPECT_EQ(r->position.h, 10);
}

TEST_F(SheetUndo, RedoReplaysTheOperationsInTheOrderTheyWereMade) {
    SymbolRecord* r = Part("R1", At(40, 20), {});
    const std::string before = Dump();
    // A quarter turn about (0, 0), then a move to the right: the two do not commute.
    StartSheetUndoCollection(sheet, kUndoActionTransformation);
    TransformSymbolInstance(r, At(0, 0), 1);
    CollectUndoMoveSheetItem(sheet, kUndoItemSymbol, r, At(0, 0), 1);
    r->position.h = int16_t(r->position.h + 12);
    CollectUndoMoveSheetItem(sheet, kUndoItemSymbol, r, At(12, 0), 0);
    AcceptSheetUndoCollection(sheet);
    const std::string after = Dump();
    ASSERT_NE(after, before);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(UndoText(), "Redo Transformation");
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), before);
}

TEST_F(SheetUndo, TheHighlightFollowsAMovedTextBackAndForth) {
    TextRecord* text = CreateDrawingText(sheet, kTextKindFree, 0, At(300, 300), "note");
    ASSERT_NE(text, nullptr);
    text->flags |= kTextFlagSelected;
    ASSERT_NE(sheet->selectionRegion, nullptr);
    BuildDrawingSelectRgn(sheet);
    auto highlight = [&] {
        const LRect& b = sheet->selectionRegion->bounds;
        return std::to_string(b.left) + "," + std::to_string(b.top) + "-" + std::to_string(b.right) + "," +
               std::to_string(b.bottom);
    };
    const std::string before = highlight();
    MoveDrawingSelection(sheet, 120, 48);
    const std::string moved = highlight();
    ASSERT_NE(moved, before);
    UndoSheetAction(sheet);
    EXPECT_EQ(highlight(), before);
    UndoSheetAction(sheet);
    EXPECT_EQ(highlight(), moved);
}

TEST_F(SheetUndo, ASignalModificationOfManySignalsRenamesEveryOneBack) {
    // Six signals, each with a label showing its name, renamed in one action.
    std::vector<SignalHandle> signals;
    for (int16_t i = 0; i < 6; ++i) {
        SignalHandle signal = Wire({At(int16_t(i * 60), 0), At(int16_t(i * 60 + 40), 0)});
        ASSERT_NE(CreateSignalWireLabel(sheet, signal, FirstWire((*signal)->wires), 0, false), nullptr);
        signals.push_back(signal);
    }
    const std::string before = Dump();
    StartSheetUndoCollection(sheet, kUndoActionSignalModification);
    for (size_t i = 0; i < signals.size(); ++i) {
        CollectUndoSheetChangeItemString(sheet, kUndoItemSignal, signals[i], (*signals[i])->name, 3);
        SetSignalName(signals[i], sheet->stringBlock, ("NET" + std::to_string(i)).c_str());
        UpdateSignalNames(sheet, signals[i], nullptr);
    }
    AcceptSheetUndoCollection(sheet);
    const std::string after = Dump();
    EXPECT_NE(after.find("\"NET5\""), std::string::npos);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), before);
    UndoSheetAction(sheet);
    EXPECT_EQ(Dump(), after);
}

// A chain of parts with grounds, wired pin to pin.
class SeededEdits : public SheetClipTest, public ::testing::WithParamInterface<uint32_t> {
protected:
    void Build() {
        for (int16_t i = 0; i < 6; ++i) {
            const int16_t x = int16_t(96 + i * 96);
            Part(("R" + std::to_string(i + 1)).c_str(), At(x, 96), {At(x, 96), At(int16_t(x + 48), 96)});
            Part(nullptr, At(x, 192), {At(x, 192)}, kSymbolFlagPort);
            Wire({At(x, 96), At(x, 192)});
            if (i) Wire({At(int16_t(x - 48), 96), At(x, 96)});
        }
        // A buss of two lines above the chain, with a break-out wired down to R1's right pin.
        BussHandle buss = Buss("D[0:7]", {{At(96, 24), At(336, 24)}, {At(336, 24), At(576, 24)}});
        BreakOutWire("D0", AddBussBreakout(sheet->breakOutTable, buss, At(144, 24), At(144, 36)), At(144, 36),
                     At(144, 96));
        // Labels on the first wire of every other signal, a designator text of each part and a
        // free note.
        int32_t n = 0;
        for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s), ++n)
            if (n % 2 == 0) {
                auto net = static_cast<SignalHandle>(s);
                (void)CreateSignalWireLabel(sheet, net, FirstWire((*net)->wires), 0, false);  // placed on its wire
            }
        for (void* i = LLFirst(sheet->symbolList); i; i = LLGetNext(sheet->symbolList, i)) {
            auto* part = static_cast<SymbolRecord*>(i);
            if (part->flags & kSymbolFlagPort) continue;
            TextRecord* text = CreateDrawingText(sheet, kTextKindDesignator, 0, At(part->position.h, int16_t(part->position.v - 8)), "R");
            if (text) text->owner = TextOwnerSerial(part->serial);
        }
        (void)CreateDrawingText(sheet, kTextKindFree, 0, At(300, 300), "note");  // kept by the sheet
    }
    // Texts too are chosen one in four.
    void SelectTexts(std::mt19937& random) {
        for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t))
            if (random() % 4 == 0) static_cast<TextRecord*>(t)->flags |= kTextFlagSelected;
    }
    // Selects each symbol and wire with a chance of one in four.
    void SelectSome(std::mt19937& random) {
        Unselect(sheet);
        for (void* i = LLFirst(sheet->symbolList); i; i = LLGetNext(sheet->symbolList, i))
            if (random() % 4 == 0) static_cast<SymbolRecord*>(i)->flags |= kSymbolFlagSelected;
        for (LinkListHeader* nets : {sheet->signalList, sheet->bussList})
            for (void* n = LLFirst(nets); n; n = LLGetNext(nets, n)) {
                WireList wires = static_cast<NetRecordHead**>(n)[0]->wires;
                for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
                    if (random() % 4 == 0) (*w)->flags |= kWireFlagSelected;
            }
    }
};

TEST_P(SeededEdits, EachEditUndoesToTheDumpBeforeAndRedoesToTheDumpAfter) {
    Build();
    std::mt19937 random(GetParam());
    const char* names[] = {"delete", "cut", "paste", "duplicate"};
    for (int32_t step = 0; step < 12; ++step) {
        const uint32_t kind = random() % 4;
        SelectSome(random);
        SelectTexts(random);
        RetakeSheetSelectedItems(sheet);  // the marks were set by hand, as Select All sets them
        if (kind == 2) {
            CopySheetSelection(sheet, random() % 2 == 0);
            Unselect(sheet);
        }
        const std::string before = Dump();
        switch (kind) {
        case 0: ASSERT_TRUE(DeleteSheetSelection(sheet, kUndoActionDelete, false, random() % 3 == 0)); break;
        case 1: CutSheetSelection(sheet, false); break;
        case 2: PasteIntoSheet(sheet); break;
        default: DuplicateSheetSelection(sheet, false); break;
        }
        const std::string after = Dump();
        // An edit that found nothing to do leaves the sheet and its last action alone.
        if (after == before) continue;
        const UndoRecord* record = GetSheetUndoRecord(sheet);
        ASSERT_TRUE(record && record->actionKind != kUndoActionNone && !record->redo)
            << names[kind] << " at step " << step << " changed the sheet with no undo";
        UndoSheetAction(sheet);
        ASSERT_EQ(Dump(), before) << "undo of " << names[kind] << " at step " << step;
        UndoSheetAction(sheet);
        ASSERT_EQ(Dump(), after) << "redo of " << names[kind] << " at step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SeededEdits, ::testing::Values(1u, 2u, 3u, 7u, 42u, 1234u, 99991u));

}  // namespace
}  // namespace plexa::test
