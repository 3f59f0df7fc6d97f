// The DXF export command: the proposed file follows the sheet file or the window title, the
// command writes the file chosen in the scripted save panel with its progress message taken
// down afterwards, and a cancel writes nothing.
#include "sheeteditor/dxfexportui.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "design/dxfexport.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/program.h"
#include "model/sheet.h"
#include "platform/panel_platform.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_dialogs.h"

namespace plexa::test {
namespace {

class DXFExportCommand : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSheetWindows();
        TestResetFilePanels();
        saved_ = GetDXFExportHooks();
        DXFExportHooks hooks;
        hooks.progressMessage = [](const char* message) {
            if (message) ++Shown();
            ShowDXFExportProgress(message);
        };
        SetDXFExportHooks(hooks);
        Shown() = 0;
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
    }
    void TearDown() override {
        sheets.DestroyAll();
        SetDXFExportHooks(saved_);
        TestResetFilePanels();
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }
    static int& Shown() {
        static int shown = 0;
        return shown;
    }
    FileSpec Spec(const std::string& path) {
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
        return spec;
    }
    std::string Folder(const FileSpec& spec) {
        return std::string(spec.directory.bytes, spec.directory.length);
    }

    SheetWindowList sheets;
    SheetRecord* sheet = nullptr;
    DXFExportHooks saved_;
    TempDir dir_;
};

TEST_F(DXFExportCommand, TheProposalFollowsTheSheetFileOrTheWindowTitle) {
    // A saved sheet: its folder, its name with the extension replaced.
    const FileSpec saved = sheet->fileSpec;
    sheet->fileSpec = Spec(dir_.file("AMP.SHX"));
    FileSpec proposal;
    GetDXFExportProposal(sheet, &proposal);
    EXPECT_STREQ(proposal.name, "AMP.DXF");
    EXPECT_EQ(Folder(proposal), dir_.path());

    // An untitled sheet: the window title in the Documents folder.
    sheet->fileSpec = saved;
    ClearDirectoryRef(&sheet->fileSpec.directory);
    EnvScope home("HOME", dir_.path());
    std::filesystem::create_directories(dir_.file("Documents"));
    GetDXFExportProposal(sheet, &proposal);
    EXPECT_STREQ(proposal.name, "Untitled 1.DXF");
    EXPECT_EQ(Folder(proposal), dir_.file("Documents"));

    // No Documents folder: the program's folder; no window: "Untitled".
    std::filesystem::remove(dir_.file("Documents"));
    VXWindowRecordTag* window = sheet->window;
    sheet->window = nullptr;
    GetDXFExportProposal(sheet, &proposal);
    sheet->window = window;
    std::string program = GetProgramPath();
    program.resize(program.rfind('/'));
    EXPECT_EQ(Folder(proposal), program);
    EXPECT_STREQ(proposal.name, "Untitled.DXF");
}

TEST_F(DXFExportCommand, TheCommandWritesTheChosenFileAndCancelWritesNothing) {
    sheet->fileSpec = Spec(dir_.file("AMP.SHX"));
    TestQueueFilePanelAnswer(true, {dir_.file("chosen.DXF")});
    ExportDXFFile(sheet);
    const PlatformFilePanelRequest* request = TestLastFilePanelRequest();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->defaultName, "AMP.DXF");
    EXPECT_EQ(request->folder, dir_.path());
    EXPECT_EQ(request->title, "Export DXF File:");
    EXPECT_TRUE(std::filesystem::exists(dir_.file("chosen.DXF")));
    EXPECT_EQ(Shown(), 1);
    EXPECT_EQ(VXGetStaticMessageWindow(), nullptr);

    TestQueueFilePanelAnswer(false, {});
    ExportDXFFile(sheet);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("AMP.DXF")));
    EXPECT_EQ(Shown(), 1);
}

}  // namespace
}  // namespace plexa::test
