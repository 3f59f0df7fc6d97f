// Commands: bubbling from the focused window through its parents to the application, the
// preparation chain and its decisions, popups, the chain's bound, and key equivalents that are
// sent only when the chain enables them.
#include <cstring>

#include "platform/app_platform.h"
#include "platform/menu_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/tests/windows_fixture.h"

namespace plexa::test {
namespace {

using Commands = WindowsTest;

int32_t LogsCommands(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXCommandEvent)
        WindowsTest::Log().push_back(WindowsTest::Name(window) + ":" +
                                     std::to_string(event->u.command.command) +
                                     (event->u.command.fromKey ? "k" : ""));
    if (event->kind == kVXCharEvent) WindowsTest::Log().push_back(WindowsTest::Name(window) + ":char");
    return 0;
}

int32_t AppLogs(VXWindowRecordTag* target, VXEventRecord* event) {
    WindowsTest::Log().push_back("app:" + std::to_string(event->u.command.command) + "@" +
                                 WindowsTest::Name(target));
    return 0;
}

TEST_F(Commands, BubbleFromTheFocusedChildToItsParentThenTheApplication) {
    VXWindowRecordTag* parent = Document("parent", LogsCommands);
    const Rect rect = {0, 0, 50, 50};
    VXWindowRecordTag* child =
        VXCreateChildWindow(0, 0, 0, parent, &rect, const_cast<char*>("child"), LogsCommands);
    VXShowWindow(parent);
    VXSetFocusWindow(child, false);
    VXSetGlobalCommandProc(AppLogs);
    EXPECT_EQ(DispatchCommand(nullptr, 500, false, false, false), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"child:500", "parent:500", "app:500@child"}));

    // The application's procedure closes the target: the toolkit's handler then gets none.
    VXSetGlobalCommandProc([](VXWindowRecordTag* target, VXEventRecord*) -> int32_t {
        VXDestroyWindow(VXGetTopParent(target));
        return 0;
    });
    const int32_t id = parent->windowID;
    EXPECT_EQ(DispatchCommand(nullptr, 203, false, false, false), 1);
    EXPECT_EQ(VXGetWindowFromId(id), nullptr);
    // Close with no window at all does nothing and counts as handled.
    VXSetGlobalCommandProc(nullptr);
    EXPECT_EQ(DispatchCommand(nullptr, 203, false, false, false), 1);
}

// The fake focus of the preparation cases: a control that may be an edit text.
struct FakeFocus {
    bool control = false, editText = false, selection = false;
    int32_t scrap = 0;
} gFocus;

void InstallFakeFocus() {
    gVXWindowDefaultHooks.focusedControl = [](VXWindowRecordTag* top,
                                              VXWindowRecordTag** owner) -> void* {
        *owner = top;
        return gFocus.control ? &gFocus : nullptr;
    };
    gVXCommandHooks.isEditText = [](VXWindowRecordTag*, void*, bool* selection) {
        *selection = gFocus.selection;
        return gFocus.editText;
    };
    gVXCommandHooks.scrapCharacters = [] { return gFocus.scrap; };
}

// Undo is the window's own business: it enables it whenever asked.
int32_t EnablesUndo(VXPrepCommandRecord* record) {
    WindowsTest::Log().push_back("prep:" + std::to_string(record->command));
    if (record->command != 301) return 0;
    record->enabled = 1;
    return 1;
}

const VXMenuDefItem kToolItems[] = {
    {kVXMenuItem, "Measure", 701, nullptr}, {kVXMenuSeparator, "-", 702, nullptr},
    {kVXMenuItem, "Repeat", 703, nullptr},  {0, nullptr, 0, nullptr},
};
const VXMenuDef kToolMenu = {700, "Tools", kToolItems};

const VXMenuDefItem kFileItems[] = {{kVXMenuItem, "Close", 203, "w"}, {0, nullptr, 0, nullptr}};
const VXMenuDef kFileMenu = {200, "File", kFileItems};

