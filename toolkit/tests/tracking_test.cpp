// Mouse tracking driven by scripted input under the test clock: a whole drag from the window's
// mouse-down handler, drag thresholds, time-outs, Escape, autoscroll, a window that goes away
// during a pass, the selection rectangle, containers under a point, cursors and dropped files.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/app_platform.h"
#include "platform/cursor_platform.h"
#include "platform/testseam_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/panels_fixture.h"
#include "toolkit/vx_services.h"

namespace plexa::test {
namespace {

using Tracking = PanelsTest;

void Down(VXWindowRecordTag* window, int32_t x, int32_t y) {
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, window, x, y));
}
void Drag(VXWindowRecordTag* window, int32_t x, int32_t y) {
    TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, window, x, y));
}
void Up(VXWindowRecordTag* window, int32_t x, int32_t y) {
    TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, window, x, y));
}
void Key(uint16_t code, uint16_t character) {
    PlatformInputEvent event;
    event.kind = PlatformInputKind::kKeyDown;
    event.keyCode = code;
    event.character = character;
    TestQueueInput(event);
}

std::string At(const char* what, const _LPNT& p) {
    return std::string(what) + " " + std::to_string(p.h) + "," + std::to_string(p.v);
}

// A tool: on a mouse-down, waits for the drag and follows it to the end.
int32_t Dragger(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind != kVXMouseDownEvent) return 0;
    auto& log = PanelsTest::Log();
    log.push_back("down " + std::to_string(event->u.mouse.h) + "," +
                  std::to_string(event->u.mouse.v));
    _LPNT point{};
    int16_t pane = 0;
    if (!VXWaitDragBegin(window, kVXTrackLeft, 3, 3, &point, &pane, -1)) {
        log.push_back("click " + std::to_string(uint16_t(pane)));
        return 1;
    }
    log.push_back(At("begin", point) + " pane " + std::to_string(pane));
    while (VXWaitDragEnd(window, kVXTrackLeft, false, &point)) log.push_back(At("drag", point));
    log.push_back(At("end", point));
    return 1;
}

TEST_F(Tracking, AScriptedDragFromTheMouseDownHandler) {
    VXWindowRecordTag* window = Scrolling(Dragger);
    ASSERT_NE(window, nullptr);
    SetPanelPadSize(VXGetWindowPanel(window), 2000, 2000);
    ScrollViewRelativeAmount(VXGetWindowPanel(window), 0, 40, true);
    Drag(window, 101, 100);
    Drag(window, 102, 100);  // two pixels: not yet a drag
    Drag(window, 103, 100);
    Drag(window, 150, 120);
    Drag(window, 160, 130);
    Up(window, 160, 130);
    Down(window, 100, 100);
    // Pad points: the content is scrolled down by 40.
    const std::vector<std::string> expected = {"down 100,100", "begin 103,140 pane -1",
                                               "drag 150,160", "drag 160,170", "end 160,170"};
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(TestQueuedInputCount(), 0);
    EXPECT_EQ(vx.mouseTracking, 0);
    EXPECT_EQ(PlatformLastMouse().buttons, 0u);
}

TEST_F(Tracking, DragThresholds) {
    struct Case {
        int32_t dh, dv;
        bool began;
    };
    const Case cases[] = {{2, 0, false}, {0, 2, false}, {3, 0, true}, {0, -3, true},
                          {-2, 2, false}, {0, 0, false}};
    for (const Case& c : cases) {
        Log().clear();
        VXWindowRecordTag* window = Scrolling(Dragger);
        Drag(window, 200 + c.dh, 100 + c.dv);
        Up(window, 200 + c.dh, 100 + c.dv);
        Down(window, 200, 100);
        ASSERT_GE(Log().size(), 2u);
        EXPECT_EQ(Log()[1].rfind(c.began ? "begin" : "click 65534", 0), 0u)
            << c.dh << "," << c.dv << ": " << Log()[1];
        VXDestroyWindow(window);
    }
}

