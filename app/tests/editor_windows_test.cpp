// What the editor's entry point puts where the core answers quietly, driven through the toolkit's
// alerts and the platform's scripted keys and panel answers: a failure of the hierarchy shows the
// line that names what failed above the status's message, its questions take the button the
// person presses, and the report scripts' save panel gives the chosen file's full path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "design/report_interp.h"
#include "files/hierarchy.h"
#include "platform/panel_platform.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

// The texts of the alert that was up, then the key that ended it.
std::vector<std::string> gAlert;

void AnswerAlert(uint16_t key) {
    static uint16_t gKey;
    gKey = key;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* alert = FrontDialog();
        ASSERT_NE(alert, nullptr);
        gAlert = {DialogItemText(alert, 1), DialogItemText(alert, 2)};
        QueueKey(gKey);
    }, nullptr, 0.001);
}

class EditorWindows : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        TestResetFilePanels();
        gAlert.clear();
        InstallEditorHooks();
    }
    void TearDown() override {
        InstallCoreHooks();
        TestResetFilePanels();
        AppDialogsTest::TearDown();
    }
    TempDir dir;
};

TEST_F(EditorWindows, AHierarchyFailureNamesWhatFailedAboveTheStatus) {
    AnswerAlert(13);
    GetHierarchyHooks().report(-43, "Could not read the sheet \"A.SHX\"");
    ASSERT_EQ(gAlert.size(), 2u);
    EXPECT_EQ(gAlert[0], "Could not read the sheet \"A.SHX\"");
    EXPECT_EQ(gAlert[1].rfind("Error:  ", 0), 0u) << gAlert[1];
    EXPECT_NE(gAlert[1], "Error:  ") << "the status has its own words";

    // A cancel is never reported: no alert comes up.
    gAlert.clear();
    GetHierarchyHooks().report(status::kUserCancelled, "nothing");
    EXPECT_TRUE(gAlert.empty());
}

TEST_F(EditorWindows, TheQuestionsTakeTheButtonThePersonPresses) {
    // The hierarchy's question goes on with its second button (Escape presses it).
    AnswerAlert(27);
    EXPECT_TRUE(GetHierarchyHooks().ask("Remove the sheet?", "Cancel", "Remove"));
    EXPECT_EQ(gAlert.at(0), "Remove the sheet?");
    AnswerAlert(13);
    EXPECT_FALSE(GetHierarchyHooks().ask("Remove the sheet?", "Cancel", "Remove"));
    // A report script's question answers true for its first button.
    AnswerAlert(13);
    EXPECT_TRUE(GetReportHooks().ask("Write the netlist?", "OK", "Cancel"));
    AnswerAlert(27);
    EXPECT_FALSE(GetReportHooks().ask("Write the netlist?", "OK", "Cancel"));
}

TEST_F(EditorWindows, AReportScriptsSavePanelStartsInItsFolderAndGivesTheFullPath) {
    char path[1024] = "";
    TestQueueFilePanelAnswer(true, {dir.file("OUT.NET")});
    ASSERT_TRUE(GetReportHooks().askSave("Save the netlist as:", "BOARD.NET", dir.path().c_str(), path,
                                         int32_t(sizeof path)));
    EXPECT_EQ(std::string(path), dir.file("OUT.NET"));
    EXPECT_EQ(TestLastFilePanelRequest()->defaultName, "BOARD.NET");
    EXPECT_EQ(TestLastFilePanelRequest()->folder.rfind(dir.path(), 0), 0u) << TestLastFilePanelRequest()->folder;
    // A path longer than the caller's buffer is no answer.
    char small[8] = "";
    TestQueueFilePanelAnswer(true, {dir.file("OUT.NET")});
    EXPECT_FALSE(GetReportHooks().askSave("Save the netlist as:", "BOARD.NET", dir.path().c_str(), small,
                                          int32_t(sizeof small)));
    TestQueueFilePanelAnswer(false, {});
    EXPECT_FALSE(GetReportHooks().askSave("Save the netlist as:", "BOARD.NET", dir.path().c_str(), path,
                                          int32_t(sizeof path)));
}

}  // namespace
}  // namespace plexa::test
