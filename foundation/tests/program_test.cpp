// The resources folder of a program in a build tree and in an installed tree, and the environment
// that names another.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "foundation/program.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

TEST(Program, ResourcesOfABuildTreeAndOfAnInstalledTree) {
    TempDir dir;
    for (const char* folder : {"build", "build/app", "build/resources", "usr", "usr/bin", "usr/share",
                               "usr/share/plexa", "lone"})
        ASSERT_EQ(::mkdir(dir.file(folder).c_str(), 0700), 0) << folder;
    EXPECT_EQ(ResourceDirectoryForProgram(dir.file("build/app/plexa")), dir.file("build/resources"));
    EXPECT_EQ(ResourceDirectoryForProgram(dir.file("usr/bin/plexa")), dir.file("usr/share/plexa"));
    EXPECT_EQ(ResourceDirectoryForProgram(dir.file("lone/plexa")), "");
    EXPECT_EQ(ResourceDirectoryForProgram(""), "");
}

TEST(Program, ThisTestProgramFindsTheBuildsResources) {
    const std::string program = GetProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.rfind("foundation_tests"), program.size() - 16);
    std::string table;
    EXPECT_TRUE(ReadFile(ResourceDirectoryForProgram(program) + "/strings/Application.strings", table));
}

TEST(Program, TheEnvironmentNamesAnotherFolder) {
    TempDir dir;
    const char* saved = std::getenv("PLEXA_RESOURCE_DIR");
    const std::string before = saved ? saved : "";
    setenv("PLEXA_RESOURCE_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(FindResourceDirectory(), dir.path());
    setenv("PLEXA_RESOURCE_DIR", dir.file("missing").c_str(), 1);  // not a folder: ignored
    EXPECT_EQ(FindResourceDirectory(), ResourceDirectoryForProgram(GetProgramPath()));
    if (saved)
        setenv("PLEXA_RESOURCE_DIR", before.c_str(), 1);
    else
        unsetenv("PLEXA_RESOURCE_DIR");
}

}  // namespace
}  // namespace plexa::test
