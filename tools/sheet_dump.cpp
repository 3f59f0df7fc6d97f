// sheet-dump: shows what a sheet file holds.
//
//   sheet-dump FILE          the sheet in FILE as the model's canonical text dump
//                            (model/sheetdump.h)
//   sheet-dump blocks FILE   the application header, then every block in file order with what its
//                            head says (see files/sheetfile_dump.h)
//
// Exit status: 0 printed, 1 the blocks end damaged, 2 wrong usage, a file that is no sheet file
// or a sheet that could not be read. Sheet files cannot be loaded into a sheet record yet: for now
// the dump of FILE ends with status 2.
#include <cstdio>
#include <cstring>
#include <string>

#include "files/sheetfile_dump.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "model/sheetdump.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s FILE\n       %s blocks FILE\n", program, program);
    return 2;
}

// The canonical dump of the sheet file at path on standard output.
int DumpSheetFile(const char* path) {
    std::fprintf(stderr, "%s: sheet loading is not available yet\n", path);
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
    if (argc == 2 && argv[1][0] != '-') return DumpSheetFile(argv[1]);
    return Usage(argv[0]);
}
