// dynfile-dump: lists a dynamic file's head and blocks and checks its structure.
//
//   dynfile-dump FILE
//
// Prints the head (version, file type, header and application-header sizes, first-free), then one
// line per block (type, id = data offset, size; free blocks marked), then every structural problem
// found. Exit status: 0 sound, 1 damaged, 2 not readable as a dynamic file.
#include <cstdio>
#include <cstring>

#include "foundation/byteswap.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "tools/tool_support.h"

using namespace plexa;

namespace {

// Big-endian bytes of the file as stored (the record holds what it made of them); -1 when they
// cannot be read.
int64_t StoredNumber(const char* path, long offset, size_t width) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return -1;
    unsigned char bytes[4] = {};
    const bool ok = std::fseek(file, offset, SEEK_SET) == 0 && std::fread(bytes, 1, width, file) == width;
    std::fclose(file);
    int64_t value = 0;
    for (size_t i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return ok ? value : -1;
}

void PrintProblem(const char* message, void*) {
    std::printf("problem: %s\n", message);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    if (StartCore("dynfile-dump") != 0) return tools::kFailed;
    FileSpec spec;
    OSStatus st = FileSpecFromPathName(nullptr, argv[1], &spec);
    DynamicFileRecord file;
    if (st == status::kNoErr) st = OpenDynamicFile(&spec, true, &file);
    if (st != status::kNoErr) {
        tools::Fail("dynfile-dump", argv[1], "cannot be opened as a dynamic file", st);
        return 2;
    }
    char type[5];
    std::printf("file          %s\n", argv[1]);
    std::printf("version       %d%s\n", int(StoredNumber(argv[1], 4, 2)),
                file.headerSize == 0 ? " (old layout)" : "");
    std::printf("file type     %s\n", FourCharToString(file.fileType, type));
    std::printf("header record %u bytes at %u\n", file.headerSize, file.headerOffset);
    std::printf("app header    %u bytes at %u\n", file.appHeaderSize, file.appHeaderOffset);
    std::printf("blocks from   %u\n", file.blocksStart);
    if (file.headerOffset == 0) {
        std::printf("first free    none stored (no header record)\n");
    } else {
        std::printf("first free    %lld (stored)\n",
                    (long long)StoredNumber(argv[1], long(file.headerOffset), 4));
    }
    std::printf("%-6s %-10s %-10s\n", "type", "id", "size");

    uint32_t offset = 0, size = 0, blocks = 0, freeBlocks = 0;
    for (;;) {
        uint8_t blockType = 0;
        st = ScanFileBlocks(&file, &offset, &size, &blockType);
        if (st != status::kNoErr || offset == 0) break;
        ++blocks;
        freeBlocks += blockType == kFreeBlockType;
        std::printf("%-6u %-10u %-10u%s\n", blockType, offset, size,
                    blockType == kFreeBlockType ? " free" : "");
    }
    std::printf("%u blocks, %u free\n", blocks, freeBlocks);
    const OSStatus check = CheckDynamicFile(&file, PrintProblem, nullptr);
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    if (st != status::kNoErr) {
        std::printf("the block walk stopped with status %d\n", int(st));
        return tools::Fail("dynfile-dump", argv[1], "the block walk stopped", st);
    }
    if (check != status::kNoErr) return tools::Fail("dynfile-dump", argv[1], "the file is damaged", check);
    return 0;
}
