// The symbol map: de-duplication, image references, the purge before saving with and without
// renumbering, and the stored form (a hand-written record, both byte orders, damaged input).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/pixels.h"
#include "model/tests/attribute_testing.h"
#include "model/tests/symbol_testing.h"
#include "model/waitcursor.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using SymbolMaps = SheetTest;

int32_t EntryCount(SymbolMap* map) { return DACount(map->entries); }

TEST_F(SymbolMaps, AddingTheSameDefinitionTwiceKeepsOneEntry) {
    const std::string wide = Definition({{{10, -10}, {10, 0}}}, {0, 0, 20, 30});
    const std::string tall = Definition({{{10, -10}, {10, 0}}}, {0, 0, 30, 20});
    // The same bytes in another order: the same sum, another definition.
    ASSERT_EQ(CalcSymbolHash(wide.data(), int32_t(wide.size())), CalcSymbolHash(tall.data(), int32_t(tall.size())));
    ASSERT_NE(wide, tall);
    const int32_t first = AddDefinition(wide);
    ASSERT_GE(first, 0);
    EXPECT_EQ(AddDefinition(wide), first);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 1);
    const int32_t other = AddDefinition(tall);
    EXPECT_GE(other, 0);
    EXPECT_NE(other, first);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 2);
    EXPECT_EQ(FindIdenticalSymbol(tall.data(), int32_t(tall.size()), sheet.symbolMap), other);

    SymbolMapEntry* entry = GetSymbolMapEntryPtr(sheet.symbolMap, first);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->size, wide.size());
    EXPECT_EQ(std::string(entry->definition, entry->size), wide);
    EXPECT_EQ(NodeMapCount(entry->nodeMap), 1);
    EXPECT_EQ(entry->hash, CalcSymbolHash(wide.data(), int32_t(wide.size())));
    EXPECT_EQ(GetSymbolMapEntryPtr(sheet.symbolMap, 99), nullptr);
    EXPECT_EQ(GetSymbolMapEntryPtr(sheet.symbolMap, -1), nullptr);
}

TEST_F(SymbolMaps, TheHashIsTheSixteenBitByteSum) {
    const std::string bytes(300, char(0xFF));
    EXPECT_EQ(CalcSymbolHash(bytes.data(), int32_t(bytes.size())), uint16_t(300 * 255));
    Ptr block = AllocPtrWithData(gGenPool, "\x01\x02\x03", 3);
    EXPECT_EQ(CalcSymbolHash(block, -1), 6);  // -1: the whole pointer block
    MemFreePtr(block);
}

TEST_F(SymbolMaps, NullDamagedOrUnplaceableDefinitionsAreRefused) {
    EXPECT_EQ(AddSymbolToMap(sheet.symbolMap, nullptr, 10, nullptr), -1);
    std::string damaged = Definition({{{10, -10}, {10, 0}}});
    damaged.resize(damaged.size() - 3);
    EXPECT_EQ(AddDefinition(damaged), -1);
    EXPECT_EQ(AddDefinition(std::string(8, '\0')), -1);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 0);

    // A node map that cannot be allocated fails the add, leaving the map as it was.
    std::vector<PinLine> pins;
    for (int16_t i = 0; i < 2000; ++i) pins.push_back({{i, 40}, {i, 0}});
    const std::string many = Definition(pins);
    {
        CappedPool capped(8192);
        EXPECT_EQ(AddDefinition(many), -1);
        EXPECT_TRUE(capped.hitCeiling());
    }
    EXPECT_EQ(EntryCount(sheet.symbolMap), 0);
    EXPECT_GE(AddDefinition(many), 0);
}

