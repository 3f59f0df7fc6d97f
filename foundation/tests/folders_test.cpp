// Standard folders under XDG variables pointed at a temporary folder, subfolder names that could
// leave their folder, and the access-point list with a scripted folder chooser.
#include "foundation/folders.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "foundation/datafile.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::EnvScope;

std::string Path(const DirectoryRef& directory) {
    std::string path;
    EXPECT_EQ(CreateDirectoryURLFromDirectory(&directory, &path), 0);
    return path;
}

class FoldersTest : public ::testing::Test {
protected:
    FoldersTest()
        : home_("HOME", dir_.file("home")), data_("XDG_DATA_HOME", dir_.file("data")),
          config_("XDG_CONFIG_HOME", "relative/is/ignored") {}
    void TearDown() override {
        SetFolderChooserHook(nullptr);
        VXSaveAccessPoints(true);
    }
    test::TempDir dir_;
    EnvScope home_, data_, config_;
};

TEST_F(FoldersTest, AppLibraryFolderIsMadeUnderTheDataFolder) {
    DirectoryRef folder;
    ASSERT_TRUE(VXGetAppLibraryDirectory("Orvix", &folder));
    EXPECT_EQ(Path(folder), dir_.file("data") + "/Orvix/com.orvix.Plexa");
    ASSERT_TRUE(VXGetAppLibraryDirectory(nullptr, &folder));
    EXPECT_EQ(Path(folder), dir_.file("data") + "/Anonymous/com.orvix.Plexa");

    FileSpec spec;
    ASSERT_EQ(VXBuildPreferenceFileSpec("Plexa Preferences", "Orvix", 0, 0, &spec), 0);
    char path[1024];
    ASSERT_EQ(PathNameFromFileSpec(&spec, false, path, sizeof path, nullptr), 0);
    EXPECT_EQ(std::string(path), dir_.file("data") + "/Orvix/com.orvix.Plexa/Plexa Preferences");
}

TEST_F(FoldersTest, UserDomainFolders) {
    DirectoryRef folder;
    // A relative XDG variable is ignored: the config folder is under the home folder.
    test::WriteFile(dir_.file("placeholder"), "");
    ASSERT_EQ(::mkdir(dir_.file("home").c_str(), 0700), 0);
    EXPECT_FALSE(VXGetUserDomainDirectory(kVXFolderPreferences, nullptr, true, &folder));
    ASSERT_TRUE(VXGetUserDomainDirectory(kVXFolderHome, ".config", true, &folder));
    ASSERT_TRUE(VXGetUserDomainDirectory(kVXFolderPreferences, "Orvix", true, &folder));
    EXPECT_EQ(Path(folder), dir_.file("home") + "/.config/Orvix");
    // Without create a missing subfolder is not found.
    EXPECT_FALSE(VXGetUserDomainDirectory(kVXFolderHome, "Missing", false, &folder));
    EXPECT_TRUE(IsDirectoryInvalid(&folder));
    EXPECT_FALSE(VXGetUserDomainDirectory(99, nullptr, false, &folder));
    EXPECT_TRUE(VXGetBundleResourcesDirectory(&folder));
}

TEST_F(FoldersTest, SubfolderNamesStayInsideTheirFolder) {
    DirectoryRef folder;
    const std::string base = dir_.path();
    struct Case {
        const char* name;
        bool create;
        OSStatus status;
    } cases[] = {
        {"new", false, status::kFolderNotFound},
        {"new", true, status::kNoErr},
        {"new", false, status::kNoErr},
        {"..", true, status::kParamErr},
        {".", true, status::kParamErr},
        {"a/b", true, status::kParamErr},
        {"", true, status::kParamErr},
        {"placeholder", true, status::kDuplicateName},
    };
    test::WriteFile(dir_.file("placeholder"), "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindOrCreateSubFolder(base.c_str(), c.name, c.create, &folder), c.status);
        EXPECT_EQ(IsDirectoryInvalid(&folder), c.status != status::kNoErr);
    }
    const std::string longName(200, 'n');
    EXPECT_EQ(FindOrCreateSubFolder(base.c_str(), longName.c_str(), true, &folder), status::kParamErr);
    EXPECT_FALSE(VXGetAppLibraryDirectory("../escape", &folder));
    EXPECT_EQ(FindOrCreateSubFolder("relative", nullptr, false, &folder), status::kFolderNotFound);
}

std::string gChosen;
OSStatus ScriptedChooser(DirectoryRef* directory, const char* title, const char* prompt,
                         const DirectoryRef*) {
    EXPECT_STREQ(title, "Choose Accessible Location");
    EXPECT_STREQ(prompt, "Choose");
    if (gChosen.empty()) return status::kUserCancelled;
    return DirectoryFromDirectoryURL(gChosen, directory);
}

TEST_F(FoldersTest, AccessPoints) {
    DirectoryRef folder;
    EXPECT_EQ(VXChooseAccessPoint(&folder), status::kParamErr);  // no chooser installed
    SetFolderChooserHook(ScriptedChooser);
    ASSERT_EQ(FindOrCreateSubFolder(dir_.path().c_str(), "b", true, &folder), 0);
    ASSERT_EQ(FindOrCreateSubFolder(dir_.path().c_str(), "a", true, &folder), 0);
    for (const char* name : {"b", "a"}) {
        gChosen = dir_.file(name);
        ASSERT_EQ(VXChooseAccessPoint(&folder), 0);
        EXPECT_EQ(Path(folder), gChosen);
    }
    // The same folder again, also through another path.
    gChosen = dir_.file("a/../a");
    EXPECT_EQ(VXChooseAccessPoint(nullptr), status::kDuplicateName);
    gChosen.clear();
    EXPECT_EQ(VXChooseAccessPoint(nullptr), status::kUserCancelled);
    ASSERT_EQ(VXCountAccessPoints(), 2);
    // Never sandboxed: loading and saving leave the list alone.
    VXLoadAccessPoints();
    VXSaveAccessPoints(false);
    EXPECT_EQ(VXCountAccessPoints(), 2);
    EXPECT_FALSE(VXGetIndexedAccessPoint(2, &folder));
    EXPECT_TRUE(IsDirectoryInvalid(&folder));
    ASSERT_TRUE(VXGetIndexedAccessPoint(0, &folder));
    const std::string first = Path(folder);
    EXPECT_TRUE(VXRemoveIndexedAccessPoint(0));
    EXPECT_FALSE(VXRemoveIndexedAccessPoint(5));
    ASSERT_TRUE(VXGetIndexedAccessPoint(0, &folder));
    EXPECT_NE(Path(folder), first);
    VXSaveAccessPoints(true);
    EXPECT_EQ(VXCountAccessPoints(), 0);
}

}  // namespace
}  // namespace plexa
