// What a program without windows answers where the editors would show or ask something: one line
// on standard error for a message or a failure, the second button for a script's question,
// nothing chosen in a save panel, and the ECO log written out instead of shown.
#include <gtest/gtest.h>

#include <string>

#include "app/root.h"
#include "app/root_quiet.h"
#include "foundation/statustext.h"
#include "design/ecodiff.h"
#include "design/ecoexport.h"
#include "design/report_interp.h"
#include "design/tests/netlist_fixture.h"
#include "foundation/filespec.h"
#include "foundation/localized.h"
#include "graphics/dxf.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

class CoreAnswers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartCore("app_tests"), 0);
        // Another fixture of the program may have started the core under its own name first.
        SetQuietProgramName("app_tests");
        InstallCoreHooks();
    }
    void TearDown() override { InstallCoreHooks(); }

    test::TempDir dir_;
};

TEST_F(CoreAnswers, AMessageOrAFailureIsOneLineNamingTheProgram) {
    const std::pair<const char*, std::string> messages[] = {
        {"Searching For Libraries.\r\rTo cancel, press the Escape key.",
         "app_tests: Searching For Libraries. To cancel, press the Escape key."},
        {"\r\none\n", "app_tests: one"},
        {"\r\n", ""},
        {nullptr, ""},
    };
    for (const auto& [text, line] : messages) EXPECT_EQ(QuietMessageLine(text), line);

    char message[256];
    ASSERT_NE(GetStatusMessage(-43, message, sizeof message), nullptr);
    const std::pair<OSStatus, std::string> failures[] = {
        {-43, std::string("app_tests: Error:  ") + message + "\n"},
        {0x20002715, "app_tests: Error:  #10005\n"},
        {-128, ""},
        {0, ""},
    };
    for (const auto& [status, text] : failures) {
        testing::internal::CaptureStderr();
        QuietErrorReport(status);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), text) << status;
    }
}

TEST_F(CoreAnswers, AScriptsQuestionTakesTheSecondButtonAndItsSavePanelChoosesNothing) {
    ASSERT_TRUE(test::WriteFile(dir_.file("ask.SXP"),
                                "SETFILE \"out.txt\"; NOTIFY \"one\\r\\rtwo\"; "
                                "a = ASK(\"Go on?\", \"Yes\", \"No\"); b = ASKSAVE(\"Save as:\", \"x.txt\"); "
                                "WRITE a : \"|\" : b : \"|\""));
    FileSpec script{}, output{};
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir_.file("ask.SXP").c_str(), &script), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunReportScriptFile(nullptr, nullptr, true, 9999, &script, &output), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "app_tests: one two\n");
    std::string written;
    ASSERT_TRUE(test::ReadFile(dir_.file("out.txt"), written));
    EXPECT_EQ(written, "0||");

    // A save panel that must choose ends the run as the user's cancel.
    ASSERT_TRUE(test::WriteFile(dir_.file("abort.SXP"), "a = ASKSAVEABORT(\"Save as:\", \"x.txt\")"));
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir_.file("abort.SXP").c_str(), &script), 0);
    EXPECT_EQ(RunReportScriptFile(nullptr, nullptr, true, 9999, &script, &output), -128);
}

TEST_F(CoreAnswers, TheDXFWriterCannotAskForAFile) {
    const LRect page = {0, 0, 100, 100};
    DXFPort dxf;
    EXPECT_FALSE(DXFBegin(&page, 1.0, nullptr, &dxf));
}

TEST_F(CoreAnswers, TheECOLogOfADesignRuleProblemGoesToStandardError) {
    netfix::Design d{2};
    SheetRecord* sheet = d.AddSheet("MAIN.SHX");
    d.FinishSpecs();
    SheetNode* node = d.AddNode(nullptr, "MAIN.SHX", 0);
    ComponentRecord* res = netfix::Design::MakeComponent(sheet, "RES", "R", 1, 2);
    d.Annotate("MAIN.SHX", netfix::Design::Place(sheet, res), node, "R1");
    d.Annotate("MAIN.SHX", netfix::Design::Place(sheet, res, 0, 100), node, "R1");
    ECOHooks eco = GetECOHooks();
    eco.updateHierarchy = [](ProjectRecord*, uint32_t) {};  // the tree is built in memory
    SetECOHooks(eco);
    const std::string path = dir_.file("BOARD.ECO");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ExportECOFile(d.project, path.c_str()), -128);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "app_tests: the ECO log of " + path + ":\nReference designator used more than once:  R1\n");
    EXPECT_FALSE(gECOLog.open);
    std::string written;
    EXPECT_FALSE(test::ReadFile(path, written));
}

}  // namespace
}  // namespace plexa
