// PLEXA_ASSERT: a check of the program's own invariants, on in Debug and sanitizer builds and compiled
// out of release builds. A failed check prints the condition and where it stands, then aborts.
#pragma once

namespace plexa {
[[noreturn]] void AssertFailed(const char* condition, const char* file, int line);
}

#if !defined(NDEBUG) || defined(PLEXA_SANITIZE)
#define PLEXA_ASSERTS_ON 1
#define PLEXA_ASSERT(condition) \
    ((condition) ? (void)0 : ::plexa::AssertFailed(#condition, __FILE__, __LINE__))
#else
#define PLEXA_ASSERTS_ON 0
#define PLEXA_ASSERT(condition) ((void)0)
#endif
