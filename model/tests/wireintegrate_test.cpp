// Segment merging and difference, rebuilding wires from segments, and integrating wires into a
// list.
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

WireSegment Seg(Point p0, Point p1) {
    WireSegmentsBlock block = CreateWireSegmentsBlock(1);
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, p0, p1));
    const WireSegment s = *WireSegmentAt(block, 0);
    DestroyWireSegmentsBlock(block);
    return s;
}

std::string Text(const WireSegment& s) {
    return PointsText({s.p0, s.p1}) + " " + std::to_string(s.direction);
}

std::string Text(WireSegmentsBlock block) {
    std::string text;
    for (int32_t i = 0; i < CountWireSegmentsBlock(block); ++i) {
        if (i) text += "; ";
        text += Text(*WireSegmentAt(block, i));
    }
    return text;
}

TEST(WireSegmentTest, SegmentsAreKeptNormalised) {
    EXPECT_EQ(Text(Seg(P(0, 10), P(0, 0))), "(0,0) (0,10) 4");
    EXPECT_EQ(Text(Seg(P(10, 0), P(0, 0))), "(0,0) (10,0) 2");
    EXPECT_EQ(Text(Seg(P(10, 0), P(0, 10))), "(0,10) (10,0) 1");
    EXPECT_EQ(Text(Seg(P(10, 10), P(0, 0))), "(0,0) (10,10) 3");
    EXPECT_EQ(Text(Seg(P(10, 0), P(0, 4))), "(0,4) (10,0) 9");
    EXPECT_EQ(Text(Seg(P(10, 4), P(0, 0))), "(0,0) (10,4) 11");
}

TEST(WireSegmentTest, Merging) {
    struct Case {
        Point a0, a1, b0, b1;
        const char* merged;  // null: no merge
    };
    const Case cases[] = {
        {P(0, 0), P(10, 0), P(10, 0), P(20, 0), "(0,0) (20,0) 2"},
        {P(0, 0), P(10, 0), P(11, 0), P(20, 0), nullptr},
        {P(0, 0), P(30, 0), P(10, 0), P(20, 0), "(0,0) (30,0) 2"},
        {P(0, 0), P(10, 0), P(5, 1), P(20, 1), nullptr},
        {P(0, 0), P(0, 10), P(0, 5), P(0, 30), "(0,0) (0,30) 4"},
        {P(0, 10), P(10, 0), P(5, 5), P(20, -10), "(0,10) (20,-10) 1"},
        {P(0, 0), P(10, 10), P(10, 10), P(15, 15), "(0,0) (15,15) 3"},
        {P(0, 0), P(10, 10), P(0, 2), P(10, 12), nullptr},
        // Two 45-degree segments from one point lie on one line.
        {P(0, 0), P(10, 10), P(0, 0), P(20, 20), "(0,0) (20,20) 3"},
        {P(0, 0), P(10, 4), P(10, 4), P(20, 8), nullptr},
        {P(0, 0), P(10, 0), P(0, 0), P(0, 10), nullptr},
    };
    for (const Case& c : cases) {
        WireSegment merged{};
        const bool done = SegMerge(Seg(c.a0, c.a1), Seg(c.b0, c.b1), &merged);
        EXPECT_EQ(done, c.merged != nullptr) << PointsText({c.a0, c.a1, c.b0, c.b1});
        if (done && c.merged) {
            EXPECT_EQ(Text(merged), c.merged);
        }
    }
}

