// sheet-dump: shows what a sheet file holds.
//
//   sheet-dump FILE          the sheet in FILE as the model's canonical text dump
//                            (model/sheetdump.h)
//   sheet-dump blocks FILE   the application header, then every block in file order with what its
//                            head says (see files/sheetfile_dump.h)
//
// Exit status: 0 printed, 1 the blocks end damaged, 2 wrong usage, a file that is no sheet file
// or a sheet that could not be read.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetfile_dump.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "tools/tool_support.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s FILE\n       %s blocks FILE\n", program, program);
    return 2;
}

constexpr const char* kProgram = "sheet-dump";

// The canonical dump of the sheet file at path on standard output.
int DumpSheetFile(const char* path) {
    FileSpec spec;
    OSStatus st = FileSpecFromPathName(nullptr, path, &spec);
    SheetRecord* sheet = nullptr;
    if (st == status::kNoErr) st = LoadSheetFile(&spec, &sheet);
    if (st != status::kNoErr) {
        tools::Fail(kProgram, path, "cannot be read as a sheet file", st);
        return 2;
    }
    std::fputs(DumpSheet(sheet).c_str(), stdout);
    std::fflush(stdout);
    DestroySheet(sheet);
    return 0;
}

int ListBlocks(const char* path) {
    FileSpec spec;
    OSStatus st = FileSpecFromPathName(nullptr, path, &spec);
    std::string listing;
    if (st == status::kNoErr) st = ListSheetFileBlocks(&spec, &listing);
    std::fputs(listing.c_str(), stdout);
    if (st != status::kNoErr && listing.empty()) {
        tools::Fail(kProgram, path, "cannot be opened as a sheet file", st);
        return 2;
    }
    if (st != status::kNoErr) return tools::Fail(kProgram, path, "the blocks end damaged", st);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool blocks = argc == 3 && std::strcmp(argv[1], "blocks") == 0;
    if (!blocks && (argc != 2 || argv[1][0] == '-')) return Usage(argv[0]);
    if (StartCore(kProgram) != 0) return tools::kFailed;
    return blocks ? ListBlocks(argv[2]) : DumpSheetFile(argv[1]);
}
