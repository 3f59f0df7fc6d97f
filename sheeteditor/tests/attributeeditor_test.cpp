// The attribute editor's list: what it copies and writes back, name completion from the
// property-name list, the characters names take, and texts at and past their limits (UTF-8).
#include "sheeteditor/attributeeditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/memory.h"
#include "model/attributes.h"
#include "model/symbols.h"
#include "sheeteditor/propertynames.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"
#include "sheeteditor/tests/dialogs_testing.h"

namespace plexa::test {
namespace {

class AttributeEditorTest : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        block = CreateStringBlock(gGenPool, 256);
        list = AllocHandle(gGenPool, 0);
        for (auto& l : gPropertyNamesTable) l.clear();
    }
    void TearDown() override {
        if (panel_) VXDestroyWindow(panel_);
        for (auto& l : gPropertyNamesTable) l.clear();
        if (list) MemFree(list);
        DestroyStringBlock(block);
        AppDialogsTest::TearDown();
    }
    void Add(const char* name, const char* value) {
        const uint16_t flags = 0;
        SetAttributeValue(block, list, 0, &count, name, value, &flags);
    }
    std::string Listed() {
        std::string out;
        for (int32_t i = 0; i < count; i++) {
            char name[kAttributeTextSize], value[kAttributeTextSize];
            GetIndexedAttribute(block, list, 0, i, name, value, nullptr, nullptr);
            out += std::string(name) + "=" + value + " ";
        }
        return out;
    }
    // An editor over the test's list in a shown panel window, destroyed with the test.
    AttributeEditor* InPanel(bool visibilityColumn) {
        const Rect rect{100, 100, 400, 560};
        panel_ = VXCreateWindow(kVXWindowDocument, 0, 0, 0, 0, 0, &rect, "Panel", 0, nullptr, nullptr);
        if (!panel_) return nullptr;
        AttributeEditor* editor =
            CreateAttributeDialogPanel(panel_, block, list, 0, count, kComponentNames, visibilityColumn, false);
        VXShowWindow(panel_);
        return editor;
    }
    VXWindowRecordTag* panel_ = nullptr;
    StringBlock block = nullptr;
    Handle list = nullptr;
    int16_t count = 0;
};

TEST_F(AttributeEditorTest, InternalNamesAreNeitherShownNorRemovedWhenWrittenBack) {
    Add("~REF", "U1");
    Add("Value", "10k");
    Add("Tolerance", "5%");
    AttributeEditor* editor = CreateAttributeEditor(block, list, 0, count, kComponentNames, false);
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->rows.size(), 3u);  // two shown and the empty row
    EXPECT_EQ(GetAttributeEditorName(editor, 0), "Value");
    EXPECT_EQ(GetAttributeEditorName(editor, 2), "");
    EXPECT_TRUE(CommitAttributeField(editor, 1, 1, "  1%  "));
    EXPECT_TRUE(CommitAttributeField(editor, 0, 0, ""));  // an emptied name keeps the old one
    EXPECT_TRUE(CommitAttributeField(editor, 2, 0, "Power"));
    EXPECT_EQ(editor->rows.size(), 4u);  // a new empty row follows the new attribute
    EXPECT_TRUE(editor->changed);
    EXPECT_EQ(GetAttributeEditorData(editor, list, 0, &count, block, false), list);
    EXPECT_EQ(Listed(), "~REF=U1 Value=10k Tolerance=1% Power= ");
    DestroyAttributeEditor(editor);
}

