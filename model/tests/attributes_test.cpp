#include "model/attributes.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/assert.h"
#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "model/tests/attribute_testing.h"
#include "tests/support/foundation_testing.h"

namespace plexa {
namespace {

using test::DumpRun;
using test::Hex;
using test::AttrRun;

class Attributes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(InitMemoryManager(-1), 0); }
    void TearDown() override { EXPECT_FALSE(gDontOverwriteExistingAttrs); }
};

std::string BlockBytes(StringBlock block) {
    StringBlockHeader h;
    std::memcpy(&h, *block, sizeof h);
    return std::string(*block, h.used);
}

uint32_t UsedSize(StringBlock block) {
    StringBlockHeader h;
    std::memcpy(&h, *block, sizeof h);
    return h.used;
}

// ---- Lookup ----

TEST_F(Attributes, NameHashIgnoresCase) {
    EXPECT_EQ(CalcNameHash(""), 0);
    EXPECT_EQ(CalcNameHash("a"), 'A');
    EXPECT_EQ(CalcNameHash("Ab"), 'A' * 13 + 'B');
    EXPECT_EQ(CalcNameHash("name"), 0xCC7D);  // ((78 x 13 + 65) x 13 + 77) x 13 + 69, low 16 bits
    EXPECT_EQ(CalcNameHash("Value"), CalcNameHash("VALUE"));
}

TEST_F(Attributes, LookupIgnoresCaseAndTellsEqualHashesApart) {
    // A second name whose hash byte equals that of "R1".
    std::string twin;
    const std::string digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (char a = 'A'; a <= 'Z' && twin.empty(); ++a)
        for (char b : digits) {
            const std::string s{a, b};
            if (twin.empty() && s != "R1" && uint8_t(CalcNameHash(s.c_str())) == uint8_t(CalcNameHash("R1")))
                twin = s;
        }
    ASSERT_FALSE(twin.empty());
    AttrRun run("VALUE=10k;R1=first;" + twin + "=second");
    EXPECT_EQ(run.Value("Value"), "10k");
    EXPECT_EQ(run.Value("r1"), "first");
    EXPECT_EQ(run.Value(twin), "second");
    uint16_t flags = 7;
    char value[kAttributeTextSize] = "stale";
    EXPECT_EQ(GetAttributeValue(run.block, run.handle, 0, run.count, "Missing", value, &flags),
              int16_t(0x8003));
    EXPECT_STREQ(value, "");
    EXPECT_EQ(flags, 0);
}

TEST_F(Attributes, EmptyRunAnswersAbsent) {
    char value[kAttributeTextSize] = "stale";
    EXPECT_EQ(GetAttributeValue(nullptr, nullptr, 0, 0, "X", value, nullptr), int16_t(0x8000));
    EXPECT_STREQ(value, "");
    AttrRun run;
    EXPECT_EQ(GetAttributeValue(run.block, run.handle, 0, 0, "X", value, nullptr), int16_t(0x8000));
}

TEST_F(Attributes, IndexedAccess) {
    AttrRun run("A=1;B=2");
    char name[kAttributeTextSize], value[kAttributeTextSize];
    uint16_t flags = 9;
    AttributeRecord raw{};
    GetIndexedAttribute(run.block, run.handle, 0, 1, name, value, &flags, &raw);
    EXPECT_STREQ(name, "B");
    EXPECT_STREQ(value, "2");
    EXPECT_EQ(raw.nameHash, uint8_t(CalcNameHash("B")));
    // Beyond the run's handle, or with no handle: empty texts and a zero record.
    for (Handle h : {run.handle, Handle(nullptr)}) {
        GetIndexedAttribute(run.block, h, 0, h ? 2 : 0, name, value, &flags, &raw);
        EXPECT_STREQ(name, "");
        EXPECT_STREQ(value, "");
        EXPECT_EQ(flags, 0);
        EXPECT_EQ(raw.name | raw.value | raw.flags | raw.nameHash, 0u);
    }
    // A new name is rehashed; the spare byte is kept.
    (*run.handle)[11] = 5;
    const uint16_t three = 3;
    SetIndexedAttribute(run.block, run.handle, 0, 0, "Renamed", nullptr, &three);
    EXPECT_EQ(run.Dump(), "Renamed=1/3;B=2");
    GetIndexedAttribute(run.block, run.handle, 0, 0, nullptr, nullptr, nullptr, &raw);
    EXPECT_EQ(raw.nameHash, uint8_t(CalcNameHash("Renamed")));
    EXPECT_EQ(raw.spare, 5);
    SetIndexedAttribute(run.block, run.handle, 0, 1, nullptr, "22", nullptr);
    EXPECT_EQ(run.Dump(), "Renamed=1/3;B=22");
}

