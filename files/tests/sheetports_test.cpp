// A sheet's exports and the sheet symbols that follow them: the merge table, the exports built
// from a sheet's port symbols, port link ids, and a sheet symbol's ports brought in line with an
// open child sheet or with the exports stored in the child's file.
#include "files/sheetports.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/sheet_services.h"
#include "files/tests/sheetfile_testing.h"
#include "model/sheetsymbols.h"

namespace plexa::test {
namespace {

class SheetPorts : public SheetFileTest {};

struct MergeCase {
    const char* what;
    std::vector<ExportRow> added;  // in order, through AddExportTableEntry
    std::vector<std::string> lines;
};

TEST_F(SheetPorts, TheMergeTableKeepsOneEntryPerName) {
    const MergeCase cases[] = {
        {"a port, then a hidden-pin signal: the port's entry, the hidden bit left out",
         {{"VCC", 0x10, 5, 0, 0}, {"VCC", 0, 2, 3, kExportHiddenPinSignal}},
         {"VCC 10 5 0 0"}},
        {"a hidden-pin signal, then a port: the port's serial and pin, the old flags less the hidden bit",
         {{"VCC", 0, 2, 3, kExportHiddenPinSignal}, {"VCC", 0x20, 5, 0, kExportBussPort}},
         {"VCC 20 5 0 1"}},
        {"two ports: the types or-ed, the lower serial taken with its pin",
         {{"D", 0x10, 5, 0, 0}, {"D", 0x20, 3, 0, 0}},
         {"D 30 3 0 0"}},
        {"a global signal, then a port of a lower serial: the flags or-ed",
         {{"CLK", 0, 7, 0, kExportGlobalSignal}, {"CLK", 0x10, 4, 0, 0}},
         {"CLK 10 4 0 2"}},
        {"a higher serial changes neither serial nor pin",
         {{"GND", 0, 9, 4, kExportHiddenPinSignal}, {"GND", 0, 12, 1, kExportHiddenPinSignal}},
         {"GND 0 9 4 4"}},
        {"the same symbol's lower pin is taken",
         {{"GND", 0, 9, 4, kExportHiddenPinSignal}, {"GND", 0, 9, 2, kExportHiddenPinSignal}},
         {"GND 0 9 2 4"}},
        {"names are one without regard to case, in alphanumeric order",
         {{"data", 0x10, 1, 0, 0}, {"A10", 0, 2, 0, 0}, {"DATA", 0x20, 3, 0, 0}, {"A2", 0, 4, 0, 0}},
         {"A2 0 4 0 0", "A10 0 2 0 0", "data 30 1 0 0"}},
    };
    for (const MergeCase& c : cases) {
        SheetExportsTable table = CreateSheetExportsTable();
        for (const ExportRow& row : c.added) {
            SheetExportEntry entry{};
            entry.portType = row.portType;
            entry.serial = row.serial;
            entry.pinIndex = row.pin;
            entry.kind = row.kind;
            EXPECT_TRUE(AddExportTableEntry(table, row.name, entry));
        }
        EXPECT_EQ(ExportLines(table), c.lines) << c.what;
        DestroySheetExportsTable(table);
    }
}

TEST_F(SheetPorts, AnExportAsPortAndHiddenPinSignalGivesThePortsEntry) {
    for (bool portFirst : {true, false}) {
        SheetExportsTable table = CreateSheetExportsTable();
        SheetExportEntry port{0, 0x10, 6, 0, 0, 0}, hidden{0, 0, 3, 2, kExportHiddenPinSignal, 0};
        AddExportTableEntry(table, "VDD", portFirst ? port : hidden);
        AddExportTableEntry(table, "VDD", portFirst ? hidden : port);
        EXPECT_EQ(ExportLines(table), std::vector<std::string>{"VDD 10 6 0 0"}) << portFirst;
        DestroySheetExportsTable(table);
    }
}

TEST_F(SheetPorts, PortSymbolsAreExportedByName) {
    TestSheet sheet;
    auto port = [&](const char* name, uint32_t flags) {
        SymbolRecord* symbol = sheet.Symbol(flags);
        SetPortSymbolName(sheet.get(), symbol, name);
        return symbol;
    };
    port("OUT", 0x208 | 0x20);
    port("BUS[0:3]", 0x208 | 0x10 | 0x40);
    port("", 0x208 | 0x10);  // no name and nothing connected: no export
    port("in", 0x208 | 0x10);
    port("IN", 0x208 | 0x20);
    sheet.Symbol(0x200);  // a global-signal symbol while the sheet does not export them
    SheetExportsTable table = BuildSheetExportsTable(sheet.get());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(ExportLines(table), (std::vector<std::string>{"BUS[0:3] 10 2 0 1", "in 30 4 0 0", "OUT 20 1 0 0"}));
    char id[kPortLinkIdSize];
    MakePortLinkIdString(id, 4, 0);
    EXPECT_STREQ(id, "4,0");
    EXPECT_EQ(FindSheetExportByLinkId(table, "4,0"), 1);
    EXPECT_EQ(FindSheetExportByLinkId(table, "9,9"), -1);
    EXPECT_EQ(FindSheetExportByName(table, "out"), 2);
    DestroySheetExportsTable(table);
}

// Ports as "name flags slot".
std::vector<std::string> PortLines(Handle ports, StringBlock block) {
    std::vector<std::string> lines;
    for (int32_t i = 0; i < CountSubSheetPorts(ports); ++i) {
        char name[kStringSpecBufferSize];
        GetSubSheetPortName(ports, i, block, name, sizeof name);
        char line[kStringSpecBufferSize + 32];
        std::snprintf(line, sizeof line, "%s %X %X", name, SheetSymbolPortAt(ports, i)->flags,
                      SheetSymbolPortAt(ports, i)->slot);
        lines.push_back(line);
    }
    return lines;
}

TEST_F(SheetPorts, PortsFollowTheOpenChildSheet) {
    static TestSheet* child = nullptr;
    TestSheet childSheet;
    child = &childSheet;
    SetPortSymbolName(childSheet.get(), childSheet.Symbol(0x208 | 0x30), "io");
    SetPortSymbolName(childSheet.get(), childSheet.Symbol(0x208 | 0x10 | 0x40), "NEW");
    SheetServices services;
    services.getLoadedSheet = [](const char* name, ProjectRecord*) {
        return std::string(name) == "child.shx" ? child->get() : nullptr;
    };
    SetSheetServices(services);

    TestSheet parent;
    StringBlock block = parent->stringBlock;
    Handle ports = CreateSheetSymbolPorts();
    AppendSubSheetPort(ports, block, "IO", kPortTypeInput | kSheetPortRight | kSheetPortShowName, 3);
    AppendSubSheetPort(ports, block, "GONE", kPortTypeOutput, 1);
    FileSpec spec{};
    SetFileSpecName(&spec, "child.shx");
    ASSERT_EQ(SynchSheetSymbolPorts(ports, block, &spec), 0);
    // The kept port keeps its edge, row and show bit; the new one waits for its row.
    EXPECT_EQ(PortLines(ports, block), (std::vector<std::string>{"IO 36 3", "NEW 15 FFFF"}));
    MemFree(ports);
    child = nullptr;
}

TEST_F(SheetPorts, PortsFollowTheExportsStoredInTheChildsFile) {
    TestSheet child;
    SheetExportsTable exports = MakeExports({{"A", 0x20, 5, 0, 0}, {"B", 0x10, 6, 0, kExportBussPort}});
    WriteTestSheetFile(dir_.file("child.shx"), child, exports);
    DestroySheetExportsTable(exports);
    TestSheet parent;
    StringBlock block = parent->stringBlock;
    Handle ports = CreateSheetSymbolPorts();
    AppendSubSheetPort(ports, block, "b", kPortTypeOutput, 1);
    FileSpec spec = SheetSpecOf(dir_.file("child.shx"));
    ASSERT_EQ(SynchSheetSymbolPorts(ports, block, &spec), 0);
    EXPECT_EQ(PortLines(ports, block), (std::vector<std::string>{"b 11 1", "A 24 FFFF"}));

    // A file that cannot be read leaves the ports as they were.
    const std::vector<std::string> before = PortLines(ports, block);
    FileSpec missing = SheetSpecOf(dir_.file("missing.shx"));
    EXPECT_NE(SynchSheetSymbolPorts(ports, block, &missing), 0);
    EXPECT_EQ(PortLines(ports, block), before);

    // A child without exports leaves no ports.
    TestSheet bare;
    WriteTestSheetFile(dir_.file("bare.shx"), bare, nullptr);
    FileSpec bareSpec = SheetSpecOf(dir_.file("bare.shx"));
    ASSERT_EQ(SynchSheetSymbolPorts(ports, block, &bareSpec), 0);
    EXPECT_EQ(CountSubSheetPorts(ports), 0);
    MemFree(ports);
}

TEST_F(SheetPorts, SubSheetFilesAreFoundInTheHintThenTheParentsFolder) {
    TestSheet child;
    WriteTestSheetFile(dir_.file("sub.shx"), child, nullptr);
    TestSheet parent;
    parent->fileSpec = SheetSpecOf(dir_.file("parent.shx"));
    FileSpec found{};
    EXPECT_TRUE(FindSubSheetFile(nullptr, parent.get(), "sub.shx", nullptr, &found));
    EXPECT_STREQ(found.name, "sub.shx");
    EXPECT_FALSE(FindSubSheetFile(nullptr, parent.get(), "", nullptr, &found));
    EXPECT_FALSE(FindSubSheetFile(nullptr, parent.get(), "nothere.shx", nullptr, &found));
    // Entering without a project opens the file found, with the options of a plain opening.
    static uint32_t options = 0;
    static std::string opened;
    SheetPortServices services;
    services.openSheetFile = [](const FileSpec* spec, uint32_t how) -> SheetRecord* {
        options = how;
        opened = spec->name;
        return nullptr;
    };
    SetSheetPortServices(services);
    SymbolRecord* symbol = parent.Symbol(0x800, {{"~SUB", "sub.shx"}});
    EXPECT_EQ(EnterSubSheet(parent.get(), symbol), nullptr);
    EXPECT_EQ(opened, "sub.shx");
    EXPECT_EQ(options, 13u);
    SetSheetPortServices(SheetPortServices{});
}

}  // namespace
}  // namespace plexa::test
