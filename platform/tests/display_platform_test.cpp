// Whether the display can be reached, asked of an X server of the test's own before any
// application object would connect to it.
#include <gtest/gtest.h>

#include <string>

#include "platform/display_platform.h"
#include "tests/support/testing.h"
#include "tests/support/virtual_display.h"

namespace plexa::test {
namespace {

// A server resets when its last client leaves and turns away the clients that come meanwhile: the
// question, asked again and again as a program asks it before its application object connects,
// must find the server every time.
TEST(DisplayProblem, AnswersEveryTimeOnAServerThatResetsWhenItsLastClientLeaves) {
    if (!VirtualDisplay::Available()) GTEST_SKIP() << "no virtual display server";
    VirtualDisplay server;
    ASSERT_FALSE(server.name().empty()) << "the display server did not start";
    EnvScope platform("QT_QPA_PLATFORM", "xcb");
    EnvScope display("DISPLAY", server.name());
    for (int i = 0; i < 40; ++i) ASSERT_EQ(PlatformDisplayProblem(), "") << "asked " << i + 1 << " times";
    PlatformReleaseDisplayProbe();
}

TEST(DisplayProblem, NamesWhatIsMissing) {
    EnvScope platform("QT_QPA_PLATFORM", "xcb");
    EnvScope display("DISPLAY", "");
    EXPECT_EQ(PlatformDisplayProblem(), "DISPLAY is not set");
    EnvScope offscreen("QT_QPA_PLATFORM", "xcb;offscreen");
    EXPECT_EQ(PlatformDisplayProblem(), "");
}

}  // namespace
}  // namespace plexa::test
