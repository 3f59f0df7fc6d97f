// The excluded fonts as the preferences file stores them. The first byte chooses the byte order
// the reader takes; the rest is the stored record. A record that reads is asked about each of its
// names, written back and read again.
#include <cstdint>
#include <cstdlib>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "model/themes.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

StreamRecord* OpenStream(Handle handle, bool swap) {
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream) != 0) std::abort();
    EnableStreamReadByteSwap(stream, swap);
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    if (size < 1) return 0;
    Handle input = AllocHandleWithData(gGenPool, data + 1, uint32_t(size - 1));
    StreamRecord* stream = OpenStream(input, data[0] & 1);
    if (ReadFontPrefs(stream) == 0) {
        const auto* prefs = reinterpret_cast<const FontPrefsRecord*>(*gFontPrefs);
        const uint32_t count = prefs->count;
        for (uint32_t i = 0; i < count; i++) {
            prefs = reinterpret_cast<const FontPrefsRecord*>(*gFontPrefs);
            char name[256];
            ExtractStringSpec(prefs->specs[i], prefs->block, name, sizeof name);
            if (name[0] && !IsExcludedFont(name) && StringSpecLength(prefs->specs[i]) < 256) {
                bool lower = false;  // a stored name that is not upper-cased cannot match
                for (const char* p = name; *p; p++) lower = lower || (*p >= 'a' && *p <= 'z');
                if (!lower) std::abort();
            }
        }
        Handle written = AllocHandle(gGenPool, 0);
        StreamRecord* out = OpenStream(written, false);
        if (WriteFontPrefs(out) != 0) std::abort();
        (void)SetStreamPosition(out, 0);  // fuzzing: only no crash counts
        if (ReadFontPrefs(out) != 0) std::abort();
        if (reinterpret_cast<const FontPrefsRecord*>(*gFontPrefs)->count != count) std::abort();
        DisposeStream(out);
        MemFree(written);
    }
    DestroyFontPrefs();
    DisposeStream(stream);
    MemFree(input);
    return 0;
}