TEST_F(SymbolMaps, ADefinitionFromAnotherListTakesOneReferencePerImageUnlessItIsADuplicate) {
    ImageList* itemImages = CreateLocalImageList();
    const std::string data = Definition({{{10, -10}, {10, 0}}}, {0, 0, 20, 30}, itemImages, GreyImage(4, 4, 3));
    ASSERT_EQ(GetImageListReferenceCount(itemImages, 0), 1u);
    const int32_t id = AddDefinition(data, itemImages);
    ASSERT_GE(id, 0);
    // The map's copy names the image in the sheet's list, where it holds one reference.
    ASSERT_EQ(DACount(sheet.imageList->entries), 1);
    EXPECT_EQ(GetImageListReferenceCount(sheet.imageList, 0), 1u);
    EXPECT_EQ(GetImageListReferenceCount(itemImages, 0), 1u);
    EXPECT_EQ(AddDefinition(data, itemImages), id);
    EXPECT_EQ(GetImageListReferenceCount(sheet.imageList, 0), 1u);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 1);
    // Destroying the map releases the entry's reference.
    DestroySymbolMap(sheet.symbolMap);
    sheet.symbolMap = CreateSymbolMap(sheet.imageList);
    EXPECT_EQ(DACount(sheet.imageList->entries), 0);
    EXPECT_EQ(status::kNoErr, AdjustImageReferenceCountsFromSymbolData(data.data(), uint32_t(data.size()), itemImages, kImageReferenceRelease));
    DestroyImageList(itemImages);
}

TEST_F(SymbolMaps, RebindingTheImageListRewritesEveryDefinition) {
    ImageList* itemImages = CreateLocalImageList();
    const std::string data = Definition({{{10, -10}, {10, 0}}}, {0, 0, 20, 30}, itemImages, GreyImage(4, 4, 5));
    const int32_t id = AddDefinition(data, itemImages);
    ASSERT_GE(id, 0);
    ImageList* fresh = CreateLocalImageList();
    AddImageToImageList(fresh, GreyImage(6, 6, 1));  // id 0 is taken there
    MapSheetSymbolImages(&sheet, sheet.imageList, fresh);
    EXPECT_EQ(GetSymbolMapImageList(sheet.symbolMap), fresh);
    EXPECT_EQ(GetImageListReferenceCount(fresh, 1), 1u);
    // The rewritten entry is still found by its new bytes.
    SymbolMapEntry* entry = GetSymbolMapEntryPtr(sheet.symbolMap, id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->hash, CalcSymbolHash(entry->definition, int32_t(entry->size)));
    const std::string moved(entry->definition, entry->size);
    EXPECT_EQ(FindIdenticalSymbol(moved.data(), int32_t(moved.size()), sheet.symbolMap), id);
    DestroySymbolMap(sheet.symbolMap);
    sheet.symbolMap = CreateSymbolMap(sheet.imageList);
    ReleaseImageListImage(fresh, 0);
    EXPECT_EQ(DACount(fresh->entries), 0);
    DestroyImageList(fresh);
    EXPECT_EQ(status::kNoErr, AdjustImageReferenceCountsFromSymbolData(data.data(), uint32_t(data.size()), itemImages, kImageReferenceRelease));
    DestroyImageList(itemImages);
}