// A quick double click: the window system hands over the first click's release, the second
// press and its release together, so the second click has come in when the first click's pass
// ends. It reaches the window after the pass, once, and its own pass ends at its own release.
VXWindowRecordTag* gQuickWindow = nullptr;
void QuickClicks(void*) {
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseUp, gQuickWindow, 200, 100));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, gQuickWindow, 201, 100));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseUp, gQuickWindow, 201, 100));
}

TEST_F(Tracking, InputAfterThePassEndedReachesTheWindowAfterIt) {
    gQuickWindow = Scrolling(Dragger);
    ASSERT_NE(gQuickWindow, nullptr);
    (void)PlatformPostDeferred(QuickClicks, nullptr, 0, kPlatformModeEventTracking);
    Down(gQuickWindow, 200, 100);
    TestRunDueWork();
    const std::vector<std::string> expected = {"down 200,100", "click 65534", "down 201,100", "click 65534"};
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(vx.mouseTracking, 0);
    EXPECT_EQ(PlatformLastMouse().buttons, 0u);
}

// Two moves that come in together during a drag: the second waits for the next pass, which takes
// it as soon as it starts. That ends the pass alone, never the loop that runs around the drag
// (here the one the press came from, which goes on until it is left on purpose).
VXWindowRecordTag* gHeldWindow = nullptr;
void TwoMovesAtOnce(void*) {
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDragged, gHeldWindow, 150, 120));
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDragged, gHeldWindow, 160, 130));
}
void PressHeld(void*) { Down(gHeldWindow, 100, 100); }
void LeaveOuterLoop(void*) { PlatformLeaveLoop(77); }

TEST_F(Tracking, InputHeldForTheNextPassEndsNoLoopAroundTheDrag) {
    gHeldWindow = Scrolling(Dragger);
    ASSERT_NE(gHeldWindow, nullptr);
    (void)PlatformPostDeferred(TwoMovesAtOnce, nullptr, 0, kPlatformModeEventTracking);
    Up(gHeldWindow, 160, 130);
    (void)PlatformPostDeferred(PressHeld, nullptr, 0, kPlatformModeDefault);
    (void)PlatformPostDeferred(LeaveOuterLoop, nullptr, 1'000'000, kPlatformModeDefault);
    EXPECT_EQ(PlatformRunLoop(kPlatformModeDefault), 77);
    const std::vector<std::string> expected = {"down 100,100", "begin 160,130 pane -1", "drag 160,130",
                                               "end 160,130"};
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(vx.mouseTracking, 0);
}

TEST_F(Tracking, TimeOutBeginsEscapeEnds) {
    VXWindowRecordTag* window = Scrolling();
    Down(window, 50, 50);
    _LPNT point{};
    int16_t pane = 0;
    const int64_t before = PlatformNowMicros();
    EXPECT_TRUE(VXWaitDragBegin(window, kVXTrackLeft, 3, 3, &point, &pane, 0.5));
    EXPECT_GE(PlatformNowMicros() - before, 500000);
    EXPECT_EQ(pane, -1);
    Drag(window, 60, 60);
    Key(kPlatformKeyShift, 0);  // a modifier change goes on
    Key(kPlatformKeyEscape, 27);
    EXPECT_TRUE(VXWaitDragEnd(window, kVXTrackLeft, false, &point));
    EXPECT_TRUE(VXWaitDragEnd(window, kVXTrackLeft, false, &point));
    EXPECT_FALSE(VXWaitDragEnd(window, kVXTrackLeft, false, &point));
    // Other keys are taken and ignored; the wheel only when asked for.
    PlatformInputEvent wheel = MouseInput(PlatformInputKind::kWheel, window, 10, 10);
    wheel.wheelDeltaV = 3;
    TestQueueInput(wheel);
    Key(0, 'a');
    TestQueueInput(wheel);
    VXEventRecord event{};
    EXPECT_EQ(RunMouseTrackingLoop(window, kVXTrackLeft, kVXTrackWantsWheel, &event, nullptr,
                                   nullptr, 0),
              kVXTrackWheel);
    EXPECT_EQ(event.kind, kVXWheelEvent);
    EXPECT_EQ(event.u.wheel.deltaV, 3);
    EXPECT_EQ(RunMouseTrackingLoop(window, kVXTrackLeft, 0, nullptr, nullptr, nullptr, 0),
              kVXTrackTimeout);
    EXPECT_EQ(TestQueuedInputCount(), 0);
    // The right button's release does not end a left-button drag.
    PlatformInputEvent right = MouseInput(PlatformInputKind::kMouseUp, window, 10, 10);
    right.button = 1;
    TestQueueInput(right);
    Up(window, 10, 10);
    EXPECT_EQ(RunMouseTrackingLoop(window, kVXTrackLeft, 0, &event, nullptr, nullptr, -1),
              kVXTrackMouseUp);
    EXPECT_EQ(event.u.mouse.button, 0);
}

