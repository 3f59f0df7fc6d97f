// Event dispatch: the update order and a handler that destroys its window, bubbling of
// characters and commands, and the default handling of each kind.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/testseam_platform.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_events.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;

std::string Name(VXWindowRecordTag* window) {
    return window ? std::string(static_cast<const char*>(window->refCon)) : "none";
}

// Logs every event; handles only what the window's name asks for.
int32_t Logger(VXWindowRecordTag* window, VXEventRecord* event) {
    gLog.push_back(Name(window) + ":" + std::to_string(event->kind));
    return 0;
}
int32_t HandlesChars(VXWindowRecordTag* window, VXEventRecord* event) {
    Logger(window, event);
    return event->kind == kVXCharEvent ? 7 : 0;
}
int32_t DestroysOnUpdate(VXWindowRecordTag* window, VXEventRecord* event) {
    Logger(window, event);
    if (event->kind == kVXUpdateEvent) VXDestroyWindow(window);
    return 1;
}
int32_t GlobalCommand(VXWindowRecordTag*, VXEventRecord* event) {
    gLog.push_back("app:" + std::to_string(event->u.command.command));
    return event->u.command.command == 305 ? 9 : 0;
}

class Events : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        gLog.clear();
    }
    VXWindowRecordTag* Make(const char* name, VXEventProc proc, VXWindowRecordTag* parent = nullptr,
                            uint8_t windowClass = kVXWindowDocument) {
        return VXCreateBareWindow(parent ? kVXWindowChild : windowClass, 0, parent, proc,
                                  const_cast<char*>(name));
    }
};

TEST_F(Events, RecordLayout) {
    EXPECT_EQ(sizeof(VXEventRecord), 40u);
    EXPECT_EQ(offsetof(VXEventRecord, u), 8u);
    EXPECT_EQ(offsetof(VXEventRecord, u.wheel.deltaV), 8u + 20u);
    EXPECT_EQ(offsetof(VXEventRecord, u.update.longRect), 8u + 8u);
    EXPECT_EQ(offsetof(VXEventRecord, u.character.utf8), 8u + 8u);
}

TEST_F(Events, UpdateRunsBlocksAroundTheHandlerAndSurvivesDestruction) {
    VXWindowRecordTag* window = Make("w", Logger);
    auto block = [](const char* what) {
        return [what](VXWindowRecordTag*, void*) { gLog.push_back(what); };
    };
    window->updateBlocks.push_back({block("after"), nullptr, {}, 1});
    window->updateBlocks.push_back({block("before"), nullptr, {0, 0, 10, 10}, 0});
    window->updateBlocks.push_back({block("elsewhere"), nullptr, {50, 50, 60, 60}, 0});
    VXEventRecord update{};
    update.kind = kVXUpdateEvent;
    update.u.update.longRect = {0, 0, 20, 20};
    DispatchEvent(window, &update);
    EXPECT_EQ(gLog, (std::vector<std::string>{"before", "w:8", "after"}));
    EXPECT_EQ(window->dispatchCounter, 1);

    gLog.clear();
    VXWindowRecordTag* doomed = Make("d", DestroysOnUpdate);
    const int32_t id = doomed->windowID;
    doomed->updateBlocks.push_back({block("after"), nullptr, {}, 1});
    EXPECT_EQ(DispatchEvent(doomed, &update), 1);
    EXPECT_EQ(VXGetWindowFromId(id), nullptr);
    EXPECT_EQ(gLog, (std::vector<std::string>{"d:8", "d:3"}));
}

TEST_F(Events, CharactersBubbleToParentsThenPushButtons) {
    static int pushed = 0;
    pushed = 0;
    gVXWindowDefaultHooks.invokePushButton = [](VXWindowRecordTag*, uint16_t c) -> int32_t {
        pushed = c;
        return 1;
    };
    VXWindowRecordTag* top = Make("top", Logger);
    VXWindowRecordTag* middle = Make("middle", Logger, top);
    VXWindowRecordTag* child = Make("child", Logger, middle);
    EXPECT_EQ(VXSendCharacterEventToWindow(child, 13, 0), 1);
    EXPECT_EQ(gLog, (std::vector<std::string>{"child:12", "middle:12", "top:12"}));
    EXPECT_EQ(pushed, 13);

    gLog.clear();
    VXSetWindowEventHandler(middle, HandlesChars);
    EXPECT_EQ(VXSendCharacterEventToWindow(child, 'a', 0), 7);
    EXPECT_EQ(gLog, (std::vector<std::string>{"child:12", "middle:12"}));
}

TEST_F(Events, CommandsBubbleToTheApplicationAndDeletionBecomesClear) {
    vx.globalCommandProc = GlobalCommand;
    VXWindowRecordTag* top = Make("top", Logger);
    VXWindowRecordTag* child = Make("child", Logger, top);
    VXEventRecord command{};
    command.kind = kVXCommandEvent;
    command.u.command.command = 200;
    EXPECT_EQ(DispatchEvent(child, &command), 0);
    EXPECT_EQ(gLog, (std::vector<std::string>{"child:16", "top:16", "app:200"}));

    gLog.clear();
    EXPECT_EQ(VXSendCharacterEventToWindow(child, 8, kVXModShift), 9);
    EXPECT_EQ(gLog, (std::vector<std::string>{"child:12", "child:16", "top:16", "app:305"}));
}

