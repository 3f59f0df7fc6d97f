// The command-line tools run as second processes, as a person runs them.
//
// The fixture project (tools/tests/fixtures/amp, written by the project's own sheet and project
// writers and annotated) is a divider on its root sheet ROOT.SHX (V1, R1, R2) feeding two uses of
// the child sheet RC.SHX (an RC low-pass, local net MID); each sheet holds a free text. netlist-dump
// and report-run must see the whole design: the parts and the local nets of both instances. The
// shipped SPICE script's netlist is simulated with ngspice. Failures - a missing file, a damaged
// one, an output that cannot be written - must each end non-zero with one line on standard error
// naming the file and saying what the status means.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/spice_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int exit = -1;
    std::string out, err;
    // The lines of standard error that the tool wrote itself.
    std::vector<std::string> Messages(const std::string& tool) const {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);)
            if (line.rfind(tool + ": ", 0) == 0) lines.push_back(line);
        return lines;
    }
};

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"ROOT.SHX", "RC.SHX", "amp.PRX"})
            fs::copy_file(SourcePath(std::string("tools/tests/fixtures/amp/") + name), Path(name));
    }

    std::string Path(const std::string& name) const { return dir_.file(name); }

    // Runs a tool of the build in the project folder; `environment` goes before it on the shell's
    // command line (an `env` command that sets or unsets variables).
    ToolRun Tool(const std::string& tool, const std::vector<std::string>& arguments,
                 const std::string& environment = {}) const {
        std::string command = "cd " + ShellQuoted(dir_.path()) + " && " + environment + " " +
                              ShellQuoted(std::string(PLEXA_TOOLS_DIR) + "/" + tool);
        for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
        command += " >" + ShellQuoted(Path("run.out")) + " 2>" + ShellQuoted(Path("run.err"));
        ToolRun run;
        const int status = std::system(command.c_str());
        run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        ReadFile(Path("run.out"), run.out);
        ReadFile(Path("run.err"), run.err);
        fs::remove(Path("run.out"));
        fs::remove(Path("run.err"));
        return run;
    }

    std::string Bytes(const std::string& name) const {
        std::string bytes;
        EXPECT_TRUE(ReadFile(Path(name), bytes)) << name;
        return bytes;
    }

    TempDir dir_;
};

// Both uses of the child give their parts (R3 C1 in one, R4 C2 in the other), each its own MID
// net, and the ports take the parent's nets: A for one use, VIN for the other.
constexpr const char* kWholeNetlist =
    "sheet 0 RC.SHX\n"
    "sheet 1 ROOT.SHX\n"
    "comp C1 part=CAP slots=1 sheet=0 attrs=Value=100n\n"
    "comp C2 part=CAP slots=1 sheet=0 attrs=Value=100n\n"
    "comp R1 part=RES slots=1 sheet=1 attrs=Value=1k\n"
    "comp R2 part=RES slots=1 sheet=1 attrs=Value=2k\n"
    "comp R3 part=RES slots=1 sheet=0 attrs=Value=10k\n"
    "comp R4 part=RES slots=1 sheet=0 attrs=Value=10k\n"
    "comp V1 part=VSRC slots=1 sheet=1 attrs=Value=DC 5\n"
    "net A scope=local sheet=1\n"
    "net GND scope=global sheet=0 shared\n"
    "net I2:MID scope=local sheet=0 copy shared\n"
    "net I3:MID scope=local sheet=0 shared\n"
    "net VIN scope=local sheet=1\n"
    "pin R4.1 name=A net=A node=I3\n"
    "pin R4.2 name=B net=I3:MID node=I3\n"
    "pin R3.1 name=A net=VIN node=I2\n"
    "pin R3.2 name=B net=I2:MID node=I2\n"
    "pin C2.1 name=A net=I3:MID node=I3\n"
    "pin C2.2 name=B net=GND node=I3\n"
    "pin C1.1 name=A net=I2:MID node=I2\n"
    "pin C1.2 name=B net=GND node=I2\n"
    "pin V1.1 name=A net=VIN node=I1\n"
    "pin V1.2 name=B net=GND node=I1\n"
    "pin R1.1 name=A net=VIN node=I1\n"
    "pin R1.2 name=B net=A node=I1\n"
    "pin R2.1 name=A net=A node=I1\n"
    "pin R2.2 name=B net=GND node=I1\n";

