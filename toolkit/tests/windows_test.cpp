// Windows: closing all with a window that refuses, a window destroyed by its own drawing,
// order and visibility, limits, scaling, titles, child windows, and a picture of a document
// window with its menu bar.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/hittest.h"
#include "graphics/render.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"

namespace plexa::test {
namespace {

using Windows = WindowsTest;

int32_t Logs(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXCloseEvent || event->kind == kVXDestroyEvent)
        WindowsTest::Log().push_back(WindowsTest::Name(window) + ":" + std::to_string(event->kind));
    return 0;
}

// Handles its close request and stays open.
int32_t Refuses(VXWindowRecordTag* window, VXEventRecord* event) {
    Logs(window, event);
    return event->kind == kVXCloseEvent ? 1 : 0;
}

// Cancels the whole pass, then lets itself close.
int32_t Aborts(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXCloseEvent) VXAbortCloseAll();
    return Logs(window, event);
}

TEST_F(Windows, CloseAllStopsAtTheWindowThatRefusesOrAborts) {
    struct Case {
        VXEventProc middle;
        std::vector<std::string> log;
        size_t left;
    };
    const Case cases[] = {
        {Refuses, {"front:2", "front:3", "middle:2"}, 2},
        {Aborts, {"front:2", "front:3", "middle:2", "middle:3"}, 1},
    };
    for (const Case& c : cases) {
        Log().clear();
        for (auto [name, proc] : {std::pair{"back", &Logs}, {"middle", c.middle}, {"front", &Logs}})
            VXShowWindow(Document(name, proc));
        ASSERT_EQ(Name(VXGetFirstWindow()), "front");
        EXPECT_FALSE(VXCloseAllWindows());
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(VXTopLevelWindows().size(), c.left);
        EXPECT_EQ(vx.closeAllAborted, 1);
        EXPECT_TRUE(VXDestroyAllWindows());
        EXPECT_EQ(VXGetFirstWindow(), nullptr);
    }
    VXShowWindow(Document("only", Logs));
    EXPECT_TRUE(VXCloseAllWindows());
    EXPECT_EQ(vx.closeAllAborted, 0);
}

int32_t DestroysOnUpdate(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXUpdateEvent) {
        // Draw a little first, so the port holds the window's context when it goes.
        QZFillRectangle(QZGetCurrentPort(), {0, 0, 10, 10}, false);
        VXDestroyWindow(window);
    }
    // Releasing again from inside the release does nothing.
    if (event->kind == kVXDestroyEvent) VXDestroyWindow(window);
    return 1;
}

TEST_F(Windows, AHandlerThatDestroysItsWindowWhileDrawingIsSafe) {
    // Drawn synchronously, drawn by the waiting update of all windows, and drawn by the
    // platform's own painting (a grab paints the window).
    for (int path = 0; path < 3; ++path) {
        VXWindowRecordTag* parent = Document("parent", nullptr);
        VXWindowRecordTag* window = path == 2 ? parent : Document("doomed", DestroysOnUpdate);
        if (path == 2) {
            // The window goes with a child, in the middle of the platform's painting.
            VXSetWindowEventHandler(window, DestroysOnUpdate);
            const Rect rect = {5, 5, 25, 25};
            VXShowWindow(VXCreateChildWindow(1, 0, 0, window, &rect, nullptr, nullptr));
        }
        VXShowWindow(window);
        const int32_t id = window->windowID;
        VXInvalRect(window, nullptr);
        if (path == 0) VXUpdateWindow(window);
        if (path == 1) VXWaitUpdateWindows();
        if (path == 2) {
            const TempDir dir;
            EXPECT_TRUE(PlatformWindowGrabPNG(window->platformWindow, dir.path() + "/grab.png"));
        }
        EXPECT_EQ(VXGetWindowFromId(id), nullptr) << path;
        EXPECT_EQ(vx.updateWaitDepth, 0);
        VXDestroyAllWindows();
    }
}

int32_t LogsActivation(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXActivateEvent)
        WindowsTest::Log().push_back(WindowsTest::Name(window) +
                                     (event->u.activate.activated ? "+" : "-"));
    return 0;
}

