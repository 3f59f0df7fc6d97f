// Ticks, waiting, the busy cursor, keys, application ids and the key/value store.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/cursor_platform.h"
#include "platform/defaults_store.h"
#include "platform/testseam_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_about.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"

namespace plexa::test {
namespace {

class Services : public ToolkitTest {};

TEST_F(Services, ElapsedTicksAcrossTheWrap) {
    struct Case {
        uint32_t start, now, elapsed;
    };
    const Case cases[] = {{10, 25, 15}, {0xFFFFFFF0u, 5, 21}, {0xFFFFFFFFu, 0, 1}, {7, 7, 0}};
    for (const Case& c : cases) EXPECT_EQ(ElapsedTicksBetween(c.start, c.now), c.elapsed);
    // Through the clock: one second is 60 ticks.
    uint32_t start = VXGetTicks();
    TestClockAdvance(1'000'000);
    EXPECT_EQ(GetElapsedTicks(start), 60u);
    EXPECT_EQ(GetElapsedTicks(start + 100), uint32_t(-40));
}

TEST_F(Services, DelayAndSleepUnderTheTestClock) {
    uint32_t start = VXGetTicks();
    EXPECT_EQ(VXDelay(10), start + 10);
    static int ran = 0;
    ran = 0;
    PlatformPostDeferred([](void*) { ++ran; }, nullptr, 0);
    VXSleep(0);
    EXPECT_EQ(ran, 1);
    PlatformPostDeferred([](void*) { ++ran; }, nullptr, 100'000);
    VXSleep(12);  // 0.2 s: the deferred call runs during the sleep
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(VXGetTicks(), start + 22);
}

TEST_F(Services, CancelKey) {
    EXPECT_FALSE(VXTestCancelKey());
    TestSetKeyDown(kPlatformKeyCommand, true);
    EXPECT_FALSE(VXTestCancelKey());
    TestSetKeyDown(kPlatformKeyPeriod, true);
    EXPECT_TRUE(VXTestCancelKey());
    TestSetKeyDown(kPlatformKeyCommand, false);
    TestSetKeyDown(kPlatformKeyPeriod, false);
    TestSetKeyDown(kPlatformKeyEscape, true);
    EXPECT_TRUE(VXTestCancelKey());
    EXPECT_TRUE(VXTestKey(kPlatformKeyEscape));
}

TEST_F(Services, ApplicationIdentifiersAndResources) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("com.example.Tool.desktop"), "[Desktop Entry]\nExec=true\n"));
    ASSERT_TRUE(WriteFile(dir.file("tool"), "x"));
    char id[256];
    EXPECT_EQ(VXGetBundleIdentifier(dir.file("com.example.Tool.desktop").c_str(), id), 0);
    EXPECT_STREQ(id, "com.example.Tool");
    EXPECT_EQ(VXGetBundleIdentifier(dir.file("tool").c_str(), id), status::kUnknownFileKind);
    EXPECT_EQ(VXGetBundleIdentifier(dir.file("none").c_str(), id), status::kNotFound);
    EXPECT_EQ(VXLaunchDocument(dir.file("none").c_str(), nullptr, true, false), status::kNotFound);
    // An application that cannot be started (neither a program nor a desktop file) fails the launch.
    EXPECT_EQ(VXLaunchDocument(dir.file("tool").c_str(), dir.file("tool").c_str(), true, false), status::kParamErr);
    EXPECT_EQ(VXLaunchURL("not a url"), status::kParamErr);
    char version[32];
    OSStatus status = GetApplicationVersionString(version);
    EXPECT_TRUE(status == 0 || (status == -192 && version[0] == 0));

