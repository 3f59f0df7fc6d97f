// The question a closing project asks about its annotation changes: the project named by its
// window's title, and Save, Don't Save and Cancel as the close takes them.
#include <gtest/gtest.h>

#include <string>

#include "files/project.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/tests/dialogs_testing.h"

namespace plexa::test {
namespace {

class ProjectCloseQuestion : public AppDialogsTest {};

// Whether a text item of the dialog names the project.
bool NamesProject(VXWindowRecordTag* dialog, const char* name) {
    for (int16_t item = 1; item <= 12; ++item)
        if (DialogItemText(dialog, item).find(name) != std::string::npos) return true;
    return false;
}

TEST_F(ProjectCloseQuestion, TheAnswersAreSaveDontSaveAndCancel) {
    ProjectRecord project{};
    project.window = Document("Board Project", nullptr);
    ASSERT_NE(project.window, nullptr);
    bool named = false;
    InDialog([&](VXWindowRecordTag* dialog) { named = NamesProject(dialog, "Board Project"); }, 's');
    EXPECT_EQ(AskSaveProjectOnClose(&project), 1);
    EXPECT_TRUE(named);
    InDialog(nullptr, 'd');
    EXPECT_EQ(AskSaveProjectOnClose(&project), 0);
    InDialog(nullptr, 27);
    EXPECT_EQ(AskSaveProjectOnClose(&project), status::kUserCancelled);
    VXDestroyWindow(project.window);
    project.window = nullptr;
}

}  // namespace
}  // namespace plexa::test