TEST_F(Tracking, AutoscrollWhileTheButtonIsHeldOutside) {
    VXWindowRecordTag* window = Scrolling();
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    SetPanelPadSize(panel, 2000, 2000);
    Down(window, 200, 150);
    Drag(window, 200, 400);  // below the content view (284 high)
    _LPNT point{};
    int16_t pane = 0;
    ASSERT_TRUE(VXWaitDragBegin(window, kVXTrackLeft, 3, 3, &point, &pane, -1));
    EXPECT_EQ(pane, kVXNoPane);
    Drag(window, 200, 400);
    const int64_t before = PlatformNowMicros();
    for (int pass = 1; pass <= 5; ++pass) {
        ASSERT_TRUE(VXWaitDragEnd(window, kVXTrackLeft, true, &point)) << pass;
        EXPECT_TRUE(VXDragDidAutoScroll());
        EXPECT_EQ(panel->bounds.y, 32 * pass);
        EXPECT_EQ(point.v, 400 + 32 * pass);
    }
    EXPECT_GE(PlatformNowMicros() - before, 5 * 33333);
    EXPECT_EQ(panel->flags & kVXPanelNoSyncDisplay, 0u);
    Up(window, 200, 400);
    EXPECT_FALSE(VXWaitDragEnd(window, kVXTrackLeft, true, &point));
    EXPECT_FALSE(VXDragDidAutoScroll());
    EXPECT_EQ(panel->bounds.y, 160);
}

void DestroyLater(void* refcon) {
    VXDestroyWindow(VXGetWindowFromId(int32_t(reinterpret_cast<intptr_t>(refcon))));
}

TEST_F(Tracking, AWindowDestroyedDuringAPassEndsTheDrag) {
    VXWindowRecordTag* window = Scrolling();
    const int32_t id = window->windowID;
    Down(window, 20, 20);
    Drag(window, 40, 40);
    _LPNT point{};
    int16_t pane = 0;
    ASSERT_TRUE(VXWaitDragBegin(window, kVXTrackLeft, 3, 3, &point, &pane, -1));
    // The button stays down and nothing else comes: only the window's release ends the wait.
    VXPostDeferredAction(DestroyLater, reinterpret_cast<void*>(intptr_t(id)), 0.25);
    const int64_t before = PlatformNowMicros();
    EXPECT_FALSE(VXWaitDragEnd(window, kVXTrackLeft, true, &point));
    EXPECT_EQ(VXGetWindowFromId(id), nullptr);
    EXPECT_LT(PlatformNowMicros() - before, 1000000);
    EXPECT_EQ(vx.mouseTracking, 0);
    // Further passes with the stale window end at once.
    EXPECT_FALSE(VXWaitDragEnd(window, kVXTrackLeft, true, &point));
    EXPECT_FALSE(VXWaitDragBegin(window, kVXTrackLeft, 3, 3, &point, &pane, -1));
    EXPECT_EQ(RunMouseTrackingLoop(window, kVXTrackLeft, 0, nullptr, nullptr, nullptr, -1),
              kVXTrackMouseUp);
    // A wait that nothing can end any more counts as the button going up.
    VXWindowRecordTag* other = Scrolling();
    EXPECT_EQ(RunMouseTrackingLoop(other, kVXTrackLeft, 0, nullptr, nullptr, nullptr, -1),
              kVXTrackMouseUp);
}

