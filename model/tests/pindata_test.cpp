#include "model/pindata.h"

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/hash.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/sheet.h"
#include "model/tests/attribute_testing.h"
#include "model/waitcursor.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::Hex;

class PinData : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(InitMemoryManager(-1), 0);
        block_ = CreateStringBlock(gGenPool, 64);
    }
    void TearDown() override { DestroyStringBlock(block_); }

    // A record named `name` with a whole type byte and "name=value" attributes.
    Handle Make(const std::string& name, uint8_t type, const std::string& pairs = {}) {
        Handle r = CreateNewPinData();
        SetPinDataName(r, block_, name.c_str());
        SetPinDataType(r, type, true);
        test::AttrRun parsed(pairs);
        for (int32_t i = 0; i < parsed.count; ++i) {
            char n[kAttributeTextSize], v[kAttributeTextSize];
            GetIndexedAttribute(parsed.block, parsed.handle, 0, i, n, v, nullptr, nullptr);
            SetPinDataAttribute(r, block_, n, v);
        }
        return r;
    }
    std::string Name(Handle r) {
        char name[kPinTextSize];
        GetPinDataName(r, block_, name);
        return name;
    }
    std::string Describe(Handle r) {
        if (!r) return "none";
        const PinDataRecord* head = reinterpret_cast<const PinDataRecord*>(*r);
        return Name(r) + "/" + std::to_string(GetPinDataType(r, true)) + "[" +
               test::DumpRun(block_, r, 8, head->attributeCount) + "]";
    }

    void UseFixtureBlock();

    StringBlock block_ = nullptr;
};

// ---- Records ----

TEST_F(PinData, HashCoversNameAndAttributesButNotTheType) {
    Handle r = CreateNewPinData();
    ASSERT_EQ(SizeOfHandle(r), 8u);
    EXPECT_EQ(std::string(*r, 8), std::string(8, '\0'));
    SetPinDataName(r, block_, "CLK");
    const uint8_t named = uint8_t((*r)[0]);
    EXPECT_EQ(named, uint8_t(HashMem(0x50446174, *r + 4, 4)));
    SetPinDataType(r, kPinInput, true);
    EXPECT_EQ(CalcPinDataHash(r), named);
    SetPinDataAttribute(r, block_, "Slew", "fast");
    EXPECT_EQ(SizeOfHandle(r), 20u);
    EXPECT_EQ(uint8_t((*r)[0]), uint8_t(HashMem(0x50446174, *r + 4, 16)));
    EXPECT_EQ(reinterpret_cast<const PinDataRecord*>(*r)->attributeCount, 1);
    DestroyPinData(r);
    // Nothing happens to a null record.
    SetPinDataName(nullptr, block_, "x");
    SetPinDataType(nullptr, 1, true);
    EXPECT_EQ(SetPinDataAttribute(nullptr, block_, "a", "b"), kAttributeAbsent);
}

TEST_F(PinData, TypeBytes) {
    struct Case {
        uint8_t before;
        uint8_t value;
        bool whole;
        uint8_t after;
    } const cases[] = {
        {0x00, 0x47, true, 0x47},  {0xC0, 0x05, false, 0xC5}, {0x47, 0xFF, false, 0x7F},
        {0x81, 0x02, false, 0x82}, {0x81, 0x02, true, 0x02},
    };
    for (const Case& c : cases) {
        Handle r = CreateNewPinData();
        SetPinDataType(r, c.before, true);
        SetPinDataType(r, c.value, c.whole);
        EXPECT_EQ(GetPinDataType(r, true), c.after);
        EXPECT_EQ(GetPinDataType(r, false), c.after & 0x3F);
        DestroyPinData(r);
    }
    struct Validation {
        uint8_t before;
        bool bus;
        uint8_t after;
    } const validations[] = {
        {kPinPassive, true, 0x40},      // "Passive" on a bus pin becomes "Unspecified" with the flag
        {kPinOutput, true, 0x42},       {kPinBidirectional, true, 0x43},
        {kPinOpenCollector, true, 0x40}, {0xC7, false, 0x07}, {0x42, false, 0x02},
        {0x81, true, 0x41},
    };
    for (const Validation& v : validations) {
        Handle r = CreateNewPinData();
        SetPinDataType(r, v.before, true);
        const uint8_t hash = CalcPinDataHash(r);
        ValidatePinDataType(r, v.bus);
        EXPECT_EQ(GetPinDataType(r, true), v.after) << int(v.before) << " " << v.bus;
        EXPECT_EQ(uint8_t((*r)[0]), hash);
        DestroyPinData(r);
    }
    const std::pair<uint8_t, const char*> names[] = {
        {0, "Unspecified"},   {1, "Input"},   {2, "Output"},  {3, "Bidirectional"},
        {4, "Open Collector"}, {5, "Open Emitter"}, {6, "Hi Impedance"}, {7, "Passive"},
        {8, "Power"},          {9, ""},        {63, ""},       {0x41, "Input"}, {0xC8, "Power"}};
    for (const auto& [type, name] : names) {
        char text[kPinTextSize] = "stale";
        GetPinTypeString(type, text);
        EXPECT_STREQ(text, name) << int(type);
    }
}

