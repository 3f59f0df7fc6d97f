// The panes of the symbol editor's window: what a wire symbol's window lacks, tools and tabs, and
// the parts tree's deleting of sections, and the question that makes a missing pin set.
#include "symboleditor/symtools.h"

#include <gtest/gtest.h>

#include "foundation/ll.h"
#include "model/libitem.h"
#include "symboleditor/sympins.h"
#include "symboleditor/tests/symdialogs_testing.h"
#include "symboleditor/tests/symwindow_testing.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_treeview.h"

namespace plexa::test {
namespace {

class SymTools : public SymWindowTest {
protected:
    SymbolEditorRecord* Editor(uint8_t kind) {
        SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kind, {"Gate"}), 0);
        EXPECT_NE(editor, nullptr);
        return editor;
    }
    static int32_t Sections(SymbolEditorRecord* editor) { return int32_t(editor->item->sections->count); }
};

TEST_F(SymTools, AWireSymbolsWindowHasTwoTabsAndANarrowToolBar) {
    SymbolEditorRecord* editor = Editor(kLibItemWireSymbol);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(VXGetSegmentCount(editor->tabPane, kSymTabsItem), 2);
    Rect tools{};
    VXGetClientRect(editor->toolPane, &tools);
    EXPECT_EQ(tools.right - tools.left, kSymToolsWidthOther);
    EXPECT_EQ(VXGetItemEnabled(editor->toolPane, kSymEditToolText), 0);
    EXPECT_EQ(VXGetItemEnabled(editor->toolPane, kSymEditToolPin), 0);
    EXPECT_EQ(editor->partsTree, nullptr);
    EXPECT_EQ(VXGetControl(editor->toolPane, kSymPrefixItem, nullptr), nullptr);
    EXPECT_EQ(VXGetItemVisible(editor->topToolPane, kSymAltSymbolItem), 0);

    SymbolEditorRecord* component = Editor(kLibItemComponent);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(VXGetSegmentCount(component->tabPane, kSymTabsItem), 6);
    EXPECT_NE(component->partsTree, nullptr);
    EXPECT_NE(VXGetItemVisible(component->topToolPane, kSymAltSymbolItem), 0);
}

TEST_F(SymTools, ChoosingAToolAgainStillClearsTheSelection) {
    SymbolEditorRecord* editor = Editor(kLibItemComponent);
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    box->flags |= kElementSelected;
    SetSymbolEditorTool(editor, kSymEditToolSelect);
    EXPECT_FALSE(box->flags & kElementSelected);
    SetSymbolEditorTool(editor, 3);
    EXPECT_EQ(editor->tool, 3);
    EXPECT_EQ(VXGetButtonState(editor->toolPane, 3), 1);
    EXPECT_EQ(VXGetButtonState(editor->toolPane, kSymEditToolSelect), 0);
}

TEST_F(SymTools, AListTabKeepsThePinsWrittenIntoTheItem) {
    SymbolEditorRecord* editor = Editor(kLibItemComponent);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {96, 96}, {120, 144});
    AddPin(editor, {108, 72}, {108, 96}, "IN", "7");
    SetSymbolEditorView(editor, kSymEditTabPins, -1);
    EXPECT_EQ(editor->currentTab, kSymEditTabPins);
    EXPECT_EQ(editor->window->typeID, kSymbolEditorChildKind);
    // The item has the pin's number while the list is shown.
    auto* section = static_cast<LibSection*>(LLFirst(editor->item->sections));
    char number[kLibItemTextSize];
    GetLibSectionPinNumber(section, editor->item->stringBlock, 0, 0, number);
    EXPECT_STREQ(number, "7");
    SetSymbolEditorView(editor, kSymEditTabDrawing, -1);
    EXPECT_EQ(editor->window->typeID, kSymbolEditorWindowKind);
    ASSERT_EQ(CountSymbolEditorNodes(editor), 1);
    EXPECT_EQ(PinNumber(editor, ViewPins(editor->elements)[0]), "7");
}

