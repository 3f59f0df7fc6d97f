// The graphic element tools on a sheet in a real sheet window: elements made by scripted drags
// and polygon clicks, the arc's quadrants, reshaping by handles (a flipped frame, a refused
// degenerate shape, an arc of full extent, a closed polygon's first vertex), restyling the
// selection, the stacking order with its back layer, hit testing, and a picture of one element of
// each kind.

// GCC 12, optimising, reports std::regex's own std::function members as maybe uninitialised (its
// known false positive inside the library); nothing of this file's is concerned.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "sheeteditor/elementtools.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/pixels.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/colorpopups.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetundoaction.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "sheeteditor/wiretracking.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class ElementToolsTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        InitSheetModelForWindows();
        InitSheetWindows();
        // A sheet lets the editor's parts go as in the editor: its handles and its undo.
        ModelHooks model = GetModelHooks();
        model.releaseSheetEditorParts = [](SheetRecord* s) {
            ClearSheetModifiers(s);
            ReleaseSheetUndo(s);
        };
        SetModelHooks(model);
        VXInitPixelImages();
        // The sheet window as the program shows it: its tool bars from the template file.
        VXInitControls();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        ResetWireTrackingForTesting();
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        sheet->view.gridSpacing = 10;
        sheet->view.snap = 1;
        // The window laid out with its tool bars beside the sheet pane before the first click
        // (otherwise its first drawing does it, in the middle of a click).
        VXGetWindowPanel(sheet->toolPalette);
        VXGetWindowPanel(sheet->topToolBar);
    }
    void TearDown() override {
        if (sheet->elementInCreation) DestroyElement(sheet->elementInCreation, sheet->imageList);
        sheet->elementInCreation = nullptr;
        sheets.DestroyAll();
        CloseUIFiles();
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }

    // A mouse event at a sheet point: the window's point for it as the sheet's view lies now.
    PlatformInputEvent Input(PlatformInputKind kind, Point at, uint32_t modifiers = 0) {
        const int32_t x = 300, y = 300;
        _LPNT content{}, pad{};
        VXWindowPointToPanelContent(sheet->window, x, y, &content);
        (void)TranslateMousePt(sheet->window, &content, &pad);
        return MouseInput(kind, sheet->window, at.h - (pad.h - x), at.v - (pad.v - y), modifiers);
    }
    // A press at `from` in the sheet window, moves through the points, release at the last one:
    // the window handles the click with the current tool.
    void Drag(Point from, const std::vector<Point>& through, uint32_t modifiers = 0) {
        for (Point p : through) TestQueueInput(Input(PlatformInputKind::kMouseDragged, p, modifiers));
        TestQueueInput(Input(PlatformInputKind::kMouseUp, through.empty() ? from : through.back(), modifiers));
        PlatformDeliverInput(Input(PlatformInputKind::kMouseDown, from, modifiers));
    }
    void Click(Point at) {
        PlatformDeliverInput(Input(PlatformInputKind::kMouseDown, at));
        PlatformDeliverInput(Input(PlatformInputKind::kMouseUp, at));
    }
    void DragCreate(uint16_t tool, Point from, const std::vector<Point>& through, uint32_t modifiers = 0) {
        SetDrawingTool(sheet, tool);
        Drag(from, through, modifiers);
    }
    // A drag of the handle at `from` of the single selected element, with the select tool.
    void Reshape(Point from, const std::vector<Point>& through) {
        ASSERT_EQ(sheet->selectedTool, kDrawToolSelect);
        ASSERT_EQ(SetupElementResize(sheet, nullptr), 1);
        Drag(from, through);
    }

    // The sheet's elements in the canonical dump, without the bounds the model computes.
    std::string Elements() {
        const std::string dump = DumpSheet(sheet, kDumpElements);
        return std::regex_replace(dump, std::regex(" bounds \\([-0-9,]+\\)-\\([-0-9,]+\\)"), "");
    }
    void ClearElements() { LLRemoveOrFreeAll(sheet->elementList, true); }
    ElementRecord* Add(ElementRecord* e, uint16_t flags = 0) {
        e->flags |= flags;
        CalcElementBounds(e);
        LLAppend(sheet->elementList, e);
        return e;
    }
    ElementRecord* Rectangle(Point a, Point b, uint16_t flags = 0, int16_t pen = 1) {
        return Add(BuildCommonElement(kElementRect, a, b, pen, 0, 0, flags & kElementFilled, false, 0,
                                      false, 0, false),
                   flags);
    }
    ElementRecord* Line(Point a, Point b, uint16_t flags = 0) {
        return Add(BuildCommonElement(kElementLine, a, b, 1, 0, 0, false, false, 0, false, 0, false), flags);
    }
    ElementRecord* Polygon(const std::vector<Point>& points, uint16_t flags = 0) {
        ElementRecord* e = BuildPolyElement(int16_t(points.size()), nullptr, 1, false, false, 0, false, 0, false);
        for (size_t i = 0; i < points.size(); ++i) PolyPoints(e)[i] = points[i];
        return Add(e, flags);
    }

    SheetWindowList sheets;
    SheetRecord* sheet = nullptr;
};

