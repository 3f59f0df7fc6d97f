// Date and time values, the legacy stored form and locale formatting.
#include "foundation/datetime.h"

#include "foundation/filespec.h"
#include "foundation/strings.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <string>

namespace plexa {
namespace {

int32_t ClampToInt32(double v) {
    double r = std::round(v);  // half away from zero
    if (r < -2147483648.0) return INT32_MIN;
    if (r > 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(r);
}

int32_t OffsetAtPosix(time_t t) {
    tzset();
    struct tm local {};
    if (!localtime_r(&t, &local)) return 0;
    return static_cast<int32_t>(local.tm_gmtoff);
}

struct OffsetCache {
    bool valid = false;
    uint64_t ticks = 0;
    int32_t offset = 0;
} gOffsetCache;

size_t FormatLocal(int32_t localValue, const char* format, char* out, size_t size) {
    if (!out || size == 0) return 0;
    out[0] = 0;
    time_t t = static_cast<time_t>(DateTimeToPosix(LocalToGlobalDateTime(localValue)));
    struct tm local {};
    if (!localtime_r(&t, &local)) return 0;
    char buffer[256];
    if (strftime(buffer, sizeof buffer, format, &local) == 0) return 0;
    TruncateUTF8ForByteSize(buffer, static_cast<int32_t>(std::min<size_t>(63, size)));
    size_t n = std::strlen(buffer);
    std::memcpy(out, buffer, n + 1);
    return n;
}

}  // namespace

uint64_t MonotonicTicks() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 60u + static_cast<uint64_t>(ts.tv_nsec) / 16666667u;
}

int32_t GlobalTimeDifferenceAt(int32_t globalValue) {
    return OffsetAtPosix(static_cast<time_t>(DateTimeToPosix(globalValue)));
}

int32_t VXGetGlobalTimeDifference() {
    uint64_t now = MonotonicTicks();
    if (gOffsetCache.valid && now - gOffsetCache.ticks < 61) return gOffsetCache.offset;
    gOffsetCache.offset = OffsetAtPosix(time(nullptr));
    gOffsetCache.ticks = now;
    gOffsetCache.valid = true;
    return gOffsetCache.offset;
}

void VXForgetGlobalTimeDifference() { gOffsetCache.valid = false; }

int32_t VXGetCurrentDateTime(int32_t local) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    double seconds = static_cast<double>(DateTimeFromPosix(ts.tv_sec)) + ts.tv_nsec / 1e9;
    int32_t value = ClampToInt32(seconds);
    if (local) {
        int64_t v = static_cast<int64_t>(value) + VXGetGlobalTimeDifference();
        value = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    }
    return value;
}

int32_t VXLocalDateTimeFromLegacyPortableTime(uint32_t legacy) {
    if (legacy == 0) return 0;
    int64_t v = static_cast<int64_t>(legacy) - kLegacyEpochDifference;
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

uint32_t VXLocalDateTimeToLegacyPortableTime(int32_t value) {
    if (value == 0) return 0;
    int64_t v = static_cast<int64_t>(value) + kLegacyEpochDifference;
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 0xFFFFFFFFll));
}

int32_t LocalToGlobalDateTime(int32_t localValue) {
    // Solve g + offset(g) = local: start from today's offset, then use the offset at the guess.
    int64_t guess = static_cast<int64_t>(localValue) - VXGetGlobalTimeDifference();
    for (int i = 0; i < 2; ++i) {
        int32_t g = static_cast<int32_t>(std::clamp<int64_t>(guess, INT32_MIN, INT32_MAX));
        guess = static_cast<int64_t>(localValue) - GlobalTimeDifferenceAt(g);
    }
    return static_cast<int32_t>(std::clamp<int64_t>(guess, INT32_MIN, INT32_MAX));
}

size_t VXLocalTimeToDateString(int32_t localValue, int32_t style, char* out, size_t size) {
    const char* format = "%x";
    if (style == 1) format = "%e %b %Y";
    else if (style >= 2) format = "%A %e %B %Y";
    return FormatLocal(localValue, format, out, size);
}

size_t VXLocalTimeToTimeString(int32_t localValue, bool withSeconds, char* out, size_t size) {
    return FormatLocal(localValue, withSeconds ? "%X" : "%H:%M", out, size);
}

namespace {

int32_t FileTimeValue(int64_t posixSeconds) {
    return static_cast<int32_t>(std::clamp<int64_t>(DateTimeFromPosix(posixSeconds), INT32_MIN, INT32_MAX));
}

}  // namespace

OSStatus VXGetGlobalFileTimes(const FileSpec* spec, VXFileTimes* times) {
    if (!times) return status::kParamErr;
    *times = VXFileTimes{};
    std::string path;
    if (CreateURLFromFileSpec(spec, true, &path) != status::kNoErr) return status::kNotFound;
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME | STATX_ATIME, &info) != 0)
        return status::kNotFound;
    if (info.stx_mask & STATX_BTIME) times->creation = FileTimeValue(info.stx_btime.tv_sec);
    if (info.stx_mask & STATX_MTIME) times->modification = FileTimeValue(info.stx_mtime.tv_sec);
    if (info.stx_mask & STATX_ATIME) times->access = FileTimeValue(info.stx_atime.tv_sec);
    return status::kNoErr;
}

OSStatus VXSetGlobalFileTimes(const FileSpec* spec, const VXFileTimes* times, uint32_t which) {
    if (!times || which == 0) return status::kNoErr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, true, &path)) return st;
    if (!(which & (kFileTimeModification | kFileTimeAccess))) return status::kNoErr;
    timespec values[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (which & kFileTimeAccess) values[0] = {static_cast<time_t>(DateTimeToPosix(times->access)), 0};
    if (which & kFileTimeModification) values[1] = {static_cast<time_t>(DateTimeToPosix(times->modification)), 0};
    utimensat(AT_FDCWD, path.c_str(), values, 0);
    return status::kNoErr;
}

}  // namespace plexa
