// The dynamic file (OpenDynamicFile and the block walks). The input is the whole file. It is opened
// read-only and every block is found and loaded, the application header read and the file checked;
// then it is opened read-write and changed as an owner does: a block written, one released, the
// free list counted, the file compacted and checked again.
#include "foundation/dynfile.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

namespace {

void ReadEverything(DynamicFileRecord* file) {
    uint32_t offset = 0, size = 0;
    uint8_t type = 0;
    for (int blocks = 0; blocks < 4096; ++blocks) {
        if (ScanFileBlocks(file, &offset, &size, &type) != 0 || offset == 0) break;
        Handle block = nullptr;
        if (LoadFileBlock(file, offset, &block) == 0 && block) MemFree(block);
    }
    char header[64];
    int32_t length = sizeof header;
    (void)ReadDynamicFileHeader(file, 0, header, &length);  // fuzzing: only no crash counts
    uint32_t found = 0, foundSize = 0;
    (void)FindFileBlock(file, 7, &found, &foundSize, true);  // fuzzing: only no crash counts
    (void)CheckDynamicFile(file, nullptr, nullptr);  // fuzzing: only no crash counts
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz::ScratchPath("dynfile");
    FileSpec spec;
    if (!fuzz::WriteScratchFile(path, data, size, &spec)) return 0;
    FourCharCode type = 0;
    (void)IsDynamicFileEx(&spec, &type, 0, nullptr, nullptr);  // fuzzing: only no crash counts
    DynamicFileRecord file{};
    if (OpenDynamicFile(&spec, true, &file) == 0) {
        ReadEverything(&file);
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // fuzzing: only no crash counts
    }
    DynamicFileRecord writable{};
    if (OpenDynamicFile(&spec, false, &writable) == 0) {
        const char bytes[24] = "a block of the fuzzer";
        uint32_t offset = 0, first = 0, firstSize = 0;
        (void)WriteFileBlock(&writable, 7, sizeof bytes, bytes, &offset);  // fuzzing: only no crash counts
        if (FindFileBlock(&writable, 0, &first, &firstSize, true) == 0 && first) (void)ReleaseFileBlock(&writable, first);  // fuzzing: only no crash counts
        uint32_t count = 0, freeBytes = 0;
        (void)CountFreeBlocks(&writable, &count, &freeBytes, true);  // fuzzing: only no crash counts
        (void)CompactFileBlocks(&writable);  // fuzzing: only no crash counts
        ReadEverything(&writable);
        (void)CloseAndMaybeFlushDynamicFile(&writable, true);  // fuzzing: only no crash counts
    }
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    const std::string path = fuzz::ScratchPath("dynfile-seed");
    for (int shape = 0; shape < 3; ++shape) {
        std::remove(path.c_str());
        FileSpec spec;
        if (FileSpecFromURL(path, &spec, false, nullptr) != 0 ||
            CreateDynamicFile(&spec, "PLXA", "SCH4", "SCH4", shape == 0 ? 0 : 12) != 0)
            continue;
        DynamicFileRecord file{};
        if (OpenDynamicFile(&spec, false, &file) != 0) continue;
        for (int i = 0; i < 2 + shape * 2; ++i) {
            const std::string body(size_t(3 + i * 5), char('A' + i));
            uint32_t offset = 0;
            (void)WriteFileBlock(&file, uint8_t(1 + i % 3), uint32_t(body.size()), body.data(), &offset);  // fuzzing: only no crash counts
            if (shape == 2 && i == 1) (void)ReleaseFileBlock(&file, offset);  // fuzzing: only no crash counts
        }
        if (shape > 0) {
            int32_t length = 4;
            (void)WriteDynamicFileHeader(&file, 2, "head", &length);  // fuzzing: only no crash counts
        }
        (void)CloseAndMaybeFlushDynamicFile(&file, true);  // fuzzing: only no crash counts
        seeds.push_back(fuzz::ReadWholeFile(path));
    }
    std::remove(path.c_str());
    return seeds;
}
