// sheet-dump: shows what a sheet file holds.
//
//   sheet-dump blocks FILE   the application header, then every block in file order with what its
//                            head says (see files/sheetfile_dump.h)
//
// Exit status: 0 listed, 1 the blocks end damaged, 2 wrong usage or a file that is no sheet file.
#include <cstdio>
#include <cstring>
#include <string>

#include "files/sheetfile_dump.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s blocks FILE\n", program);
    return 2;
}

int ListBlocks(const char* path) {
    FileSpec spec;
    OSStatus st = FileSpecFromPathName(nullptr, path, &spec);
    std::string listing;
    if (st == status::kNoErr) st = ListSheetFileBlocks(&spec, &listing);
    std::fputs(listing.c_str(), stdout);
    if (st != status::kNoErr && listing.empty()) {
        std::fprintf(stderr, "%s: cannot be opened as a sheet file (status %d / 0x%X)\n", path, st,
                     uint32_t(st));
        return 2;
    }
    return st == status::kNoErr ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    InitMemoryManager(-1);
    if (argc == 3 && std::strcmp(argv[1], "blocks") == 0) return ListBlocks(argv[2]);
    return Usage(argv[0]);
}