TEST_F(PinData, AttributesAndTheHiddenPinNet) {
    Handle r = Make("VCC", kPinPower);
    char net[kPinTextSize] = "stale";
    GetHiddenPinSignalName(r, block_, true, net);
    EXPECT_STREQ(net, "VCC");
    GetHiddenPinSignalName(r, block_, false, net);
    EXPECT_STREQ(net, "");
    SetHiddenPinSignalName(r, block_, "+5V");
    GetHiddenPinSignalName(r, block_, true, net);
    EXPECT_STREQ(net, "+5V");
    EXPECT_EQ(GetPinDataAttribute(r, block_, "~sig", net), 0);
    EXPECT_EQ(Describe(r), "VCC/8[~SIG=+5V]");
    for (const char* clear : {"", static_cast<const char*>(nullptr)}) {
        SetHiddenPinSignalName(r, block_, "+5V");
        SetHiddenPinSignalName(r, block_, clear);
        EXPECT_EQ(Describe(r), "VCC/8[]");
        EXPECT_EQ(SizeOfHandle(r), 8u);
        EXPECT_EQ(uint8_t((*r)[0]), uint8_t(HashMem(0x50446174, *r + 4, 4)));
    }
    EXPECT_EQ(GetPinDataAttribute(r, block_, "Missing", net), kAttributeAbsent);
    DestroyPinData(r);
}

// ---- Interning ----

TEST_F(PinData, InterningDeduplicates) {
    PinDataTable table = CreatePinDataTable(block_);
    ASSERT_NE(table, nullptr);
    Handle a = Make("D0", kPinBidirectional, "Slew=fast");
    Handle same = Make("D0", kPinBidirectional, "Slew=fast");
    Handle otherType = Make("D0", kPinInput, "Slew=fast");
    Handle otherAttr = Make("D0", kPinBidirectional, "Slew=slow");
    const int32_t id = AddPinDataToTable(table, a);
    ASSERT_GE(id, 0);
    EXPECT_EQ(AddPinDataToTable(table, same), id);
    const int32_t typed = AddPinDataToTable(table, otherType);
    EXPECT_NE(typed, id);
    const int32_t attributed = AddPinDataToTable(table, otherAttr);
    EXPECT_NE(attributed, id);
    EXPECT_NE(attributed, typed);
    EXPECT_EQ(DACount(table), 3);
    // The table holds copies: the caller's record stays its own.
    EXPECT_NE(GetIndexedPinData(table, id), a);
    SetPinDataName(a, block_, "changed");
    EXPECT_EQ(Describe(GetIndexedPinData(table, id)), "D0/3[Slew=fast]");
    EXPECT_EQ(Describe(GetIndexedPinData(table, typed)), "D0/1[Slew=fast]");
    char name[kPinTextSize] = "stale";
    GetIndexedPinDataName(table, 99, block_, name);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(GetIndexedPinData(table, -1), nullptr);
    Handle copy = GetPinDataCopy(table, attributed);
    EXPECT_EQ(Describe(copy), "D0/3[Slew=slow]");
    EXPECT_NE(copy, GetIndexedPinData(table, attributed));
    for (Handle h : {a, same, otherType, otherAttr, copy}) DestroyPinData(h);
    DestroyPinDataTable(table);
}

