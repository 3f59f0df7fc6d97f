// The pin information dialog over a symbol editor's pin: what OK stores into the pin and its
// texts, the types a bus pin may take, the defaults a new pin's check boxes keep, and a picture.
#include "symboleditor/pindialog.h"

#include "symboleditor/tests/symdialogs_testing.h"
#include "toolkit/vx_control_items.h"

namespace plexa::test {
namespace {

using PinDialog = SymDialogsTest;

std::string NameOf(SymbolEditorRecord* editor, ElementRecord* pin) {
    char name[kPinTextSize];
    GetPinDataName(ElementAs<NodeElement>(pin)->pinData, editor->stringBlock, name);
    return name;
}

TEST_F(PinDialog, OKStoresNumberNameTypeAndShowsTheTexts) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* pin = AddPin(editor, {48, 60}, {72, 60}, "CLK", "3", kPinInput);
    TextRecord* number = AddPinText(editor, pin, kTextKindPinNumber, {52, 56});
    number->flags |= kTextFlagHidden;
    static std::string shownNumber, shownName, shownType;
    static bool numberBox, nameBox;
    InDialog([](VXWindowRecordTag* dialog) {
        char text[256];
        VXGetItemText(dialog, kPinInfoNumber, text);
        shownNumber = text;
        VXGetItemText(dialog, kPinInfoName, text);
        shownName = text;
        VXGetListItem(dialog, kPinInfoType, VXGetSelectedListItem(dialog, kPinInfoType, -1), text);
        shownType = text;
        numberBox = VXGetItemChecked(dialog, kPinInfoShowNumber) != 0;
        nameBox = VXGetItemChecked(dialog, kPinInfoShowName) != 0;
        WriteScreenshot(dialog, "symdialog-pin.png");
        VXSetItemText(dialog, kPinInfoNumber, " 12 ");
        VXSetItemText(dialog, kPinInfoName, "RESET");
        ChooseItem(dialog, kPinInfoType, kPinOutput);
        ClickItem(dialog, kPinInfoShowNumber);
        ClickItem(dialog, kPinInfoShowName);
    }, 13);
    EXPECT_TRUE(EditSymbolEditorPinInfo(editor, pin, nullptr, 0));
    EXPECT_EQ(shownNumber, "3");
    EXPECT_EQ(shownName, "CLK");
    EXPECT_EQ(shownType, "Input");
    EXPECT_FALSE(numberBox);
    EXPECT_FALSE(nameBox);
    EXPECT_EQ(NameOf(editor, pin), "RESET");
    EXPECT_EQ(GetPinDataType(ElementAs<NodeElement>(pin)->pinData, false), kPinOutput);
    char text[kPinTextSize];
    const NodePinEditor context = SymbolEditorPinContext(editor);
    GetNodesPinNumber(&context, ElementAs<NodeElement>(pin)->pinNumbers, 0, -1, text);
    EXPECT_STREQ(text, "12");
    // Both texts show now; the name text was made.
    const std::vector<TextRecord*> names = PinTexts(editor->texts, pin, kTextKindPinName);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_FALSE(names[0]->flags & kTextFlagHidden);
    EXPECT_FALSE(number->flags & kTextFlagHidden);
}

TEST_F(PinDialog, ABusPinOffersFourTypesAndAnEmptyNumberStaysHidden) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* pin = AddPin(editor, {48, 60}, {72, 60}, "D[0..7]", "", kPinBidirectional);
    pin->penWidth = 2;
    static int32_t types;
    InDialog([](VXWindowRecordTag* dialog) {
        types = VXCountListItems(dialog, kPinInfoType);
        ClickItem(dialog, kPinInfoShowNumber);  // asks to show an empty number
    }, 13);
    EXPECT_TRUE(EditSymbolEditorPinInfo(editor, pin, nullptr, 0));
    EXPECT_EQ(types, 4);
    const std::vector<TextRecord*> numbers = PinTexts(editor->texts, pin, kTextKindPinNumber);
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_TRUE(numbers[0]->flags & kTextFlagHidden);
}

TEST_F(PinDialog, ANewPinsCheckBoxesBecomeTheDefaultsAndCancelChangesNothing) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->state & kSymEditShowPinNumber);
    ASSERT_FALSE(editor->state & kSymEditShowPinName);
    ElementRecord* pin = AddPin(editor, {48, 60}, {72, 60}, "A", "1");
    InDialog([](VXWindowRecordTag* dialog) {
        ClickItem(dialog, kPinInfoShowNumber);
        ClickItem(dialog, kPinInfoShowName);
    }, 13);
    EXPECT_TRUE(EditSymbolEditorPinInfo(editor, pin, nullptr, 1));
    EXPECT_FALSE(editor->state & kSymEditShowPinNumber);
    EXPECT_TRUE(editor->state & kSymEditShowPinName);

    InDialog([](VXWindowRecordTag* dialog) { VXSetItemText(dialog, kPinInfoName, "Z"); }, 27);
    EXPECT_FALSE(EditSymbolEditorPinInfo(editor, pin, nullptr, 0));
    EXPECT_EQ(NameOf(editor, pin), "A");
}

}  // namespace
}  // namespace plexa::test