class Preparation : public Commands {
protected:
    void SetUp() override {
        Commands::SetUp();
        gFocus = FakeFocus{};
        InstallFakeFocus();
        VXInstallDefaultMenuBar();
        VXInsertMenu(VXBuildMenu(&kFileMenu), 300);
        VXInsertMenu(VXBuildMenu(&kToolMenu), 0);
        edit = VXGetMenuWithTag(300);
        tools = VXGetMenuWithTag(700);
        window = Document("w", LogsCommands);
        VXShowWindow(window);
        VXSetPrepCommandProc(window, EnablesUndo);
    }
    // Enabled states of the menu itself and of Undo .. Clear.
    std::vector<bool> EditStates() {
        std::vector<bool> states{edit->enabled != 0};
        for (int32_t position = 1; position <= 5; ++position)
            states.push_back(VXGetMenuItemEnabled(edit, true, position));
        return states;
    }
    VXMenuRecord* edit = nullptr;
    VXMenuRecord* tools = nullptr;
    VXWindowRecordTag* window = nullptr;
};

TEST_F(Preparation, EditMenuFollowsTheFocusAndTheMenuGatesItsItems) {
    struct Case {
        const char* name;
        FakeFocus focus;
        uint8_t tracking;
        std::vector<bool> states;  // Edit, Undo, Cut, Copy, Paste, Clear
    };
    const Case cases[] = {
        // Undo is enabled by the window, but the Edit menu itself is disabled without an edit
        // text, so every item is.
        {"no edit text", {true, false, false, 0}, 0, {false, false, false, false, false, false}},
        {"selection", {true, true, true, 0}, 0, {true, true, true, true, false, true}},
        {"scrap", {true, true, false, 3}, 0, {true, true, false, false, true, false}},
        {"tracking", {true, true, true, 3}, 1, {false, false, false, false, false, false}},
    };
    for (const Case& c : cases) {
        gFocus = c.focus;
        vx.mouseTracking = c.tracking;
        PrepareMenuBar();
        EXPECT_EQ(EditStates(), c.states) << c.name;
    }
    vx.mouseTracking = 0;
}

TEST_F(Preparation, AWindowThatDecidesHidesTheCommandFromTheApplication) {
    VXSetPrepCommandProc(nullptr, [](VXPrepCommandRecord* record) -> int32_t {
        WindowsTest::Log().push_back("app:" + std::to_string(record->command));
        return 0;
    });
    PrepareOneCommand(edit, 301, 1, true);
    EXPECT_EQ(Log(), (std::vector<std::string>{"prep:301"}));
    Log().clear();
    PrepareOneCommand(edit, 302, 2, true);
    EXPECT_EQ(Log(), (std::vector<std::string>{"prep:302", "app:302"}));
}

TEST_F(Preparation, SeparatorsAreNotPreparedAndToggleBackWithTheirTagAndReference) {
    VXSetNSMenuItemReference(tools, true, 3, 0xABCDEF0123ull);
    const auto prepared = [&] {
        Log().clear();
        PrepareOneMenu(tools, 0, false);
        return Log();
    };
    EXPECT_EQ(prepared(), (std::vector<std::string>{"prep:700", "prep:701", "prep:703"}));
    VXSetMenuItemText(tools, true, 3, "-");
    char text[128];
    VXGetMenuItemText(tools, true, 3, text);
    EXPECT_STREQ(text, "-");
    EXPECT_EQ(prepared(), (std::vector<std::string>{"prep:700", "prep:701"}));
    VXSetMenuItemText(tools, true, 3, "Repeat Again");
    EXPECT_EQ(VXGetMenuItemTag(tools, 3), 703);
    EXPECT_EQ(VXGetNSMenuItemReference(tools, true, 3), 0xABCDEF0123ull);
    // The separator of the table becomes an item too, with its tag.
    VXSetMenuItemText(tools, true, 2, "Between");
    EXPECT_EQ(prepared(),
              (std::vector<std::string>{"prep:700", "prep:701", "prep:702", "prep:703"}));
}

TEST_F(Preparation, AModalWindowInFrontDisablesTheApplicationCommands) {
    const Rect rect = {50, 50, 150, 250};
    VXWindowRecordTag* dialog = VXCreateWindow(kVXWindowDialog, 3, 0, 1, 0, 0, &rect,
                                               "dialog", 0, const_cast<char*>("dialog"), nullptr);
    VXMenuRecord* app = VXGetApplicationMenu();
    const int32_t quit = VXCommandToMenuIndex(app, kVXCommandQuit);
    for (bool modal : {false, true}) {
        if (modal) {
            VXShowWindow(dialog);
            VXSelectWindow(dialog);
        }
        PrepareMenuBar();
        EXPECT_EQ(VXGetMenuItemEnabled(app, true, quit), !modal);
        EXPECT_EQ(VXGetMenuItemEnabled(app, true, 1), !modal);  // About
        EXPECT_EQ(VXGetMenuWithTag(200)->enabled != 0, !modal);
    }
}