// Ids stay where they are while other records come; interning still finds records after the
// table's strings moved into another block (their hashes and order change with the move).
TEST_F(PinData, IdsAreStableAndSurviveABlockChange) {
    PinDataTable table = CreatePinDataTable(block_);
    std::map<int32_t, std::string> byId;
    for (int i = 0; i < 60; ++i) {
        Handle r = Make("P" + std::to_string(i * 7919 % 61), uint8_t(i % 9),
                        i % 3 ? "" : "Net=N" + std::to_string(i));
        const int32_t id = AddPinDataToTable(table, r);
        byId[id] = Describe(r);
        DestroyPinData(r);
    }
    ASSERT_EQ(byId.size(), 60u);
    for (const auto& [id, text] : byId) EXPECT_EQ(Describe(GetIndexedPinData(table, id)), text);

    StringBlock fresh = CreateStringBlock(gGenPool, 64);
    AppendStringBlock(fresh, "padding that shifts every spec", -1, nullptr);
    ASSERT_EQ(ChangePinTableStringBlock(table, fresh), 0);
    std::swap(block_, fresh);
    for (const auto& [id, text] : byId) {
        EXPECT_EQ(Describe(GetIndexedPinData(table, id)), text);
        Handle again = GetPinDataCopy(table, id);
        EXPECT_EQ(AddPinDataToTable(table, again), id);
        DestroyPinData(again);
    }
    EXPECT_EQ(DACount(table), 60);
    DestroyPinDataTable(table);
    DestroyStringBlock(fresh);
}

TEST_F(PinData, RecordStringBlockMoves) {
    Handle r = Make("RESET", kPinInput, "B=2;A=1");
    StringBlock to = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangePinDataStringBlock(r, block_, to), 0);
    std::swap(block_, to);
    EXPECT_EQ(Describe(r), "RESET/1[B=2;A=1]");
    EXPECT_EQ(uint8_t((*r)[0]), uint8_t(HashMem(0x50446174, *r + 4, SizeOfHandle(r) - 4)));
    // Attributes first, in name order, then the name.
    StringBlockHeader h;
    std::memcpy(&h, *block_, sizeof h);
    EXPECT_EQ(std::string(*block_ + 16, h.used - 16), "A1B2RESET");
    DestroyPinData(r);
    DestroyStringBlock(to);
}

// ---- Purge ----

struct PurgeCase {
    int32_t freeIds;   // free ids below the highest used one after the purge
    bool renumbered;
};

class PinPurge : public PinData, public ::testing::WithParamInterface<PurgeCase> {};

int gWaitCursorTurns = 0;
void CountWaitCursor() { ++gWaitCursorTurns; }

