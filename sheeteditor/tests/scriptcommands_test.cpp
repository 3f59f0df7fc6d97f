// Run Script and Edit Script, driven headless: the report-scripts dialog shows and stores the run
// settings, the script runs over the project and its output is opened; a missing script or
// project ends with its message.
#include "sheeteditor/scriptcommands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "design/report_interp.h"
#include "design/tests/netlist_fixture.h"
#include "files/project.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "platform/control_platform.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"

namespace plexa::test {
namespace {

struct Seen {
    std::string scriptPath;
    std::string bundleId = "****";
    std::vector<std::string> opened;  // "path|application"
    std::vector<std::string> shown;
};
Seen& Saw() {
    static Seen seen;
    return seen;
}

// Once a dialog is up: runs the step, then types the key.
void Answer(void (*step)(VXWindowRecordTag*), uint16_t key) {
    static void (*gStep)(VXWindowRecordTag*);
    static uint16_t gKey;
    gStep = step;
    gKey = key;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        if (gStep) gStep(dialog);
        QueueKey(gKey);
    }, nullptr, 0.001);
}

class ScriptCommands : public test::AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        if (HasFatalFailure()) return;
        // The editor's composition (the scripts' stop question among it), then the scripts' list.
        InstallEditorHooks();
        Saw() = Seen{};
        Saw().scriptPath = dir_.file("Parts List.SXP");
        ScriptCommandHooks hooks;
        hooks.getScript = [](int32_t index, FileSpec* file, char* bundleId) {
            if (index != 0) return false;
            std::strcpy(bundleId, Saw().bundleId.c_str());
            return FileSpecFromPathName(nullptr, Saw().scriptPath.c_str(), file) == 0;
        };
        hooks.textEditorApplication = [] { return "/usr/bin/plain-editor"; };
        hooks.openDocument = [](const char* path, const char* application) -> OSStatus {
            Saw().opened.push_back(std::string(path) + "|" + (application ? application : ""));
            return 0;
        };
        SetScriptCommandHooks(hooks);
    }
    void TearDown() override {
        InstallCoreHooks();
        SetScriptCommandHooks(ScriptCommandHooks{});
        AppDialogsTest::TearDown();
    }
    TempDir dir_;
};

TEST_F(ScriptCommands, TheTemplateHoldsTheDialogsItems) {
    std::vector<int16_t> numbers;
    for (const auto& [number, type] : DialogTemplateItems(kReportScriptsTemplate))
        if (number > 0) numbers.push_back(number);
    EXPECT_EQ(numbers, (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 9}));
}

TEST_F(ScriptCommands, TheDialogStoresTheSettingsAndTheOutputIsOpened) {
    netfix::Design design(1);
    ProjectRecord* project = design.project;
    const std::string output = dir_.file("parts.txt");
    ASSERT_TRUE(WriteFile(Saw().scriptPath, "SETFILE \"" + output + "\"; WRITE \"R1\""));
    project->reportOptions.openOutput = 1;
    Answer([](VXWindowRecordTag* d) {
        char title[200];
        VXGetWindowTitle(d, title);
        Saw().shown.push_back(title);
        Saw().shown.push_back(VXGetItemEnabled(d, kScriptCurrentSheetItem) ? "sheet on" : "sheet off");
        Saw().shown.push_back(VXGetItemEnabled(d, kScriptOpenOutputItem) ? "open on" : "open off");
        VXSimulateButtonClick(d, kScriptDescendItem);
        VXSetItemText(d, kScriptLevelLimitItem, "12000");
    }, 13);
    RunScript(project, nullptr, 0);
    EXPECT_EQ(Saw().shown, (std::vector<std::string>{"Parts List", "sheet off", "open off"}));
    EXPECT_EQ(project->reportOptions.descend, 1);
    EXPECT_EQ(project->reportOptions.levelLimit, 9999);
    std::string written;
    ASSERT_TRUE(ReadFile(output, written));
    EXPECT_EQ(written, "R1");
    // No target application: the user's text editor opens the output.
    EXPECT_EQ(Saw().opened, std::vector<std::string>{output + "|/usr/bin/plain-editor"});

    // Cancel runs nothing.
    ASSERT_TRUE(WriteFile(output, "old"));
    Answer(nullptr, 27);
    RunScript(project, nullptr, 0);
    ASSERT_TRUE(ReadFile(output, written));
    EXPECT_EQ(written, "old");
    EXPECT_EQ(Saw().opened.size(), 1u);
}