TEST_F(SymbolMaps, CompactingTheSheetsImagesCarriesTheDefinitionsAlong) {
    ImageList* old = sheet.imageList;
    for (uint32_t i = 0; i < 3; ++i) AddImageToImageList(old, GreyImage(3, 3, 20 + i));  // unused
    ImageList* itemImages = CreateLocalImageList();
    const std::string data = Definition({{{10, -10}, {10, 0}}}, {0, 0, 20, 30}, itemImages, GreyImage(4, 4, 9));
    const int32_t id = AddDefinition(data, itemImages);
    ASSERT_GE(id, 0);
    VXPixels* picture = GetImageFromImageList(old, 3, false);
    ASSERT_TRUE(picture);
    CompactSheetsImageList(&sheet);
    ASSERT_NE(sheet.imageList, old);
    EXPECT_EQ(DACount(sheet.imageList->entries), 1);
    EXPECT_EQ(GetImageFromImageList(sheet.imageList, 0, false), picture);
    EXPECT_EQ(GetSymbolMapImageList(sheet.symbolMap), sheet.imageList);
    // The definition names the image by its new id: one more reference through it lands there.
    SymbolMapEntry* entry = GetSymbolMapEntryPtr(sheet.symbolMap, id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(GetImageListReferenceCount(sheet.imageList, 0), 1u);
    ASSERT_EQ(AdjustImageReferenceCountsFromSymbolData(entry->definition, entry->size, sheet.imageList,
                                                       kImageReferenceAdd),
              0);
    EXPECT_EQ(GetImageListReferenceCount(sheet.imageList, 0), 2u);
    ReleaseImageListImage(sheet.imageList, 0);
    EXPECT_EQ(status::kNoErr, AdjustImageReferenceCountsFromSymbolData(data.data(), uint32_t(data.size()), itemImages, kImageReferenceRelease));
    DestroyImageList(itemImages);
}

// ---- Purge ----

class SymbolMapPurge : public SheetTest {
protected:
    // `count` distinct definitions of two pins each, their ids.
    std::vector<int32_t> Fill(int32_t count) {
        std::vector<int32_t> ids;
        for (int16_t i = 0; i < count; ++i) {
            ids.push_back(AddDefinition(Definition({{{0, int16_t(-10 - i)}, {0, 0}}, {{int16_t(20 + i), 40}, {int16_t(20 + i), 30}}},
                                                   {0, 0, int16_t(20 + i), 30})));
            EXPECT_EQ(ids.back(), i);
        }
        return ids;
    }
    // Every pin point of every symbol, in list order.
    std::vector<std::string> PinPoints() {
        std::vector<std::string> points;
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet.symbolList)); s; s = s->next) {
            for (int32_t n = 0; n < CountSymbolNodes(&sheet, s); ++n) {
                Point p;
                GetNodeInstancePoint(&sheet, s, n, &p);
                points.push_back(std::to_string(s->serial) + ":" + PointText(p));
            }
        }
        return points;
    }
};

TEST_F(SymbolMapPurge, FifteenFreeIdsFreeTheEntriesButKeepTheIds) {
    Fill(17);
    SymbolRecord* kept = Place(16, {100, 100}, 1);
    SymbolRecord* second = Place(0, {50, 50});
    second->secondMapId = 1;
    int undoCleared = 0, waits = 0;
    static int* undo = nullptr;
    undo = &undoCleared;
    SymbolHooks hooks;
    hooks.clearSheetUndoAction = [](SheetRecord*) { ++*undo; };
    SetSymbolHooks(hooks);
    static int* waitCount = nullptr;
    waitCount = &waits;
    ModelWaitCursorProc former = SetModelWaitCursorProc([] { ++*waitCount; });
    const std::vector<std::string> before = PinPoints();
    PurgeSymbolMap(&sheet);
    SetModelWaitCursorProc(former);
    EXPECT_EQ(undoCleared, 1);
    EXPECT_GE(waits, 1);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 3);
    EXPECT_EQ(kept->mapId, 16);
    EXPECT_EQ(second->mapId, 0);
    EXPECT_EQ(second->secondMapId, 1);
    EXPECT_EQ(GetSymbolMapEntryPtr(sheet.symbolMap, 5), nullptr);
    EXPECT_EQ(PinPoints(), before);
}