TEST_F(SymTools, TheLastSectionOfASymbolIsNotDeleted) {
    SymbolEditorRecord* editor = Editor(kLibItemComponent);
    ASSERT_NE(editor, nullptr);
    VXWindowRecordTag* tree = static_cast<VXWindowRecordTag*>(editor->partsTree);
    ASSERT_NE(tree, nullptr);
    BuildPartsTree(editor);
    ASSERT_EQ(Sections(editor), 1);
    VXTreeNode* only = VXGetTreeNodeChild(GetPartsTreeSymbolBranch(tree, 0));
    DeletePartSection(editor, only);  // beeps
    EXPECT_EQ(Sections(editor), 1);
    DoNewPart(editor, true);
    ASSERT_EQ(Sections(editor), 2);
    LibSection* second = editor->section;
    EXPECT_EQ(GetPartsTreeSectionIndex(tree, second), 2);
    DeletePartSection(editor, VXGetTreeNodeChild(GetPartsTreeSymbolBranch(tree, 0)));
    EXPECT_EQ(Sections(editor), 1);
    EXPECT_EQ(editor->section, second);
    EXPECT_EQ(GetPartsTreeSectionIndex(tree, second), 1);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(SymTools, TheLineWidthPopupMarksOneElementsWidthOrNoneForSeveral) {
    SymbolEditorRecord* editor = Editor(kLibItemComponent);
    ASSERT_NE(editor, nullptr);
    editor->penWidth = 3;
    EXPECT_EQ(SymbolEditorMarkedLineWidth(editor), 3);
    ElementRecord* a = AddRect(editor, {96, 96}, {120, 144});
    ElementRecord* b = AddRect(editor, {196, 96}, {220, 144});
    a->penWidth = 2;
    a->flags |= kElementSelected;
    EXPECT_EQ(SymbolEditorMarkedLineWidth(editor), 2);
    b->flags |= kElementSelected;
    EXPECT_EQ(SymbolEditorMarkedLineWidth(editor), 0);
}

// The question about a missing pin set is the toolkit's alert, answered here by its keys: Escape
// is Cancel, Return is Create.
class SymPinSetQuestion : public SymDialogsTest {};

TEST_F(SymPinSetQuestion, AMissingPinSetIsMadeFromTheCurrentOneOnlyWhenTheUserAgrees) {
    static std::string asked;
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"U"}), 0);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {0, 0}, {96, 96});
    ElementRecord* pin = AddPin(editor, {12, -24}, {12, 0}, "IN", "5");
    const auto readQuestion = [](VXWindowRecordTag* alert) {
        char message[256] = {}, button[64] = {};
        VXGetItemText(alert, 1, message);
        VXGetItemText(alert, 3, button);
        asked = std::string(message) + " | " + button;
    };
    InDialog(readQuestion, 27);
    EXPECT_FALSE(DoPinSetSelection(editor, 2));
    EXPECT_EQ(asked, "Pin Set 3 does not exist. Would you like to create it? | Create");  // counted from 1
    EXPECT_EQ(editor->pinSet, 0);
    EXPECT_EQ(editor->pinSets[2], 0);
    asked.clear();
    InDialog(readQuestion, 13);
    ASSERT_TRUE(DoPinSetSelection(editor, 2));
    EXPECT_FALSE(asked.empty());
    EXPECT_EQ(editor->pinSet, 2);
    EXPECT_EQ(editor->pinSets[2], 1);
    EXPECT_EQ(PinNumber(editor, pin), "5");  // copied from set 0
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    char number[kLibItemTextSize];
    GetLibSectionPinNumber(editor->section, editor->item->stringBlock, 2, 0, number);
    EXPECT_STREQ(number, "5");
    // An existing set is chosen without a question (no alert comes up to answer).
    EXPECT_TRUE(DoPinSetSelection(editor, 0));
    EXPECT_EQ(editor->pinSet, 0);
    EXPECT_EQ(gModalWindowDepth, 0);
}

}  // namespace
}  // namespace plexa::test