TEST_F(ToolsTest, NetlistDumpListsEveryInstanceAndLeavesTheProjectAsItWas) {
    const std::string before = Bytes("amp.PRX");
    const ToolRun run = Tool("netlist-dump", {"amp.PRX"});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, kWholeNetlist);
    EXPECT_TRUE(run.Messages("netlist-dump").empty()) << run.err;
    EXPECT_EQ(Bytes("amp.PRX"), before);
}

// The shipped SPICE script stores the simulator's cross-references in the project, so report-run
// opens it for writing and says so; the netlist it writes has every instance and simulates: the
// divider gives A = 5 V * 2k / 3k, and each instance's MID sits at its own input.
// A script that never ends is stopped at the run-time limit with its message, and the run fails;
// a limit that is no number of seconds is wrong usage.
TEST_F(ToolsTest, ReportRunStopsAScriptThatNeverEndsAtItsTimeLimit) {
    ASSERT_TRUE(WriteFile(Path("forever.SXP"), "WHILE 1 {}"));
    const ToolRun run = Tool("report-run", {"--time-limit", "1", "amp.PRX", "forever.SXP"});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_NE(run.err.find("time limit"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    for (const char* limit : {"0", "-3", "ten", ""})
        EXPECT_EQ(Tool("report-run", {"--time-limit", limit, "amp.PRX", "forever.SXP"}).exit, 2) << limit;
}

TEST_F(ToolsTest, ReportRunWritesTheSpiceNetlistAndNgspiceSimulatesIt) {
    const ToolRun run = Tool("report-run", {"amp.PRX", SourcePath("resources/scripts/SPICE Netlist.SXP")});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(run.out, Path("amp.cir") + "\n");
    const std::vector<std::string> said = run.Messages("report-run");
    ASSERT_EQ(said.size(), 1u) << run.err;
    EXPECT_NE(said[0].find("opened for writing"), std::string::npos) << said[0];
    const std::string netlist = Bytes("amp.cir");
    EXPECT_EQ(netlist, kAmpSpiceNetlist);

    // The project written with the cross-references still reads whole.
    EXPECT_EQ(Tool("netlist-dump", {"amp.PRX"}).out, kWholeNetlist);
    EXPECT_EQ(Tool("project-dump", {"amp.PRX"}).exit, 0);

    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (scripts/setup installs it)";
    ExpectOperatingPoint(dir_.path(), netlist, AmpOperatingPoint());
}

// The descent rules run over the project as it was opened: each use of the child sheet answers
// its sheet symbol's designator (X1, X2), so that a rule can keep one use out of every later walk
// of the run (X1 holds R4 and C2).
TEST_F(ToolsTest, DescentRulesSeeTheDesignatorsOfTheSheetSymbolsAndKeepOneUseOut) {
    const struct {
        const char* script;
        const char* output;
    } cases[] = {
        {"DESCENTRULES { WRITE RefDes : \",\" : RefDesNQ : \",\" : RefDesPrefix : \";\" }",
         "X1,X1,X;X2,X2,X;"},
        {"DESCENTRULES { IF RefDes == \"X1\" NODESCENT = 1 }\nITERATE COMPONENTS BY RefDes { WRITE RefDes : \" \" }",
         "C1 R1 R2 R3 V1 "},
        {"DESCENTRULES { IF RefDesNQ == \"X2\" NODESCENT = 1 }\nDATABASE;\nITERATE COMPONENTS BY RefDes { WRITE RefDes : \" \" }",
         "C2 R1 R2 R4 V1 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        ASSERT_TRUE(WriteFile(Path("rules.SXP"), std::string("SETFILE \"rules.txt\";\n") + c.script + "\n"));
        const ToolRun run = Tool("report-run", {"amp.PRX", "rules.SXP"});
        EXPECT_EQ(run.exit, 0) << run.err;
        EXPECT_EQ(Bytes("rules.txt"), c.output);
    }
}

// A script that only reads leaves the project file as it was and says nothing of writing.
TEST_F(ToolsTest, ReportRunKeepsTheProjectReadOnlyForAScriptThatOnlyReads) {
    const std::string before = Bytes("amp.PRX");
    const ToolRun run = Tool("report-run", {"amp.PRX", SourcePath("resources/scripts/Bill of Materials.SXP")});
    EXPECT_EQ(run.exit, 0) << run.err;
    EXPECT_TRUE(run.Messages("report-run").empty()) << run.err;
    EXPECT_EQ(Bytes("amp.PRX"), before);
}