TEST_F(SymbolMapPurge, SixteenFreeIdsRenumberComponentsAndSymbolsConsistently) {
    Fill(20);
    // Used: 3 by a component, 17 as a second drawing, 19 by a symbol; 16 ids free below 19.
    ComponentRecord* c = CreateComponent(0, 1, 1, 1, 1);
    CompSymbols(c)[0] = {3, 17, nullptr};
    c = InstallCompInSheet(&sheet, c);
    SymbolRecord* a = Place(3, {10, 10}, 0, c);
    a->secondMapId = 17;
    a->flags |= kSymbolFlagSecondMap;
    SymbolRecord* b = Place(19, {200, 40}, 6);
    SymbolRecord* gone = Place(8, {0, 0});
    // Deleting a symbol and purging: the others still draw the same pin points.
    RemoveSymbolFromSheet(&sheet, gone, true);
    const std::vector<std::string> before = PinPoints();
    const std::string drawnA(GetSymbolMapEntryPtr(sheet.symbolMap, GetSymbolMapId(a))->definition,
                             GetSymbolMapEntryPtr(sheet.symbolMap, GetSymbolMapId(a))->size);
    PurgeComponentList(sheet.componentList, sheet.symbolList);
    PurgeSymbolMap(&sheet);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 3);
    EXPECT_EQ((*sheet.symbolMap->entries)->idLimit, 3);
    EXPECT_EQ(CompSymbols(c)[0].mapId, 0);
    EXPECT_EQ(CompSymbols(c)[0].secondMapId, 1);
    EXPECT_EQ(a->mapId, 0);
    EXPECT_EQ(a->secondMapId, 1);
    EXPECT_EQ(b->mapId, 2);
    EXPECT_EQ(b->secondMapId, -1);
    EXPECT_EQ(PinPoints(), before);
    const SymbolMapEntry* drawn = GetSymbolMapEntryPtr(sheet.symbolMap, GetSymbolMapId(a));
    ASSERT_TRUE(drawn);
    EXPECT_EQ(std::string(drawn->definition, drawn->size), drawnA);
    // The renumbered map still finds its definitions.
    EXPECT_EQ(FindIdenticalSymbol(drawnA.data(), int32_t(drawnA.size()), sheet.symbolMap), 1);
}

TEST_F(SymbolMapPurge, IdsBeyondTheMapAreNotMistakenForUsedOnes) {
    Fill(3);
    Place(1);
    Place(5000);  // names no entry
    PurgeSymbolMap(&sheet);
    EXPECT_EQ(EntryCount(sheet.symbolMap), 1);
    EXPECT_TRUE(GetSymbolMapEntryPtr(sheet.symbolMap, 1));
}

// ---- Node maps ----

TEST_F(SymbolMaps, NodeMapsSwapTheirCountAndPointsButNotTheirCodes) {
    std::string map = Hex("0002 0001 0002 FFFF 0003 81 03");  // two nodes, other order
    EXPECT_TRUE(ByteSwapNodePositionMap(map.data(), uint32_t(map.size())));
    EXPECT_EQ(map, Hex("0200 0100 0200 FFFF 0300 81 03"));
    std::string short_ = Hex("0003 0001 0002 0003 0004 81 03");  // three nodes claimed
    EXPECT_FALSE(ByteSwapNodePositionMap(short_.data(), uint32_t(short_.size())));
    EXPECT_FALSE(ByteSwapNodePositionMap(short_.data(), 1));
}

// ---- Stored form ----

// One entry: the hand-written display data of model_testing.h (kHandData), one pin from (10,0)
// to (10,20) and a filled rectangle, with its node map.
// The array part (foundation/da_stream.h, big-endian): one live entry of 22 bytes among the 21
// slots the first add makes, no bodies.
std::string MapArrayBytes() {
    std::string map = "0000 0000";  // logical id 0 is physical id 0
    for (int i = 1; i < 64; ++i) map += " FFFF FFFF";
    return Hex("FFFF FFFE 0000 0048"  // mark -2, header size 72
               "0000 0016 0000 0018"  // item size 22, stride 24
               "0000 0001 0000 0015"  // count 1, id limit 21
               "0000 0AA5 0000 0001"  // 2725 items per cluster, one cluster
               "0000 0001 0000 0000"  // free head 1 (not read back), 0
               "0000 008C 0000 0000"  // flags: sorted, logical ids, no bodies
               "0000 0000 0000 0000"  // 0, reference value 0
               "0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000 0000"
               "0000 0100") +         // the map: 256 bytes
           Hex(map) +
           Hex("0000 0015"            // the cluster's 21 slots:
               "0000 0001 FFFF FFEC");  // one used, twenty free
}

// The free head is written but never read back: two forms that differ only there are one.
std::string WithoutFreeHead(std::string bytes) {
    if (bytes.size() >= 36) bytes.replace(32, 4, 4, '\0');
    return bytes;
}

