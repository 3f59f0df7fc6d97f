// The library editor with its items open in symbol editors: new items, names added in a symbol
// editor reaching the rows and the file at the save, an item whose open symbol is not valid kept
// out of the save, and closing a library with its symbol editors.
#include <gtest/gtest.h>

#include "app/editor_root.h"
#include "app/root.h"
#include "symboleditor/libeditor.h"
#include "library/tests/library_testing.h"
#include "symboleditor/libeditorlink.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/tests/symeditor_testing.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_treeview.h"

namespace plexa::test {
namespace {

class LibEditorLink : public SymEditTest {
protected:
    void SetUp() override {
        SymEditTest::SetUp();
        VXInitControls();
        InstallEditorHooks();
        // The save question and the error reports answer without a person.
        LibEditorHooks hooks = GetLibEditorHooks();
        hooks.askSave = [](LibEditorRecord*, const char*) { return LibSaveAnswer::kSave; };
        hooks.reportError = [](OSStatus) {};
        SetLibEditorHooks(hooks);
    }
    void TearDown() override {
        DisposeLibraryEditors();
        InstallCoreHooks();
        SymEditTest::TearDown();
    }
    LibEditorRecord* Open(const std::string& name) {
        const std::string path = dir_.file(name);
        MakeLibrary(path);
        FileSpec spec = SpecOf(path);
        return OpenLibraryEditor(&spec);
    }
    static std::string Name(LibEditorRecord* editor, LibEditorItemRef* ref, int32_t index) {
        char name[256];
        GetLibEditorItemName(editor, ref, index, name);
        return name;
    }
    TempDir dir_;
};

TEST_F(LibEditorLink, ANewItemOpensInASymbolEditorAndIsSavedOnceValid) {
    LibEditorRecord* editor = Open("new.LBX");
    ASSERT_NE(editor, nullptr);
    LibEditorItemRef* ref = NewLibraryItem(editor, "R", kLibItemComponent, 0);
    ASSERT_NE(ref, nullptr);
    SymbolEditorRecord* symbolEditor = ref->symbolEditor;
    ASSERT_NE(symbolEditor, nullptr);
    EXPECT_EQ(symbolEditor->libEditor, editor);
    EXPECT_TRUE(IsLibEditorDirty(editor));
    // Without graphics the open symbol is not valid: the save leaves it out and keeps it.
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_EQ(ref->blockId, 0u);
    EXPECT_EQ(CountLibItemMapEntries(editor->library.map), 0);
    EXPECT_TRUE(IsLibEditorDirty(editor));
    // A drawing and an alias: the save writes both, and the alias gets its row.
    AddRect(symbolEditor, Point{0, 0}, Point{20, 40});
    EXPECT_TRUE(SetLibraryItemNameInfo(symbolEditor->item, kLibAppendName, "R-ALIAS", 0));
    SetSymbolLibItemModified(symbolEditor);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_NE(ref->blockId, 0u);
    EXPECT_EQ(CountLibEditorItemNames(ref), 2);
    EXPECT_EQ(Name(editor, ref, 1), "R-ALIAS");
    EXPECT_EQ(MapNames(editor->library.map), (std::vector<std::string>{"R", "R-ALIAS"}));
    VXTreeNode* node = VXGetIndexedTreeViewNode(editor->window, 0);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->children, nullptr);
    EXPECT_EQ(node->children->count, 1u);
    EXPECT_FALSE(IsLibEditorDirty(editor));
}

// The options of the new-item dialog become symbol flags that the save writes into the item.
TEST_F(LibEditorLink, TheNewItemDialogsFlagsReachTheFile) {
    struct Case {
        const char* name;
        uint8_t kind;
        uint32_t flags;
    };
    const Case cases[] = {{"LOCAL", kLibItemWireSymbol, 0x100},
                          {"IN", kLibItemPort, 0x10},
                          {"BIDI", kLibItemPort, 0x30}};
    const std::string path = dir_.file("flags.LBX");
    LibEditorRecord* editor = Open("flags.LBX");
    ASSERT_NE(editor, nullptr);
    for (const Case& c : cases) {
        LibEditorItemRef* ref = NewLibraryItem(editor, c.name, c.kind, c.flags);
        ASSERT_NE(ref, nullptr);
        ASSERT_NE(ref->symbolEditor, nullptr);
        // Closed before anything is drawn, and opened again: the flags are still the symbol's.
        ASSERT_TRUE(CloseLibrarySymbolEditor(ref->symbolEditor, true, false));
        ASSERT_NE(OpenLibSymbolEditor(editor, ref), nullptr);
        AddRect(ref->symbolEditor, Point{0, 0}, Point{20, 40});
    }
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_TRUE(CloseLibEditor(editor, false));
    OpenLibrary reopened(path, kLibraryOpenLoadMap);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t block = reopened.Block(c.name);
        ASSERT_NE(block, 0u);
        FlatHandle flat(reopened.Load(block));
        LibraryItem* item = nullptr;
        ASSERT_EQ(InflateLibraryItem(flat, &item, true), 0);
        ASSERT_EQ(item->head.symbolCount, 1);
        EXPECT_EQ(GetLibSymbolFlags(item, 0) & c.flags, c.flags);
        DestroyLibraryItem(item);
    }
}

TEST_F(LibEditorLink, AnItemClosedWithoutASymbolIsDroppedAtTheSave) {
    LibEditorRecord* editor = Open("drop.LBX");
    LibEditorItemRef* ref = NewLibraryItem(editor, "EMPTY", kLibItemComponent, 0);
    ASSERT_NE(ref, nullptr);
    // Closed anyway, the item keeps its edits and is struck through; the save drops it.
    ASSERT_TRUE(CloseLibrarySymbolEditor(ref->symbolEditor, true, false));
    EXPECT_EQ(ref->symbolEditor, nullptr);
    EXPECT_EQ(SaveLibEditorChanges(editor), 0);
    EXPECT_EQ(editor->items->count, 0u);
    EXPECT_EQ(VXCountListViewItems(editor->window), 0);
    EXPECT_EQ(CountLibItemMapEntries(editor->library.map), 0);
}

TEST_F(LibEditorLink, ReturnOpensTheSelectionAndClosingTheLibraryClosesItsEditors) {
    LibEditorRecord* editor = Open("close.LBX");
    LibEditorItemRef* ref = NewLibraryItem(editor, "Q", kLibItemComponent, 0);
    AddRect(ref->symbolEditor, Point{0, 0}, Point{20, 40});
    ASSERT_TRUE(CloseLibrarySymbolEditor(ref->symbolEditor, true, true));
    EXPECT_EQ(CountSymbolEditors(), 0);
    SelectLibEditorItem(editor, ref, true);
    VXSendCharacterEventToWindow(editor->window, 13, 0);
    ASSERT_EQ(CountSymbolEditors(), 1);
    EXPECT_EQ(ref->symbolEditor, GetIndexedSymbolEditor(0));
    const std::string path = dir_.file("close.LBX");
    EXPECT_TRUE(CloseLibEditor(editor, false));
    EXPECT_EQ(CountSymbolEditors(), 0);
    OpenLibrary reopened(path, kLibraryOpenLoadMap);
    EXPECT_EQ(reopened.Names(), std::vector<std::string>{"Q"});
}

}  // namespace
}  // namespace plexa::test
