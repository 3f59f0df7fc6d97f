// The symbol information dialog over symbols placed on a sheet: a component (designator, slot,
// name and package, its pins), a sheet symbol (its ports) and a plain symbol, each shown filled
// and applied through OK; Cancel applies nothing.
#include "symboleditor/syminfodialog.h"

#include "app/editor_root.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/sheetsymbols.h"
#include "model/symboltexts.h"
#include "model/tests/symbol_testing.h"
#include "model/texts.h"
#include "platform/control_platform.h"
#include "platform/menu_platform.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "symboleditor/pindialog.h"
#include "symboleditor/tests/symdialogs_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_templates.h"
#include "graphics/textedit.h"

namespace plexa::test {
namespace {

class SymbolInfo : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        VXInitWindows();
        VXInitMenus();
        VXInitControls();
        VXInstallInputSink();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        std::memset(gPinsListSortField, 0, sizeof gPinsListSortField);
        ForgetSymbolInfoPanels();  // each test opens the dialog on its first panel
        sheet.annotationMap = CreateAnnotationMap(true);  // designators kept with the sheet
    }
    void TearDown() override {
        DestroyAnnotationMap(sheet.annotationMap);
        sheet.annotationMap = nullptr;
        CloseUIFiles();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
        SheetTest::TearDown();
        TestResetPlatform();
    }
    // Two gate symbols of one component: slots A and B.
    SymbolRecord* Gate(Point at) {
        if (!gates) gates = AddLibComponentToSheet(Gates(), &sheet);
        EXPECT_NE(gates, nullptr);
        SymbolRecord* symbol = Place(CompSymbols(gates)[0].mapId, at, 0, gates);
        symbol->kind.comp = {0, 0, 0};
        return symbol;
    }
    std::string Designator(SymbolRecord* symbol) {
        char text[256];
        GetSymbolsDisplayDesignator(&sheet, symbol, text);
        return text;
    }
    // The name of the gate's pin in pin set 0.
    std::string PinName(ComponentRecord* component, int32_t pin) {
        char name[kPinTextSize];
        GetIndexedPinDataName(sheet.pinDataTable, int32_t(GetCompSymbolPinDataId(component, 0, 0, pin)),
                              sheet.stringBlock, name);
        return name;
    }
    static std::string Item(VXWindowRecordTag* w, int16_t item) {
        char text[256];
        VXGetItemText(w, item, text);
        return text;
    }
    static void Type(VXWindowRecordTag* w, int16_t item, const char* text) { TypeIntoItem(w, item, text); }
    // The symbol's pin takes pin data with the attributes (name, value pairs).
    void GivePinAttributes(SymbolRecord* symbol, int32_t pin, const std::vector<const char*>& attributes) {
        const uint32_t id = GetCompSymbolPinDataId(symbol->component, 0, 0, pin);
        Handle data = GetPinDataCopy(sheet.pinDataTable, int32_t(id));
        ASSERT_NE(data, nullptr);
        int16_t count = reinterpret_cast<PinDataRecord*>(*data)->attributeCount;
        for (size_t i = 0; i + 1 < attributes.size(); i += 2)
            (void)SetAttributeValue(sheet.stringBlock, data, sizeof(PinDataRecord), &count, attributes[i],
                                    attributes[i + 1], nullptr);
        reinterpret_cast<PinDataRecord*>(*data)->attributeCount = count;
        const int32_t added = AddPinDataToTable(sheet.pinDataTable, data);
        DestroyPinData(data);
        ASSERT_GE(added, 0);
        SetCompSymbolPinDataId(symbol->component, 0, 0, pin, uint32_t(added));
    }
    // A text of the symbol's showing the attribute ({name}).
    TextRecord* AttributeText(SymbolRecord* symbol, uint16_t kind, const char* name) {
        TextRecord* text = CreateDrawingText(&sheet, kind, 0, {10, 10}, (std::string("{") + name + "}").c_str());
        EXPECT_NE(text, nullptr);
        if (text) text->owner = int64_t(int32_t(symbol->serial));
        return text;
    }
    // The row and column of the list being edited that has the keyboard (-1 none).
    static std::pair<int32_t, int16_t> EditedCell(VXWindowRecordTag* dialog) {
        VXWindowRecordTag *keyboard = nullptr, *control = nullptr;
        (void)VXGetFocusWindow(dialog, &keyboard, &control);
        int16_t column = 0;
        if (!keyboard || !VXGetListViewRecord(keyboard)) return {-1, 0};
        const int32_t row = VXGetListViewEditFocus(keyboard, &column, nullptr, nullptr);
        return {row, column};
    }
    ComponentRecord* gates = nullptr;
};