TEST_F(Events, DefaultHandlingTable) {
    struct Case {
        uint8_t kind;
        int32_t result;
    };
    const Case cases[] = {{kVXIdleEvent, 0},      {kVXActivateEvent, 1}, {kVXFocusEvent, 1},
                          {kVXSizeEvent, 0},      {kVXMovedEvent, 0},    {kVXMouseDownEvent, 0},
                          {kVXScrollEvent, 1},    {kVXScrollToEvent, 1}, {kVXTrackControlEvent, 0},
                          {kVXControlEvent, 0},   {kVXIdealPositionEvent, 0},
                          {kVXDroppedFileEvent, 0}, {30, 0}};
    VXWindowRecordTag* window = Make("w", nullptr);
    for (const Case& c : cases) {
        VXEventRecord event{};
        event.kind = c.kind;
        EXPECT_EQ(DispatchEvent(window, &event), c.result) << int(c.kind);
    }
}

TEST_F(Events, WheelBecomesScrollOnTheRightAxis) {
    static std::vector<VXEventRecord> scrolls;
    scrolls.clear();
    VXWindowRecordTag* window = Make("w", [](VXWindowRecordTag*, VXEventRecord* e) -> int32_t {
        if (e->kind == kVXScrollEvent) scrolls.push_back(*e);
        return e->kind == kVXScrollEvent;
    });
    struct Case {
        int32_t dv, dh;
        uint8_t axis;
    };
    for (Case c : {Case{0, 5, 1}, Case{3, 4, 0}}) {
        VXEventRecord wheel{};
        SetupMouseEvent(1, 2, 2, 0, &wheel);
        wheel.kind = kVXWheelEvent;
        wheel.u.wheel.deltaV = c.dv;
        wheel.u.wheel.deltaH = c.dh;
        EXPECT_EQ(DispatchEvent(window, &wheel), 1);
        ASSERT_FALSE(scrolls.empty());
        EXPECT_EQ(scrolls.back().u.scroll.part, 7);
        EXPECT_EQ(scrolls.back().u.scroll.axis, c.axis);
        EXPECT_EQ(scrolls.back().u.scroll.amount, -c.dv);
        EXPECT_EQ(scrolls.back().u.scroll.value2, -c.dh);
    }
}

TEST_F(Events, CloseRequestEndsADialogWithCancelAndDestroysOthers) {
    int16_t result = 0;
    vx.modalResult = &result;
    VXWindowRecordTag* dialog = Make("dialog", Logger, nullptr, kVXWindowDialog);
    const int32_t dialogID = dialog->windowID;
    VXSendGoAway(dialog);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(VXGetWindowFromId(dialogID), nullptr);
    EXPECT_EQ(gLog, (std::vector<std::string>{"dialog:2", "dialog:21", "dialog:3"}));

    VXWindowRecordTag* document = Make("document", nullptr);
    const int32_t documentID = document->windowID;
    VXSendGoAway(document);
    EXPECT_EQ(VXGetWindowFromId(documentID), nullptr);
    EXPECT_GT(VXCreateBareWindow(0, 0, nullptr, nullptr, nullptr)->windowID, documentID);
}

TEST_F(Events, PushButtonOneOrTwoEndsTheDialog) {
    int16_t result = 0;
    vx.modalResult = &result;
    VXWindowRecordTag* dialog = Make("dialog", nullptr, nullptr, kVXWindowDialog);
    const int32_t id = dialog->windowID;
    VXEventRecord action{};
    action.kind = kVXControlEvent;
    action.u.control.controlType = 1;
    action.u.control.item = 5;
    EXPECT_EQ(DispatchEvent(dialog, &action), 0);
    action.u.control.item = 1;
    EXPECT_EQ(DispatchEvent(dialog, &action), 1);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(VXGetWindowFromId(id), nullptr);
}

TEST_F(Events, CreateSelectsTheFocusItemOfDialogsAndMarksCreated) {
    static uint16_t focused = 0;
    focused = 0;
    gVXWindowDefaultHooks.focusItem = [](VXWindowRecordTag*, uint16_t item) { focused = item; };
    VXWindowRecordTag* document = Make("document", nullptr);
    EXPECT_TRUE(SendCreateEvent(document, 3, true));
    EXPECT_EQ(focused, 0);
    EXPECT_TRUE(document->created);
    EXPECT_TRUE(document->visible);
    VXWindowRecordTag* dialog = Make("dialog", nullptr, nullptr, kVXWindowDialog);
    EXPECT_TRUE(SendCreateEvent(dialog, 3, false));
    EXPECT_EQ(focused, 3);
    EXPECT_FALSE(dialog->visible);
    VXWindowRecordTag* doomed = Make("doomed", DestroysOnUpdate);
    VXSetWindowEventHandler(doomed, [](VXWindowRecordTag* w, VXEventRecord* e) -> int32_t {
        if (e->kind == kVXCreateEvent) VXDestroyWindow(w);
        return 1;
    });
    EXPECT_FALSE(SendCreateEvent(doomed, 0, true));
}

