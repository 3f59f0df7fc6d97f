// Fuzz target: a stored image list. A list that reads is walked, written back and read again; the
// second reading must give the same images, and every global reference must come back.
#include <cstdint>
#include <cstdlib>

#include "foundation/da.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/pixels.h"
#include "model/imagelist.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

ImageList* Read(Handle bytes, OSStatus* status) {
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(bytes), &stream)) return nullptr;
    ImageList* list = nullptr;
    *status = InflateImageList(stream, &list);
    DisposeStream(stream);
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    const int32_t globalBefore = DACount(gGlobalImageList->entries);
    Handle input = AllocHandleWithData(nullptr, data, uint32_t(size));
    if (!input) return 0;
    OSStatus status = 0;
    ImageList* list = Read(input, &status);
    MemFree(input);
    if (list) {
        int32_t pixels = 0;
        for (int32_t id = 0; id < 0x10000 && pixels < DACount(list->entries); ++id)
            if (VXPixels* image = GetImageFromImageList(list, id, false)) pixels += image->width > 0;
        Handle again = AllocHandle(nullptr, 0);
        StreamRecord* out = nullptr;
        if (again && CreateStream(kStreamHandle, StreamTarget::OfHandle(again), &out) == 0) {
            if (FlattenImageList(out, list) == 0) {
                ImageList* second = Read(again, &status);
                if (!second || DACount(second->entries) != DACount(list->entries)) std::abort();
                for (int32_t id = 0; id < 0x10000; ++id) {
                    VXPixels* a = GetImageFromImageList(list, id, false);
                    VXPixels* b = GetImageFromImageList(second, id, false);
                    if ((a == nullptr) != (b == nullptr) || (a && VXComparePixelImages(a, b) != 0))
                        std::abort();
                }
                DestroyImageList(second);
            }
            DisposeStream(out);
        }
        if (again) MemFree(again);
        FreeOneReferenceForEachImageInList(list);
        DestroyImageList(list);
    }
    if (DACount(gGlobalImageList->entries) != globalBefore) std::abort();
    return 0;
}
