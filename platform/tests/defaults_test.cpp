// The user-defaults file and the user's folders: a value written by one process is read by the
// next, and the XDG variables move the folders.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/defaults_store.h"
#include "platform/services_platform.h"
#include "platform/tests/platform_fixture.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

class DefaultsFile : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        DefaultsReload();
    }
    void TearDown() override {
        DefaultsReload();
        unsetenv("XDG_CONFIG_HOME");
        PlatformTest::TearDown();
    }
    TempDir dir_;
};

// Runs the defaults probe, a second process, with the config folder given; its exit status.
int RunProbe(const std::string& configHome) {
    const std::string command = "XDG_CONFIG_HOME='" + configHome + "' '" PLEXA_DEFAULTS_PROBE "'";
    return std::system(command.c_str());
}

TEST_F(DefaultsFile, ValueWrittenIsReadByANewProcess) {
    DefaultsSetInt("Sheet Grid", 25);
    DefaultsSetString("Last Project", "/home/u/Amp.PRX");
    const char bytes[] = {'\x00', '\x7F', '\xFF', '='};
    DefaultsSetBytes("Window State", bytes, sizeof bytes);
    EXPECT_EQ(RunProbe(dir_.path()), 0);
    // The child's answer, read back here after reloading the file.
    DefaultsReload();
    std::string answer;
    EXPECT_TRUE(DefaultsGetString("Child", &answer));
    EXPECT_EQ(answer, "seen");
}

TEST_F(DefaultsFile, MissingAndRemovedKeys) {
    int32_t value = 5;
    EXPECT_FALSE(DefaultsGetInt("None", &value));
    EXPECT_EQ(value, 0);
    DefaultsSetString("Text", "not a number");
    EXPECT_FALSE(DefaultsGetInt("Text", &value));
    EXPECT_TRUE(DefaultsHasKey("Text"));
    DefaultsRemove("Text");
    EXPECT_FALSE(DefaultsHasKey("Text"));
    std::string text = "x";
    EXPECT_FALSE(DefaultsGetString("Text", &text));
    EXPECT_EQ(text, "");
}

TEST_F(DefaultsFile, AwkwardKeysAndTextsRoundTrip) {
    const char* texts[] = {"R1, R2", " leading and trailing ", "a=b;c", "\"quoted\"",
                           "@ByteArray(x)", "line\nbreak", "", "\xE2\x82\xAC 5"};
    const char* keys[] = {"Paths/Library", "with space", "Ümlaut", "semi;colon", "#hash",
                          "a=b", "[group]", "back\\slash"};
    for (const char* key : keys) {
        for (const char* text : texts) {
            DefaultsSetString(key, text);
            DefaultsReload();
            std::string back;
            EXPECT_TRUE(DefaultsGetString(key, &back)) << key;
            EXPECT_EQ(back, text) << key;
        }
    }
}

// The file lies in the settings folder beside the preferences; one that an earlier version kept
// in the old folder is moved there when the store is first opened, once, and the old folder goes
// when it is left empty. Where the settings folder holds a file already, the old one stays as it is.
TEST_F(DefaultsFile, AFileInTheOldPlaceIsMovedOnce) {
    namespace fs = std::filesystem;
    const std::string file = DefaultsFilePath(), old = DefaultsOldFilePath();
    EXPECT_EQ(file, dir_.path() + "/plexa/" + PlatformApplicationName() + ".conf");
    EXPECT_EQ(old, dir_.path() + "/Orvix/" + PlatformApplicationName() + ".conf");
    DefaultsSetInt("Sheet Grid", 25);
    DefaultsReload();
    fs::create_directories(fs::path(old).parent_path());
    fs::rename(file, old);

    int32_t value = 0;
    EXPECT_TRUE(DefaultsGetInt("Sheet Grid", &value));
    EXPECT_EQ(value, 25);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(fs::path(old).parent_path())) << "the emptied old folder goes";

    // An old file beside a current one is left alone; the current one counts.
    DefaultsSetInt("Sheet Grid", 30);
    DefaultsReload();
    fs::create_directories(fs::path(old).parent_path());
    fs::copy_file(file, old);
    DefaultsSetInt("Sheet Grid", 35);
    DefaultsReload();
    EXPECT_TRUE(DefaultsGetInt("Sheet Grid", &value));
    EXPECT_EQ(value, 35);
    EXPECT_TRUE(fs::exists(old));
}

TEST(UserFolders, FollowTheXDGVariables) {
    struct Case {
        PlatformFolder folder;
        const char* variable;
        const char* fallback;
    };
    const Case cases[] = {
        {PlatformFolder::kConfig, "XDG_CONFIG_HOME", "/.config"},
        {PlatformFolder::kData, "XDG_DATA_HOME", "/.local/share"},
        {PlatformFolder::kApplicationSupport, "XDG_DATA_HOME", "/.local/share"},
        {PlatformFolder::kCache, "XDG_CACHE_HOME", "/.cache"},
    };
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", "/home/someone", 1);
    for (const Case& c : cases) {
        const char* old = std::getenv(c.variable);
        const std::string saved = old ? old : "";
        setenv(c.variable, "/elsewhere", 1);
        EXPECT_EQ(PlatformUserFolder(c.folder), "/elsewhere");
        setenv(c.variable, "relative", 1);  // not absolute: ignored
        EXPECT_EQ(PlatformUserFolder(c.folder), std::string("/home/someone") + c.fallback);
        unsetenv(c.variable);
        EXPECT_EQ(PlatformUserFolder(c.folder), std::string("/home/someone") + c.fallback);
        if (old) setenv(c.variable, saved.c_str(), 1);
    }
    EXPECT_EQ(PlatformUserFolder(PlatformFolder::kHome), "/home/someone");
    if (oldHome) setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace plexa::test
