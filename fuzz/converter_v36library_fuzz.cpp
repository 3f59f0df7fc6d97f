// Fuzz target: a whole version-3.6 library read as the library conversion reads it, every item
// that reads translated into a current library item, flattened and read back, as the conversion
// does before it writes the item; nothing may read outside the input or keep memory.
#include <cstdint>
#include <cstdlib>

#include "converter/options.h"
#include "converter/v36libconvert.h"
#include "converter/v36library.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_stream.h"
#include "fuzz/model_fuzz_app.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/texts.h"

using namespace plexa;

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = [] {
        StartModelFuzzApplication();
        SetDefaultConversionOptions();
        return true;
    }();
    (void)started;
    fuzz::FuzzStream in(data, size, false);
    if (!in) return 0;
    V36Library library;
    if (ReadV36Library(in.stream, nullptr, &library) != 0) {
        Check(library.entries == nullptr);
        return 0;
    }
    for (uint32_t i = 0; i < library.header.itemCount; ++i) {
        V36LibItem old;
        if (ReadV36LibItem(in.stream, nullptr, library.entries[i], &old) != 0) {
            Check(old.texts == nullptr && old.elements.items == nullptr && old.strings == nullptr);
            continue;
        }
        Check((old.head.textCount == 0) == (old.texts == nullptr));
        Check(old.elements.count == old.head.elementCount);
        LibraryItem* item = nullptr;
        if (TranslateV36LibItem(old, library.entries[i], &item) == 0) {
            OSStatus st = 0;
            Handle flat = FlattenLibraryItem(item, true, 0, &st);
            if (flat) {
                LibraryItem* back = nullptr;
                Check(InflateLibraryItem(flat, &back, true) == 0);
                DestroyLibraryItem(back);
                MemFree(flat);
            }
            DestroyLibraryItem(item);
        } else {
            Check(item == nullptr);
        }
        FreeV36LibItem(&old);
    }
    FreeV36Library(&library);
    return 0;
}
