// The part, slot, net-symbol and port dialogs, run modally with scripted answers: what OK stores
// (and Cancel does not), the refusal of a slot designator or symbol name that exists already,
// and pictures of each dialog filled from the rich gate.
#include "symboleditor/partdialogs.h"

#include "symboleditor/tests/symdialogs_testing.h"
#include "toolkit/vx_control_items.h"

namespace plexa::test {
namespace {

using PartDialogs = SymDialogsTest;

TEST_F(PartDialogs, ADuplicateSlotDesignatorIsRefusedAndANewOneIsAdded) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    editor->newPartMode = 0;
    struct Seen {
        std::string proposal;
        bool okForDuplicate = true, okForDuplicateOtherCase = true, okForEmpty = true, okForNew = false;
    } seen;
    static Seen* gSeen;
    gSeen = &seen;
    InDialog([](VXWindowRecordTag* dialog) {
        char text[64];
        VXGetItemText(dialog, kNewPartText, text);
        gSeen->proposal = text;
        WriteScreenshot(dialog, "symdialog-new-slot.png");
        Type(dialog, kNewPartText, "C");
        gSeen->okForDuplicate = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kNewPartText, "b");  // the gate has "b": the case does not matter
        gSeen->okForDuplicateOtherCase = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kNewPartText, "  ");
        gSeen->okForEmpty = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kNewPartText, "E");
        gSeen->okForNew = VXGetItemEnabled(dialog, 1) != 0;
    }, 13);
    NewPartSlotDialog(editor);
    EXPECT_EQ(seen.proposal, "E");  // "b" counts as B
    EXPECT_FALSE(seen.okForDuplicate);
    EXPECT_FALSE(seen.okForDuplicateOtherCase);
    EXPECT_FALSE(seen.okForEmpty);
    EXPECT_TRUE(seen.okForNew);
    EXPECT_EQ(Slots(editor->item), "A b C D E P");
    char suffix[kLibItemTextSize];
    ASSERT_NE(editor->section, nullptr);
    GetLibSectionSuffix(editor->section, editor->item->stringBlock, suffix);
    EXPECT_STREQ(suffix, "E");  // the new slot is current
    EXPECT_EQ(editor->newPartMode, 0);
}

TEST_F(PartDialogs, TheSlotDesignatorDialogRefusesAnotherSlotsDesignatorAndKeepsItsOwn) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    static bool okOwn, okOther, okFresh;
    InDialog([](VXWindowRecordTag* dialog) {
        WriteScreenshot(dialog, "symdialog-slot-designator.png");
        okOwn = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kPartNameText, "D");
        okOther = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kPartNameText, "Q");
        okFresh = VXGetItemEnabled(dialog, 1) != 0;
    }, 13);
    PartNameDialog(editor, nullptr, 0, -1);  // the first section, "A"
    EXPECT_TRUE(okOwn);
    EXPECT_FALSE(okOther);
    EXPECT_TRUE(okFresh);
    EXPECT_EQ(Slots(editor->item), "Q b C D P");
}

TEST_F(PartDialogs, ANewSymbolIsACopyOrEmptyAndItsNameMustBeNew) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    editor->newPartMode = 1;
    static bool okTaken;
    InDialog([](VXWindowRecordTag* dialog) {
        WriteScreenshot(dialog, "symdialog-new-symbol.png");
        Type(dialog, kNewPartText, "power");
        okTaken = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kNewPartText, "Blank symbol of a gate");  // cut to 12 like any symbol name
        ClickItem(dialog, kNewPartEmpty);
    }, 13);
    NewPartSlotDialog(editor);
    EXPECT_FALSE(okTaken);
    ASSERT_EQ(editor->item->head.symbolCount, 3);
    char name[kLibItemTextSize];
    GetLibSymbolName(editor->item, 2, name);
    EXPECT_STREQ(name, "Blank symbol");
    EXPECT_EQ(CountLibSymbolPins(editor->item, 0, 2), 0);  // empty, not a copy of the gate
    EXPECT_EQ(editor->newPartMode, 1);
}