// ---- Setting ----

TEST_F(Attributes, SetAttributeValueTable) {
    const char* const kEmptyText = "";
    struct Case {
        const char* name;
        const char* value;
        int16_t result;
        const char* after;
    } const cases[] = {
        {"a", "new", 0, "A=new/4"},                            // replaces the value, keeps the flags
        {"A", kEmptyText, 0, "A=old/4"},                       // an empty text changes nothing
        {"A", nullptr, 0, ""},                                 // null deletes
        {"A", kAttributeEmptyValue, 0, "A=/4"},                // the marker empties it
        {"B", "new", int16_t(0x8001), "A=old/4;B=new"},        // appended
        {"B", kEmptyText, int16_t(0x8001), "A=old/4;B="},      // appended with the empty value
        {"B", kAttributeEmptyValue, int16_t(0x8001), "A=old/4;B="},
        {"B", nullptr, int16_t(0x8001), "A=old/4"},            // nothing to delete
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " <- " +
                     (c.value == nullptr ? "null" : c.value == kAttributeEmptyValue ? "marker" : c.value));
        AttrRun run;
        const uint16_t four = 4;
        SetAttributeValue(run.block, run.handle, 0, &run.count, "A", "old", &four);
        EXPECT_EQ(SetAttributeValue(run.block, run.handle, 0, &run.count, c.name, c.value, nullptr),
                  c.result);
        EXPECT_EQ(run.Dump(), c.after);
        EXPECT_EQ(int32_t(SizeOfHandle(run.handle)), run.count * 12);
    }
}

TEST_F(Attributes, GivenFlagsReplaceAndTheSwitchKeepsValues) {
    AttrRun run("A=1");
    const uint16_t flags = 0x21;
    SetAttributeValue(run.block, run.handle, 0, &run.count, "A", "2", &flags);
    EXPECT_EQ(run.Dump(), "A=2/33");
    SetAttributeValue(run.block, run.handle, 0, &run.count, "A", "3", nullptr);
    EXPECT_EQ(run.Dump(), "A=3/33");
    gDontOverwriteExistingAttrs = true;
    EXPECT_EQ(run.Set("A", "4"), 0);
    EXPECT_EQ(run.Set("B", "5"), int16_t(0x8001));
    gDontOverwriteExistingAttrs = false;
    EXPECT_EQ(run.Dump(), "A=3/33;B=5");
}

TEST_F(Attributes, RunsAtAnOffsetLeaveTheRestOfTheHandle) {
    StringBlock block = CreateStringBlock(gGenPool, 64);
    Handle h = AllocHandleWithData(gGenPool, "HEADtail", 8);
    int16_t count = 0;
    SetAttributeValue(block, h, 4, &count, "X", "1", nullptr);
    SetAttributeValue(block, h, 4, &count, "Y", "2", nullptr);
    EXPECT_EQ(DumpRun(block, h, 4, count), "X=1;Y=2");
    EXPECT_EQ(std::string(*h, 4), "HEAD");
    EXPECT_EQ(std::string(*h + 28, 4), "tail");
    DeleteIndexedAttribute(h, 4, &count, 0);
    EXPECT_EQ(DumpRun(block, h, 4, count), "Y=2");
    EXPECT_EQ(std::string(*h + 16, 4), "tail");
    // A count that the handle cannot hold is never written through.
    int16_t wrong = 5;
    EXPECT_EQ(SetAttributeValue(block, h, 4, &wrong, "Z", "3", nullptr), int16_t(0x8005));
    EXPECT_EQ(wrong, 5);
    EXPECT_EQ(SizeOfHandle(h), 20u);
    MemFree(h);
    DestroyStringBlock(block);
}

