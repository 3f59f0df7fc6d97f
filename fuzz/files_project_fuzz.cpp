// Fuzz target: a project file. The bytes are opened as the project opens its file and every block
// is read (top-level sheets, instances, search paths, settings, window position, simulator maps and
// the annotation of every sheet); project-dump lists the file; a project that reads is written to a
// new file, and that is read and written twice more: the second and the fourth file must be the
// same bytes (a read reverses the annotation lists, so two rounds give the first order back). The
// bytes opened for writing also go through an update (dead annotation blocks, compaction).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/pathspec.h"
#include "files/project.h"
#include "files/project_dump.h"
#include "files/sheetspec.h"
#include "foundation/memory.h"
#include "fuzz_support.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

OSStatus LoadAll(ProjectRecord* project) {
    ProjectWindowState window;
    OSStatus st = LoadProjectTopSheetRefs(project);
    if (!st) st = LoadProjectInstanceList(project);
    if (!st) st = LoadProjectPathList(project);
    if (!st) st = LoadProjectSettings(project);
    if (!st) st = LoadProjectWindowState(project, &window);
    if (!st) st = LoadProjectSpiceMaps(project);
    project->settings.annotationFlags &= uint8_t(~kAnnotationKeptInSheets);
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec && !st; spec = spec->next)
        st = LoadAnnotationTable(project, spec, 0);
    return st;
}

ProjectRecord* Open(const std::string& path, bool readOnly) {
    FileSpec spec;
    DynamicFileRecord file;
    if (FileSpecFromURL(path, &spec, false, nullptr) != 0 || OpenDynamicFile(&spec, readOnly, &file) != 0)
        return nullptr;
    ProjectRecord* project = CreateProjectRecord(&file);
    if (!project) (void)CloseAndMaybeFlushDynamicFile(&file, false);  // fuzzing: only no crash counts
    return project;
}

void Close(ProjectRecord* project) {
    if (!project) return;
    if (project->file.stream) (void)CloseProjectFile(project);  // fuzzing: only no crash counts
    DestroyProjectRecord(project);
}

// Writes everything the project holds into a new project file at `path`.
bool WriteAll(ProjectRecord* from, const std::string& path) {
    FileSpec spec;
    if (FileSpecFromURL(path, &spec, false, nullptr) != 0 ||
        CreateDynamicFile(&spec, kProjectCreator, kProjectFileTypeString, kProjectFileTypeString, 0) != 0)
        return false;
    DynamicFileRecord file;
    if (OpenDynamicFile(&spec, false, &file) != 0) return false;
    DynamicFileRecord old = from->file;
    from->file = file;
    from->dirtyFlags |= kProjectInstancesChanged | kProjectPathsChanged;
    OSStatus st = WriteProjectTopSheetRefs(from, false);
    if (!st) st = WriteProjectInstanceList(from, false);
    if (!st) st = WriteProjectPathList(from, false);
    if (!st) st = WriteProjectSettings(from, false);
    if (!st && from->signalMap) st = WriteProjectSpiceMaps(from);
    for (auto* s = static_cast<SheetSpec*>(LLFirst(from->sheetSpecs)); s && !st; s = s->next)
        st = WriteProjectSheetAnnotationMap(from, s, false);
    const OSStatus closed = CloseProjectFile(from);
    from->file = old;
    return st == 0 && closed == 0;
}

// Reads the project file at `from` and writes it to `to`; false when it does not read or write.
bool Rewrite(const std::string& from, const std::string& to) {
    ProjectRecord* project = Open(from, true);
    const bool done = project && LoadAll(project) == 0 && WriteAll(project, to);
    Close(project);
    return done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    const std::string input = fuzz::ScratchPath("input.PRX");
    FileSpec spec;
    if (!fuzz::WriteScratchFile(input, data, size, &spec)) return 0;
    std::string out, err;
    const char* dump[] = {"project-dump", input.c_str()};
    (void)RunProjectDump(2, dump, &out, &err);  // fuzzing: only no crash counts

    const std::string second = fuzz::ScratchPath("second.PRX"), third = fuzz::ScratchPath("third.PRX"),
                      fourth = fuzz::ScratchPath("fourth.PRX");
    if (Rewrite(input, second)) {
        if (!Rewrite(second, third) || !Rewrite(third, fourth)) std::abort();
        if (fuzz::ReadWholeFile(second) != fuzz::ReadWholeFile(fourth)) std::abort();
    }
    // What an update does to the file.
    if (ProjectRecord* project = Open(input, false)) {
        if (LoadAll(project) == 0) (void)UpdateProjectFile(project, true);  // fuzzing: only no crash counts
        Close(project);
    }
    for (const std::string& path : {input, second, third, fourth}) std::remove(path.c_str());
    return 0;
}
