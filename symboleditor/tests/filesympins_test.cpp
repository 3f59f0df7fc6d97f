// File symbols and the sheet's exports: the standard box symbol, the size table, pins following
// renamed, deleted and added ports through their links and freed slots, hidden pins, the sync of
// a sheet's file symbols and the names the menu shows.
#include "symboleditor/filesympins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "files/sheetports.h"
#include "files/sheetsave.h"
#include "model/sheetsymbols.h"
#include "symboleditor/tests/symeditor_testing.h"

namespace plexa::test {
namespace {

class FileSymPins : public SymEditTest {
protected:
    void SetUp() override {
        SymEditTest::SetUp();
        InstallEditorHooks();
        // No open sheets to update and no pin lists to redraw.
        SetFileSymbolPinHooks(FileSymbolPinHooks{});
        std::snprintf(sheet.fileSpec.name, sizeof sheet.fileSpec.name, "amp.shx");
        sheet.stored.nextSerial = 1;
    }
    void TearDown() override {
        InstallCoreHooks();
        SymEditTest::TearDown();
    }

    SymbolRecord* AddPort(const char* name, uint32_t type, bool buss = false) {
        auto* symbol = static_cast<SymbolRecord*>(LLAppend(sheet.symbolList, nullptr));
        symbol->serial = sheet.stored.nextSerial++;
        symbol->flags = 0x208 | type | (buss ? 0x40 : 0);
        symbol->secondMapId = -1;
        symbol->libraryName = kNoLibraryName;
        SetPortSymbolName(&sheet, symbol, name);
        return symbol;
    }
    void RemovePort(SymbolRecord* symbol) { LLRemoveOrFree(sheet.symbolList, symbol, nullptr, true); }

    SymbolEditorRecord* NewFileSymbol() {
        SymbolEditorRecord* editor = nullptr;
        EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &editor), 0);
        return editor;
    }