TEST_F(Attributes, DeletingCountingAndFlags) {
    AttrRun run("~REF=U1;Value= ;Empty=;Note=x;Blank=  ");
    EXPECT_EQ(CountUserAttributes(run.block, run.handle, 0, run.count), 4);
    EXPECT_TRUE(DeleteEmptyAttributes(run.handle, 0, &run.count, run.block, true));
    EXPECT_EQ(run.Dump(), "~REF=U1;Value= ;Note=x;Blank=  ");
    EXPECT_TRUE(DeleteEmptyAttributes(run.handle, 0, &run.count, run.block, false));
    EXPECT_EQ(run.Dump(), "~REF=U1;Note=x");
    EXPECT_FALSE(DeleteEmptyAttributes(run.handle, 0, &run.count, run.block, false));

    ChangeAttributeFlags(run.handle, 0, 0, 5, 0x3, 0);
    ChangeAttributeFlags(run.handle, 0, 1, 1, 0x8, 0x1);
    EXPECT_EQ(run.Dump(), "~REF=U1/3;Note=x/10");
    DeleteIndexedAttribute(run.handle, 0, &run.count, 2);  // outside: nothing
    DeleteIndexedAttribute(run.handle, 0, &run.count, 0);
    EXPECT_EQ(run.Dump(), "Note=x/10");
}

// ---- Merging ----

TEST_F(Attributes, MergeOptions) {
    struct Case {
        uint32_t options;
        bool added;
        const char* after;
    } const cases[] = {
        {0, true, "Val=1;Other=2;~In=x;Pad=p/2"},
        {kMergeOverwrite, true, "Val=10/1;Other=2;~In=x;Pad=p/2"},
        {kMergeEmptyValues, true, "Val=1;Other=2;Empty=;~In=x;Pad=p/2"},
        {kMergeSkipInternal, true, "Val=1;Other=2;Pad=p/2"},
        {kMergeOnlyExisting, false, "Val=1;Other=2"},
        {kMergeOnlyExisting | kMergeOverwrite, false, "Val=10/1;Other=2"},
        {kMergeEmptyValues | kMergeOverwrite, true, "Val=10/1;Other=2;Empty=;~In=x;Pad=p/2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        AttrRun source("Val=10;Empty=;~In=x; Pad =p;  =orphan");
        const uint16_t one = 1, two = 2;
        SetAttributeValue(source.block, source.handle, 0, &source.count, "Val", "10", &one);
        SetAttributeValue(source.block, source.handle, 0, &source.count, " Pad ", "p", &two);
        AttrRun target("Val=1;Other=2");
        EXPECT_EQ(MergeAttributes(source.block, source.handle, 0, source.count, target.block,
                                  target.handle, 0, &target.count, c.options),
                  c.added);
        EXPECT_EQ(target.Dump(), c.after);
    }
    // Without a target block the source's serves.
    AttrRun run("A=1");
    int16_t count = 0;
    Handle target = AllocHandle(gGenPool, 0);
    EXPECT_TRUE(MergeAttributes(run.block, run.handle, 0, run.count, nullptr, target, 0, &count, 0));
    EXPECT_EQ(DumpRun(run.block, target, 0, count), "A=1");
    MemFree(target);
}

// ---- Moving and purging strings ----

TEST_F(Attributes, MovedBlocksDoNotDependOnTheRunsOrder) {
    AttrRun first("b=2;a=1;c=three"), second("c=three;a=1;b=2");
    StringBlock x = CreateStringBlock(gGenPool, 64), y = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeAttributesStringBlock(first.handle, 0, first.count, first.block, x), 0);
    ASSERT_EQ(ChangeAttributesStringBlock(second.handle, 0, second.count, second.block, y), 0);
    EXPECT_EQ(BlockBytes(x), BlockBytes(y));
    EXPECT_EQ(DumpRun(x, first.handle, 0, first.count), "b=2;a=1;c=three");
    EXPECT_EQ(DumpRun(y, second.handle, 0, second.count), "c=three;a=1;b=2");
    // Nothing happens for a null handle or a zero count.
    EXPECT_EQ(ChangeAttributesStringBlock(nullptr, 0, 3, x, y), 0);
    EXPECT_EQ(ChangeAttributesStringBlock(first.handle, 0, 0, x, y), 0);
    EXPECT_EQ(DumpRun(x, first.handle, 0, first.count), "b=2;a=1;c=three");
    DestroyStringBlock(x);
    DestroyStringBlock(y);
}

