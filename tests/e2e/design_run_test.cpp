// A whole design worked in the real `plexa` as a person works it: every step is a script of
// menus, keys, clicks and file-panel answers played by the running program; nothing reaches the
// model behind the windows' backs. What the program saved is read back with the build's tools
// (sheet-dump, netlist-dump) as second processes, `plexa-convert` converts as a process of its
// own and ngspice simulates the netlist the shipped script wrote. Each step leaves screenshots in
// <build>/test-output/e2e/.
//
// The steps go in the order a person takes them. Step 2 works on the design Step 1 builds (built
// again in its own run), Step 6 on a version-3.6 project written byte by byte from its stored
// layout; steps 3 to 5 start from the annotated fixture project tools/tests/fixtures/amp (a
// divider V1, R1, R2 on ROOT.SHX feeding two uses of the child sheet RC.SHX, an RC low-pass with
// its port IN and the local net MID).
//
// Every run waits for the states its next step needs (a window, a drawn window, a file), never for
// a time, and its limits are generous, so that the steps pass on a machine loaded by other builds
// and tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/spice_testing.h"
#include "tests/support/testing.h"
#include "tests/support/virtual_display.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;

class DesignRun : public ::testing::Test {
protected:
    // The runs' own limits are generous: on a machine loaded by parallel builds and tests a run
    // takes many times as long as on a quiet one. Every step waits for the state it needs.
    static constexpr std::chrono::seconds kRunLimit{900};
    DesignRun() { run.SetEnvironment("PLEXA_TEST_SCRIPT_LIMIT=" + std::to_string(kRunLimit.count())); }

    // Plays the script on plexa started with the arguments, until it ends.
    ScriptedRunResult Play(const std::string& script, const std::vector<std::string>& arguments = {}) {
        return run.Run(script, arguments, {}, kRunLimit + std::chrono::seconds(60));
    }
    // What a run that failed leaves: its status, its standard error and the script's log.
    static std::string Explain(const ScriptedRunResult& result) {
        std::string text = "status " + std::to_string(result.status) + "\n" + result.errors + "\nlog:\n";
        for (const std::string& line : result.log) text += line + "\n";
        return text;
    }

    // A screenshot's path under test-output/e2e/.
    static std::string Shot(const std::string& name) { return OutputPath("e2e/" + name + ".png"); }
    std::string Path(const std::string& name) const { return run.dir().file(name); }

    // The fixture project copied into the run's folder.
    void CopyProject() {
        for (const char* name : {"ROOT.SHX", "RC.SHX", "amp.PRX"})
            fs::copy_file(SourcePath(std::string("tools/tests/fixtures/amp/") + name), Path(name));
    }

    // Runs a program with its arguments in the run's folder; its standard output, empty when it
    // failed (the failure is reported).
    std::string Output(const std::string& program, const std::vector<std::string>& arguments) const {
        std::string command = "cd " + ShellQuoted(run.dir().path()) + " && " + ShellQuoted(program);
        for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
        command += " >" + ShellQuoted(Path("tool.out")) + " 2>" + ShellQuoted(Path("tool.err"));
        const int status = std::system(command.c_str());
        std::string out, err;
        ReadFile(Path("tool.out"), out);
        ReadFile(Path("tool.err"), err);
        EXPECT_EQ(status, 0) << command << "\n" << err;
        return status == 0 ? out : std::string();
    }
    std::string Tool(const std::string& tool, const std::vector<std::string>& arguments) const {
        return Output(std::string(PLEXA_TOOLS_DIR) + "/" + tool, arguments);
    }
    // The sheet file's canonical dump.
    std::string Dump(const std::string& file) const { return Tool("sheet-dump", {file}); }