// A sheet whose table holds freeIds unused records followed by 10 used ones; one component uses
// them through its symbols' pins and its hidden pins, and holds one id of no record.
TEST_P(PinPurge, KeepsEveryPinResolvingToTheSameNameAndType) {
    const PurgeCase c = GetParam();
    SheetRecord sheet{};
    sheet.stringBlock = block_;
    sheet.pinDataTable = CreatePinDataTable(block_);
    sheet.componentList = CreateComponentList();
    for (int32_t i = 0; i < c.freeIds + 10; ++i) {
        Handle r = Make("P" + std::to_string(i), uint8_t(i % 9), i % 4 ? "" : "Pad=" + std::to_string(i));
        ASSERT_EQ(AddPinDataToTable(sheet.pinDataTable, r), i);
        DestroyPinData(r);
    }
    ComponentRecord* comp = CreateComponent(0, 2, 2, 0, 1);
    ASSERT_NE(comp, nullptr);
    const int32_t first = c.freeIds;
    const std::vector<std::vector<uint32_t>> symbolPins = {
        {uint32_t(first + 9), uint32_t(first + 0), uint32_t(first + 2)},
        {uint32_t(first + 2), uint32_t(first + 4), 5000},
    };
    for (int32_t s = 0; s < 2; ++s) {
        auto* ids = reinterpret_cast<uint32_t*>(AllocPtr(gGenPool, uint32_t(symbolPins[size_t(s)].size() * 4)));
        std::memcpy(ids, symbolPins[size_t(s)].data(), symbolPins[size_t(s)].size() * 4);
        CompSymbols(comp)[s].pinDataIds = ids;
    }
    const uint32_t hidden[2][3] = {{uint32_t(first + 1), uint32_t(first + 3), uint32_t(first + 5)},
                                   {uint32_t(first + 6), uint32_t(first + 7), uint32_t(first + 8)}};
    for (int32_t set = 0; set < 2; ++set) {
        auto* table = reinterpret_cast<CompHiddenPin*>(AllocPtr(gGenPool, 3 * sizeof(CompHiddenPin)));
        for (int32_t p = 0; p < 3; ++p) table[p] = {0, hidden[set][p]};
        CompHiddenPins(comp)[set] = table;
    }
    LLPush(sheet.componentList, comp);

    // What every pin resolves to, before.
    auto resolve = [&] {
        std::vector<std::string> out;
        for (int32_t set = 0; set < 2; ++set)
            for (int32_t p = 0; p < CountCompSymbolPins(comp, set, kCompHiddenPins); ++p)
                out.push_back(Describe(GetIndexedPinData(
                    sheet.pinDataTable, int32_t(GetCompSymbolPinDataId(comp, set, kCompHiddenPins, p)))));
        for (uint16_t s = 0; s < 2; ++s)
            for (int32_t p = 0; p < CountCompSymbolPins(comp, 0, s); ++p)
                out.push_back(Describe(
                    GetIndexedPinData(sheet.pinDataTable, int32_t(GetCompSymbolPinDataId(comp, 0, s, p)))));
        return out;
    };
    const std::vector<std::string> before = resolve();
    EXPECT_EQ(before.back(), "none");

    gWaitCursorTurns = 0;
    const ModelWaitCursorProc former = SetModelWaitCursorProc(CountWaitCursor);
    PurgeSheetPinTable(&sheet);
    SetModelWaitCursorProc(former);
    EXPECT_GE(gWaitCursorTurns, 2);

    EXPECT_EQ(DACount(sheet.pinDataTable), 10);
    EXPECT_EQ(resolve(), before);
    const uint32_t firstPin = GetCompSymbolPinDataId(comp, 0, 0, 1);
    const uint32_t dangling = GetCompSymbolPinDataId(comp, 0, 1, 2);
    if (c.renumbered) {
        EXPECT_EQ(firstPin, 0u);
        EXPECT_EQ(GetCompSymbolPinDataId(comp, 0, 0, 0), 9u);
        EXPECT_EQ(dangling, 0xFFFFFFFFu);
        EXPECT_EQ((*sheet.pinDataTable)->idLimit, 10);
    } else {
        EXPECT_EQ(firstPin, uint32_t(first));
        EXPECT_EQ(dangling, 5000u);
        for (int32_t id = 0; id < first; ++id) EXPECT_EQ(GetIndexedPinData(sheet.pinDataTable, id), nullptr);
    }
    // The table still interns: a record already there gives its id.
    Handle again = GetPinDataCopy(sheet.pinDataTable, int32_t(firstPin));
    EXPECT_EQ(AddPinDataToTable(sheet.pinDataTable, again), int32_t(firstPin));
    DestroyPinData(again);
    DestroyCompList(sheet.componentList);
    DestroyPinDataTable(sheet.pinDataTable);
}

INSTANTIATE_TEST_SUITE_P(FreeIdBoundary, PinPurge,
                         ::testing::Values(PurgeCase{0, false}, PurgeCase{63, false},
                                           PurgeCase{64, true}, PurgeCase{100, true}));