    // The pins as "name side (h,v) number", by name.
    std::vector<std::string> Pins(SymbolEditorRecord* editor) {
        std::vector<std::string> lines;
        for (ElementRecord* e : Elements(editor->elements)) {
            if (e->kind != kElementNode) continue;
            const Point body = e->points.point2;
            lines.push_back(PinName(editor, e) + " " + std::to_string(Node_Orient(e)) + " (" + std::to_string(body.h) +
                            "," + std::to_string(body.v) + ") " + PinNumber(editor, e) +
                            (e->penWidth == 2 ? " buss" : ""));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    ElementRecord* PinNamed(SymbolEditorRecord* editor, const std::string& name) {
        for (ElementRecord* e : Elements(editor->elements))
            if (e->kind == kElementNode && PinName(editor, e) == name) return e;
        return nullptr;
    }
    std::string Line(const std::vector<std::string>& pins, const std::string& name) {
        for (const std::string& line : pins)
            if (line.rfind(name + " ", 0) == 0) return line;
        return "";
    }
};

TEST_F(FileSymPins, TheStandardBoxPutsEachExportOnItsSide) {
    for (const char* name : {"I1", "I2", "I3"}) AddPort(name, 0x10);
    AddPort("O1", 0x20);
    AddPort("O2", 0x20);
    AddPort("B", 0x30);
    AddPort("VCC", 0);
    AddPort("DATA", 0);
    SymbolEditorRecord* editor = NewFileSymbol();
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(editor->grid, 12);
    // Left 3, right 2 + the bidirectional port (3 is above 2), top 1, bottom 1: 13 x 6 steps of 12
    // at (96, 96); top and bottom pins centred by a margin of 5.
    EXPECT_EQ(Pins(editor), (std::vector<std::string>{
                                "B 1 (252,132) 8",
                                "DATA 4 (168,168) 1",
                                "I1 3 (96,108) 2",
                                "I2 3 (96,120) 3",
                                "I3 3 (96,132) 4",
                                "O1 1 (252,108) 5",
                                "O2 1 (252,120) 6",
                                "VCC 2 (168,96) 7",
                            }));
    const auto elements = Elements(editor->elements);
    const auto box = std::find_if(elements.begin(), elements.end(), [](ElementRecord* e) { return e->kind == kElementRect; });
    ASSERT_NE(box, elements.end());
    const Rect r = (*box)->rect;
    EXPECT_EQ(std::vector<int>({r.top, r.left, r.bottom, r.right}), std::vector<int>({96, 96, 168, 252}));
    // Each pin has its name and number texts and its link to the export.
    ElementRecord* vcc = PinNamed(editor, "VCC");
    char link[kPinTextSize];
    GetPinDataAttribute(ElementAs<NodeElement>(vcc)->pinData, editor->stringBlock, "~PID", link);
    EXPECT_STREQ(link, "7,0");
    int32_t texts = 0;
    for (auto* text = static_cast<TextRecord*>(LLFirst(editor->texts)); text; text = text->link)
        texts += text->owner == reinterpret_cast<intptr_t>(vcc) ? 1 : 0;
    EXPECT_EQ(texts, 2);
    EXPECT_EQ(GetPinDataType(ElementAs<NodeElement>(PinNamed(editor, "I1"))->pinData, false), 1);
    EXPECT_EQ(GetPinDataType(ElementAs<NodeElement>(PinNamed(editor, "B"))->pinData, false), 3);
    EXPECT_TRUE(editor->state & kSymEditEdited);
}

TEST_F(FileSymPins, TheSizeTable) {
    struct Case {
        int32_t grid;
        PinSideCounts counts;
        int32_t width, height;
    };
    const Case cases[] = {
        {9, {2, 0, 0, 0}, 17, 4},     // 36 / 9 high, 156 / 9 wide
        {9, {2, 1, 1, 0}, 17, 8},     // top pins: 72 / 9 high
        {12, {10, 3, 0, 2}, 13, 11},  // the larger edge count + 1
        {12, {0, 0, 14, 3}, 15, 6},   // the larger of top and bottom + 1
        {200, {0, 0, 0, 0}, 1, 1},    // never below 1
        {0, {1, 1, 0, 0}, 156, 36},   // a grid below 1 counts as 1
    };
    for (const Case& c : cases) {
        int32_t width = 0, height = 0;
        CalcMinFileSymbolWidthHeight(c.grid, c.counts, &width, &height);
        EXPECT_EQ(width, c.width) << c.grid;
        EXPECT_EQ(height, c.height) << c.grid;
    }
    EXPECT_EQ(CalcPinCentringMargin(13, 1), 5);
    EXPECT_EQ(CalcPinCentringMargin(4, 7), 0);
}

TEST_F(FileSymPins, ABidirectionalExportKeepsTheSideOfTheSlotItTakes) {
    SheetExportsTable table = CreateSheetExportsTable();
    SheetExportEntry entry{0, 0x30, 1, 0, 0, 0};
    AddExportTableEntry(table, "IO", entry);
    GetSheetExportEntry(table, 0, &entry, nullptr, 0);
    DeletedPinSlots slots = {{{{0, 0}, {0, 0}}, nullptr, kPinSideTop, 0},
                             {{{0, 0}, {0, 0}}, nullptr, kPinSideRight, 0}};
    PinSideCounts counts;
    int32_t slot = -1;
    EXPECT_EQ(CalcNewPortPinOrient(table, entry, &counts, &slots, &slot), kPinSideRight);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(counts.left + counts.right, 0);
    // No free slot: the edge with fewer pins, the left on a tie.
    EXPECT_EQ(CalcNewPortPinOrient(table, entry, &counts, &slots, &slot), kPinSideLeft);
    EXPECT_EQ(slot, -1);
    EXPECT_EQ(CalcNewPortPinOrient(table, entry, &counts, nullptr, nullptr), kPinSideRight);
    EXPECT_EQ(counts.left, 1);
    EXPECT_EQ(counts.right, 1);
    DestroySheetExportsTable(table);
}

TEST_F(FileSymPins, TopPinNamesGoUpAnyOtherUntypedNameGoesDown) {
    SheetExportsTable table = CreateSheetExportsTable();
    const std::pair<const char*, int32_t> cases[] = {{"+5V", kPinSideTop}, {"vdd", kPinSideTop}, {"Ac", kPinSideTop},
                                                     {"VCC", kPinSideTop}, {"VCC1", kPinSideBottom},
                                                     {"GND", kPinSideBottom}};
    for (const auto& [name, side] : cases) {
        AddExportTableEntry(table, name, SheetExportEntry{0, 0, 1, 0, 0, 0});
        SheetExportEntry entry{};
        GetSheetExportEntry(table, FindSheetExportByName(table, name), &entry, nullptr, 0);
        PinSideCounts counts;
        EXPECT_EQ(CalcNewPortPinOrient(table, entry, &counts, nullptr, nullptr), side) << name;
    }
    DestroySheetExportsTable(table);
}

TEST_F(FileSymPins, ARenamedPortRenamesItsPinInPlace) {
    AddPort("A", 0x10);
    SymbolRecord* out = AddPort("Q", 0x20);
    SymbolEditorRecord* editor = NewFileSymbol();
    ASSERT_NE(editor, nullptr);
    const std::string before = Line(Pins(editor), "Q");
    SetPortSymbolName(&sheet, out, "QBAR");
    EXPECT_TRUE(UpdateFileSymbolPinsFromSheet(editor));
    const std::vector<std::string> after = Pins(editor);
    EXPECT_EQ(after.size(), 2u);
    EXPECT_EQ(Line(after, "QBAR"), "QBAR" + before.substr(1));
    // Its name texts follow.
    ElementRecord* pin = PinNamed(editor, "QBAR");
    bool renamed = false;
    for (auto* text = static_cast<TextRecord*>(LLFirst(editor->texts)); text; text = text->link) {
        if (text->owner != reinterpret_cast<intptr_t>(pin) || (text->kind & 0xC000) != kTextKindPinName) continue;
        char string[kTextStringSize];
        GetTextRecordString(text, editor->stringBlock, string, sizeof string);
        renamed = std::string(string) == "QBAR";
    }
    EXPECT_TRUE(renamed);
    EXPECT_FALSE(UpdateFileSymbolPinsFromSheet(editor));  // nothing more to do
}

TEST_F(FileSymPins, ADeletedPortsPlaceAndNumberGoToTheNextPortOfItsSide) {
    AddPort("A", 0x10);
    SymbolRecord* b = AddPort("B", 0x10);
    AddPort("C", 0x10);
    AddPort("Y", 0x20);
    SymbolEditorRecord* editor = NewFileSymbol();
    ASSERT_NE(editor, nullptr);
    const std::string place = Line(Pins(editor), "B").substr(1);
    RemovePort(b);
    PinNamed(editor, "A")->flags |= kElementSelected;  // the user's selection is no deletion mark
    AddPort("Z", 0x20);   // an output: its own new place on the right
    AddPort("D", 0x10);   // an input: B's place and number
    EXPECT_TRUE(UpdateFileSymbolPinsFromSheet(editor));
    const std::vector<std::string> pins = Pins(editor);
    EXPECT_EQ(Line(pins, "B"), "");
    EXPECT_NE(Line(pins, "A"), "");
    EXPECT_EQ(Line(pins, "D"), "D" + place);
    ASSERT_NE(Line(pins, "Z"), "");
    EXPECT_EQ(Line(pins, "Z").substr(2, 1), "1");
    EXPECT_EQ(pins.size(), 5u);
    // B's texts went with it.
    int32_t texts = 0;
    for (auto* text = static_cast<TextRecord*>(LLFirst(editor->texts)); text; text = text->link) ++texts;
    EXPECT_EQ(texts, 10);
}

TEST_F(FileSymPins, APortThatBecomesABussChangesItsPinStyleAndType) {
    SymbolRecord* port = AddPort("D[0:7]", 0x10);
    SymbolEditorRecord* editor = NewFileSymbol();
    ASSERT_NE(editor, nullptr);
    port->flags = 0x208 | 0x20 | 0x40;
    EXPECT_TRUE(UpdateFileSymbolPinsFromSheet(editor));
    ElementRecord* pin = PinNamed(editor, "D[0:7]");
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(pin->penWidth, 2);
    EXPECT_EQ(GetPinDataType(ElementAs<NodeElement>(pin)->pinData, false), 2);
}

TEST_F(FileSymPins, HiddenPinsFollowTheExportsAndGoWithoutOne) {
    AddPort("A", 0x10);
    SymbolRecord* gnd = AddPort("GND", 0);
    SymbolEditorRecord* editor = NewFileSymbol();
    ASSERT_NE(editor, nullptr);
    LibraryItem* item = editor->item;
    auto hidden = [&](const char* name, const char* link) {
        Handle record = CreateNewPinData();
        SetPinDataName(record, item->stringBlock, name);
        if (link) SetPinDataAttribute(record, item->stringBlock, "~PID", link);
        const int32_t id = AddPinDataToTable(item->pinTable, record);
        DestroyPinData(record);
        return AddNewHiddenPinToLibItem(item, 0, "9", uint32_t(id));
    };
    hidden("OLD", "2,0");  // linked to GND's export
    hidden("NONE", nullptr);
    SetPortSymbolName(&sheet, gnd, "AGND");
    UpdateFileSymbolPinsFromSheet(editor);
    ASSERT_EQ(CountLibSymbolPins(item, 0, kLibHiddenPins), 1);
    uint32_t id = 0;
    GetLibItemHiddenPinInfo(item, 0, 0, nullptr, &id);
    char name[kPinTextSize];
    GetPinDataName(GetIndexedPinData(item->pinTable, int32_t(id)), item->stringBlock, name);
    EXPECT_STREQ(name, "AGND");
    // The export has its hidden pin: no visible pin is made for it; the visible GND pin is renamed.
    EXPECT_EQ(Pins(editor).size(), 2u);
}

TEST_F(FileSymPins, SynchronisingASheetSavesItsFileSymbolsBack) {
    SymbolRecord* a = AddPort("A", 0x10);
    SymbolEditorRecord* editor = NewFileSymbol();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(SaveSheetSymbolEditor(editor, false));
    ASSERT_TRUE(CloseSheetSymbolEditor(editor, false));
    ASSERT_EQ(CountSymbolEditors(), 0);
    SetPortSymbolName(&sheet, a, "ENABLE");
    SynchronizeSheetsFileSymbols(&sheet, true);
    EXPECT_EQ(CountSymbolEditors(), 0);
    FileSymbolEntry* entry = GetIndexedFileSymbol(&sheet, 0);
    ASSERT_NE(entry, nullptr);
    const std::string dump = Reread(entry->item);
    EXPECT_NE(dump.find("ENABLE"), std::string::npos) << dump;

    // Saving the sheet does the same before it writes.
    SetPortSymbolName(&sheet, a, "RESET");
    GetSheetSaveHooks().tidy(&sheet);
    EXPECT_EQ(CountSymbolEditors(), 0);
    EXPECT_NE(Reread(GetIndexedFileSymbol(&sheet, 0)->item).find("RESET"), std::string::npos);

    // An editor that was open stays open.
    ASSERT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, 0, false, &editor), 0);
    SynchronizeSheetsFileSymbols(&sheet, true);
    EXPECT_EQ(CountSymbolEditors(), 1);
}

TEST_F(FileSymPins, FileSymbolsAreNamedByTheirItems) {
    FileSymbolEntry* unnamed = AddFileSymbol({});
    FileSymbolEntry* named = AddFileSymbol({"Filter", "Filter-B"});
    char name[64];
    GetFileSymbolName(unnamed, name, sizeof name);
    EXPECT_STREQ(name, "Unnamed Symbol");
    GetFileSymbolName(named, name, sizeof name);
    EXPECT_STREQ(name, "Filter");
}

}  // namespace
}  // namespace plexa::test