// A run written with its block, read back and moved again gives the same bytes: the moves are
// deterministic.
TEST_F(Attributes, RoundTripThroughTheStoredFormIsByteForByte) {
    AttrRun run("Value=10k;Footprint=0805;~REF=R1;Tolerance=5%");
    StringBlock moved = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeAttributesStringBlock(run.handle, 0, run.count, run.block, moved), 0);
    test::HandleStream out;
    ASSERT_EQ(WriteStringBlock(out.stream, moved), 0);
    ASSERT_EQ(WriteAttributeRun(out.stream, run.handle, run.count), 0);

    test::HandleStream in(out.bytes());
    StringBlock block = nullptr;
    Handle back = nullptr;
    ASSERT_EQ(ReadStringBlock(in.stream, gGenPool, &block), 0);
    ASSERT_EQ(ReadAttributeRun(in.stream, gGenPool, run.count, &back), 0);
    EXPECT_EQ(DumpRun(block, back, 0, run.count), "Value=10k;Footprint=0805;~REF=R1;Tolerance=5%");
    StringBlock again = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeAttributesStringBlock(back, 0, run.count, block, again), 0);
    test::HandleStream rewritten;
    ASSERT_EQ(WriteStringBlock(rewritten.stream, again), 0);
    ASSERT_EQ(WriteAttributeRun(rewritten.stream, back, run.count), 0);
    EXPECT_EQ(rewritten.bytes(), out.bytes());
    MemFree(back);
    DestroyStringBlock(block);
    DestroyStringBlock(again);
    DestroyStringBlock(moved);
}

// Under the recoding transfer mode older names are ordered (and hashed) by their recoded text.
TEST_F(Attributes, MoveOrderFollowsRecodedNames) {
    const std::string older = "\xE8";       // Mac Roman: U+00CB, recoded C3 8B
    const std::string utf8 = "\xC3\x9F";    // U+00DF: as bytes below 0xE8, recoded above C3 8B
    AttrRun run(utf8 + "=u;" + older + "=m");
    StringRef a{run.block, 0}, b{run.block, 0};
    AttributeRecord r0, r1;
    GetIndexedAttribute(run.block, run.handle, 0, 0, nullptr, nullptr, nullptr, &r0);
    GetIndexedAttribute(run.block, run.handle, 0, 1, nullptr, nullptr, nullptr, &r1);
    a.spec = r1.name;  // older
    b.spec = r0.name;  // utf8
    EXPECT_GT(SortAttributeSpecsCompareProc(&a, &b), 0);
    const uint16_t mode = SetStringTransferMode(kStringTransferRecodeIfNeeded);
    EXPECT_LT(SortAttributeSpecsCompareProc(&a, &b), 0);
    StringBlock to = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeAttributesStringBlock(run.handle, 0, run.count, run.block, to), 0);
    SetStringTransferMode(mode);
    // The recoded name went first, and is found by its new text.
    EXPECT_EQ(BlockBytes(to).substr(16, 2), "\xC3\x8B");
    char value[kAttributeTextSize];
    EXPECT_EQ(GetAttributeValue(to, run.handle, 0, run.count, "\xC3\x8B", value, nullptr), 1);
    EXPECT_STREQ(value, "m");
    DestroyStringBlock(to);
}

