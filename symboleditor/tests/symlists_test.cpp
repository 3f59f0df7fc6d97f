// The list tabs of the symbol editor over the rich gate: the Pins tab's rows and their order, a
// rename that reaches every slot of a definition and a renumber that reaches one, hidden pins'
// signal names, names and their primary one, and what leaving a tab keeps.
#include "symboleditor/symlists.h"
#include "symboleditor/symtools.h"

#include "symboleditor/tests/symdialogs_testing.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_listview.h"
#include "graphics/textedit.h"
#include "platform/menu_platform.h"

namespace plexa::test {
namespace {

class SymLists : public SymDialogsTest {
protected:
    void SetUp() override {
        SymDialogsTest::SetUp();
        std::memset(gPinListSortField, 0, sizeof gPinListSortField);
        editor = GateEditor();
        ASSERT_NE(editor, nullptr);
    }
    void TearDown() override {
        if (editor) FreePinListEditArray(editor);
        if (listWindow) VXDestroyWindow(listWindow);
        SymDialogsTest::TearDown();
    }
    void Show(uint16_t tab) {
        editor->currentTab = tab;
        if (tab == kSymEditTabPins) BuildPinListEditArray(editor);
    }
    // Every row of the tab, its cells (fields 1 to `fields`, Pins: slot, type, number, name)
    // joined by spaces, one row a line.
    std::string Rows(int32_t fields) {
        std::string out;
        char text[256];
        for (int32_t row = 0; row < CountSymbolEditorListRows(editor); ++row) {
            std::string line;
            const bool pins = editor->currentTab == kSymEditTabPins;
            for (int32_t i = 0; i < fields; ++i) {
                GetSymbolEditorListText(editor, row, pins ? gPinFieldMap[i] : i + 1, text);
                line += (i ? "|" : "") + std::string(text);
            }
            out += line + "\n";
        }
        return out;
    }
    int32_t RowOf(const char* slot, const char* name) {
        char s[256], n[256];
        for (int32_t row = 0; row < CountSymbolEditorListRows(editor); ++row) {
            GetSymbolEditorListText(editor, row, kPinFieldSlot, s);
            GetSymbolEditorListText(editor, row, kPinFieldName, n);
            if (std::string(s) == slot && std::string(n) == name) return row;
        }
        return -1;
    }
    // The tab in a list view window of its own (destroyed with the test).
    VXWindowRecordTag* ShowInList(uint16_t tab) {
        Rect content{60, 60, 360, 660};
        listWindow = VXCreateWindow(kVXWindowDocument, 0, 0, 0, 0, 0, &content, "List", 0, nullptr,
                                    [](VXWindowRecordTag*, VXEventRecord*) -> int32_t { return 0; });
        Show(tab);
        if (listWindow) PrepareSymbolEditorList(editor, listWindow);
        return listWindow;
    }
    VXWindowRecordTag* listWindow = nullptr;
    SymbolEditorRecord* editor = nullptr;
};

TEST_F(SymLists, PinsSortBySlotTypeNumberAndNameWithHiddenPinsLast) {
    Show(kSymEditTabPins);
    EXPECT_EQ(Rows(4),
              "A|Input|1|A\nA|Input|2|B\nA|Output|3|Y\n"
              "b|Input|4|A\nb|Input|5|B\nb|Output|6|Y\n"
              "C|Input|8|A\nC|Input|9|B\nC|Output|10|Y\n"
              "D|Input|12|A\nD|Input|13|B\nD|Output|11|Y\n"
              "P|Power|7|GND\nP|Power|14|VCC\n"
              "n/a|Unspecified|NC1|NC\n");
    // Choosing the number first, then the name: name, number, slot, type.
    SetPinListSortField(kPinFieldNumber);
    SetPinListSortField(kPinFieldName);
    EXPECT_EQ(gPinListSortField[0], kPinFieldName);
    EXPECT_EQ(gPinListSortField[1], kPinFieldNumber);
    EXPECT_EQ(gPinListSortField[2], kPinFieldSlot);
    EXPECT_EQ(gPinListSortField[3], kPinFieldType);
    BuildPinListEditArray(editor);
    char text[256];
    GetSymbolEditorListText(editor, 0, kPinFieldNumber, text);
    EXPECT_STREQ(text, "1");  // A of slot A
}

TEST_F(SymLists, ARenameReachesEverySlotOfTheDefinitionAndARenumberOnlyItsSlot) {
    Show(kSymEditTabPins);
    std::vector<int32_t> redraw;
    const int32_t row = RowOf("b", "A");
    ASSERT_GE(row, 0);
    ASSERT_TRUE(CommitSymbolEditorListText(editor, row, kPinFieldName, "  IN1 "));
    EXPECT_TRUE(editor->state & kSymEditItemModified);
    ASSERT_TRUE(CommitSymbolEditorListText(editor, RowOf("C", "IN1"), kPinFieldNumber, "18"));
    EXPECT_EQ(Rows(4),
              "A|Input|1|IN1\nA|Input|2|B\nA|Output|3|Y\n"
              "b|Input|4|IN1\nb|Input|5|B\nb|Output|6|Y\n"
              "C|Input|18|IN1\nC|Input|9|B\nC|Output|10|Y\n"
              "D|Input|12|IN1\nD|Input|13|B\nD|Output|11|Y\n"
              "P|Power|7|GND\nP|Power|14|VCC\n"
              "n/a|Unspecified|NC1|NC\n");
    // A number another pin has is kept with a warning.
    const int beeps = TestBeepCount();
    ASSERT_TRUE(CommitSymbolEditorListText(editor, RowOf("D", "Y"), kPinFieldNumber, "4"));
    EXPECT_EQ(TestBeepCount(), beeps + 1);
    char number[256];
    GetSymbolEditorListText(editor, RowOf("D", "Y"), kPinFieldNumber, number);
    EXPECT_STREQ(number, "4");
    // An empty number, and an empty name of a hidden pin, are refused and change nothing.
    EXPECT_FALSE(CommitSymbolEditorListText(editor, RowOf("A", "B"), kPinFieldNumber, " "));
    EXPECT_FALSE(CommitSymbolEditorListText(editor, RowOf("n/a", "NC"), kPinFieldName, ""));
    char text[256];
    GetSymbolEditorListText(editor, RowOf("A", "B"), kPinFieldNumber, text);
    EXPECT_STREQ(text, "2");
    // The renamed pin reads back from the stored item too.
    const std::string dump = Reread(Flat(editor->item));
    EXPECT_NE(dump.find("IN1"), std::string::npos);
}

TEST_F(SymLists, ATypeChosenForOneOfSeveralSelectedRowsChangesThemAll) {
    Show(kSymEditTabPins);
    const int32_t y = RowOf("A", "Y"), b = RowOf("A", "B"), gnd = RowOf("P", "GND");
    EXPECT_TRUE(DoSymbolEditorListCommand(editor, kListMenuFirstCommand + kPinPassive, y, {y, gnd}));
    char text[256];
    GetSymbolEditorListText(editor, y, kPinFieldType, text);
    EXPECT_STREQ(text, "Passive");
    GetSymbolEditorListText(editor, gnd, kPinFieldType, text);
    EXPECT_STREQ(text, "Passive");
    // A row that is not among the selected ones changes alone.
    EXPECT_TRUE(DoSymbolEditorListCommand(editor, kListMenuFirstCommand + kPinOutput, b, {y, gnd}));
    GetSymbolEditorListText(editor, b, kPinFieldType, text);
    EXPECT_STREQ(text, "Output");
    GetSymbolEditorListText(editor, y, kPinFieldType, text);
    EXPECT_STREQ(text, "Passive");
}

TEST_F(SymLists, LeavingPackagesKeepsAPackageWithOnlyAFootprint) {
    Show(kSymEditTabPackages);
    CreateNewListEntryIfNeeded(editor);
    ASSERT_EQ(CountSymbolEditorListRows(editor), 3);  // DIP, SO and the new-entry row
    ASSERT_TRUE(CommitSymbolEditorListText(editor, 2, kPackageFieldFootprint, "QFN-16"));
    CreateNewListEntryIfNeeded(editor);  // the typed row is not empty: another new-entry row
    ASSERT_EQ(CountSymbolEditorListRows(editor), 4);
    EXPECT_EQ(FlushSymbolEditorList(editor, false), 1);
    EXPECT_EQ(Rows(2), "DIP|DIP-14\nSO|SOIC-14\n|QFN-16\n");
}

TEST_F(SymLists, AHiddenPinRenamedKeepsItsSignalAndASignalLikeItsNameIsStoredEmpty) {
    Show(kSymEditTabHiddenPins);
    // NC had no signal name of its own: renamed, it stays on "NC".
    ASSERT_TRUE(CommitSymbolEditorListText(editor, 0, kHiddenFieldName, "SPARE"));
    EXPECT_EQ(Rows(3), "NC1|SPARE|NC\n");
    ASSERT_TRUE(CommitSymbolEditorListText(editor, 0, kHiddenFieldSignal, "SPARE"));
    EXPECT_EQ(Rows(3), "NC1|SPARE|SPARE\n");  // shown as the name
    uint32_t id = 0;
    GetLibItemHiddenPinInfo(editor->item, 0, 0, nullptr, &id);
    char signal[kPinTextSize];
    GetHiddenPinSignalName(GetIndexedPinData(editor->item->pinTable, int32_t(id)), editor->item->stringBlock, false,
                           signal);
    EXPECT_STREQ(signal, "");
    // A hidden pin with only its number typed is kept on leaving the tab; an empty one is not.
    CreateNewListEntryIfNeeded(editor);
    ASSERT_EQ(CountSymbolEditorListRows(editor), 2);
    ASSERT_TRUE(CommitSymbolEditorListText(editor, 1, kHiddenFieldNumber, "20"));
    CreateNewListEntryIfNeeded(editor);
    ASSERT_EQ(CountSymbolEditorListRows(editor), 3);
    EXPECT_EQ(FlushSymbolEditorList(editor, false), 1);
    EXPECT_EQ(Rows(3), "NC1|SPARE|SPARE\n20||\n");
}

TEST_F(SymLists, ThePrimaryNameIsStoredFirstAndEmptyNamesGo) {
    Show(kSymEditTabNames);
    ASSERT_TRUE(CommitSymbolEditorListText(editor, 1, kListFieldName, ""));  // "SN7400" cleared
    EXPECT_EQ(Rows(1), "7400\n \n74HC00\n");
    EXPECT_TRUE(SetDefaultItemName(editor, 2));
    EXPECT_EQ(FlushSymbolEditorList(editor, true), 1);
    EXPECT_EQ(editor->primaryName, 0);
    EXPECT_EQ(Rows(1), "74HC00\n7400\n \n");  // the new-entry row comes back
    EXPECT_EQ(GetLibraryItemNameInfo(editor->item, 0, nullptr), 255);  // its package index went with it
    // Deleting the primary row makes the first row primary.
    DeleteSymbolEditorListRows(editor, {0});
    EXPECT_EQ(editor->primaryName, 0);
    EXPECT_EQ(Rows(1), "7400\n \n");
}

TEST_F(SymLists, TwoHundredFiftyPackagesGetNoNewEntryRow) {
    Show(kSymEditTabPackages);
    while (editor->item->head.packageCount < kMaxListPackages) {
        const int32_t p = AddNewPackageToLibItem(editor->item, 0);
        ASSERT_GE(p, 0);
        SetLibPackageName(editor->item, p, "P");
    }
    CreateNewListEntryIfNeeded(editor);
    EXPECT_EQ(CountSymbolEditorListRows(editor), kMaxListPackages);
}

TEST_F(SymLists, TheListViewShowsThePinsAndCommitsATypedName) {
    VXWindowRecordTag* window = ShowInList(kSymEditTabPins);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(VXCountListViewItems(window), 15);
    int16_t column = 0;
    EXPECT_EQ(VXGetListViewEditFocus(window, &column, nullptr, nullptr), 0);
    EXPECT_EQ(column, kPinFieldNumber);
    ASSERT_EQ(VXSetListViewEditFocus(window, 1, kPinFieldName), 1);
    ASSERT_TRUE(VXTESetText("CLK", 3, kEncodingUTF8, VXGetListViewRecord(window)->editTE));
    EXPECT_EQ(FlushSymbolEditorList(editor, true), 1);
    char text[256];
    GetSymbolEditorListText(editor, RowOf("C", "CLK"), kPinFieldNumber, text);
    EXPECT_STREQ(text, "9");
    VXShowWindow(window);
    EXPECT_GT(WriteScreenshot(window, "symlists-pins.png").size(), 500u);
}

TEST_F(SymLists, DeleteRemovesTheSelectedPackagesAndKeepsANewEntryRow) {
    VXWindowRecordTag* window = ShowInList(kSymEditTabPackages);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(VXCountListViewItems(window), 3);
    ASSERT_EQ(VXSetListViewEditFocus(window, -1, 0), 1);
    VXSetListViewItemSelected(window, 0, true);
    VXSendCharacterEventToWindow(window, 8, 0);
    EXPECT_EQ(Rows(2), "SO|SOIC-14\n|\n");
    EXPECT_EQ(VXCountListViewItems(window), 2);
    EXPECT_TRUE(editor->state & kSymEditItemModified);
}

TEST_F(SymLists, AHiddenPinsAttributesDialogIsTitledWithItsNumber) {
    VXWindowRecordTag* window = ShowInList(kSymEditTabHiddenPins);
    ASSERT_NE(window, nullptr);
    static std::string title;
    InDialog([](VXWindowRecordTag* dialog) {
        char text[200];
        VXGetWindowTitle(dialog, text);
        title = text;
    }, 27);
    EditHiddenPinAttributes(editor);
    EXPECT_EQ(title, "Pin NC1 - Attributes");
}

TEST_F(SymLists, TheArrowsOfTheListViewChooseAPinTypeAndADefaultPackage) {
    VXWindowRecordTag* window = ShowInList(kSymEditTabPins);
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    const auto click = [&](int32_t row, int32_t x) {
        Rect r;
        VXGetListViewItemRect(window, row, &r);
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, x, r.top + 8));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, x, r.top + 8));
    };
    TestScriptPopupChoice(kPinPassive);
    click(RowOf("b", "Y"), 60);
    char text[256];
    GetSymbolEditorListText(editor, RowOf("b", "Y"), kPinFieldType, text);
    EXPECT_STREQ(text, "Passive");

    Show(kSymEditTabNames);
    PrepareSymbolEditorList(editor, window);
    TestScriptPopupChoice(1);  // "SO"
    click(0, 300);
    EXPECT_EQ(GetLibraryItemNameInfo(editor->item, 0, nullptr), 1);
    EXPECT_GT(WriteScreenshot(window, "symlists-names.png").size(), 500u);
}

}  // namespace
}  // namespace plexa::test