TEST_F(AttributeEditorTest, TypedNamesCompleteFromTheListUnlessAnotherRowHasThem) {
    for (const char* name : {"Voltage", "Value", "Val10", "Val9", "Manufacturer"})
        AppendPropertyNames(kComponentNames, name);
    AttributeEditor* editor = CreateAttributeEditor(nullptr, nullptr, 0, 0, kComponentNames, false);
    EXPECT_EQ(AutoCompleteAttributeName(editor, 0, "Val"), "Val9");  // digit runs by value, before letters
    gPropertyNamesTable[kComponentNames] = {"Voltage", "Value", "Manufacturer"};
    DestroyAttributeEditor(editor);
    editor = CreateAttributeEditor(nullptr, nullptr, 0, 0, kComponentNames, false);
    EXPECT_EQ(AutoCompleteAttributeName(editor, 0, "Val"), "Value");
    EXPECT_EQ(AutoCompleteAttributeName(editor, 0, "val"), "Value");
    EXPECT_EQ(AutoCompleteAttributeName(editor, 0, "Value"), "");  // nothing longer to add
    ASSERT_TRUE(CommitAttributeField(editor, 0, 0, "Value"));
    EXPECT_EQ(AutoCompleteAttributeName(editor, 1, "Val"), "");  // row 0 has it
    EXPECT_EQ(AutoCompleteAttributeName(editor, 0, "Val"), "Value");
    DestroyAttributeEditor(editor);
    // A kind without a list has no menu and completes nothing.
    editor = CreateAttributeEditor(nullptr, nullptr, 0, 0, 5, false);
    EXPECT_EQ(editor->namesMenu, nullptr);
    EXPECT_EQ(AutoCompleteAttributeName(editor, 0, "Val"), "");
    DestroyAttributeEditor(editor);
}

TEST_F(AttributeEditorTest, NamesRefuseAndPastingMapsTheirForbiddenCharacters) {
    for (char c : std::string("`{}~ \t")) EXPECT_FALSE(IsAttributeNameCharacter(uint8_t(c))) << c;
    EXPECT_TRUE(IsAttributeNameCharacter('A'));
    EXPECT_EQ(AttributeNamePasteFilter("a`b{c}d~e f"), "a'b<c>d^e_f");
}

