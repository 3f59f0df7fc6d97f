// A sheet's file-symbol list: entries appended in order, found by index and by any name of their
// flattened items without regard to case, and freed with their items.
#include "files/filesymbols.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/sheet.h"

namespace plexa::test {
namespace {

Handle FlatItem(const std::vector<const char*>& names) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    for (const char* name : names) EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name, 0));
    Handle flat = FlattenLibraryItem(item, true, 1, nullptr);
    DestroyLibraryItem(item);
    EXPECT_NE(flat, nullptr);
    return flat;
}

class SheetFileSymbols : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitImageLists();
    }
    void TearDown() override { DestroyFileSymbolList(sheet.fileSymbolList); }
    SheetRecord sheet{};
};

TEST_F(SheetFileSymbols, EntriesAreAppendedAndFoundByAnyNameIgnoringCase) {
    EXPECT_EQ(CountFileSymbols(&sheet), 0);
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "Amp", nullptr), nullptr);
    FileSymbolEntry* amp = CreateFileSymbol(&sheet);
    FileSymbolEntry* fresh = CreateFileSymbol(&sheet);  // never stored: no item
    FileSymbolEntry* filter = CreateFileSymbol(&sheet);
    ASSERT_TRUE(amp && fresh && filter);
    amp->item = FlatItem({"Amp", "Amplifier"});
    filter->item = FlatItem({"Filter", "LP"});
    EXPECT_EQ(CountFileSymbols(&sheet), 3);
    EXPECT_EQ(GetIndexedFileSymbol(&sheet, 0), amp);
    EXPECT_EQ(GetIndexedFileSymbol(&sheet, 2), filter);
    EXPECT_EQ(GetIndexedFileSymbol(&sheet, 3), nullptr);
    EXPECT_EQ(GetIndexedFileSymbol(&sheet, -1), nullptr);

    int32_t index = 9;
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "amplifier", &index), amp);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "lp", &index), filter);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "Amp 1", &index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "", nullptr), nullptr);

    DestroyFileSymbol(&sheet, amp);  // frees its item (the leak check sees it)
    EXPECT_EQ(CountFileSymbols(&sheet), 2);
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "Amp", nullptr), nullptr);
    EXPECT_EQ(GetIndexedFileSymbol(&sheet, 0), fresh);
}

TEST_F(SheetFileSymbols, AnEntryWithDamagedBytesIsPassedOver) {
    FileSymbolEntry* bad = CreateFileSymbol(&sheet);
    FileSymbolEntry* good = CreateFileSymbol(&sheet);
    bad->item = AllocHandleWithData(nullptr, "\x34\x12garbage", 9);
    good->item = FlatItem({"Amp"});
    EXPECT_EQ(FindNamedFileSymbol(&sheet, "AMP", nullptr), good);
}

}  // namespace
}  // namespace plexa::test