    static void ExpectPicture(const std::string& path) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(path, bytes) && bytes.size() > 1000) << path;
    }
    // Whether the run's log has the line (or, with `part`, a line holding it).
    static bool Logged(const ScriptedRunResult& result, const std::string& line, bool part = false) {
        return std::any_of(result.log.begin(), result.log.end(), [&](const std::string& l) {
            return part ? l.find(line) != std::string::npos : l == line;
        });
    }
    // Lines of the text that start with the prefix, joined.
    static std::string Grep(const std::string& text, const std::string& prefix) {
        std::string out;
        for (size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            if (text.compare(at, prefix.size(), prefix) == 0) out += text.substr(at, end - at) + "\n";
        }
        return out;
    }

    // Step 1's design built in a run of its own: the child sheet RC.SHX copied beside it, then the
    // project Design.PRX and its root Sheet1.SHX made, wired, annotated and saved (Step 1 says how).
    ScriptedRunResult BuildDesign() {
        fs::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), Path("RC.SHX"));
        // A sheet symbol of RC.SHX dragged out with the sub-sheet tool and given the child's ports.
        const auto sheetSymbol = [&](const std::string& drag, const std::string& designator) {
            return "click 18 221\n"
                   "drag " + drag + "\n"
                   "wait-window Symbol Information\n"
                   "wait-drawn Symbol Information\n"
                   "type " + designator + "\n"
                   "panel " + Path("RC.SHX") + "\n"
                   "button Select...\n"
                   "click 161 17\n"  // the Port Pins tab
                   "button Read Sub-Sheet Ports\n"
                   "wait-drawn Symbol Information\n"
                   "button OK\n"
                   "wait-no-window Symbol Information\n";
        };
        // The net of the wire under the point named through the signal dialog.
        const auto name = [](const std::string& at, const std::string& net) {
            return "click " + at + " double\n"
                   "wait-window Signal Info\n"
                   "wait-drawn Signal Info\n"
                   "key Ctrl+A\n"
                   "type " + net + "\n"
                   "screenshot " + Shot("step1-signal-dialog-" + net) + " Signal Info\n"
                   "key Return\n"
                   "wait-no-window Signal Info\n";
        };
        return Play(
            "wait-window Untitled 1\n"
            "wait-drawn Untitled 1\n"
            "menu Plexa > Preferences\xE2\x80\xA6\n"
            "wait-window Preferences\n"
            "wait-drawn Preferences\n"
            "click 30 100\n"  // Hierarchical design (sub-sheet symbol tool)
            "button OK\n"
            "wait-no-window Preferences\n"
            "panel " + Path("Design.PRX") + "\n"
            "menu File > New > Project...\n"
            "wait-window Design Settings\n"
            "wait-drawn Design Settings\n"
            "screenshot " + Shot("step1-project-settings") + " Design Settings\n"
            "button OK\n"
            "wait-window Design\n"
            "log-windows\n"
            "menu File > New > Schematic Sheet\n"
            "wait-window Untitled 2\n"
            "wait-drawn Untitled 2\n"
            // The library pane's item list: typing chooses an item, whose picture the pane shows; the
            // library-part tool places it where the sheet is clicked.
            "click 470 29\n"
            "type Vol\n"
            "click 18 190\n"
            "click 152 348\n"
            "click 470 29\n"
            "type Res\n"
            "screenshot " + Shot("step1-library-pane") + " Untitled 2\n"
            "click 18 190\n"
            "click 224 300\n"
            "click 320 300\n"
            "click 416 300\n"
            // The ground: a wire drawn with the library-part tool from the source's minus pin.
            "click 470 29\n"
            "type GND\n"
            "click 18 190\n"
            "click 156 374\n"
            "move 156 400\n"
            "click 156 410\n"
            // The wire tool: plus pin to the first resistor, resistor to resistor, the last resistor
            // round to the minus pin.
            "click 18 252\n"
            "click 156 326\n"
            "move 156 310\n"
            "click 156 302\n"
            "move 190 302\n"
            "click 204 302 double\n"
            "click 18 252\n"
            "click 252 302\n"
            "move 280 302\n"
            "click 300 302 double\n"
            "click 18 252\n"
            "click 348 302\n"
            "move 380 302\n"
            "click 396 302 double\n"
            "click 18 252\n"
            "click 444 302\n"
            "move 444 350\n"
            "click 444 374\n"
            "move 170 374\n"
            "click 156 374 double\n" +
            sheetSymbol("300 450 420 530", "X1") + sheetSymbol("480 450 600 530", "X2") +
            // Each sheet symbol's port wired to a node between the resistors.
            "click 18 252\n"
            "click 288 458\n"
            "move 270 458\n"
            "click 252 458\n"
            "move 252 400\n"
            "click 252 302 double\n"
            "click 468 458\n"
            "move 468 430\n"
            "click 468 420\n"
            "move 420 420\n"
            "click 396 420\n"
            "move 396 350\n"
            "click 396 302 double\n"
            // The arrow tool; the two nets named on the sheet symbols' wires.
            "click 18 128\n" +
            name("252 400", "A") + name("396 360", "B") +
            "wait-drawn Untitled 2\n"
            "screenshot " + Shot("step1-sheet") + " Untitled 2\n"
            "panel " + Path("Sheet1.SHX") + "\n"
            "menu File > Save\n"
            "wait-window Sheet1\n"
            "log-windows\n"
            "close Sheet1\n"
            "close Untitled 1\n"
            "wait-no-window Untitled 1\n"
            // The sheet joins the project through the project window's add button, opens from its
            // row in the project's context, and is annotated with the child's two instances.
            "wait-drawn Design\n"
            "panel " + Path("Sheet1.SHX") + "\n"
            "click 51 18\n"
            "wait-drawn Design\n"
            "click 60 48\n"
            "menu File > Open Selection\n"
            "wait-window Sheet1\n"
            "wait-drawn Sheet1\n"
            "menu Tools > Annotate...\n"
            "wait-window Annotate\n"
            "wait-drawn Annotate\n"
            "button OK\n"
            "wait-no-window Annotate\n"
            "wait-drawn Sheet1\n"
            "screenshot " + Shot("step1-annotated") + " Sheet1\n"
            "close Sheet1\n"
            "button Save\n"
            "wait-no-window Sheet1\n"
            "close Design\n"
            "button Save\n");
    }

    ScriptedRun run{PLEXA_PROGRAM};
};

