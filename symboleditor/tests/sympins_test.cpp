// Pin numbers, sections and symbols in the symbol editor: uniqueness as exact text, the table of
// used numbers and the next free one, section designators, new sections with default numbers, and
// new symbols by name or as copies.
#include "symboleditor/sympins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/libitem.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/tests/symeditor_testing.h"

namespace plexa::test {
namespace {

class SymPins : public SymEditTest {
protected:
    // An editor on a component whose first symbol's section "A" is current.
    SymbolEditorRecord* Editor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"U"}), 0);
        EXPECT_NE(editor, nullptr);
        if (editor) AddRect(editor, {0, 0}, {96, 96});
        return editor;
    }
    static std::string Suffixes(LibraryItem* item) {
        std::string s;
        for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section; section = section->next) {
            char suffix[kLibItemTextSize];
            GetLibSectionSuffix(section, item->stringBlock, suffix);
            s += (s.empty() ? "" : " ") + std::string(suffix);
        }
        return s;
    }
    static LibSection* AddSection(LibraryItem* item, const char* suffix, uint8_t symbol = kLibNoSymbol,
                                  bool sorted = true) {
        LibSection* section = CreateLibSection();
        SetLibSectionSuffix(section, item->stringBlock, suffix);
        section->symbolIndex = symbol;
        AddSectionToLibItem(item, section, sorted);
        return section;
    }
};

TEST_F(SymPins, UniquenessIsExactTextAndTheUsedTableReadsDecimalNumbers) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    LibraryItem* item = editor->item;
    ElementRecord* p1 = AddPin(editor, {0, -24}, {0, 0}, "P1", "1");
    ElementRecord* p2 = AddPin(editor, {12, -24}, {12, 0}, "P2", "01");
    ElementRecord* p3 = AddPin(editor, {24, -24}, {24, 0}, "P3", "4");
    AddPin(editor, {36, -24}, {36, 0}, "P4", "A1");
    AddPin(editor, {48, -24}, {48, 0}, "P5", "1000");
    AddNewHiddenPinToLibItem(item, 0, "2", 0);
    // Another symbol's section keeps its numbers in the item.
    const uint16_t ids[1] = {0};
    ASSERT_EQ(AddLibSymbolDef(item, "Other", nullptr, nullptr, nullptr,
                              reinterpret_cast<uint16_t*>(AllocPtrWithData(nullptr, ids, 2))),
              1);
    LibSection* other = AddSection(item, "B", 1);
    ASSERT_TRUE(SetLibSectionPinCount(other, 1));
    ASSERT_TRUE(CreateLibSectionPinSet(other, 0, -1));
    SetLibSectionPinNumber(other, item->stringBlock, 0, 0, "6");

    struct Case { const char* number; const ElementRecord* pin; bool unique; };
    const Case cases[] = {
        {"01", nullptr, false}, {"1", nullptr, false}, {"001", nullptr, true}, {"2", nullptr, false},
        {"6", nullptr, false},  {"3", nullptr, true},  {"4", p3, true},        {"1", p2, false},
        {"01", p2, true},       {"1000", nullptr, false},
        // The pins after the one being edited count too.
        {"4", p1, false},       {"01", p1, false},      {"1", p1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPinNumberUnique(editor, 0, c.number, c.pin), c.unique) << c.number;

    BitArray table = BuildUsedPinNumberTable(editor, 0, nullptr);
    ASSERT_NE(table, nullptr);
    std::vector<int32_t> used;
    for (int32_t bit = NextSetBit(table, -1); bit >= 0; bit = NextSetBit(table, bit)) used.push_back(bit + 1);
    EXPECT_EQ(used, (std::vector<int32_t>{1, 2, 4, 6}));  // "01" is 1; "A1" and "1000" mark nothing
    DisposeBitArray(table);

    EXPECT_EQ(GetUniquePinNumber(editor, nullptr, 0, nullptr, false), 3);
    EXPECT_EQ(GetUniquePinNumber(editor, nullptr, 0, nullptr, true), 3);  // no cache: nothing kept
    BitArray cache = nullptr;
    EXPECT_EQ(GetUniquePinNumber(editor, &cache, 0, nullptr, true), 3);
    EXPECT_EQ(GetUniquePinNumber(editor, &cache, 0, nullptr, true), 5);
    EXPECT_EQ(GetUniquePinNumber(editor, &cache, 0, nullptr, true), 7);
    // Past 1000 the numbers go on.
    ReserveBitsUpTo(cache, 998);
    EXPECT_EQ(GetUniquePinNumber(editor, &cache, 0, nullptr, true), 1000);
    EXPECT_EQ(GetUniquePinNumber(editor, &cache, 0, nullptr, true), 1001);
    DisposeBitArray(cache);
}

TEST_F(SymPins, SectionDesignatorsRunAToZThenAAToYZ) {
    LibraryItem* item = Own(NewItem(kLibItemComponent));
    char designator[3];
    ASSERT_TRUE(GetUniqueSectionDesignator(item, designator));
    EXPECT_STREQ(designator, "A");
    AddSection(item, "A");
    AddSection(item, "b");
    ASSERT_TRUE(GetUniqueSectionDesignator(item, designator));
    EXPECT_STREQ(designator, "C");
    EXPECT_FALSE(IsSectionDesignatorUnique(item, "B"));
    for (char c = 'C'; c <= 'Z'; ++c) AddSection(item, std::string(1, c).c_str());
    ASSERT_TRUE(GetUniqueSectionDesignator(item, designator));
    EXPECT_STREQ(designator, "AA");
    for (char first = 'A'; first <= 'Y'; ++first)
        for (char second = 'A'; second <= 'Z'; ++second) AddSection(item, (std::string(1, first) + second).c_str(), kLibNoSymbol, false);
    EXPECT_FALSE(GetUniqueSectionDesignator(item, designator));
    EXPECT_STREQ(designator, "");
}