// Texts at their limits are kept whole; one character more is refused with a message and the
// row keeps what it had. Values are written back and read whole, outside ASCII too.
TEST_F(AttributeEditorTest, TextsAtTheirLimitsAreKeptWholeAndLongerOnesRefusedWithAMessage) {
    AttributeEditor* editor = CreateAttributeEditor(nullptr, nullptr, 0, 0, kSignalNames, false);
    std::string shown;
    auto refusedWith = [&](int32_t column, const std::string& text) {
        shown.clear();
        InDialog([&](VXWindowRecordTag* d) {
                     char t[256];
                     VXGetItemText(d, 4, t);  // the alert's message
                     shown = t[0] ? t : "shown";
                 },
                 13);
        return CommitAttributeField(editor, 0, column, text.c_str()) == 0 && !shown.empty();
    };
    std::string ascii(kMaxAttributeValueChars, 'v');
    ASSERT_TRUE(CommitAttributeField(editor, 0, 0, "Note"));
    ASSERT_TRUE(CommitAttributeField(editor, 0, 1, ascii.c_str()));
    EXPECT_EQ(GetAttributeEditorValue(editor, 0), ascii);
    EXPECT_TRUE(refusedWith(1, ascii + "v"));
    EXPECT_EQ(GetAttributeEditorValue(editor, 0), ascii);
    // 511 two-byte characters fill 1022 bytes; one more passes 1023 although it is far below
    // 1000 characters: a string can't hold it, so it is refused rather than cut.
    std::string wide;
    for (int i = 0; i < 511; i++) wide += "\xC3\xA9";
    ASSERT_TRUE(CommitAttributeField(editor, 0, 1, wide.c_str()));
    EXPECT_TRUE(refusedWith(1, wide + "\xC3\xA9"));
    EXPECT_EQ(GetAttributeEditorValue(editor, 0), wide);
    std::string name(kMaxAttributeNameChars, 'n');
    EXPECT_TRUE(CommitAttributeField(editor, 0, 0, name.c_str()));
    EXPECT_TRUE(refusedWith(0, name + "n"));
    EXPECT_EQ(GetAttributeEditorName(editor, 0), name);

    Handle written = GetAttributeEditorData(editor, nullptr, 0, &count, block, true);
    ASSERT_NE(written, nullptr);
    ASSERT_EQ(count, 1);
    char value[kStringSpecBufferSize];
    GetAttributeValue(block, written, 0, count, name.c_str(), value, nullptr, int32_t(sizeof value));
    EXPECT_EQ(std::string(value), wide);
    MemFree(written);
    DestroyAttributeEditor(editor);

    // An editor with nothing in it writes back none when asked.
    editor = CreateAttributeEditor(nullptr, nullptr, 0, 0, kSignalNames, false);
    int16_t none = 0;
    EXPECT_EQ(GetAttributeEditorData(editor, nullptr, 0, &none, block, true), nullptr);
    DestroyAttributeEditor(editor);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

std::string Rows(const AttributeEditor* editor) {
    std::string out;
    for (const auto& row : editor->rows) out += row.name + "=" + row.value + (row.flags & 1 ? "*" : "") + " ";
    return out;
}

// A pasted attribute whose name the editor has replaces only that row's value and flags; the
// others go in before the trailing row in the clip's order; deleting never takes the empty row.
TEST_F(AttributeEditorTest, PastingReplacesKnownNamesAndInsertsTheRestInClipOrder) {
    AttributeEditor* from = CreateAttributeEditor(nullptr, nullptr, 0, 0, kComponentNames, false);
    for (const char* name : {"Value", "Footprint", "Supplier"}) {
        const int32_t row = int32_t(from->rows.size()) - 1;
        ASSERT_TRUE(CommitAttributeField(from, row, 0, name));
        ASSERT_TRUE(CommitAttributeField(from, row, 1, (std::string(name) + "1").c_str()));
    }
    from->rows[0].flags = 1;
    CopySelectedAttributes(from, {0, 2, 3});  // row 3 is the empty one
    EXPECT_EQ(gClipAttrCount, 2);
    EXPECT_EQ(gClipAttrKind, kComponentNames);

    AttributeEditor* to = CreateAttributeEditor(nullptr, nullptr, 0, 0, kComponentNames, false);
    for (const char* name : {"Rating", "Value"}) {
        const int32_t row = int32_t(to->rows.size()) - 1;
        ASSERT_TRUE(CommitAttributeField(to, row, 0, name));
        ASSERT_TRUE(CommitAttributeField(to, row, 1, "x"));
    }
    EXPECT_EQ(PasteAttributes(to, -1), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Rows(to), "Rating=x Value=Value1* Supplier=Supplier1 = ");
    DeleteSelectedAttributes(to, {0, 3});
    EXPECT_EQ(Rows(to), "Value=Value1* Supplier=Supplier1 = ");
    CopySelectedAttributes(to, {2});
    EXPECT_EQ(gClipAttrKind, 65535);
    DestroyAttributeEditor(from);
    DestroyAttributeEditor(to);
    MemFree(gClipAttributes);
    gClipAttributes = nullptr;
    gClipAttrCount = 0;
    DestroyStringBlock(gClipAttrStringBlock);
    gClipAttrStringBlock = nullptr;
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// The names pop-up lists a kind's names in list order under an id of its own, with commands that
// stay below the font names' (8000) however long the list; kinds past 4 have none.
TEST_F(AttributeEditorTest, TheNamesPopupKeepsListOrderAndItsCommandsBelowTheFontNames) {
    for (int i = 0; i < 150; i++) AppendPropertyNames(kPinNames, ("N" + std::to_string(i)).c_str());
    AppendPropertyNames(kPinNames, "N0");  // there already: nothing added
    EXPECT_EQ(gPropertyNamesTable[kPinNames].size(), 150u);
    VXMenuRecord* menu = CreatePropertyNamesMenu(kPinNames);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(VXCountMenuItems(menu), kMaxPropertyNamesMenuItems);
    char text[128];
    VXGetMenuItemText(menu, true, 1, text);
    EXPECT_STREQ(text, "N0");
    VXGetMenuItemText(menu, true, 2, text);
    EXPECT_STREQ(text, "N1");
    EXPECT_LT(VXGetMenuItemTag(menu, VXCountMenuItems(menu)), 8000);
    EXPECT_NE(kPropertyNamesMenuId, 7900);
    VXDestroyMenuEx(menu, true);
    EXPECT_EQ(CreatePropertyNamesMenu(5), nullptr);
    EXPECT_EQ(CreatePropertyNamesMenu(-1), nullptr);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// An editor with a visibility column in a panel: the check mark column flips a row's bit 0, the
// written list carries it, and row 0's name is being edited from the start.
TEST_F(AttributeEditorTest, TheVisColumnFlipsARowsVisibility) {
    Add("Value", "10k");
    Add("Footprint", "0603");
    AttributeEditor* editor = InPanel(true);
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->listWindow, nullptr);
    EXPECT_GT(editor->visColumn, 0);
    int16_t column = 0;
    EXPECT_EQ(VXGetListViewEditFocus(editor->listWindow, &column, nullptr, nullptr), 0);
    EXPECT_EQ(column, 1);
    const int32_t x = editor->visColumn + 10, y = 17 + 8;  // row 1
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, editor->listWindow, x, y));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseUp, editor->listWindow, x, y));
    EXPECT_EQ(editor->rows[1].flags & 1, 1);
    EXPECT_TRUE(editor->changed);
    EXPECT_GT(WriteScreenshot(panel_, "attribute-editor-vis.png").size(), 24u);
    GetAttributeEditorData(editor, list, 0, &count, block, false);
    uint16_t flags = 0;
    char value[kAttributeTextSize];
    ASSERT_GE(GetAttributeValue(block, list, 0, count, "Footprint", value, &flags), 0);
    EXPECT_EQ(flags & 1, 1);
    DestroyAttributeEditor(editor);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// A row dragged in the drag area moves; dropped on or below the empty row it lands just above