// Step 1: with hierarchical design turned on in the preferences, a new project and a new sheet;
// from the library pane a voltage source and three resistors placed with the library-part tool,
// and the ground drawn with it as the end of a wire from the source's minus pin (a net symbol is
// placed where such a wire ends). The wire tool joins the source to the resistors in a row and
// the last resistor back to the ground; two sheet symbols of the one child sheet RC.SHX, each
// dragged with the sub-sheet tool and given the child's port IN, are wired to the two nodes
// between the resistors, and the two nets are named A and B through the signal dialog a double
// click on a wire opens. The saved sheet holds the parts, the symbols and every net.
TEST_F(DesignRun, Step1ACircuitFromTheLibraryPaneWithTwoNamedNetsAndAChildSheetUsedTwice) {
    const ScriptedRunResult result = BuildDesign();
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    EXPECT_EQ(result.Lines("windows:"),
              (std::vector<std::string>{"windows: Design | Untitled 1", "windows: Sheet1 | Design | Untitled 1"}));
    for (const char* shot : {"step1-project-settings", "step1-library-pane", "step1-signal-dialog-A", "step1-sheet"})
        ExpectPicture(Shot(shot));
    std::string project;
    EXPECT_TRUE(ReadFile(Path("Design.PRX"), project) && !project.empty());
    // Annotated in the project: every part has its designator; the child's parts are named in
    // the child sheet, as a new project keeps its designators (both uses repeat them).
    const std::string netlist = Tool("netlist-dump", {"Design.PRX"});
    EXPECT_EQ(Grep(netlist, "comp "),
              "comp C1 part=CAP slots=1 sheet=0 repeated attrs=Value=100n\n"
              "comp C1 part=CAP slots=1 sheet=0 repeated attrs=Value=100n\n"
              "comp R1 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R2 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R3 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R4 part=RES slots=1 sheet=0 repeated attrs=Value=10k\n"
              "comp R4 part=RES slots=1 sheet=0 repeated attrs=Value=10k\n"
              "comp V1 part=Voltage Source slots=1 sheet=1 attrs=~~Value=DC 5,Value=DC 5\n")
        << netlist;
    // The saved sheet: the source, three resistors and the ground from the library, annotated,
    // and the two sheet symbols of the child.
    const std::string dump = Dump("Sheet1.SHX");
    EXPECT_EQ(dump.rfind("sheet ", 0), 0u) << dump;
    EXPECT_EQ(Grep(dump, "    name 0 "), "    name 0 \"Resistor\"\n    name 0 \"Voltage Source\"\n") << dump;
    EXPECT_EQ(Grep(dump, "  #"),
              "  #1 serial 1 at (120,240) flags 0x00080000 map 0 library \"Basic Parts.LBX\" component C2 package 0 "
              "symbol 0 name 0 attributes 2 designator \"V1\" slot 0\n"
              "  #2 serial 2 at (192,192) flags 0x00080000 map 1 library \"Basic Parts.LBX\" component C1 package 0 "
              "symbol 0 name 0 attributes 2 designator \"R1\" slot 0\n"
              "  #3 serial 3 at (288,192) flags 0x00080000 map 1 library \"Basic Parts.LBX\" component C1 package 0 "
              "symbol 0 name 0 attributes 2 designator \"R2\" slot 0\n"
              "  #4 serial 4 at (384,192) flags 0x00080000 map 1 library \"Basic Parts.LBX\" component C1 package 0 "
              "symbol 0 name 0 attributes 2 designator \"R3\" slot 0\n"
              "  #5 serial 5 at (120,300) flags 0x00080200 map 2 library \"Basic Parts.LBX\"\n"
              "  #6 serial 6 at (264,336) flags 0x00083400 map -1 prefix \"X\" designator \"X1\" slot 0\n"
              "  #7 serial 7 at (444,336) flags 0x00083400 map -1 prefix \"X\" designator \"X2\" slot 0\n")
        << dump;
    // The nets: B and A each join two resistors and a sheet symbol's port; the plus pin reaches
    // the first resistor; the ground net holds the minus pin, the ground symbol and the last
    // resistor.
    EXPECT_EQ(Grep(dump, "  S"),
              "  S1 \"B\" bounds (312,192)-(433,349) dots (360,192)\n"
              "  S2 \"A\" bounds (216,192)-(265,349) dots (216,192)\n"
              "  S3 \"SIG001\" bounds (120,192)-(169,217)\n"
              "  S4 \"GND\" flags 0x0001 bounds (120,192)-(409,301) dots (120,264)\n")
        << dump;
    EXPECT_EQ(Grep(dump, "    pin "),
              "    pin 0: serial 3 node 1\n    pin 1: serial 4 node 0\n    pin 2: serial 7 node 0\n"
              "    pin 0: serial 2 node 1\n    pin 1: serial 3 node 0\n    pin 2: serial 6 node 0\n"
              "    pin 0: serial 1 node 0\n    pin 1: serial 2 node 0\n"
              "    pin 0: serial 1 node 1\n    pin 1: serial 5 node 0 flags 0x02\n    pin 2: serial 4 node 1\n")
        << dump;
    // The child sheet is named by both symbols.
    std::string bytes;
    ASSERT_TRUE(ReadFile(Path("Sheet1.SHX"), bytes));
    EXPECT_NE(bytes.find("RC.SHX"), std::string::npos);
}

// Step 1, the sheet symbols: with hierarchical design turned on in the preferences, a new
// sheet's palette has the sub-sheet symbol tool; a rectangle dragged with it makes a sheet
// symbol, whose dialog takes its designator and, through its file panel, the child sheet RC.SHX,
// and reads the child's port IN into the symbol's port pins. (A second use of the child, and
// wiring to the ports, are left to the fixture project's root that the later steps open.)
TEST_F(DesignRun, Step1SheetSymbolToolMakesASymbolOfAChildSheet) {
    fs::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), Path("RC.SHX"));
    const ScriptedRunResult result = Play(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "menu Plexa > Preferences\xE2\x80\xA6\n"
        "wait-window Preferences\n"
        "wait-drawn Preferences\n"
        "click 30 100\n"  // Hierarchical design (sub-sheet symbol tool)
        "screenshot " + Shot("step1-preferences") + " Preferences\n"
        "button OK\n"
        "wait-no-window Preferences\n"
        "menu File > New > Schematic Sheet\n"
        "wait-window Untitled 2\n"
        "wait-drawn Untitled 2\n"
        "click 18 221\n"  // the sub-sheet symbol tool
        "drag 300 200 450 320\n"
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "type X1\n"
        "panel " + Path("RC.SHX") + "\n"
        "button Select...\n"
        "click 161 17\n"  // the Port Pins tab
        "button Read Sub-Sheet Ports\n"
        "wait-drawn Symbol Information\n"
        "screenshot " + Shot("step1-sheet-symbol-ports") + " Symbol Information\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "screenshot " + Shot("step1-sheet-symbol") + " Untitled 2\n"
        "panel " + Path("Parent.SHX") + "\n"
        "menu File > Save\n"
        "wait-window Parent\n"
        "log-windows\n"
        "close Parent\n"
        "close Untitled 1\n");
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Parent | Untitled 1"});
    ExpectPicture(Shot("step1-sheet-symbol"));
    const std::string dump = Dump("Parent.SHX");
    EXPECT_EQ(Grep(dump, "  #"), "  #1 serial 1 at (264,84) flags 0x00083400 map -1 prefix \"X\" designator \"X1\" slot 0\n")
        << dump;
    // The symbol shows the child's port and its designator.
    EXPECT_EQ(Grep(dump, "  T"), "  T1 kind 0x8000 owner serial 1 flags 0x0020 at (283,100) \"IN\"\n"
                                 "  T2 kind 0x0011 owner serial 1 flags 0x0020 at (264,80) \"X1\"\n")
        << dump;
    // The symbol names its child sheet's file.
    std::string bytes;
    ASSERT_TRUE(ReadFile(Path("Parent.SHX"), bytes));
    EXPECT_NE(bytes.find("RC.SHX"), std::string::npos);
}