TEST_F(Attributes, PurgeCompactsABlockThatOnlyTheRunUses) {
    AttrRun run("DrawingTitle={SheetFile};SheetNumber=1;Scratch=a long value that goes away");
    run.Set("Scratch", "");
    SetAttributeValue(run.block, run.handle, 0, &run.count, "Scratch", nullptr, nullptr);
    const StringBlock before = run.block;
    const uint32_t used = UsedSize(run.block);
    SetStringBlockOwnedByAttributes(run.block, true);
    EXPECT_EQ(PurgeAttributesStringBlock(run.handle, 0, run.count, run.block), 0);
    EXPECT_EQ(run.block, before);
    EXPECT_LT(UsedSize(run.block), used);
    EXPECT_EQ(run.Dump(), "DrawingTitle={SheetFile};SheetNumber=1");
    // A run moved into the purged block again lays it out the same way.
    EXPECT_EQ(PurgeAttributesStringBlock(run.handle, 0, run.count, run.block), 0);
    EXPECT_EQ(run.Dump(), "DrawingTitle={SheetFile};SheetNumber=1");
    SetStringBlockOwnedByAttributes(run.block, false);
}

// A shared block (a sheet's, holding the strings of many owners) is never rebuilt from one run.
TEST_F(Attributes, PurgeNeverTouchesABlockOtherOwnersShare) {
    AttrRun run("A=1;B=2");
    const StringSpec other = OverlayStringBlock(run.block, "another owner's text", -1, nullptr);
    const std::string bytes = BlockBytes(run.block);
    if (PLEXA_ASSERTS_ON) {
        EXPECT_DEATH((void)PurgeAttributesStringBlock(run.handle, 0, run.count, run.block),  // it dies
                     "IsStringBlockOwnedByAttributes");
    } else {
        EXPECT_EQ(PurgeAttributesStringBlock(run.handle, 0, run.count, run.block), status::kParamErr);
    }
    EXPECT_EQ(BlockBytes(run.block), bytes);
    char text[64];
    ExtractStringSpec(other, run.block, text, sizeof text);
    EXPECT_STREQ(text, "another owner's text");
    // Marks are per block and can be taken back.
    SetStringBlockOwnedByAttributes(run.block, true);
    EXPECT_TRUE(IsStringBlockOwnedByAttributes(run.block));
    SetStringBlockOwnedByAttributes(run.block, false);
    EXPECT_FALSE(IsStringBlockOwnedByAttributes(run.block));
    EXPECT_FALSE(IsStringBlockOwnedByAttributes(nullptr));
}

TEST_F(Attributes, PurgeThatRunsOutOfMemoryChangesNothing) {
    test::TestPool pool;
    StringBlock block = CreateStringBlock(pool.pool, 64);
    ASSERT_NE(block, nullptr);
    Handle h = AllocHandle(gGenPool, 0);
    int16_t count = 0;
    SetAttributeValue(block, h, 0, &count, "Name", "Value", nullptr);
    SetAttributeValue(block, h, 0, &count, "Gone", "x", nullptr);
    SetAttributeValue(block, h, 0, &count, "Gone", nullptr, nullptr);
    const std::string bytes = BlockBytes(block), run(*h, SizeOfHandle(h));
    pool.Ceiling(pool.Bytes());
    // Fill what the pool has left so that no fresh block can be had.
    std::vector<Handle> filler;
    while (Handle f = AllocHandle(pool.pool, 64)) filler.push_back(f);
    SetStringBlockOwnedByAttributes(block, true);
    EXPECT_EQ(PurgeAttributesStringBlock(h, 0, count, block), status::kOutOfMemory);
    EXPECT_EQ(BlockBytes(block), bytes);
    EXPECT_EQ(std::string(*h, SizeOfHandle(h)), run);
    SetStringBlockOwnedByAttributes(block, false);
    for (Handle f : filler) MemFree(f);
    MemFree(h);
    DestroyStringBlock(block);
}

// ---- Library tracking ----

