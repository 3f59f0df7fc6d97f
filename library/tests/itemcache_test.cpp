// The item cache over library lists in a scratch tree: selecting files and items and what it does
// to the change counter, parts and alternates, items the cache cannot take, sheets used as
// libraries, a library written while selected, and the display texts of the selected symbol.
#include "library/itemcache.h"
#include "library/libpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/ll.h"
#include "library/tests/libaccess_testing.h"
#include "model/elements.h"
#include "model/symboldata.h"
#include "model/tests/model_fixture.h"
#include "model/texts.h"
#include "tests/support/foundation_testing.h"

namespace plexa::test {
namespace {

using Lines = std::vector<std::string>;

class ItemCacheTest : public LibraryAccessTest {
protected:
    void SetUp() override {
        LibraryAccessTest::SetUp();
        Library("libs/A.LBX", {{"ONE"}, {"TWO", "TWO-ALIAS"}});
        Library("libs/B.LBX", {{"THREE"}});
        LibraryAccessTest::AddPath("libs", kPathLibraryFiles | kPathSheetFiles);
        BuildLibraryFileList(nullptr, false);
    }
    static std::string Selection() {
        const LibSelection& s = gItemCache.selection;
        return "file " + std::to_string(s.fileIndex) + "/" + std::to_string(s.activeFileIndex) + " item " +
               std::to_string(s.itemIndex) + " name " + std::to_string(s.nameIndex) + " part " +
               std::to_string(s.part) + " alt " + std::to_string(s.alternate);
    }
};

TEST_F(ItemCacheTest, ReselectingChangesNothingAndChangesBumpTheCounterOnce) {
    // The list selected the first file and item.
    EXPECT_EQ(Selection(), "file 0/0 item 0 name 0 part 0 alt 0");
    EXPECT_EQ(CachedItem(), "ONE");
    const uint32_t start = Counter();
    EXPECT_EQ(start, 2u);
    const uint32_t instance = gItemCache.instance;
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 0), 0);
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesActive, 0), 0);
    ASSERT_EQ(SetCachedLibraryItem(0), 0);
    SetCachedLibItemPart(0);
    SetCachedLibItemAlt(0);
    EXPECT_EQ(Counter(), start);
    EXPECT_EQ(gItemCache.instance, instance);  // the item was not inflated again

    // An alias entry: the same item by its second name.
    ASSERT_EQ(SetCachedLibraryItem(2), 0);
    EXPECT_EQ(CachedItem(), "TWO-ALIAS");
    EXPECT_EQ(Selection(), "file 0/0 item 2 name 1 part 0 alt 0");
    EXPECT_EQ(Counter(), start + 1);
    char name[kStringSpecBufferSize];
    ASSERT_TRUE(GetIndexedItemNameFromCachedLibrary(1, name));
    EXPECT_EQ(std::string(name), "TWO");
    EXPECT_FALSE(GetIndexedItemNameFromCachedLibrary(3, name));
    EXPECT_EQ(CountCachedLibraryItems(), 3);

    // Another file: no item until one is chosen.
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 1), 0);
    EXPECT_EQ(Counter(), start + 2);
    EXPECT_EQ(Selection(), "file 1/1 item -1 name 0 part 0 alt 0");
    EXPECT_EQ(CachedFile(), "B.LBX");
    EXPECT_EQ(CachedItem(), "");
    ASSERT_EQ(SetCachedLibraryItem(0), 0);
    EXPECT_EQ(Counter(), start + 3);
    EXPECT_EQ(SetCachedLibraryItem(7), -50);  // past the map: nothing selected
    EXPECT_EQ(Counter(), start + 4);
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, -1), 0);
    EXPECT_EQ(GetCachedLibraryFile(), nullptr);
    EXPECT_EQ(CountCachedLibraryItems(), 0);
    EXPECT_EQ(CachedFile(), "");
    EXPECT_EQ(Counter(), start + 4);
}

TEST_F(ItemCacheTest, PartsAreClampedAndAnAlternateNeedsAPartThatHasOne) {
    Library("libs/C.LBX", {});
    {
        OpenLibrary lib(Path("libs/C.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(ItemBytes({"MULTI"}, 3, true));
    }
    BuildLibraryFileList(nullptr, false);
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 2), 0);
    ASSERT_EQ(SetCachedLibraryItem(0), 0);
    uint32_t count = Counter();
    CachedLibData data;
    GetCachedLibData(&data);
    EXPECT_TRUE(data.hasAlternate);
    EXPECT_EQ(data.symbolData, GetLibSymbolData(data.item, 0, 0));
    SetCachedLibItemAlt(1);
    EXPECT_EQ(gItemCache.selection.alternate, 1);
    GetCachedLibData(&data);
    EXPECT_EQ(data.symbolData, GetLibSymbolData(data.item, 0, 1));
    EXPECT_EQ(Counter(), ++count);
    SetCachedLibItemPart(9);  // past the last part: the last one, and the alternate goes
    EXPECT_EQ(gItemCache.selection.part, 2);
    EXPECT_EQ(gItemCache.selection.alternate, 0);
    EXPECT_EQ(Counter(), ++count);
    SetCachedLibItemAlt(1);  // part 2 has no alternate symbol
    EXPECT_EQ(gItemCache.selection.alternate, 0);
    EXPECT_EQ(Counter(), count);
    SetCachedLibItemPart(-4);
    EXPECT_EQ(gItemCache.selection.part, 0);
    EXPECT_EQ(Counter(), ++count);
    GetCachedLibData(&data);
    EXPECT_EQ(data.symbolData, GetLibSymbolData(data.item, 0, 0));
    EXPECT_EQ(data.timeStamp, kTestStamp);
    SymbolDataHead head;
    std::memcpy(&head, data.symbolData, sizeof head);
    EXPECT_EQ(std::memcmp(&data.bounds, &head.all, sizeof head.all), 0);
}

