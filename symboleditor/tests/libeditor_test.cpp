// The library editor: the life of an item's data (expanded while used, compressed while idle,
// dropped when the stored block is the truth), opening a library into rows, saving (what is
// written, what is kept, what is dropped, and failures that keep the editor dirty and open),
// deletions released once, and cut, copy, paste, clear, duplicate and revert driven by clicks,
// keys and commands.
#include "symboleditor/tests/libeditor_testing.h"

#include <unistd.h>

#include <cstring>

#include "foundation/dynfile.h"
#include "model/libitemdump.h"
#include "model/texts.h"
#include "symboleditor/libeditor_internal.h"
#include "tests/support/foundation_testing.h"
#include "toolkit/vx_commands.h"

namespace plexa::test {
namespace {

std::string Bytes(Handle h) { return h ? std::string(*h, SizeOfHandle(h)) : std::string(); }

TEST_F(LibEditorTest, ItemDataIsCompressedWhileIdleAndDroppedWhenTheBlockIsTheTruth) {
    LibEditorRecord* clip = NewLibEditor(nullptr);
    ASSERT_NE(clip, nullptr);
    // Names that compress well.
    Handle flat = BoxItem({std::string(200, 'A'), std::string(200, 'B'), std::string(200, 'A')});
    const std::string original = Bytes(flat);
    LibEditorItemRef* ref = CreateLibEditorItemRef(clip, nullptr, flat, 0, 0);
    ASSERT_NE(ref, nullptr);
    LLAppend(clip->items, ref);
    EXPECT_EQ(CountLibEditorItemNames(ref), 3);
    EXPECT_TRUE(IsLibItemDirty(ref));
    // Idle: compressed, its first 7 bytes as they were (validity readable).
    EXPECT_EQ(ref->useCount, 0);
    EXPECT_LT(SizeOfHandle(ref->data), original.size());
    EXPECT_EQ(Bytes(ref->data).substr(0, 7), original.substr(0, 7));
    EXPECT_EQ(IsFlattenedLibraryItemValid(ref->data), 1);
    // Each user expands it once; the last release compresses it again.
    Handle data = GetLibEditorItemData(clip, ref);
    EXPECT_EQ(Bytes(data), original);
    EXPECT_EQ(GetLibEditorItemData(clip, ref), data);
    EXPECT_EQ(ref->useCount, 2);
    ReleaseLibEditorItemData(ref);
    EXPECT_EQ(Bytes(ref->data), original);
    ReleaseLibEditorItemData(ref);
    EXPECT_EQ(ref->useCount, 0);
    EXPECT_LT(SizeOfHandle(ref->data), original.size());
    Handle again = ExpandLibEditorItemData(ref->data);
    EXPECT_EQ(Bytes(again), original);
    MemFree(again);
    // Compressed bytes that are damaged give nothing, never a partial item.
    Handle damaged = CloneHandle(nullptr, ref->data);
    ResizeHandle(damaged, SizeOfHandle(damaged) - 3);
    EXPECT_EQ(ExpandLibEditorItemData(damaged), nullptr);
    MemFree(damaged);
    KillLibEditorItemData(ref);
    EXPECT_EQ(ref->data, nullptr);
    EXPECT_FALSE(IsLibItemDirty(ref));
    DestroyLibEditor(clip);
}

TEST_F(LibEditorTest, StoredItemsLoadForTheirUsers) {
    FileSpec spec = Library("stored.LBX", {{"R1"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec, false, false);
    ASSERT_NE(editor, nullptr);
    LibEditorItemRef* ref = Ref(editor, "R1");
    ASSERT_NE(ref, nullptr);
    EXPECT_NE(ref->blockId, 0u);
    EXPECT_EQ(ref->data, nullptr);
    Handle data = GetLibEditorItemData(editor, ref);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(ref->useCount, 1);
    ReleaseLibEditorItemData(ref);
    EXPECT_EQ(ref->data, nullptr);
    // Changed, it keeps its data until it is saved.
    SetLibEditorItemData(editor, ref, BoxItem({"R2"}));
    SetupLibEditorItemNames(editor, ref);
    ReleaseLibEditorItemData(ref);
    EXPECT_NE(ref->data, nullptr);
    EXPECT_TRUE(IsLibEditorDirty(editor));
    const uint32_t before = ref->blockId;
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_EQ(ref->data, nullptr);
    EXPECT_NE(ref->blockId, before);
    EXPECT_EQ(StoredNames(editor, ref->blockId), std::vector<std::string>{"R2"});
    EXPECT_FALSE(IsLibEditorDirty(editor));
}

TEST_F(LibEditorTest, OpeningListsItemsWithTheirAliasesAndOnlyOnce) {
    FileSpec spec = Library("open.LBX", {{"NAND", "7400", "74HC00"}, {"ADC"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->window, nullptr);
    EXPECT_EQ(WindowToLibEditor(editor->window), editor);
    EXPECT_EQ(Items(editor), (std::vector<std::string>{"ADC", "NAND"}));
    // Three names: two child rows, shown when the branch opens.
    EXPECT_EQ(Rows(editor), "ADC|NAND");
    VXTreeNode* nand = VXGetIndexedTreeViewNode(editor->window, 1);
    VXExposeTreeViewBranch(editor->window, nand);
    EXPECT_EQ(Rows(editor), "ADC|NAND|  7400|  74HC00");
    EXPECT_EQ(OpenLibraryEditor(&spec), editor);
    EXPECT_EQ(GetOpenLibEditor(&spec), editor);
    EXPECT_FALSE(IsLibEditorDirty(editor));
    // Find: anywhere, from the start, whole names.
    EXPECT_TRUE(FindAndSelectLibEditorItem(editor, -1, "hc", kLibFindAnywhere, false, false));
    EXPECT_EQ(VXGetListViewSelection(editor->window, 0), 3);
    EXPECT_FALSE(FindAndSelectLibEditorItem(editor, -1, "74", kLibFindWhole, false, false));
    EXPECT_TRUE(FindAndSelectLibEditorItem(editor, -1, "7400", kLibFindWhole, false, true));
    EXPECT_EQ(VXGetListViewSelection(editor->window, 0), 1);
}

TEST_F(LibEditorTest, SavingWritesNewItemsOnceAndDropsNewInvalidOnes) {
    FileSpec spec = Library("save.LBX", {{"R1"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    ASSERT_NE(editor, nullptr);
    LibEditorItemRef* valid = CreateLibEditorItemRef(editor, nullptr, BoxItem({"C1"}), 0, 0);
    LibEditorItemRef* invalid = CreateLibEditorItemRef(editor, nullptr, Invalid(BoxItem({"X1"})), 0, 0);
    AddItemToLibEditor(editor, valid);
    AddItemToLibEditor(editor, invalid);
    EXPECT_EQ(Rows(editor), "R1|C1|X1");
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    // The new invalid item left the file and the window.
    EXPECT_EQ(Rows(editor), "R1|C1");
    EXPECT_EQ(MapNames(editor->library.map), (std::vector<std::string>{"C1", "R1"}));
    const uint32_t block = valid->blockId;
    EXPECT_NE(block, 0u);
    EXPECT_FALSE(IsLibEditorDirty(editor));
    // A second save writes nothing.
    const uint32_t mapBlock = editor->library.header.mapBlockId;
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_EQ(valid->blockId, block);
    EXPECT_EQ(editor->library.header.mapBlockId, mapBlock);
    EXPECT_TRUE(Script().reported.empty());
}

TEST_F(LibEditorTest, AStoredItemThatBecameInvalidKeepsItsBlock) {
    FileSpec spec = Library("keep.LBX", {{"R1"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    LibEditorItemRef* ref = Ref(editor, "R1");
    const uint32_t block = ref->blockId;
    SetLibEditorItemData(editor, ref, Invalid(BoxItem({"R1"})));
    ReleaseLibEditorItemData(ref);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    // Still listed, still modified, and the stored item is untouched.
    EXPECT_EQ(Items(editor), std::vector<std::string>{"R1"});
    EXPECT_EQ(ref->blockId, block);
    EXPECT_TRUE(IsLibEditorDirty(editor));
    EXPECT_EQ(StoredNames(editor, block), std::vector<std::string>{"R1"});
    // Valid again: written first, then the old block goes.
    SetLibEditorItemData(editor, ref, BoxItem({"R1", "R1A"}));
    SetupLibEditorItemNames(editor, ref);
    ReleaseLibEditorItemData(ref);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_NE(ref->blockId, block);
    EXPECT_EQ(StoredNames(editor, ref->blockId), (std::vector<std::string>{"R1", "R1A"}));
    EXPECT_EQ(MapNames(editor->library.map), (std::vector<std::string>{"R1", "R1A"}));
    EXPECT_FALSE(IsLibEditorDirty(editor));
}

TEST_F(LibEditorTest, AFailedSaveKeepsTheEditorDirtyAndTheWindowOpen) {
    FileSpec spec = Library("fail.LBX", {{"R1"}, {"R2"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    ASSERT_NE(editor, nullptr);
    const int32_t windowID = editor->windowID;
    DeleteLibraryItem(editor, Ref(editor, "R1"));
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, BoxItem({"C1"}), 0, 0));
    // Every write of the file fails now.
    editor->library.file.flags |= kDynamicFileReadOnly;
    EXPECT_EQ(SaveLibEditorChanges(editor), status::kPermission);
    EXPECT_EQ(Script().reported, std::vector<OSStatus>{status::kPermission});
    EXPECT_TRUE(IsLibEditorDirty(editor));
    EXPECT_EQ(editor->deletions->count, 1u);
    // Closing with "save" stops at the failed save.
    Script().save = LibSaveAnswer::kSave;
    EXPECT_FALSE(VXSendGoAway(editor->window));
    EXPECT_EQ(GetOpenLibEditor(&spec), editor);
    EXPECT_NE(VXGetWindowFromId(windowID), nullptr);
    EXPECT_EQ(Items(editor), (std::vector<std::string>{"R2", "C1"}));
    // Writable again, the save goes through and the close too.
    editor->library.file.flags &= uint16_t(~kDynamicFileReadOnly);
    EXPECT_TRUE(VXSendGoAway(editor->window));
    EXPECT_EQ(GetOpenLibEditor(&spec), nullptr);
    EXPECT_EQ(VXGetWindowFromId(windowID), nullptr);
    OpenLibrary reopened(dir_.file("fail.LBX"), kLibraryOpenLoadMap);
    EXPECT_EQ(reopened.Names(), (std::vector<std::string>{"C1", "R2"}));
}

// A library save that meets a full disk at any byte, for good or for one write (room comes back
// after it): a save that lost bytes reports it, the file stays byte for byte and the editor keeps
// every change to save again; a save that reports success wrote all of them.
TEST_F(LibEditorTest, AFullDiskAtAnyByteOfASaveLeavesTheLibraryAsItWas) {
    const FileSpec spec = Library("full.LBX", {{"A"}, {"B"}, {"C"}});
    std::string before;
    ASSERT_TRUE(ReadFile(dir_.file("full.LBX"), before));
    const std::vector<std::string> saved = {"B", "B2", "C", "N"};
    // Opens the library as it was and makes the changes: one deleted, one changed, one new.
    auto changed = [&] {
        EXPECT_TRUE(WriteFile(dir_.file("full.LBX"), before));
        FileSpec at = spec;
        LibEditorRecord* editor = OpenLibraryEditor(&at);
        EXPECT_NE(editor, nullptr);
        DeleteLibraryItem(editor, Ref(editor, "A"));
        LibEditorItemRef* b = Ref(editor, "B");
        SetLibEditorItemData(editor, b, BoxItem({"B", "B2"}));
        SetupLibEditorItemNames(editor, b);
        ReleaseLibEditorItemData(b);
        AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, BoxItem({"N"}), 0, 0));
        return editor;
    };
    auto close = [&](LibEditorRecord* editor) {
        Script().save = LibSaveAnswer::kDontSave;
        EXPECT_TRUE(CloseLibEditor(editor, false));
    };
    int64_t total = 0;
    {
        LibEditorRecord* editor = changed();
        FullDisk measure(-1);
        ASSERT_EQ(SaveLibEditorChanges(editor), 0);
        total = GetFileBytesWritten();
        close(editor);
    }
    const std::vector<std::string> names = FolderNames(dir_.path());
    int failed = 0;
    for (int32_t failures : {-1, 1}) {
        for (int64_t room : FullDiskPoints(total, 24)) {
            SCOPED_TRACE(testing::Message() << "room " << room << " of " << total << ", failures " << failures);
            LibEditorRecord* editor = changed();
            OSStatus st;
            {
                FullDisk disk(room, failures);
                st = SaveLibEditorChanges(editor);
            }
            EXPECT_EQ(FolderNames(dir_.path()), names);
            if (st == 0) {
                EXPECT_EQ(failures, 1);
                EXPECT_FALSE(IsLibEditorDirty(editor));
            } else {
                ++failed;
                std::string bytes;
                ASSERT_TRUE(ReadFile(dir_.file("full.LBX"), bytes));
                EXPECT_TRUE(bytes == before);
                EXPECT_TRUE(IsLibEditorDirty(editor));
                EXPECT_EQ(MapNames(editor->library.map), (std::vector<std::string>{"A", "B", "C"}));
                // With room again, the same editor saves every change.
                EXPECT_EQ(SaveLibEditorChanges(editor), 0);
            }
            close(editor);
            OpenLibrary reopened(dir_.file("full.LBX"), kLibraryOpenLoadMap);
            EXPECT_EQ(reopened.Names(), saved);
        }
    }
    EXPECT_GT(failed, 24);
}

TEST_F(LibEditorTest, CancelOrDontSaveAtClose) {
    FileSpec spec = Library("close.LBX", {{"R1"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    DeleteLibraryItem(editor, Ref(editor, "R1"));
    Script().save = LibSaveAnswer::kCancel;
    EXPECT_FALSE(CloseLibEditor(editor, false));
    EXPECT_EQ(Script().asked, std::vector<std::string>{"save close.LBX"});
    Script().save = LibSaveAnswer::kDontSave;
    EXPECT_TRUE(CloseLibEditor(editor, false));
    OpenLibrary reopened(dir_.file("close.LBX"), kLibraryOpenLoadMap);
    EXPECT_EQ(reopened.Names(), std::vector<std::string>{"R1"});
}

TEST_F(LibEditorTest, ABlockIsReleasedOnceEvenWhenOtherDeletionsFail) {
    FileSpec spec = Library("once.LBX", {{"A"}, {"B"}, {"Z"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    LibEditorItemRef* a = Ref(editor, "A");
    LibEditorItemRef* b = Ref(editor, "B");
    const uint32_t blockA = a->blockId, blockB = b->blockId;
    DeleteLibraryItem(editor, a);
    DeleteLibraryItem(editor, b);
    // B's block goes behind the editor's back: its release fails.
    ASSERT_EQ(DeleteLibraryFileItem(&editor->library, blockB, true), 0);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_EQ(editor->deletions->count, 0u);
    // New items take the freed places; the next saves leave them alone.
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, BoxItem({"C"}), 0, 0));
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, BoxItem({"D"}), 0, 0));
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    for (const char* name : {"C", "D", "Z"})
        EXPECT_EQ(StoredNames(editor, Ref(editor, name)->blockId), std::vector<std::string>{name}) << name;
    EXPECT_EQ(MapNames(editor->library.map), (std::vector<std::string>{"C", "D", "Z"}));
    (void)blockA;
    ASSERT_TRUE(CloseLibEditor(editor, false));
    OpenLibrary reopened(dir_.file("once.LBX"), kLibraryOpenRebuildMap);
    EXPECT_EQ(reopened.Names(), (std::vector<std::string>{"C", "D", "Z"}));
}

TEST_F(LibEditorTest, CutPasteAndClearByClicksKeysAndCommands) {
    FileSpec spec = Library("edit.LBX", {{"A"}, {"B"}, {"C"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    ASSERT_NE(editor, nullptr);
    ClickRow(editor, 1);
    EXPECT_EQ(SetSelectionFlags(editor).item, Ref(editor, "B"));
    EXPECT_NE(Command(editor, kCmdLibCut), 0);
    EXPECT_EQ(Rows(editor), "A|C");
    ASSERT_NE(gLibEditorClip, nullptr);
    EXPECT_EQ(gLibEditorClip->items->count, 1u);
    EXPECT_TRUE(IsLibEditorDirty(editor));
    // Paste brings it back as a new item, selected.
    ClickRow(editor, 0);
    EXPECT_NE(Command(editor, kCmdLibPaste), 0);
    EXPECT_EQ(Rows(editor), "A|C|B");
    LibEditorItemRef* pasted = Ref(editor, "B");
    EXPECT_EQ(pasted->blockId, 0u);
    EXPECT_TRUE(IsLibItemDirty(pasted));
    EXPECT_EQ(SelectedItems(editor), std::vector<LibEditorItemRef*>{pasted});
    // A click beside a name clears the selection.
    ClickRow(editor, 2, 1, 0, 300);
    EXPECT_EQ(VXCountListViewSelections(editor->window), 0);
    // The deletion key asks first; with Shift it does not.
    ClickRow(editor, 0);
    Script().confirm = false;
    VXSendCharacterEventToWindow(editor->window, 8, 0);
    EXPECT_EQ(Script().asked, std::vector<std::string>{kRemoveItemsQuestion});
    EXPECT_EQ(Rows(editor), "A|C|B");
    VXSendCharacterEventToWindow(editor->window, 8, kVXModShift);
    EXPECT_EQ(Script().asked.size(), 1u);
    EXPECT_EQ(Rows(editor), "C|B");
    // The new block of the pasted item comes with the save; the cut and cleared ones go.
    EXPECT_EQ(Command(editor, kCmdLibSave), 1);
    EXPECT_NE(pasted->blockId, 0u);
    EXPECT_EQ(MapNames(editor->library.map), (std::vector<std::string>{"B", "C"}));
    // Select All, Duplicate.
    Command(editor, kCmdLibSelectAll);
    Command(editor, kCmdLibDuplicate);
    EXPECT_EQ(Rows(editor), "C|B|C|B");
    EXPECT_EQ(SelectedItems(editor).size(), 2u);
}

TEST_F(LibEditorTest, RevertRestoresStoredNamesAndRemovesNewItems) {
    FileSpec spec = Library("revert.LBX", {{"A", "A1"}, {"B"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    LibEditorItemRef* a = Ref(editor, "A");
    SetLibEditorItemData(editor, a, BoxItem({"Renamed"}));
    SetupLibEditorItemNames(editor, a);
    ReleaseLibEditorItemData(a);
    EXPECT_EQ(Rows(editor), "Renamed|B");
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, BoxItem({"New"}), 0, 0));
    // Revert is enabled for a modified selection and names it.
    ClickRow(editor, 0);
    char title[256] = "";
    VXPrepCommandRecord prep{};
    prep.window = editor->window;
    prep.title = title;
    prep.command = kCmdLibRevert;
    prep.enabled = 1;
    EXPECT_EQ(LibEditorPrepCommand(&prep), 1);
    EXPECT_EQ(prep.enabled, 1);
    EXPECT_STREQ(title, "Revert Renamed");
    VXSetListViewItemSelected(editor->window, 2, true);
    title[0] = 0;
    LibEditorPrepCommand(&prep);
    EXPECT_STREQ(title, "Revert selected items");
    EXPECT_EQ(Command(editor, kCmdLibRevert), 1);
    EXPECT_EQ(Items(editor), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(CountLibEditorItemNames(a), 2);
    EXPECT_FALSE(IsLibEditorDirty(editor));
    // Nothing modified is selected now.
    ClickRow(editor, 0);
    LibEditorPrepCommand(&prep);
    EXPECT_EQ(prep.enabled, 0);
}

TEST_F(LibEditorTest, OpeningManyItemsAsksOrRefuses) {
    const struct {
        int32_t count;
        bool allowed;
        size_t questions;
    } cases[] = {{1, true, 0}, {7, true, 0}, {8, true, 1}, {24, true, 1}, {25, false, 1}, {30, false, 1}};
    for (const auto& c : cases) {
        Script().asked.clear();
        EXPECT_EQ(VerifyWindowCount(c.count), c.allowed) << c.count;
        EXPECT_EQ(Script().asked.size(), c.questions) << c.count;
    }
    EXPECT_EQ(Script().asked, std::vector<std::string>{kTooManyWindowsMessage});
    Script().confirm = false;
    EXPECT_FALSE(VerifyWindowCount(8));
}

TEST_F(LibEditorTest, ForcedCloseWritesNothing) {
    FileSpec spec = Library("force.LBX", {{"A"}});
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    DeleteLibraryItem(editor, Ref(editor, "A"));
    EXPECT_TRUE(CloseLibEditor(editor, true));
    EXPECT_TRUE(Script().asked.empty());
    OpenLibrary reopened(dir_.file("force.LBX"), kLibraryOpenLoadMap);
    EXPECT_EQ(reopened.Names(), std::vector<std::string>{"A"});
}

TEST_F(LibEditorTest, AltWhileOpeningRebuildsTheItemMap) {
    FileSpec spec = Library("alt.LBX", {{"A"}, {"B", "B1"}});
    TestSetKeyDown(kLibRebuildMapKey, true);
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    TestSetKeyDown(kLibRebuildMapKey, false);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->library.header.mapInvalid, 1);  // written again at the next flush
    EXPECT_EQ(Items(editor), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(CountLibEditorItemNames(Ref(editor, "B")), 2);
}

// A crash while the last item was written: the file ends inside that block. The editor cuts the
// lost block off, says what was recovered and opens the library for changes.
TEST_F(LibEditorTest, ALibraryCutShortByACrashOpensForChangesAfterSayingWhatWasRecovered) {
    const std::string path = dir_.file("crash.LBX");
    FileSpec spec = Library("crash.LBX", {{"A"}, {"B"}});
    {
        OpenLibrary library(path, kLibraryOpenLoadMap);
        // Too big for the free space the first map left: the item goes at the end of the file.
        std::vector<std::string> names{"LOST"};
        for (int i = 0; i < 40; ++i) names.push_back("LOST-ALIAS-" + std::string(40, char('A' + i % 26)) + std::to_string(i));
        Handle flat = BoxItem(names);
        uint32_t id = 0;
        EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
        MemFree(flat);
        uint32_t size = 0;
        uint32_t next = id;
        uint8_t type = 0;
        ASSERT_EQ(ScanFileBlocks(&library.record.file, &next, &size, &type), 0);
        ASSERT_EQ(next, 0u);  // the last block of the file
        // The program stops: nothing more reaches the file, and its last block loses its tail.
        EXPECT_EQ(CloseAndMaybeFlushDynamicFile(&library.record.file, true), 0);
        DestroyLibraryItemMap(library.record.map, library.record.names);
        std::memset(static_cast<void*>(&library.record), 0, sizeof library.record);
        ASSERT_EQ(::truncate(path.c_str(), off_t(id) + 4), 0);
    }
    {
        OpenLibrary writable(path, kLibraryOpenLoadMap);
        EXPECT_EQ(writable.status, status::kEndOfFile);  // without recovery: refused
    }
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(Script().asked.size(), 1u);
    EXPECT_NE(Script().asked[0].find("crash.LBX"), std::string::npos) << Script().asked[0];
    EXPECT_NE(Script().asked[0].find("2 items were recovered"), std::string::npos) << Script().asked[0];
    EXPECT_EQ(Items(editor), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(editor->library.file.flags & kDynamicFileReadOnly);
    // Changes reach the file, which is sound again.
    LibEditorItemRef* added = CreateLibEditorItemRef(editor, nullptr, BoxItem({"C"}), 0, 0);
    AddItemToLibEditor(editor, added);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_TRUE(CloseLibEditor(editor, false));
    OpenLibrary reopened(path, kLibraryOpenLoadMap);
    EXPECT_EQ(reopened.status, 0);
    EXPECT_EQ(reopened.Names(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(CheckDynamicFile(&reopened.record.file, nullptr, nullptr), 0);
}

// What the model once lost on the way through a library: bold and italic symbol texts without a
// theme, an image's optional-fill flag, pins, and a definition not drawn yet (an item being edited).
// Written, reopened and inflated, the item dumps the same, with each of them in the dump.
TEST_F(LibEditorTest, FacesFlagsPinsAndUndrawnDefinitionsComeBackFromTheLibrary) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "KEPT", 0));
    LinkListHeader* elements = CreateElementList(item->imageList);
    LinkListHeader* texts = CreateTextList();
    LLAppend(elements, BuildNodeElement({10, 40}, {10, 0}, 1, 0, false, 0, false, 0, false, 0));
    ElementRecord* image = BuildImageElement(item->imageList, GreyImage(4, 4, 2), 0, {0, 60}, 4, 4, 72, 72, true,
                                             false, 0, false, 0);
    image->flags |= kElementOptionalFill;
    LLAppend(elements, image);
    TextRecord* text = CreateTextElement();
    text->kind = kTextKindFree;
    text->style = Style(12, kFaceBold | kFaceItalic);
    SetupTheText(text, sheet.stringBlock, {-10, 0}, nullptr, "Note");
    LLAppend(texts, text);
    Handle drawing = ElementsToSymbolData(elements, texts, nullptr, sheet.stringBlock, false, item->imageList);
    ASSERT_NE(drawing, nullptr);
    Ptr main = AllocPtrWithData(nullptr, *drawing, SizeOfHandle(drawing));
    MemFree(drawing);
    DestroyElementList(elements);
    DestroyTextList(texts);
    ASSERT_EQ(AddLibSymbolDef(item, "Drawn", main, nullptr, item->imageList, Ids({uint16_t(AddPin(item, "A", kPinInput))})), 0);
    AddSection(item, "", 0, {{"1"}});
    ASSERT_EQ(AddLibSymbolDef(item, "Not drawn yet", nullptr, nullptr, item->imageList, nullptr), 1);
    SetLibSymbolFlags(item, 1, 0x30);
    OSStatus st = 0;
    Handle flat = FlattenLibraryItem(item, true, 1, &st);
    ASSERT_EQ(st, 0);
    const std::string dump = DumpLibraryItem(item);
    DestroyLibraryItem(item);
    EXPECT_NE(dump.find("\"Note\" face 3"), std::string::npos) << dump;
    EXPECT_NE(dump.find("image (60,0)-(63,3) pen 1 flags 0x1100"), std::string::npos) << dump;
    EXPECT_NE(dump.find("node "), std::string::npos) << dump;
    EXPECT_NE(dump.find("\"Not drawn yet\" flags 0x30"), std::string::npos) << dump;

    const std::string path = dir_.file("kept.LBX");
    MakeLibrary(path);
    {
        OpenLibrary library(path, kLibraryOpenLoadMap);
        uint32_t id = 0;
        EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
    }
    MemFree(flat);
    OpenLibrary reopened(path, kLibraryOpenLoadMap);
    ASSERT_EQ(reopened.status, 0);
    const uint32_t block = reopened.Block("KEPT");
    ASSERT_NE(block, 0u);
    FlatHandle stored(reopened.Load(block));
    LibraryItem* back = nullptr;
    ASSERT_EQ(InflateLibraryItem(stored, &back, true), 0);
    EXPECT_EQ(DumpLibraryItem(back), dump);
    DestroyLibraryItem(back);
}

FileSpec gPrompted;
bool PromptWith(FileSpec* spec) {
    *spec = gPrompted;
    return true;
}

TEST_F(LibEditorTest, ANewLibraryReplacesTheFileOfAnOpenEditor) {
    FileSpec spec = Library("new.LBX", {{"OLD"}});
    LibEditorRecord* old = OpenLibraryEditor(&spec);
    DeleteLibraryItem(old, Ref(old, "OLD"));
    gPrompted = spec;
    SetPromptCreateLibraryProc(PromptWith);
    LibEditorRecord* editor = CreateNewLibrary();
    SetPromptCreateLibraryProc(nullptr);
    ASSERT_NE(editor, nullptr);
    // The old editor went without a question; the new library is empty.
    EXPECT_TRUE(Script().asked.empty());
    EXPECT_EQ(GetOpenLibEditor(&spec), editor);
    EXPECT_EQ(editor->items->count, 0u);
    EXPECT_EQ(gLibraryEditors, editor);
    EXPECT_EQ(editor->next, nullptr);
    // Cancelled: nothing.
    EXPECT_EQ(CreateNewLibrary(), nullptr);
}

}  // namespace
}  // namespace plexa::test