TEST_F(ElementToolsTest, ScriptedDragsCreateEachKind) {
    struct Case {
        uint16_t tool;
        const char* element;
    } cases[] = {
        {kDrawToolLine, "E1 kind 1 flags 0x2000 pen 1 (100,100)-(140,130)"},
        {kDrawToolArrow, "E1 kind 2 flags 0x2000 pen 1 (100,100)-(140,130) head 10/23"},
        {kDrawToolRectangle, "E1 kind 3 flags 0x2000 pen 1 (100,100)-(140,130)"},
        {kDrawToolOval, "E1 kind 4 flags 0x2000 pen 1 (100,100)-(140,130)"},
        {kDrawToolRoundRect, "E1 kind 5 flags 0x2000 pen 1 (100,100)-(140,130) oval 18x18"},
        {kDrawToolArc, "E1 kind 6 flags 0x2000 pen 1 (60,100)-(140,160) angles 0/90"},
    };
    for (const Case& c : cases) {
        ClearElements();
        DragCreate(c.tool, {100, 100}, {{105, 110}, {130, 140}});
        EXPECT_EQ(Elements(), std::string("elements 1\n  ") + c.element + "\n") << c.tool;
    }
    // A new element goes in front; with Option held it is not hideable.
    DragCreate(kDrawToolRectangle, {200, 200}, {{230, 260}}, kPlatformModOption);
    EXPECT_EQ(Elements(),
              "elements 2\n"
              "  E1 kind 3 pen 1 (200,200)-(260,230)\n"
              "  E2 kind 6 flags 0x2000 pen 1 (60,100)-(140,160) angles 0/90\n");
    // A drag that ends where it began makes nothing.
    ClearElements();
    DragCreate(kDrawToolOval, {100, 100}, {{120, 120}, {100, 100}});
    EXPECT_EQ(Elements(), "");
    EXPECT_EQ(sheet->modifiedFlags & kSheetModifiedContent, kSheetModifiedContent);
}

TEST_F(ElementToolsTest, NewElementsTakeTheSheetDefaults) {
    sheet->view.outlineWidth = 3;
    const uint16_t flags = kElementFilled | kElementOwnFrameColor | kElementOwnFillColor;
    std::memcpy(sheet->view.elementTool, &flags, sizeof flags);
    sheet->view.outlineColour = 0x05FF0000;
    sheet->view.fillColour = 0x0500FF00;
    sheet->stored.flags |= kSheetFlagHideElements;
    DragCreate(kDrawToolOval, {100, 100}, {{140, 120}});
    DragCreate(kDrawToolLine, {100, 200}, {{140, 220}});
    EXPECT_EQ(Elements(),
              "elements 2\n"
              "  E1 kind 1 flags 0x0200 pen 3 (200,100)-(220,140) frame 0x05FF0000\n"
              "  E2 kind 4 flags 0x0700 pen 3 (100,100)-(120,140) frame 0x05FF0000 fill 0x0500FF00\n");
}

