// The simulator tool bar against a simulator at the other end of the link, in the running program:
// the link is started from Tools > Simora Setup..., the simulator (a stand-in on the loopback
// interface) announces an analysis with one graph, and the bar's Run button and graph list send
// the run and the graph to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "design/tests/fake_simora.h"
#include "files/project.h"
#include "foundation/filespec.h"
#include "foundation/types.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(SimulatorToolBarRun, RunAndAGraphChosenOnTheBarGoToTheSimulator) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    FileSpec projectFile{};
    ASSERT_EQ(FileSpecFromPathName(nullptr, (folder + "/amp.PRX").c_str(), &projectFile), 0);
    const uint32_t projectId = ProjectId(&projectFile);

    // Asked for its analyses, the simulator announces "tran1" (id 77) with the graph "v(out)"
    // (id 3), then a message the editor shows (which tells the script the analysis is there).
    FakeSimora peer;
    ASSERT_TRUE(peer.Listen());
    peer.SetResponder([projectId](const PeerFrame& frame) -> std::string {
        if (frame.type != FourCC("AllA")) return "";
        return PeerFrameBytes(FourCC("AllA"), 1, projectId, {5, 0, 9, 0},
                              PeerStringList(4, {PeerEntry{"tran1", 77}, PeerEntry{"v(out)", 3}})) +
               PeerFrameBytes(FourCC("Dlog"), 2, projectId, {0, 0, 0, 0},
                              PeerStringList(0, {{"Simora", 0}, {"Analyses sent", 0}, {"", 0}, {"OK", 0}, {"", 0}}));
    });
    const std::string picture = OutputPath("simulator-tools-run.png");
    std::remove(picture.c_str());
    const std::string port = std::to_string(peer.port());
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        // The simulator's netlist, made once, so that Run has a netlist to send.
        "menu File > Export > Simora Hierarchical\n"
        "wait-window Simora Hierarchical\n"
        "wait-drawn Simora Hierarchical\n"
        "click 27 132\n"  // the output is not opened afterwards
        "button Run\n"
        "wait-no-window Simora Hierarchical\n"
        "menu Tools > Simora Setup...\n"
        "wait-window Simora Interface\n"
        "click 205 210 double\n"
        "type " + port + "\n"
        "button Start\n"
        "button Done\n"
        "wait-no-window Simora Interface\n"
        "button OK\n"
        "wait-drawn ROOT\n"
        "screenshot " + picture + " ROOT\n"
        "click 122 55\n"          // Run
        "popup 2\n"
        "click 463 55\n"          // the graph list: "v(out)"
        "close ROOT\n"
        "close amp\n"
        "button Don't Save\n",
        {folder + "/amp.PRX", folder + "/ROOT.SHX"});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    // The editor asked for the analyses, then ran the one on the bar and added its graph.
    ASSERT_TRUE(peer.WaitFrames(3));
    std::string seen;
    for (const PeerFrame& frame : peer.frames()) {
        const char type[5] = {char(frame.type >> 24), char(frame.type >> 16), char(frame.type >> 8), char(frame.type), 0};
        seen += std::string(type) + " " + std::to_string(frame.arguments[0]) + " " + std::to_string(frame.arguments[1]) + "\n";
    }
    EXPECT_EQ(seen, "AllA 0 0\nRAna 77 0\nAGph 77 3\n");
}

#endif

}  // namespace
}  // namespace plexa::test