// Step 1, the wires: on the fixture project's root sheet (its parts placed and joined by nets but
// not drawn), the wire tool draws a wire from R1's pin 2 to R2's pin 1, both on the net A.
TEST_F(DesignRun, Step1WireToolDrawsAWireBetweenTwoPins) {
    CopyProject();
    const ScriptedRunResult result = Play(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "click 18 150\n"  // the wire tool
        "click 240 149\n"
        "move 265 149\n"
        "click 288 149 double\n"
        "screenshot " + Shot("step1-wire") + " ROOT\n"
        "panel " + Path("wired.SHX") + "\n"
        "menu File > Save a Copy...\n"
        "close ROOT\n"
        "button Don't Save\n"
        "close amp\n",
        {Path("amp.PRX"), Path("ROOT.SHX")});
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    const std::string dump = Dump("wired.SHX");
    // One wire, from pin to pin. (The fixture's nets have no wires of their own; which signal the
    // new wire joins is left to the wire tests.)
    EXPECT_EQ(Grep(dump, "    W"), "    W1 pin 0 - pin 1: (200,110) (250,110)\n") << dump;
}

// Step 2: the design Step 1 built, opened again (its project and root sheet), annotated through
// Tools > Annotate... (all designators cleared and renumbered from 10, into the sub-sheets), saved,
// closed and opened again from File > Open Recent; the sheet reopened dumps as it did before
// closing, and the project holds the new designators, the child's in each of its two uses.
TEST_F(DesignRun, Step2AnnotateSaveCloseAndReopenFromRecentFiles) {
    const ScriptedRunResult built = BuildDesign();
    ASSERT_TRUE(built.Exited(0)) << Explain(built);
    const std::string before = Dump("Sheet1.SHX");
    const ScriptedRunResult result = Play(
        "wait-window Sheet1\n"
        "wait-drawn Sheet1\n"
        "screenshot " + Shot("step2-root") + " Sheet1\n"
        "menu Tools > Annotate...\n"
        "wait-window Annotate\n"
        "wait-drawn Annotate\n"
        "click 267 68\n"          // Clear all designators
        "click 267 94\n"          // Resequence designators
        "click 455 187 double\n"  // the start number
        "type 10\n"
        "screenshot " + Shot("step2-annotate") + " Annotate\n"
        "button OK\n"  // into the sub-sheets, as the dialog opens: the child's instances too
        "wait-no-window Annotate\n"
        "wait-drawn Sheet1\n"
        // Closed and saved through its question (the run's message may still be the key window
        // for a moment, so no menu of the key window is used here).
        "close Sheet1\n"
        "button Save\n"
        "wait-no-window Sheet1\n"
        "log-windows\n"
        "log-menu File\n"
        "menu File > Open Recent > Sheet1\n"
        "wait-window Sheet1\n"
        "wait-drawn Sheet1\n"
        "screenshot " + Shot("step2-reopened") + " Sheet1\n"
        "panel " + Path("after.SHX") + "\n"
        "menu File > Save a Copy...\n"
        "close Sheet1\n"
        "close Design\n"
        "button Save\n",
        {Path("Design.PRX"), Path("Sheet1.SHX")});
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    const std::vector<std::string> windows = result.Lines("windows:");
    EXPECT_EQ(windows, (std::vector<std::string>{"windows: Design"}));
    EXPECT_TRUE(Logged(result, " Sheet1\tenabled", true)) << "the recent files list the closed sheet";
    const std::string closing = Dump("Sheet1.SHX");
    EXPECT_FALSE(closing.empty());
    EXPECT_EQ(Dump("after.SHX"), closing) << "the sheet reopened from the recent files is the one saved";
    EXPECT_FALSE(before.empty());
    // Every part takes a new designator from 10: the root's, and the child's, which a new project
    // keeps in the child sheet, so that both of its uses repeat them.
    const std::string netlist = Tool("netlist-dump", {"Design.PRX"});
    EXPECT_EQ(Grep(netlist, "comp "),
              "comp C10 part=CAP slots=1 sheet=0 repeated attrs=Value=100n\n"
              "comp C10 part=CAP slots=1 sheet=0 repeated attrs=Value=100n\n"
              "comp R10 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R11 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R12 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R13 part=RES slots=1 sheet=0 repeated attrs=Value=10k\n"
              "comp R13 part=RES slots=1 sheet=0 repeated attrs=Value=10k\n"
              "comp V10 part=Voltage Source slots=1 sheet=1 attrs=~~Value=DC 5,Value=DC 5\n")
        << netlist;
    EXPECT_NE(Dump("after.SHX").find("designator \"V10\""), std::string::npos);
}

