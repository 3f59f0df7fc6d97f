// Panels: pane layout, dividing and giving the space back, size limits, the pad and its scroll
// bars, exposed strips, scroll events, revealing, autoscroll and the geometry hooks.
#include <cmath>

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "platform/panel_scrollers.h"
#include "toolkit/tests/panels_fixture.h"

namespace plexa::test {
namespace {

using Panels = PanelsTest;

bool Same(const XRect& a, const XRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::string Str(const XRect& r) {
    char text[96];
    std::snprintf(text, sizeof text, "{%g %g %g %g}", r.x, r.y, r.width, r.height);
    return text;
}

std::string Str(const LRect& r) {
    char text[96];
    std::snprintf(text, sizeof text, "{%d %d %d %d}", int(r.top), int(r.left), int(r.bottom),
                  int(r.right));
    return text;
}

VXWindowRecordTag* Divided(VXWindowRecordTag* parent, int16_t size, int16_t side) {
    return VXCreateDividedChildWindow(nullptr, 0, 0, parent, size, side, nullptr, nullptr);
}

TEST_F(Panels, PaneBoundsFollowHeadersAndOrigin) {
    VXWindowRecordTag* window = Scrolling();
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(Same(panel->contFrame, {0, 0, 384, 284})) << Str(panel->contFrame);
    SetPanelPadSize(panel, 2000, 2000);
    SetAlternatePaneSize(panel, 1, 30);
    SetAlternatePaneSize(panel, 0, 20);
    ScrollViewRelativeAmount(panel, 100, 50, true);
    struct Case {
        int32_t pane;
        bool unscrolled;
        XRect expected;
    };
    const Case cases[] = {
        {-1, false, {130, 70, 354, 264}}, {-1, true, {130, 70, 354, 264}},
        {0, false, {130, 50, 354, 20}},   {0, true, {130, 0, 354, 20}},
        {1, false, {100, 70, 30, 264}},   {1, true, {0, 70, 30, 264}},
        {2, false, {100, 50, 30, 20}},    {2, true, {0, 0, 30, 20}},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(Same(GetPaneBounds(panel, c.pane, c.unscrolled), c.expected))
            << c.pane << " " << c.unscrolled << " " << Str(GetPaneBounds(panel, c.pane, c.unscrolled));
    // In the window's content: the view's own coordinates.
    Rect base;
    VXGetPaneRectInBase(panel, -1, &base);
    EXPECT_EQ(base.top, 20);
    EXPECT_EQ(base.left, 30);
    EXPECT_EQ(base.bottom, 284);
    EXPECT_EQ(base.right, 384);
    // The geometry layer reads the scrolled origin through its hook.
    _LPNT origin{};
    VXGetOrigin(&window->graf, &origin);
    EXPECT_EQ(origin.h, 100);
    EXPECT_EQ(origin.v, 50);
    // Headers larger than the view leave empty panes, never negative ones.
    SetAlternatePaneSize(panel, 0, 1000);
    EXPECT_EQ(panel->paneBounds.height, 0);
    EXPECT_EQ(panel->altPanes[0].height, 284);
}

TEST_F(Panels, DividingAndGivingTheSpaceBack) {
    VXWindowRecordTag* window = Scrolling(nullptr, 0);
    VXPanelRecordTag* main = VXGetWindowPanel(window);
    ASSERT_NE(main, nullptr);
    VXWindowRecordTag* topChild = Divided(window, 50, 0);
    VXPanelRecordTag* top = VXGetWindowPanel(topChild);
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(Same(top->structFrame, {0, 0, 400, 50})) << Str(top->structFrame);
    EXPECT_TRUE(Same(main->structFrame, {0, 51, 400, 249})) << Str(main->structFrame);
    EXPECT_EQ(main->adjacent[0], top);
    EXPECT_EQ(VXGetAdjacentPanel(top, 0), main);
    EXPECT_EQ(main->next, top);

    VXWindowRecordTag* leftChild = Divided(window, 80, 1);
    VXPanelRecordTag* left = VXGetWindowPanel(leftChild);
    ASSERT_NE(left, nullptr);
    EXPECT_TRUE(Same(left->structFrame, {0, 51, 80, 249})) << Str(left->structFrame);
    EXPECT_TRUE(Same(main->structFrame, {81, 51, 319, 249})) << Str(main->structFrame);
    EXPECT_EQ(left->adjacent[0], top);  // inherited from the panel it split off
    EXPECT_EQ(main->adjacent[1], left);

    // Moving the divider moves both panels below it; it stops where they have no room left.
    EXPECT_EQ(VXSetDividedPanelSize(top, 70), 1);
    EXPECT_TRUE(Same(main->structFrame, {81, 71, 319, 229})) << Str(main->structFrame);
    EXPECT_TRUE(Same(left->structFrame, {0, 71, 80, 229})) << Str(left->structFrame);
    EXPECT_EQ(VXSetDividedPanelSize(top, 1000), 1);
    EXPECT_EQ(top->structFrame.height, 299);
    EXPECT_EQ(main->structFrame.height, 0);
    EXPECT_EQ(VXSetDividedPanelSize(top, 50), 1);
    EXPECT_TRUE(Same(main->structFrame, {81, 51, 319, 249})) << Str(main->structFrame);

    // The panel above goes: both panels below it take its space and the divider, and no link to
    // it is left behind.
    VXDestroyWindow(topChild);
    EXPECT_TRUE(Same(main->structFrame, {81, 0, 319, 300})) << Str(main->structFrame);
    EXPECT_TRUE(Same(left->structFrame, {0, 0, 80, 300})) << Str(left->structFrame);
    EXPECT_EQ(main->adjacent[0], nullptr);
    EXPECT_EQ(left->adjacent[0], nullptr);
    EXPECT_EQ(main->next, left);
    Rect limits;
    VXMinMaxPanelSize(left, &limits);
    EXPECT_EQ(limits.top, 4);

    // A split larger than the parent leaves the parent empty, not negative.
    VXWindowRecordTag* huge = Divided(window, 5000, 0);
    if (VXPanelRecordTag* panel = VXGetWindowPanel(huge)) {
        EXPECT_GE(main->structFrame.height, 0);
        EXPECT_LE(panel->structFrame.height, 300);
    }
}

TEST_F(Panels, MinimumAndMaximumSizes) {
    struct Case {
        uint32_t bars;
        Rect sizeLimits;  // min height, min width, max height, max width
        Rect expected;
    };
    const Case cases[] = {
        {0x30, {0, 0, 0, 0}, {100, 100, 32000, 32000}},
        {0x00, {0, 0, 0, 0}, {4, 4, 32000, 32000}},
        {0x20, {0, 0, 0, 0}, {84, 20, 32000, 32000}},
        {0x10, {0, 0, 0, 0}, {20, 84, 32000, 32000}},
        {0x30, {200, 150, 600, 800}, {200, 150, 600, 800}},
    };
    for (const Case& c : cases) {
        VXWindowRecordTag* window = Scrolling(nullptr, c.bars);
        VXPanelRecordTag* panel = VXGetWindowPanel(window);
        ASSERT_NE(panel, nullptr);
        panel->sizeLimits[0] = c.sizeLimits.top;
        panel->sizeLimits[1] = c.sizeLimits.left;
        panel->sizeLimits[2] = c.sizeLimits.bottom;
        panel->sizeLimits[3] = c.sizeLimits.right;
        Rect r;
        VXMinMaxPanelSize(panel, &r);
        EXPECT_EQ(r.top, c.expected.top) << c.bars;
        EXPECT_EQ(r.left, c.expected.left) << c.bars;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.bars;
        EXPECT_EQ(r.right, c.expected.right) << c.bars;
        VXDestroyWindow(window);
    }
    // The limits the window was given.
    VXWindowRecordTag* limited = Scrolling(nullptr, 0);
    const Rect windowLimits = {120, 130, 700, 900};
    VXSetMinMaxRect(limited, &windowLimits);
    Rect r;
    VXMinMaxPanelSize(VXGetWindowPanel(limited), &r);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.left, 130);
    EXPECT_EQ(r.bottom, 700);
    EXPECT_EQ(r.right, 900);
    VXDestroyWindow(limited);

    // A panel with one split off above it adds that panel's heights.
    VXWindowRecordTag* window = Scrolling(nullptr, 0);
    VXPanelRecordTag* main = VXGetWindowPanel(window);
    Divided(window, 50, 0);
    VXGetWindowPanel(VXGetFirstChild(window));
    VXMinMaxPanelSize(main, &r);
    EXPECT_EQ(r.top, 8);
    EXPECT_EQ(r.left, 4);
    EXPECT_EQ(r.bottom, 32000);
    // An embedded child panel is not bounded.
    const Rect childRect = {10, 10, 60, 110};
    VXWindowRecordTag* child = VXCreateChildWindow(1, 0, 0, window, &childRect, nullptr, nullptr);
    VXPanelRecordTag* embedded = VXGetWindowPanel(child);
    ASSERT_NE(embedded, nullptr);
    EXPECT_EQ(main->childPanels, embedded);
    VXMinMaxPanelSize(embedded, &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 32000);
    VXDestroyWindow(child);
    EXPECT_EQ(main->childPanels, nullptr);
}

TEST_F(Panels, PadSizeDrivesTheScrollBars) {
    VXPanelRecordTag* panel = VXGetWindowPanel(Scrolling());
    ASSERT_NE(panel, nullptr);
    SetPanelPadSize(panel, 300, 200);
    EXPECT_FALSE(panel->scrollers[0].enabled);
    EXPECT_FALSE(panel->scrollers[1].enabled);
    EXPECT_EQ(panel->maxScroll[0], 0);
    SetPanelPadSize(panel, 768, 568);
    EXPECT_TRUE(panel->scrollers[0].enabled);
    EXPECT_DOUBLE_EQ(panel->scrollers[0].knobProportion, 0.5);
    EXPECT_DOUBLE_EQ(panel->scrollers[1].knobProportion, 0.5);
    EXPECT_EQ(panel->maxScroll[0], 284);
    EXPECT_EQ(panel->maxScroll[1], 384);
    ScrollViewRelativeAmount(panel, 1000, 1000, true);
    EXPECT_EQ(panel->bounds.x, 384);
    EXPECT_EQ(panel->bounds.y, 284);
    EXPECT_DOUBLE_EQ(panel->scrollers[0].value, 1.0);
    // Shrinking the pad below the position pulls it back to the new maximum.
    panel->needsDisplay.clear();
    SetPanelPadSize(panel, 500, 400);
    EXPECT_EQ(panel->bounds.x, 116);
    EXPECT_EQ(panel->bounds.y, 116);
    EXPECT_DOUBLE_EQ(panel->scrollers[1].value, 1.0);
    EXPECT_FALSE(panel->needsDisplay.empty());

    // The platform's bars show the same and scroll the panel when the user works them.
    PlatformScroller* vertical = panel->scrollers[0].native;
    ASSERT_NE(vertical, nullptr);
    const PlatformRect frame = PlatformScrollerFrame(vertical);
    EXPECT_EQ(frame.x, 384);
    EXPECT_EQ(frame.height, 284);
    bool enabled = false;
    double value = 0, proportion = 0;
    PlatformScrollerGetState(vertical, &enabled, &value, &proportion);
    EXPECT_TRUE(enabled);
    EXPECT_NEAR(value, 1.0, 1e-4);
    EXPECT_NEAR(proportion, 284.0 / 400.0, 1e-9);
    PlatformScrollerTrigger(vertical, 0, 0);  // line up
    EXPECT_EQ(panel->bounds.y, 116 - 32);
    PlatformScrollerTrigger(vertical, 5, 0.25);  // the knob a quarter down
    EXPECT_EQ(panel->bounds.y, 29);
    PlatformScrollerGetState(vertical, &enabled, &value, &proportion);
    EXPECT_NEAR(value, 29.0 / 116.0, 1e-4);
    PlatformScrollerTrigger(vertical, 2, 0);  // page up stops at the top
    EXPECT_EQ(panel->bounds.y, 0);
    SetPanelPadSize(panel, 100, 100);
    PlatformScrollerGetState(vertical, &enabled, &value, &proportion);
    EXPECT_FALSE(enabled);
}

TEST_F(Panels, PadChangesRedrawTheUncoveredBands) {
    VXPanelRecordTag* panel = VXGetWindowPanel(Scrolling());
    ASSERT_NE(panel, nullptr);
    struct Case {
        int32_t width, height;
        std::vector<std::string> bands;
    };
    const Case cases[] = {
        {100, 50, {"{0 0 100 50}"}},  // the width band has no height yet: dropped
        {200, 80, {"{100 0 100 50}", "{0 50 200 30}"}},
        {200, 80, {}},
        {1000, 1000, {"{200 0 184 80}", "{0 80 384 204}"}},  // cut to the view
    };
    for (const Case& c : cases) {
        panel->needsDisplay.clear();
        SetPanelPadSize(panel, c.width, c.height);
        std::vector<std::string> got;
        for (const XRect& r : panel->needsDisplay) got.push_back(Str(r));
        EXPECT_EQ(got, c.bands) << c.width << "x" << c.height;
    }
}

TEST_F(Panels, ExposedStrips) {
    VXPanelRecordTag* panel = VXGetWindowPanel(Scrolling());
    ASSERT_NE(panel, nullptr);
    const LRect area = {0, 0, 100, 200};
    struct Case {
        int32_t dh, dv;
        std::vector<std::string> strips;
    };
    const Case cases[] = {
        {0, 0, {}},
        {-10, 0, {"{0 190 100 200}"}},
        {10, 0, {"{0 0 100 10}"}},
        {0, -10, {"{86 0 100 200}"}},  // reaches 4 units above the copied edge
        {0, 10, {"{0 0 10 200}"}},
        {-10, 10, {"{0 190 100 200}", "{0 0 10 200}"}},
        {0, -100, {"{0 0 100 200}"}},
        {250, 5, {"{0 0 100 200}"}},
    };
    for (const Case& c : cases) {
        LRect rects[2];
        const int32_t n = ScrollRectInPanelContentView(panel, area, c.dh, c.dv, rects);
        std::vector<std::string> got;
        for (int32_t i = 0; i < n; ++i) got.push_back(Str(rects[i]));
        EXPECT_EQ(got, c.strips) << c.dh << "," << c.dv;
    }
}

TEST_F(Panels, ScrollingContents) {
    VXPanelRecordTag* panel = VXGetWindowPanel(Scrolling());
    ASSERT_NE(panel, nullptr);
    SetPanelPadSize(panel, 2000, 2000);
    panel->flags = 0;
    LRect rects[4];
    EXPECT_EQ(VXScrollPanelContents(panel, 0, 0, 0, false, rects), 0);
    EXPECT_EQ(panel->flags & kVXPanelScrolled, 0u);

    // A scroll by the whole height exposes the whole main pane.
    EXPECT_EQ(VXScrollPanelContents(panel, 0, -300, 0, false, rects), 1);
    EXPECT_EQ(Str(rects[0]), "{300 0 584 384}");
    EXPECT_EQ(panel->bounds.y, 300);
    EXPECT_NE(panel->flags & kVXPanelScrolled, 0u);

    // Rows: the copied area is cut to whole rows.
    EXPECT_EQ(VXScrollPanelContents(panel, 0, 20, 30, false, rects), 1);
    EXPECT_EQ(Str(rects[0]), "{280 0 300 384}");

    // A panel that does not scroll vertically by itself keeps its origin but still copies.
    panel->flags |= kVXPanelNoVerticalScroll;
    EXPECT_EQ(VXScrollPanelContents(panel, 0, -20, 0, false, rects), 1);
    EXPECT_EQ(panel->bounds.y, 280);
    EXPECT_EQ(Str(rects[0]), "{540 0 564 384}");
    panel->flags &= ~kVXPanelNoVerticalScroll;

    // Displayed at once: nothing is handed back and the pending areas are drawn.
    const int32_t displays = panel->displayCount;
    EXPECT_EQ(VXScrollPanelContents(panel, -10, 0, 0, true, rects), 0);
    EXPECT_EQ(panel->displayCount, displays + 1);
    EXPECT_TRUE(panel->needsDisplay.empty());

    // Without copying (a change of scale redraws everything afterwards) nothing is marked.
    panel->needsDisplay.clear();
    VXSetScrollWithoutCopying(true);
    EXPECT_EQ(VXScrollPanelContents(panel, -10, 0, 0, false, nullptr), 0);
    VXSetScrollWithoutCopying(false);
    EXPECT_TRUE(panel->needsDisplay.empty());
    EXPECT_EQ(panel->bounds.x, 20);

    // Pending areas move with VXTranslateUpdateRegion.
    VXPanelSetNeedsDisplay(panel, {10, 10, 5, 5});
    VXTranslateUpdateRegion(panel, 3, -4);
    EXPECT_EQ(Str(panel->needsDisplay.back()), "{13 6 5 5}");
}

TEST_F(Panels, ScrollEventsStopAtThePad) {
    VXWindowRecordTag* window = Scrolling();
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    ASSERT_NE(panel, nullptr);
    SetPanelPadSize(panel, 2000, 2000);
    VXScrollTo(window, 5000, -20);
    EXPECT_EQ(panel->bounds.x, 2000 - 384);
    EXPECT_EQ(panel->bounds.y, 0);
    EXPECT_DOUBLE_EQ(panel->scrollers[1].value, 1.0);
    EXPECT_DOUBLE_EQ(panel->scrollers[0].value, 0.0);
    // Document points of a scaled window are scaled first.
    VXSetScalePercent(window, 200, 200);
    VXScrollTo(window, 100, 150);
    EXPECT_EQ(panel->bounds.x, 200);
    EXPECT_EQ(panel->bounds.y, 300);

    struct Case {
        uint8_t part, axis;
        int32_t amount, value2;
        int32_t dh, dv;
    };
    const Case cases[] = {
        {1, 0, 0, 0, 0, 32},      // line down
        {0, 0, 0, 0, 0, -32},     // line up
        {3, 0, 0, 0, 0, 252},     // page down: 284 - 32
        {2, 1, 0, 0, -200, 0},    // page left by 352 stops at 0
        {5, 0, 400, 300, 0, 100}, // the knob: target minus current
        {7, 0, 10, 5, 5, 10},     // an amount
        {6, 0, 10, 10, 0, 0},     // nothing
    };
    for (const Case& c : cases) {
        const double x = panel->bounds.x, y = panel->bounds.y;
        VXEventRecord event = VXClearedEvent(kVXScrollEvent);
        event.u.scroll.part = c.part;
        event.u.scroll.axis = c.axis;
        event.u.scroll.amount = c.amount;
        event.u.scroll.value2 = c.value2;
        DispatchEvent(window, &event);
        EXPECT_EQ(panel->bounds.x - x, c.dh) << int(c.part);
        EXPECT_EQ(panel->bounds.y - y, c.dv) << int(c.part);
    }
}

TEST_F(Panels, ScrollIncrements) {
    VXPanelRecordTag* panel = VXGetWindowPanel(Scrolling());
    ASSERT_NE(panel, nullptr);
    VXSetPanelStructFrame(panel, {0, 0, 416, 416});
    struct Case {
        int32_t lineIncrement, pageIncrement;
        double structHeight;
        int32_t line, page;
    };
    const Case cases[] = {
        {0, 0, 416, 32, 368}, {10, 0, 416, 10, 390}, {0, 100, 416, 32, 100},
        {0, 0, 36, 32, 1},  // a pane lower than one line still pages forwards
    };
    for (const Case& c : cases) {
        panel->lineIncrement = c.lineIncrement;
        panel->pageIncrement = c.pageIncrement;
        VXSetPanelStructFrame(panel, {0, 0, 416, c.structHeight});
        int32_t line = 0, page = 0;
        CalcScrollIncrements(panel, 0, &line, &page);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(page, c.page);
    }
}

TEST_F(Panels, RevealingARectangle) {
    VXWindowRecordTag* window = Scrolling();
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    ASSERT_NE(panel, nullptr);
    SetPanelPadSize(panel, 2000, 2000);
    struct Case {
        LRect rect;
        bool wholly;
        double x, y;
    };
    const Case cases[] = {
        {{1000, 10, 1400, 50}, true, 0, 990},     // taller than the view: 10 below its top
        {{500, 500, 520, 540}, true, 328, 368},   // centred
        {{400, 330, 420, 370}, false, 328, 368},  // meets the view: stays
        {{400, 330, 420, 800}, true, 320, 268},   // not wholly inside: wider than the view
    };
    for (const Case& c : cases) {
        VXLRevealRect(window, &c.rect, c.wholly);
        EXPECT_EQ(panel->bounds.x, c.x) << Str(c.rect);
        EXPECT_EQ(panel->bounds.y, c.y) << Str(c.rect);
    }
}

TEST_F(Panels, AutoscrollFollowsThePane) {
    VXWindowRecordTag* window = Scrolling();
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    ASSERT_NE(panel, nullptr);
    SetPanelPadSize(panel, 2000, 2000);
    SetAlternatePaneSize(panel, 1, 30);
    SetAlternatePaneSize(panel, 0, 20);
    struct Case {
        int32_t pane;
        int32_t h, v;
        int32_t result;
        double dx, dy;
    };
    const Case cases[] = {
        {-1, 200, 100, 0, 0, 0},     // inside: nothing
        {-1, 200, 900, 1, 0, 32},    // below: one line down
        {-1, 900, 900, 1, 32, 32},   // beyond the corner: both ways
        {2, 900, 900, 0, 0, 0},      // the corner never scrolls
        {0, 900, 900, 1, 32, 0},     // the top strip only sideways
        {1, 900, 900, 1, 0, 32},     // the left strip only up and down
    };
    for (const Case& c : cases) {
        VXSetAltView(window, c.pane);
        const double x = panel->bounds.x, y = panel->bounds.y;
        const int64_t before = PlatformNowMicros();
        EXPECT_EQ(VXAutoScroll(window, c.h, c.v), c.result) << c.pane << " " << c.v;
        EXPECT_EQ(panel->bounds.x - x, c.dx) << c.pane;
        EXPECT_EQ(panel->bounds.y - y, c.dy) << c.pane;
        // A scroll takes at least two ticks.
        if (c.result) {
            EXPECT_GE(PlatformNowMicros() - before, 33333);
        }
    }
}

TEST_F(Panels, PanelsFollowTheWindow) {
    VXWindowRecordTag* window = Scrolling();
    VXPanelRecordTag* main = VXGetWindowPanel(window);
    VXPanelRecordTag* top = VXGetWindowPanel(Divided(window, 50, 0));
    ASSERT_NE(top, nullptr);
    // A new content size: the main panel grows both ways, the strip above it only in width.
    const Rect bigger = {100, 100, 500, 600};
    VXSetWindowPosition(window, &bigger);
    ASSERT_EQ(VXGetWindowPanel(window), main);
    EXPECT_TRUE(Same(main->structFrame, {0, 51, 500, 349})) << Str(main->structFrame);
    EXPECT_TRUE(Same(main->contFrame, {0, 0, 484, 333})) << Str(main->contFrame);
    EXPECT_TRUE(Same(top->structFrame, {0, 0, 500, 50})) << Str(top->structFrame);

    // The pad of the window record, the header strips and the drawing origin.
    VXSetPadSize(window, 3000, 1000, false);
    EXPECT_EQ(VXGetWindowPanel(window)->padSize[1], 3000);
    EXPECT_EQ(main->maxScroll[0], 1000 - 333);
    EXPECT_EQ(VXHasAltView(window, 0), 0);
    VXSetAltSize(window, 40, 24);
    EXPECT_EQ(VXHasAltView(window, 0), 1);
    EXPECT_EQ(VXHasAltView(window, 2), 1);
    EXPECT_EQ(main->maxScroll[0], 1000 - 333 + 24);
    VXSetOrigin(&window->graf, 30, 70);
    EXPECT_EQ(main->bounds.x, 30);
    EXPECT_EQ(main->bounds.y, 70);
    LRect view{};
    ASSERT_TRUE(VXLGetPaneViewRect(window, &view));
    EXPECT_EQ(Str(view), "{94 70 403 514}");
}

}  // namespace
}  // namespace plexa::test
