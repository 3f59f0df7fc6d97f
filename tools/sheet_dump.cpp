// sheet-dump: prints a sheet as the model's canonical text dump (model/sheetdump.h).
//
//   sheet-dump FILE     the dump of the sheet in FILE
//
// Exit status: 0 printed, 2 the sheet could not be read (or the arguments were wrong). Sheet
// files cannot be loaded into a sheet record yet: for now every FILE ends with status 2.
#include <cstdio>

#include "model/sheetdump.h"

namespace {

// The canonical dump of the sheet file at path on standard output.
int DumpSheetFile(const char* path) {
    std::fprintf(stderr, "%s: sheet loading is not available yet\n", path);
    return 2;
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s FILE\n", program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && argv[1][0] != '-') return DumpSheetFile(argv[1]);
    return Usage(argv[0]);
}