TEST_F(PinData, PurgeOfASheetWithoutComponentsEmptiesTheTable) {
    SheetRecord sheet{};
    sheet.pinDataTable = CreatePinDataTable(block_);
    for (int i = 0; i < 5; ++i) {
        Handle r = Make("N" + std::to_string(i), 0);
        AddPinDataToTable(sheet.pinDataTable, r);
        DestroyPinData(r);
    }
    PurgeSheetPinTable(&sheet);
    EXPECT_EQ(DACount(sheet.pinDataTable), 0);
    DestroyPinDataTable(sheet.pinDataTable);
    PurgeSheetPinTable(nullptr);
}

// ---- Node pin numbers ----

TEST_F(PinData, NodePinNumbers) {
    NodePinEditor editor{block_, 0x1111, 0, {true, true, false, false}};
    Handle numbers = nullptr;
    StringSpec specs[4] = {1, 2, 3, 4};
    EXPECT_EQ(FindNodePinNumbersSection(numbers, 0x1111), -1);
    EXPECT_LT(GetNodesPinNumberSet(numbers, 0x1111, specs), 0);
    EXPECT_EQ(specs[0] | specs[1] | specs[2] | specs[3], 0u);

    auto number = [&](uint64_t key, int32_t set) {
        char text[kPinTextSize];
        GetNodesPinNumber(&editor, numbers, key, set, text);
        return std::string(text);
    };
    // A number goes to its pin set and to every set with none yet or not in use.
    SetNodesPinNumber(&editor, &numbers, 0, 1, "7");
    ASSERT_NE(numbers, nullptr);
    EXPECT_EQ(number(0, 0), "7");
    EXPECT_EQ(number(0x1111, 1), "7");
    EXPECT_EQ(number(0x1111, 2), "7");
    SetNodesPinNumber(&editor, &numbers, 0, 0, "12");
    EXPECT_EQ(number(0, 0), "12");
    EXPECT_EQ(number(0, 1), "7");   // in use and numbered: kept
    EXPECT_EQ(number(0, 3), "12");  // not in use: follows
    // An empty text clears only the given pin set.
    SetNodesPinNumber(&editor, &numbers, 0, -1, "");
    EXPECT_EQ(number(0, 0), "");
    EXPECT_EQ(number(0, 1), "7");
    EXPECT_EQ(number(0, 3), "12");

    SetNodesPinNumber(&editor, &numbers, 0x2222, 2, "B4");
    EXPECT_EQ(FindNodePinNumbersSection(numbers, 0x2222), 1);
    EXPECT_EQ(GetNodesPinNumberSet(numbers, 0x2222, specs), 3);
    CopyNodePinSet(&editor, numbers, 3, 0);
    EXPECT_EQ(number(0x1111, 0), "12");
    EXPECT_EQ(number(0x2222, 0), "B4");
    DeleteNodesPinNumber(&editor, numbers, 0);
    EXPECT_EQ(FindNodePinNumbersSection(numbers, 0x1111), -1);
    EXPECT_EQ(FindNodePinNumbersSection(numbers, 0x2222), 0);
    EXPECT_EQ(SizeOfHandle(numbers), 4u + 24u);

    // Numbers set from another block move into the table's.
    StringBlock other = CreateStringBlock(gGenPool, 64);
    const StringSpec foreign[4] = {OverlayStringBlock(other, "99", -1, nullptr), 0, 0, 0};
    ASSERT_TRUE(SetNodesPinNumberSet(&numbers, 0x3333, foreign, other, block_));
    EXPECT_EQ(number(0x3333, 0), "99");
    DestroyStringBlock(other);

    // A count beyond the handle's bytes reads only the entries there.
    const uint16_t wrong = 40;
    std::memcpy(*numbers, &wrong, 2);
    EXPECT_EQ(FindNodePinNumbersSection(numbers, 0x3333), 1);
    EXPECT_EQ(FindNodePinNumbersSection(numbers, 0x4444), -1);
    MemFree(numbers);

    Handle pin = Make("OUT", kPinOutput);
    char name[kPinTextSize];
    SetNodesPinName(pin, &editor, "Q");
    GetNodesPinName(pin, &editor, name);
    EXPECT_STREQ(name, "Q");
    DestroyPinData(pin);
}

// ---- Stored form ----

