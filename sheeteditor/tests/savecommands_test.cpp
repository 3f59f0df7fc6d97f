// The save commands on sheet windows: the save panel's proposal, a file that another window's
// sheet holds is refused and that sheet keeps its window and changes, Save As and Save a Copy,
// saving every modified sheet, and the window showing the saved file.
#include "sheeteditor/savecommands.h"
#include "sheeteditor/sheetwindow.h"

#include <sys/stat.h>

#include "app/editor_root.h"
#include "app/root.h"
#include "files/sheetfile.h"
#include "foundation/datafile.h"
#include "files/sheetsave.h"
#include "model/sheet.h"
#include "sheeteditor/tests/project_windows_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"

namespace plexa::test {
namespace {

class SaveCommands : public ProjectWindowsTest {
protected:
    void SetUp() override {
        ProjectWindowsTest::SetUp();
        InitSheetWindows();
        InstallEditorHooks();
    }
    void TearDown() override {
        sheets.DestroyAll();
        InstallCoreHooks();
        ProjectWindowsTest::TearDown();
    }
    SheetRecord* New() { return sheets.New(); }
    SheetWindowList sheets;
};

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

TEST_F(SaveCommands, AnUntitledSheetIsSavedUnderTheChosenNameAndItsWindowShowsIt) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    sheet->modifiedFlags = kSheetModifiedContent;
    EXPECT_TRUE(CanSaveSheet(sheet));
    const std::string path = dir.file("Amplifier.SHX");
    TestQueueFilePanelAnswer(true, {path});
    EXPECT_EQ(SaveSheetCommand(sheet, false), 0);
    EXPECT_EQ(TestLastFilePanelRequest()->defaultName, "Untitled 1.SHX");
    EXPECT_EQ(TestLastFilePanelRequest()->title, kSaveSheetPrompt);
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(WindowTitle(sheet->window), "Amplifier");
    EXPECT_EQ(sheet->modifiedFlags & kSheetSaveModifiedMask, 0);
    EXPECT_FALSE(CanSaveSheet(sheet));
    // The next panel starts in the folder chosen last.
    DirectoryRef folder;
    GetPrefDirectory(kPrefFolderDocuments, &folder);
    EXPECT_TRUE(EqualDirectories(&folder, &sheet->fileSpec.directory));
}

TEST_F(SaveCommands, ACopyLeavesTheSheetWithItsFileAndChanges) {
    SheetRecord* sheet = New();
    ASSERT_NE(sheet, nullptr);
    const std::string path = dir.file("Main.SHX"), copy = dir.file("Copy.SHX");
    TestQueueFilePanelAnswer(true, {path});
    ASSERT_EQ(SaveSheetAsCommand(sheet), 0);
    sheet->modifiedFlags = kSheetModifiedContent;
    TestQueueFilePanelAnswer(true, {copy});
    ASSERT_EQ(SaveSheetCopyCommand(sheet), 0);
    EXPECT_EQ(TestLastFilePanelRequest()->defaultName, "Main.SHX");
    EXPECT_TRUE(Exists(copy));
    EXPECT_STREQ(sheet->fileSpec.name, "Main.SHX");
    EXPECT_EQ(WindowTitle(sheet->window), "Main");
    EXPECT_EQ(sheet->modifiedFlags, kSheetModifiedContent);
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(SaveSheetCopyCommand(sheet), kSaveCancelled);
}

// Saving over the file of a sheet that another window shows is refused: that sheet keeps its
// window and its unsaved changes, and its file is not touched.
TEST_F(SaveCommands, AFileThatAnotherWindowShowsIsNotReplaced) {
    SheetRecord* shown = New();
    SheetRecord* sheet = New();
    ASSERT_TRUE(shown && sheet);
    const std::string path = dir.file("Shown.SHX");
    TestQueueFilePanelAnswer(true, {path});
    ASSERT_EQ(SaveSheetAsCommand(shown), 0);
    shown->modifiedFlags = kSheetModifiedContent;
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    TestQueueFilePanelAnswer(true, {path});
    QueueKey(13);  // dismisses the message
    EXPECT_EQ(SaveSheetAsCommand(sheet), kSaveCancelled);
    EXPECT_EQ(TestQueuedInputCount(), 0) << "the message was shown";
    EXPECT_EQ(SheetOfWindow(shown->window), shown);
    EXPECT_TRUE(VXIsWindowVisible(shown->window, false));
    EXPECT_EQ(shown->modifiedFlags, kSheetModifiedContent);
    EXPECT_EQ(FindLoadedSheetWithFile(&shown->fileSpec, sheet), shown);
    EXPECT_EQ(FindLoadedSheetWithFile(&shown->fileSpec, shown), nullptr);
    EXPECT_STREQ(sheet->fileSpec.name, "Untitled 2");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(SaveCommands, SaveAllSavesEveryModifiedSheetWindow) {
    SheetRecord* a = New();
    SheetRecord* b = New();
    SheetRecord* c = New();
    ASSERT_TRUE(a && b && c);
    for (auto [sheet, name] : {std::pair{a, "A.SHX"}, {b, "B.SHX"}, {c, "C.SHX"}}) {
        TestQueueFilePanelAnswer(true, {dir.file(name)});
        ASSERT_EQ(SaveSheetAsCommand(sheet), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(dir.file("B.SHX").c_str(), &before), 0);
    a->modifiedFlags = kSheetModifiedContent;
    c->modifiedFlags = kSheetModifiedDrawing;  // a change of the drawing only is saved too
    ASSERT_EQ(::unlink(dir.file("A.SHX").c_str()), 0);
    ASSERT_EQ(::unlink(dir.file("C.SHX").c_str()), 0);
    EXPECT_EQ(SaveSheetCommand(b, true), 0);
    EXPECT_TRUE(Exists(dir.file("A.SHX")));
    EXPECT_TRUE(Exists(dir.file("C.SHX")));
    struct stat after {};
    ASSERT_EQ(::stat(dir.file("B.SHX").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "an unmodified sheet is not saved";
    EXPECT_EQ(a->modifiedFlags | c->modifiedFlags, 0);
}

}  // namespace
}  // namespace plexa::test