// Opened on a clicked attribute text, both dialogs start editing that attribute's row (rows of
// "~" attributes are not shown) with the keyboard in the attribute list.
TEST_F(SymbolInfo, AClickedAttributeTextStartsEditingItsRow) {
    InstallEditorHooks();  // the attribute editor comes with the composition
    SymbolRecord* u = Gate({100, 100});
    ASSERT_TRUE(SetSymbolAnnotation(&sheet, u->serial, "U3", 0));
    GivePinAttributes(u, 1, {"~Link", "7", "Speed", "fast", "Drive", "strong"});
    for (const char* name : {"Value", "~ID", "Tolerance"})
        (void)SetSymbolAttribute(u, sheet.stringBlock, name, "x", nullptr);
    static std::pair<int32_t, int16_t> pinCell, symbolCell;
    InDialog([](VXWindowRecordTag* dialog) {
        pinCell = EditedCell(dialog);
        WriteScreenshot(dialog, "symdialog-pin-attribute-text.png");
    }, 27);
    EditCompSymbolPinInfo(&sheet, u, 1, AttributeText(u, uint16_t(kTextKindPinAttribute | 1), "Drive"));
    EXPECT_EQ(pinCell, (std::pair<int32_t, int16_t>{1, 1}));
    InDialog([](VXWindowRecordTag* dialog) {
        symbolCell = EditedCell(dialog);
        WriteScreenshot(dialog, "symdialog-info-attribute-text.png");
    }, 27);
    EditSymbolInformation(&sheet, u, 0, AttributeText(u, kTextKindSymbolAttribute, "Tolerance"));
    EXPECT_EQ(symbolCell, (std::pair<int32_t, int16_t>{1, 1}));
}

TEST_F(SymbolInfo, TheComponentPanelShowsTheSymbolAndADesignatorKeepsWhatComesBeforeItsDot) {
    SymbolRecord* u = Gate({100, 100});
    static std::vector<std::string> shown;
    shown.clear();
    InDialog([](VXWindowRecordTag* dialog) {
        VXWindowRecordTag* panels = GetSymbolInfoPanels();
        ASSERT_NE(panels, nullptr);
        for (int16_t item : {kCompNameField, kCompSlotField, kCompPackageField, kCompFootprintField, kCompSourceField})
            shown.push_back(GetSymbolInfoField(item, nullptr));
        VXColor source = 0;
        (void)GetSymbolInfoField(kCompSourceField, &source);  // the symbol came from no library
        shown.push_back(source == 0x01FF0000 ? "red" : "not red");
        shown.push_back(VXGetItemEnabled(panels, kCompPackagePopup) ? "packages" : "one package");
        Type(panels, kCompDesignator, "U1.2");
        ChooseItem(panels, kCompPackagePopup, 1);
        shown.push_back(GetSymbolInfoField(kCompPackageField, nullptr));
        WriteScreenshot(dialog, "symdialog-info-component.png");
    }, 13);
    EditSymbolInformation(&sheet, u, 0, nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"7400", "A", "DIP14", "DIP-14", "None  (Converted)", "red", "packages",
                                                "SO14"}));
    char text[256];
    GetSymbolAnnotation(&sheet, u->serial, text);
    EXPECT_STREQ(text, "U1");
    EXPECT_EQ(u->kind.comp.package, 1);
}