TEST_F(ElementToolsTest, ArcQuadrantFollowsTheDragDirection) {
    struct Case {
        Point to;
        const char* arc;
    } cases[] = {
        {{130, 140}, "(60,100)-(140,160) angles 0/90"},    // right and below
        {{100, 140}, "empty angles 0/90"},    // level counts as below
        {{70, 140}, "(60,40)-(140,100) angles 90/90"},     // right and above
        {{70, 60}, "(60,40)-(140,100) angles 180/90"},     // left and above
        {{130, 60}, "(60,100)-(140,160) angles 270/90"},   // left and below
    };
    for (const Case& c : cases) {
        ClearElements();
        DragCreate(kDrawToolArc, {100, 100}, {c.to});
        EXPECT_EQ(Elements(), std::string("elements 1\n  E1 kind 6 flags 0x2000 pen 1 ") + c.arc + "\n")
            << c.to.h << "," << c.to.v;
    }
}

TEST_F(ElementToolsTest, PolygonClickSequences) {
    struct Case {
        const char* name;
        std::vector<Point> clicks;
        bool finish;  // the tool changes after the clicks
        const char* elements;
    } cases[] = {
        {"open: a click on the last vertex ends it", {{100, 100}, {100, 200}, {200, 200}, {201, 201}}, false,
         "elements 1\n  E1 kind 7 flags 0x0001 pen 1 points (100,100) (200,100) (200,200)\n"},
        {"closed on the first vertex", {{100, 100}, {100, 200}, {200, 200}, {99, 102}}, false,
         "elements 1\n  E1 kind 7 flags 0x0001 pen 1 points (100,100) (200,100) (200,200) (100,100)\n"},
        {"two vertices make a line", {{100, 100}, {150, 200}}, true,
         "elements 1\n  E1 kind 1 flags 0x0001 pen 1 (100,100)-(200,150)\n"},
        {"one vertex makes nothing", {{100, 100}}, true, ""},
        {"a double click at the start makes nothing", {{100, 100}, {101, 101}}, false, ""},
    };
    for (const Case& c : cases) {
        ClearElements();
        SetDrawingTool(sheet, kDrawToolPolygon);
        for (Point p : c.clicks) Click(p);
        if (c.finish) {
            EXPECT_NE(sheet->elementInCreation, nullptr) << c.name;
            SetDrawingTool(sheet, kDrawToolSelect);
        }
        EXPECT_EQ(sheet->elementInCreation, nullptr) << c.name;
        EXPECT_EQ(sheet->selectedTool, kDrawToolSelect) << c.name;
        EXPECT_EQ(Elements(), c.elements) << c.name;
    }
    // Changing the width while a polygon is being drawn widens it.
    ClearElements();
    SetDrawingTool(sheet, kDrawToolPolygon);
    Click({100, 100});
    Click({100, 200});
    EXPECT_EQ(UpdateSelectedSheetElements(sheet, kChoiceWidth, 4), 0);
    ASSERT_NE(sheet->elementInCreation, nullptr);
    EXPECT_EQ(sheet->elementInCreation->penWidth, 4);
}