TEST_F(SymbolMaps, AHandWrittenMapReadsInBothOrdersAndIsWhatTheWriterWrites) {
    const std::string definition = Hex(kHandData);
    ASSERT_EQ(AddDefinition(definition), 0);
    const std::string native = MapArrayBytes() +
                               Hex("4000 0000 0100 0000") +  // size 64, one node, 0
                               definition + Hex("0100 0A00 1400 01");  // node map: (10,20), right
    const std::string other = MapArrayBytes() + Hex("0000 0040 0001 0000") + Hex(kHandDataOtherOrder) +
                              Hex("0001 000A 0014 01");
    HandleStream out;
    ASSERT_EQ(WriteSymbolMap(out.stream, sheet.symbolMap), 0);
    EXPECT_EQ(out.bytes(), native);
    for (bool swapped : {false, true}) {
        SCOPED_TRACE(swapped ? "other order" : "native");
        HandleStream in(swapped ? other : native);
        EnableStreamReadByteSwap(in.stream, swapped);
        SymbolMap* map = nullptr;
        ASSERT_EQ(ReadSymbolMap(in.stream, gGenPool, sheet.imageList, &map), 0);
        ASSERT_EQ(EntryCount(map), 1);
        SymbolMapEntry* e = GetSymbolMapEntryPtr(map, 0);
        ASSERT_TRUE(e);
        EXPECT_EQ(std::string(e->definition, e->size), definition);
        EXPECT_EQ(std::string(e->nodeMap, SizeOfPtr(e->nodeMap)), Hex("0100 0A00 1400 01"));
        EXPECT_EQ(e->hash, CalcSymbolHash(definition.data(), int32_t(definition.size())));
        EXPECT_EQ(GetSymbolMapImageList(map), sheet.imageList);
        // The map read works as the sheet's: an identical definition is found in it.
        EXPECT_EQ(AddSymbolToMap(map, definition.data(), int32_t(definition.size()), nullptr), 0);
        DestroySymbolMap(map);
    }
}

class SymbolMapStore : public SheetTest {
protected:
    // A map of three definitions (two pins, one pin, no pins) with the one-pin entry freed, so
    // that the physical ids have a gap; its stored form in this machine's or the other order.
    std::string MapBytes(bool otherOrder = false) {
        AddDefinition(Definition({{{10, -10}, {10, 0}}, {{0, 40}, {0, 30}, 2}}));
        const int32_t gap = AddDefinition(Definition({{{5, -10}, {5, 0}}}));
        AddDefinition(Definition({}, {0, 0, 8, 8}));
        int32_t logical = gap;
        DAGetLogicalId(sheet.symbolMap->entries, &logical);
        DAFree(sheet.symbolMap->entries, logical);
        HandleStream out;
        EXPECT_EQ(WriteSymbolMap(out.stream, sheet.symbolMap), 0);
        if (!otherOrder) return out.bytes();
        // The array part is big-endian either way; each body is what the other order writes.
        const std::string native = out.bytes();
        std::string bodies;
        size_t bodyBytes = 0;
        for (int32_t i = 0; i < EntryCount(sheet.symbolMap); ++i) {
            SymbolMapEntry e;
            DAGet(sheet.symbolMap->entries, i, &e);
            const uint16_t count = uint16_t(NodeMapCount(e.nodeMap));
            std::string head(8, '\0'), nodes;
            uint32_t size = e.size;
            std::memcpy(head.data(), &size, 4);
            std::memcpy(head.data() + 4, &count, 2);
            ByteSwapLong(head.data());
            ByteSwapWord(head.data() + 4);
            if (count) {
                nodes.assign(e.nodeMap, NodeMapSize(count));
                ByteSwapWordArray(nodes.data(), 2 + 4u * count);
            }
            bodies += head + OtherOrder(std::string(e.definition, e.size)) + nodes;
            bodyBytes += 8 + e.size + nodes.size();
        }
        return native.substr(0, native.size() - bodyBytes) + bodies;
    }

