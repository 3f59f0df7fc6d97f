// File panels answered by the platform's test seam: chosen files and their order, type lists,
// the open filter, shell requests, save panels, folder choosers, and names that fit no file spec.
#include "toolkit/vx_filepanels.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/folders.h"
#include "platform/panel_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_app.h"

namespace plexa {
namespace {

struct Opened {
    std::string name;
    int32_t index, count;
};

OSStatus Collect(const FileSpec* spec, int32_t index, int32_t count, void* userData) {
    static_cast<std::vector<Opened>*>(userData)->push_back({spec->name, index, count});
    return spec->name == std::string("stop.TXT") ? status::kBusy : status::kNoErr;
}

std::string Path(const DirectoryRef& directory) {
    std::string path;
    EXPECT_EQ(status::kNoErr, CreateDirectoryURLFromDirectory(&directory, &path));
    return path;
}

class FilePanelsTest : public test::ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        VXResetShellRequestsForTesting(true);
        TestResetFilePanels();
        for (const char* name : {"a.SHX", "b.PRX", "c.TXT", "d.bin", "stop.TXT", "Tool.desktop"})
            test::WriteFile(dir_.file(name), "x");
        ASSERT_EQ(::mkdir(dir_.file("sub").c_str(), 0700), 0);
        longName_ = dir_.file(std::string(170, 'n') + ".SHX");
        test::WriteFile(longName_, "x");
        ASSERT_EQ(DirectoryFromDirectoryURL(dir_.path(), &folder_), 0);
    }
    void TearDown() override {
        TestResetFilePanels();
        VXInstallMacOpenFilesFilter(nullptr, nullptr);
        VXResetShellRequestsForTesting(false);
        ToolkitTest::TearDown();
    }
    std::vector<Opened> Open(const char* types, const std::vector<std::string>& names,
                             OSStatus* result = nullptr) {
        std::vector<std::string> paths;
        for (const std::string& name : names) paths.push_back(name[0] == '/' ? name : dir_.file(name));
        TestQueueFilePanelAnswer(true, paths);
        std::vector<Opened> opened;
        DirectoryRef folder = folder_;
        const OSStatus st = VXAskOpenFiles("", types, kVXPanelMultiple, &folder, nullptr, "",
                                           Collect, &opened);
        if (result) *result = st;
        return opened;
    }
    test::TempDir dir_;
    std::string longName_;
    DirectoryRef folder_;
};

TEST_F(FilePanelsTest, OpenFilesInThePanelsOrder) {
    TestQueueFilePanelAnswer(true, {dir_.file("c.TXT"), longName_, dir_.file("a.SHX")});
    std::vector<Opened> opened;
    DirectoryRef folder = folder_;
    ASSERT_EQ(VXAskOpenFiles("Caf\x8E", "SCH4TEXT", kVXPanelStartInFolder | kVXPanelMultiple,
                             &folder, nullptr, "Open", Collect, &opened),
              0);
    // The long name gives no file spec: skipped, but counted.
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].name, "c.TXT");
    EXPECT_EQ(opened[0].index, -1);
    EXPECT_EQ(opened[0].count, 3);
    EXPECT_EQ(opened[1].name, "a.SHX");
    EXPECT_EQ(opened[1].index, 1);
    EXPECT_EQ(Path(folder), dir_.path());
    const PlatformFilePanelRequest* request = TestLastFilePanelRequest();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->title, "Caf\xC3\xA9");  // Mac Roman text shown as UTF-8
    EXPECT_EQ(request->prompt, "Open");
    EXPECT_EQ(request->folder, dir_.path());
    EXPECT_TRUE(request->multiple);

    // The first failure of the procedure ends the walk.
    OSStatus st = 0;
    EXPECT_EQ(Open("TEXT", {"stop.TXT", "c.TXT"}, &st).size(), 1u);
    EXPECT_EQ(st, status::kBusy);
}

