// The symbol editor's select tool: what a click hits, selecting by area, moving the selection.
#include "symboleditor/symselect.h"

#include <gtest/gtest.h>

#include "foundation/ll.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "model/elements.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "symboleditor/symwindow.h"
#include "symboleditor/tests/symwindow_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class SymSelect : public SymWindowTest {
protected:
    SymbolEditorRecord* Editor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"Gate"}), 0);
        EXPECT_NE(editor, nullptr);
        return editor;
    }
};

TEST_F(SymSelect, AClickNearAnOutlineHitsItsElement) {
    if (!VXGetPixelsHooks().createOffScreenWindow) GTEST_SKIP() << "no off-screen windows for pixel hit tests";
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {48, 48}, {88, 108});
    for (int16_t v : {46, 48, 51}) EXPECT_EQ(HitTestEditorElements(editor, Point{v, 78}), box) << v;
    EXPECT_EQ(HitTestEditorElements(editor, Point{68, 78}), nullptr);  // inside an unfilled box
    EXPECT_EQ(HitTestEditorElements(editor, Point{40, 78}), nullptr);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

SymbolTextOffsets gOffsets{};

TEST_F(SymSelect, OptionMovingOnePinNameTextSetsTheOffsetOfItsOrientationOnly) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"Gate"}), 0);
    ASSERT_NE(editor, nullptr);
    SymbolTextHooks hooks = GetSymbolTextHooks();
    const SymbolTextHooks saved = hooks;
    hooks.preferences = [] { return static_cast<const SymbolTextOffsets*>(&gOffsets); };
    SetSymbolTextHooks(hooks);
    ElementRecord* pin = AddPin(editor, {100, 50}, {100, 98}, "IN", "1");  // its end on the left
    ASSERT_EQ(Node_Orient(pin), 3);
    TextRecord* name = AddPinText(editor, pin, kTextKindPinName, {96, 102});
    name->flags |= kTextFlagSelected;
    TestSetKeyDown(58, true);
    EXPECT_TRUE(MoveEditorSelection(editor, 4, -2));
    TestSetKeyDown(58, false);
    const Point at = GetTextElementPosition(name);
    EXPECT_EQ(gOffsets.pinName[2].v, at.v - 100);
    EXPECT_EQ(gOffsets.pinName[2].h, at.h - 98);
    for (int i : {0, 1, 3}) EXPECT_EQ(gOffsets.pinName[i].h, 0) << i;
    for (const Point& p : gOffsets.pinNumber) EXPECT_EQ(p.h, 0);
    SetSymbolTextHooks(saved);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(SymSelect, AShiftClickOnASelectedElementDeselectsItAndAClickInPlaceChangesNothing) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"Gate"}), 0);
    ASSERT_NE(editor, nullptr);
    VXShowWindow(editor->window);
    ElementRecord* box = AddRect(editor, {96, 96}, {120, 144});
    ElementRecord* other = AddRect(editor, {196, 96}, {220, 144});
    editor->state &= uint16_t(~kSymEditEdited);
    VXEventRecord click = ClickAt(editor, {96, 120}, false);
    DoEditorElementSelection(editor, &click, box);  // selected, and a drag that goes nowhere
    EXPECT_TRUE(box->flags & kElementSelected);
    EXPECT_EQ(box->rect.top, 96);
    EXPECT_FALSE(editor->state & kSymEditEdited);
    VXEventRecord extend = ClickAt(editor, {196, 120}, true);
    DoEditorElementSelection(editor, &extend, other);
    EXPECT_TRUE(box->flags & kElementSelected);
    EXPECT_TRUE(other->flags & kElementSelected);
    VXEventRecord toggle = ClickAt(editor, {96, 120}, true);
    DoEditorElementSelection(editor, &toggle, box);
    EXPECT_FALSE(box->flags & kElementSelected);
    EXPECT_EQ(TestQueuedInputCount(), 1);  // no drag took the release
    TestResetPlatform();
}

}  // namespace
}  // namespace plexa::test
