// The select tool's gestures in a sheet window: which items a rectangle takes, a scripted drag of
// a clicked symbol, a text frame resized below its smallest size, and new sheet symbols drawn
// with the sub-sheet tool.
#include "sheeteditor/sheetdrag.h"
#include "sheeteditor/editstate.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

#include "foundation/strings.h"
#include "model/sheetdump.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/tests/sheetselect_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"

namespace plexa::test {
namespace {

int32_t Count(const LinkListHeader* list) {
    int32_t n = 0;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) ++n;
    return n;
}

class SheetDrag : public SelectionTest {
protected:
    TextFrameHandle AddFrame(const char* text, Point at, int32_t width) {
        TextFrameHandle frame = CreateTextFrame(text, -1, kEncodingUTF8);
        EXPECT_NE(frame, nullptr);
        LLPush(sheet->textFrameList, frame);
        (*frame)->position = at;
        CalcTextFrameBounds(sheet->window, frame, true, width);
        return frame;
    }
};

TEST_F(SheetDrag, WhatARectangleTakes) {
    const int32_t id = Definition();
    SymbolRecord* symbol = Place(id, 100, 100);
    Rect symbolBounds;
    GetSymbolInstanceBounds(sheet, symbol, 0, &symbolBounds);
    ElementRecord* box = AddRect({200, 200, 220, 240});
    driver->Draw({{300, 100}, {300, 200}});
    WireHandle wire = FirstWire((*static_cast<SignalHandle>(LLFirst(sheet->signalList)))->wires);
    TextRecord* text = CreateDrawingText(sheet, kTextKindFree, 0, {400, 100}, "NOTE");
    text->bounds = {390, 100, 402, 140};
    TextFrameHandle frame = AddFrame("one line", {450, 100}, 200);

    auto selection = [&] {
        std::string s;
        if (symbol->flags & kSymbolFlagSelected) s += "symbol ";
        if (box->flags & kElementSelected) s += "box ";
        if ((*wire)->flags & kWireFlagSelected) s += "wire ";
        if (text->flags & kTextFlagSelected) s += "text ";
        if ((*frame)->flags & kFrameFlagSelected) s += "frame ";
        return s;
    };
    struct Case {
        const char* what;
        Rect rect;
        bool shift, option;
        const char* selected;
    };
    const Case cases[] = {
        {"a corner of the symbol", {symbolBounds.top, symbolBounds.left, int16_t(symbolBounds.top + 3),
                                    int16_t(symbolBounds.left + 3)}, false, false, "symbol "},
        {"half the box", {190, 190, 230, 220}, false, false, ""},
        {"all the box", {190, 190, 230, 250}, false, false, "box "},
        {"half the wire", {290, 90, 310, 150}, false, false, ""},
        {"all the wire", {290, 90, 310, 210}, false, false, "wire "},
        {"the text without Option", {380, 90, 410, 150}, false, false, ""},
        {"the text with Option", {380, 90, 410, 150}, false, true, "text "},
        {"a one-line frame it meets", {440, 90, 445, 120}, false, false, "frame "},
        {"the box again with Shift", {190, 190, 230, 250}, true, false, "box frame "},
        {"and once more: it toggles", {190, 190, 230, 250}, true, false, "frame "},
        {"everything", {0, 0, 600, 600}, false, false, "symbol box wire frame "},
    };
    for (const Case& c : cases) {
        DoAreaSelection(sheet, &c.rect, c.shift, c.option);
        EXPECT_EQ(selection(), c.selected) << c.what;
    }
}

TEST_F(SheetDrag, AClickedSymbolIsDraggedOntoTheGrid) {
    sheet->view.snap = 1;
    sheet->view.gridSpacing = 10;
    const int32_t id = Definition();
    SymbolRecord* symbol = Place(id, 103, 101);  // off the grid
    SymbolRecord* other = Place(id, 300, 300);
    Rect bounds;
    GetSymbolInstanceBounds(sheet, symbol, 0, &bounds);
    const Point at{int16_t(bounds.top + 5), int16_t(bounds.left + 5)};
    VXEventRecord down = Gesture({at, {int16_t(at.v + 20), int16_t(at.h + 30)}, {int16_t(at.v + 41), int16_t(at.h + 62)}});
    DoSymbolSelection(sheet, symbol, &down);
    EXPECT_EQ(TestQueuedInputCount(), 0);
    EXPECT_TRUE(symbol->flags & kSymbolFlagSelected);
    EXPECT_EQ(At(symbol->position), "(160,140)");
    EXPECT_EQ(At(other->position), "(300,300)");

    // Shift-click on the selected symbol takes it out of the selection and does not drag it.
    down = Gesture({at, {int16_t(at.v + 40), int16_t(at.h + 40)}}, kPlatformModShift);
    const Point from{int16_t(bounds.top + 45), int16_t(bounds.left + 65)};
    down.u.mouse.v = from.v;
    down.u.mouse.h = from.h;
    DoSymbolSelection(sheet, symbol, &down);
    EXPECT_FALSE(symbol->flags & kSymbolFlagSelected);
    EXPECT_EQ(At(symbol->position), "(160,140)");
}

TEST_F(SheetDrag, ADragStopsThreeUnitsBeyondThePageEdge) {
    sheet->view.snap = 0;
    const int32_t id = Definition();
    SymbolRecord* symbol = Place(id, 60, 40);
    Rect bounds;
    GetSymbolInstanceBounds(sheet, symbol, 0, &bounds);
    const Point at{int16_t(bounds.top + 5), int16_t(bounds.left + 5)};
    VXEventRecord down = Gesture({at, {int16_t(at.v - 30), int16_t(at.h - 30)}, {int16_t(at.v - 200), int16_t(at.h - 200)}});
    DoSymbolSelection(sheet, symbol, &down);
    GetSymbolInstanceBounds(sheet, symbol, 0, &bounds);
    EXPECT_EQ(bounds.top, -kDragPageSlack);
    EXPECT_EQ(bounds.left, -kDragPageSlack);
}

TEST_F(SheetDrag, ATextFrameCannotBeResizedBelowItsSmallestSize) {
    TextFrameHandle frame = AddFrame("a frame of text", {200, 100}, 200);
    (*frame)->flags |= kFrameFlagSelected;
    ASSERT_EQ(SetupTextFrameResize(sheet, frame), 1);
    const Rect old = (*frame)->bounds;
    Point corner;
    GetTextFrameSizePoint(frame, &corner);
    // Dragged to the left of the frame's own left edge.
    VXEventRecord down = Gesture({corner, {int16_t(corner.v + 10), int16_t(corner.h - 100)},
                                  {int16_t(old.top + 2), int16_t(old.left - 50)}});
    ResizeTextFrame(sheet, frame, &down);
    EXPECT_EQ((*frame)->bounds.left, old.left);
    EXPECT_GE((*frame)->bounds.right - (*frame)->bounds.left, kMinTextFrameExtent);
    EXPECT_LT((*frame)->bounds.right, old.right);
    EXPECT_TRUE((*frame)->flags & kFrameFlagSelected);
    EXPECT_EQ(SheetEditStateOf(sheet)->resizeFrame, frame);
}

// A sheet symbol at (100, 100) with two ports on its left edge.
class SheetSymbolDrag : public SheetDrag {
protected:
    void SetUp() override {
        SheetDrag::SetUp();
        symbol = CreateSheetSymbol();
        ASSERT_NE(symbol, nullptr);
        symbol->position = {100, 100};
        AddSymbolToSheet(sheet, symbol);
        ASSERT_EQ(CreateSheetSymbolPort(sheet, symbol, "A", 0), 0);
        ASSERT_EQ(CreateSheetSymbolPort(sheet, symbol, "B", 0), 1);
        // Both on the left edge of a box of 10 rows, far apart.
        Head()->height = 100;
        Port(0)->slot = 7;
        Port(1)->slot = 1;
        Port(0)->flags &= uint16_t(~kSheetPortRight);
        Port(1)->flags &= uint16_t(~kSheetPortRight);
    }
    SheetSymbolPort* Port(int32_t n) { return SheetSymbolPortAt(symbol->sheetSymbolData, n); }
    SheetSymbolPortsHead* Head() { return SheetSymbolPortsHeadOf(symbol->sheetSymbolData); }
    // Drags port 0 to the row of the given slot on the left edge.
    void DragPortToSlot(int32_t slot) {
        const int32_t spacing = std::max<int32_t>(1, Head()->spacing);
        const Point from{int16_t(100 + Port(0)->slot * spacing), 100};
        const Point to{int16_t(100 + slot * spacing), 102};
        VXEventRecord down = Gesture({from, {int16_t(from.v + 1), 101}, to});
        DragSheetSymbolPort(sheet, symbol, 0, &down);
    }
    SymbolRecord* symbol = nullptr;
};

TEST_F(SheetSymbolDrag, APortIsNotDroppedOnAnOccupiedSlot) {
    DragPortToSlot(1);
    EXPECT_EQ(Port(0)->slot, 7);
    DragPortToSlot(9);
    EXPECT_EQ(Port(0)->slot, 9);
    EXPECT_FALSE(Port(0)->flags & kSheetPortRight);
}

TEST_F(SheetSymbolDrag, APortOfASymbolWithoutPortSpacingIsDraggedWithoutFault) {
    Head()->spacing = 0;  // made on a sheet without a grid
    DragPortToSlot(30);
    EXPECT_GE(Port(0)->slot, 1);
}

TEST_F(SheetSymbolDrag, ASheetSymbolIsNotResizedBelowWhatItsPortsNeed) {
    sheet->view.snap = 0;
    symbol->flags |= kSymbolFlagSelected;
    ASSERT_EQ(SetupSymbolResize(sheet, nullptr), 1);
    int16_t width = 0, height = 0;
    GetMinimumSheetSymbolSize(symbol, &width, &height);
    Point corner;
    GetSheetSymbolSizePoint(symbol, &corner);
    VXEventRecord down = Gesture({corner, {int16_t(corner.v - 5), int16_t(corner.h - 5)}, {102, 102}});
    ResizeSheetSymbol(sheet, symbol, &down);
    EXPECT_GE(Head()->width, width);
    EXPECT_GE(Head()->height, height);
    EXPECT_EQ(SheetEditStateOf(sheet)->resizeSheetSymbol, symbol);
    // Grown: the box follows the corner.
    GetSheetSymbolSizePoint(symbol, &corner);
    down = Gesture({corner, {int16_t(corner.v + 20), int16_t(corner.h + 40)}, {int16_t(100 + 120), int16_t(100 + 300)}});
    ResizeSheetSymbol(sheet, symbol, &down);
    EXPECT_EQ(Head()->width, 300);
    EXPECT_EQ(Head()->height, 120);
}

TEST_F(SheetDrag, ASubSheetBoxOfLessThanFiveUnitsIsDiscarded) {
    sheet->view.snap = 0;
    struct Case {
        Point to;
        bool made;
    };
    const Case cases[] = {{{104, 300}, false}, {{300, 104}, false}, {{160, 220}, true}};
    for (const Case& c : cases) {
        const int32_t before = Count(sheet->symbolList);
        VXEventRecord down = Gesture({{100, 100}, c.to});
        TrackCreateSheetSymbol(sheet, &down);
        EXPECT_EQ(Count(sheet->symbolList) - before, c.made ? 1 : 0) << At(c.to);
    }
    auto* made = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
    ASSERT_NE(made, nullptr);
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(made->sheetSymbolData);
    EXPECT_EQ(At(made->position), "(100,100)");
    EXPECT_EQ(head->width, 120);
    EXPECT_EQ(head->height, 60);
}

}  // namespace
}  // namespace plexa::test