TEST(WireSegmentTest, Difference) {
    struct Case {
        Point a0, a1, b0, b1;
        int32_t count;
        const char* pieces;
    };
    const Case cases[] = {
        {P(0, 0), P(10, 0), P(10, 0), P(20, 0), 0, ""},  // touching is no overlap
        {P(5, 0), P(10, 0), P(0, 0), P(20, 0), -1, ""},
        {P(0, 0), P(40, 0), P(10, 0), P(30, 0), 2, "(0,0) (10,0) 2; (30,0) (40,0) 2"},
        {P(0, 0), P(40, 0), P(10, 0), P(50, 0), 1, "(0,0) (10,0) 2"},
        {P(0, 0), P(40, 0), P(10, 1), P(30, 1), 0, ""},
        {P(0, -20), P(0, 20), P(0, 0), P(0, 50), 1, "(0,-20) (0,0) 4"},
        {P(0, 40), P(40, 0), P(10, 30), P(30, 10), 2, "(0,40) (10,30) 1; (30,10) (40,0) 1"},
        {P(0, 0), P(40, 40), P(10, 10), P(20, 20), 2, "(0,0) (10,10) 3; (20,20) (40,40) 3"},
    };
    for (const Case& c : cases) {
        WireSegment pieces[2];
        const int32_t k = SegDifference(Seg(c.a0, c.a1), Seg(c.b0, c.b1), pieces);
        EXPECT_EQ(k, c.count) << PointsText({c.a0, c.a1, c.b0, c.b1});
        std::string text;
        for (int32_t i = 0; i < k; ++i) text += (i ? "; " : "") + Text(pieces[i]);
        EXPECT_EQ(text, c.pieces);
    }
}

TEST(WireSegmentTest, MinimisingMergesLinesAndDropsDuplicates) {
    WireSegmentsBlock block = CreateWireSegmentsBlock(4);
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(0, 0), P(10, 0)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(30, 0), P(10, 0)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(0, 5), P(10, 5)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(10, 5), P(0, 5)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(0, 0), P(10, 4)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(10, 4), P(20, 8)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(40, 0), P(50, 0)));
    MinimizeSegmentList(block);
    EXPECT_EQ(Text(block),
              "(0,5) (10,5) 2; (0,0) (10,4) 11; (10,4) (20,8) 11; (40,0) (50,0) 2; "
              "(0,0) (30,0) 2");
    DestroyWireSegmentsBlock(block);
}

TEST(WireSegmentTest, SegmentsBecomeWires) {
    WireSegmentsBlock block = CreateWireSegmentsBlock(4);
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(10, 0), P(10, 10)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(0, 0), P(10, 0)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(40, 0), P(50, 0)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(50, 0), P(50, 10)));
    EXPECT_TRUE(AddWireSegmentsBlockSegment(block, P(50, 10), P(40, 0)));
    WireList list = SegmentsToWires(block, kWireFlagSelected | kWireFlagBuss);
    EXPECT_EQ(CountWireSegmentsBlock(block), 0);
    ASSERT_EQ(list->count, 2u);
    WireHandle open = FirstWire(list), loop = NextWire(list, open);
    // Started from the first straight segment, extended at its end, reversed, extended again.
    EXPECT_EQ(PointsText(Corners(open)), "(10,10) (10,0) (0,0)");
    EXPECT_EQ(PointsText(Corners(loop)), "(40,0) (50,10) (50,0) (40,0)");
    EXPECT_EQ((*open)->flags, kWireFlagBuss);
    EXPECT_EQ((*open)->end0, kWireEndJunction);
    EXPECT_EQ((*loop)->end1, kWireEndJunction);
    DestroyWireList(list);
    DestroyWireSegmentsBlock(block);
}

using WireIntegrateTest = NetTest;

TEST_F(WireIntegrateTest, AWireExactlyOverAnotherAddsNothing) {
    WireList list = CreateWireList(nullptr, 0);
    IntegrateWire(MakeWire({P(0, 0), P(40, 0)}), list, 0, nullptr, nullptr);
    IntegrateWire(MakeWire({P(40, 0), P(0, 0)}), list, 0, nullptr, nullptr);
    CleanupWireList(list, nullptr, nullptr);
    ASSERT_EQ(list->count, 1u);
    EXPECT_EQ(PointsText(Corners(FirstWire(list))), "(40,0) (0,0)");
    DestroyWireList(list);
}

TEST_F(WireIntegrateTest, SlantsThatAreNot45DegreesAreNeverCut) {
    WireList list = CreateWireList(nullptr, 0);
    IntegrateWire(MakeWire({P(0, 0), P(40, 10)}), list, 0, nullptr, nullptr);
    IntegrateWire(MakeWire({P(0, 0), P(40, 10)}), list, 0, nullptr, nullptr);
    CleanupWireList(list, nullptr, nullptr);
    // The second stretch stays: the two meet at both ends and become one wire there and back.
    ASSERT_EQ(list->count, 1u);
    EXPECT_EQ(CountWireSegments(FirstWire(list)), 2);
    DestroyWireList(list);
}

