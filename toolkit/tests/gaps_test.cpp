// Where the windows, events, panels and display lists meet: captures end with their window,
// platform input becomes toolkit events as the panes allow, panel rectangles, divided children.
#include <cmath>
#include <vector>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/displaylist.h"
#include "platform/input_platform.h"
#include "platform/window_platform.h"
#include "toolkit/tests/panels_fixture.h"

namespace plexa::test {
namespace {

using Gaps = PanelsTest;

std::vector<VXEventRecord>& Seen() {
    static std::vector<VXEventRecord> seen;
    return seen;
}

int32_t Record(VXWindowRecordTag*, VXEventRecord* event) {
    Seen().push_back(*event);
    return event->kind == kVXMouseDownEvent || event->kind == kVXDoubleClickEvent ||
           event->kind == kVXWheelEvent;
}

std::vector<VXEventRecord> SeenOf(uint8_t kind) {
    std::vector<VXEventRecord> out;
    for (const VXEventRecord& e : Seen())
        if (e.kind == kind) out.push_back(e);
    return out;
}

TEST_F(Gaps, ReleasingAWindowEndsItsCapture) {
    // A list of the window's own: dropped with the window (nothing leaks).
    VXWindowRecordTag* window = Scrolling();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(VXOpenDisplayList(&window->graf, nullptr, {0, 0}, 0));
    VXDestroyWindow(window);

    // A caller's stream: the capture is ended (its end record written), the stream stays.
    window = Scrolling();
    Handle handle = AllocHandle(nullptr, 0);
    ASSERT_NE(handle, nullptr);
    StreamRecord* stream = nullptr;
    ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream), status::kNoErr);
    ASSERT_EQ(VXCaptureDisplayListStream(&window->graf, {0, 0}, 0, stream), status::kNoErr);
    const int32_t opened = GetStreamPosition(stream);
    VXDestroyWindow(window);
    EXPECT_GT(GetStreamPosition(stream), opened);
    DisposeStream(stream);
    MemFree(handle);
}

TEST_F(Gaps, ClicksCountTwiceOnlyCloseToTheFirst) {
    Seen().clear();
    VXWindowRecordTag* window = Scrolling(Record);
    ASSERT_NE(window, nullptr);
    struct Case {
        int32_t x, y;
        uint16_t clicks;
        uint8_t kind;
    };
    const Case cases[] = {
        {100, 100, 1, kVXMouseDownEvent},
        {103, 97, 2, kVXDoubleClickEvent},   // 3 units away
        {107, 97, 2, kVXMouseDownEvent},     // 4 units away from the click before
        {107, 101, 2, kVXMouseDownEvent},
    };
    for (const Case& c : cases) {
        PlatformInputEvent down = MouseInput(PlatformInputKind::kMouseDown, window, c.x, c.y);
        down.clickCount = c.clicks;
        Seen().clear();
        PlatformDeliverInput(down);
        std::vector<VXEventRecord> clicks = SeenOf(c.kind);
        ASSERT_EQ(clicks.size(), 1u) << c.x << "," << c.y;
        EXPECT_EQ(clicks[0].u.mouse.longH, c.x);
        EXPECT_EQ(clicks[0].u.mouse.longV, c.y);
    }
}

TEST_F(Gaps, HeaderStripClicksNeedThePanelsConsent) {
    Seen().clear();
    VXWindowRecordTag* window = Scrolling(Record);
    ASSERT_NE(window, nullptr);
    VXSetAltSize(window, 40, 24);
    VXSetAltView(window, -1);
    const auto click = [&](int32_t x, int32_t y) {
        Seen().clear();
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, x, y));
        return SeenOf(kVXMouseDownEvent).size();
    };
    EXPECT_EQ(click(200, 10), 0u);  // top strip
    EXPECT_EQ(click(10, 200), 0u);  // left strip
    EXPECT_EQ(window->graf.geometry.pane, -1);
    EXPECT_EQ(click(200, 200), 1u);
    VXGetWindowPanel(window)->flags |= kVXPanelAltPaneClicks;
    EXPECT_EQ(click(200, 10), 1u);
    EXPECT_EQ(window->graf.geometry.pane, 0);
}

