// In-place editing of text frames: the record laid over a frame, the display frame and grow
// handle, the cases in which typing grows the box and those in which it does not, and the frame
// a grow drag shows.
#include <gtest/gtest.h>

#include <string>

#include "graphics/offscreen.h"
#include "graphics/textedit.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/tests/model_fixture.h"
#include "sheeteditor/textframeedit.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

std::string LRectText(const LRect& r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) + "," +
           std::to_string(r.right) + ")";
}

class FrameEdit : public ModelTest {
protected:
    // The toolkit's core and windows over the core's start-up, and an off-screen window that the
    // editors are made in.
    void SetUp() override {
        ModelTest::SetUp();
        static const bool started = [] {
            VXCoreInit();
            VXInitWindows();
            return true;
        }();
        ASSERT_TRUE(started);
        VXWindowRecordTag* previous = vx.currentWindow;
        window = VXCreateOffScreenWindow(nullptr, 0, nullptr);
        VXSetWindow(previous);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (te) VXTEDispose(te);
        if (frame) DestroyTextFrame(frame);
        VXDestroyWindow(window);
        ModelTest::TearDown();
    }

    // A frame at (100, 200) of the text, its bounds computed, and an editor over it.
    VXTERecord* Edit(const char* text, uint16_t flags = 0) {
        frame = CreateTextFrame(text, -1, kEncodingUTF8);
        EXPECT_TRUE(frame);
        InstallStyleInFrame(frame, gDefaultStyle, 0xFFFFFFFF, sheet.styleList);
        (*frame)->flags = flags;
        (*frame)->position = {100, 200};
        CalcTextFrameBounds(nullptr, frame, true, 300);
        te = CreateTextFrameEditor(window, frame);
        EXPECT_TRUE(te);
        return te;
    }

    void Type(const char* keys) {
        for (const char* k = keys; *k; ++k) ApplyTEKey(te, uint16_t(uint8_t(*k)));
    }

    TextFrameHandle frame = nullptr;
    VXTERecord* te = nullptr;
    VXWindowRecordTag* window = nullptr;
};

TEST_F(FrameEdit, TheRecordLiesOverTheFrame) {
    Edit("Hello");
    const Rect b = (*frame)->bounds;
    EXPECT_EQ(LRectText(te->viewRect), LRectText({b.top + 2, b.left + 2, b.bottom - 2, b.right - 3 + 3}));
    // One line, left-aligned: no wrapping.
    EXPECT_EQ(te->destRect.right, 32767);
    EXPECT_EQ(te->destRect.left, te->viewRect.left);
    EXPECT_EQ(te->length, 5u);
    EXPECT_TRUE(te->active);
    EXPECT_EQ(te->tabWidth, kTextFrameEditTabWidth);
    EXPECT_EQ(te->just, kTEJustLeft);
    LRect display, handle;
    CalcTEDisplayFrame(te, &display);
    EXPECT_EQ(LRectText(display),
              LRectText({te->viewRect.top - 2, te->viewRect.left - 2, te->viewRect.bottom + 2, te->viewRect.right + 2}));
    CalcTEGrowHandle(te, &handle);
    const int32_t size = CalcModiferBoxSize(&te->window->geometry);
    EXPECT_EQ(handle.bottom - handle.top, size);
    EXPECT_EQ(handle.right - handle.left, size);
    EXPECT_EQ(handle.top, display.bottom - size / 2);
    EXPECT_EQ(handle.left, display.right - size / 2);
}

TEST_F(FrameEdit, RightAlignedAndManyLinedFramesWrapAtTheirWidth) {
    Edit("Right", kFrameFlagRightAligned);
    EXPECT_EQ(te->just, kTEJustRight);
    EXPECT_EQ(te->destRect.right, te->viewRect.right - 3);
    VXTEDispose(te);
    DestroyTextFrame(frame);
    Edit("one\ntwo");
    EXPECT_EQ(te->destRect.right, te->viewRect.right - 3);
    EXPECT_EQ(te->length, 7u);
}

