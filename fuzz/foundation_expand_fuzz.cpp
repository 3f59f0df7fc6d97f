// Compressed data bytes (ExpandDataBytes): a stored length, then a zlib stream. What expands is
// compressed again and must expand back to the same bytes.
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t length = uint32_t(size);
    Handle expanded = ExpandDataBytes(nullptr, data, &length);
    if (!expanded) return 0;
    uint32_t packedLength = length;
    if (Handle packed = CompressDataBytes(nullptr, *expanded, &packedLength)) {
        uint32_t againLength = packedLength;
        Handle again = ExpandDataBytes(nullptr, *packed, &againLength);
        if (!again || againLength != length || std::memcmp(*again, *expanded, length) != 0) std::abort();
        MemFree(again);
        MemFree(packed);
    }
    MemFree(expanded);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    const std::string texts[] = {
        std::string(200, 'x'),
        "The quick brown fox jumps over the lazy dog. The quick brown fox jumps over the lazy dog.",
        std::string(64, '\0') + std::string(64, '\1') + std::string(64, '\0'),
    };
    for (const std::string& text : texts) {
        uint32_t length = uint32_t(text.size());
        if (Handle packed = CompressDataBytes(nullptr, text.data(), &length)) {
            seeds.emplace_back(*packed, length);
            MemFree(packed);
        }
    }
    return seeds;
}
