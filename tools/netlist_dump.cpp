// netlist-dump: builds the unified netlist database of a project and prints its text dump
// (design/netlistdb.h: sheets, comp rows, net rows, pin rows).
//
//   netlist-dump PROJECT
//
// The project's top-level sheets, instances, search paths and settings are read from its file;
// every top-level sheet stands at the top of the hierarchy. The sheets are loaded through the
// sheet services' loader. Exit status: 0 printed, 1 the build failed, 2 wrong usage, a file that
// is no project file, or sheets that cannot be loaded yet (no loader is installed). Sheets whose
// files are not found along the project's paths are left out, each named on standard error.
#include <cstdio>

#include "design/netlistdb.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "tools/tool_project.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s PROJECT\n", program);
    return 2;
}

int DumpProject(const char* path) {
    ProjectRecord* project = OpenToolProject(path);
    if (!project) return 2;
    int result = 0;
    {
        UnifiedDBRecord db;
        InitUnifiedDB(&db);
        const OSStatus st = CreateUnifiedDB(project, nullptr, kUDBDescend, &db);
        if (st == kSheetServiceMissing) {
            std::fprintf(stderr, "%s: sheet loading is not available yet\n", path);
            result = 2;
        } else if (st != status::kNoErr) {
            std::fprintf(stderr, "%s: the netlist could not be built (status %d)\n", path, st);
            result = 1;
        } else {
            std::fputs(DumpUnifiedDB(&db).c_str(), stdout);
            for (const UDBSheetEntry& sheet : db.sheets) {
                if (sheet.walked) continue;
                char name[kFileSpecNameCapacity];
                GetSheetSpecName(project, sheet.spec, name, sizeof name);
                std::fprintf(stderr, "%s: sheet %s was not found and is left out\n", path, name);
            }
        }
        DestroyUnifiedDB(&db);
    }
    CloseToolProject(project);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    InitMemoryManager(-1);
    if (argc == 2 && argv[1][0] != '-') return DumpProject(argv[1]);
    return Usage(argv[0]);
}
