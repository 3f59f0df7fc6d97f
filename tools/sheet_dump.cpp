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

#include "app/root.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetfile_dump.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "graphics/grafprocs.h"
#include "graphics/textstyle.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s FILE\n       %s blocks FILE\n", program, program);
    return 2;
}

// The start-up that loading a sheet needs: the platform without a screen (fonts: texts are
// measured), memory, the drawing procedures and styles, the model's pools and defaults, the sheet
// file's hooks.
bool StartModel(char* program) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static char* argv[] = {program, nullptr};
    if (!PlatformEnsureApplication(1, argv)) return false;
    InitMemoryManager(-1);
    InitSignals();
    VXInitGraf();
    VXInitStyles();
    SchStylesInit();
    InitImageLists();
    if (InitTextRecordPool() || InitSymbolPool() || InitSheetDefaults()) return false;
    InstallCoreHooks();
    return true;
}

// The canonical dump of the sheet file at path on standard output.
int DumpSheetFile(char* program, const char* path) {
    if (!StartModel(program)) {
        std::fprintf(stderr, "%s: the sheet model cannot be started\n", path);
        return 2;
    }
    FileSpec spec;
    OSStatus st = FileSpecFromPathName(nullptr, path, &spec);
    SheetRecord* sheet = nullptr;
    if (st == status::kNoErr) st = LoadSheetFile(&spec, &sheet);
    if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: cannot be read as a sheet file (status %d / 0x%X)\n", path, st, uint32_t(st));
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
    if (argc == 2 && argv[1][0] != '-') return DumpSheetFile(argv[0], argv[1]);
    return Usage(argv[0]);
}
