// The symbol editor's drawing tools, handles and edit commands in a real window driven by the
// platform's input: triangles, the handles a frame shows, polygons closed early, resizing refused,
// the paste step, cut and paste, deleting in the alternate drawing and duplicating.
#include "symboleditor/symcreate.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symclip.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/symselect.h"
#include "symboleditor/symundo.h"
#include "symboleditor/symwindow.h"
#include "symboleditor/tests/symwindow_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class SymCreate : public SymWindowTest {
protected:
    void TearDown() override {
        KillSymbolEditorClip(true);
        SymWindowTest::TearDown();
    }
    SymbolEditorRecord* Editor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"Gate"}), 0);
        EXPECT_NE(editor, nullptr);
        if (editor) VXShowWindow(editor->window);
        return editor;
    }
    static std::vector<ElementRecord*> All(SymbolEditorRecord* editor) { return Elements(editor->elements); }
};

TEST(SymTriangle, CornersFollowTheDragsDirection) {
    struct Case {
        int16_t dv, dh;
        Point a, b;  // (v, h) offsets from the press point
    };
    const Case cases[] = {
        {20, 0, {20, -20}, {20, 20}},     // straight down
        {-20, 0, {-20, 20}, {-20, -20}},  // straight up
        {0, 20, {-20, 20}, {20, 20}},     // right
        {20, 20, {40, 0}, {0, 40}},       // down and right
        {-20, -20, {-40, 0}, {0, -40}},   // up and left
        {-20, 20, {0, 40}, {-40, 0}},     // up and right
        {10, 30, {-30, 30}, {30, 30}},    // three times as far right: right
        {10, 29, {20, 0}, {0, 20}},       // less: a diagonal
    };
    for (const Case& c : cases) {
        Point corners[2];
        CalcTriangleCorners(c.dv, c.dh, corners);
        EXPECT_EQ(corners[0].v, c.a.v) << c.dv << "," << c.dh;
        EXPECT_EQ(corners[0].h, c.a.h) << c.dv << "," << c.dh;
        EXPECT_EQ(corners[1].v, c.b.v) << c.dv << "," << c.dh;
        EXPECT_EQ(corners[1].h, c.b.h) << c.dv << "," << c.dh;
    }
}

TEST(SymPaste, TheStepIsTheSmallestMultipleOfTheGridOf36OrMore) {
    for (auto [grid, step] : std::vector<std::pair<int, int>>{{10, 40}, {36, 36}, {50, 50}, {12, 36}, {8, 40},
                                                              {16, 48}, {0, 36}, {-3, 36}})
        EXPECT_EQ(CalcPasteOffsetStep(grid), step) << grid;
}

TEST_F(SymCreate, AFramesMiddleHandlesNeedASideOf28) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    for (int16_t side : {27, 28}) {
        ElementRecord* e = AddRect(editor, {100, 100}, {int16_t(100 + side), int16_t(100 + side)});
        editor->selectedElement = e;
        EditorModifiers m;
        CalcEditorModifiers(editor, &m);
        const bool middles = m.fixed[4].v != -32768 && m.fixed[6].v != -32768;
        EXPECT_EQ(middles, side == 28) << side;
        EXPECT_NE(m.fixed[3].v, -32768);
        editor->selectedElement = nullptr;
    }
}

TEST_F(SymCreate, APolygonClosedAfterTwoClicksIsALine) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    editor->tool = kSymEditToolPoly;
    Press(editor, {96, 96});
    Press(editor, {96, 192});
    Press(editor, {96, 192});  // on the last point: finished
    ASSERT_EQ(All(editor).size(), 1u);
    ElementRecord* line = All(editor)[0];
    EXPECT_EQ(line->kind, kElementLine);
    EXPECT_EQ(line->points.point2.h, 192);
    EXPECT_EQ(editor->tool, kSymEditToolSelect);
}

TEST_F(SymCreate, AResizedLineWhoseEndsMeetIsRestored) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* line = BuildCommonElement(kElementLine, {96, 96}, {96, 192}, 1, 0, 0, false, false, 0, false, 0, false);
    LLAppend(editor->elements, line);
    line->flags |= kElementSelected;
    PrepSymbolEditorSelection(editor);
    ASSERT_EQ(editor->selectedElement, line);
    editor->state &= uint16_t(~kSymEditEdited);
    Press(editor, {96, 192}, {{96, 150}, {96, 96}});  // the second end dragged onto the first
    EXPECT_EQ(line->points.point2.h, 192);
    EXPECT_EQ(GetSymbolEditorUndoKind(editor), 0);
    // A drag that stays makes a reshape that can be undone.
    Press(editor, {96, 192}, {{96, 240}});
    EXPECT_EQ(line->points.point2.h, 240);
    EXPECT_EQ(GetSymbolEditorUndoKind(editor), kSymUndoReshape);
}