// it, and the empty row itself can't be dragged.
TEST_F(AttributeEditorTest, ARowDroppedBelowTheEmptyRowLandsJustAboveIt) {
    Add("A", "1");
    Add("B", "2");
    Add("C", "3");
    AttributeEditor* editor = InPanel(false);
    ASSERT_NE(editor, nullptr);
    auto drag = [&](int32_t fromRow, int32_t toRow) {
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, editor->listWindow, 8, 17 * toRow + 8));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, editor->listWindow, 8, 17 * toRow + 8));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, editor->listWindow, 8, 17 * fromRow + 8));
    };
    drag(0, 3);  // onto the empty row
    EXPECT_EQ(GetAttributeEditorName(editor, 2), "A");
    EXPECT_EQ(GetAttributeEditorName(editor, 0), "B");
    EXPECT_EQ(ChangeAttributeIndex(editor, 3, 0), 3);  // the empty row stays where it is
    EXPECT_EQ(ChangeAttributeIndex(editor, 0, 9), 2);
    EXPECT_EQ(GetAttributeEditorName(editor, 3), "");
    EXPECT_TRUE(editor->changed);
    DestroyAttributeEditor(editor);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// A name is added where an attribute list's name search puts a name it lacks, after the last
// entry (the editors' empty entry included); one the list holds in any case adds nothing.
TEST(PropertyNames, ANewNameGoesAfterTheLastAndAHeldOneInAnyCaseAddsNothing) {
    const struct {
        const char* added;
        std::vector<std::string> after;
    } cases[] = {
        {"Value", {"Value", "Part", ""}},
        {"VALUE", {"Value", "Part", ""}},
        {"part", {"Value", "Part", ""}},
        {"Tolerance", {"Value", "Part", "", "Tolerance"}},
        {"", {"Value", "Part", ""}},
        {nullptr, {"Value", "Part", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.added ? c.added : "(none)");
        PropertyNamesList list = {"Value", "Part", ""};
        AppendPropertyNames(&list, c.added);
        EXPECT_EQ(list, c.after);
    }
}

}  // namespace
}  // namespace plexa::test