TEST_F(ItemCacheTest, ItemsTheCacheCannotTakeLeaveNoItemSelected) {
    static Lines* sMessages;
    static int sResets;
    Lines messages;
    sMessages = &messages;
    sResets = 0;
    ItemCacheHooks hooks;
    hooks.message = [](const char* text) { sMessages->push_back(text); };
    hooks.resetPlaceTransformation = [] { ++sResets; };
    SetItemCacheHooks(hooks);
    std::string newer = ItemBytes({"NEWER"});
    PutLE16(reinterpret_cast<uint8_t*>(newer.data()) + kFlatItemVersionOffset, 5);
    std::string broken = ItemBytes({"BROKEN"});
    broken.resize(broken.size() - 8);
    Library("libs/D.LBX", {});
    {
        OpenLibrary lib(Path("libs/D.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(broken);
        lib.Write(newer);
    }
    BuildLibraryFileList(nullptr, false);
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 2), 0);
    EXPECT_EQ(sResets, 2);  // once for each selected item that went
    EXPECT_NE(SetCachedLibraryItem(0), 0);  // BROKEN
    EXPECT_EQ(gItemCache.selection.itemIndex, -1);
    EXPECT_EQ(gItemCache.item, nullptr);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SetCachedLibraryItem(1), 0);  // NEWER: a message, and no failure
    EXPECT_EQ(gItemCache.selection.itemIndex, -1);
    EXPECT_EQ(messages, Lines{kNewerItemMessage});
    // A file that went away fails to open and leaves no file selected.
    ASSERT_EQ(::unlink(Path("libs/A.LBX").c_str()), 0);
    EXPECT_NE(SetCachedLibraryFile(kLibFilesAll, 0), 0);
    EXPECT_EQ(gItemCache.selection.fileIndex, -1);
    EXPECT_EQ(GetCachedLibraryFile(), nullptr);
}

TEST_F(ItemCacheTest, ASheetServesItsFileSymbolsAsItems) {
    Sheet("libs/Board.SHX", {"ZED", "ALPHA"});
    BuildLibraryFileList(nullptr, false);
    ASSERT_EQ(Files(), (Lines{"A.LBX in libs", "B.LBX in libs", "Board.SHX in libs sheet"}));
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, 2), 0);
    EXPECT_EQ(MapNames(GetCachedLibraryFileItemMap()), (Lines{"ALPHA", "ZED"}));
    ASSERT_EQ(SetCachedLibraryItem(1), 0);
    EXPECT_EQ(CachedItem(), "ZED");
    EXPECT_EQ(gItemCache.selection.blockId, SymbolPosition(0));
    // Without the sheet-file module a sheet has no file symbols.
    SetSheetServices(SheetServices{});
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, -1), 0);
    EXPECT_EQ(SetCachedLibraryFile(kLibFilesAll, 2), kNoFileSymbolsErr);
}

TEST_F(ItemCacheTest, AfterTheSelectedLibraryIsWrittenTheSameItemStaysSelected) {
    ASSERT_EQ(SetCachedLibraryItem(1), 0);
    EXPECT_EQ(CachedItem(), "TWO");
    {
        OpenLibrary lib(Path("libs/A.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(ItemBytes({"AAA"}));  // sorts first: TWO moves to entry 2
    }
    FileSpec spec = SpecOf(Path("libs/A.LBX"));
    LibraryFileChanged(&spec);
    EXPECT_EQ(CachedItem(), "TWO");
    EXPECT_EQ(gItemCache.selection.itemIndex, 2);
    EXPECT_EQ(CountCachedLibraryItems(), 4);
    // The item gone: the first one.
    {
        OpenLibrary lib(Path("libs/A.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        ASSERT_EQ(DeleteLibraryFileItem(&lib.record, lib.Block("TWO"), true), 0);
    }
    LibraryFileChanged(&spec);
    EXPECT_EQ(CachedItem(), "AAA");
    // A file that is not the selected one only has its digest record rewritten.
    FileSpec other = SpecOf(Path("libs/B.LBX"));
    const uint32_t count = Counter();
    LibraryFileChanged(&other);
    EXPECT_EQ(Counter(), count);
    EXPECT_EQ(LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), "one"), 1);
    EXPECT_EQ(LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), "TWO"), -1);
    EXPECT_EQ(LibraryItemLookup(nullptr, nullptr, "ONE"), -1);
}