TEST_F(SymCreate, APinResizedToNothingKeepsItsNumberAndName) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* pin = AddPin(editor, {96, 96}, {96, 144}, "IN", "3");
    pin->flags |= kElementSelected;
    PrepSymbolEditorSelection(editor);
    Press(editor, {96, 144}, {{96, 120}, {96, 96}});
    EXPECT_EQ(pin->points.point2.h, 144);
    EXPECT_EQ(PinNumber(editor, pin), "3");
    EXPECT_EQ(PinName(editor, pin), "IN");
}

TEST_F(SymCreate, CutThenPasteGoesBackThenOneStepOn) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    box->flags |= kElementSelected;
    ASSERT_EQ(CutSymbolEditorSelection(editor), status::kNoErr);
    EXPECT_TRUE(All(editor).empty());
    PasteIntoSymbolEditor(editor, kSymUndoPaste);
    ASSERT_EQ(All(editor).size(), 1u);
    EXPECT_EQ(All(editor)[0]->rect.top, 96);
    PasteIntoSymbolEditor(editor, kSymUndoPaste);
    ASSERT_EQ(All(editor).size(), 2u);
    EXPECT_EQ(All(editor)[0]->rect.top, 96 + CalcPasteOffsetStep(editor->grid));
}

// A Cut whose copy cannot be made (no memory for the clip) says so and deletes nothing; the clip
// holds nothing that a paste could mistake for the selection.
TEST_F(SymCreate, ACutWhoseCopyFailsLeavesTheSelection) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    box->flags |= kElementSelected;
    ASSERT_EQ(CopySymbolEditorSelection(editor), status::kNoErr);  // the clip record exists
    MemPool full = CreatePool(4096);
    ASSERT_NE(full, nullptr);
    MemPoolInfoRecord info{};
    ASSERT_TRUE(MemPoolInfo(full, nullptr, &info));
    (void)MemPoolSetCeiling(full, info.totalBytes);  // the pool can take nothing more
    const uint16_t undo = GetSymbolEditorUndoKind(editor);
    const MemPool current = gCurrentPool;
    gCurrentPool = full;
    const OSStatus cut = CutSymbolEditorSelection(editor);
    gCurrentPool = current;
    EXPECT_EQ(cut, status::kOutOfMemory);
    ASSERT_EQ(All(editor).size(), 1u);
    EXPECT_EQ(All(editor)[0], box);
    EXPECT_TRUE(box->flags & kElementSelected);
    EXPECT_FALSE(SymbolClipHoldsItems());
    EXPECT_EQ(GetSymbolEditorUndoKind(editor), undo);  // no Cut to undo
    EXPECT_TRUE(MemPoolFree(full));
}

TEST_F(SymCreate, DeletingInTheAlternateDrawingLeavesItsPins) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    SetSymbolViewContext(editor, 1);
    AddRect(editor, {96, 96}, {120, 144});
    AddPin(editor, {108, 72}, {108, 96}, "A", "1");
    for (ElementRecord* e : All(editor)) e->flags |= kElementSelected;
    DeleteSymbolEditorSelection(editor, false, kSymUndoDelete);
    ASSERT_EQ(All(editor).size(), 1u);
    EXPECT_EQ(All(editor)[0]->kind, kElementNode);
}

TEST_F(SymCreate, DuplicateLeavesTheClipAndThePasteOfTheEditorsOwnCopy) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* pin = AddPin(editor, {108, 72}, {108, 96}, "A", "1");
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    pin->flags |= kElementSelected;
    ASSERT_EQ(CopySymbolEditorSelection(editor), status::kNoErr);
    const uint32_t clip = SymbolClipId();
    DeleteSymbolEditorSelection(editor, false, kSymUndoDelete);
    box->flags |= kElementSelected;
    DuplicateSymbolEditorSelection(editor);
    EXPECT_EQ(SymbolClipId(), clip);
    EXPECT_EQ(editor->lastClipId, clip);
    ClearSymbolEditorSelection(editor);
    // The pin comes back from the editor's own copy with the link it had.
    PasteIntoSymbolEditor(editor, kSymUndoPaste);
    std::vector<ElementRecord*> pins;
    for (ElementRecord* e : All(editor))
        if (e->kind == kElementNode) pins.push_back(e);
    ASSERT_EQ(pins.size(), 1u);
    EXPECT_EQ(ElementAs<NodeElement>(pins[0])->serial, 0);
    EXPECT_EQ(PinNumber(editor, pins[0]), "1");  // no other pin has it
}

