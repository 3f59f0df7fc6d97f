// report-run: runs a report script over a project and writes its outputs.
//
//   report-run [--time-limit SECONDS] PROJECT SCRIPT
//
// With --time-limit a script still running after that many seconds (a loop that never ends) is
// stopped with a message, and the exit status is 1.
// The project's top-level sheets, instances, search paths and settings are read from its file;
// the script runs over the whole project, descending into sub-sheets without a level limit. Its
// output files go where the script says (relative names beside the project file); the last one
// opened is named on standard output. Messages the script shows (NOTIFY, runtime errors) go to
// standard error; questions it asks are answered with the second button. Exit status: 0 the
// script ran, 1 it failed, 2 wrong usage, a project or script that cannot be read, or sheets that
// cannot be loaded yet (no loader is installed).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "design/report_interp.h"
#include "files/sheet_services.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "tools/tool_project.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--time-limit SECONDS] PROJECT SCRIPT\n", program);
    return 2;
}

int RunOverProject(const char* projectPath, const char* scriptPath) {
    FileSpec script;
    const OSStatus found = FileSpecFromPathName(nullptr, scriptPath, &script);
    if (found != status::kNoErr) {
        std::fprintf(stderr, "%s: cannot be found (status %d)\n", scriptPath, found);
        return 2;
    }
    ProjectRecord* project = OpenToolProject(projectPath);
    if (!project) return 2;
    int result = 0;
    FileSpec output;
    const OSStatus st = RunReportScriptFile(project, nullptr, true, 9999, &script, &output);
    if (st == status::kUserCancelled) {
        result = 1;  // the message was shown
    } else if (st == kSheetServiceMissing) {
        std::fprintf(stderr, "%s: sheet loading is not available yet\n", projectPath);
        result = 2;
    } else if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: the script failed (status %d)\n", scriptPath, st);
        result = 1;
    }
    std::string written;
    if (output.name[0] && CreateURLFromFileSpec(&output, false, &written) == status::kNoErr) {
        std::printf("%s\n", written.c_str());
    }
    CloseToolProject(project);
    return result;
}

// "--time-limit SECONDS" in front of the arguments: the run's limit; false for a bad value.
bool TakeTimeLimit(int* argc, char*** argv) {
    if (*argc < 3 || std::strcmp((*argv)[1], "--time-limit") != 0) return true;
    char* end = nullptr;
    const unsigned long seconds = std::strtoul((*argv)[2], &end, 10);
    if (!*(*argv)[2] || *end || (*argv)[2][0] == '-' || seconds == 0 || seconds > 86400) return false;
    SetReportRunTimeLimit(uint32_t(seconds * 1000));
    (*argv)[2] = (*argv)[0];
    *argv += 2;
    *argc -= 2;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    InitMemoryManager(-1);
    const char* program = argv[0];
    if (!TakeTimeLimit(&argc, &argv)) return Usage(program);
    if (argc == 3 && argv[1][0] != '-') return RunOverProject(argv[1], argv[2]);
    return Usage(program);
}
