// The stored form of DA arrays (DARead / DAReadEx). The first byte chooses how the array is read
// (bit 0: widened items through DAReadEx; bit 1: the byte-swapping read of the stream); the rest is
// the stored array. A successful read is used as an owner would: iterated, added to, freed from,
// allocated in, compacted, and written back and read again.
#include <cstring>

#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

namespace {

uint32_t gItemSize = 0;
int CompareBytes(const void* a, const void* b) { return std::memcmp(a, b, gItemSize); }

void Exercise(DAArray array) {
    gItemSize = (*array)->itemSize;
    if ((*array)->flags & kDACompareEx) (*array)->flags &= ~kDACompareEx;
    DASetCompareProc(array, CompareBytes);
    int32_t id = -1;
    char* address = nullptr;
    uint32_t sum = 0;
    while (DANextAddress(array, &id, &address))
        for (uint32_t i = 0; i < gItemSize; ++i) sum += uint8_t(address[i]);
    std::vector<char> item(gItemSize, char(sum));
    const int32_t added = DAAdd(array, item.data());
    int32_t first = -1;
    if (DANextAddress(array, &first, &address)) DARemove(array, first);
    const int32_t fresh = DAAllocate(array);
    if (fresh >= 0) DAPut(array, fresh, item.data());
    if (added >= 0 && !DAIsFreeId(array, added)) DAGet(array, added, item.data());
    if (DAArray map = DACompact(array, true)) {
        DAMapOldId(map, 0);
        DADispose(map);
    }
    fuzz::RoundTrip([&](StreamRecord* out) { return DAWrite(array, out, nullptr); },
                    [](StreamRecord* in) {
                        DAArray back = nullptr;
                        const OSStatus status = DARead(nullptr, &back, in, nullptr);
                        if (back) DADispose(back);
                        return status;
                    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t options = data[0];
    fuzz::InputStream in(data + 1, size - 1);
    if (!in) return 0;
    if (options & 2) EnableStreamReadByteSwap(in.get(), true);
    DAArray array = nullptr;
    const OSStatus status = (options & 1) ? DAReadEx(nullptr, &array, 16 + (options >> 4), in.get(), nullptr)
                                          : DARead(nullptr, &array, in.get(), nullptr);
    if (status == 0 && array) Exercise(array);
    if (array) DADispose(array);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    struct Shape {
        uint32_t itemSize, flags;
        int32_t perCluster, items, freed;
        uint8_t options;
    } shapes[] = {
        {8, 0, 4, 10, 3, 0},
        {4, kDALogicalIds, 8, 12, 2, 0},
        {6, kDAPacked | kDASorted | kDAUnique, 0, 9, 0, 1},
        {12, kDANoBodies, 3, 7, 1, 0},
    };
    for (const Shape& shape : shapes) {
        DAArray array = DACreate(nullptr, shape.itemSize, shape.perCluster, shape.flags);
        if (!array) continue;
        gItemSize = shape.itemSize;
        DASetCompareProc(array, CompareBytes);
        std::vector<char> item(shape.itemSize);
        for (int32_t i = 0; i < shape.items; ++i) {
            for (uint32_t b = 0; b < shape.itemSize; ++b) item[b] = char('a' + (i * 7 + int32_t(b)) % 26);
            DAAdd(array, item.data());
        }
        for (int32_t i = 0; i < shape.freed; ++i) DAFree(array, i * 2 + 1);
        fuzz::OutputStream out;
        if (out && DAWrite(array, out.get(), nullptr) == 0)
            seeds.push_back(std::string(1, char(shape.options)) + out.bytes());
        DADispose(array);
    }
    return seeds;
}