TEST_F(ElementToolsTest, ReshapeByHandles) {
    const int before = TestBeepCount();
    ElementRecord* box = Rectangle({100, 100}, {160, 200}, kElementSelected);
    const std::string original = Elements();
    // Dragged past the opposite corner the frame flips, as one undoable reshape.
    Reshape({160, 200}, {{120, 150}, {60, 60}});
    const std::string flipped = "elements 1\n  E1 kind 3 flags 0x0001 pen 1 (60,60)-(100,100)\n";
    EXPECT_EQ(Elements(), flipped);
    const UndoRecord* record = GetSheetUndoRecord(sheet);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->actionKind, kUndoActionReshape);
    // A side dragged onto the opposite one leaves no area: refused with a beep, nothing changed,
    // the sheet not marked and the reshape before still the one to undo.
    sheet->modifiedFlags = 0;
    Reshape({100, 80}, {{90, 80}, {60, 80}});
    EXPECT_EQ(Elements(), flipped);
    EXPECT_EQ(TestBeepCount(), before + 1);
    EXPECT_EQ(sheet->modifiedFlags, 0);
    // A release where the press was changes nothing, does not beep and leaves no undo step.
    Reshape({60, 60}, {});
    EXPECT_EQ(Elements(), flipped);
    EXPECT_EQ(TestBeepCount(), before + 1);
    EXPECT_EQ(sheet->modifiedFlags, 0);
    ASSERT_NE(GetSheetUndoRecord(sheet), nullptr);
    EXPECT_EQ(GetSheetUndoRecord(sheet)->actionKind, kUndoActionReshape);
    // Undone, the frame is back where it was.
    UndoSheetAction(sheet);
    EXPECT_EQ(Elements(), original);
    (void)box;

    // A line whose end is dragged onto its start is refused.
    ClearElements();
    Line({100, 100}, {100, 200}, kElementSelected);
    Reshape({100, 200}, {{100, 150}, {100, 100}});
    EXPECT_EQ(Elements(), "elements 1\n  E1 kind 1 flags 0x0001 pen 1 (100,100)-(200,100)\n");
    EXPECT_EQ(TestBeepCount(), before + 2);

    // An arc's end dragged onto its start gets the full extent.
    ClearElements();
    Add(BuildCommonElement(kElementArc, {100, 100}, {200, 200}, 1, 0, 90, false, false, 0, false, 0, false),
        kElementSelected | 0x0002);
    Reshape({150, 200}, {{110, 180}, {100, 150}});
    EXPECT_EQ(Elements(), "elements 1\n  E1 kind 6 flags 0x0003 pen 1 (100,100)-(200,200) angles 0/360\n");

    // Moving the first vertex of a closed polygon moves its last one too.
    ClearElements();
    // (Its vertices have handles while it is being reshaped, flag 0x0002.)
    Polygon({{100, 100}, {100, 200}, {200, 200}, {100, 100}}, kElementSelected | 0x0002);
    Reshape({100, 100}, {{90, 90}, {80, 80}});
    EXPECT_EQ(Elements(), "elements 1\n  E1 kind 7 flags 0x0003 pen 1 points (80,80) (200,100) (200,200) (80,80)\n");
    // A frame handle maps every vertex into the new frame.
    static_cast<ElementRecord*>(LLFirst(sheet->elementList))->flags &= uint16_t(~0x0002);
    Reshape({140, 200}, {{150, 260}, {140, 320}});
    EXPECT_EQ(Elements(), "elements 1\n  E1 kind 7 flags 0x0001 pen 1 points (80,80) (320,100) (320,200) (80,80)\n");
}

TEST_F(ElementToolsTest, HandleGeometry) {
    ElementRecord* round = Add(BuildCommonElement(kElementRoundRect, {100, 100}, {140, 200}, 1, 18, 18, false,
                                                  false, 0, false, 0, false));
    ElementDragState state;
    state.element = round;
    state.original = round;
    // The corner follows twice the offset from the top-left, within the rectangle.
    ModifyRoundCorner(&state, {110, 105});
    EXPECT_EQ(ElementAs<RoundRectElement>(round)->ovalWidth, 10);
    EXPECT_EQ(ElementAs<RoundRectElement>(round)->ovalHeight, 20);
    ModifyRoundCorner(&state, {90, 300});
    EXPECT_EQ(ElementAs<RoundRectElement>(round)->ovalWidth, 100);
    EXPECT_EQ(ElementAs<RoundRectElement>(round)->ovalHeight, 0);

    // The barb: the angle to the line at most 45 degrees, the length at most the line's.
    ElementRecord* arrow = Add(BuildCommonElement(kElementArrow, {100, 100}, {100, 200}, 1, 8, 20, false,
                                                  false, 0, false, 0, false));
    state.element = state.original = arrow;
    ModifyArrowHead(&state, {90, 190});
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headAngle, 45);
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headLength, 14);
    ModifyArrowHead(&state, {100, 0});
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headAngle, 0);
    EXPECT_EQ(ElementAs<ArrowElement>(arrow)->headLength, 100);
}