TEST_F(FilePanelsTest, TypeListsDecideWhatIsOffered) {
    struct Case {
        const char* types;
        const char* name;
        bool offered;
    } cases[] = {
        {"SCH4", "a.SHX", true},       {"SCH4", "c.TXT", false},     {"SCH4PRJ4", "b.PRX", true},
        {"SCH4PRJ", "b.PRX", false},   {"", "d.bin", true},          {"????", "d.bin", true},
        {"APPL", "Tool.desktop", true}, {"APPL", "c.TXT", false},    {"TEXT", "sub", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.types) + " " + c.name);
        EXPECT_EQ(Open(c.types, {c.name}).size(), c.offered ? 1u : 0u);
    }
}

bool RefuseAll(const FileSpec*, void*) { return false; }

TEST_F(FilePanelsTest, FilterAndCancel) {
    VXInstallMacOpenFilesFilter(RefuseAll, nullptr);
    EXPECT_TRUE(VXOpenPanelShouldEnable(dir_.file("sub")));  // folders stay enabled
    EXPECT_FALSE(VXOpenPanelShouldEnable(dir_.file("c.TXT")));
    EXPECT_TRUE(VXOpenPanelShouldEnable(longName_));  // gives no file spec
    EXPECT_TRUE(Open("", {"c.TXT"}).empty());
    EXPECT_TRUE(VXOpenPanelShouldEnable(dir_.file("c.TXT")));  // cleared with the panel

    // A cancelled panel still reports the folder it showed, and clears the filter.
    VXInstallMacOpenFilesFilter(RefuseAll, nullptr);
    TestQueueFilePanelAnswer(false, {}, dir_.file("sub"));
    DirectoryRef folder = folder_;
    EXPECT_EQ(VXAskOpenFiles("", "", 0, &folder, nullptr, "", Collect, nullptr),
              status::kUserCancelled);
    EXPECT_EQ(Path(folder), dir_.file("sub"));
    EXPECT_TRUE(VXOpenPanelShouldEnable(dir_.file("c.TXT")));
}

TEST_F(FilePanelsTest, WithoutAProcedureFilesGoToTheShell) {
    TestQueueFilePanelAnswer(true, {dir_.file("a.SHX"), dir_.file("b.PRX")});
    DirectoryRef folder = folder_;
    ASSERT_EQ(VXAskOpenFiles("", "SCH4PRJ4", kVXPanelMultiple, &folder, nullptr, "", nullptr,
                             nullptr),
              0);
    EXPECT_EQ(VXCountShellRequests(), 2);
}

TEST_F(FilePanelsTest, AskFileOpen) {
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir_.file("d.bin"), &spec, true, nullptr), 0);
    TestQueueFilePanelAnswer(true, {dir_.file("a.SHX")});
    ASSERT_TRUE(VXAskFileOpen("", "SCH4", kVXPanelStartInFolder | kVXPanelChoosePrompt, &spec, nullptr));
    EXPECT_STREQ(spec.name, "a.SHX");
    EXPECT_STREQ(spec.type, "SCH4");
    EXPECT_EQ(TestLastFilePanelRequest()->prompt, "Choose");

    // Nothing chosen (or a name that fits no spec): the spec keeps its name, its folder becomes
    // the panel's.
    TestQueueFilePanelAnswer(false, {}, dir_.file("sub"));
    EXPECT_FALSE(VXAskFileOpen("", "", 0, &spec, nullptr));
    EXPECT_STREQ(spec.name, "a.SHX");
    EXPECT_EQ(Path(spec.directory), dir_.file("sub"));
    TestQueueFilePanelAnswer(true, {longName_});
    EXPECT_FALSE(VXAskFileOpen("", "", 0, &spec, nullptr));
    EXPECT_STREQ(spec.name, "a.SHX");

    // "Fldr" chooses a folder.
    TestQueueFilePanelAnswer(true, {dir_.file("sub")});
    ASSERT_TRUE(VXAskFileOpen("", "Fldr", 0, &spec, nullptr));
    EXPECT_STREQ(spec.name, "sub");
    EXPECT_EQ(TestLastFilePanelRequest()->kind, PlatformPanelKind::kChooseFolder);
    TestQueueFilePanelAnswer(false, {}, dir_.file("sub"));
    EXPECT_FALSE(VXAskFileOpen("", "Fldr", 0, &spec, nullptr));
    EXPECT_STREQ(spec.name, "sub");
    EXPECT_EQ(Path(spec.directory), dir_.file("sub"));
}

