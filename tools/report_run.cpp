// report-run: runs a report script over a project and writes its outputs.
//
//   report-run PROJECT SCRIPT
//
// The project's top-level sheets, instances, search paths and settings are read from its file;
// the script runs over the whole project, descending into sub-sheets without a level limit. Its
// output files go where the script says (relative names beside the project file); the last one
// opened is named on standard output. Messages the script shows (NOTIFY, runtime errors) go to
// standard error; questions it asks are answered with the second button. Exit status: 0 the
// script ran, 1 it failed, 2 wrong usage or a project or script that cannot be read.
#include <cstdio>
#include <string>

#include "design/report_interp.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"

using namespace plexa;

namespace {

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s PROJECT SCRIPT\n", program);
    return 2;
}

int RunOverProject(const char* projectPath, const char* scriptPath) {
    FileSpec spec, script;
    DynamicFileRecord file{};
    OSStatus st = FileSpecFromPathName(nullptr, scriptPath, &script);
    if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: cannot be found (status %d)\n", scriptPath, st);
        return 2;
    }
    st = FileSpecFromPathName(nullptr, projectPath, &spec);
    if (st == status::kNoErr) st = OpenDynamicFile(&spec, true, &file);
    if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: cannot be opened as a project file (status %d)\n", projectPath, st);
        return 2;
    }
    ProjectRecord* project = CreateProjectRecord(&file);
    if (!project) {
        CloseAndMaybeFlushDynamicFile(&file, false);
        std::fprintf(stderr, "%s: out of memory\n", projectPath);
        return 2;
    }
    st = LoadProjectTopSheetRefs(project);
    if (st == status::kNoErr) st = LoadProjectInstanceList(project);
    if (st == status::kNoErr) st = LoadProjectPathList(project);
    if (st == status::kNoErr) st = LoadProjectSettings(project);
    project->hierarchy = CreateSheetTree();
    if (st == status::kNoErr && !project->hierarchy) st = status::kOutOfMemory;
    for (auto* ref = static_cast<SubSheetReference*>(LLFirst(project->topLevelSheets));
         ref && st == status::kNoErr;
         ref = static_cast<SubSheetReference*>(LLGetNext(project->topLevelSheets, ref))) {
        if (!AddSheetNode(project->hierarchy, nullptr, ref->child, 0, 0)) st = status::kOutOfMemory;
    }
    int result = 0;
    if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: the project could not be read (status %d)\n", projectPath, st);
        result = 2;
    } else {
        FileSpec output;
        st = RunReportScriptFile(project, nullptr, true, 9999, &script, &output);
        if (st == status::kUserCancelled) {
            result = 1;  // the message was shown
        } else if (st != status::kNoErr) {
            std::fprintf(stderr, "%s: the script failed (status %d)\n", scriptPath, st);
            result = 1;
        }
        std::string written;
        if (output.name[0] && CreateURLFromFileSpec(&output, false, &written) == status::kNoErr) {
            std::printf("%s\n", written.c_str());
        }
    }
    if (project->hierarchy) DestroySheetTree(project->hierarchy);
    project->hierarchy = nullptr;
    CloseProjectFile(project);
    DestroyProjectRecord(project);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    InitMemoryManager(-1);
    if (argc == 3 && argv[1][0] != '-') return RunOverProject(argv[1], argv[2]);
    return Usage(argv[0]);
}