TEST_F(ElementToolsTest, StackingOrderTable) {
    // A B in front, C D in the back layer; the pen width names each element.
    struct Case {
        int32_t selected;  // 1 A ... 4 D
        int32_t command;
        bool changed;
        const char* order;  // front to back, "*" for the back layer
    } cases[] = {
        {3, kCmdBringToFront, true, "C A B D*"},
        {3, kCmdMoveForward, true, "A B C D*"},   // the front-most back element leaves the layer
        {4, kCmdMoveForward, true, "A B D* C*"},
        {1, kCmdMoveForward, false, "A B C* D*"},
        {1, kCmdBringToFront, false, "A B C* D*"},
        {2, kCmdMoveBack, true, "A B* C* D*"},    // the back-most front element joins the layer
        {1, kCmdMoveBack, true, "B A C* D*"},
        {4, kCmdMoveBack, false, "A B C* D*"},
        {1, kCmdSendToBack, true, "B C* D* A*"},
        {4, kCmdSendToBack, false, "A B C* D*"},
    };
    for (const Case& c : cases) {
        ClearElements();
        for (int16_t pen = 1; pen <= 4; ++pen)
            Rectangle({int16_t(100 * pen), 100}, {int16_t(100 * pen + 50), 150},
                      uint16_t((pen >= 3 ? kElementBackLayer : 0) | (pen == c.selected ? kElementSelected : 0)),
                      pen);
        sheet->modifiedFlags = 0;
        EXPECT_EQ(ChangeSheetElementOrder(sheet, c.command), c.changed) << c.selected << " " << c.command;
        std::string order;
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next) {
            if (!order.empty()) order += ' ';
            order += char('A' + e->penWidth - 1);
            if (e->flags & kElementBackLayer) order += '*';
        }
        EXPECT_EQ(order, c.order) << c.selected << " " << c.command;
        EXPECT_EQ(sheet->modifiedFlags != 0, c.changed) << c.selected << " " << c.command;
    }
    // Nothing happens without a single selected element.
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
        e->flags |= kElementSelected;
    EXPECT_FALSE(ChangeSheetElementOrder(sheet, kCmdBringToFront));
}

TEST_F(ElementToolsTest, RestyleTheSelection) {
    Rectangle({100, 100}, {150, 150}, kElementSelected);
    Line({200, 100}, {200, 200}, kElementSelected);
    Rectangle({300, 100}, {350, 150});
    struct Step {
        int32_t what;
        uint32_t value;
        const char* e1;  // the rectangle
        const char* e2;  // the line
    } steps[] = {
        {kChoiceFill, 1, "E1 kind 3 flags 0x0101 pen 1 (100,100)-(150,150)", "E2 kind 1 flags 0x0001 pen 1 (100,200)-(200,200)"},
        {kChoiceWidth, 3, "E1 kind 3 flags 0x0101 pen 3 (100,100)-(150,150)", "E2 kind 1 flags 0x0001 pen 3 (100,200)-(200,200)"},
        {kChoiceFrameColor, 0x05FF0000, "E1 kind 3 flags 0x0301 pen 3 (100,100)-(150,150) frame 0x05FF0000",
         "E2 kind 1 flags 0x0201 pen 3 (100,200)-(200,200) frame 0x05FF0000"},
        {kChoiceFillColor, 0x050000FF, "E1 kind 3 flags 0x0701 pen 3 (100,100)-(150,150) frame 0x05FF0000 fill 0x050000FF",
         "E2 kind 1 flags 0x0601 pen 3 (100,200)-(200,200) frame 0x05FF0000 fill 0x050000FF"},
        {kChoiceFrameColor, kNoOwnColor, "E1 kind 3 flags 0x0501 pen 3 (100,100)-(150,150) fill 0x050000FF",
         "E2 kind 1 flags 0x0401 pen 3 (100,200)-(200,200) fill 0x050000FF"},
        {kChoiceFill, 0, "E1 kind 3 flags 0x0401 pen 3 (100,100)-(150,150) fill 0x050000FF",
         "E2 kind 1 flags 0x0401 pen 3 (100,200)-(200,200) fill 0x050000FF"},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(UpdateSelectedSheetElements(sheet, s.what, s.value), 2);
        EXPECT_EQ(Elements(), std::string("elements 3\n  ") + s.e1 + "\n  " + s.e2 +
                                  "\n  E3 kind 3 pen 1 (100,300)-(150,350)\n")
            << s.what;
    }
    // A choice that changes nothing leaves the sheet unmarked.
    sheet->modifiedFlags = 0;
    EXPECT_EQ(UpdateSelectedSheetElements(sheet, kChoiceWidth, 3), 2);
    EXPECT_EQ(sheet->modifiedFlags, 0);
}

