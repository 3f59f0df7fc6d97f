// A sheet's library record built over file symbols read beforehand: the same names and stored
// positions as the sheet opened as a library, no map without symbols, entries that are no items
// passed over.
#include "library/sheetlibrecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/item_map.h"
#include "files/tests/flat_item_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "foundation/dynfile.h"
#include "model/imagelist.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

class SheetLibraryRecord : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitImageLists();
        SetSheetServices(SheetServices{});
        TestSheet rich;
        WriteRichSheetFile(dir_.file("Rich.SHX"), rich);
        ASSERT_EQ(FileSpecFromURL(dir_.file("Rich.SHX"), &spec_, false, nullptr), 0);
        list_ = CreateFileSymbolList();
        ASSERT_EQ(LoadSheetFileSymbols(&spec_, list_), 0);
        ASSERT_EQ(OpenDynamicFile(&spec_, true, &file_), 0);
    }
    void TearDown() override { DestroyFileSymbolList(list_); }
    TempDir dir_;
    FileSpec spec_;
    FileSymbolList* list_ = nullptr;
    DynamicFileRecord file_;
};

TEST_F(SheetLibraryRecord, MapsTheNamesToTheStoredPositions) {
    // An entry whose bytes are no item with names is passed over.
    FileSymbolEntry* stray = static_cast<FileSymbolEntry*>(LLAppend(list_, nullptr));
    stray->item = AllocHandleWithData(nullptr, "xx", 2);
    LibraryFileRecord record;
    ASSERT_EQ(BuildSheetLibraryRecord(&file_, list_, &record), 0);
    EXPECT_EQ(record.flags, kLibrarySheetFile);
    EXPECT_EQ(MapNames(record.map), (std::vector<std::string>{"PORTS", "TOP", "TOP-ALIAS"}));
    for (int32_t i = 0; i < CountLibItemMapEntries(record.map); ++i) {
        LibraryItemMapEntry entry;
        ASSERT_TRUE(GetLibItemMapEntry(record.map, i, &entry));
        Handle item = nullptr;
        EXPECT_EQ(LoadLibraryItemFromSheet(&record.file, entry.blockId, &item), 0) << i;
        EXPECT_NE(item, nullptr);
        if (item) MemFree(item);
    }
    EXPECT_EQ(CloseLibraryFile(&record), 0) << "the record closes the sheet file";
}

TEST_F(SheetLibraryRecord, WithoutFileSymbolsTheRecordHasNoMap) {
    for (FileSymbolList* list : {static_cast<FileSymbolList*>(nullptr), CreateFileSymbolList()}) {
        LibraryFileRecord record;
        ASSERT_EQ(BuildSheetLibraryRecord(&file_, list, &record), 0);
        EXPECT_EQ(record.flags, kLibrarySheetFile);
        EXPECT_EQ(record.map, nullptr);
        EXPECT_EQ(record.names, nullptr);
        EXPECT_EQ(record.file.fileType, file_.fileType);
        if (list) DestroyFileSymbolList(list);
    }
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file_, false));
}

}  // namespace
}  // namespace plexa::test