// A script that never ends stops at the interrupt key or the running window's Stop button, with
// its message, and the editor is free again: the window is gone.
TEST_F(ScriptCommands, TheInterruptKeyOrStopEndsAScriptThatNeverEnds) {
    netfix::Design design(1);
    static std::vector<std::string> alerts;
    alerts.clear();
    // In the place of the alert, a record.
    ReportHooks hooks = GetReportHooks();
    hooks.alert = [](const char* message) { alerts.push_back(message); };
    SetReportHooks(hooks);
    ASSERT_TRUE(WriteFile(Saw().scriptPath, "WHILE 1 {}"));
    TestSetKeyDown(kScriptOptionKey, true);  // no dialog
    TestSetKeyDown(kPlatformKeyEscape, true);
    RunScript(design.project, nullptr, 0);
    TestSetKeyDown(kPlatformKeyEscape, false);
    TestSetKeyDown(kScriptOptionKey, false);
    EXPECT_EQ(alerts, std::vector<std::string>{"Script Runtime Error:\r\r  The script was stopped before its end."});
    EXPECT_EQ(FrontDialog(), nullptr);

    // The running window's Stop button does the same.
    alerts.clear();
    static std::vector<std::string> shown;
    shown.clear();
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* window = FrontDialog();
        ASSERT_TRUE(window);
        char title[200];
        VXGetWindowTitle(window, title);
        shown.push_back(title);
        shown.push_back(test::DialogItemText(window, kSpiceWaitTextItem));
        WriteScreenshot(window, "script_running.png");
        VXInvokePushButton(window, 2);
    }, nullptr, 0);
    TestSetKeyDown(kScriptOptionKey, true);
    RunScript(design.project, nullptr, 0);
    TestSetKeyDown(kScriptOptionKey, false);
    EXPECT_EQ(shown, (std::vector<std::string>{"Parts List", kScriptRunningMessage}));
    EXPECT_EQ(alerts, std::vector<std::string>{"Script Runtime Error:\r\r  The script was stopped before its end."});
    EXPECT_EQ(FrontDialog(), nullptr);
}

TEST_F(ScriptCommands, MissingProjectsAndScriptsEndWithTheirMessages) {
    Answer([](VXWindowRecordTag* d) { Saw().shown.push_back(test::DialogItemText(d, 1)); }, 13);
    RunScript(nullptr, nullptr, 0);
    // The script is missing: the user is offered Browse and cancels.
    netfix::Design design(1);
    Answer([](VXWindowRecordTag* d) { Saw().shown.push_back(test::DialogItemText(d, 1)); }, 27);
    RunScript(design.project, nullptr, 0);
    Answer([](VXWindowRecordTag* d) { Saw().shown.push_back(test::DialogItemText(d, 1)); }, 13);
    EditScriptFile(0);
    EXPECT_EQ(Saw().shown,
              (std::vector<std::string>{
                  "The sheet's project file must be opened before this command can be used.",
                  "The selected script file could not be found.",
                  "The selected script file could not be found."}));
    EXPECT_TRUE(Saw().opened.empty());
}

TEST_F(ScriptCommands, EditScriptOpensTheScriptInTheTextEditor) {
    ASSERT_TRUE(WriteFile(Saw().scriptPath, "WRITE 1"));
    EditScriptFile(0);
    EXPECT_EQ(Saw().opened, std::vector<std::string>{Saw().scriptPath + "|/usr/bin/plain-editor"});
}

}  // namespace
}  // namespace plexa::test
