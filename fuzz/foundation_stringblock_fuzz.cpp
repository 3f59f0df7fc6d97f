// String blocks (ReadStringBlockEx). The first byte chooses a read into a fresh block (bit 0 clear)
// or into a block the caller holds. A block that reads is used as its owner does: strings extracted
// at specs across it, one appended and one overlaid, one moved to another block, the block written
// back and read again.
#include <cstring>

#include "foundation/stringblock.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

namespace {

void Exercise(StringBlock block, uint8_t options) {
    const auto* header = reinterpret_cast<const StringBlockHeader*>(*block);
    const uint32_t used = header->used;
    char buffer[kStringSpecBufferSize];
    StringBlock other = CreateStringBlock(nullptr, 64);
    const uint32_t step = 1 + options / 8;
    for (uint32_t offset = kStringBlockHeaderSize; offset < used && offset < 4096; offset += step) {
        const StringSpec spec = (offset << 10) | ((offset * 13 + options) % 40);
        ExtractStringSpec(spec, block, buffer, sizeof buffer);
        if (other) TransferStringSpec(spec, block, other, (offset & 1) != 0);
    }
    AppendStringBlock(block, "appended", 8, nullptr);
    OverlayStringBlock(block, "appended", 8, nullptr);
    if (other) DestroyStringBlock(other);
    fuzz::RoundTrip([&](StreamRecord* out) { return WriteStringBlock(out, block); },
                    [](StreamRecord* in) {
                        StringBlock back = nullptr;
                        const OSStatus status = ReadStringBlock(in, nullptr, &back);
                        if (back) DestroyStringBlock(back);
                        return status;
                    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t options = data[0];
    fuzz::InputStream in(data + 1, size - 1);
    if (!in) return 0;
    StringBlock block = nullptr;
    if (options & 1) {
        block = CreateStringBlock(nullptr, 64);
        if (!block) return 0;
        AppendStringBlock(block, "held before the read", 20, nullptr);
    }
    if (ReadStringBlockEx(in.get(), nullptr, &block) == 0 && block) Exercise(block, options);
    if (block) DestroyStringBlock(block);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    for (int shape = 0; shape < 3; ++shape) {
        StringBlock block = CreateStringBlock(nullptr, shape == 2 ? 256 : 64);
        if (!block) continue;
        const char* words[] = {"R1", "10k", "GND", "VCC", "U7", "74HC00", "net label"};
        for (int i = 0; i < 3 + shape * 2; ++i) AppendStringBlock(block, words[i % 7], uint32_t(std::strlen(words[i % 7])), nullptr);
        fuzz::OutputStream out;
        if (out && WriteStringBlock(out.get(), block) == 0)
            seeds.push_back(std::string(1, char(shape)) + out.bytes());
        DestroyStringBlock(block);
    }
    return seeds;
}
