// Drawing in a scrolled window: what is drawn, what is invalidated and what counts as visible
// follow the panel's scroll; resizing a divided child moves the divider in the parent's panels.
#include <string>

#include "graphics/colors.h"
#include "graphics/render.h"
#include "platform/pixels_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/panels_fixture.h"

namespace plexa::test {
namespace {

using ScrollDraw = PanelsTest;

// The mark: a square at a document point, in a colour the test chooses.
constexpr int32_t kMarkH = 200, kMarkV = 150, kMarkSize = 12;
constexpr int32_t kViewWidth = 384, kViewHeight = 284;  // the fixture's content view
VXColor gMarkColor = 0x000000;
LRect gLastUpdate{};

int32_t DrawsTheMark(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind != kVXUpdateEvent) return 0;
    const VXLongRect& r = event->u.update.longRect;
    gLastUpdate = {r.top, r.left, r.bottom, r.right};
    QZPort* port = QZGetCurrentPort();
    QZSetColor(port, gMarkColor, false);
    QZFillRectangle(port, {kMarkH, kMarkV, kMarkSize, kMarkSize}, false);
    return 1;
}

struct Mark {
    int32_t h = -1, v = -1;
    uint32_t rgb = 0;
};

// The top-left pixel of the window's content view that is not white, and its colour, read from
// the window's grabbed image (below its menu bar).
Mark FindMark(VXWindowRecordTag* window) {
    const TempDir dir;
    const std::string path = dir.path() + "/grab.png";
    PlatformDecodedImage image;
    if (!PlatformWindowGrabPNG(window->platformWindow, path) ||
        !PlatformDecodeImageFile(path, &image))
        return {};
    const int32_t top = PlatformMenuBarHeight(window->platformWindow);
    for (int32_t y = 0; y < kViewHeight && top + y < image.height; ++y)
        for (int32_t x = 0; x < kViewWidth && x < image.width; ++x) {
            const uint32_t pixel = image.argb[size_t(top + y) * size_t(image.width) + size_t(x)];
            if ((pixel & 0xFFFFFF) != 0xFFFFFF) return {x, y, pixel & 0xFFFFFF};
        }
    return {};
}

std::string Str(const LRect& r) {
    return "{" + std::to_string(r.top) + " " + std::to_string(r.left) + " " +
           std::to_string(r.bottom) + " " + std::to_string(r.right) + "}";
}

bool Same(const LRect& a, const LRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

void Scroll(VXWindowRecordTag* window, uint8_t part, uint8_t axis, int32_t amount = 0,
            int32_t value2 = 0) {
    VXEventRecord event = VXClearedEvent(kVXScrollEvent);
    event.u.scroll.part = part;
    event.u.scroll.axis = axis;
    event.u.scroll.amount = amount;
    event.u.scroll.value2 = value2;
    DispatchEvent(window, &event);
}

TEST_F(ScrollDraw, TheDrawingMovesByExactlyTheScroll) {
    gMarkColor = 0x000000;
    VXWindowRecordTag* window = Scrolling(DrawsTheMark);
    ASSERT_NE(window, nullptr);
    VXSetPadSize(window, 2000, 1500, true);
    VXShowWindow(window);
    const Mark start = FindMark(window);
    EXPECT_EQ(start.h, kMarkH);
    EXPECT_EQ(start.v, kMarkV);
    struct Case {
        const char* how;
        void (*scroll)(VXWindowRecordTag*);
        int32_t h, v;  // the scroll origin afterwards
    };
    const Case cases[] = {
        {"scroll to", [](VXWindowRecordTag* w) { VXScrollTo(w, 50, 30); }, 50, 30},
        {"line down", [](VXWindowRecordTag* w) { Scroll(w, 1, 0); }, 50, 62},
        {"line left", [](VXWindowRecordTag* w) { Scroll(w, 0, 1); }, 18, 62},
        {"wheel", [](VXWindowRecordTag* w) { Scroll(w, 7, 0, 40, 100); }, 118, 102},
        {"knob", [](VXWindowRecordTag* w) { Scroll(w, 5, 0, 90, 102); }, 118, 90},
        {"beyond the start", [](VXWindowRecordTag* w) { VXScrollTo(w, -5, -5); }, 0, 0},
    };
    for (const Case& c : cases) {
        c.scroll(window);
        const LRect view = {c.v, c.h, c.v + kViewHeight, c.h + kViewWidth};
        LRect got{};
        VXLGetViewRect(window, &got);
        EXPECT_TRUE(Same(got, view)) << c.how << " " << Str(got);
        // The whole view was drawn again, and the handler heard of it in document coordinates.
        EXPECT_TRUE(Same(gLastUpdate, view)) << c.how << " " << Str(gLastUpdate);
        const Mark at = FindMark(window);
        EXPECT_EQ(at.h, kMarkH - c.h) << c.how;
        EXPECT_EQ(at.v, kMarkV - c.v) << c.how;
    }
    // A document rectangle invalidated in a scrolled window is drawn again where it shows.
    VXScrollTo(window, 120, 100);
    gMarkColor = 0xFF0000;
    const LRect mark = {kMarkV, kMarkH, kMarkV + kMarkSize, kMarkH + kMarkSize};
    VXLInvalRect(window, &mark);
    const Mark red = FindMark(window);
    EXPECT_EQ(red.h, kMarkH - 120);
    EXPECT_EQ(red.v, kMarkV - 100);
    EXPECT_EQ(red.rgb, 0xFF0000u);
    EXPECT_TRUE(Same(gLastUpdate, {kMarkV, kMarkH, kMarkV + kMarkSize, kMarkH + kMarkSize}))
        << Str(gLastUpdate);
}

TEST_F(ScrollDraw, TheOverlayScrollsWithTheContent) {
    VXWindowRecordTag* window = Scrolling();
    VXSetPadSize(window, 2000, 1500, true);
    VXShowWindow(window);
    VXScrollTo(window, 50, 30);
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, [](VXWindowRecordTag*, void*) {
        QZPort* port = QZGetCurrentPort();
        QZSetColor(port, 0x0000FF, false);
        QZFillRectangle(port, {kMarkH, kMarkV, kMarkSize, kMarkSize}, false);
    }, nullptr);
    const Mark at = FindMark(window);
    EXPECT_EQ(at.h, kMarkH - 50);
    EXPECT_EQ(at.v, kMarkV - 30);
    EXPECT_EQ(at.rgb, 0x0000FFu);
    VXEndOverlay(window);
}

TEST_F(ScrollDraw, WhatIsInViewFollowsTheScroll) {
    VXWindowRecordTag* window = Scrolling();
    VXSetPadSize(window, 2000, 1500, true);
    VXScrollTo(window, 500, 400);
    const int32_t right = 500 + kViewWidth, bottom = 400 + kViewHeight;
    struct Case {
        LRect rect;
        bool inView;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, false},                               // scrolled out
        {{390, 490, 401, 501}, true},                          // the top-left pixel
        {{390, 490, 400, 500}, false},                         // touches the corner only
        {{bottom - 1, right - 1, bottom + 9, right + 9}, true}, // the bottom-right pixel
        {{bottom, right, bottom + 9, right + 9}, false},
        {{0, 600, 2000, 601}, true},                           // a column across the view
    };
    for (const Case& c : cases)
        EXPECT_EQ(VXIsRectInView(window, &c.rect), c.inView) << Str(c.rect);
    // A window at twice the size shows half as much of the document.
    VXSetScalePercent(window, 200, 200);
    LRect view{};
    VXLGetViewRect(window, &view);
    EXPECT_EQ(view.right - view.left, kViewWidth / 2) << Str(view);
    EXPECT_EQ(view.bottom - view.top, kViewHeight / 2) << Str(view);
}