TEST_F(SymPins, ANewSectionTakesTheNextNumbersAndItsPlaceBySuffix) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* a = AddPin(editor, {12, -24}, {12, 0}, "IN", "1");
    ElementRecord* b = AddPin(editor, {36, -24}, {36, 0}, "OUT", "2");
    LibSection* first = editor->section;
    AddSection(editor->item, "C");  // a section without a symbol, for the order
    LibSection* next = NewLibItemSection(editor, editor->symbol, nullptr);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(Suffixes(editor->item), "A B C");
    EXPECT_EQ(next->pinCount, 2);
    EXPECT_TRUE(editor->state & kSymEditItemModified);
    char number[kLibItemTextSize];
    GetLibSectionPinNumber(next, editor->item->stringBlock, 0, 0, number);
    EXPECT_STREQ(number, "3");
    GetLibSectionPinNumber(next, editor->item->stringBlock, 0, 1, number);
    EXPECT_STREQ(number, "4");
    // The pins show the numbers of the section that is current, and know both.
    EXPECT_EQ(PinNumber(editor, a), "1");
    SetSymbolEditorSlot(editor, next);
    EXPECT_EQ(editor->section, next);
    EXPECT_EQ(PinNumber(editor, a), "3");
    EXPECT_EQ(PinNumber(editor, b), "4");
    SetSymbolEditorSlot(editor, first);
    EXPECT_EQ(PinNumber(editor, b), "2");
}

TEST_F(SymPins, NewSymbolsAreNamedOrCopied) {
    LibraryItem* item = NewItem(kLibItemComponent, {"U"});
    ASSERT_EQ(AddLibSymbolDef(item, "Part 1", nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(AddLibSymbolDef(item, "part 2", nullptr, nullptr, nullptr, nullptr), 1);
    char name[kLibItemTextSize];
    GetUniquePartSymbolName(item, name);
    EXPECT_STREQ(name, "Part 3");
    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    ASSERT_NE(editor, nullptr);
    // Without a parts tree a new symbol has no name; with one it gets the next "Part n".
    EXPECT_EQ(NewLibItemSymbol(editor, -1, nullptr), 2);
    GetLibSymbolName(item, 2, name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(GetLibSymbolPlacementOptions(item, 2), 3);
    editor->partsTree = editor;  // stands for a tree view
    EXPECT_EQ(NewLibItemSymbol(editor, -1, nullptr), 3);
    GetLibSymbolName(item, 3, name);
    EXPECT_STREQ(name, "Part 3");
    editor->partsTree = nullptr;

    // A copy of the current symbol takes its flushed drawing, pins and settings.
    AddRect(editor, {0, 0}, {48, 48});
    AddPin(editor, {24, -24}, {24, 0}, "IN", "1");
    editor->placementOptions = 1;
    SetLibSymbolSheetName(item, 3, "child.SHX");
    EXPECT_EQ(NewLibItemSymbol(editor, 3, "Copy"), 4);
    EXPECT_EQ(editor->symbol, 4);
    EXPECT_NE(GetLibSymbolData(item, 4, 0), nullptr);
    EXPECT_EQ(CountLibSymbolPins(item, 0, 4), 1);
    EXPECT_EQ(GetLibSymbolPlacementOptions(item, 4), 1);
    GetLibSymbolSheetName(item, 4, name);
    EXPECT_STREQ(name, "child.SHX");
    ASSERT_EQ(Elements(editor->elementLists[0]).size(), 2u);
    EXPECT_EQ(PinName(editor, Elements(editor->elementLists[0])[0]), "IN");
    // Its own section numbers the copied pin anew.
    EXPECT_EQ(PinNumber(editor, Elements(editor->elementLists[0])[0]), "2");
}

TEST_F(SymPins, AlignedPinsStandOnTheBoxOneGridStepAroundTheGraphics) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"U"}), 0);  // grid 12
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {48, 48}, {144, 144});
    struct Case { Point connection, end, aligned; };
    const Case cases[] = {
        {{96, 78}, {96, 88}, {96, 36}},      // horizontal, pointing right: the left edge
        {{108, 128}, {108, 118}, {108, 156}},  // horizontal, pointing left: the right edge
        {{118, 72}, {108, 72}, {156, 72}},   // vertical, connection below: the bottom edge
        {{68, 84}, {78, 84}, {36, 84}},      // vertical, connection above: the top edge
    };
    std::vector<ElementRecord*> pins;
    for (const Case& c : cases) pins.push_back(AddPin(editor, c.connection, c.end, "P", ""));
    editor->state &= uint16_t(~kSymEditEdited);
    AlignNodes(editor);
    for (size_t i = 0; i < pins.size(); ++i) {
        EXPECT_EQ(pins[i]->points.point1.v, cases[i].aligned.v) << i;
        EXPECT_EQ(pins[i]->points.point1.h, cases[i].aligned.h) << i;
        EXPECT_EQ(pins[i]->points.point2.v, cases[i].end.v) << i;  // the end stays
    }
    EXPECT_TRUE(editor->state & kSymEditEdited);
    // Aligned pins stay where they are.
    editor->state &= uint16_t(~kSymEditEdited);
    AlignNodes(editor);
    EXPECT_FALSE(editor->state & kSymEditEdited);
}

}  // namespace
}  // namespace plexa::test