TEST_F(ElementToolsTest, HitTestFrontFirstByLayerAndOutline) {
    VXSetWindow(sheet->window);
    ElementRecord* ring = Rectangle({100, 100}, {160, 160}, kElementFilled | kElementOptionalFill);
    ElementRecord* box = Rectangle({120, 120}, {200, 200}, kElementFilled);
    ElementRecord* line = Line({110, 300}, {110, 50}, kElementBackLayer);
    ElementRecord* hidden = Rectangle({300, 300}, {340, 340}, kElementFilled | kElementHideable);
    bool inside = true;
    // The front-most element whose pixels lie under the point.
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {158, 158}, 3, 0, &inside), ring);
    EXPECT_FALSE(inside);
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {180, 180}, 3, 0, &inside), box);
    // Inside the fill of an element picked on its outline only: nothing, and the fill is told.
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {130, 130}, 3, 0, &inside), nullptr);
    EXPECT_TRUE(inside);
    // The tolerance reaches a line beside the point; back-layer elements only in the back pass.
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {112, 80}, 3, 0, &inside), nullptr);
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {112, 80}, 3, kHitBackLayer, &inside), line);
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {112, 80}, 0, kHitBackLayer, &inside), nullptr);
    // Hideable elements are skipped when asked.
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {320, 320}, 3, 0, nullptr), hidden);
    EXPECT_EQ(HitTestGrafElements(sheet->elementList, {320, 320}, 3, kHitSkipHideable, nullptr), nullptr);
}

TEST_F(ElementToolsTest, ScreenshotOfEachKind) {
    // Points are (v, h): three rows of elements.
    DragCreate(kDrawToolLine, {140, 40}, {{190, 100}});
    DragCreate(kDrawToolArrow, {140, 130}, {{190, 190}});
    DragCreate(kDrawToolRectangle, {140, 220}, {{200, 300}});
    DragCreate(kDrawToolOval, {230, 40}, {{280, 120}});
    DragCreate(kDrawToolRoundRect, {230, 150}, {{290, 240}});
    DragCreate(kDrawToolArc, {230, 260}, {{290, 320}});
    SetDrawingTool(sheet, kDrawToolPolygon);
    for (Point p : std::vector<Point>{{320, 40}, {330, 120}, {380, 90}, {390, 40}, {321, 41}})
        Click(p);
    // A filled rectangle with a fill colour of its own, and an image.
    DragCreate(kDrawToolRectangle, {320, 150}, {{380, 190}});
    auto* filled = static_cast<ElementRecord*>(LLFirst(sheet->elementList));
    filled->flags |= kElementFilled | kElementOwnFillColor;
    filled->fillColor = 0x0080C0FF;
    VXPixels* picture = VXCreateEmptyPixelImage(40, 30, 1);
    ASSERT_NE(picture, nullptr);
    for (uint32_t row = 0; row < picture->height; ++row) {
        auto* pixels = reinterpret_cast<uint32_t*>(picture->bits + row * picture->rowBytes);
        for (uint32_t col = 0; col < picture->width; ++col)
            pixels[col] = ((row / 5 + col / 5) % 2) ? 0xFF2060A0 : 0xFFF0C040;
    }
    ElementRecord* image = BuildImageElement(sheet->imageList, picture, 0, {320, 230}, 40, 30, 72, 72, false,
                                             false, 0, false, 0);
    ASSERT_NE(image, nullptr);
    Add(image);
    EXPECT_EQ(sheet->elementList->count, 9u);
    VXInvalRect(sheet->window, &sheet->sheetBounds);
    VXUpdateWindow(sheet->window);
    EXPECT_FALSE(WriteScreenshot(sheet->window, "element_tools.png").empty());
}

}  // namespace
}  // namespace plexa::test
