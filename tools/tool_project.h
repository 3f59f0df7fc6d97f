// Opening a project file for the command-line tools: its top-level sheets, instances, search paths
// and settings are read, and every top-level sheet stands at the top of a new hierarchy tree.
#pragma once

#include <cstdio>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"

namespace plexa {

// Frees a project opened by OpenToolProject.
inline void CloseToolProject(ProjectRecord* project) {
    if (project->hierarchy) DestroySheetTree(project->hierarchy);
    project->hierarchy = nullptr;
    CloseProjectFile(project);
    DestroyProjectRecord(project);
}

// The project of the file at `path`, or none after saying why on standard error.
inline ProjectRecord* OpenToolProject(const char* path) {
    FileSpec spec;
    DynamicFileRecord file{};
    OSStatus st = FileSpecFromPathName(nullptr, path, &spec);
    if (st == status::kNoErr) st = OpenDynamicFile(&spec, true, &file);
    if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: cannot be opened as a project file (status %d)\n", path, st);
        return nullptr;
    }
    ProjectRecord* project = CreateProjectRecord(&file);
    if (!project) {
        CloseAndMaybeFlushDynamicFile(&file, false);
        std::fprintf(stderr, "%s: out of memory\n", path);
        return nullptr;
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
    if (st != status::kNoErr) {
        std::fprintf(stderr, "%s: the project could not be read (status %d)\n", path, st);
        CloseToolProject(project);
        return nullptr;
    }
    return project;
}

}  // namespace plexa
