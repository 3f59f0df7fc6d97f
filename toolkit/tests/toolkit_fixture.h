// A clean toolkit for each test: no windows, an empty request queue, the platform's test clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "platform/app_platform.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/vx_app.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        static char name[] = "toolkit_tests";
        static char* argv[] = {name, nullptr};
        ASSERT_TRUE(PlatformEnsureApplication(1, argv));
        Clean();
        TestClockEnable(1'000'000);
        VXCoreInit();
    }
    void TearDown() override {
        Clean();
        TestClockDisable();
    }
    static void Clean() {
        for (VXWindowRecordTag* window : VXTopLevelWindows()) VXDestroyWindow(window);
        TestResetPlatform();
        VXResetToolkitForTesting();
    }
};

// A mouse event of the given kind at a point of the window's content, one click.
inline PlatformInputEvent MouseInput(PlatformInputKind kind, VXWindowRecordTag* window, int32_t x,
                                     int32_t y, uint32_t modifiers = 0) {
    PlatformInputEvent event;
    event.kind = kind;
    event.windowID = window ? window->windowID : 0;
    event.x = x;
    event.y = y;
    event.clickCount = 1;
    event.modifiers = modifiers;
    return event;
}

// Writes a picture of the window as `name` among the build's test outputs, for a person to look
// at, and returns the PNG's bytes (empty when it could not be written).
inline std::string WriteScreenshot(VXWindowRecordTag* window, const std::string& name) {
    const std::string path = OutputPath(name);
    std::remove(path.c_str());
    std::string png;
    if (!PlatformWindowGrabPNG(window->platformWindow, path) || !ReadFile(path, png)) return {};
    return png;
}

}  // namespace plexa::test
