// A text theme table as sheets and preferences store it: a style list. A table that reads is
// written back and read again into a second table.
#include <cstdint>
#include <cstdlib>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/textstyle.h"
#include "model/themes.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    Handle input = AllocHandleWithData(gGenPool, data, uint32_t(size));
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(input), &stream) != 0) std::abort();
    TextThemeTable table{};
    if (!AllocTextThemeTable(&table)) std::abort();
    if (ReadTextThemes(stream, &table) == 0) {
        Handle written = AllocHandle(gGenPool, 0);
        StreamRecord* out = nullptr;
        if (CreateStream(kStreamHandle, StreamTarget::OfHandle(written), &out) != 0) std::abort();
        if (WriteTextThemes(out, &table) != 0) std::abort();
        (void)SetStreamPosition(out, 0);  // fuzzing: only no crash counts
        TextThemeTable copy{};
        if (ReadTextThemes(out, &copy) != 0) std::abort();
        for (int32_t i = 0; i < kTextThemeCount; i++)
            if (!StyleFieldsMatch(table.styles[i], copy.styles[i],
                                  kStyleFont | kStyleSize | kStyleFace))
                std::abort();
        FreeTextThemeTable(&copy);
        DisposeStream(out);
        MemFree(written);
    }
    FreeTextThemeTable(&table);
    DisposeStream(stream);
    MemFree(input);
    return 0;
}
