// The simulator tool bar against a simulator at the other end of the link, in the running program:
// the link is started from Tools > Simora Setup..., the simulator (a stand-in on the loopback
// interface) announces an analysis with one graph, and the bar's Run button and graph list send
// the run and the graph to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "design/tests/fake_simora.h"
#include "files/project.h"
#include "foundation/filespec.h"
#include "foundation/types.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The fixture project with its root sheet open, and a simulator stand-in that announces the
// analysis "tran1" (id 77) with the graph "v(out)" (id 3) when asked for the analyses.
class SimulatorToolBarRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = run_.CopyFixture("tools/tests/fixtures/amp");
        FileSpec projectFile{};
        ASSERT_EQ(FileSpecFromPathName(nullptr, (folder_ + "/amp.PRX").c_str(), &projectFile), 0);
        ASSERT_TRUE(peer_.Listen());
    }
    // A message the editor shows: the script waits for it, so that it goes on only once the
    // simulator has what the editor sent.
    static std::string Shown(uint32_t projectId, uint32_t number, const char* text) {
        return PeerFrameBytes(FourCC("Dlog"), number, projectId, {0, 0, 0, 0},
                              PeerStringList(0, {{"Simora", 0}, {text, 0}, {"", 0}, {"OK", 0}, {"", 0}}));
    }
    // answerClose: the simulator answers the editor's closing of the circuit (else the editor
    // waits for an answer until it gives up).
    void Answer(bool answerClose) {
        FileSpec projectFile{};
        ASSERT_EQ(FileSpecFromPathName(nullptr, (folder_ + "/amp.PRX").c_str(), &projectFile), 0);
        const uint32_t projectId = ProjectId(&projectFile);
        peer_.SetResponder([projectId, answerClose](const PeerFrame& frame) -> std::string {
            switch (frame.type) {
            case FourCC("AllA"):
                return PeerFrameBytes(FourCC("AllA"), 1, projectId, {5, 0, 9, 0},
                                      PeerStringList(4, {PeerEntry{"tran1", 77}, PeerEntry{"v(out)", 3}})) +
                       Shown(projectId, 2, "Analyses sent");
            // Nothing of the circuit was changed here.
            case FourCC("cClo"):
                return answerClose ? PeerFrameBytes(frame.type, frame.number, 0, {0, 0, 0, 0}, "") : "";
            // Without an answer to the close, the run's message would race the project's close in
            // the script: the stand-in then runs the analysis silently.
            case FourCC("RAna"): return answerClose ? Shown(projectId, 3, "Running") : "";
            case FourCC("AGph"): return Shown(projectId, 4, "Graph added");
            default: return "";
            }
        });
    }
    // The script up to the bar showing the analysis: the simulator's netlist made once, the sheet
    // changed and saved since (so that Run makes the netlist again before it runs), the link
    // started from the setup dialog.
    std::string Connected() {
        return "wait-window ROOT\n"
               "wait-drawn ROOT\n"
               "menu File > Export > Simora Hierarchical\n"
               "wait-window Simora Hierarchical\n"
               "wait-drawn Simora Hierarchical\n"
               "click 27 132\n"  // the output is not opened afterwards
               "button Run\n"
               "wait-no-window Simora Hierarchical\n"
               "menu Edit > Select All\nmenu Edit > Duplicate\nkey Ctrl+S\n"
               "menu Tools > Simora Setup...\n"
               "wait-window Simora Interface\n"
               "click 205 210 double\n"
               "type " + std::to_string(peer_.port()) + "\n"
               "button Start\n"
               "button Done\n"
               "wait-no-window Simora Interface\n"
               "button OK\n"
               "wait-drawn ROOT\n";
    }
    ScriptedRunResult Play(const std::string& steps) {
        return run_.Run(Connected() + steps, {folder_ + "/amp.PRX", folder_ + "/ROOT.SHX"});
    }
    // What the editor sent, one frame a line (type and first two arguments), messages left out.
    std::string Sent() {
        std::string seen;
        for (const PeerFrame& frame : peer_.frames()) {
            const char type[5] = {char(frame.type >> 24), char(frame.type >> 16), char(frame.type >> 8), char(frame.type),
                                  0};
            if (frame.type != FourCC("Dlog"))
                seen += std::string(type) + " " + std::to_string(frame.arguments[0]) + " " +
                        std::to_string(frame.arguments[1]) + "\n";
        }
        return seen;
    }

    ScriptedRun run_{PLEXA_PROGRAM};
    std::string folder_;
    FakeSimora peer_;
};

TEST_F(SimulatorToolBarRun, RunAndAGraphChosenOnTheBarGoToTheSimulator) {
    Answer(true);
    const std::string picture = OutputPath("simulator-tools-run.png");
    std::remove(picture.c_str());
    const ScriptedRunResult result = Play("screenshot " + picture + " ROOT\n"
                                          "click 122 55\n"  // Run
                                          "button OK\n"
                                          "popup 2\n"
                                          "click 463 55\n"  // the graph list: "v(out)"
                                          "button OK\n"
                                          "close ROOT\n"
                                          "close amp\n"
                                          "button Don't Save\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The editor asked for the analyses; then, the sheet having changed since the netlist was
    // made, it made the netlist again (closing and opening the circuit in the simulator), ran the
    // analysis on the bar saying so (1), and added the graph chosen.
    EXPECT_EQ(Sent(), "AllA 0 0\ncClo 0 0\nOpen 0 0\nRAna 77 1\nAGph 77 3\n");
}

// The project window closed while the netlist made for a run waits for the simulator: the close
// waits until the run is done (it used to free the project under the netlist's script).
TEST_F(SimulatorToolBarRun, TheProjectClosedWhileARunWaitsForTheSimulatorClosesAfterIt) {
    Answer(false);
    const ScriptedRunResult result = Play("click 122 55\n"  // Run
                                          "close amp\n"
                                          "wait-no-window amp\n"
                                          "log-windows\n"
                                          "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows:"), (std::vector<std::string>{"windows: ROOT"}));
    EXPECT_EQ(Sent(), "AllA 0 0\ncClo 0 0\nOpen 0 0\nRAna 77 1\n");
}

#endif

}  // namespace
}  // namespace plexa::test
