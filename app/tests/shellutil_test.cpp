// The shell's small services: the general-flags stack and the text editor of report scripts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/root.h"
#include "app/shellutil.h"
#include "model/drawglobals.h"
#include "tests/support/testing.h"
#include "toolkit/vx_services.h"

namespace plexa {
namespace {

TEST(ShellUtilities, GeneralFlagsComeBackInStackOrder) {
    const uint32_t before = gGenFlags;
    gGenFlags = 1;
    PushGenFlags();
    gGenFlags = 2;
    PushGenFlags();
    gGenFlags = 3;
    PopGenFlags();
    EXPECT_EQ(gGenFlags, 2u);
    PopGenFlags();
    EXPECT_EQ(gGenFlags, 1u);
    PopGenFlags();  // nothing pushed: left as it is
    EXPECT_EQ(gGenFlags, 1u);
    EXPECT_EQ(GenFlagsDepth(), 0);
    gGenFlags = before;
}

TEST(ShellUtilities, TheTextEditorIsTheStoredChoiceWhileItIsInstalled) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    test::TempDir dir;
    test::EnvScope data("XDG_DATA_HOME", dir.path());
    test::EnvScope config("XDG_CONFIG_HOME", dir.path());
    ASSERT_EQ(::mkdir(dir.file("applications").c_str(), 0700), 0);
    ASSERT_TRUE(test::WriteFile(dir.file("applications/com.example.Notes.desktop"),
                                "[Desktop Entry]\nType=Application\nName=Notes\nExec=notes %F\n"))
        << "the applications folder";
    VXStoreStringValueForKey(kTextEditorKey, "com.example.Notes.desktop");
    std::string app;
    ASSERT_TRUE(GetTextEditorApplication(&app));
    EXPECT_EQ(app, dir.file("applications/com.example.Notes.desktop"));
    std::string name;
    EXPECT_TRUE(GetApplicationNameForBundleIdentifier("com.example.Notes", false, &name));
    EXPECT_EQ(name, "com.example.Notes");
    EXPECT_FALSE(GetApplicationNameForBundleIdentifier("com.example.Missing", false, &name));
    EXPECT_EQ(name, "None");
    VXRemoveEntryForKey(kTextEditorKey, nullptr);
}

}  // namespace
}  // namespace plexa
