// Display lists (the stored form that symbol graphics take). The first byte holds the play flags
// (orientation and options); the rest is the list. The list is checked, dumped, walked for its
// comments, played into a window as a sheet draws a symbol, and a copy is swapped to this
// machine's order and played again.
#include "foundation/strings.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_surface.h"
#include "graphics/displaylist.h"
#include "graphics/grafprocs.h"

using namespace plexa;

namespace {

bool CountComment(int16_t kind, void* data, int32_t length, bool, void* refCon) {
    uint32_t sum = uint32_t(kind);
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (int32_t i = 0; bytes && i < length; ++i) sum += bytes[i];
    *static_cast<uint32_t*>(refCon) += sum;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::EnsureGraphics();
    const uint32_t flags = data[0] & 0x1F;
    const uint8_t* bytes = data + 1;
    const uint32_t length = uint32_t(size - 1);
    const DLCheckResult check = DLCheckDisplayList(bytes, length);
    if (!check.whole && length > 4096) return 0;
    DLDumpDisplayList(bytes, length);
    Handle list = AllocHandleWithData(nullptr, bytes, length);
    if (!list) return 0;
    uint32_t sum = 0;
    {
        fuzz::Surface surface;
        if (surface.ready()) {
            VXPlayDisplayList(surface.state(), list, {10, 20}, flags, CountComment, &sum);
            if (VXByteSwapDisplayList(list, CountComment, &sum))
                VXPlayDisplayList(surface.state(), list, {0, 0}, flags ^ 0x5, nullptr, nullptr);
        }
    }
    MemFree(list);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::EnsureGraphics();
    std::vector<std::string> seeds;
    for (int shape = 0; shape < 3; ++shape) {
        fuzz::Surface surface;
        if (!surface.ready()) break;
        VXGrafState* window = surface.state();
        if (!VXOpenDisplayList(window, nullptr, {0, 0}, shape == 2 ? kDLNoRelative : 0)) continue;
        VXMoveTo(10, 20);
        VXLineTo(40, 25);
        VXRoundLine(3, 4, 2);
        const Rect r{5, 5, 20, 30}, big{10, 20, 110, 220};
        VXRectDispatch(&r, 0);
        if (shape > 0) {
            VXOvalDispatch(&big, 2);
            VXRoundRectDispatch(&r, 8, 6, 0);
            VXArcDispatch(&big, 45, 90, 1);
            const Point tri[3] = {{1, 2}, {30, 4}, {-5, 60}};
            VXPolyDispatch(tri, 3, 0);
        }
        VXMoveTo(50, 60);
        VXDrawTextWithEncoding("R12", 3, kEncodingUTF8);
        VXAddDisplayComment(int16_t(100 + shape), "pin", 3);
        DisplayList list = VXCloseDisplayList(window);
        if (list) {
            seeds.push_back(std::string(1, char(shape)) + std::string(*list, SizeOfHandle(list)));
            MemFree(list);
        }
    }
    return seeds;
}
