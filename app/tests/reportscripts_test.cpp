// The report scripts in the File > Export menu: each item's command names the script's index in
// the list, also after an entry that has no item; run from the menu of the running editor, each
// shipped script writes the output that the report-run tool writes for the same project.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/prefs.h"
#include "app/reportscripts.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;

TEST(ScriptsMenu, EachItemRunsTheScriptOfItsIndexAfterASkippedEntry) {
    gScriptFilesList = {{"Parts.SXP", "****", nullptr}, {".SXP", "****", nullptr},
                        {"Nets.txt", "", nullptr},      {"Spice.txt.SXP", "smra", nullptr}};
    using Items = std::vector<std::pair<uint16_t, std::string>>;
    EXPECT_EQ(ScriptMenuItems(), (Items{{1400, "Parts"}, {1402, "Nets"}, {1403, "Spice"}}));
    // At most a hundred items.
    gScriptFilesList.assign(120, ScriptFileEntry{"S", "", nullptr});
    const Items many = ScriptMenuItems();
    ASSERT_EQ(many.size(), 100u);
    EXPECT_EQ(many.back().first, 1499);
    gScriptFilesList.clear();
}

#if defined(PLEXA_PROGRAM) && defined(PLEXA_REPORT_RUN)

// The desktop's lists of applications, for the run: none but those of its scratch home.
void NoDesktopApplications(ScriptedRun& run) {
    run.SetEnvironment("XDG_DATA_DIRS=" + run.dir().file("none"));
    run.SetEnvironment("XDG_CONFIG_DIRS=" + run.dir().file("none"));
}

TEST(ScriptsMenu, TheShippedScriptsRunFromTheMenuAsTheReportToolRunsThem) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string reference = run.dir().file("reference");
    fs::copy(folder, reference, fs::copy_options::recursive);
    // The scratch home names no text editor and the desktop no application for text, so opening
    // the output of each script ends with the alert that says so.
    NoDesktopApplications(run);
    std::string script = "wait-window amp\nwait-drawn amp\n";
    for (const std::string name : {"Orvix Boardix Parts List", "Orvix Boardix Net List", "Simora Hierarchical"})
        script += "menu File > Export > " + name + "\nwait-window " + name + "\nbutton Run\nwait-no-window " + name +
                  "\nbutton OK\n";
    script += "log-windows\nquit\n";
    const ScriptedRunResult result = run.Run(script, {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    const struct {
        const char* script;
        const char* output;
    } outputs[] = {{"Orvix Boardix Parts List.SXP", "amp BOM.txt"},
                   {"Orvix Boardix Net List.SXP", "amp.net"},
                   {"Simora Hierarchical.SXP", "amp.cir"}};
    const std::string scripts = fs::path(PLEXA_PROGRAM).parent_path().parent_path().string() +
                                "/resources/Essentials/Plexa/Scripts/";
    for (const auto& o : outputs) {
        const std::string command = "cd '" + reference + "' && '" + PLEXA_REPORT_RUN + "' amp.PRX '" + scripts +
                                    o.script + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << o.script;
        std::string fromMenu, fromTool;
        EXPECT_TRUE(ReadFile(folder + "/" + o.output, fromMenu)) << o.output;
        EXPECT_TRUE(ReadFile(reference + "/" + o.output, fromTool)) << o.output;
        EXPECT_FALSE(fromTool.empty()) << o.output;
        EXPECT_EQ(fromMenu, fromTool) << o.output;
    }
}

// The simulator's netlist script run from the menu with the project's root sheet open: it writes
// the netlist and stores the simulator's cross-references in the project, but changes nothing on
// the sheet, whose title shows no modified mark. The output is opened afterwards: with the
// desktop's application for text when neither the script's simulator nor a text editor of the
// preferences is there, and when the desktop has none either, an alert says so and names the file.
TEST(ScriptsMenu, TheNetlistScriptLeavesTheSheetUnmodifiedAndItsOutputOpens) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    NoDesktopApplications(run);
    const std::string netlist = "menu File > Export > Simora Hierarchical\nwait-window Simora Hierarchical\n"
                                "button Run\nwait-no-window Simora Hierarchical\n";
    const std::string open = "wait-window amp\nwait-window ROOT\nwait-drawn ROOT\nlog-title ROOT\n";
    ScriptedRunResult result = run.Run(open + netlist + "wait-window Plexa\nlog-texts\n"
                                       "screenshot-screen " + OutputPath("netlist-output-not-opened.png") +
                                       "\nbutton OK\nlog-title ROOT\nclose ROOT\nwait-no-window ROOT\nquit\n",
                                       {"amp.PRX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("title "), (std::vector<std::string>{"title ROOT", "title ROOT"}));
    std::string texts;
    for (const std::string& line : result.Lines("text ")) texts += line.substr(5) + "\n";
    EXPECT_EQ(texts, "The output \"amp.cir\" was written, but no application could open it. Choose a text editor in "
                     "Preferences, or open the file yourself:\n" + folder + "/amp.cir\n");

    // The desktop's application for text: a program that notes the file it is given.
    const std::string noted = run.dir().file("opened");
    const std::string opener = run.dir().file("opener");
    ASSERT_TRUE(WriteFile(opener, "#!/bin/sh\necho \"$1\" > '" + noted + "'\n"));
    fs::permissions(opener, fs::perms::owner_all);
    fs::create_directories(run.dir().file("data/applications"));
    ASSERT_TRUE(WriteFile(run.dir().file("data/applications/opener.desktop"),
                          "[Desktop Entry]\nType=Application\nName=Opener\nExec=" + opener + " %f\n"));
    ASSERT_TRUE(WriteFile(run.dir().file("config/mimeapps.list"), "[Default Applications]\ntext/plain=opener.desktop\n"));
    result = run.Run(open + netlist + "log-title ROOT\nclose ROOT\nwait-no-window ROOT\nquit\n", {"amp.PRX", "ROOT.SHX"},
                     folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("title "), (std::vector<std::string>{"title ROOT", "title ROOT"}));
    std::string opened;
    for (int i = 0; i < 500 && !ReadFile(noted, opened); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(opened, folder + "/amp.cir\n");
}

// A script that does not compile, added to the list in the preferences and run from the menu: the
// compiler's message reaches the person in an alert that names the line, and nothing is written.
TEST(ScriptsMenu, AScriptsCompileErrorIsShownInAnAlert) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string broken = run.dir().file("Broken.SXP");
    ASSERT_TRUE(WriteFile(broken, "WRITE \"a\";\nIF x BREAK\n"));
    const std::string script =
        "wait-window amp\nwait-drawn amp\nmenu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n"
        "click 512 17\npanel " + broken + "\nbutton Add Scripts...\nbutton OK\nwait-no-window Preferences\n"
        "menu File > Export > Broken\nwait-window Broken\nbutton Run\nwait-no-window Broken\n"
        "wait-window Plexa\nwait-drawn Plexa\nlog-texts Plexa\nscreenshot " + OutputPath("script-compile-error.png") +
        " Plexa\nbutton OK\nwait-no-window Plexa\nquit\n";
    const ScriptedRunResult result = run.Run(script, {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::string texts;
    for (const std::string& line : result.Lines("text ")) texts += line.substr(5) + "\n";
    EXPECT_EQ(texts, "Illegal use of a BREAK statement.\nLine 2 of \"Broken.SXP\":\nIF x BREAK\n");
    EXPECT_EQ(result.errors.find("BREAK"), std::string::npos) << result.errors;
}

#endif

}  // namespace
}  // namespace plexa::test