TEST_F(WireIntegrateTest, A45DegreeWireOverAnotherFromTheSamePointAddsOnlyTheRest) {
    WireList list = CreateWireList(nullptr, 0);
    IntegrateWire(MakeWire({P(0, 0), P(20, 20)}), list, 0, nullptr, nullptr);
    IntegrateWire(MakeWire({P(0, 0), P(30, 30)}), list, 0, nullptr, nullptr);
    CleanupWireList(list, nullptr, nullptr);
    ASSERT_EQ(list->count, 1u);
    EXPECT_EQ(PointsText(Corners(FirstWire(list))), "(30,30) (0,0)");
    DestroyWireList(list);
}

TEST_F(WireIntegrateTest, SplicingTheListsEndsSplitsTheNewWire) {
    WireList list = CreateWireList(nullptr, 0);
    LLPush(list, MakeWire({P(20, 20), P(20, 0)}));
    // Without the option the new wire passes the free end by; with it that end joins there.
    IntegrateWire(MakeWire({P(0, 0), P(40, 0)}), list, 0, nullptr, nullptr);
    CleanupWireList(list, nullptr, nullptr);
    EXPECT_EQ(list->count, 2u);
    WireList spliced = CreateWireList(nullptr, 0);
    LLPush(spliced, MakeWire({P(20, 20), P(20, 0)}));
    IntegrateWire(MakeWire({P(0, 0), P(40, 0)}), spliced, kIntegrateSpliceListEnds, nullptr,
                  nullptr);
    CleanupWireList(spliced, nullptr, nullptr);
    EXPECT_EQ(spliced->count, 3u);
    JunctionTable table = CollectWireListJunctions(spliced);
    ASSERT_EQ(CountJunctionRows(table), 1);
    EXPECT_TRUE(JunctionRows(table)[0].dot);
    EXPECT_EQ(PointsText({JunctionRows(table)[0].pt}), "(20,0)");
    DestroyJunctionTable(table);
    DestroyWireList(spliced);
    DestroyWireList(list);
}

TEST_F(WireIntegrateTest, ATerminalThatAWireCarriesAlreadyGetsNoStub) {
    WireList list = CreateWireList(nullptr, 0);
    LLPush(list, MakeWire({P(0, 0), P(20, 0)}, 2, kWireEndFree));
    InstallTerminalReference(list, P(0, 0), 2, 0);
    EXPECT_EQ(list->count, 1u);
    InstallTerminalReference(list, P(10, 0), 3, kWireFlagSelected | kWireFlagMarked);
    // The wire under the point is split there and the stub takes its flags.
    ASSERT_EQ(list->count, 3u);
    WireHandle stub = FirstWire(list);
    EXPECT_EQ(PointsText(Corners(stub)), "(10,0) (10,0)");
    EXPECT_EQ((*stub)->end0, 3);
    EXPECT_EQ((*stub)->end1, kWireEndJunction);
    EXPECT_EQ((*stub)->flags, 0);
    DestroyWireList(list);
}

TEST_F(WireIntegrateTest, ANullWireIsSettledOrGivenALength) {
    WireList list = CreateWireList(nullptr, 0);
    // Both ends junctions: settled, kept as it is.
    IntegrateWire(MakeWire({P(5, 5), P(5, 5)}, kWireEndJunction, kWireEndJunction), list, 0,
                  nullptr, nullptr);
    ASSERT_EQ(list->count, 1u);
    EXPECT_EQ(PointsText(Corners(FirstWire(list))), "(5,5) (5,5)");
    // A pin end with a free end: stretched before it is integrated.
    WireList other = CreateWireList(nullptr, 0);
    IntegrateWire(MakeWire({P(5, 5), P(5, 5)}, 1, kWireEndFree), other, 0, nullptr, nullptr);
    CleanupWireList(other, nullptr, nullptr);
    ASSERT_EQ(other->count, 1u);
    EXPECT_EQ(PointsText(Corners(FirstWire(other))), "(5,5) (14,5)");
    EXPECT_EQ((*FirstWire(other))->end0, 1);
    DestroyWireList(other);
    DestroyWireList(list);
}

}  // namespace
}  // namespace plexa::test