TEST_F(FrameEdit, TypingGrowsTheBoxOnlyPastItsEdges) {
    Edit("A");
    VXTESetSelect(1, 1, te);
    const LRect start = te->viewRect;
    // Typing past the right edge widens it to the text and the caret, plus 3.
    Type("BCDEFGH");
    EXPECT_GT(te->viewRect.right, start.right);
    EXPECT_EQ(te->viewRect.bottom, start.bottom);
    _LPNT caret{};
    VXLTEGetPoint(int32_t(te->selStart), &caret, te);
    EXPECT_GE(te->viewRect.right, caret.h + 3);
    // A new line deepens it.
    const LRect wide = te->viewRect;
    Type("\r");
    EXPECT_GT(te->viewRect.bottom, wide.bottom);
    EXPECT_EQ(te->viewRect.right, wide.right);
    // Typing inside what the box holds, deleting, and a selection never grow it.
    const LRect deep = te->viewRect;
    Type("x");
    EXPECT_EQ(LRectText(te->viewRect), LRectText(deep));
    VXTESetSelect(0, 0, te);
    Type("\b");  // at the start: nothing deleted, nothing grows
    ApplyTEKey(te, kTEKeyBackspace);
    EXPECT_EQ(LRectText(te->viewRect), LRectText(deep));
    VXTESetSelect(0, 3, te);
    ApplyTEKey(te, 0);
    EXPECT_EQ(LRectText(te->viewRect), LRectText(deep));
    // An edit that stays empty: nothing.
    VXTESetSelect(0, int32_t(te->length), te);
    ApplyTEKey(te, kTEKeyBackspace);
    EXPECT_EQ(te->length, 0u);
    ApplyTEKey(te, kTEKeyBackspace);
    EXPECT_EQ(LRectText(te->viewRect), LRectText(deep));
}

TEST_F(FrameEdit, AGrowDragNeverMakesTheFrameSmallerThanNineByNine) {
    const LRect frame{100, 200, 140, 300};
    struct Case {
        _LPNT point;
        LRect expected;
    };
    const Case cases[] = {
        {{160, 350}, {100, 200, 160, 350}},
        {{101, 201}, {100, 200, 109, 209}},
        {{50, 150}, {100, 200, 109, 209}},
        {{105, 400}, {100, 200, 109, 400}},
        {{300, 205}, {100, 200, 300, 209}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LRectText(TEGrowFrameForPoint(frame, c.point)), LRectText(c.expected));
}

TEST_F(FrameEdit, DrawingTheFrameKeepsThePen) {
    Edit("Hello");
    VXGrafStateScope scope(&window->graf);
    VXSetPenWidth(3);
    VXPenState before{}, after{};
    VXGetPenState(&before);
    FrameEditTE(te);
    VXGetPenState(&after);
    EXPECT_EQ(after.penSize, before.penSize);
    EXPECT_EQ(after.drawMode, before.drawMode);
    VXPenNormal();
}

int32_t PlainWindow(VXWindowRecordTag*, VXEventRecord*) { return 0; }

TEST_F(FrameEdit, DraggingTheGrowHandleResizesTheRecord) {
    VXInstallInputSink();
    VXInstallTextEditHooks();
    Rect content{100, 100, 400, 500};
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable, kSheetWindowKind, 0, 0,
                                               &content, "sheet", 0, nullptr, PlainWindow);
    ASSERT_TRUE(window);
    frame = CreateTextFrame("Hello", -1, kEncodingUTF8);
    InstallStyleInFrame(frame, gDefaultStyle, 0xFFFFFFFF, sheet.styleList);
    (*frame)->position = {100, 200};
    CalcTextFrameBounds(nullptr, frame, true, 300);
    te = CreateTextFrameEditor(window, frame);
    ASSERT_TRUE(te);
    LRect display;
    CalcTEDisplayFrame(te, &display);
    const auto input = [&](PlatformInputKind kind, int32_t h, int32_t v) {
        return MouseInput(kind, window, h, v);
    };
    // Dragged up and left past the frame's corner: the smallest frame, 9 by 9.
    TestQueueInput(input(PlatformInputKind::kMouseDragged, display.right + 20, display.bottom + 20));
    TestQueueInput(input(PlatformInputKind::kMouseDragged, display.left + 3, display.top + 1));
    TestQueueInput(input(PlatformInputKind::kMouseUp, display.left + 3, display.top + 1));
    PlatformDeliverInput(input(PlatformInputKind::kMouseDown, display.right, display.bottom));
    EXPECT_TRUE(TrackTEGrowBox(te, nullptr));
    EXPECT_EQ(LRectText(te->viewRect),
              LRectText({display.top + 2, display.left + 2, display.top + 7, display.left + 7}));
    EXPECT_EQ(LRectText(te->destRect), LRectText(te->viewRect));
    EXPECT_EQ(window->overlayProc, nullptr);
    // A click that does not move past the slop leaves the record as it is.
    const LRect before = te->viewRect;
    CalcTEDisplayFrame(te, &display);
    TestQueueInput(input(PlatformInputKind::kMouseUp, display.right, display.bottom));
    PlatformDeliverInput(input(PlatformInputKind::kMouseDown, display.right, display.bottom));
    EXPECT_FALSE(TrackTEGrowBox(te, nullptr));
    EXPECT_EQ(LRectText(te->viewRect), LRectText(before));
    VXTEDispose(te);
    te = nullptr;
    VXDestroyWindow(window);
}

}  // namespace
}  // namespace plexa::test
