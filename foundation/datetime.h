// Date and time: the 32-bit date-time value (seconds since 2001-01-01 00:00:00), its local
// and global forms, the legacy stored form of older files, and locale-formatted strings.
//
// A global value counts seconds of GMT; a local value has the local difference from GMT added.
// The legacy form that older files store is u32 seconds since 1904-01-01, local. In both forms
// 0 means "no date". Dates before 2001 are negative date-time values (an i32 reaches back to
// December 1933); legacy times earlier than that are clamped to the earliest value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;

// Seconds between 1904-01-01 and 2001-01-01.
constexpr uint32_t kLegacyEpochDifference = 3061152000u;

// The current time, clamped to the i32 range and rounded half away from zero; local when
// `local` is non-zero.
int32_t VXGetCurrentDateTime(int32_t local);

// Seconds from GMT of the default time zone at the current moment; the value is cached and
// reused while fewer than 61 ticks (1/60 s) have passed since it was computed.
int32_t VXGetGlobalTimeDifference();
// Forgets the remembered difference, so that the next call reads the time zone again (after the
// zone was changed, as tests do).
void VXForgetGlobalTimeDifference();

// Seconds from GMT of the default time zone at the given global date-time value.
int32_t GlobalTimeDifferenceAt(int32_t globalValue);

// Legacy (u32 seconds since 1904, local) to a local date-time value and back. 0 stays 0.
int32_t VXLocalDateTimeFromLegacyPortableTime(uint32_t legacy);
uint32_t VXLocalDateTimeToLegacyPortableTime(int32_t value);

// A local value turned back into a global one with the GMT difference in force at that date
// (not today's), so that a date in the other daylight-saving season is not an hour off.
int32_t LocalToGlobalDateTime(int32_t localValue);

// The date alone in the current locale's style 0 short, 1 medium, 2 full; and the time of day
// alone (medium with seconds, else short). UTF-8, at most 62 bytes plus the terminator; the
// text is cut to fit `size` on a character boundary. Returns the length written.
size_t VXLocalTimeToDateString(int32_t localValue, int32_t style, char* out, size_t size);
size_t VXLocalTimeToTimeString(int32_t localValue, bool withSeconds, char* out, size_t size);

// Seconds since 2001-01-01 from a POSIX time, and back.
constexpr int64_t kPosixTo2001 = 978307200;
inline int64_t DateTimeFromPosix(int64_t posixSeconds) { return posixSeconds - kPosixTo2001; }
inline int64_t DateTimeToPosix(int64_t value) { return value + kPosixTo2001; }

// Ticks (1/60 s) of the monotonic clock.
uint64_t MonotonicTicks();

// File times: global date-time values, 0 where the file system keeps none. Creation is the
// birth time where the file system records it; it cannot be set on this platform.
struct VXFileTimes {
    int32_t creation;
    int32_t modification;
    int32_t access;
};
constexpr uint32_t kFileTimeCreation = 1;
constexpr uint32_t kFileTimeModification = 2;
constexpr uint32_t kFileTimeAccess = 4;

// Clears the times, then reads them (truncated to whole seconds); -43 when the item (a file, or
// a folder for an empty name) does not exist.
OSStatus VXGetGlobalFileTimes(const FileSpec* spec, VXFileTimes* times);
// Sets the times named by `which` (creation is ignored here); failures to set are not reported,
// an unresolvable spec returns its error.
OSStatus VXSetGlobalFileTimes(const FileSpec* spec, const VXFileTimes* times, uint32_t which);

}  // namespace plexa