// With more names than its menu takes, the name is chosen from a scrolling list that opens below
// the chooser in the menu's place (symdialog-info-name-list.png, -open.png).
TEST_F(SymbolInfo, FortyNamesAreChosenFromAScrollingList) {
    VXInitListBoxes();
    LibraryItem* item = Gates();
    for (int32_t i = 2; i < 40; ++i)
        ASSERT_TRUE(SetLibraryItemNameInfo(item, i, ("74X" + std::to_string(i)).c_str(), i));
    gates = AddLibComponentToSheet(item, &sheet);
    SymbolRecord* u = Gate({100, 100});
    static std::vector<std::string> shown;
    shown.clear();
    InDialog([](VXWindowRecordTag* dialog) {
        VXWindowRecordTag* panels = GetSymbolInfoPanels();
        ASSERT_NE(panels, nullptr);
        shown.push_back(VXGetItemVisible(panels, kCompNamePopup) ? "menu" : "no menu");
        shown.push_back(VXGetItemVisible(panels, kCompNameList) ? "list" : "no list");
        WriteScreenshot(dialog, "symdialog-info-name-list.png");
        // Once the list is up: its rows counted, a picture, and a click on its fourth row.
        PlatformPostDeferred(
            [](void*) {
                for (VXWindowRecordTag* window : VXTopLevelWindows()) {
                    if (window->windowClass != kVXWindowPopup || !VXIsWindowVisible(window, false)) continue;
                    shown.push_back(std::to_string(VXCountListItems(window, kVXPopupListBoxItem)));
                    WriteScreenshot(window, "symdialog-info-name-list-open.png");
                    VXWindowRecordTag* rows = VXGetListBoxWindow(window, kVXPopupListBoxItem);
                    const int32_t v = 3 * VXGetListBoxItemHeight(window, kVXPopupListBoxItem) + 4;
                    TestQueueInput(MouseInput(PlatformInputKind::kMouseMoved, rows, 30, v));
                    TestQueueInput(MouseInput(PlatformInputKind::kMouseDown, rows, 30, v));
                    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, rows, 30, v));
                }
            },
            nullptr, 300'000);
        Rect chooser{};
        VXGetItemPosition(panels, kCompNameList, &chooser);
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, panels, chooser.left + 20, chooser.top + 8));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, panels, chooser.left + 20, chooser.top + 8));
        shown.push_back(GetSymbolInfoField(kCompNameField, nullptr));
    }, 13);
    EditSymbolInformation(&sheet, u, 0, nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"no menu", "list", "40", "74X3"}));
    EXPECT_EQ(u->kind.comp.nameIndex, 3);
}

TEST_F(SymbolInfo, CancelAppliesNothing) {
    SymbolRecord* u = Gate({100, 100});
    InDialog([](VXWindowRecordTag*) { Type(GetSymbolInfoPanels(), kCompDesignator, "U7"); }, 27);
    EditSymbolInformation(&sheet, u, 0, nullptr);
    char text[256];
    GetSymbolAnnotation(&sheet, u->serial, text);
    EXPECT_STREQ(text, "");
}

TEST_F(SymbolInfo, ARenamedPinGivesTheSymbolAComponentOfItsOwn) {
    SymbolRecord* u = Gate({100, 100});
    SymbolRecord* other = Gate({300, 100});
    static std::vector<std::string> rows;
    rows.clear();
    InDialog([](VXWindowRecordTag* dialog) {
        ClickTab(dialog, kSymInfoTabs, 2);
        VXWindowRecordTag* list = GetSymbolInfoList();
        ASSERT_NE(list, nullptr);
        rows.push_back(std::to_string(VXCountListViewItems(list)));
        WriteScreenshot(dialog, "symdialog-info-pins.png");
        // Sorted by number: 1 A, 2 B, 3 Y, then the hidden pin 14; rename row 0.
        ASSERT_EQ(VXSetListViewEditFocus(list, 0, 1), 1);
        ASSERT_TRUE(VXTESetText("IN", 2, kEncodingUTF8, VXGetListViewRecord(list)->editTE));
    }, 13);
    EditSymbolInformation(&sheet, u, 0, nullptr);
    EXPECT_EQ(rows, (std::vector<std::string>{"4"}));
    ASSERT_NE(u->component, gates);
    EXPECT_EQ(other->component, gates);
    EXPECT_EQ(PinName(u->component, 0), "IN");
    EXPECT_EQ(PinName(gates, 0), "A");
}

