// The failure path of PLEXA_ASSERT.
#include "foundation/assert.h"

#include <cstdio>
#include <cstdlib>

namespace plexa {

void AssertFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace plexa
