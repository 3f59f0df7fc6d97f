// The editor's open-files panel: the kinds of files each mask offers, one file returned or every
// chosen file processed, the remembered folder of each kind of panel, cancels and failures.
#include "sheeteditor/fileselect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/openkinds.h"
#include "platform/panel_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"

namespace plexa::test {
namespace {

FileSpec Named(const char* name, const char* type = "????", const char* creator = "????") {
    FileSpec spec;
    std::memset(&spec, 0, sizeof spec);
    std::strncpy(spec.name, name, sizeof spec.name - 1);
    std::memcpy(spec.type, type, 4);
    std::memcpy(spec.creator, creator, 4);
    return spec;
}

TEST(OpenKinds, EachKindAdmitsItsTypeOrExtension) {
    struct Case {
        FileSpec spec;
        uint32_t mask;
        bool offered;
    } cases[] = {
        {Named("Top.shx"), kOpenKindSheets, true},
        {Named("Top.shx"), kOpenKindProjects, false},
        {Named(".SHX"), kOpenKindSheets, false},  // a name of four characters has no extension
        {Named("T.SHX"), kOpenKindSheets, true},
        {Named("sheet", "SCH4"), kOpenKindSheets, true},
        {Named("Main.Prx"), kOpenKindProjects, true},
        {Named("parts", "LIB4"), kOpenKindLibraries | kOpenKindSheets, true},
        {Named("net.asc"), kOpenKindDatabases, true},
        {Named("notes", "TEXT", "QPLX"), kOpenKindDatabases, true},
        {Named("notes", "TEXT", "ttxt"), kOpenKindDatabases, false},
        {Named("notes", "TEXT", "ttxt"), kOpenKindScripts, true},
        {Named("run.SXP"), kOpenKindScripts, true},
        {Named("Top.SHX", "SCH4"), 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileMatchesOpenKinds(&c.spec, c.mask), c.offered) << c.spec.name << " " << c.mask;
    uint32_t sheets = kOpenKindSheets;
    const FileSpec project = Named("Main.PRX");
    EXPECT_FALSE(MacOpenFilesFilter(&project, &sheets));
    EXPECT_TRUE(MacOpenFilesFilter(&project, nullptr));
}

struct Chosen {
    std::string name;
    int32_t index, count;
};

OSStatus Collect(const FileSpec* spec, int32_t index, int32_t count, void* value) {
    static_cast<std::vector<Chosen>*>(value)->push_back({spec->name, index, count});
    return std::strcmp(spec->name, "Fails.SHX") == 0 ? status::kBusy : status::kNoErr;
}

int gBatchModeCleared = 0;

class FileSelect : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        TestResetFilePanels();
        for (const char* name : {"A.SHX", "B.PRX", "C.TXT", "Fails.SHX"}) WriteFile(dir_.file(name), "x");
        gBatchModeCleared = 0;
        FileSelectHooks hooks;
        hooks.clearAsciiBatchMode = [] { ++gBatchModeCleared; };
        SetFileSelectHooks(hooks);
    }
    void TearDown() override {
        SetFileSelectHooks(FileSelectHooks{});
        TestResetFilePanels();
        ToolkitTest::TearDown();
    }
    void Answer(bool accept, const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const std::string& name : names) paths.push_back(dir_.file(name));
        TestQueueFilePanelAnswer(accept, paths, dir_.path());
    }
    std::string RememberedFolder(int32_t index) {
        DirectoryRef folder;
        GetPrefDirectory(index, &folder);
        std::string path;
        if (!IsDirectoryInvalid(&folder)) {
            EXPECT_EQ(status::kNoErr, CreateDirectoryURLFromDirectory(&folder, &path));
        }
        return path;
    }
    TempDir dir_;
};