TEST_F(ScrollDraw, ResizingADividedChildShrinksItsNeighbours) {
    // The parent's content is 400 x 300 without scroll bars; two strips are divided off at the
    // top (a first, then b below it) or at the left.
    for (int16_t side : {int16_t(0), int16_t(1)}) {
        VXWindowRecordTag* parent = Scrolling(nullptr, 0);
        VXWindowRecordTag* a = VXCreateDividedChildWindow(nullptr, 0, 0, parent, 40, side,
                                                          nullptr, nullptr);
        ASSERT_NE(a, nullptr);
        VXPanelRecordTag* main = VXGetWindowPanel(parent);
        VXPanelRecordTag* first = VXGetWindowPanel(a);
        VXWindowRecordTag* b = VXCreateDividedChildWindow(nullptr, 0, 0, parent, 30, side,
                                                          nullptr, nullptr);
        ASSERT_NE(b, nullptr);
        VXPanelRecordTag* second = VXGetWindowPanel(b);
        ASSERT_TRUE(main && first && second);
        const int32_t extent = side == 0 ? 300 : 400;
        const auto along = [side](const XRect& r) { return side == 0 ? r.height : r.width; };
        const auto at = [side](const XRect& r) { return side == 0 ? r.y : r.x; };
        struct Step {
            int16_t size;
            int32_t result;
            double first;
        };
        // Growing, shrinking, the same size again, and more than the neighbours can give: all
        // of the main panel, passed on through b.
        const Step steps[] = {{60, 1, 60}, {20, 1, 20}, {20, 1, 20}, {1000, 1, extent - 32.0}};
        for (const Step& s : steps) {
            EXPECT_EQ(VXResizeDividedChildWindow(a, s.size), s.result) << side << " " << s.size;
            EXPECT_EQ(along(first->structFrame), s.first) << side << " " << s.size;
            // b keeps its size below (or right of) a's divider, the main panel takes the rest.
            EXPECT_EQ(at(second->structFrame), s.first + 1) << side << " " << s.size;
            EXPECT_EQ(along(second->structFrame), 30) << side << " " << s.size;
            EXPECT_EQ(at(main->structFrame), s.first + 32) << side << " " << s.size;
            EXPECT_EQ(along(main->structFrame), extent - s.first - 32) << side << " " << s.size;
            // The children's views are where their panels are.
            Rect pa, pb;
            VXGetWindowPosition(a, &pa);
            VXGetWindowPosition(b, &pb);
            EXPECT_EQ(side == 0 ? pa.bottom - pa.top : pa.right - pa.left, s.first);
            EXPECT_EQ(side == 0 ? pb.top : pb.left, s.first + 1) << side << " " << s.size;
            EXPECT_EQ(side == 0 ? pb.bottom - pb.top : pb.right - pb.left, 30);
        }
        VXDestroyWindow(parent);
    }
}

}  // namespace
}  // namespace plexa::test
