// Fuzz target: graphic elements as a sheet stores them. The first byte says whether the records
// are in the other byte order; then elements follow, each an i32 tail length and the record from
// its flag word on, until a negative length. Every element read is bounded, moved, copied,
// written back and drawn into a display list, and the list gives back every image reference.
#include <cstdint>
#include <cstdlib>

#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

struct Setup {
    VXGrafState window;
    ImageList* images = nullptr;
    Setup() {
        fuzz::StartFuzzCore();
        VXInitGraf();
        VXSetPixelsDrawer([](VXGrafState*, VXPixels*, const Rect*, const Rect*, int16_t) {});
        window.port = QZPortAlloc(nullptr);
        images = CreateLocalImageList();
        for (int i = 0; i < 2; ++i) {
            VXPixels* image = VXCreateEmptyPixelImage(3 + i, 2, i);
            AddImageToImageList(images, image);
        }
    }
    ~Setup() {
        DestroyImageList(images);
        QZPortFree(window.port);
        window.port = nullptr;
    }
};

void Use(Setup& s, ElementRecord* e, bool draw) {
    CalcElementBounds(e);
    OffsetElement(e, {3, -4});
    if (ElementRecord* copy = DuplicateElement(e, true, s.images, s.images)) {
        Handle bytes = AllocHandle(nullptr, 0);
        StreamRecord* out = nullptr;
        if (bytes && CreateStream(kStreamHandle, StreamTarget::OfHandle(bytes), &out) == 0) {
            (void)WriteStoredElement(out, copy);  // fuzzing: only no crash counts
            DisposeStream(out);
        }
        if (bytes) MemFree(bytes);
        DestroyElement(copy, s.images);
    }
    if (!draw) return;
    VXSetCurrentGrafState(&s.window);
    if (VXOpenDisplayList(&s.window, nullptr, {0, 0}, 0)) {
        gGenFlags = kGenColorDrawing | kGenPortMarkers;
        DrawElement(e, s.images, false, false);
        gGenFlags = kGenColorDrawing | kGenSymbolCapture;
        RecordElement(e, s.images);
        if (DisplayList list = VXCloseDisplayList(&s.window)) MemFree(list);
    }
    VXSetCurrentGrafState(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup s;
    if (size < 1) return 0;
    const int32_t before = DACount(s.images->entries);
    const uint32_t references = GetImageListReferenceCount(s.images, 0);
    const bool swap = data[0] & 1;
    Handle input = AllocHandleWithData(nullptr, data + 1, uint32_t(size - 1));
    StreamRecord* in = nullptr;
    if (!input || CreateStream(kStreamHandle, StreamTarget::OfHandle(input), &in)) {
        if (input) MemFree(input);
        return 0;
    }
    EnableStreamReadByteSwap(in, swap);
    LinkListHeader* list = CreateElementList(s.images);
    for (int n = 0; list && n < 256; ++n) {
        uint32_t tail = 0;
        if (StreamReadLong(in, &tail) || int32_t(tail) < 0) break;
        ElementRecord* e = nullptr;
        if (ReadStoredElement(in, 28, int32_t(tail), swap, s.images, &e)) break;
        if (!e) continue;
        if (ElementSize(e) > SizeOfPtr(e)) std::abort();
        Use(s, e, n < 16);
        LLPush(list, e);
    }
    DestroyElementList(list);
    DisposeStream(in);
    MemFree(input);
    if (DACount(s.images->entries) != before || GetImageListReferenceCount(s.images, 0) != references)
        std::abort();
    return 0;
}