TEST_F(FileSelect, WithoutAProcessorOneFileOfTheKindIsReturned) {
    const int32_t index = 101;
    ASSERT_EQ(RememberedFolder(index), "");
    Answer(true, {"C.TXT", "A.SHX"});
    FileSpec result = Named("untouched");
    EXPECT_EQ(SelectAndProcessFiles(kOpenKindSheets, index, "Open Sheet", "", nullptr, nullptr, &result), 0);
    EXPECT_STREQ(result.name, "A.SHX") << "the text file is not offered";
    EXPECT_FALSE(TestLastFilePanelRequest()->multiple);
    EXPECT_EQ(TestLastFilePanelRequest()->folder, "") << "no folder was remembered yet";
    EXPECT_EQ(gBatchModeCleared, 1);
    EXPECT_EQ(RememberedFolder(index).rfind(dir_.path(), 0), 0u) << RememberedFolder(index);

    // The next panel of the kind starts where the last one ended; a cancel changes no result.
    Answer(false, {});
    EXPECT_EQ(SelectAndProcessFiles(kOpenKindSheets, index, "Open Sheet", "", nullptr, nullptr, &result),
              status::kUserCancelled);
    EXPECT_EQ(TestLastFilePanelRequest()->folder.rfind(dir_.path(), 0), 0u);
    EXPECT_STREQ(result.name, "A.SHX");
}

TEST_F(FileSelect, AProcessorGetsEveryChosenFileAndItsFailureEndsThePanel) {
    std::vector<Chosen> chosen;
    Answer(true, {"A.SHX", "C.TXT", "B.PRX"});
    EXPECT_EQ(SelectAndProcessFiles(kOpenKindSheets | kOpenKindProjects, 102, "Add", "", Collect, &chosen, nullptr), 0);
    EXPECT_TRUE(TestLastFilePanelRequest()->multiple);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0].name, "A.SHX");
    EXPECT_EQ(chosen[1].name, "B.PRX");
    EXPECT_EQ(chosen[0].index, -1);
    EXPECT_EQ(chosen[1].count, 2);

    chosen.clear();
    Answer(true, {"Fails.SHX", "A.SHX"});
    EXPECT_EQ(SelectAndProcessFiles(kOpenKindSheets, 103, "Add", "", Collect, &chosen, nullptr), status::kBusy);
    EXPECT_EQ(chosen.size(), 1u);
    EXPECT_EQ(RememberedFolder(103), "") << "a failed panel remembers no folder";
    EXPECT_EQ(SelectAndProcessFiles(kOpenKindSheets, 103, "Add", "", nullptr, nullptr, nullptr), status::kParamErr);
}

TEST_F(FileSelect, TheSheetChooserGivesTheChosenSheetsUpToItsCapacity) {
    FileSpec files[2] = {Named("untouched"), Named("untouched")};
    Answer(true, {"A.SHX", "C.TXT", "Fails.SHX"});
    EXPECT_EQ(ChooseSheetFiles("Add Project Sheets", "Add", files, 2), 2);
    EXPECT_EQ(TestLastFilePanelRequest()->title, "Add Project Sheets");
    EXPECT_EQ(TestLastFilePanelRequest()->prompt, "Add");
    EXPECT_TRUE(TestLastFilePanelRequest()->multiple);
    EXPECT_STREQ(files[0].name, "A.SHX");
    EXPECT_STREQ(files[1].name, "Fails.SHX") << "the text file is not offered";

    // More files than room: the first ones are kept; a cancel gives its status.
    Answer(true, {"Fails.SHX", "A.SHX"});
    EXPECT_EQ(ChooseSheetFiles("Add Project Sheets", "Add", files, 1), 1);
    EXPECT_STREQ(files[0].name, "Fails.SHX");
    EXPECT_STREQ(files[1].name, "Fails.SHX");
    Answer(false, {});
    EXPECT_EQ(ChooseSheetFiles("Add Project Sheets", "Add", files, 2), status::kUserCancelled);
    EXPECT_EQ(TestLastFilePanelRequest()->folder.rfind(dir_.path(), 0), 0u) << "the documents' folder is remembered";
}

}  // namespace
}  // namespace plexa::test
