// Tool tips on the running editor follow the preferences: shown from the start of a fresh run,
// gone once the Preferences dialog turned them off, and still gone in the next run, which reads
// the stored setting at start-up.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The pointer comes to rest over the palette's "Place Library Part" button. When a tip is to be
// seen the run waits for it; otherwise it waits twice the tooltip delay and logs what is shown.
std::string RestOverPaletteButton(bool expectTip) {
    return std::string("move 17 180\nmove 18 181\n") + (expectTip ? "wait-tooltip\n" : "pause 1500\nlog-tooltip\n");
}

constexpr const char* kReady = "wait-window Untitled 1\nwait-drawn Untitled 1\n";

TEST(ToolTips, FollowThePreferenceInThisRunAndTheNext) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult fresh = run.Run(std::string(kReady) + RestOverPaletteButton(true) + "quit\n");
    ASSERT_TRUE(fresh.Exited(0)) << fresh.status << "\n" << fresh.errors;
    EXPECT_EQ(fresh.Lines("tooltip"), std::vector<std::string>{"tooltip Place Library Part"});

    // Off in the Preferences dialog: no tip in this run.
    const ScriptedRunResult turnedOff =
        run.Run(std::string(kReady) + "menu Plexa > Preferences\xE2\x80\xA6\nwait-window Preferences\n"
                "button Tool tips\nbutton OK\nwait-no-window Preferences\n" + RestOverPaletteButton(false) + "quit\n");
    ASSERT_TRUE(turnedOff.Exited(0)) << turnedOff.status << "\n" << turnedOff.errors;
    EXPECT_EQ(turnedOff.Lines("tooltip"), std::vector<std::string>{"tooltip none"});

    // The next run starts with them off.
    const ScriptedRunResult next = run.Run(std::string(kReady) + RestOverPaletteButton(false) + "quit\n");
    ASSERT_TRUE(next.Exited(0)) << next.status << "\n" << next.errors;
    EXPECT_EQ(next.Lines("tooltip"), std::vector<std::string>{"tooltip none"});
}

#endif

}  // namespace
}  // namespace plexa::test
