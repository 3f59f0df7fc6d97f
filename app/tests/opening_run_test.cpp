// Opening and closing documents in the running editor as a person does, through a script played
// on the program: File > Open of a sheet, of a damaged sheet (its alert names the file and
// nothing opens) and of a project (its window) with one of its sheets, each closed again; an ASCII
// database and a report script open nothing and say so in an alert naming the file, plain text
// says nothing.
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

// Handed over by the desktop (named on the command line), an ASCII database and a report script
// each open nothing and say so in an alert that names the file; plain text says nothing. File >
// Open offers sheets, projects and libraries: a database under a library's name is told too, and
// text under a sheet's name says nothing.
TEST(OpeningDocuments, DatabaseAndReportScriptAreToldByNameAndPlainTextSaysNothing) {
    const std::string told = " is an ASCII database file. ASCII databases cannot be opened in this version; nothing "
                             "was opened.";
    const std::string text = "Parts to order:\n\tR1 10k\n";
    const struct {
        const char* name;
        std::string fixture;  // copied into the run's folder as `file`; empty: the text above
        const char* file;
        bool handedOver;      // named on the command line, else chosen in File > Open
        std::vector<std::string> said;
    } cases[] = {
        {"a database handed over", "fuzz/corpus/files_sheetload/ascii-library", "ascii-library", true,
         {"text \"ascii-library\"" + told}},
        {"a report script handed over", "resources/scripts/Netlist.SXP", "Netlist.SXP", true,
         {"text \"Netlist.SXP\" is a report script. Report scripts are run with File > Run Script, not opened."}},
        {"plain text handed over", "", "Notes.txt", true, {}},
        {"a database named as a library, from File > Open", "fuzz/corpus/files_sheetload/ascii-library", "Parts.LBX",
         false, {"text \"Parts.LBX\"" + told}},
        {"text named as a sheet, from File > Open", "", "Notes.SHX", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRun run(PLEXA_PROGRAM);
        const std::string file = run.dir().file(c.file);
        if (c.fixture.empty()) {
            ASSERT_TRUE(WriteFile(file, text));
        } else {
            std::string bytes;
            ASSERT_TRUE(ReadFile(SourcePath(c.fixture), bytes));
            ASSERT_TRUE(WriteFile(file, bytes));
        }
        const std::string alert = "wait-window Plexa\nwait-drawn Plexa\nlog-texts Plexa\nscreenshot " +
                                  OutputPath(std::string("opening-") + c.file + ".png") +
                                  " Plexa\nbutton OK\nwait-no-window Plexa\n";
        // Handed over, a file that opens nothing leaves no window: the program ends by itself.
        std::string steps = c.said.empty() ? "pause 500\nlog-windows\n" : alert;
        if (!c.handedOver) {
            steps = "wait-window Untitled 1\nwait-drawn Untitled 1\npanel " + file + "\nmenu File > Open...\n" +
                    (c.said.empty() ? "pause 500\n" : alert) + "log-windows\n";
        }
        const ScriptedRunResult result =
            run.Run(steps + "quit\n", c.handedOver ? std::vector<std::string>{file} : std::vector<std::string>{});
        ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        EXPECT_EQ(result.Lines("text "), c.said) << result.errors;
        // Nothing was opened.
        for (const std::string& line : result.Lines("windows: "))
            EXPECT_TRUE(line == "windows: Untitled 1" || line == "windows:") << line;
    }
}

#endif

}  // namespace
}  // namespace plexa::test