// Step 3: the shipped SPICE script run from the scripts of File > Export over the whole project;
// its netlist beside the project file, and ngspice's operating point of it: the divider gives
// A = 5 V * 2k / 3k, and each use of the RC stage has its local node MID at its own input (no
// current flows into the capacitors).
TEST_F(DesignRun, Step3SpiceScriptFromTheScriptsMenuAndTheSimulatedNodes) {
    CopyProject();
    const ScriptedRunResult result = Play(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "menu File > Export > Simora Hierarchical\n"
        "wait-window Simora Hierarchical\n"
        "wait-drawn Simora Hierarchical\n"
        "click 27 132\n"  // the output is not opened afterwards
        "screenshot " + Shot("step3-spice-script") + " Simora Hierarchical\n"
        "button Run\n"
        "wait-no-window Simora Hierarchical\n"
        "log-windows\n"
        "close ROOT\n"
        "close amp\n"
        "button Don't Save\n",
        {Path("amp.PRX"), Path("ROOT.SHX")});
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    std::string netlist;
    ASSERT_TRUE(ReadFile(Path("amp.cir"), netlist));
    EXPECT_EQ(netlist, kAmpSpiceNetlist);

    if (!NgspiceInstalled())
        GTEST_SKIP() << "ngspice is not installed (scripts/setup installs it): the simulation is skipped";
    ExpectOperatingPoint(run.dir().path(), netlist,
                         AmpOperatingPoint());
}

// Step 4: the root sheet as DXF and the ECO file through File > Export, each into the file its
// save panel is given; the root's parts selected with a selection rectangle and copied; the root
// sheet printed through File > Print... into a PDF file its print panel names, whose pages
// poppler's pdftoppm renders. (The clipboard's picture of the copy is read in a test of its own, on a
// display of its own.)
TEST_F(DesignRun, Step4ExportEcoAndDxfAndCopyAPart) {
    CopyProject();
    const ScriptedRunResult result = Play(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "panel " + Path("ROOT.DXF") + "\n"
        "menu File > Export > DXF...\n"
        "log-menu File\n"
        "drag 370 60 60 190\n"  // a selection rectangle round the root's three parts
        "screenshot " + Shot("step4-selected") + " ROOT\n"
        "menu Edit > Copy\n"
        "print-panel " + Path("ROOT.pdf") + "\n"
        "menu File > Print...\n"
        // Last: the ECO export's message window, while it goes, leaves the sheet and the project
        // each in front in one sense for a moment, and the export takes the project of either.
        "panel " + Path("amp.ECO") + "\n"
        "menu File > Export > ECO...\n"
        "log-windows\n"
        "close ROOT\n"
        "close amp\n",
        {Path("amp.PRX"), Path("ROOT.SHX")});
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    std::string eco, dxf;
    ASSERT_TRUE(ReadFile(Path("amp.ECO"), eco));
    EXPECT_FALSE(eco.empty());
    ASSERT_TRUE(ReadFile(Path("ROOT.DXF"), dxf)) << Explain(result);
    EXPECT_EQ(dxf.rfind("0\r\nSECTION\r\n2\r\nHEADER\r\n", 0), 0u) << dxf.substr(0, 64);
    EXPECT_NE(dxf.find("\r\nEOF"), std::string::npos);
    // One block and one insert a placed symbol of the root (three parts, two sheet symbols, the
    // ground).
    int blocks = 0, inserts = 0;
    for (size_t at = dxf.find("\r\n2\r\nDXF_BLK_"); at != std::string::npos; at = dxf.find("\r\n2\r\nDXF_BLK_", at + 1)) {
        const size_t entity = dxf.rfind("\r\n0\r\n", at);
        const std::string type = dxf.substr(entity + 5, dxf.find("\r\n", entity + 5) - entity - 5);
        blocks += type == "BLOCK";
        inserts += type == "INSERT";
    }
    EXPECT_EQ(blocks, 6);
    EXPECT_EQ(inserts, 6);
    EXPECT_TRUE(Logged(result, "  Page Setup...\tenabled"));
    EXPECT_TRUE(Logged(result, "  Print...\tenabled"));
    // The printed sheet: a PDF whose pages render.
    std::string pdf;
    ASSERT_TRUE(ReadFile(Path("ROOT.pdf"), pdf)) << result.errors;
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_NE(pdf.find("/Count 1"), std::string::npos) << "the root sheet fits one page";
    if (std::system("command -v pdftoppm >/dev/null") != 0)
        GTEST_SKIP() << "pdftoppm is not installed (scripts/setup installs poppler-utils): the pages are not rendered";
    EXPECT_EQ(std::system(("pdftoppm -r 36 -png " + ShellQuoted(Path("ROOT.pdf")) + " " + ShellQuoted(Path("page"))).c_str()), 0);
    ExpectPicture(Path("page-1.png"));
    EXPECT_FALSE(fs::exists(Path("page-2.png")));
}

