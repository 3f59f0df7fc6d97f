// The quiet answers of the core: one line a message on standard error, the hierarchy log of a
// project counted so that a check that logged nothing says so, the default answer of a question,
// and a chooser that chooses nothing.
#include "app/root_quiet.h"

#include <gtest/gtest.h>

#include <string>

#include "app/root.h"
#include "files/hierarchy.h"
#include "foundation/statustext.h"

namespace plexa {
namespace {

TEST(RootQuiet, MessagesAndTheHierarchyLogGoToStandardErrorAndTheLogCountsPerProject) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    // Another fixture of the program may have started the core under its own name first.
    SetQuietProgramName("app_tests");
    auto* first = reinterpret_cast<ProjectRecord*>(uintptr_t(0x1000));
    auto* second = reinterpret_cast<ProjectRecord*>(uintptr_t(0x2000));
    testing::internal::CaptureStderr();
    QuietMessage("No problems found.");
    QuietMessage("");  // a message taken down says nothing
    QuietReport(-43, "Sheet \"A.SHX\" was not found");
    QuietClearLog(first);
    QuietLogHierarchy(first, HierarchyLogEntry{0x2000003A, "Top-Level sheet was not found.",
                                               "Sheet Name: Missing.SHX", nullptr, nullptr, 0});
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("app_tests: No problems found.\n") +
              "app_tests: Sheet \"A.SHX\" was not found: " + DescribeStatus(-43) + "\n"
              "app_tests: Top-Level sheet was not found. Sheet Name: Missing.SHX\n");
    EXPECT_FALSE(QuietLogEmpty(first));
    EXPECT_TRUE(QuietLogEmpty(second));
    QuietClearLog(first);
    EXPECT_TRUE(QuietLogEmpty(first));
    EXPECT_TRUE(QuietAskSecond("Remove the sheet?", "Cancel", "Remove"));
    FileSpec files[2];
    EXPECT_EQ((QuietChooseNothing<const char*, const char*, FileSpec*, int32_t>("Add Project Sheets", "Add", files, 2)), -128);
}

TEST(RootQuiet, AFailedSaveOfNewNamesNamesTheSheetAndNoLibraryWindowOpens) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    SetQuietProgramName("app_tests");
    testing::internal::CaptureStderr();
    QuietResequenceSaveFailed("Power.SHX", -43);
    QuietResequenceSaveFailed("Cancelled.SHX", -128);  // a cancel says nothing
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "app_tests: The new names of \"Power.SHX\" could not be saved.: " + DescribeStatus(-43) + "\n");
    auto* window = reinterpret_cast<VXWindowRecordTag*>(uintptr_t(0x3000));
    EXPECT_EQ(QuietOpenNoWindow(2, &window), 0);
    EXPECT_EQ(window, nullptr);
}

}  // namespace
}  // namespace plexa
