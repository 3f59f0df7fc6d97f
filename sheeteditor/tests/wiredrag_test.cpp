// Reshaping wires with the mouse in a real sheet window: segment drags that keep orthogonal wires
// orthogonal, anchors that give a pinned end a new leg, junction drags that carry every meeting
// end and its labels, chamfers pulled out of a buss corner, drags below the threshold, and wire
// splits. Every drag must leave the connectivity as it was.
#include "sheeteditor/wiredrag.h"

#include <gtest/gtest.h>

#include "model/tests/net_fixture.h"
#include "model/texts.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/tests/wire_drags_testing.h"

namespace plexa::test {
namespace {

using WireDrag = WireDragTest;

TEST_F(WireDrag, TheMiddleOfAnHorizontalVerticalHorizontalWireMovesInHOnly) {
    Pin({100, 100});
    Pin({200, 300});
    driver->Draw({{100, 100}, {100, 200}, {200, 200}, {200, 300}});
    const std::string net = Netlist();
    // Dragged down and right: only h follows, snapped to the grid.
    VXEventRecord click = Drag({150, 200}, {{160, 215}, {170, 231}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(Wires(), "S0: (100,100) (230,100) (230,200) (300,200)\n");
    EXPECT_EQ(Netlist(), net);
    EXPECT_NE(IsSheetModified(sheet, kSheetAskContent), 0);
}

TEST_F(WireDrag, AnEndSegmentHeldByAPinGainsALegAndAFreeOneSimplyMoves) {
    struct Case {
        bool pinned;
        const char* wires;
    };
    const Case cases[] = {
        {true, "S0: (100,100) (100,130) (200,130) (200,200)\n"},
        {false, "S0: (200,200) (200,130) (100,130)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pinned ? "pinned" : "free");
        NewSheet();
        if (c.pinned) Pin({100, 100});
        Pin({200, 200});
        driver->Draw({{100, 100}, {100, 200}, {200, 200}});
        const std::string net = Netlist();
        VXEventRecord click = Drag({100, 150}, {{110, 150}, {121, 150}, {128, 150}});
        EXPECT_EQ(DragClickedWire(sheet, &click), 1);
        EXPECT_EQ(Wires(), c.wires);
        EXPECT_EQ(Netlist(), net);
    }
}

TEST_F(WireDrag, AThreeWireJunctionMovesWithItsLabels) {
    Pin({100, 100});
    Pin({100, 300});
    Pin({200, 200});
    SignalHandle signal = driver->Draw({{100, 100}, {100, 300}});
    driver->Draw({{100, 200}, {200, 200}});
    ASSERT_EQ(LLGetNext(sheet->signalList, LLFirst(sheet->signalList)), nullptr);
    // A label on the left piece of the horizontal line.
    int32_t segment = -1;
    WireHandle left = HitTestWireList((*signal)->wires, Point{100, 150}, 0, false, &segment, nullptr);
    ASSERT_NE(left, nullptr);
    TextRecord* label = CreateSignalWireLabel(sheet, signal, left, segment, false);
    ASSERT_NE(label, nullptr);
    const Point labelAt = label->position;
    const std::string net = Netlist();

    VXEventRecord click = Drag({100, 200}, {{105, 205}, {111, 212}, {119, 221}});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(Wires(), "S0: (100,100) (100,120) (220,120)\n"
                       "S0: (300,100) (300,120) (220,120)\n"
                       "S0: (200,200) (220,200) (220,120)\n");
    // The label went with the horizontal piece it lies on: in v only.
    EXPECT_EQ(label->position.h, labelAt.h);
    EXPECT_EQ(label->position.v, labelAt.v + 20);
    EXPECT_EQ(Netlist(), net);
}

TEST_F(WireDrag, AChamferIsCappedAtTheShorterArm) {
    struct Case {
        Point to;
        const char* wires;
    };
    const Case cases[] = {
        {{110, 190}, "B0: (200,130) (200,120) (180,100) (100,100)\n"},
        {{150, 150}, "B0: (200,130) (170,100) (100,100)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to.h);
        LLDispose(sheet->bussList, true);
        sheet->bussList = CreateBussList();
        BussHandle buss = CreateBuss(sheet->bussList);
        LLPush((*buss)->wires, MakeWire({{100, 100}, {100, 200}, {130, 200}}, kWireEndFree,
                                        kWireEndFree, kWireFlagBuss));
        CalcBussBounds(buss);
        VXEventRecord click = Drag({101, 200}, {{105, 196}, c.to});
        EXPECT_EQ(DragClickedWire(sheet, &click), 1);
        EXPECT_EQ(Wires(), c.wires);
    }
}

// A segment dragged beside a 45-degree segment keeps that one at 45 degrees: with a segment
// beyond it running across the dragged one, the diagonal moves and the segment beyond stretches;
// with one running alongside, the diagonal moves and a new leg joins it to where it ended; a
// diagonal that ends the wire at a pin moves, and a new leg joins it to the pin.
TEST_F(WireDrag, ADiagonalBesideTheDraggedSegmentStaysAt45Degrees) {
    struct Case {
        const char* what;
        bool buss;
        std::vector<Point> corners;  // {v, h}
        Point from, to;
        const char* wires;
    };
    const Case cases[] = {
        {"across beyond", true, {{100, 100}, {100, 200}, {120, 220}, {300, 220}}, {100, 150}, {140, 150},
         "B0: (220,300) (220,160) (200,140) (100,140)\n"},
        {"alongside beyond", true, {{100, 100}, {100, 200}, {120, 220}, {120, 300}}, {100, 150}, {60, 150},
         "B0: (300,120) (220,120) (220,80) (200,60) (100,60)\n"},
        {"before the segment", true, {{300, 100}, {120, 100}, {100, 120}, {100, 300}}, {100, 200}, {130, 200},
         "B0: (100,300) (100,150) (120,130) (300,130)\n"},
        {"ending at a pin", false, {{100, 100}, {100, 200}, {109, 209}}, {100, 150}, {130, 150},
         "S0: (100,100) (100,130) (200,130) (209,139) (209,109)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewSheet();
        if (c.buss) {
            BussHandle buss = CreateBuss(sheet->bussList);
            LLPush((*buss)->wires, MakeWire(c.corners, kWireEndFree, kWireEndFree, kWireFlagBuss));
            CalcBussBounds(buss);
        } else {
            Pin(c.corners.front());
            Pin(c.corners.back());
            driver->Draw(c.corners);
        }
        const std::string net = Netlist();
        const Point step{int16_t((c.from.v + c.to.v) / 2), int16_t((c.from.h + c.to.h) / 2)};
        VXEventRecord click = Drag(c.from, {step, c.to});
        EXPECT_EQ(DragClickedWire(sheet, &click), 1);
        EXPECT_EQ(Wires(), c.wires);
        EXPECT_EQ(Netlist(), net);
    }
}

TEST_F(WireDrag, ADragBelowTheThresholdChangesNothing) {
    Pin({100, 100});
    Pin({200, 300});
    Pin({150, 300});
    driver->Draw({{100, 100}, {100, 200}, {200, 200}, {200, 300}});
    driver->Draw({{150, 200}, {150, 300}});
    const std::string before = DumpSheet(sheet);
    struct Case {
        const char* what;
        Point from, to;
    };
    const Case cases[] = {
        {"segment", {170, 200}, {172, 202}},
        {"junction", {150, 200}, {151, 201}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VXEventRecord click = Drag(c.from, {c.to});
        EXPECT_EQ(DragClickedWire(sheet, &click), 1);
        EXPECT_EQ(IsSheetModified(sheet, kSheetAskContent | kSheetAskDrawing), 0);
        EXPECT_EQ(sheet->window->overlayProc, nullptr);
        // A plain click on a segment selects its wire.
        if (std::string(c.what) == "segment") {
            const std::string after = DumpSheet(sheet);
            EXPECT_NE(after.find("flags 0x0001"), std::string::npos) << after;
        }
    }
    // Nothing moved.
    for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
        SetWireListHilite((*static_cast<SignalHandle>(s))->wires, 0, false, nullptr);
    EXPECT_EQ(DumpSheet(sheet), before);
}

TEST_F(WireDrag, OptionShiftClickSplitsAWireUntilTheNextClickElsewhere) {
    Pin({100, 100});
    Pin({100, 300});
    driver->Draw({{100, 100}, {100, 300}});
    Pin({400, 100});
    Pin({400, 300});
    driver->Draw({{400, 100}, {400, 300}});
    VXEventRecord click = Click({100, 163}, kVXModOption | kVXModShift);
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(CountWireSplitMarkers(sheet), 1);
    EXPECT_EQ(Wires(), "S0: (100,400) (300,400)\nS1: (100,100) (160,100)\nS1: (160,100) (300,100)\n");
    // A click on the other signal joins the split wire again.
    click = Drag({400, 200}, {});
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    EXPECT_EQ(CountWireSplitMarkers(sheet), 0);
    EXPECT_EQ(Wires(), "S0: (100,400) (300,400)\nS1: (100,100) (300,100)\n");
}

TEST_F(WireDrag, OptionClickShowsTheSegmentsNameLabel) {
    Pin({100, 100});
    Pin({100, 300});
    driver->Draw({{100, 100}, {100, 300}});
    VXEventRecord click = Click({100, 200}, kVXModOption);
    EXPECT_EQ(DragClickedWire(sheet, &click), 1);
    const std::string texts = DumpSheet(sheet, kDumpTexts);
    EXPECT_NE(texts.find("SIG001"), std::string::npos) << texts;
    EXPECT_NE(IsSheetModified(sheet, kSheetAskContent), 0);
    EXPECT_EQ(Wires(), "S0: (100,100) (300,100)\n");
}

}  // namespace
}  // namespace plexa::test