TEST_F(Gaps, WheelTurnsScaleAndNothingIsSentForNothing) {
    Seen().clear();
    VXWindowRecordTag* window = Scrolling(Record);
    ASSERT_NE(window, nullptr);
    const int32_t line = VXGetWindowPanel(window)->lineIncrement;
    const int32_t step = line != 0 ? line : 32;
    struct Case {
        double v, h;
        uint8_t lines;
        int32_t sent;  // -1: no event
        int32_t sentH;
    };
    const Case cases[] = {
        {0.4, 0, 0, -1, 0},                      // 0.46 rounds to nothing
        {-0.3, 0.2, 0, -1, 0},
        {10, 0, 0, 12, 0},                       // precise: 11.5
        {0, -2, 0, 0, -2},
        {1, 0, 1, step, 0},                      // a wheel line is the panel's line step
        {0.01, 0, 1, -1, 0},
    };
    for (const Case& c : cases) {
        PlatformInputEvent wheel = MouseInput(PlatformInputKind::kWheel, window, 100, 100);
        wheel.wheelDeltaV = c.v;
        wheel.wheelDeltaH = c.h;
        wheel.wheelLines = c.lines;
        Seen().clear();
        PlatformDeliverInput(wheel);
        std::vector<VXEventRecord> wheels = SeenOf(kVXWheelEvent);
        if (c.sent < 0) {
            EXPECT_TRUE(wheels.empty()) << c.v;
            continue;
        }
        ASSERT_EQ(wheels.size(), 1u) << c.v;
        EXPECT_EQ(wheels[0].u.wheel.deltaV, c.sent);
        EXPECT_EQ(wheels[0].u.wheel.deltaH, c.sentH);
    }
}

TEST_F(Gaps, PanelRectanglesAndTheSizeEvent) {
    Seen().clear();
    VXWindowRecordTag* window = Scrolling(Record);
    ASSERT_NE(window, nullptr);
    Rect r;
    VXGetPanelStructRect(window, &r);
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom, r.right}),
              (std::vector<int>{0, 0, 300, 400}));
    VXGetPanelContentRect(window, &r);
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom, r.right}),
              (std::vector<int>{0, 0, 284, 384}));
    // The size event tells the content view's size, without the scroll bars.
    std::vector<VXEventRecord> sizes = SeenOf(kVXSizeEvent);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().u.size.height, 284);
    EXPECT_EQ(sizes.back().u.size.width, 384);

    // Without a panel both are the client rectangle.
    VXWindowRecordTag* bare = VXCreateBareWindow(kVXWindowDocument, 0, nullptr, nullptr, nullptr);
    VXGetPanelContentRect(bare, &r);
    EXPECT_EQ((std::vector<int>{r.top, r.left, r.bottom, r.right}), (std::vector<int>{0, 0, 0, 0}));
    VXDestroyWindow(bare);
}

TEST_F(Gaps, ADividedChildStartsWhereItsPanelIs) {
    VXWindowRecordTag* parent = Scrolling(nullptr, 0);
    ASSERT_NE(parent, nullptr);
    for (int16_t side : {int16_t(0), int16_t(1)}) {
        Seen().clear();
        VXWindowRecordTag* first =
            VXCreateDividedChildWindow(nullptr, 0, 0, parent, 40, side, nullptr, Record);
        ASSERT_NE(first, nullptr);
        VXWindowRecordTag* second =
            VXCreateDividedChildWindow(nullptr, 0, 0, parent, 30, side, nullptr, Record);
        ASSERT_NE(second, nullptr);
        for (VXWindowRecordTag* child : {first, second}) {
            const XRect& f = VXGetWindowPanel(child)->structFrame;
            const PlatformRect view = PlatformWindowContentRect(child->platformWindow);
            EXPECT_EQ((std::vector<int>{view.x, view.y, view.width, view.height}),
                      (std::vector<int>{int(f.x), int(f.y), int(f.width), int(f.height)}))
                << "side " << side;
        }
        // Its size event already told the panel's size.
        std::vector<VXEventRecord> sizes = SeenOf(kVXSizeEvent);
        ASSERT_FALSE(sizes.empty());
        EXPECT_EQ(side == 0 ? sizes.back().u.size.height : sizes.back().u.size.width, 30);
        VXDestroyWindow(second);
        VXDestroyWindow(first);
    }
}

}  // namespace
}  // namespace plexa::test