TEST_F(Attributes, TrackedTableCopiesUserAttributesOnly) {
    AttrRun library("Value=10k;~Internal=x;Tol=5%");
    const uint16_t flags = 6;
    SetAttributeValue(library.block, library.handle, 0, &library.count, "Tol", "5%", &flags);
    StringBlock sheet = CreateStringBlock(gGenPool, 64);
    int16_t count = library.count;
    Handle placed = BuildTrackedAttributesTable(library.handle, 0, &count, library.block, sheet);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(DumpRun(sheet, placed, 0, count), "~~Value=10k;Value=10k;~~Tol=5%/6;Tol=5%/6");
    MemFree(placed);
    DestroyStringBlock(sheet);
}

// One placed symbol through three versions of its library item.
TEST_F(Attributes, TrackingThroughThreeLibraryVersions) {
    AttrRun v1("Value=10k;Tol=5%;Pkg=0805;Note=n");
    AttrRun placed;
    MemFree(placed.handle);
    placed.count = v1.count;
    placed.handle = BuildTrackedAttributesTable(v1.handle, 0, &placed.count, v1.block, placed.block);
    EXPECT_EQ(placed.Dump(),
              "~~Value=10k;Value=10k;~~Tol=5%;Tol=5%;~~Pkg=0805;Pkg=0805;~~Note=n;Note=n");
    // The user changes two values.
    placed.Set("Tol", "1%");
    placed.Set("Pkg", "0603");

    // Version 2: Value and Tol change, Vendor is new, Note disappears.
    AttrRun v2("Value=22k;Tol=10%;Pkg=0805;Vendor=Acme");
    UpdateTrackedAttributes(v2.handle, 0, v2.count, v2.block, placed.handle, 0, &placed.count,
                            placed.block, kTrackUpdate);
    EXPECT_EQ(placed.Dump(),
              "~~Value=22k;Value=22k;~~Tol=10%;Tol=1%;~~Pkg=0805;Pkg=0603;~~Vendor=Acme;Vendor=Acme");

    // Version 3, forced: every value the library has is taken; Pkg and Vendor disappear, taking
    // their copies and the value the user left as it came.
    AttrRun v3("Value=47k;Tol=20%");
    UpdateTrackedAttributes(v3.handle, 0, v3.count, v3.block, placed.handle, 0, &placed.count,
                            placed.block, kTrackForce);
    EXPECT_EQ(placed.Dump(), "~~Value=47k;Value=47k;~~Tol=20%;Tol=20%;Pkg=0603");
}

