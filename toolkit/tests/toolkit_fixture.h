// A clean toolkit for each test: no windows, an empty request queue, the platform's test clock.
#pragma once

#include <gtest/gtest.h>

#include "platform/app_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/vx_app.h"
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
        VXResetShellRequestsForTesting(false);
        vx = VXGlobals{};
        gVXWindowDefaultHooks = VXWindowDefaultHooks{};
    }
};

}  // namespace plexa::test
