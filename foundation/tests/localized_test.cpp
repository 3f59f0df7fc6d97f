// Localized strings: keys, the fallback to the toolkit's table, the strings-file format and
// clipping to the caller's buffer.
#include "foundation/localized.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/testing.h"

namespace plexa {
namespace {

// Points the resources folder somewhere for one test and puts everything back afterwards.
class LocalizedTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* env = std::getenv("PLEXA_RESOURCE_DIR")) saved_ = env;
    }
    void TearDown() override {
        if (saved_)
            setenv("PLEXA_RESOURCE_DIR", saved_->c_str(), 1);
        else
            unsetenv("PLEXA_RESOURCE_DIR");
        SetAppStringsTableName("Application");
        ReloadStringsTables();
    }
    void UseResources(const char* folder) {
        if (folder)
            setenv("PLEXA_RESOURCE_DIR", folder, 1);
        else
            unsetenv("PLEXA_RESOURCE_DIR");
        ReloadStringsTables();
    }
    std::string Load(int32_t id, int32_t index, uint32_t size = 256) {
        char buffer[256] = "garbage";
        return VXLoadStringEx(id, index, buffer, size);
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(LocalizedTest, TheProjectsOwnTablesAreFound) {
    UseResources(nullptr);
    EXPECT_TRUE(std::filesystem::exists(GetResourceDirectory() + "/strings/Application.strings"));
    EXPECT_EQ(Load(128, 0), "Plexa");                            // application table
    EXPECT_EQ(Load(8000, 13), "There is not enough memory.");    // toolkit table
    EXPECT_EQ(Load(8000, 0x10000 | 13), "There is not enough memory.");
    EXPECT_EQ(Load(31999, 0), "");
}

TEST_F(LocalizedTest, KeysFormatAndFallback) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("strings"));
    ASSERT_TRUE(test::WriteFile(dir.file("strings/Application.strings"),
                                "# comment\n"
                                "STR_5 = five  \n"
                                "5,3=\\sthree\\s\n"
                                "5,-1 = minus one\n"
                                "STR_6 =\n"
                                "STR_7 = STR_7\n"
                                "no equals sign here\n"
                                "  = no key\n"
                                "STR_8 = first\n"
                                "STR_8 = line\\nbreak\\tand \\\\ tab\n"
                                "STR_9 = \xE2\x82\xAC\xE2\x82\xAC\n"));
    ASSERT_TRUE(test::WriteFile(dir.file("strings/Framework.strings"),
                                "STR_6 = not used\nSTR_7 = from framework\nSTR_10 = framework only\n"));
    ASSERT_TRUE(test::WriteFile(dir.file("strings/Other.strings"), "STR_5 = other five\n"));
    UseResources(dir.path().c_str());

    struct Case {
        int32_t id, index;
        uint32_t size;
        std::string expected;
    } cases[] = {
        {5, 0, 256, "five"},
        {5, 3, 256, " three "},
        {5, 0xFFFF, 256, "minus one"},
        {6, 0, 256, ""},                  // found empty: the toolkit's table is not asked
        {7, 0, 256, "from framework"},    // a text equal to its key counts as missing
        {8, 0, 256, "line\nbreak\tand \\ tab"},
        {10, 0, 256, "framework only"},
        {11, 0, 256, ""},
        {5, 0, 3, "fi"},
        {9, 0, 6, "\xE2\x82\xAC"},        // clipped between whole characters
        {9, 0, 3, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Load(c.id, c.index, c.size), c.expected) << c.id << "," << c.index << " size " << c.size;

    EXPECT_FALSE(SetAppStringsTableName("../Other"));
    EXPECT_TRUE(SetAppStringsTableName("Other"));
    EXPECT_EQ(Load(5, 0), "other five");
    EXPECT_EQ(Load(10, 0), "framework only");
}

}  // namespace
}  // namespace plexa
