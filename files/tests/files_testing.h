// Test helpers for the files folder: a scratch tree of folders and files, a project record put
// together the way the project module makes one, and a recorder that stands in for the modules
// that install the sheet services and read a sheet file's annotation block.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/root.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/datafile.h"
#include "foundation/dirspec.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "model/annotation.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

// A folder tree under a scratch folder; paths are relative to it.
class Tree {
public:
    std::string path(const std::string& relative = "") const {
        return relative.empty() ? dir_.path() : dir_.file(relative);
    }
    void Folder(const std::string& relative) const {
        std::string sofar;
        for (size_t start = 0; start <= relative.size();) {
            size_t end = relative.find('/', start);
            if (end == std::string::npos) end = relative.size();
            sofar = relative.substr(0, end);
            ::mkdir(path(sofar).c_str(), 0777);
            start = end + 1;
        }
    }
    void File(const std::string& relative, const std::string& bytes = "text") const {
        const size_t slash = relative.rfind('/');
        if (slash != std::string::npos) Folder(relative.substr(0, slash));
        ASSERT_TRUE(WriteFile(path(relative), bytes));
    }
    // An empty sheet file (a dynamic file of type "SCH4").
    void Sheet(const std::string& relative) const {
        const size_t slash = relative.rfind('/');
        if (slash != std::string::npos) Folder(relative.substr(0, slash));
        FileSpec spec;
        ASSERT_EQ(FileSpecFromURL(path(relative), &spec, false, nullptr), 0);
        ASSERT_EQ(CreateDynamicFile(&spec, "QPLX", "SCH4", "SCH4", 256), 0);
    }
    void Link(const std::string& relative, const std::string& target) const {
        ASSERT_EQ(::symlink(target.c_str(), path(relative).c_str()), 0);
    }
    // The folder's reference, kept as long as the tree.
    const DirectoryRef* Dir(const std::string& relative = "") {
        DirectoryRef& directory = dirs_.emplace_back();
        EXPECT_EQ(DirectoryFromPathName(nullptr, (path(relative) + "/").c_str(), &directory), 0)
            << relative;
        return &directory;
    }

private:
    TempDir dir_;
    std::deque<DirectoryRef> dirs_;
};

// The path of a folder, ending in "/".
inline std::string PathOf(const DirectoryRef& folder) {
    char buffer[kDirectoryRefCapacity + 2];
    EXPECT_EQ(PathNameFromDirectory(&folder, buffer, sizeof buffer, nullptr), 0);
    return buffer;
}

inline std::string PathOf(const FileSpec& file) {
    char buffer[kDirectoryRefCapacity + kFileSpecNameCapacity + 2];
    EXPECT_EQ(PathNameFromFileSpec(&file, false, buffer, sizeof buffer, nullptr), 0);
    return buffer;
}

// A project whose file lies in `folder` (the file itself need not exist), with its search paths,
// spec list, instance list, top-level list and, when asked, a hierarchy tree.
class TestProject {
public:
    explicit TestProject(const DirectoryRef* folder, bool withTree = true) {
        record_.strings = CreateStringBlock(nullptr, 256);
        record_.directories = CreateDirectoryList();
        record_.sheetSpecs = CreateSheetSpecList();
        record_.instances = CreateSheetInstanceList();
        record_.topLevelSheets = CreateSubSheetReferences();
        record_.paths = CreatePathSpecList(&record_, kProjectOwnerKind);
        record_.hierarchy = withTree ? CreateSheetTree() : nullptr;
        record_.nextInstanceId = 1;
        record_.settings.annotationFlags = 2;
        MoveTo(folder);
        EXPECT_TRUE(record_.paths);
    }
    ~TestProject() {
        Unlist();
        // The library layer lets go of the project as it does when a project is destroyed (the
        // library list may still have it merged in).
        if (GetProjectServices().destroyLibraryFiles) GetProjectServices().destroyLibraryFiles(&record_);
        DestroySheetTree(record_.hierarchy);
        DestroyPathSpecList(record_.paths);
        DestroySubSheetReferences(record_.topLevelSheets);
        DestroySheetInstanceList(record_.instances);
        ReleaseProjectIndexes(&record_);
        LLDispose(record_.sheetSpecs, true);
        DestroyDirectoryList(record_.directories);
        DestroyStringBlock(record_.strings);
    }
    TestProject(const TestProject&) = delete;
    TestProject& operator=(const TestProject&) = delete;