TEST_F(Preparation, APopupClosedWithoutAChoiceAnswersNothing) {
    VXPopupResult result;
    std::memset(&result, 0xFF, sizeof result);
    TestScriptPopupChoice(-1);
    EXPECT_EQ(VXPopupMenuClickEx(window, {10, 10}, 0, true, tools, true, 1, &result), 0);
    EXPECT_EQ(result.menu, nullptr);
    EXPECT_EQ(result.tag, 0);
    EXPECT_EQ(result.reference, 0u);
    EXPECT_TRUE(Log().empty());

    // A choice fills the result and, when asked, goes to the popup's window.
    VXSetNSMenuItemReference(tools, true, 3, 77);
    TestScriptPopupChoice(2);
    EXPECT_EQ(VXPopupMenuClickEx(window, {10, 10}, 0, true, tools, true, 1, &result), 703);
    EXPECT_EQ(result.menu, tools);
    EXPECT_EQ(result.itemIndex, 3);
    EXPECT_EQ(result.reference, 77u);
    EXPECT_EQ(Log(), (std::vector<std::string>{"w:703"}));
    Log().clear();
    TestScriptPopupChoice(0);
    EXPECT_EQ(VXPopupMenuClick(window, {10, 10}, 0, false, tools, false, 701), 701);
    EXPECT_TRUE(Log().empty());
}

TEST_F(Preparation, TheChainStopsGrowingAtItsSize) {
    VXWindowRecordTag* deepest = window;
    const Rect rect = {0, 0, 20, 20};
    for (int depth = 0; depth < 3 * kVXPrepChainSize; ++depth) {
        deepest = VXCreateChildWindow(0, 0, 0, deepest, &rect, nullptr, nullptr);
        ASSERT_NE(deepest, nullptr);
        VXSetPrepCommandProc(deepest, [](VXPrepCommandRecord*) -> int32_t { return 0; });
    }
    VXSetFocusWindow(deepest, false);
    VXSetPrepCommandProc(nullptr, [](VXPrepCommandRecord*) -> int32_t { return 0; });
    VXPrepCommandSetup setup;
    SetupPrepCommandChain(&setup);
    EXPECT_EQ(gPrepCommandProcCount, kVXPrepChainSize);
    EXPECT_EQ(gPrepCommandProcs[0].window, deepest);
    EXPECT_EQ(gPrepCommandProcs[kVXPrepChainSize - 1].proc, DefaultPrepCommand);
    PrepareMenuBar();
}

TEST_F(Preparation, CtrlZReachesUndoOnlyWhenTheChainEnablesIt) {
    const auto typeCtrlZ = [] {
        Log().clear();
        PlatformInputEvent key;
        key.kind = PlatformInputKind::kKeyDown;
        key.character = 'z';
        key.modifiers = kPlatformModCommand;
        TestQueueInput(key);
        PlatformPostDeferred([](void*) { PlatformLeaveLoop(0); }, nullptr, 10'000);
        PlatformRunLoop(kPlatformModeDefault);
        return Log();
    };
    // The window does not offer Undo: the key is used up and nothing is sent.
    VXSetPrepCommandProc(window, nullptr);
    EXPECT_EQ(typeCtrlZ(), (std::vector<std::string>{}));
    EXPECT_FALSE(VXGetMenuItemEnabled(edit, true, 1));
    // With an edit text the Edit menu is enabled and the window's Undo goes through.
    gFocus = {true, true, false, 0};
    VXSetPrepCommandProc(window, EnablesUndo);
    EXPECT_EQ(typeCtrlZ(), (std::vector<std::string>{"prep:300", "prep:301", "w:301k"}));
    // A plain z is typing.
    Log().clear();
    PlatformInputEvent key;
    key.kind = PlatformInputKind::kKeyDown;
    key.character = 'z';
    PlatformDeliverInput(key);
    EXPECT_EQ(Log(), (std::vector<std::string>{"w:char"}));
}

}  // namespace
}  // namespace plexa::test
