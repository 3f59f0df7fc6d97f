// Every slot of every hook table and every single-procedure hook is filled by the start-up that
// the program runs, but for the slots that their declarations call optional (app/root_slots.h):
// the core's entry point for a program without windows, and the editor's whole start-up (the
// toolkit's layers, the composition root, the deferred services with the preferences). A hook
// that only a test installs fails here instead of silently doing nothing in the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/prefs.h"
#include "app/root.h"
#include "app/root_slots.h"
#include "app/shell.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"
#include "toolkit/vx_app.h"

namespace plexa {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

TEST(HookTablesTest, CoreEntryFillsEveryCoreSlot) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    InstallCoreHooks();
    EXPECT_EQ(Lines(EmptyHookSlots(HookStartUp::kCore)), "");
}

// The editor's start-up as the program runs it: the toolkit's layers, the core, the composition
// root, then the shell, whose deferred half loads the preferences. It runs in a process of its
// own (the toolkit's layers stay up for the rest of a process), which writes the empty slots on
// its standard error and ends with 0 when there are none.
struct EditorStartUp : test::AppDialogsTest {
    void TestBody() override {}
    [[noreturn]] void RunAndCheck() {
        test::TempDir configHome;
        test::EnvScope configEnv("XDG_CONFIG_HOME", configHome.path());
        SetUp();
        VXInitToolkitLayers();
        if (StartCore("app_tests") != 0) std::_Exit(2);
        test::InitSheetWindows();
        InstallEditorHooks();
        VXResetShellRequestsForTesting(true);
        StartShell();
        for (int step = 0; step < 100 && gCurrMenuBar != gStandardMenuBar; ++step) TestClockAdvance(10'000);
        if (gCurrMenuBar != gStandardMenuBar) std::_Exit(3);
        const std::vector<std::string> empty = EmptyHookSlots(HookStartUp::kEditor);
        std::fprintf(stderr, "%s", Lines(empty).c_str());
        std::fflush(stderr);
        // Left as it is: the process ends here.
        std::_Exit(empty.empty() ? 0 : 1);
    }
};

TEST(HookTablesTest, TheEditorsWholeStartUpFillsEveryTableAndProcedure) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(EditorStartUp().RunAndCheck(), testing::ExitedWithCode(0), "");
    // The check reads every layer's tables, the toolkit's and the graphics' among them.
    const std::vector<std::string> names = CheckedHookNames();
    for (const char* name : {"VXTEHooks", "VXWindowDefaultHooks", "PreferencesHooks", "WireStretchHooks",
                             "LibraryWaitProc", "ModelWaitCursorProc", "PromptCreateLibraryProc"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

#ifdef PLEXA_PROGRAM

// The program itself checks after its start-up, in the builds with the checks on, and stops when
// a hook is not installed.
TEST(HookTablesRun, TheProgramStartsWithEveryHookInstalled) {
    test::ScriptedRun run(PLEXA_PROGRAM);
    const test::ScriptedRunResult result = run.Run("wait-window Untitled*\nquit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.errors.find("hook not installed"), std::string::npos) << result.errors;
}

#endif

}  // namespace
}  // namespace plexa