    ProjectRecord* operator->() { return &record_; }
    ProjectRecord* get() { return &record_; }

    // The project file now lies in another folder (as when the project is opened from there).
    void MoveTo(const DirectoryRef* folder) {
        record_.file.spec.directory = *folder;
        SetFileSpecName(&record_.file.spec, "Test.PRX");
    }
    // Puts the project on the list of open projects, for as long as it lives.
    void List() {
        record_.next = gProjectList;
        gProjectList = &record_;
    }
    void Unlist() {
        for (ProjectRecord** p = &gProjectList; *p; p = &(*p)->next)
            if (*p == &record_) {
                *p = record_.next;
                break;
            }
    }
    SheetSpec* Spec(const char* name) { return AddSheetSpecToProject(&record_, name); }
    SheetNode* Node(SheetNode* parent, const char* sheet, uint32_t serial) {
        return AddSheetNode(record_.hierarchy, parent, Spec(sheet), serial, 0);
    }
    std::vector<std::string> SpecNames() {
        std::vector<std::string> names;
        char name[kFileSpecNameCapacity];
        for (auto* s = static_cast<SheetSpec*>(LLFirst(record_.sheetSpecs)); s; s = s->next) {
            GetSheetSpecName(&record_, s, name);
            names.push_back(name);
        }
        return names;
    }

private:
    ProjectRecord record_{};
};

// Stands in for the modules that install the sheet services, and records what was asked.
class FakeServices {
public:
    FakeServices() {
        active_ = this;
        SheetServices s;
        s.busy = [] { ++active_->busyCount; };
        s.getLoadedSheet = [](const char* name, ProjectRecord*) -> SheetRecord* {
            auto found = active_->loaded.find(name);
            return found == active_->loaded.end() ? nullptr : found->second;
        };
        s.enumOpenSubSheets = [](SheetRecord* sheet, OpenSubSheetProc proc, void* data) {
            for (const OpenSubSheetEntry& e : active_->openEntries[sheet]) proc(e, data);
        };
        s.enumFileSubSheets = [](const FileSpec* file, FileSubSheetProc proc, void* data) -> OSStatus {
            const std::string name = file->name;
            for (const FileSubSheetEntry& e : active_->fileEntries[name]) proc(e, data);
            auto failure = active_->fileFailures.find(name);
            return failure == active_->fileFailures.end() ? status::kNoErr : failure->second;
        };
        s.openSheetRank = [](SheetRecord*) -> uint16_t { return active_->openRank; };
        s.fileSheetRank = [](const FileSpec* file, uint16_t* rank) -> OSStatus {
            auto found = active_->fileRanks.find(file->name);
            if (found == active_->fileRanks.end()) return -43;
            *rank = found->second;
            return 0;
        };
        SetSheetServices(s);
        // The sheet file's own annotation block, as the sheet-file module reads it: an empty map.
        AnnotationContextHooks hooks = GetAnnotationContextHooks();
        hooks.readSheetFileAnnotation = [](const FileSpec* file, AnnotationMap** map) -> OSStatus {
            active_->log.push_back(std::string("local ") + file->name);
            *map = CreateAnnotationMap(true);
            return *map ? 0 : -108;
        };
        SetAnnotationContextHooks(hooks);
    }
    // The core's services and hooks come back.
    ~FakeServices() {
        InstallCoreHooks();
        active_ = nullptr;
    }
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;

    int busyCount = 0;
    std::map<std::string, SheetRecord*> loaded;
    std::map<SheetRecord*, std::vector<OpenSubSheetEntry>> openEntries;
    std::map<std::string, std::vector<FileSubSheetEntry>> fileEntries;
    std::map<std::string, OSStatus> fileFailures;
    uint16_t openRank = 0;
    std::map<std::string, uint16_t> fileRanks;
    std::vector<std::string> log;

private:
    static inline FakeServices* active_ = nullptr;
};

}  // namespace plexa::test