// Every failure: a non-zero exit and one line "<tool>: <file>: <what failed>: <the status's
// message>" (or, without a status, what failed), never a bare status number.
TEST_F(ToolsTest, FailuresNameTheFileAndSayWhatTheStatusMeans) {
    // A project whose file is cut short, a project without its child sheet, a file that is no
    // project, a script that does not compile, one that writes under a plain file.
    const std::string project = Bytes("amp.PRX");
    ASSERT_TRUE(WriteFile(Path("cut.PRX"), project.substr(0, project.size() / 2)));
    fs::create_directory(Path("lost"));
    fs::copy_file(Path("amp.PRX"), Path("lost/amp.PRX"));
    fs::copy_file(Path("ROOT.SHX"), Path("lost/ROOT.SHX"));
    ASSERT_TRUE(WriteFile(Path("plain"), "not a folder\n"));
    ASSERT_TRUE(WriteFile(Path("bad.SXP"), "WRITE (\n"));
    ASSERT_TRUE(WriteFile(Path("under.SXP"), "SETFILE \"plain/out.txt\";\nWRITE \"x\";\n"));
    // A project whose child sheet is cut short.
    fs::create_directory(Path("damaged"));
    for (const char* name : {"amp.PRX", "ROOT.SHX"}) fs::copy_file(Path(name), Path(std::string("damaged/") + name));
    const std::string child = Bytes("RC.SHX");
    ASSERT_TRUE(WriteFile(Path("damaged/RC.SHX"), child.substr(0, child.size() * 2 / 3)));
    const std::string bom = SourcePath("resources/scripts/Bill of Materials.SXP");
    // Library descriptions that lib-make refuses: a bus pin of a type a bus does not take, a type
    // outside a port, a text without its place.
    ASSERT_TRUE(WriteFile(Path("bus.txt"), "port P\nbus\npin 1 1 passive 0 0 0 6\nline 0 6 0 9\nend\n"));
    ASSERT_TRUE(WriteFile(Path("type.txt"), "item R\ntype input\nend\n"));
    ASSERT_TRUE(WriteFile(Path("text.txt"), "item R\nprefix R\ntext designator -8\nend\n"));
    const std::string fileNotFound = "The file could not be found.";
    const struct {
        const char* tool;
        std::vector<std::string> arguments;
        std::string file;     // named in the message
        std::string meaning;  // the status's message, or what failed
    } cases[] = {
        {"netlist-dump", {"missing.PRX"}, "missing.PRX", fileNotFound},
        {"netlist-dump", {"cut.PRX"}, "cut.PRX", "The end of the file was reached unexpectedly."},
        {"netlist-dump", {"ROOT.SHX"}, "ROOT.SHX", "it is not a project file"},
        {"netlist-dump", {"lost/amp.PRX"}, "lost/amp.PRX", "the sheet RC.SHX was not found"},
        {"report-run", {"missing.PRX", "bad.SXP"}, "missing.PRX", fileNotFound},
        {"report-run", {"amp.PRX", "missing.SXP"}, "missing.SXP", fileNotFound},
        {"report-run", {"amp.PRX", "bad.SXP"}, "bad.SXP", "cannot be compiled"},
        {"report-run", {"lost/amp.PRX", "under.SXP"}, "lost/amp.PRX", "the sheet RC.SHX was not found"},
        {"report-run", {"amp.PRX", "under.SXP"}, Path("plain/out.txt"), "The folder could not be found."},
        // The damaged child is named, and the script is not blamed for it.
        {"netlist-dump", {"damaged/amp.PRX"}, "damaged/amp.PRX", "the sheet RC.SHX cannot be read"},
        {"report-run", {"damaged/amp.PRX", bom}, "damaged/amp.PRX", "the sheet RC.SHX cannot be read"},
        {"sheet-dump", {"missing.SHX"}, "missing.SHX", fileNotFound},
        {"sheet-dump", {"amp.PRX"}, "amp.PRX", "The file is not of a known kind."},
        {"project-dump", {"missing.PRX"}, "missing.PRX", fileNotFound},
        {"dynfile-dump", {"plain"}, "plain", "The file is not a document of this program."},
        {"dxf-sample", {"plain/out.dxf"}, "plain/out.dxf", "The folder could not be found."},
        {"render-sample", {"plain/out.png"}, "plain/out.png", "the image file cannot be made"},
        {"text-sample", {"plain/out.png"}, "plain/out.png", "the image file cannot be made"},
        {"report-compile", {"missing.SXP"}, "missing.SXP", fileNotFound},
        {"lib-tool", {"list", "missing.LBX"}, "missing.LBX", fileNotFound},
        {"lib-tool", {"list", "ROOT.SHX"}, "ROOT.SHX", "The file is not of a known kind."},
        {"lib-tool", {"create", "plain/new.LBX"}, "plain/new.LBX", "The folder could not be found."},
        {"gui-compile", {SourcePath("resources/gui/views.txt"), "plain/views.gui"}, "plain/views.gui",
         "The folder could not be found."},
        {"v36-dump", {"missing.SCM"}, "missing.SCM", fileNotFound},
        {"lib-make", {"bus.txt", "bus.LBX"}, "bus.txt", "a bus pin's type is unspecified, input, output or bidirectional"},
        {"lib-make", {"type.txt", "type.LBX"}, "type.txt", "line 2: a port's type is input, output or bidirectional"},
        {"lib-make", {"text.txt", "text.LBX"}, "text.txt", "line 3: a text needs its anchor"},
        {"dlist-dump", {"ROOT.SHX"}, "ROOT.SHX", "display list"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.arguments.back());
        const ToolRun run = Tool(c.tool, c.arguments);
        EXPECT_NE(run.exit, 0);
        const std::vector<std::string> said = run.Messages(c.tool);
        ASSERT_FALSE(said.empty()) << run.err;
        const std::string& line = said.back();
        EXPECT_EQ(line.rfind(std::string(c.tool) + ": " + c.file + ": ", 0), 0u) << line;
        EXPECT_NE(line.find(c.meaning), std::string::npos) << line;
        EXPECT_EQ(line.back(), '.') << line;
        EXPECT_EQ(run.err.find("status"), std::string::npos) << run.err;
        if (c.file.rfind("damaged/", 0) == 0) {
            EXPECT_EQ(run.err.find("script"), std::string::npos) << run.err;
            // The project's log (here a line on standard error) names the sheet too.
            EXPECT_NE(run.err.find("Sheet could not be read. Sheet \"RC.SHX\": The end of the file was reached unexpectedly."),
                      std::string::npos)
                << run.err;
        }
    }
    EXPECT_EQ(Bytes("amp.PRX"), project);
}