    // What a sheet does with a map it read: every entry's nodes and definition are used.
    static std::string Describe(SymbolMap* map) {
        std::string s;
        for (int32_t i = 0; i < EntryCount(map); ++i) {
            int32_t id = i;
            DAGetPhysicalId(map->entries, &id);
            const SymbolMapEntry* e = GetSymbolMapEntryPtr(map, id);
            s += std::to_string(id) + ": " + std::to_string(e->size) + " bytes, hash " + std::to_string(e->hash);
            for (int32_t n = 0; n < NodeMapCount(e->nodeMap); ++n) {
                Point p;
                GetNodeMapPoint(e->nodeMap, n, 0, &p);
                s += " " + PointText(p) + "/" + std::to_string(GetNodeMapOrientWidth(e->nodeMap, n, 0));
            }
            s += "\n";
        }
        return s;
    }
};

TEST_F(SymbolMapStore, AMapComesBackWithItsIdsInEitherOrder) {
    const std::string native = MapBytes();
    const std::string expected = Describe(sheet.symbolMap);
    EXPECT_NE(expected.find("2: "), std::string::npos);  // the gap keeps the third id
    const std::string other = MapBytes(true);
    for (bool swapped : {false, true}) {
        SCOPED_TRACE(swapped ? "other order" : "native");
        // MapBytes(true) added the same definitions again: they are the same entries.
        EXPECT_EQ(EntryCount(sheet.symbolMap), 2);
        HandleStream in(swapped ? other : native);
        EnableStreamReadByteSwap(in.stream, swapped);
        SymbolMap* map = nullptr;
        ASSERT_EQ(ReadSymbolMap(in.stream, gGenPool, nullptr, &map), 0);
        EXPECT_EQ(Describe(map), expected);
        EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
        HandleStream again;
        ASSERT_EQ(WriteSymbolMap(again.stream, map), 0);
        EXPECT_EQ(WithoutFreeHead(again.bytes()), WithoutFreeHead(native));
        DestroySymbolMap(map);
    }
}

TEST_F(SymbolMapStore, DamagedMapsEndWithAStatusAndNothingBuilt) {
    const std::string whole = MapBytes();
    TestPool pool;
    const uint32_t base = pool.Bytes();
    for (size_t length = 0; length < whole.size(); ++length) {
        HandleStream in(whole.substr(0, length));
        SymbolMap* map = reinterpret_cast<SymbolMap*>(1);
        EXPECT_NE(ReadSymbolMap(in.stream, pool.pool, nullptr, &map), 0) << length;
        EXPECT_EQ(map, nullptr);
        EXPECT_EQ(pool.Bytes(), base) << length;
    }
    const size_t flags = 8 + 8 * 4 + 3;
    struct Mutation {
        size_t at;
        const char* bytes;
        const char* why;
    } const mutations[] = {
        {flags, "8e", "packed"},
        {flags, "0c", "bodies stored: the items would be file bytes"},
        {flags, "80", "neither sorted nor with logical ids"},
        {8 + 3 * 4 + 3, "30", "an id limit that the slots do not have"},
    };
    for (const Mutation& m : mutations) {
        std::string bytes = whole;
        bytes.replace(m.at, 1, Hex(m.bytes));
        HandleStream in(bytes);
        SymbolMap* map = nullptr;
        EXPECT_NE(ReadSymbolMap(in.stream, pool.pool, nullptr, &map), 0) << m.why;
        EXPECT_EQ(map, nullptr);
        EXPECT_EQ(pool.Bytes(), base);
    }
}