// The fixture's string block: "A1" at 16, "B2" at 18, "~SIG" at 20, "GND" at 24.
StringBlock FixtureBlock() {
    StringBlock block = CreateStringBlock(gGenPool, 64);
    for (const char* s : {"A1", "B2", "~SIG", "GND"}) AppendStringBlock(block, s, uint32_t(std::strlen(s)), nullptr);
    return block;
}

void PinData::UseFixtureBlock() {
    DestroyStringBlock(block_);
    block_ = FixtureBlock();
}

// One record by hand: bus-pin type 0x47, one attribute "~SIG" = "GND" (name hash 0x1D); the record
// hash is the writer's, over its own bytes (0x6C little-endian, 0x94 big-endian).
const char* const kRecordLittle =
    "00000014"                      // i32 length 20 (as a big-endian handle)
    "6c 47 0100 02480000"           // hash, type, count 1, name "B2" (18 << 10 | 2)
    "04500000 03600000 0000 1d 00"; // "~SIG" (20 << 10 | 4), "GND" (24 << 10 | 3), flags, hash
const char* const kRecordBig =
    "00000014"
    "94 47 0001 00004802"
    "00005004 00006003 0000 1d 00";

// A table of two records in the array's stored form (always big-endian) and the records in the
// writer's order.
std::string TableBytes(bool big) {
    std::string map = "00000100 00000000 00000001";  // 64 entries: 0, 1, then none
    for (int i = 2; i < 64; ++i) map += " ffffffff";
    return Hex("fffffffe 00000048"                                  // mark, header size 72
               "00000008 0000000c 00000002 00000002 0000154a 00000001"  // item size, stride, count,
                                                                        // id limit, per cluster, clusters
               "ffffffff 00000000 0000008d 00000000 00000000 00000000"  // free head, -, flags 0x8D, -, -, ref
               "00000000 00000000 00000000 00000000 00000000 00000000" +
               map +
               "00000002 00000002"  // one cluster of 2 slots: a run of 2 used slots, no bodies
               + std::string(big ? "00000008 74 01 0000 00004002" : "00000008 4c 01 0000 02400000") +
               (big ? kRecordBig : kRecordLittle));
}

TEST_F(PinData, HandWrittenRecordInBothByteOrders) {
    StringBlock block = FixtureBlock();
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        test::HandleStream in(Hex(big ? kRecordBig : kRecordLittle));
        in.stream->flags |= kStreamBigEndianHandles;
        EnableStreamReadByteSwap(in.stream, big);
        Handle r = nullptr;
        ASSERT_EQ(ReadPinData(in.stream, gGenPool, &r), 0);
        std::swap(block, block_);
        EXPECT_EQ(Describe(r), "B2/71[~SIG=GND]");
        char net[kPinTextSize];
        GetHiddenPinSignalName(r, block_, false, net);
        EXPECT_STREQ(net, "GND");
        std::swap(block, block_);
        EXPECT_EQ(uint8_t((*r)[0]), 0x6C);  // the hash of the bytes as they are now
        test::HandleStream out;
        out.stream->flags |= kStreamBigEndianHandles;
        ASSERT_EQ(WritePinData(out.stream, r), 0);
        EXPECT_EQ(out.bytes(), Hex(kRecordLittle));
        DestroyPinData(r);
    }
    DestroyStringBlock(block);
}

TEST_F(PinData, HandWrittenTableInBothByteOrders) {
    UseFixtureBlock();
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        test::HandleStream in(TableBytes(big));
        EnableStreamReadByteSwap(in.stream, big);
        PinDataTable table = nullptr;
        ASSERT_EQ(ReadPinDataTable(in.stream, gGenPool, block_, &table), 0);
        EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
        EXPECT_EQ(DACount(table), 2);
        EXPECT_EQ(Describe(GetIndexedPinData(table, 0)), "A1/1[]");
        EXPECT_EQ(Describe(GetIndexedPinData(table, 1)), "B2/71[~SIG=GND]");
        EXPECT_EQ(reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(table))), block_);
        // Writing and reading again keeps ids and records.
        test::HandleStream out;
        ASSERT_EQ(WritePinDataTable(out.stream, table), 0);
        EXPECT_EQ(reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(table))), block_);
        test::HandleStream again(out.bytes());
        PinDataTable back = nullptr;
        ASSERT_EQ(ReadPinDataTable(again.stream, gGenPool, block_, &back), 0);
        for (int32_t id : {0, 1}) {
            EXPECT_EQ(Describe(GetIndexedPinData(back, id)), Describe(GetIndexedPinData(table, id)));
        }
        Handle r = Make("B2", 0x47, "~SIG=GND");
        EXPECT_EQ(AddPinDataToTable(back, r), 1);  // found, in either byte order
        DestroyPinData(r);
        DestroyPinDataTable(back);
        DestroyPinDataTable(table);
    }
}

