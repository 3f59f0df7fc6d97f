// The readable text of a library item: every part of an item built through its own operations,
// drawings read back into elements, texts and frames, and drawings that do not play.
#include "model/libitemdump.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/tests/model_fixture.h"
#include "model/textframes.h"
#include "model/texts.h"

namespace plexa::test {
namespace {

class LibItemDump : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
    }
    // A drawing of a rectangle, a pin with its number text and a frame.
    Ptr Drawing() {
        ImageList* images = CreateLocalImageList();
        LinkListHeader* elements = CreateElementList(images);
        LinkListHeader* texts = CreateTextList();
        LinkListHeader* frames = CreateTextFrameList();
        LLAppend(elements, BuildNodeElement({10, 0}, {10, 20}, 1, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(kElementRect, {0, 20}, {30, 60}, 1, 0, 0, true, true,
                                              0x00FF0000, false, 0, false));
        TextRecord* number = CreateTextElement();
        number->kind = kTextKindPinNumber;
        number->style = Style(10);
        SetupTheText(number, sheet.stringBlock, {8, 4}, nullptr, "1");
        LLAppend(texts, number);
        TextFrameHandle frame = CreateTextFrame("Amp", -1, kEncodingUTF8);
        (*frame)->style = Style(12);
        (*frame)->position = {44, 20};
        CalcTextFrameBounds(nullptr, frame, true, kFrameDefaultWrapWidth);
        LLAppend(frames, frame);
        Handle data = ElementsToSymbolData(elements, texts, frames, sheet.stringBlock, false, nullptr);
        Ptr block = data ? AllocPtrWithData(nullptr, *data, SizeOfHandle(data)) : nullptr;
        if (data) MemFree(data);
        DestroyElementList(elements);
        DestroyTextList(texts);
        DestroyTextFrameList(frames);
        DestroyImageList(images);
        return block;
    }
};

TEST_F(LibItemDump, EveryPartOfAnItem) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "Amp", 0));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "Amplifier", 1));
    SetLibraryItemRefPrefix(item, "U");
    SetAttributeValue(item->stringBlock, item->attributes, 0, &item->head.attributeCount, "Value", "10k", nullptr);
    Handle record = CreateNewPinData();
    SetPinDataName(record, item->stringBlock, "IN");
    SetPinDataType(record, kPinInput, false);
    const auto in = uint16_t(AddPinDataToTable(item->pinTable, record));
    SetPinDataName(record, item->stringBlock, "NC");
    SetHiddenPinSignalName(record, item->stringBlock, "GND");
    const auto nc = uint32_t(AddPinDataToTable(item->pinTable, record));
    DestroyPinData(record);
    auto* ids = reinterpret_cast<uint16_t*>(AllocPtrWithData(nullptr, &in, 2));
    ASSERT_EQ(AddLibSymbolDef(item, "Part 1", Drawing(), nullptr, nullptr, ids), 0);
    SetLibSymbolGrid(item, 0, 8);
    SetLibSymbolResolution(item, 0, 96);
    SetLibSymbolSheetName(item, 0, "amp.SHX");
    ASSERT_EQ(AddNewPackageToLibItem(item, 0), 0);
    SetLibPackageName(item, 0, "DIP");
    LibSection* section = CreateLibSection();
    SetLibSectionSuffix(section, item->stringBlock, "A");
    section->symbolIndex = 0;
    ASSERT_TRUE(SetLibSectionPinCount(section, 1));
    ASSERT_TRUE(CreateLibSectionPinSet(section, 0, -1));
    SetLibSectionPinNumber(section, item->stringBlock, 0, 0, "3");
    AddSectionToLibItem(item, section, true);
    AddNewHiddenPinToLibItem(item, 0, "8", nc);
    EXPECT_EQ(DumpLibraryItem(item),
              "item kind 0 prefix \"U\"\n"
              "name \"Amp\" package 0\n"
              "name \"Amplifier\" package 1\n"
              "attribute \"Value\" = \"10k\"\n"
              "symbol 0 \"Part 1\" flags 0x0 grid 8 place 0 res 96 sheet \"amp.SHX\"\n"
              "  pin 0 \"IN\" type 0x01\n"
              "  main graphics (20,0)-(61,31) all (-2,0)-(61,31)\n"
              "    E1 node (0,10)-(20,10) pen 1\n"
              "    E2 rect (20,0)-(60,30) pen 1 flags 0x300 frame 0x00FF0000\n"
              "    T1 kind 0x4000 at (4,8) \"\"\n"
              "    F1 at (20,44) lines 1 \"Amp\"\n"
              "  alternate none\n"
              "package 0 \"DIP\" \"\" set 0\n"
              "section \"A\" symbol 0 pins 1 set0 \"3\"\n"
              "hidden set0 \"8\" \"NC\" type 0x01 signal \"GND\"\n");
    DestroyLibraryItem(item);
}

TEST_F(LibItemDump, ADrawingThatDoesNotPlayReadsUnreadable) {
    LibraryItem* item = CreateLibraryItem(kLibItemPort);
    const char junk[] = "0123456789abcdefgh";
    ASSERT_EQ(AddLibSymbolDef(item, "", nullptr, nullptr, nullptr, nullptr), 0);
    // Put damaged bytes in place behind the setter's back, as a fault would leave them.
    auto* symbol = reinterpret_cast<LibSymbolDef*>(*item->symbols);
    ASSERT_EQ(symbol->mainData, nullptr);
    symbol->mainData = AllocPtrWithData(nullptr, junk, sizeof junk);
    EXPECT_EQ(DumpLibraryItem(item),
              "item kind 2 prefix \"\"\n"
              "symbol 0 \"\" flags 0x0 grid 0 place 0 res 0\n"
              "  main unreadable\n"
              "  alternate none\n");
    DestroyLibraryItem(item);
    EXPECT_EQ(DumpLibraryItem(nullptr), "no item\n");
}

}  // namespace
}  // namespace plexa::test