// Step 5: a symbol edited in the symbol editor and the placed symbols updated from it. The shipped
// library is copied beside the fixture project (as "Design Parts.LBX", which the project's
// library list then holds), so that the edit is saved into the copy. An NPN transistor of it is
// placed on the root sheet and opened through Edit > Edit Library Item; the pin tool adds a
// fourth pin below it (the substrate's), closing the editor writes the item back and closing the
// library saves it. Tools > Update Parts... replaces the placed transistor (older than the saved
// item) by the new one, which shows its value as before; the wire tool joins its new pin to its
// emitter, and a ground drawn from the new pin grounds both. After Tools > Annotate... and File >
// Save the project's netlist and the SPICE netlist of the shipped script hold the transistor's
// four pins, and ngspice takes that netlist (the project's commands give the transistor's model).
TEST_F(DesignRun, Step5APinAddedInTheSymbolEditorReachesTheNetlistThroughUpdateParts) {
    CopyProject();
    fs::copy_file(PLEXA_BASIC_PARTS, Path("Design Parts.LBX"));
    const std::string before = Tool("netlist-dump", {"amp.PRX"});
    const ScriptedRunResult result = Play(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "click 16 18\n"  // the library pane opened
        "wait-drawn ROOT\n"
        "click 257 43\n"  // "Design Parts" in the library list
        "click 470 29\n"
        "type NPN\n"
        "click 18 190\n"  // the library-part tool, and a transistor placed
        "click 500 280\n"
        "click 18 128\n"  // the arrow tool; the transistor selected
        "click 500 282\n"
        "wait-drawn ROOT\n"
        "screenshot " + Shot("step5-placed") + " ROOT\n"
        "menu Edit > Edit Library Item\n"
        "wait-window Design Parts : NPN Transistor\n"
        "wait-drawn Design Parts : NPN Transistor\n"
        "click 158 191\n"  // the pin tool: a pin dragged below the transistor
        "drag 246 186 246 150\n"
        "wait-window Pin Information\n"
        "wait-drawn Pin Information\n"
        "button OK\n"
        "wait-no-window Pin Information\n"
        "wait-drawn Design Parts : NPN Transistor\n"
        "screenshot " + Shot("step5-pin-added") + " Design Parts : NPN Transistor\n"
        // The changed item's close asks to save it: the answer saves the library with it, so the
        // library window then closes without a question.
        "close Design Parts : NPN Transistor\n"
        "button Save\n"
        "wait-no-window Design Parts : NPN Transistor\n"
        "close Design Parts\n"
        "wait-no-window Design Parts\n"
        "wait-drawn ROOT\n"
        "click 500 282\n"  // the sheet, on its new transistor: the sheet in front
        "log-menu Tools\n"
        "menu Tools > Update Parts...\n"
        "wait-window Update Parts\n"
        "wait-drawn Update Parts\n"
        "screenshot " + Shot("step5-update-parts") + " Update Parts\n"
        "button Update\n"
        "wait-no-window Update Parts\n"
        "wait-drawn ROOT\n"
        "screenshot " + Shot("step5-updated") + " ROOT\n"
        "panel " + Path("updated.SHX") + "\n"
        "menu File > Save a Copy...\n"
        // The wire tool: from the emitter down and across to the new pin's end.
        "click 18 221\n"
        "click 542 302\n"
        "click 542 326\n"
        "click 530 326 double\n"
        // The ground, at the end of a wire drawn with the library-part tool from the new pin.
        "click 470 29\n"
        "type GND\n"
        "click 18 190\n"
        "click 530 326\n"
        "move 530 350\n"
        "click 530 362\n"
        "click 18 128\n"
        "wait-drawn ROOT\n"
        "screenshot " + Shot("step5-wired") + " ROOT\n"
        "menu Tools > Annotate...\n"
        "wait-window Annotate\n"
        "wait-drawn Annotate\n"
        "button OK\n"
        "wait-no-window Annotate\n"
        "menu File > Save\n"
        // The SPICE netlist of the changed design, from the shipped script.
        "menu File > Export > Simora Hierarchical\n"
        "wait-window Simora Hierarchical\n"
        "wait-drawn Simora Hierarchical\n"
        "click 27 132\n"  // the output is not opened afterwards
        "button Run\n"
        "wait-no-window Simora Hierarchical\n"
        "close ROOT\n"
        "close amp\n"
        "button Save\n",
        {Path("amp.PRX"), Path("ROOT.SHX")});
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    EXPECT_TRUE(Logged(result, "  Update Parts...\tenabled"));
    for (const char* shot : {"step5-placed", "step5-pin-added", "step5-update-parts", "step5-updated", "step5-wired"})
        ExpectPicture(Shot(shot));
    // The updated transistor shows its value, its field reference expanded as before the update.
    const std::string updated = Dump("updated.SHX");
    EXPECT_NE(Grep(updated, "  T").find(" \"NPN\" macro \"{Value}\"\n"), std::string::npos) << updated;
    EXPECT_EQ(updated.find(") \"{Value}\""), std::string::npos) << updated;
    // The saved root: the placed transistor's component has the fourth pin.
    const std::string dump = Dump("ROOT.SHX");
    EXPECT_NE(dump.find("pins 4\n    section 0: symbol 0 suffix \"\" pins 1 2 3 4\n"), std::string::npos) << dump;
    // The netlist before had no such part; after, the annotated transistor's four pins, the
    // emitter and the new one on the ground.
    EXPECT_EQ(Grep(before, "pin Q1."), "");
    const std::string netlist = Tool("netlist-dump", {"amp.PRX"});
    EXPECT_EQ(Grep(netlist, "comp Q1 "),
              "comp Q1 part=NPN slots=1 sheet=1 attrs=~~Value=NPN,Value=NPN,~~SpiceModel=QNPN,"
              "SpiceModel=QNPN\n")
        << netlist;
    EXPECT_EQ(Grep(netlist, "pin Q1."),
              "pin Q1.1 name=C net=- node=I1\n"
              "pin Q1.2 name=B net=- node=I1\n"
              "pin Q1.3 name=E net=GND node=I1\n"
              "pin Q1.4 name= net=GND node=I1\n")
        << netlist;
    // The SPICE netlist: the transistor with its four nodes, which ngspice takes with the model
    // the project's commands give.
    std::string spice;
    ASSERT_TRUE(ReadFile(Path("amp.cir"), spice));
    EXPECT_EQ(Grep(spice, "Q1 "), "Q1 NC_Q1_1 NC_Q1_2 0 0 QNPN\n") << spice;
    if (!NgspiceInstalled())
        GTEST_SKIP() << "ngspice is not installed (scripts/setup installs it): the simulation is skipped";
    std::map<std::string, double> volts = AmpOperatingPoint();
    volts["nc_q1_1"] = volts["nc_q1_2"] = 0.0;
    ExpectOperatingPoint(run.dir().path(), spice, volts);
}