TEST_F(Attributes, TrackingModes) {
    struct Case {
        int32_t mode;
        const char* after;
    } const cases[] = {
        {kTrackAddOnly, "~~A=1;A=1;~~B=2;B=user;~~C=3;C=3;~~D=4;D=4"},
        {kTrackUpdate, "~~A=10;A=10;~~B=20;B=user;~~D=4;D=4"},
        {kTrackForce, "~~A=10;A=10;~~B=20;B=20;~~D=4;D=4"},
        {3, "~~A=10;A=10;~~B=20;B=user;~~D=4;D=4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        AttrRun placed("~~A=1;A=1;~~B=2;B=user;~~C=3;C=3");
        AttrRun library("A=10;B=20;D=4;~~X=y");
        UpdateTrackedAttributes(library.handle, 0, library.count, library.block, placed.handle, 0,
                                &placed.count, placed.block, c.mode);
        EXPECT_EQ(placed.Dump(), c.after);
    }
    // An item without attributes takes every copy with it, and the values left as they came.
    AttrRun placed("~~A=1;A=1;~~B=2;B=user;Own=o");
    UpdateTrackedAttributes(nullptr, 0, 0, nullptr, placed.handle, 0, &placed.count, placed.block,
                            kTrackUpdate);
    EXPECT_EQ(placed.Dump(), "B=user;Own=o");
}

TEST_F(Attributes, PurgeTrackingCopies) {
    AttrRun run("~~A=1;A=1;~~Gone=2;B=3");
    EXPECT_EQ(PurgeTrackingAttributes(run.handle, 0, &run.count, run.block, true), run.handle);
    EXPECT_EQ(run.Dump(), "~~A=1;A=1;B=3");
    AttrRun copies("~~X=1;~~Y=2");
    EXPECT_EQ(PurgeTrackingAttributes(copies.handle, 0, &copies.count, copies.block, false), copies.handle);
    EXPECT_EQ(copies.count, 0);
    EXPECT_EQ(PurgeTrackingAttributes(copies.handle, 0, &copies.count, copies.block, true), nullptr);
    copies.handle = nullptr;
    EXPECT_EQ(PurgeTrackingAttributes(nullptr, 0, &copies.count, copies.block, true), nullptr);
}

// ---- Macros and attribute texts ----

TEST_F(Attributes, PredefinedMacros) {
    InitPredefinedMacros();
    InitPredefinedMacros();
    EXPECT_EQ(DumpRun(gPredefinedMacroLabels, gPredefinedMacros, 0, gPredefinedMacroCount),
              "SDate=|1;LDate=|2;SheetName=|3;ProjectName=|4");
}

TEST_F(Attributes, AttributeTextNames) {
    struct Case {
        const char* text;
        int32_t length;
        const char* name;
        bool at;
    } const cases[] = {
        {"{R1}", 64, "R1", false},  {"{@R1}", 64, "R1", true}, {"{}", 64, "", false},
        {"{a b}", 64, "", false},   {"{~x}", 64, "", false},   {"{@}", 64, "", false},
        {"{R1", 64, "", false},     {"R1}", 64, "", false},    {"{a{b}", 64, "", false},
        {"{Value}", 5, "", false},  {"{Value}tail", 7, "Value", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char name[kAttributeTextSize] = "stale";
        bool at = true;
        EXPECT_EQ(ParseAttrTextName(c.text, c.length, name, sizeof name, &at), c.name[0] != 0);
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(at, c.at);
    }
}

// ---- Stored form ----

// Two records written by hand: "NAME" = "10" with flags 1, and "X" with the empty value.
// The block holds "NAME" at 16 and "10" at 20: specs (16 << 10) | 4 and (20 << 10) | 2.
const char* const kRunLittle =
    "18000000"                                          // i32 length 24
    "04400000 02500000 0100 7d 00"                      // name, value, flags 1, hash 0x7D, spare
    "01580000 00000000 0000 58 00";                     // "X" at 22: (22 << 10) | 1, hash 'X'
const char* const kRunBig =
    "00000018"
    "00004004 00005002 0001 7d 00"
    "00005801 00000000 0000 58 00";

StringBlock FixtureBlock() {
    StringBlock block = CreateStringBlock(gGenPool, 64);
    AppendStringBlock(block, "NAME", 4, nullptr);
    AppendStringBlock(block, "10", 2, nullptr);
    AppendStringBlock(block, "X", 1, nullptr);
    return block;
}

TEST_F(Attributes, HandWrittenRunInBothByteOrders) {
    StringBlock block = FixtureBlock();
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        test::HandleStream in(Hex(big ? kRunBig : kRunLittle));
        EnableStreamReadByteSwap(in.stream, big);
        Handle run = nullptr;
        ASSERT_EQ(ReadAttributeRun(in.stream, gGenPool, 2, &run), 0);
        EXPECT_EQ(DumpRun(block, run, 0, 2), "NAME=10/1;X=");
        AttributeRecord r;
        GetIndexedAttribute(block, run, 0, 0, nullptr, nullptr, nullptr, &r);
        EXPECT_EQ(r.name, 0x4004u);
        EXPECT_EQ(r.nameHash, uint8_t(CalcNameHash("NAME")));
        char value[kAttributeTextSize];
        EXPECT_EQ(GetAttributeValue(block, run, 0, 2, "name", value, nullptr), 0);
        // Writing back gives the little-endian form.
        test::HandleStream out;
        ASSERT_EQ(WriteAttributeRun(out.stream, run, 2), 0);
        EXPECT_EQ(out.bytes(), Hex(kRunLittle));
        MemFree(run);
    }
    // Swapping by "L2W" in place.
    Handle h = AllocHandleWithData(gGenPool, Hex(kRunLittle).data() + 4, 24);
    ByteSwapAttributes(h, 0, 2);
    EXPECT_EQ(std::string(*h, 24), Hex(kRunBig).substr(4));
    ByteSwapAttributes(h, 0, 5);  // only what the handle holds
    EXPECT_EQ(std::string(*h, 24), Hex(kRunLittle).substr(4));
    MemFree(h);
    DestroyStringBlock(block);
}

TEST_F(Attributes, DamagedRunsEndWithAStatus) {
    const std::string whole = Hex(kRunLittle);
    for (size_t length = 0; length < whole.size(); ++length) {
        test::HandleStream in(whole.substr(0, length));
        Handle run = reinterpret_cast<Handle>(1);
        EXPECT_NE(ReadAttributeRun(in.stream, gGenPool, 2, &run), 0) << length;
        EXPECT_EQ(run, nullptr);
    }
    struct Case {
        std::string bytes;
        int32_t count;
        OSStatus status;
    } const cases[] = {
        {whole, 1, status::kParamErr},           // more records than the count
        {whole, 3, status::kParamErr},           // fewer
        {Hex("ffffffff"), 1, status::kParamErr}, // none, with a count
        {Hex("ffffffff"), 0, 0},                 // none
        {Hex("00000000"), 0, 0},                 // an empty run
        {whole, -1, status::kParamErr},
        {whole, 0x8000, status::kParamErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        test::HandleStream in(c.bytes);
        Handle run = nullptr;
        EXPECT_EQ(ReadAttributeRun(in.stream, gGenPool, c.count, &run), c.status);
        if (run) MemFree(run);
    }
    // A null handle is written as none, and only with no records.
    test::HandleStream out;
    EXPECT_EQ(WriteAttributeRun(out.stream, nullptr, 1), status::kParamErr);
    EXPECT_EQ(WriteAttributeRun(out.stream, nullptr, 0), 0);
    EXPECT_EQ(out.bytes(), Hex("ffffffff"));
}

// Under a pool that cannot give the run its bytes the read fails and leaves nothing behind.
TEST_F(Attributes, ReadUnderACeilingLeavesNothing) {
    test::TestPool pool;
    const uint32_t base = pool.Bytes();
    pool.Ceiling(base);
    test::HandleStream in(Hex(kRunLittle));
    Handle run = nullptr;
    EXPECT_EQ(ReadAttributeRun(in.stream, pool.pool, 2, &run), status::kOutOfMemory);
    EXPECT_EQ(run, nullptr);
    EXPECT_EQ(pool.Bytes(), base);
}

// The fuzzing seeds: options, count, the string block and the run, in this machine's order and
// as a writer of the other order would have written them.
TEST_F(Attributes, FuzzSeeds) {
    AttrRun run("Value=10k;Footprint=0805;~REF=R1;~~Value=10k;Empty=");
    for (bool other : {false, true}) {
        StringBlock block = CloneHandle(gGenPool, run.block);
        Handle records = CloneHandle(gGenPool, run.handle);
        if (other) {
            ByteSwapStringBlockHeader(reinterpret_cast<StringBlockHeader*>(*block));
            ByteSwapAttributes(records, 0, run.count);
        }
        test::HandleStream out;
        ASSERT_EQ(StreamWrite(out.stream, *block, int32_t(UsedSize(run.block))), 0);
        uint32_t length = uint32_t(run.count) * kAttributeSize;
        if (other) ByteSwapLong(&length);
        ASSERT_EQ(StreamWrite(out.stream, &length, 4), 0);
        ASSERT_EQ(StreamWrite(out.stream, *records, int32_t(run.count * kAttributeSize)), 0);
        const std::string seed = std::string{char(other), char(run.count)} + out.bytes();
        test::CheckFuzzSeed("model_attributes", other ? "swapped" : "native", seed);
        MemFree(records);
        MemFree(block);
    }
}

}  // namespace
}  // namespace plexa