TEST_F(Events, FocusRefusalAndUpdateWait) {
    VXWindowRecordTag* window = Make("w", [](VXWindowRecordTag*, VXEventRecord* e) -> int32_t {
        if (e->kind == kVXFocusEvent && !e->u.focus.gaining) *e->u.focus.refuse = 1;
        return 1;
    });
    EXPECT_TRUE(SendFocusEvent(window, true));
    EXPECT_FALSE(SendFocusEvent(window, false));
    vx.updateWaitDepth = 1;
    VXEventRecord event{};
    event.kind = kVXCommandEvent;
    EXPECT_EQ(DispatchEvent(window, &event), 0);
    event.kind = kVXUpdateEvent;
    EXPECT_EQ(DispatchEvent(window, &event), 1);
}

TEST_F(Events, EscapeLeavesFullScreen) {
    VXWindowRecordTag* window = Make("w", Logger);
    window->fullScreen = 1;
    EXPECT_EQ(VXSendCharacterEventToWindow(window, 27, 0), 1);
    EXPECT_EQ(gLog, (std::vector<std::string>{"w:12", "w:26"}));
    EXPECT_EQ(window->fullScreen, 0);
    EXPECT_EQ(VXGetKeyWindow(), window);
}

int32_t RefusesClose(VXWindowRecordTag* window, VXEventRecord* event) {
    Logger(window, event);
    return event->kind == kVXCloseEvent;
}

TEST_F(Events, CloseAllStopsAtAWindowThatStays) {
    Make("back", Logger);
    Make("stays", RefusesClose);
    Make("front", Logger);
    EXPECT_FALSE(VXCloseAllWindows());
    EXPECT_EQ(gLog, (std::vector<std::string>{"front:2", "front:3", "stays:2"}));
    EXPECT_EQ(VXTopLevelWindows().size(), 2u);
}

TEST_F(Events, ModifiersAndCharacterClasses) {
    EXPECT_EQ(TranslateNSEventModifiers((1u << 17) | (1u << 20)), kVXModShift | kVXModCommand);
    EXPECT_EQ(TranslateNSEventModifiers((1u << 18) | (1u << 19)), kVXModControl | kVXModOption);
    EXPECT_TRUE(VXIsFunctionalChar(0xF700));
    EXPECT_TRUE(VXIsFunctionalChar(0xF747));
    EXPECT_FALSE(VXIsFunctionalChar(0xF748));
    for (uint16_t c : {8, 0xF728, 0xF73A}) EXPECT_TRUE(VXIsDeletionChar(c));
    EXPECT_FALSE(VXIsDeletionChar(127));
}

TEST_F(Events, PlatformInputReachesWindowsThroughDispatch) {
    static std::vector<VXEventRecord> seen;
    seen.clear();
    VXWindowRecordTag* window = Make("w", [](VXWindowRecordTag*, VXEventRecord* e) -> int32_t {
        seen.push_back(*e);
        return 1;
    });
    VXInstallInputSink();
    PlatformInputEvent down;
    down.kind = PlatformInputKind::kMouseDown;
    down.windowID = window->windowID;
    down.x = 30;
    down.y = 40;
    down.clickCount = 2;
    down.modifiers = kPlatformModShift;
    PlatformInputEvent key;
    key.kind = PlatformInputKind::kKeyDown;
    key.windowID = window->windowID;
    key.character = 0x00E9;
    PlatformInputEvent first = down;  // the platform sends the first click of a pair on its own
    first.clickCount = 1;
    TestQueueInput(first);
    TestQueueInput(down);
    TestQueueInput(key);
    PlatformPostDeferred([](void*) { PlatformLeaveLoop(0); }, nullptr, 10'000);
    PlatformRunLoop(kPlatformModeEventTracking);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].kind, kVXMouseDownEvent);
    EXPECT_EQ(seen[1].kind, kVXDoubleClickEvent);
    EXPECT_EQ(seen[1].u.mouse.longH, 30);
    EXPECT_EQ(seen[1].u.mouse.v, 40);
    EXPECT_EQ(seen[1].u.mouse.shift, 1);
    EXPECT_EQ(seen[2].kind, kVXCharEvent);
    EXPECT_STREQ(seen[2].u.character.utf8, "\xC3\xA9");
    EXPECT_EQ(seen[2].u.character.functional, 0);
    // A function key carries its mark and no text.
    VXSendCharacterEventToWindow(window, 0xF700, kVXModOption);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].u.character.functional, 1);
    EXPECT_STREQ(seen[3].u.character.utf8, "");
    EXPECT_EQ(seen[3].u.character.option, 1);
}

}  // namespace
}  // namespace plexa::test