    ASSERT_TRUE(WriteFile(dir.file("Cursor_3.png"), "x"));
    ASSERT_TRUE(WriteFile(dir.file("Ping.wav"), "x"));
    setenv("PLEXA_RESOURCE_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(VXGetResourceURL("Cursor", 3, "png"), dir.file("Cursor_3.png"));
    EXPECT_EQ(VXGetResourceURL("Cursor", -1, "png"), "");
    VXSound* sound = VXLoadSound("Ping");
    EXPECT_NE(sound, nullptr);
    VXReleaseSound(sound);
    EXPECT_EQ(VXLoadSound("Missing"), nullptr);
    unsetenv("PLEXA_RESOURCE_DIR");
}

// The busy cursor turns to the next of its four pictures only when 10 ticks have passed since it
// last turned, however often a loop asks; after the fourth comes the first.
TEST_F(Services, TheWaitCursorTurnsAtMostEveryTenTicks) {
    std::vector<PlatformCursor*> cycle;
    for (int32_t id = 2001; id <= 2004; ++id) cycle.push_back(VXGetCursorWithId(id, 0, 0));
    for (PlatformCursor* cursor : cycle) ASSERT_NE(cursor, nullptr);
    auto shown = [&] { return std::find(cycle.begin(), cycle.end(), PlatformCurrentCursor()) - cycle.begin(); };
    // 60000 ticks after the start, later than any earlier turn; then to the tick given from there.
    TestClockAdvance(1'000'000'000);
    int64_t at = 0;
    auto toTick = [&](int64_t tick) {
        const int64_t micros = (tick * 1'000'000 + 59) / 60;
        TestClockAdvance(micros - at);
        at = micros;
    };
    WaitCursor();
    const auto first = shown();
    ASSERT_LT(first, 4);
    toTick(9);
    WaitCursor();
    WaitCursor();
    EXPECT_EQ(shown(), first);
    for (int turn = 1; turn <= 4; ++turn) {
        toTick(10 * turn);
        WaitCursor();
        EXPECT_EQ(shown(), (first + turn) % 4) << turn;
        toTick(10 * turn + 9);
        WaitCursor();
        EXPECT_EQ(shown(), (first + turn) % 4) << turn;
    }
}

class Defaults : public Services {
protected:
    void SetUp() override {
        Services::SetUp();
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        DefaultsReload();
    }
    void TearDown() override {
        DefaultsReload();
        unsetenv("XDG_CONFIG_HOME");
        Services::TearDown();
    }
    TempDir dir_;
};

TEST_F(Defaults, ValuesRoundTrip) {
    EXPECT_EQ(DefaultsFilePath(), dir_.path() + "/plexa/Plexa.conf");
    EXPECT_EQ(VXGetIntValueForKey("Count"), 0);
    VXStoreIntValueForKey("Count", -42);
    EXPECT_EQ(VXGetIntValueForKey("Count"), -42);

    const std::string text = "Widerstände/R1 \xE2\x82\xAC";  // ends in a 3-byte character
    VXStoreStringValueForKey("Text", text.c_str());
    char buffer[64];
    EXPECT_EQ(std::string(VXGetStringValueForKey("Text", buffer, sizeof buffer)), text);
    // Cut to the size on a character boundary: never half a character.
    struct Cut {
        int32_t size;
        const char* expected;
    };
    for (Cut cut : {Cut{9, "Widerst"}, Cut{10, "Widerst\xC3\xA4"}, Cut{1, ""},
                    Cut{int32_t(text.size()), "Widerstände/R1 "}}) {
        EXPECT_STREQ(VXGetStringValueForKey("Text", buffer, cut.size), cut.expected) << cut.size;
    }
    EXPECT_STREQ(VXGetStringValueForKey("Absent", buffer, sizeof buffer), "");

    const unsigned char bytes[] = {0, 1, 2, 0xFF, 0x80, 0};
    VXStoreDataBytesForKey("Block", bytes, sizeof bytes);
    unsigned char out[16] = {};
    uint32_t length = 0;
    EXPECT_EQ(VXGetDataBytesForKey("Block", out, 0, &length), out);
    EXPECT_EQ(length, sizeof bytes);
    EXPECT_EQ(std::memcmp(out, bytes, sizeof bytes), 0);
    EXPECT_EQ(VXGetDataBytesForKey("Block", out, 3, &length), out);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(VXGetDataBytesForKey("Absent", out, 0, &length), nullptr);
    EXPECT_EQ(length, 0u);

    bool existed = true;
    VXRemoveEntryForKey("Absent", &existed);
    EXPECT_FALSE(existed);
    VXRemoveEntryForKey("Count", &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(VXGetIntValueForKey("Count"), 0);
    VXRemoveEntryForKey("Text", nullptr);
    EXPECT_STREQ(VXGetStringValueForKey("Text", buffer, sizeof buffer), "");
}

}  // namespace
}  // namespace plexa::test