TEST_F(SymCreate, AnAreaWithOptionSelectsOnlyTextsThatShow) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    ElementRecord* pin = AddPin(editor, {108, 72}, {108, 96}, "A", "1");
    TextRecord* shown = AddPinText(editor, pin, kTextKindPinName, {100, 100});
    TextRecord* hidden = AddPinText(editor, pin, kTextKindPinNumber, {110, 100});
    hidden->flags |= kTextFlagHidden;
    DoEditorAreaSelection(editor, Rect{0, 0, 400, 400}, false, true);
    EXPECT_FALSE(box->flags & kElementSelected);
    EXPECT_TRUE(shown->flags & kTextFlagSelected);
    EXPECT_FALSE(hidden->flags & kTextFlagSelected);
}

TEST_F(SymCreate, APinDragCancelledInThePinDialogLeavesTheSymbol) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    const int16_t links = editor->linkedPinCount;
    editor->state &= uint16_t(~kSymEditEdited);
    editor->tool = kSymEditToolPin;
    Press(editor, {96, 96}, {{96, 120}, {96, 144}});
    EXPECT_TRUE(All(editor).empty());  // the dialog is not there: as cancelled
    EXPECT_EQ(editor->linkedPinCount, links);
    EXPECT_FALSE(editor->state & kSymEditEdited);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(SymCreate, TheArcsEndDraggedOntoItsStartMakesAWholeTurn) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* arc = BuildCommonElement(kElementArc, {96, 96}, {192, 192}, 1, 0, 90, false, false, 0, false, 0, false);
    LLAppend(editor->elements, arc);
    arc->flags |= kElementSelected | 2;  // picked for reshaping: the angle handles
    PrepSymbolEditorSelection(editor);
    EditorModifiers m;
    CalcEditorModifiers(editor, &m);
    const Point start = m.fixed[12], end = m.fixed[13];
    ASSERT_NE(start.v, -32768);
    editor->gridLock = false;
    Press(editor, end, {Point{int16_t((start.v + end.v) / 2), int16_t((start.h + end.h) / 2)}, start});
    EXPECT_EQ(ElementAs<ArcElement>(arc)->startAngle, 0);
    EXPECT_EQ(ElementAs<ArcElement>(arc)->arcAngle, 360);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(SymCreate, AClickWithTheSelectToolIsWhereTheNextPasteGoes) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    box->flags |= kElementSelected;
    ASSERT_EQ(CopySymbolEditorSelection(editor), status::kNoErr);
    Press(editor, {301, 250});  // (v, h) on nothing: the point snapped to the grid of 12
    PasteIntoSymbolEditor(editor, kSymUndoPaste);
    ASSERT_EQ(All(editor).size(), 2u);
    EXPECT_EQ(All(editor)[0]->rect.top, 300);
    EXPECT_EQ(All(editor)[0]->rect.left, 252);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(SymCreate, APinDeletedWhileItsCompanionIsInTheOtherDrawingLeavesNothingBehind) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {96, 96}, {120, 144});
    ElementRecord* pin = AddPin(editor, {108, 72}, {108, 96}, "IN", "1");
    SetSymbolViewContext(editor, 1);  // an alternate drawing: it gets the pin's companion
    AddRect(editor, {96, 96}, {130, 150});
    SetSymbolViewContext(editor, 0);
    SetSymbolViewContext(editor, 1);
    ASSERT_EQ(CountSymbolEditorNodes(editor), 1);
    SetSymbolViewContext(editor, 0);
    pin->flags |= kElementSelected;
    DeleteSymbolEditorSelection(editor, false, kSymUndoDelete);
    SetEditModified(editor, true);  // the undo action goes, and the pin with it
    SetSymbolViewContext(editor, 1);
    EXPECT_EQ(CountSymbolEditorNodes(editor), 0);
    EXPECT_TRUE(FlushSymbolEditor(editor, false));
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(SymCreate, AFramesSizeHandleRewrapsItAsOneUndoableStep) {
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    TextFrameHandle frame = AddFrame(editor, "One two three four", {120, 96});
    (*frame)->flags |= kFrameFlagSelected;
    PrepSymbolEditorSelection(editor);
    ASSERT_EQ(editor->selectedFrame, frame);
    const Rect before = (*frame)->bounds;
    EditorModifiers m;
    CalcEditorModifiers(editor, &m);
    const Point size = m.fixed[kFrameSizeModifier];
    ASSERT_NE(size.v, -32768);
    editor->gridLock = false;
    Press(editor, size, {Point{size.v, int16_t(size.h - 20)}, Point{size.v, int16_t(size.h - 70)}});
    EXPECT_EQ(GetSymbolEditorUndoKind(editor), kSymUndoResize);
    EXPECT_LT((*frame)->bounds.right, before.right);  // narrower, on more lines
    EXPECT_GT((*frame)->bounds.bottom, before.bottom);
    EXPECT_TRUE((*frame)->flags & kFrameFlagSelected);
}

}  // namespace
}  // namespace plexa::test