void Feedback(VXWindowRecordTag*, int32_t message, const _LPNT* point, void*) {
    if (message == 1) PanelsTest::Log().push_back(At("at", *point));
}

TEST_F(Tracking, SelectionRectangle) {
    VXWindowRecordTag* window = Scrolling();
    VXShowWindow(window);
    Down(window, 50, 60);
    Drag(window, 100, 80);
    Drag(window, 150, 100);
    Up(window, 150, 100);
    VXEventRecord down{};
    SetupMouseEvent(50, 60, 0, 0, &down);
    LRect rect{};
    EXPECT_TRUE(VXTrackSelectRect(window, &down, true, Feedback, nullptr, &rect));
    EXPECT_EQ(rect.top, 60);
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.bottom, 100);
    EXPECT_EQ(rect.right, 150);
    EXPECT_EQ(Log(), (std::vector<std::string>{"at 100,80", "at 150,100"}));
    EXPECT_EQ(window->overlayProc, nullptr);
    // No width: nothing selected.
    Down(window, 50, 60);
    Drag(window, 50, 120);
    Up(window, 50, 120);
    EXPECT_FALSE(VXTrackSelectRect(window, &down, false, nullptr, nullptr, &rect));
    EXPECT_EQ(rect.right - rect.left, 0);
}

TEST_F(Tracking, ContainersUnderAPoint) {
    VXWindowRecordTag* window = Scrolling();
    VXShowWindow(window);
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    SetPanelPadSize(panel, 2000, 2000);
    ScrollViewRelativeAmount(panel, 10, 20, true);
    Rect content;
    VXGetWindowPosition(window, &content);
    struct Case {
        int32_t h, v;  // in the window's content
        bool found, inContent;
        int32_t pane, pointH, pointV;
    };
    const Case cases[] = {
        {30, 40, true, true, -1, 40, 60},   // content: bounds coordinates
        {390, 40, true, false, -2, 390, 40},  // the vertical scroll bar
    };
    for (const Case& c : cases) {
        const _LPNT screen = {content.top + c.v, content.left + c.h};
        VXMouseContainer found;
        EXPECT_EQ(VXGetContainerFromPoint(&found, &screen, true), c.found);
        EXPECT_EQ(found.window, window);
        EXPECT_EQ(found.panel, panel);
        EXPECT_EQ(found.inContent, c.inContent);
        EXPECT_EQ(found.pane, c.pane);
        EXPECT_EQ(found.point.h, c.pointH);
        EXPECT_EQ(found.point.v, c.pointV);
    }
    // An embedded child window's panel is hit while the child shows.
    const Rect childRect = {10, 10, 60, 110};
    VXWindowRecordTag* child = VXCreateChildWindow(1, 0, 0, window, &childRect, nullptr, nullptr);
    VXPanelRecordTag* embedded = VXGetWindowPanel(child);
    ASSERT_NE(embedded, nullptr);
    const _LPNT overChild = {content.top + 30, content.left + 50};
    VXMouseContainer found;
    VXSetChildWindowVisibility(child, false);
    ASSERT_TRUE(VXGetContainerFromPoint(&found, &overChild, true));
    EXPECT_EQ(found.panel, panel);
    VXShowWindow(child);
    ASSERT_TRUE(VXGetContainerFromPoint(&found, &overChild, true));
    EXPECT_EQ(found.panel, embedded);
    EXPECT_TRUE(found.inContent);
    EXPECT_EQ(found.point.h, 40);
    EXPECT_EQ(found.point.v, 20);
    _LPNT local{};
    EXPECT_EQ(VXWindowFromScreenPoint(content.left - 50, content.top, &local), nullptr);
    // The mouse of the current window: in its pad, with the pane under it.
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseMoved, window, 30, 40));
    VXSetWindow(window);
    _LPNT mouse{};
    EXPECT_EQ(VXLGetMouse(&mouse), -1);
    EXPECT_EQ(mouse.h, 40);
    EXPECT_EQ(mouse.v, 60);
    _LPNT global{};
    VXLGlobalMouse(&global, true);
    EXPECT_EQ(global.h, content.left + 30);
    EXPECT_EQ(global.v, content.top + 40);
}