TEST_F(Windows, OrderFollowsShowingAndSelecting) {
    VXWindowRecordTag* a = Document("a", LogsActivation);
    VXWindowRecordTag* b = Document("b", LogsActivation);
    const Rect floatRect = {10, 10, 60, 60};
    VXWindowRecordTag* palette = VXCreateWindow(kVXWindowFloating, 0, 0, 5, 0, 0, &floatRect,
                                                "palette", 0, const_cast<char*>("palette"), nullptr);
    ASSERT_TRUE(a && b && palette);
    EXPECT_FALSE(VXIsWindowVisible(a, false));
    EXPECT_EQ(VXGetNextVisibleWindow(nullptr, 8, false), nullptr);
    VXShowWindow(a);
    VXShowWindow(b);
    VXShowWindow(palette);
    EXPECT_EQ(Name(VXGetKeyWindow()), "b");  // a floating window never becomes the key window
    EXPECT_EQ(Name(VXGetFirstWindow()), "palette");
    EXPECT_EQ(Name(VXGetNextVisibleWindow(nullptr, 7, false)), "b");
    VXSelectWindow(a);
    EXPECT_EQ(Name(VXGetFirstWindow()), "a");
    EXPECT_EQ(Name(VXGetNextWindow(VXGetFirstWindow())), "palette");
    EXPECT_EQ(Name(VXGetKeyWindow()), "a");
    EXPECT_EQ(Log(), (std::vector<std::string>{"a+", "a-", "b+", "b-", "a+"}));
    // A floating window takes the keys but never becomes the main window.
    VXSelectWindow(palette);
    EXPECT_EQ(Name(VXGetKeyWindow()), "palette");
    EXPECT_EQ(Log().size(), 5u);
    VXSelectWindow(a);
    VXHideWindow(a);
    EXPECT_FALSE(VXIsWindowVisible(a, false));
    EXPECT_EQ(Name(VXGetNextVisibleWindow(nullptr, 0, false)), "b");
    EXPECT_EQ(Name(VXGetNextVisibleWindow(nullptr, kVXWindowFloating, false)), "palette");
}

TEST_F(Windows, PositionLimitsAndTitles) {
    VXWindowRecordTag* window = Document("w", nullptr, {50, 60, 250, 360});
    Rect rect;
    VXGetWindowPosition(window, &rect);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.left, 60);
    EXPECT_EQ(rect.bottom - rect.top, 200);
    EXPECT_EQ(rect.right - rect.left, 300);
    const Rect moved = {70, 80, 370, 480};
    VXSetWindowPosition(window, &moved);
    VXGetWindowPosition(window, &rect);
    EXPECT_EQ(rect.top, 70);
    EXPECT_EQ(rect.right, 480);
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    EXPECT_EQ(height, 300);
    EXPECT_EQ(width, 400);

    Rect screen;
    VXGetMainScreenBounds(&screen, false);
    struct Place {
        Rect content;
        int32_t onScreen;
    };
    const Place places[] = {
        {{int16_t(screen.top + 100), int16_t(screen.left + 100), int16_t(screen.top + 200),
          int16_t(screen.left + 200)}, 1},
        {{int16_t(screen.bottom - 50), int16_t(screen.left + 100), int16_t(screen.bottom + 50),
          int16_t(screen.left + 200)}, 2},
        {{-3000, -3000, -2900, -2900}, 0},
    };
    for (const Place& place : places)
        EXPECT_EQ(VXWindowRectOnScreen(kVXWindowDocument, 0, 0, &place.content), place.onScreen);
    Rect largest;
    VXCalcMaxWindowRect(kVXWindowDocument, 0, 0, nullptr, &largest);
    EXPECT_EQ(VXWindowRectOnScreen(kVXWindowDocument, 0, 0, &largest), 1);

    const Rect limits = {100, 150, 50, 60};  // maxima below the minima
    VXSetMinMaxRect(window, &limits);
    EXPECT_EQ(window->maxHeight, 10000);
    EXPECT_EQ(window->maxWidth, 10000);

    // 199 bytes of text with a two-byte character across the cut: the cut keeps whole characters.
    std::string title(198, 'x');
    title += "\xC3\xA9";
    VXSetWindowTitle(window, title.c_str());
    char got[200];
    VXGetWindowTitle(window, got);
    EXPECT_EQ(std::strlen(got), 198u);
    VXSetWindowTitle(window, "Sheet [*] 1");
    VXSetWindowModified(window, true);
    VXGetWindowTitle(window, got);
    EXPECT_STREQ(got, "Sheet [*] 1");
    VXSetWindowFileProxy(window, nullptr, 0);
    EXPECT_EQ(PlatformWindowFilePath(window->platformWindow),
              "window_" + std::to_string(window->windowID));

    // Off-screen windows have no place on screen.
    VXWindowRecordTag* offscreen = VXCreateOffScreenWindow(nullptr, 0, nullptr);
    VXGetWindowPosition(offscreen, &rect);
    EXPECT_GT(rect.top, rect.bottom);
    VXDestroyWindow(offscreen);
}

