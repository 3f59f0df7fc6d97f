// A sheet file with file symbols opens as a library through the sheet file's own block reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/item_map.h"
#include "files/tests/flat_item_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "library/libfile.h"
#include "library/sheetlib.h"
#include "model/imagelist.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

FileSpec Spec(const std::string& path) {
    FileSpec spec;
    EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
    return spec;
}

TEST(SheetAsLibrary, ReadsTheSheetsOwnFileSymbols) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    InitImageLists();
    SetSheetServices(SheetServices{});
    TempDir dir;
    {
        TestSheet rich;
        WriteRichSheetFile(dir.file("Rich.SHX"), rich);
        TestSheet plain;
        WriteTestSheetFile(dir.file("Plain.SHX"), plain, nullptr);
    }
    const FileSpec rich = Spec(dir.file("Rich.SHX"));
    const FileSpec plain = Spec(dir.file("Plain.SHX"));
    EXPECT_TRUE(IsSheetWithFileSymbols(&rich));
    EXPECT_FALSE(IsSheetWithFileSymbols(&plain));

    LibraryFileRecord record;
    ASSERT_EQ(OpenSheetAsLibrary(&rich, &record), 0);
    EXPECT_EQ(MapNames(record.map), (std::vector<std::string>{"PORTS", "TOP", "TOP-ALIAS"}));
    // Every entry's item loads from its position in the block.
    for (int32_t i = 0; i < CountLibItemMapEntries(record.map); ++i) {
        LibraryItemMapEntry entry;
        GetLibItemMapEntry(record.map, i, &entry);
        Handle item = nullptr;
        EXPECT_EQ(LoadLibraryItemFromSheet(&record.file, entry.blockId, &item), 0);
        EXPECT_NE(item, nullptr);
        if (item) MemFree(item);
    }
    EXPECT_EQ(status::kNoErr, CloseLibraryFile(&record));
    EXPECT_EQ(OpenSheetAsLibrary(&plain, &record), kNoFileSymbolsErr);
}

}  // namespace
}  // namespace plexa::test