TEST_F(Tracking, Cursors) {
    setenv("PLEXA_RESOURCE_DIR", SourcePath("resources").c_str(), 1);
    PlatformCursor* zoom = VXGetCursorWithName("Cursor_1002", 0, 0);
    ASSERT_NE(zoom, nullptr);
    int32_t x = 0, y = 0;
    PlatformCursorHotSpot(zoom, &x, &y);
    EXPECT_EQ(x, 12);  // from the file's own header
    EXPECT_EQ(y, 12);
    EXPECT_EQ(VXGetCursorWithName("CURSOR_1002", 0, 0), zoom);
    EXPECT_EQ(VXGetCursorWithId(1002, 0, 0), zoom);
    for (int id : {1004, 1005, 1006, 1010, 1011, 2001, 2002, 2003, 2004})
        EXPECT_NE(VXGetCursorWithId(id, 0, 0), nullptr) << id;

    TempDir dir;
    setenv("PLEXA_RESOURCE_DIR", dir.path().c_str(), 1);
    std::string zoomBytes;
    ASSERT_TRUE(ReadFile(SourcePath("resources/cursors/Cursor_1002.cur"), zoomBytes));
    struct Case {
        const char* name;
        std::string bytes;
    };
    std::string badOffset = zoomBytes;
    badOffset[18] = char(0xF0);  // the image would lie beyond the file
    std::string notAnImage = zoomBytes.substr(0, 22) + std::string(zoomBytes.size() - 22, 'x');
    const Case broken[] = {{"Short", zoomBytes.substr(0, 21)},
                           {"Truncated", zoomBytes.substr(0, zoomBytes.size() - 10)},
                           {"BadOffset", badOffset},
                           {"NotAnImage", notAnImage},
                           {"WrongType", std::string("\0\0\1\0", 4) + zoomBytes.substr(4)}};
    for (const Case& c : broken) {
        ASSERT_TRUE(WriteFile(dir.file(std::string(c.name) + ".cur"), c.bytes));
        EXPECT_EQ(VXGetCursorWithName(c.name, 0, 0), nullptr) << c.name;
    }
    EXPECT_EQ(VXGetCursorWithName("Missing", 0, 0), nullptr);
    // A PNG cursor takes the hot spot it is asked with.
    ASSERT_TRUE(WriteFile(dir.file("Plain.png"), zoomBytes.substr(22)));
    PlatformCursor* plain = VXGetCursorWithName("Plain", 5, 7);
    ASSERT_NE(plain, nullptr);
    PlatformCursorHotSpot(plain, &x, &y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 7);

    // A missing cursor leaves the current one; push and pop.
    VXSetCursor(kVXCursorCrosshair);
    PlatformCursor* crosshair = PlatformCursorStandard(PlatformStandardCursor::kCrosshair);
    EXPECT_EQ(PlatformCurrentCursor(), crosshair);
    VXSetCursor(999);
    EXPECT_EQ(PlatformCurrentCursor(), crosshair);
    VXPushCursor(kVXCursorIBeam);
    EXPECT_EQ(PlatformCurrentCursor(), PlatformCursorStandard(PlatformStandardCursor::kIBeam));
    VXPopCursor();
    EXPECT_EQ(PlatformCurrentCursor(), nullptr);
    VXSetCursor(kVXCursorNone);

    // Window cursors; the status bit 0x4000 keeps the platform's cursor as it is.
    unsetenv("PLEXA_RESOURCE_DIR");
    VXWindowRecordTag* window = Scrolling();
    VXSetWindowCursor(window, kVXCursorCrosshair);
    EXPECT_EQ(PlatformWindowCursor(window->platformWindow), crosshair);
    VXSetWindowCursor(window, 1002);
    EXPECT_STREQ(VXGetNamedCursorForWindow(window), "Cursor_1002");
    EXPECT_EQ(PlatformWindowCursor(window->platformWindow), zoom);  // kept once made
    VXSetWindowCursor(window, kVXCursorArrow);
    EXPECT_STREQ(VXGetNamedCursorForWindow(window), "");
    window->status() |= kVXStatusCursorReset;
    VXSetWindowCursor(window, kVXCursorCrosshair);
    EXPECT_EQ(PlatformWindowCursor(window->platformWindow),
              PlatformCursorStandard(PlatformStandardCursor::kArrow));
    VXRequestMouseMoved(window);
    EXPECT_NE(VXGetWindowPanel(window)->flags & kVXPanelMouseMovedPending, 0u);
    VXAllowDroppedFiles(window, true);
    EXPECT_TRUE(PlatformWindowAcceptsFileDrops(window->platformWindow));
    VXAllowDroppedFiles(window, false);
    EXPECT_FALSE(PlatformWindowAcceptsFileDrops(window->platformWindow));
}