// Step 5, the windows: when the library window in front closes, the sheet behind it becomes the key
// window again and has its own menu bar back (with Tools), as under a window manager; a sheet
// that kept the library's bar could not reach Update Parts.
TEST_F(DesignRun, Step5ClosingTheLibraryWindowGivesTheSheetBehindItsMenuBar) {
    fs::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), Path("RC.SHX"));
    fs::copy_file(PLEXA_BASIC_PARTS, Path("Design Parts.LBX"));
    const ScriptedRunResult result = Play(
        "wait-window Design Parts\n"
        "wait-drawn Design Parts\n"
        "log-menubar\n"
        "close Design Parts\n"
        "wait-no-window Design Parts\n"
        "log-windows\n"
        "log-menubar\n"
        "close RC\n",
        {Path("RC.SHX"), Path("Design Parts.LBX")});
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: RC"});
    EXPECT_EQ(result.Lines("menubar:"), (std::vector<std::string>{"menubar: Plexa File Edit Library Window",
                                                                  "menubar: Plexa File Edit Text View Tools Window"}));
}

// Step 5, the symbol editor on a new sheet: a resistor placed from the shipped library through the
// library pane opens in the symbol editor through Edit > Edit Library Item (closed unchanged: the
// shipped library is not written).
TEST_F(DesignRun, Step5EditLibraryItemOpensAPlacedLibraryPartInTheSymbolEditor) {
    const ScriptedRunResult result = Play(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "click 470 29\n"
        "type Res\n"
        "click 18 190\n"  // the library-part tool
        "click 200 300\n"
        "click 18 128\n"  // the arrow tool, and the placed resistor selected
        "click 200 302\n"
        "log-menu Edit\n"
        "menu Edit > Edit Library Item\n"
        "wait-window Basic Parts : Resistor\n"
        "wait-drawn Basic Parts : Resistor\n"
        "screenshot " + Shot("step5-symbol-editor") + " Basic Parts : Resistor\n"
        "log-windows\n"
        "close Basic Parts : Resistor\n"
        "wait-no-window Basic Parts : Resistor\n"
        "close Untitled 1\n"
        "button Don't Save\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << Explain(result);
    EXPECT_TRUE(Logged(result, "  Edit Library Item\tenabled"));
    EXPECT_EQ(result.Lines("windows:"),
              std::vector<std::string>{"windows: Basic Parts : Resistor | Basic Parts | Untitled 1"});
    ExpectPicture(Shot("step5-symbol-editor"));
}

// A version-3.6 project file listing the sheets, written byte by byte from its stored layout (not
// through the project's own writers): a dynamic file ("ORDF", version 258, big-endian head, no
// application header) of type "QSPR" holding block 1, the project's header (version 864, the flag
// of this machine's order, 20 bytes not used, an empty folder: the sheets are looked for beside
// the project), and block 3, the sheet list: a dynamic array in its stored form (mark -2, the
// 72-byte header, one cluster of used slots) of 72-byte records, each the sheet's file name as a
// zero-terminated string, followed by one empty folder handle a sheet.
std::string V36ProjectFile(const std::vector<std::string>& sheets) {
    const auto be = [](std::string& out, uint32_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) out += char((value >> (8 * i)) & 0xFF);
    };
    const auto le = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
    };
    const auto block = [&](std::string& out, uint8_t type, const std::string& data) {
        out += char(type);
        const size_t slack = data.size() < 8 ? 8 - data.size() : 0;  // a block holds at least 8 bytes
        out += char(6 + slack);
        be(out, uint32_t(data.size()), 4);
        out += data;
        out.append(slack, '\0');
    };
    std::string header;
    le(header, 864, 2);             // the version
    header += char(0x10);           // this machine's order
    header += char(0);
    header.append(20, '\0');        // not used
    le(header, 0, 4);               // the folder the project was saved in: none
    constexpr uint32_t kRecord = 72, kStride = 76, kPerCluster = 65400 / kStride;
    const uint32_t n = uint32_t(sheets.size());
    std::string list;
    be(list, uint32_t(-2), 4);      // the stored form's mark
    be(list, 72, 4);                // its header's size
    for (uint32_t word : {kRecord, kStride, n, n, kPerCluster, 1u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u})
        be(list, word, 4);          // item size, stride, count, id limit, per cluster, clusters
    be(list, n, 4);                 // the cluster's slots
    be(list, n, 4);                 // one run of used slots
    for (const std::string& sheet : sheets) {
        std::string record = sheet;
        record.resize(kStride, '\0');  // the name, its zero end, the record's rest, the slot's status
        list += record;
    }
    for (size_t i = 0; i < sheets.size(); ++i) le(list, 0, 4);  // each sheet's folder: none
    std::string file = "ORDF";
    be(file, 258, 2);
    file += "QSPR";
    be(file, 46, 4);                // the header record's size
    be(file, 0, 4);                 // no application header
    file.append(46, '\0');          // the header record: no free block
    block(file, 1, header);
    block(file, 3, list);
    return file;
}

