// The report scripts in the File > Export menu: each item's command names the script's index in
// the list, also after an entry that has no item; run from the menu of the running editor, each
// shipped script writes the output that the report-run tool writes for the same project.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
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

TEST(ScriptsMenu, TheShippedScriptsRunFromTheMenuAsTheReportToolRunsThem) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string reference = run.dir().file("reference");
    fs::copy(folder, reference, fs::copy_options::recursive);
    // The scratch home names no text editor, so opening the output of the two scripts that open
    // theirs with it is refused with an alert.
    std::string script = "wait-window amp\nwait-drawn amp\n";
    for (const std::string name : {"Orvix Boardix Parts List", "Orvix Boardix Net List", "Simora Hierarchical"})
        script += "menu File > Export > " + name + "\nwait-window " + name + "\nbutton Run\nwait-no-window " + name +
                  (name == "Simora Hierarchical" ? "\n" : "\nbutton OK\n");
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

#endif

}  // namespace
}  // namespace plexa::test
