// report-run: runs a report script over a project and writes its outputs.
//
//   report-run [--time-limit SECONDS] PROJECT SCRIPT
//
// The project is opened as the editor opens it (its hierarchy built from the sheet files along its
// paths) and the script runs over the whole design, descending into every instance without a
// level limit. The project is opened read-only, unless the script stores the simulator's
// cross-references in it (DATABASE (CROSSREF), as the SPICE netlist script does): then it is
// opened for writing, which is said on standard error. The script's output files go where it says
// (relative names beside the project file); the last one opened is named on standard output.
// Messages the script shows (NOTIFY, compile and runtime errors) go to standard error; questions
// it asks take their default answer. Exit status: 0 the script ran, 1 it failed or the project or
// script cannot be read (said on standard error), 2 wrong usage.
// With --time-limit SECONDS a script still running after that many seconds (a loop that never
// ends) is stopped with a message, and the exit status is 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "design/report_compiler.h"
#include "design/report_interp.h"
#include "design/report_tokens.h"
#include "foundation/memory.h"
#include "tools/tool_support.h"

using namespace plexa;

namespace {

constexpr const char* kProgram = "report-run";

// Closes the project; for one opened for writing, a failure to bring its file up to date.
int CloseToolProject(ProjectRecord* project, const char* path, bool writable, int result) {
    const OSStatus closed = writable ? CloseProjectFile(project) : status::kNoErr;
    (void)CloseProject(project, kCloseProjectDiscard);  // discarded: nothing is written
    if (closed != status::kNoErr && result == 0)
        return tools::Fail(kProgram, path, "the project file could not be brought up to date", closed);
    return result;
}

int RunOverProject(const char* projectPath, const char* scriptPath) {
    FileSpec script;
    if (const OSStatus st = tools::ToolFileSpec(scriptPath, &script))
        return tools::Fail(kProgram, scriptPath, "the script cannot be found", st);
    bool writable = false;
    ProjectRecord* project = tools::OpenToolProject(kProgram, projectPath, writable);
    if (!project) return tools::kFailed;
    if (!tools::CheckProjectSheets(kProgram, projectPath, project))
        return CloseToolProject(project, projectPath, writable, tools::kFailed);
    Handle tokens = nullptr;
    OSStatus st = TokenizeScript(project, &script, &tokens);
    if (st == status::kUserCancelled)
        return CloseToolProject(project, projectPath, writable,
                                tools::Fail(kProgram, scriptPath, "the script cannot be compiled (see above)"));
    if (st != status::kNoErr)
        return CloseToolProject(project, projectPath, writable,
                                tools::Fail(kProgram, scriptPath, "the script cannot be read", st));
    if (TokenStreamHasDatabaseOption(*tokens, uint32_t(SizeOfHandle(tokens)), kRptCrossRef)) {
        std::fprintf(stderr,
                     "%s: %s: the script stores the simulator's cross-references in the project, so the "
                     "project is opened for writing.\n",
                     kProgram, projectPath);
        (void)CloseProject(project, kCloseProjectDiscard);  // discarded: nothing is written
        writable = true;
        project = tools::OpenToolProject(kProgram, projectPath, writable);
        if (!project) {
            MemFree(tokens);
            return tools::kFailed;
        }
    }
    FileSpec output{};
    st = ExecuteReportScript(project, nullptr, true, 9999, tokens, nullptr, &script, &output);
    MemFree(tokens);
    int result = 0;
    if (tools::FailForUnreadableSheet(kProgram, projectPath, st, &result)) {
        // The project's sheet, not the script, failed.
    } else if (st == status::kUserCancelled)
        result = tools::Fail(kProgram, scriptPath, "the script stopped with an error (see above)");
    else if (st != status::kNoErr && !GetReportOutputFailure().empty())
        result = tools::Fail(kProgram, GetReportOutputFailure().c_str(), "the script's output file cannot be written",
                             st);
    else if (st != status::kNoErr)
        result = tools::Fail(kProgram, scriptPath, "the script failed", st);
    std::string written;
    if (result == 0 && output.name[0] && CreateURLFromFileSpec(&output, false, &written) == status::kNoErr)
        std::printf("%s\n", written.c_str());
    return CloseToolProject(project, projectPath, writable, result);
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
    if (!TakeTimeLimit(&argc, &argv) || argc != 3 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s [--time-limit SECONDS] PROJECT SCRIPT\n", kProgram);
        return 2;
    }
    if (StartCore(kProgram) != 0) return tools::kFailed;
    return RunOverProject(argv[1], argv[2]);
}