TEST_F(PinData, DamagedRecordsEndWithAStatus) {
    const std::string whole = Hex(kRecordLittle);
    for (size_t length = 0; length < whole.size(); ++length) {
        test::HandleStream in(whole.substr(0, length));
        in.stream->flags |= kStreamBigEndianHandles;
        Handle r = reinterpret_cast<Handle>(1);
        EXPECT_NE(ReadPinData(in.stream, gGenPool, &r), 0) << length;
        EXPECT_EQ(r, nullptr);
    }
    struct Case {
        const char* bytes;
        OSStatus status;
        uint32_t size;
    } const cases[] = {
        {"00000007 00000000 000000", status::kParamErr, 0},      // shorter than a head
        {"00000008 00000100 00000000", status::kParamErr, 0},    // one attribute, no bytes for it
        {"00000008 0000ffff 00000000", status::kParamErr, 0},    // a negative count
        {"0000000b 00000000 00000000 010203", 0, 8},             // bytes after the last attribute go
        {"ffffffff", 0, 0},                                      // none
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        test::HandleStream in(Hex(c.bytes));
        in.stream->flags |= kStreamBigEndianHandles;
        Handle r = nullptr;
        EXPECT_EQ(ReadPinData(in.stream, gGenPool, &r), c.status);
        EXPECT_EQ(SizeOfHandle(r), c.size);
        if (r) DestroyPinData(r);
    }
}

TEST_F(PinData, DamagedTablesEndWithAStatusAndNothingBuilt) {
    UseFixtureBlock();
    const std::string whole = TableBytes(false);
    test::TestPool pool;
    const uint32_t base = pool.Bytes();
    for (size_t length = 0; length < whole.size(); ++length) {
        test::HandleStream in(whole.substr(0, length));
        PinDataTable table = reinterpret_cast<PinDataTable>(1);
        EXPECT_NE(ReadPinDataTable(in.stream, pool.pool, block_, &table), 0) << length;
        EXPECT_EQ(table, nullptr);
        EXPECT_EQ(pool.Bytes(), base) << length;
    }
    // Arrays of another kind are refused before any item is looked at.
    struct Mutation {
        size_t at;
        const char* bytes;
    } const mutations[] = {
        {8 + 8 * 4 + 3, "8f"},   // packed
        {8 + 8 * 4 + 3, "0d"},   // bodies stored: the items would be file bytes
        {8 + 8 * 4 + 3, "8c"},   // not unique
        {8 + 3, "10"},           // item size 16
        {8 + 3 * 4 + 1, "10"},   // an id limit that the slots do not have
    };
    for (const Mutation& m : mutations) {
        std::string bytes = whole;
        bytes.replace(m.at, 1, Hex(m.bytes));
        test::HandleStream in(bytes);
        PinDataTable table = nullptr;
        EXPECT_NE(ReadPinDataTable(in.stream, pool.pool, block_, &table), 0) << m.at << " " << m.bytes;
        EXPECT_EQ(table, nullptr);
        EXPECT_EQ(pool.Bytes(), base);
    }
}

