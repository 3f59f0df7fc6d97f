// Opening and closing documents in the running editor as a person does, through a script played
// on the program: File > Open of a sheet, of a damaged sheet (its alert names the file and
// nothing opens) and of a project (its window) with one of its sheets, each closed again; an ASCII
// database and a report script open nothing and say so in an alert, plain text says nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(OpeningDocuments, SheetDamagedSheetAndProjectOpenedFromTheFileMenuAndClosed) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string amp = SourcePath("tools/tests/fixtures/amp");
    const std::string project = run.dir().file("amp");
    std::filesystem::copy(amp, project, std::filesystem::copy_options::recursive);
    std::string sheet;
    ASSERT_TRUE(ReadFile(amp + "/RC.SHX", sheet));
    ASSERT_TRUE(WriteFile(run.dir().file("Filter.SHX"), sheet));
    ASSERT_TRUE(WriteFile(run.dir().file("Damaged.SHX"), sheet.substr(0, sheet.size() * 2 / 3)));
    const std::string shot = OutputPath("opening-damaged-sheet.png");
    std::filesystem::remove(shot);

    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "# a sheet (the panel's answer waits for the panel that the menu opens)\n"
        "panel " + run.dir().file("Filter.SHX") + "\n"
        "menu File > Open...\n"
        "wait-window Filter\n"
        "wait-drawn Filter\n"
        "log-windows\n"
        "close Filter\n"
        "wait-no-window Filter\n"
        "# a damaged sheet: its alert, and no window\n"
        "panel " + run.dir().file("Damaged.SHX") + "\n"
        "menu File > Open...\n"
        "wait-window Plexa\n"
        "wait-drawn Plexa\n"
        "screenshot " + shot + " Plexa\n"
        "button OK\n"
        "wait-no-window Plexa\n"
        "log-windows\n"
        "# a project, then one of its sheets\n"
        "panel " + project + "/amp.PRX\n"
        "menu File > Open...\n"
        "panel " + project + "/ROOT.SHX\n"
        "menu File > Open...\n"
        "wait-window ROOT\n"
        "log-windows\n"
        "close ROOT\n"
        "wait-no-window ROOT\n"
        "log-windows\n"
        "close Untitled 1\n"
        "wait-no-window Untitled 1\n"
        "log-windows\n"
        "# the project window is the last: closing it closes the project and the program\n"
        "close amp\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows: "),
              (std::vector<std::string>{"windows: Filter | Untitled 1", "windows: Untitled 1",
                                        "windows: ROOT | amp | Untitled 1", "windows: amp | Untitled 1",
                                        "windows: amp"}));
    EXPECT_TRUE(std::filesystem::exists(shot));
    // Opening and closing left the sheets that were only looked at as files, the damaged one as it was.
    std::string damaged;
    ASSERT_TRUE(ReadFile(run.dir().file("Damaged.SHX"), damaged));
    EXPECT_EQ(damaged, sheet.substr(0, sheet.size() * 2 / 3));
}

TEST(OpeningDocuments, DatabaseAndReportScriptAreToldAndPlainTextSaysNothing) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string database = run.CopyFixture("fuzz/corpus/files_sheetload/ascii-library");
    const std::string script = run.CopyFixture("resources/scripts/Netlist.SXP");
    const std::string text = run.dir().file("Notes.txt");
    ASSERT_TRUE(WriteFile(text, "Parts to order:\n\tR1 10k\n"));
    ASSERT_FALSE(database.empty());
    ASSERT_FALSE(script.empty());
    const std::string shot = OutputPath("opening-ascii-database.png");
    std::filesystem::remove(shot);
    std::string steps = "wait-window Untitled 1\nwait-drawn Untitled 1\n";
    // The database and the script: an alert over the sheet, and nothing opened once it is answered.
    for (const std::string& file : {database, script}) {
        steps += "panel " + file + "\nmenu File > Open...\nwait-window Plexa\nwait-drawn Plexa\nlog-windows\n";
        if (file == database) steps += "screenshot " + shot + " Plexa\n";
        steps += "button OK\nwait-no-window Plexa\nlog-windows\n";
    }
    // Plain text: an alert would be up by the time the pause ends, and listed in front.
    steps += "panel " + text + "\nmenu File > Open...\npause 300\nlog-windows\n";
    const ScriptedRunResult result = run.Run(steps + "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows: "),
              (std::vector<std::string>{"windows: Plexa | Untitled 1", "windows: Untitled 1",
                                        "windows: Plexa | Untitled 1", "windows: Untitled 1",
                                        "windows: Untitled 1"}))
        << result.errors;
    EXPECT_TRUE(std::filesystem::exists(shot));
}

#endif

}  // namespace
}  // namespace plexa::test
