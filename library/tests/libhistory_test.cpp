// The history of recent items, finding an item by file and item name, and shortcuts.
#include "library/libhistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/tests/libaccess_testing.h"

namespace plexa::test {
namespace {

using Lines = std::vector<std::string>;

Lines gMessages;

class LibHistoryTest : public LibraryAccessTest {
protected:
    void SetUp() override {
        LibraryAccessTest::SetUp();
        gMessages.clear();
        LibHistoryHooks hooks;
        hooks.message = [](const char* text) { gMessages.push_back(text); };
        SetLibHistoryHooks(hooks);
        Library("libs/A.LBX", {{"ONE"}, {"TWO"}, {"THREE"}, {"FOUR"}, {"FIVE"}});
        Library("libs/B.LBX", {{"SIX"}, {"SEVEN"}, {"EIGHT"}, {"NINE"}});
        AddPath("libs", kPathLibraryFiles);
        BuildLibraryFileList(nullptr, false);
    }
    void TearDown() override {
        DisposeLibHistory();
        SetLibHistoryHooks(LibHistoryHooks{});
        LibraryAccessTest::TearDown();
    }
    // Selects an item by name and records it.
    void Use(const std::string& file, const std::string& item) {
        int32_t fileIndex = -1, itemIndex = -1;
        ASSERT_TRUE(LocateLibraryFileItem(file.c_str(), item.c_str(), &fileIndex, &itemIndex)) << item;
        ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, fileIndex), 0);
        ASSERT_EQ(SetCachedLibraryItem(itemIndex), 0);
        ASSERT_NE(RecordLibHistoryItem(), nullptr);
    }
    static Lines History() {
        Lines out;
        for (int32_t i = 0; const LibHistoryEntry* entry = GetLibHistoryEntry(i); ++i)
            out.push_back(std::string(entry->fileName) + ":" + entry->itemName);
        return out;
    }
};

TEST_F(LibHistoryTest, RecordingAgainMovesToTheFrontAndTheNinthPushesOutTheOldest) {
    Use("A.LBX", "ONE");
    Use("A.LBX", "TWO");
    Use("a.lbx", "one");  // the same names, ignoring case
    EXPECT_EQ(History(), (Lines{"A.LBX:ONE", "A.LBX:TWO"}));
    for (const char* name : {"THREE", "FOUR", "FIVE"}) Use("A.LBX", name);
    for (const char* name : {"SIX", "SEVEN", "EIGHT", "NINE"}) Use("B.LBX", name);
    EXPECT_EQ(CountLibHistory(), kLibHistoryLimit);
    EXPECT_EQ(History().front(), "B.LBX:NINE");
    EXPECT_EQ(History().back(), "A.LBX:ONE");  // TWO was the oldest
    // Nothing is recorded without an item.
    ASSERT_EQ(SetCachedLibraryItem(-1), 0);
    EXPECT_EQ(RecordLibHistoryItem(), nullptr);
}

TEST_F(LibHistoryTest, RecallStepsThroughTheHistoryAndSkipsTheCurrentItem) {
    Use("A.LBX", "ONE");
    EXPECT_FALSE(RecallLibHistoryItem(0));  // only the current item
    EXPECT_EQ(History(), Lines{"A.LBX:ONE"});
    EXPECT_EQ(CachedItem(), "ONE");
    Use("A.LBX", "TWO");
    Use("B.LBX", "SIX");
    // From the newest end, repeated recalls visit the others in turn.
    EXPECT_TRUE(RecallLibHistoryItem(0));
    EXPECT_EQ(CachedItem(), "TWO");
    EXPECT_TRUE(RecallLibHistoryItem(0));
    EXPECT_EQ(CachedItem(), "ONE");
    EXPECT_TRUE(RecallLibHistoryItem(0));
    EXPECT_EQ(CachedItem(), "SIX");
    EXPECT_EQ(CachedFile(), "B.LBX");
    // From the oldest end.
    EXPECT_TRUE(RecallLibHistoryItem(1));
    EXPECT_EQ(CountLibHistory(), 3);
}

TEST_F(LibHistoryTest, EntriesThatCannotBeFoundAreDropped) {
    Use("A.LBX", "ONE");
    Use("A.LBX", "TWO");
    // The file goes from the list.
    ::unlink(Path("libs/A.LBX").c_str());
    BuildLibraryFileList(nullptr, false);
    Use("B.LBX", "SIX");
    EXPECT_FALSE(RecallLibHistoryItem(0));
    EXPECT_EQ(History(), Lines{"B.LBX:SIX"});
}

TEST_F(LibHistoryTest, ASymbolsLibraryAndItemAreFoundOrBothIndexesAreNone) {
    int32_t fileIndex = 7, itemIndex = 7;
    LocateLibraryFileItemOrNone("B.LBX", "nine", &fileIndex, &itemIndex);
    EXPECT_EQ(fileIndex, 1);
    EXPECT_GE(itemIndex, 0);
    // The file is there but not the item; then neither is there.
    LocateLibraryFileItemOrNone("B.LBX", "ONE", &fileIndex, &itemIndex);
    EXPECT_EQ(fileIndex, -1);
    EXPECT_EQ(itemIndex, -1);
    fileIndex = itemIndex = 7;
    LocateLibraryFileItemOrNone("Gone.LBX", "SIX", &fileIndex, &itemIndex);
    EXPECT_EQ(fileIndex, -1);
    EXPECT_EQ(itemIndex, -1);
}

TEST_F(LibHistoryTest, ShortcutsFindTheFileWithTheExtensionAddedAndSayWhatIsMissing) {
    int32_t fileIndex = -1, itemIndex = -1;
    EXPECT_TRUE(LocateLibraryFileItem("b", "nine", &fileIndex, &itemIndex));
    EXPECT_EQ(fileIndex, 1);
    EXPECT_TRUE(SelectShortcutItem("B", "SEVEN"));
    EXPECT_EQ(CachedItem(), "SEVEN");
    EXPECT_FALSE(SelectShortcutItem("B", "ONE"));
    EXPECT_FALSE(SelectShortcutItem("Gone.LBX", "ONE"));
    EXPECT_EQ(gMessages, (Lines{"Could not find a library item named \"ONE\".",
                                "Could not find a library file named \"Gone.LBX\"."}));
    EXPECT_EQ(CachedItem(), "SEVEN");
}

}  // namespace
}  // namespace plexa::test