TEST_F(SymbolInfo, APlacedPinsDialogShowsItsNumberAndARenameMakesTheSymbolsOwnComponent) {
    SymbolRecord* u = Gate({100, 100});
    SymbolRecord* other = Gate({300, 100});
    ASSERT_TRUE(SetSymbolAnnotation(&sheet, u->serial, "U3", 1));
    static std::string number, name, title;
    static bool numberEditable = true;
    InDialog([](VXWindowRecordTag* dialog) {
        number = Item(dialog, kPinInfoNumber);
        name = Item(dialog, kPinInfoName);
        numberEditable = VXGetItemEnabled(dialog, kPinInfoNumber) != 0;
        char text[200];
        VXGetWindowTitle(dialog, text);
        title = text;
        WriteScreenshot(dialog, "symdialog-placed-pin.png");
        VXSetItemText(dialog, kPinInfoName, "CLK");
        ClickItem(dialog, kPinInfoShowName);
    }, 13);
    EditCompSymbolPinInfo(&sheet, u, 1, nullptr);
    EXPECT_EQ(number, "5");  // pin B of slot B
    EXPECT_EQ(name, "B");
    EXPECT_FALSE(numberEditable);
    EXPECT_EQ(title, "U3.B - Pin information");
    ASSERT_NE(u->component, gates);
    EXPECT_EQ(other->component, gates);
    EXPECT_EQ(PinName(u->component, 1), "CLK");
    TextRecord* shown = RetrieveSymbolText(&sheet, u, uint16_t(kTextKindPinName | 1));
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->flags & kTextFlagHidden);
}

TEST_F(SymbolInfo, TheFirstNewPortIsVisibleAndLaterOnesCopyThePortBefore) {
    std::vector<PortRow> ports;
    EXPECT_TRUE(CreatePortEntryIfNeeded(ports));
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].flags, kSheetPortShowName);
    EXPECT_FALSE(CreatePortEntryIfNeeded(ports));  // the last port has no name yet
    ports[0] = {"DATA", uint16_t(kSheetPortBuss | kPortTypeInput), 0};
    EXPECT_TRUE(CreatePortEntryIfNeeded(ports));
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[1].flags, kSheetPortBuss | kPortTypeInput);
    EXPECT_EQ(ports[1].slot, -1);
}

TEST_F(SymbolInfo, ASheetSymbolsPortsAreEditedAndInstalled) {
    SymbolHooks hooks;  // what the file layer installs: the file name lives with the ports
    hooks.getSheetSymbolFileName = [](const SymbolRecord* symbol, StringBlock block, char* name) {
        GetSheetSymbolFileName(symbol, block, name, kSymbolTextSize);
    };
    hooks.setSheetSymbolFileName = SetSheetSymbolFileName;
    SetSymbolHooks(hooks);
    SymbolRecord* s = CreateSheetSymbol();
    ASSERT_NE(s, nullptr);
    SetSheetSymbolName(s, sheet.stringBlock, "Filter");
    SetSymbolSheetName(s, sheet.stringBlock, "filter.SHX");
    AppendSubSheetPort(s->sheetSymbolData, sheet.stringBlock, "IN", kPortTypeInput, 0);
    AppendSubSheetPort(s->sheetSymbolData, sheet.stringBlock, "OUT", uint16_t(kPortTypeOutput | kSheetPortBuss), 0);
    AddSymbolToSheet(&sheet, s);
    static std::string file;
    InDialog([](VXWindowRecordTag* dialog) {
        file = Item(GetSymbolInfoPanels(), kSheetSymFile);
        WriteScreenshot(dialog, "symdialog-info-sheet-symbol.png");
        ClickItem(GetSymbolInfoPanels(), kSheetSymShowDesignator);  // asked for, with no designator
        ClickTab(dialog, kSymInfoTabs, 1);
        VXWindowRecordTag* list = GetSymbolInfoList();
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(VXCountListViewItems(list), 3);  // two ports and the new-entry row
        // Port IN becomes bidirectional through its type menu.
        Rect row;
        VXGetListViewItemRect(list, 0, &row);
        TestScriptPopupChoice(3);
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, list, row.right - 10, row.top + 8));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, list, row.right - 10, row.top + 8));
        ASSERT_EQ(VXSetListViewEditFocus(list, 2, 1), 1);
        ASSERT_TRUE(VXTESetText("CLK", 3, kEncodingUTF8, VXGetListViewRecord(list)->editTE));
        WriteScreenshot(dialog, "symdialog-info-ports.png");
    }, 13);
    EditSymbolInformation(&sheet, s, 0, nullptr);
    EXPECT_EQ(file, "filter.SHX");
    // Asked for with no designator, a sheet symbol shows the default one until it is annotated.
    EXPECT_NE(RetrieveSymbolText(&sheet, s, kTextKindCompDesignator), nullptr);
    EXPECT_EQ(GetSheetSymbolPortType(s, 0), kPortTypeBidirectional);
    ASSERT_EQ(CountSheetSymbolPorts(s), 3);
    char name[64];
    GetSheetSymbolPortName(s, 2, sheet.stringBlock, name, sizeof name);
    EXPECT_STREQ(name, "CLK");
    // The new port took the flags of the port before it.
    EXPECT_EQ(GetSheetSymbolPortFlags(s, 2) & (kSheetPortBuss | kSheetPortTypeMask), kSheetPortBuss | kPortTypeOutput);
}