TEST_F(Windows, ChildWindowsLiveInTheirParentAndFailWithoutOne) {
    VXWindowRecordTag* parent = Document("parent", Logs);
    const Rect rect = {10, 10, 60, 110};
    VXWindowRecordTag* child =
        VXCreateChildWindow(0, 0, 0, parent, &rect, const_cast<char*>("child"), Logs);
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->creationFlags & kVXFlagChildFrame);
    EXPECT_TRUE(VXIsChildWindow(child, parent));
    EXPECT_EQ(VXGetFirstChild(parent), child);
    EXPECT_EQ(VXGetTopParent(child), parent);
    VXWindowRecordTag* divided =
        VXCreateDividedChildWindow(nullptr, 0, 0, parent, 40, 4, const_cast<char*>("side"), Logs);
    ASSERT_NE(divided, nullptr);
    int16_t height = 0, width = 0;
    VXGetClientSize(divided, &height, &width);
    EXPECT_EQ(width, 40);
    EXPECT_EQ(VXGetNextWindow(child), divided);
    EXPECT_EQ(VXCreateDividedChildWindow(nullptr, 0, 0, child, 40, 0, nullptr, nullptr), nullptr);

    // A parent without a content view cannot hold a child: no half-made child comes back.
    VXWindowRecordTag* bare = VXCreateBareWindow(kVXWindowDocument, 0, nullptr, nullptr, nullptr);
    const int32_t next = VXCreateBareWindow(0, 0, nullptr, nullptr, nullptr)->windowID + 1;
    EXPECT_EQ(VXCreateChildWindow(0, 0, 0, bare, &rect, nullptr, nullptr), nullptr);
    EXPECT_EQ(VXGetWindowFromId(next), nullptr);

    Log().clear();
    VXDestroyWindow(parent);
    EXPECT_EQ(Log(), (std::vector<std::string>{"child:3", "side:3", "parent:3"}));
}

// Logs focus changes; the window named "keeps" refuses to lose the keyboard.
int32_t Focus(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind != kVXFocusEvent) return 0;
    const bool gaining = event->u.focus.gaining != 0;
    WindowsTest::Log().push_back(WindowsTest::Name(window) + (gaining ? "+" : "-"));
    if (!gaining && WindowsTest::Name(window) == "keeps") *event->u.focus.refuse = 1;
    return 1;
}

TEST_F(Windows, TheKeyboardMovesBetweenChildrenUnlessTheOldOneRefuses) {
    VXWindowRecordTag* top = Document("top", Focus);
    const Rect rect = {0, 0, 40, 40};
    VXWindowRecordTag* a = VXCreateChildWindow(1, 0, 0, top, &rect, const_cast<char*>("a"), Focus);
    VXWindowRecordTag* keeps =
        VXCreateChildWindow(1, 0, 0, top, &rect, const_cast<char*>("keeps"), Focus);
    VXShowWindow(top);
    VXWindowRecordTag* keyboard = nullptr;
    VXWindowRecordTag* control = nullptr;
    EXPECT_FALSE(VXGetFocusWindow(nullptr, &keyboard, &control));
    EXPECT_EQ(keyboard, top);
    EXPECT_EQ(control, nullptr);
    VXSetFocusWindow(keeps, false);
    VXSetFocusWindow(a, false);
    VXGetFocusWindow(nullptr, &keyboard, nullptr);
    EXPECT_EQ(keyboard, keeps);
    EXPECT_EQ(Log(), (std::vector<std::string>{"top-", "keeps+", "keeps-"}));
}