// Bodies that lie: sizes beyond the stream, node counts that are not the definition's pins, node
// maps that claim other counts, definitions that are not display data.
TEST_F(SymbolMapStore, BodiesThatDisagreeWithTheirDefinitionAreRefused) {
    const std::string definition = Hex(kHandData);
    const std::string array = MapArrayBytes();
    const std::string nodes = Hex("0100 0A00 1400 01");
    struct Case {
        std::string body;
        OSStatus status;
        const char* why;
    } const cases[] = {
        {Hex("4000 0000 0100 0000") + definition + nodes, 0, "whole"},
        {Hex("FFFF FF7F 0100 0000") + definition + nodes, status::kEndOfFile, "a size beyond the stream"},
        {Hex("0800 0000 0000 0000") + definition.substr(0, 8), status::kParamErr, "shorter than the rectangles"},
        {Hex("4000 0000 0000 0000") + definition, status::kParamErr, "nodes missing"},
        {Hex("4000 0000 0200 0000") + definition + Hex("0200 0A00 1400 0A00 1400 0101"), status::kParamErr,
         "more nodes than pins"},
        {Hex("4000 0000 0100 0000") + definition + Hex("0200 0A00 1400 01"), status::kParamErr,
         "a node map that claims two"},
        {Hex("4000 0000 0100 0000") + std::string(64, '\x01') + nodes, status::kParamErr, "not display data"},
        {Hex("4000 0000 FFFF 0000") + definition, status::kEndOfFile, "a node map beyond the stream"},
    };
    TestPool pool;
    const uint32_t base = pool.Bytes();
    for (const Case& c : cases) {
        HandleStream in(array + c.body);
        SymbolMap* map = nullptr;
        EXPECT_EQ(ReadSymbolMap(in.stream, pool.pool, nullptr, &map), c.status) << c.why;
        EXPECT_EQ(map != nullptr, c.status == 0) << c.why;
        DestroySymbolMap(map);
        EXPECT_EQ(pool.Bytes(), base) << c.why;
    }
}

TEST_F(SymbolMapStore, ReadUnderACeilingLeavesNothing) {
    const std::string whole = MapBytes();
    bool done = false;
    for (uint32_t extra = 0; extra < 64 * 1024 && !done; extra += 256) {
        TestPool pool;
        const uint32_t base = pool.Bytes();
        pool.Ceiling(base + extra);
        HandleStream in(whole);
        SymbolMap* map = nullptr;
        const OSStatus err = ReadSymbolMap(in.stream, pool.pool, nullptr, &map);
        if (err == 0) {
            EXPECT_EQ(EntryCount(map), 2);
            DestroySymbolMap(map);
            done = true;
        } else {
            EXPECT_EQ(err, status::kOutOfMemory);
            EXPECT_EQ(map, nullptr);
        }
        EXPECT_EQ(pool.Bytes(), base);
    }
    EXPECT_TRUE(done);
}

TEST_F(SymbolMapStore, RandomDamageNeverCrashes) {
    const std::string sources[] = {MapBytes(false), MapBytes(true)};
    std::mt19937 rng(TestSeed());
    const uint64_t rounds = StressCount(1000);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = sources[round % 2];
        const int flips = 1 + int(rng() % 4);
        for (int k = 0; k < flips; ++k) {
            const size_t from = rng() % 2 ? bytes.size() - 200 : 0;
            bytes[from + rng() % (bytes.size() - from)] = char(rng());
        }
        HandleStream in(bytes);
        EnableStreamReadByteSwap(in.stream, round % 2);
        SymbolMap* map = nullptr;
        if (ReadSymbolMap(in.stream, gGenPool, nullptr, &map) != 0) {
            ASSERT_EQ(map, nullptr);
            continue;
        }
        Describe(map);
        for (int32_t i = 0; i < EntryCount(map); ++i) {
            SymbolMapEntry e;
            DAGet(map->entries, i, &e);
            const std::string copy(e.definition, e.size);
            const SymbolMapEntry* found =
                GetSymbolMapEntryPtr(map, AddSymbolToMap(map, copy.data(), int32_t(copy.size()), nullptr));
            ASSERT_TRUE(found);
            EXPECT_EQ(std::string(found->definition, found->size), copy);
        }
        DestroySymbolMap(map);
    }
}

// The fuzzing seeds: one byte of options (bit 0: the other order), then the map.
TEST_F(SymbolMapStore, FuzzSeeds) {
    CheckFuzzSeed("model_symbolmap", "native", std::string(1, '\0') + MapBytes(false));
    CheckFuzzSeed("model_symbolmap", "swapped", std::string(1, '\1') + MapBytes(true));
    CheckFuzzSeed("model_symbolmap", "hand",
                  std::string(1, '\0') + MapArrayBytes() + Hex("4000 0000 0100 0000") + Hex(kHandData) +
                      Hex("0100 0A00 1400 01"));
}

}  // namespace
}  // namespace plexa::test