// Step 6: a version-3.6 project of two sheets (one written on a machine of each byte order)
// converted by plexa-convert into a folder of its own holding the project and the two sheets, and
// the converted project opened in plexa with each sheet; the copy plexa saves of each keeps the
// converted sheet's parts, their stored designators and its wiring.
TEST_F(DesignRun, Step6ConvertAVersion36ProjectAndOpenTheResult) {
    fs::copy_file(SourcePath("fuzz/corpus/converter_v36sheet/amplifier"), Path("Amplifier.SCM"));
    fs::copy_file(SourcePath("fuzz/corpus/converter_v36sheet/gates"), Path("Gates.SCM"));
    ASSERT_TRUE(WriteFile(Path("Design.SPR"), V36ProjectFile({"Amplifier.SCM", "Gates.SCM"})));
    const std::string said = Output(PLEXA_CONVERT, {"--batch", "Design.SPR"});
    const std::string folder = Path("Design (Plexa)");
    EXPECT_EQ(said, "\"" + Path("Design.SPR") + "\": written \"" + folder + "/Design.PRX\"\n");
    EXPECT_EQ(FolderNames(folder), (std::vector<std::string>{"Amplifier.SHX", "Design.PRX", "Gates.SHX"}));
    const std::string project = Tool("project-dump", {folder + "/Design.PRX"});
    EXPECT_NE(project.find("Amplifier.SHX"), std::string::npos) << project;
    EXPECT_NE(project.find("Gates.SHX"), std::string::npos) << project;
    for (const char* sheet : {"Amplifier", "Gates"}) {
        SCOPED_TRACE(sheet);
        const std::string converted = Dump(folder + "/" + sheet + ".SHX");
        ASSERT_FALSE(converted.empty());
        EXPECT_NE(Grep(converted, "  #"), "") << converted;
        const std::string copy = Path(std::string("copy-") + sheet + ".SHX");
        // The project alone is opened; its sheet is opened from its row in the project window.
        const ScriptedRunResult result = Play(
            "wait-window Design\n"
            "wait-drawn Design\n"
            "click 60 " + std::string(sheet == std::string("Amplifier") ? "48" : "66") + "\n"
            "menu File > Open Selection\n"
            "wait-window " + sheet + "\n"
            "wait-drawn " + sheet + "\n"
            "log-windows\n"
            "screenshot-screen " + Shot(std::string("step6-converted-") + sheet) + "\n"
            "panel " + copy + "\n"
            "menu File > Save a Copy...\n"
            "close " + sheet + "\n"
            "wait-no-window " + sheet + "\n"
            "close Design\n",
            {folder + "/Design.PRX"});
        ASSERT_TRUE(result.Exited(0)) << Explain(result);
        EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: " + std::string(sheet) + " | Design"});
        ExpectPicture(Shot(std::string("step6-converted-") + sheet));
        const std::string saved = Dump(copy);
        for (const char* section : {"  #", "  serial ", "    pin ", "    W", "  row "})
            EXPECT_EQ(Grep(saved, section), Grep(converted, section)) << section;
    }
}

// Step 4, the clipboard: the root's parts copied in plexa on a virtual display of the run's own,
// and the system clipboard read by another program there (the program test's clipboard probe):
// a PNG picture, an SVG one and the copied designators as text.
TEST_F(DesignRun, Step4CopiedPartsReachTheSystemClipboardAsAPicture) {
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "no virtual display server (scripts/setup installs Xvfb)";
    CopyProject();
    VirtualDisplay server;
    ASSERT_FALSE(server.name().empty()) << "the display server did not start";
    const std::string& display = server.name();

    run.SetEnvironment("QT_QPA_PLATFORM=xcb");
    run.SetEnvironment("DISPLAY=" + display);
    // The window system's keyboard library reads past its strings under strict checks; the run is
    // ended by a kill, so leak checks would not report.
    run.SetEnvironment("ASAN_OPTIONS=detect_leaks=0");
    ASSERT_TRUE(run.Start("wait-window ROOT\n"
                          "wait-drawn ROOT\n"
                          "drag 370 60 60 190\n"
                          "menu Edit > Copy\n"
                          "screenshot " + Shot("step4-copied") + " ROOT\n"
                          "log copied\n"
                          "# the editor keeps the clipboard while the probe reads it\n"
                          "wait-window Never Shown\n",
                          {Path("amp.PRX"), Path("ROOT.SHX")}));
    // The copy is made once the log says so (waited for while the program runs).
    ASSERT_TRUE(run.WaitForLog("copied")) << run.Finish(std::chrono::seconds(1)).errors;
    const std::string report = Path("probe.txt");
    ChildProcess probe(PLEXA_CLIPBOARD_PROBE, {report},
                       {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display, "ASAN_OPTIONS=detect_leaks=0"},
                       Path("probe-errors"));
    std::string probeErrors;
    EXPECT_EQ(probe.Wait(kRunLimit), 0) << (ReadFile(Path("probe-errors"), probeErrors) ? probeErrors : std::string());
    run.Finish(std::chrono::seconds(0));
    std::string found;
    ASSERT_TRUE(ReadFile(report, found));
    EXPECT_EQ(found.substr(0, 4), "png ");
    EXPECT_NE(found.find(" PNG\n"), std::string::npos) << found;
    EXPECT_NE(found.find("\nsvg yes\n"), std::string::npos) << found;
    EXPECT_EQ(found.substr(found.find("\ntext ") + 1), "text V1\nR1\nR2\n") << found;
    ExpectPicture(Shot("step4-copied"));
}

}  // namespace
}  // namespace plexa::test