TEST_F(Windows, ScalingFitsThePadAndAnEmptyPadFitsAtOne) {
    const Rect content = {0, 0, 200, 300};  // 200 high, 300 wide
    VXWindowRecordTag* window =
        VXCreateWindow(kVXWindowDocument, 0, kVXFlagHorizontalScroller | kVXFlagVerticalScroller,
                       101, 0, 0, &content, "w", 0, nullptr, nullptr);
    // Without scroll bars a window has no pad to set.
    VXWindowRecordTag* fixed = Document("fixed", nullptr);
    VXSetPadSize(fixed, 600, 800, false);
    EXPECT_EQ(fixed->padWidth, 0);
    struct Case {
        int32_t padWidth, padHeight, percentH, percentV;
        int16_t wantH, wantV;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 100, 100},         // no pad: nothing to fit
        {600, 800, 0, 0, 25, 25},       // both fit: the smaller factor for both
        {150, 100, 0, 0, 100, 100},     // fitting never enlarges
        {600, 800, 200, 50, 200, 50},   // given percentages
    };
    for (const Case& c : cases) {
        VXSetPadSize(window, c.padWidth, c.padHeight, false);
        VXSetScalePercent(window, c.percentH, c.percentV);
        EXPECT_EQ(window->scalePercentH, c.wantH) << c.padWidth;
        EXPECT_EQ(window->scalePercentV, c.wantV) << c.padWidth;
        EXPECT_EQ((window->status() & kVXStatusScaled) != 0, c.wantH != 100 || c.wantV != 100);
    }
    // The text views' own bits never touch the status word.
    window->textViewFlags = kVXTextViewScrolling | kVXTextView;
    EXPECT_FALSE(window->status() & kVXStatusControlsHidden);
}

int32_t DrawsAPicture(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind != kVXUpdateEvent) return 0;
    QZPort* port = QZGetCurrentPort();
    QZSetPenSize(port, 2);
    QZStrokeRectangleInsideFrame(port, {20, 20, 360, 160});
    QZFillRectangle(port, {60, 60, 120, 60}, false);
    return 1;
}

TEST_F(Windows, ScreenshotOfADocumentWindowWithItsMenuBar) {
    static const VXMenuDefItem fileItems[] = {{kVXMenuItem, "Close", 203, "w"},
                                              {0, nullptr, 0, nullptr}};
    static const VXMenuDef fileMenu = {200, "File", fileItems};
    static const VXMenuDef* const menus[] = {&fileMenu, nullptr};
    static const VXMenuBarDef barDef = {1, menus};
    VXMenuBar* bar = VXBuildMenuBar(&barDef);
    VXSetCurrentMenuBar(bar);
    VXDestroyMenuBar(bar);
    VXInsertMenu(VXBuildMenu(kVXDefaultMenuBar.menus[0]), 0);
    VXWindowRecordTag* window = Document("Untitled", DrawsAPicture, {40, 40, 240, 440});
    VXShowWindow(window);
    // A selection rectangle drawn in the overlay, over the content.
    static int overlays = 0;
    overlays = 0;
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, [](VXWindowRecordTag*, void*) {
        ++overlays;
        QZPort* port = QZGetCurrentPort();
        QZSetLineDash(port, 4, 4, 0);
        QZStrokeRectangleInsideFrame(port, {200, 100, 150, 80});
    }, nullptr);
    VXBeginOverlayForPanes(window, kVXOverlayMainPane, [](VXWindowRecordTag*, void*) {}, nullptr);
    const std::string png = WriteScreenshot(window, "windows-screenshot.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // Width and height (big-endian) of the whole window: the content and the menu bar above it.
    const auto word = [&](size_t at) {
        return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
               (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
    };
    EXPECT_EQ(word(16), 400u);
    EXPECT_GT(word(20), 200u);
    EXPECT_EQ(overlays, 1);
    VXEndOverlay(window);
    EXPECT_EQ(window->overlayProc, nullptr);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

// A filled square across the point, tested in the graphics layer's pixel hit test.
bool SquareHitAt(int32_t h, int32_t v) {
    StartPixelHitTestEx(nullptr, _LPNT{v, h});
    const Rect square{int16_t(v - 2), int16_t(h - 2), int16_t(v + 2), int16_t(h + 2)};
    VXRectDispatch(&square, 1);
    const bool hit = HitTestPixels(0, 0);
    StopPixelHitTest();
    return hit;
}

TEST_F(Windows, PixelHitTestsDrawIntoAnOffScreenWindowThatOutlivesItsDestruction) {
    VXGrafState* before = VXGetCurrentGrafState();
    EXPECT_TRUE(SquareHitAt(50, 60));
    EXPECT_EQ(VXGetCurrentGrafState(), before);
    // Every window goes, the hit test's own among them; the next test makes a new one.
    for (VXWindowRecordTag* window : VXTopLevelWindows()) VXDestroyWindow(window);
    EXPECT_TRUE(SquareHitAt(-30, 200));
}

}  // namespace
}  // namespace plexa::test
