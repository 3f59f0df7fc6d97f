// A version-3.6 sheet converted by `plexa-convert` and opened in `plexa` on its own, without its
// project: the parts show the designators the converted sheet stores and their values, and a copy
// saved from the window keeps them. The copy is read back with sheet-dump as a second process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;

// Runs the command line in the folder; its standard output, empty (and the test failed) when it
// failed.
std::string Output(const std::string& folder, const std::string& command) {
    const std::string out = folder + "/command.out";
    const std::string line = "cd " + ShellQuoted(folder) + " && " + command + " >" + ShellQuoted(out) + " 2>/dev/null";
    EXPECT_EQ(std::system(line.c_str()), 0) << line;
    std::string text;
    EXPECT_TRUE(ReadFile(out, text)) << out;
    return text;
}

TEST(ConvertedSheetRun, OpenedWithoutItsProjectItShowsAndKeepsWhatItStores) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.dir().path();
    fs::copy_file(SourcePath("fuzz/corpus/converter_v36sheet/amplifier"), folder + "/Amplifier.SCM");
    Output(folder, ShellQuoted(PLEXA_CONVERT) + " --batch Amplifier.SCM");
    const std::string sheet = folder + "/Amplifier (Plexa)/Amplifier.SHX";
    const std::string sheetDump = std::string(PLEXA_TOOLS_DIR) + "/sheet-dump";
    const std::string converted = Output(folder, ShellQuoted(sheetDump) + " " + ShellQuoted(sheet));
    // The resistor's designator text shows its designator R7 (the old sheet's text said R1), the
    // diode's D1 (the old text D1.A), and the resistor's value text its value, through the field
    // reference it keeps.
    EXPECT_EQ(LinesHolding(converted, " kind 0x0011 "),
              "  T1 kind 0x0011 owner serial 5 at (128,116) \"R7\"\n"
              "  T7 kind 0x0011 owner serial 6 at (333,119) \"D1\"\n")
        << converted;
    EXPECT_NE(converted.find(" at (128,159) \"10k"), std::string::npos) << converted;
    EXPECT_NE(converted.find(" macro \"{Value}\""), std::string::npos) << converted;

    const std::string shot = OutputPath("e2e/converted-sheet-alone.png");
    const std::string copy = folder + "/copy.SHX";
    const ScriptedRunResult result = run.Run("wait-window Amplifier\n"
                                             "wait-drawn Amplifier\n"
                                             "log-windows\n"
                                             "screenshot " + shot + " Amplifier\n"
                                             "panel " + copy + "\n"
                                             "menu File > Save a Copy...\n"
                                             "quit\n",
                                             {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(shot));
    const std::string saved = Output(folder, ShellQuoted(sheetDump) + " " + ShellQuoted(copy));
    for (const char* part : {"  #", " kind 0x0011 ", " kind 0x0016 ", "  serial "})
        EXPECT_EQ(LinesHolding(saved, part), LinesHolding(converted, part)) << part << "\n" << saved;
}

}  // namespace
}  // namespace plexa::test