// Notes each dropped file: its path, place, count and whether it is a folder.
int32_t DropNoter(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind != kVXDroppedFileEvent) return 0;
    const auto& dropped = event->u.droppedFile;
    PanelsTest::Log().push_back(std::string(static_cast<const char*>(dropped.fileSpec)) + " " +
                                std::to_string(dropped.index) + "/" +
                                std::to_string(dropped.count) + (dropped.isFolder ? " folder" : ""));
    return 1;
}

TEST_F(Tracking, DroppedFilesReachTheWindowOneEventEach) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("a b.SHX"), "x"));
    VXWindowRecordTag* window = Scrolling(DropNoter);
    ASSERT_NE(window, nullptr);
    const std::vector<std::string> paths = {dir.file("a b.SHX"), dir.path()};
    // A window that does not take files refuses the drop.
    EXPECT_FALSE(TestDropFiles(window->platformWindow, paths));
    VXAllowDroppedFiles(window, true);
    EXPECT_TRUE(TestDropFiles(window->platformWindow, paths));
    EXPECT_EQ(Log(), (std::vector<std::string>{dir.file("a b.SHX") + " 0/2", dir.path() + " 1/2 folder"}));
    Log().clear();
    EXPECT_FALSE(TestDropFiles(window->platformWindow, {}));
    VXAllowDroppedFiles(window, false);
    EXPECT_FALSE(TestDropFiles(window->platformWindow, paths));
    EXPECT_TRUE(Log().empty());
}

int32_t MoveNoter(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind != kVXMouseMovedEvent) return 0;
    PanelsTest::Log().push_back("moved " + std::to_string(event->u.mouse.longH) + "," +
                                std::to_string(event->u.mouse.longV));
    return 1;
}

TEST_F(Tracking, ARequestedMouseMoveArrivesOnceWhereTheMouseIs) {
    VXWindowRecordTag* window = Scrolling(MoveNoter);
    ASSERT_NE(window, nullptr);
    PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseMoved, window, 70, 80));
    Log().clear();
    VXRequestMouseMoved(window);
    VXRequestMouseMoved(window);
    EXPECT_TRUE(Log().empty());  // not from within the request
    VXSleep(0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"moved 70,80"}));
}

}  // namespace
}  // namespace plexa::test
