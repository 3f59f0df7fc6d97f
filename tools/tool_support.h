// What the command-line tools share: the start through the core's entry point, the one-line
// report of a failure (the program, the file, what failed and what the status means) and opening
// a project as the editor does.
#pragma once

#include <cstdio>
#include <string>

#include "app/root.h"
#include "design/netlistdb.h"
#include "files/projectlife.h"
#include "files/sheetspec.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/statustext.h"

namespace plexa::tools {

// The exit status of a run that failed.
constexpr int kFailed = 1;

// "<program>: <file>: <what>." on standard error; returns kFailed.
inline int Fail(const char* program, const char* file, const char* what) {
    std::fprintf(stderr, "%s: %s: %s.\n", program, file, what);
    return kFailed;
}

// "<program>: <file>: <what>: <the status's message>" on standard error; returns kFailed.
inline int Fail(const char* program, const char* file, const char* what, OSStatus status) {
    std::fprintf(stderr, "%s: %s: %s: %s\n", program, file, what, DescribeStatus(status).c_str());
    return kFailed;
}

// A failure that a sheet of the design causes, being unreadable (the last walk of the hierarchy
// names it): "<program>: <project>: the sheet <name> cannot be read: <the status's message>", and
// true; false for any other failure, which the caller tells in its own words.
inline bool FailForUnreadableSheet(const char* program, const char* projectPath, OSStatus st, int* result) {
    const HierarchyWalkFailure& failure = GetHierarchyWalkFailure();
    if (st == status::kNoErr || failure.sheet.empty() || failure.status != st) return false;
    *result = Fail(program, projectPath, ("the sheet " + failure.sheet + " cannot be read").c_str(), st);
    return true;
}

// The spec of a path named on the command line (absolute or relative to the working folder).
inline OSStatus ToolFileSpec(const char* path, FileSpec* spec) {
    *spec = FileSpec{};
    return FileSpecFromURL(NormalizePath(path), spec, false, nullptr);
}

// Opens the project at `path` as the editor does: its blocks read, its hierarchy built from the
// sheet files along its paths, the sheets reached through the sheet store. Read-only unless the
// run writes into the project. Returns none after saying why.
inline ProjectRecord* OpenToolProject(const char* program, const char* path, bool writable) {
    FileSpec spec;
    OSStatus st = ToolFileSpec(path, &spec);
    ProjectRecord* project = nullptr;
    if (st == status::kNoErr) st = OpenProjectAt(&spec, &project, nullptr, !writable);
    if (st == status::kUnknownFileKind) {
        Fail(program, path, "cannot be opened as a project: it is not a project file");
        return nullptr;
    }
    if (st != status::kNoErr) {
        Fail(program, path, writable ? "the project cannot be opened for writing" : "the project cannot be opened",
             st);
        return nullptr;
    }
    return project;
}

// Whether every sheet the project's hierarchy uses is found along its paths; each one that is not
// is named on standard error, since a run without it would do less than asked.
inline bool CheckProjectSheets(const char* program, const char* path, ProjectRecord* project) {
    bool whole = true;
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next) {
        if (spec->nodeCount == 0) continue;
        FileSpec file;
        if (ResolveSheetSpecFile(project, spec, &file, nullptr)) continue;
        char name[kFileSpecNameCapacity];
        GetSheetSpecName(project, spec, name, sizeof name);
        const std::string what = std::string("the sheet ") + name +
                                 " was not found along the project's paths, so the run would leave it out";
        Fail(program, path, what.c_str());
        whole = false;
    }
    return whole;
}

}  // namespace plexa::tools