// Random damage: a read either fails with nothing built or gives a table that works.
TEST_F(PinData, RandomDamageNeverCrashes) {
    UseFixtureBlock();
    const std::string sources[] = {TableBytes(false), TableBytes(true)};
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(2000);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = sources[round % 2];
        const int flips = 1 + int(rng() % 4);
        // Most damage goes to the records, the rest anywhere.
        for (int k = 0; k < flips; ++k) {
            const size_t from = rng() % 2 ? bytes.size() - 40 : 0;
            bytes[from + rng() % (bytes.size() - from)] = char(rng());
        }
        test::HandleStream in(bytes);
        EnableStreamReadByteSwap(in.stream, round % 2);
        PinDataTable table = nullptr;
        if (ReadPinDataTable(in.stream, gGenPool, block_, &table) != 0) {
            ASSERT_EQ(table, nullptr);
            continue;
        }
        for (int32_t i = 0; i < DACount(table); ++i) {
            int32_t id = i;
            DAGetPhysicalId(table, &id);
            Handle r = GetPinDataCopy(table, id);
            ASSERT_NE(r, nullptr);
            Describe(r);
            const int32_t interned = AddPinDataToTable(table, r);
            ASSERT_GE(interned, 0);
            Handle inTable = GetIndexedPinData(table, interned);
            EXPECT_EQ(PinDataCompareProc(&r, &inTable), 0);
            DestroyPinData(r);
        }
        DestroyPinDataTable(table);
    }
}

// Reading under a pool that runs out at every possible point fails with nothing left behind,
// until the pool holds enough.
TEST_F(PinData, ReadUnderACeilingLeavesNothing) {
    UseFixtureBlock();
    const std::string whole = TableBytes(false);
    bool done = false;
    for (uint32_t extra = 0; extra < 64 * 1024 && !done; extra += 256) {
        test::TestPool pool;
        const uint32_t base = pool.Bytes();
        pool.Ceiling(base + extra);
        test::HandleStream in(whole);
        PinDataTable table = nullptr;
        const OSStatus err = ReadPinDataTable(in.stream, pool.pool, block_, &table);
        if (err == 0) {
            EXPECT_EQ(DACount(table), 2);
            DestroyPinDataTable(table);
            done = true;
        } else {
            EXPECT_EQ(err, status::kOutOfMemory);
            EXPECT_EQ(table, nullptr);
        }
        EXPECT_EQ(pool.Bytes(), base);
    }
    EXPECT_TRUE(done);
}

// The fuzzing seeds: options, the string block and a table, in this machine's order and as a
// writer of the other order would have written them.
TEST_F(PinData, FuzzSeeds) {
    PinDataTable table = CreatePinDataTable(block_);
    const std::pair<const char*, const char*> pins[] = {
        {"A0", ""}, {"VCC", "~SIG=+5V"}, {"D[0:7]", "Slew=fast;Drive=8mA"}, {"CLK", ""}};
    uint8_t type = 0;
    for (const auto& [name, pairs] : pins) {
        Handle r = Make(name, type, pairs);
        type = uint8_t(type + 0x21);
        ASSERT_GE(AddPinDataToTable(table, r), 0);
        DestroyPinData(r);
    }
    auto swapRecords = [&] {
        for (int32_t i = 0; i < DACount(table); ++i) {
            Handle r = GetIndexedPinData(table, i);
            const int16_t count = reinterpret_cast<PinDataRecord*>(*r)->attributeCount;
            ByteSwapTemplate(*r, kPinDataHeadTemplate);
            ByteSwapAttributes(r, 8, count);
        }
    };
    for (bool other : {false, true}) {
        StringBlock block = CloneHandle(gGenPool, block_);
        StringBlockHeader h;
        std::memcpy(&h, *block, sizeof h);
        if (other) {
            ByteSwapStringBlockHeader(reinterpret_cast<StringBlockHeader*>(*block));
            swapRecords();
        }
        test::HandleStream out;
        ASSERT_EQ(StreamWrite(out.stream, *block, int32_t(h.used)), 0);
        ASSERT_EQ(WritePinDataTable(out.stream, table), 0);
        if (other) swapRecords();
        test::CheckFuzzSeed("model_pindata", other ? "swapped" : "native", std::string(1, char(other)) + out.bytes());
        MemFree(block);
    }
    DestroyPinDataTable(table);
}

}  // namespace
}  // namespace plexa
