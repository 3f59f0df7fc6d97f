// The application object and a clean platform state for each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/app_platform.h"
#include "platform/testseam_platform.h"

namespace plexa::test {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        static char name[] = "platform_tests";
        static char* argv[] = {name, nullptr};
        ASSERT_TRUE(PlatformEnsureApplication(1, argv));
        TestResetPlatform();
        TestClockEnable(5'000'000);
    }
    void TearDown() override {
        TestResetPlatform();
        TestClockDisable();
    }
};

}  // namespace plexa::test
