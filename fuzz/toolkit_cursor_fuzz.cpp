// Cursor images ("cur" files, VXCursorFromCurFile). A cursor that reads is measured and set on the
// application and released again, as the named-cursor cache does with it.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/app_platform.h"
#include "platform/cursor_platform.h"
#include "toolkit/vx_tracking.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        fuzz::StartFuzzCore();
        return true;
    }();
    if (!ready) return 0;
    PlatformCursor* cursor = VXCursorFromCurFile(data, size);
    if (!cursor) return 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    PlatformCursorHotSpot(cursor, &x, &y);
    PlatformCursorSize(cursor, &width, &height);
    PlatformSetCursor(cursor);
    PlatformSetCursor(nullptr);
    PlatformCursorRelease(cursor);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    // The project's own cursors (the resources hold no writer of them).
    std::vector<std::string> seeds;
    for (const char* name : {"Cursor_1005", "Cursor_1010"})
        seeds.push_back(fuzz::ReadWholeFile(std::string(PLEXA_FUZZ_SOURCE_DIR "/resources/cursors/") + name + ".cur"));
    return seeds;
}