// The display texts need the platform's text measuring.
class CacheDisplayTexts : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        // Only the test's own library is listed: the program's essentials (its default library)
        // stay out.
        saved_ = GetLibraryAccessHooks();
        LibraryAccessHooks hooks = saved_;
        hooks.essentialsFolder = nullptr;
        SetLibraryAccessHooks(hooks);
        InitLibraryAccess();
    }
    void TearDown() override {
        DisposeLibraryAccess();
        SetLibraryAccessHooks(saved_);
        ModelTest::TearDown();
    }
    LibraryAccessHooks saved_;
    TempDir dir_;
    EnvScope home_{"HOME", dir_.file("home")};
    EnvScope data_{"XDG_DATA_HOME", dir_.file("data")};
};

TEST_F(CacheDisplayTexts, PinTextsShowTheSelectedPackagesNumbersAndThePinNames) {
    // A symbol whose drawing holds a pin-number text of pin 0, a pin-name text of pin 1 and a free
    // text; two pin sets, the second selected by the package of the name "CHIP-SO".
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "CHIP", 0));
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "CHIP-SO", 1));
    const auto a = uint16_t(AddPin(item, "IN"));
    const auto b = uint16_t(AddPin(item, "OUT"));
    LinkListHeader* elements = CreateElementList(item->imageList);
    LinkListHeader* texts = CreateTextList();
    auto text = [&](uint16_t kind, const char* string, Point at) {
        TextRecord* t = CreateTextElement();
        t->kind = kind;
        t->style = Style(12);
        SetupTheText(t, sheet.stringBlock, at, nullptr, string);
        LLAppend(texts, t);
    };
    text(kTextKindPinNumber | 0, "?", Point{10, 20});
    text(kTextKindPinName | 1, "?", Point{30, 20});
    text(kTextKindFree, "U", Point{50, 20});
    Handle drawing = ElementsToSymbolData(elements, texts, nullptr, sheet.stringBlock, false, nullptr);
    ASSERT_NE(drawing, nullptr);
    Ptr main = AllocPtrWithData(nullptr, *drawing, SizeOfHandle(drawing));
    MemFree(drawing);
    DestroyElementList(elements);
    DestroyTextList(texts);
    ASSERT_EQ(AddLibSymbolDef(item, "Body", main, nullptr, item->imageList, Ids({a, b})), 0);
    ASSERT_EQ(AddNewPackageToLibItem(item, 0), 0);
    ASSERT_EQ(AddNewPackageToLibItem(item, 1), 1);
    AddSection(item, "A", 0, {{"1", "2"}, {"7", "8"}});
    Handle flat = FlattenLibraryItem(item, false, kTestStamp);
    ASSERT_NE(flat, nullptr);
    DestroyLibraryItem(item);
    const std::string path = dir_.file("Chips.LBX");
    MakeLibrary(path);
    {
        OpenLibrary lib(path, kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(HandleBytes(flat));
    }
    MemFree(flat);
    DirectoryRef folder;
    ASSERT_EQ(DirectoryFromPathName(nullptr, (dir_.path() + "/").c_str(), &folder), 0);
    AddPathSpecToList(GetLibFilesPathList(), &folder, kPathRootAbsolute, kPathLibraryFiles, false);
    BuildLibraryFileList(nullptr, false);
    char selected[kLibItemTextSize];
    GetCachedLibraryItemName(selected);
    ASSERT_EQ(std::string(selected), "CHIP");

    auto shown = [] {
        Lines lines;
        CachedLibData data;
        GetCachedLibData(&data);
        for (auto* t = static_cast<TextRecord*>(LLFirst(data.texts)); t; t = t->link) {
            char string[kTextStringSize];
            GetTextRecordString(t, data.strings, string);
            lines.push_back(std::to_string(t->kind) + " " + string + " flags " + std::to_string(t->flags & 7) +
                            (t->bounds.right > t->bounds.left ? " measured" : ""));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    LoadLibCacheTextList(nullptr, 0);
    EXPECT_EQ(shown(), (Lines{"0 U flags 0 measured", "16384 1 flags 0 measured", "32769 OUT flags 0 measured"}));
    ASSERT_EQ(SetCachedLibraryItem(1), 0);  // CHIP-SO: package 1, pin set 1
    LoadLibCacheTextList(nullptr, 0);
    EXPECT_EQ(shown(), (Lines{"0 U flags 0 measured", "16384 7 flags 0 measured", "32769 OUT flags 0 measured"}));
    // Turned a quarter, then mirrored: the mirror toggles right alignment.
    LoadLibCacheTextList(nullptr, 1);
    EXPECT_EQ(shown(), (Lines{"0 U flags 1 measured", "16384 7 flags 1 measured", "32769 OUT flags 1 measured"}));
    LoadLibCacheTextList(nullptr, 4);
    EXPECT_EQ(shown(), (Lines{"0 U flags 4 measured", "16384 7 flags 4 measured", "32769 OUT flags 4 measured"}));
}

}  // namespace
}  // namespace plexa::test