TEST_F(PartDialogs, APartSymbolOfAnotherDefinitionChangesTheItemAndNotTheWorkingCopies) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->symbol, 0);
    const uint32_t workingFlags = editor->symbolFlags;
    const uint8_t workingOptions = editor->placementOptions;
    static bool okEmpty, okTaken;
    InDialog([](VXWindowRecordTag* dialog) {
        WriteScreenshot(dialog, "symdialog-part-symbol.png");
        Type(dialog, kPartSymbolName, "");
        okEmpty = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kPartSymbolName, "GATE");
        okTaken = VXGetItemEnabled(dialog, 1) != 0;
        Type(dialog, kPartSymbolName, "Supply with a long name");  // cut to 12
        ClickItem(dialog, kPartSymbolBox80);
        ClickItem(dialog, kPartSymbolChoice20000);
        ClickItem(dialog, kPartSymbolOption2);
    }, 13);
    EXPECT_EQ(PartSymbolDialog(editor, 1), 1);
    EXPECT_FALSE(okEmpty);
    EXPECT_FALSE(okTaken);
    char name[kLibItemTextSize];
    GetLibSymbolName(editor->item, 1, name);
    EXPECT_STREQ(name, "Supply with");  // twelve characters, trimmed
    EXPECT_EQ(GetLibSymbolFlags(editor->item, 1), 0x20080u);
    EXPECT_EQ(GetLibSymbolPlacementOptions(editor->item, 1), 3);
    EXPECT_EQ(editor->symbolFlags, workingFlags);
    EXPECT_EQ(editor->placementOptions, workingOptions);
    EXPECT_TRUE(editor->state & kSymEditItemModified);
}

TEST_F(PartDialogs, CancelLeavesTheDefinitionAlone) {
    SymbolEditorRecord* editor = GateEditor();
    ASSERT_NE(editor, nullptr);
    InDialog([](VXWindowRecordTag* dialog) { Type(dialog, kPartSymbolName, "Other"); }, 27);
    EXPECT_EQ(PartSymbolDialog(editor, 0), 0);
    char name[kLibItemTextSize];
    GetLibSymbolName(editor->item, 0, name);
    EXPECT_STREQ(name, "Gate");
}

TEST_F(PartDialogs, TheNetSymbolAndPortDialogsWriteTheirBitsBack) {
    uint32_t flags = 0x20;
    uint8_t options = 0x04;  // box 3 shows it inverted: off
    static bool box3;
    InDialog([](VXWindowRecordTag* dialog) {
        WriteScreenshot(dialog, "symdialog-net-symbol.png");
        box3 = VXGetItemChecked(dialog, kNetSymbolBox1) != 0;
        ClickItem(dialog, kNetSymbolBox1);
        ClickItem(dialog, kNetSymbolLocal);
    }, 13);
    EXPECT_EQ(NetSymbolInfoDialog(&flags, &options), 1);
    EXPECT_FALSE(box3);
    EXPECT_EQ(flags, 0x120u);
    EXPECT_EQ(options, 0);

    flags = 0x10;  // an input port
    options = 0;
    static std::string type;
    InDialog([](VXWindowRecordTag* dialog) {
        WriteScreenshot(dialog, "symdialog-port.png");
        char text[64];
        VXGetListItem(dialog, kPortTypeList, VXGetSelectedListItem(dialog, kPortTypeList, -1), text);
        type = text;
        ChooseItem(dialog, kPortTypeList, 3);
        ClickItem(dialog, kPortBox1);
    }, 13);
    EXPECT_EQ(PortInfoDialog(&flags, &options), 1);
    EXPECT_EQ(type, "Input");
    EXPECT_EQ(flags, 0x30u);
    EXPECT_EQ(options, 0x08);
}

}  // namespace
}  // namespace plexa::test