// A display that cannot be reached (DISPLAY naming no X server, or the X11 platform asked for
// without one) leaves the tools on the offscreen platform, and with XDG_RUNTIME_DIR unset (a shell
// over ssh, a cron job) their standard error carries only their own messages: here none.
TEST_F(ToolsTest, ToolsRunWithoutAReachableDisplayAndSayOnlyTheirOwnMessages) {
    const char* const environments[] = {
        "env -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:4093",
        "env -u XDG_RUNTIME_DIR -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb DISPLAY=:4093",
        "env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb",
        "env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM",
        "env -u XDG_RUNTIME_DIR QT_QPA_PLATFORM=offscreen",
    };
    for (const char* environment : environments) {
        SCOPED_TRACE(environment);
        const ToolRun netlist = Tool("netlist-dump", {"amp.PRX"}, environment);
        EXPECT_EQ(netlist.exit, 0);
        EXPECT_EQ(netlist.out, kWholeNetlist);
        EXPECT_EQ(netlist.err, "");
        const ToolRun sheet = Tool("sheet-dump", {"ROOT.SHX"}, environment);
        EXPECT_EQ(sheet.exit, 0);
        EXPECT_NE(sheet.out, "");
        EXPECT_EQ(sheet.err, "");
        const ToolRun report =
            Tool("report-run", {"amp.PRX", SourcePath("resources/scripts/Bill of Materials.SXP")}, environment);
        EXPECT_EQ(report.exit, 0);
        EXPECT_EQ(report.err, "");
    }
}

// A tool that measures no text loads no fonts: with the font set-up's configuration missing,
// which the font library complains about when it is loaded, the netlist is printed without a
// word on standard error, while a tool that measures text does hear the complaint.
TEST_F(ToolsTest, NetlistDumpLoadsNoFonts) {
    const std::string environment = "env FONTCONFIG_FILE=" + ShellQuoted(Path("missing-fonts.conf"));
    const ToolRun netlist = Tool("netlist-dump", {"amp.PRX"}, environment);
    EXPECT_EQ(netlist.exit, 0);
    EXPECT_EQ(netlist.out, kWholeNetlist);
    EXPECT_EQ(netlist.err, "");
    const ToolRun text = Tool("text-sample", {Path("sample.png")}, environment);
    EXPECT_EQ(text.exit, 0);
    EXPECT_NE(text.err.find("Fontconfig"), std::string::npos) << text.err;
}

}  // namespace
}  // namespace plexa::test
