// netlist-dump: builds the unified netlist database of a project and prints its text dump
// (design/netlistdb.h: sheets, comp rows, net rows, pin rows).
//
//   netlist-dump PROJECT
//
// The project is opened read-only as the editor opens it: its hierarchy is built from the sheet
// files found along its paths, and the netlist descends into every instance of every sheet, so a
// child sheet used twice gives its parts and its local nets once per instance. Exit status: 0
// printed, 1 failed (the project cannot be read, the netlist cannot be built, or a sheet of the
// design was not found: each named on standard error, nothing printed), 2 wrong usage.
#include <cstdio>
#include <string>

#include "design/netlistdb.h"
#include "files/sheetspec.h"
#include "tools/tool_support.h"

using namespace plexa;

namespace {

constexpr const char* kProgram = "netlist-dump";

int DumpProject(const char* path) {
    ProjectRecord* project = tools::OpenToolProject(kProgram, path, false);
    if (!project) return tools::kFailed;
    if (!tools::CheckProjectSheets(kProgram, path, project)) {
        (void)CloseProject(project, kCloseProjectDiscard);  // discarded: nothing is written
        return tools::kFailed;
    }
    int result = 0;
    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    const OSStatus st = CreateUnifiedDB(project, nullptr, kUDBDescend, &db);
    if (st != status::kNoErr) {
        if (!tools::FailForUnreadableSheet(kProgram, path, st, &result))
            result = tools::Fail(kProgram, path, "the netlist could not be built", st);
    } else {
        for (const UDBSheetEntry& sheet : db.sheets) {
            if (sheet.walked) continue;
            char name[kFileSpecNameCapacity];
            GetSheetSpecName(project, sheet.spec, name, sizeof name);
            const std::string what =
                std::string("the sheet ") + name + " was not read, so the netlist would leave it out";
            result = tools::Fail(kProgram, path, what.c_str());
        }
        if (result == 0) {
            const std::string dump = DumpUnifiedDB(&db);
            (void)std::fwrite(dump.data(), 1, dump.size(), stdout);  // a short write shows at the flush below
        }
    }
    DestroyUnifiedDB(&db);
    (void)CloseProject(project, kCloseProjectDiscard);  // discarded: nothing is written
    if (result == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout)))
        result = tools::Fail(kProgram, "standard output", "the netlist could not be written");
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s PROJECT\n", kProgram);
        return 2;
    }
    if (StartCore(kProgram) != 0) return tools::kFailed;
    return DumpProject(argv[1]);
}