TEST_F(SymbolInfo, APlainSymbolWhoseDesignatorIsClearedHidesItsDesignatorText) {
    SymbolRecord* j = Designated("J1");
    SetSymbolName(j, sheet.stringBlock, "Header");
    TextRecord* text = CreateDrawingText(&sheet, kTextKindDesignator, 0, {10, 10}, "J1");
    ASSERT_NE(text, nullptr);
    text->owner = int64_t(int32_t(j->serial));
    static std::string designator, name;
    static bool showDesignator;
    InDialog([](VXWindowRecordTag* dialog) {
        VXWindowRecordTag* panels = GetSymbolInfoPanels();
        designator = Item(panels, kSymDesignator);
        name = Item(panels, kSymName);
        showDesignator = VXGetItemChecked(panels, kSymShowDesignator) != 0;
        WriteScreenshot(dialog, "symdialog-info-symbol.png");
        Type(panels, kSymDesignator, "");
        ClickItem(panels, kSymChoice10000);
        ClickTab(dialog, kSymInfoTabs, 2);
        Type(GetSymbolInfoPanels(), kSubSheetName, "child.SHX");
        WriteScreenshot(dialog, "symdialog-info-sub-sheet.png");
    }, 13);
    EditSymbolInformation(&sheet, j, 0, nullptr);
    EXPECT_EQ(designator, "J1");
    EXPECT_EQ(name, "Header");
    EXPECT_TRUE(showDesignator);
    char ref[256];
    GetSymbolRefName(j, sheet.stringBlock, ref);
    EXPECT_STREQ(ref, "");
    EXPECT_EQ(RetrieveSymbolText(&sheet, j, kTextKindDesignator), nullptr);  // gone with its designator
    EXPECT_EQ(j->flags & 0x30000, 0x10000u);
    GetSymbolSheetName(j, sheet.stringBlock, ref);
    EXPECT_STREQ(ref, "child.SHX");
}

TEST_F(SymbolInfo, ClickingOneHeaderOverAndOverLeavesItTheOnlyKey) {
    SetPinsListSortField(1);
    EXPECT_EQ(std::vector<int32_t>(gPinsListSortField, gPinsListSortField + 4), (std::vector<int32_t>{1, 4, 3, 0}));
    SetPinsListSortField(1);
    SetPinsListSortField(1);
    SetPinsListSortField(1);
    EXPECT_EQ(std::vector<int32_t>(gPinsListSortField, gPinsListSortField + 4), (std::vector<int32_t>{1, 0, 0, 0}));
}

}  // namespace
}  // namespace plexa::test