TEST_F(FilePanelsTest, SavePanel) {
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir_.file("a.SHX"), &spec, true, nullptr), 0);
    TestQueueFilePanelAnswer(true, {dir_.file("sub/new.SHX")});
    ASSERT_EQ(RunSaveFilesPanel("Save", "new.SHX", true, "QPLX", "SCH4", &spec), 0);
    EXPECT_STREQ(spec.name, "new.SHX");
    EXPECT_STREQ(spec.type, "");  // a new file has no codes yet
    EXPECT_EQ(Path(spec.directory), dir_.file("sub"));
    const PlatformFilePanelRequest* request = TestLastFilePanelRequest();
    EXPECT_EQ(request->defaultName, "new.SHX");
    EXPECT_EQ(request->folder, dir_.path());
    EXPECT_TRUE(request->createFolders);

    // A name too long for a file spec is reported, not cut to another file's name.
    TestQueueFilePanelAnswer(true, {dir_.file(std::string(200, 's'))});
    EXPECT_EQ(RunSaveFilesPanel("", "", false, "", "", &spec), status::kNoDirectoryRef);
    EXPECT_STREQ(spec.name, "new.SHX");
    TestQueueFilePanelAnswer(false, {});
    EXPECT_FALSE(VXAskFileSave("", "", "", "", false, &spec));
    EXPECT_STREQ(spec.name, "new.SHX");
}

TEST_F(FilePanelsTest, FolderChoosers) {
    DirectoryRef folder = folder_;
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(RunChooseFolderPanel("", kVXPanelStartInFolder | kVXPanelCreateFolders, &folder, ""),
              status::kUserCancelled);
    EXPECT_TRUE(IsDirectoryInvalid(&folder));
    EXPECT_EQ(TestLastFilePanelRequest()->folder, dir_.path());
    EXPECT_TRUE(TestLastFilePanelRequest()->createFolders);

    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir_.file("a.SHX"), &spec, false, nullptr), 0);
    TestQueueFilePanelAnswer(true, {dir_.file("sub")});
    ASSERT_EQ(VXChooseFolder("", "Use", 0, &spec), 0);
    EXPECT_STREQ(spec.name, "");
    EXPECT_EQ(Path(spec.directory), dir_.file("sub"));
    TestQueueFilePanelAnswer(true, {dir_.file("sub")});
    ASSERT_EQ(VXChooseFolder("", "Use", kVXPanelFolderAsSpec, &spec), 0);
    EXPECT_STREQ(spec.name, "sub");
    EXPECT_EQ(Path(spec.directory), dir_.path());
}

TEST_F(FilePanelsTest, AccessPointsChooseThroughThePanel) {
    VXInstallFolderHooks();
    TestQueueFilePanelAnswer(true, {dir_.file("sub")});
    DirectoryRef chosen;
    ASSERT_EQ(VXChooseAccessPoint(&chosen), 0);
    EXPECT_EQ(Path(chosen), dir_.file("sub"));
    EXPECT_EQ(TestLastFilePanelRequest()->title, "Choose Accessible Location");
    EXPECT_EQ(TestLastFilePanelRequest()->prompt, "Choose");
    VXSaveAccessPoints(true);
    SetFolderChooserHook(nullptr);
}

TEST(FileTypeStr, BuildAndAppend) {
    char types[16] = "junk";
    VXBuildFileTypeStr(types, nullptr, "SCH4", false);
    VXBuildFileTypeStr(types, nullptr, "PRJ4xx", true);
    EXPECT_STREQ(types, "SCH4PRJ4");
}

}  // namespace
}  // namespace plexa
