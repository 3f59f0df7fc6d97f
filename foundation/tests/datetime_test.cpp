#include "foundation/datetime.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace plexa {
namespace {

// Runs a test body under a given TZ and restores the previous one; the remembered difference is
// forgotten each time, so that a zone another test set does not carry over.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
        VXForgetGlobalTimeDifference();
    }
    ~ScopedTimeZone() {
        if (had_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
        VXForgetGlobalTimeDifference();
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(DateTime, LegacyConversionTable) {
    struct Case { uint32_t legacy; int32_t value; } cases[] = {
        {0, 0},                                  // no date
        {kLegacyEpochDifference, 0},             // 2001-01-01 reads as no date
        {kLegacyEpochDifference + 1, 1},
        {kLegacyEpochDifference - 86400, -86400},            // 2000-12-31 kept, not lost
        {kLegacyEpochDifference - 946684800u, -946684800},   // 1971-01-01
        {1, INT32_MIN},                          // before 1933: the earliest value
        {0xFFFFFFFFu, static_cast<int32_t>(0xFFFFFFFFu - kLegacyEpochDifference)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VXLocalDateTimeFromLegacyPortableTime(c.legacy), c.value) << c.legacy;
    }
    EXPECT_EQ(VXLocalDateTimeToLegacyPortableTime(0), 0u);
    EXPECT_EQ(VXLocalDateTimeToLegacyPortableTime(1), kLegacyEpochDifference + 1);
    EXPECT_EQ(VXLocalDateTimeToLegacyPortableTime(INT32_MAX), 0xFFFFFFFFu);
    // Dates before 2001 survive the round trip.
    for (int32_t v : {-1, -86400, -946684800, 123456789, INT32_MIN + 1}) {
        EXPECT_EQ(VXLocalDateTimeFromLegacyPortableTime(VXLocalDateTimeToLegacyPortableTime(v)), v);
    }
}

TEST(DateTime, FormattingUnderUtc) {
    ScopedTimeZone utc("UTC");
    setlocale(LC_TIME, "C");
    char buffer[64];
    // 2026-12-09 13:45:30 UTC
    int32_t value = static_cast<int32_t>(DateTimeFromPosix(1796823930));
    EXPECT_EQ(GlobalTimeDifferenceAt(value), 0);
    VXLocalTimeToDateString(value, 0, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "12/09/26");
    VXLocalTimeToDateString(value, 1, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, " 9 Dec 2026");
    VXLocalTimeToDateString(value, 2, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Wednesday  9 December 2026");
    VXLocalTimeToTimeString(value, true, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "13:45:30");
    VXLocalTimeToTimeString(value, false, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "13:45");
    // A date before 2001 formats too.
    VXLocalTimeToDateString(-86400, 1, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "31 Dec 2000");
    // A small buffer is cut, never overrun.
    char small[5];
    EXPECT_EQ(VXLocalTimeToDateString(value, 2, small, sizeof small), 4u);
    EXPECT_STREQ(small, "Wedn");
}

TEST(DateTime, LocalValueUsesTheOffsetOfItsOwnSeason) {
    ScopedTimeZone berlin("Europe/Berlin");
    // 2026-07-01 12:00 UTC is 14:00 in summer time (+2), 2026-01-15 12:00 UTC is 13:00 (+1).
    int32_t summer = static_cast<int32_t>(DateTimeFromPosix(1782907200));
    int32_t winter = static_cast<int32_t>(DateTimeFromPosix(1768478400));
    EXPECT_EQ(GlobalTimeDifferenceAt(summer), 7200);
    EXPECT_EQ(GlobalTimeDifferenceAt(winter), 3600);
    EXPECT_EQ(LocalToGlobalDateTime(summer + 7200), summer);
    EXPECT_EQ(LocalToGlobalDateTime(winter + 3600), winter);
    char buffer[64];
    setlocale(LC_TIME, "C");
    VXLocalTimeToTimeString(summer + 7200, true, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "14:00:00");
    VXLocalTimeToTimeString(winter + 3600, true, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "13:00:00");
}

TEST(DateTime, CurrentTimeAndCachedDifference) {
    ScopedTimeZone utc("UTC");
    int32_t global = VXGetCurrentDateTime(0);
    EXPECT_GT(global, 7 * 365 * 86400);  // after 2008
    int32_t first = VXGetGlobalTimeDifference();
    // Within one second the cached value is returned even though the zone changed.
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(VXGetGlobalTimeDifference(), first);
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_NEAR(VXGetCurrentDateTime(1) - VXGetCurrentDateTime(0), first, 1);
}

}  // namespace
}  // namespace plexa
