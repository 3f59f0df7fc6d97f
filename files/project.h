// The project record: one open project, kept on the global list of open projects.
//
// This header holds the start of the record: the fields that search paths, sheet specs and sheet
// instances use. The project module completes it with its other fields, its file blocks and its
// life cycle (making, opening, closing).
#pragma once

#include <cstdint>

#include "foundation/dirspec.h"
#include "foundation/dynfile.h"
#include "foundation/stringblock.h"

namespace plexa {

struct DAHeader;
struct LinkListHeader;
struct SheetTree;

// The owner kind of a project's search-path list.
constexpr uint32_t kProjectOwnerKind = 102;

// `ProjectRecord::dirtyFlags`.
constexpr uint16_t kProjectInstancesChanged = 0x1;
constexpr uint16_t kProjectPathsChanged = 0x2;

// `ProjectSettings::annotationFlags`.
constexpr uint8_t kAnnotationNoSlotSuffix = 0x1;
constexpr uint8_t kAnnotationKeptInSheets = 0x2;

constexpr uint32_t kProjectSettingsSize = 260;
// Only the first 28 bytes swap.
constexpr const char* kProjectSettingsTemplate = "WB2W2B12WB2L";

// The stored settings record (written verbatim into the project file).
struct ProjectSettings {
    uint16_t mark;                 // 0: byte-order mark 0x1234
    uint8_t instanceNaming;        // 2: 0 by instance id, 1 by instance path
    uint8_t signalScope;           // 3: 1 hierarchical, 2 flat
    uint16_t attributeCount;       // 4
    uint16_t flags;                // 6
    uint8_t qualifyAllLocal;       // 8
    uint8_t qualifyConflicting;    // 9
    uint8_t qualifyShared;         // 10
    uint8_t instanceNamePlace;     // 11
    char separator[4];             // 12: at most 2 characters and a terminator
    uint8_t globalFlagged;         // 16
    uint8_t annotationFlags;       // 17
    uint8_t reserved18;            // 18: kept as read
    uint8_t qualifyDesignators;    // 19
    uint16_t rankLimit;            // 20
    uint8_t reserved22[2];         // 22: kept as read
    uint32_t lastNetlistTime;      // 24
    uint8_t reserved28[232];       // 28: kept as read
};
static_assert(sizeof(ProjectSettings) == kProjectSettingsSize);

struct ProjectRecord {
    ProjectRecord* next;            // next open project
    LinkListHeader* paths;          // search paths (a PathSpecList of owner kind 102)
    LinkListHeader* sheetSpecs;     // SheetSpec list
    LinkListHeader* instances;      // SheetInstance list
    LinkListHeader* topLevelSheets; // SubSheetReference list, in order
    DirectoryList directories;      // resolved folders, shared with the search paths
    StringBlock strings;            // shared with the search paths
    SheetTree* hierarchy;           // the hierarchy tree; none while the project shows none
    uint32_t nextInstanceId;        // 1 in a new project
    DynamicFileRecord file;         // the open project file (its spec names the project's folder)
    ProjectSettings settings;
    uint16_t dirtyFlags;
    uint8_t treeDirty;
    // The library files found along the project's paths (an LL list of LibraryFileEntry, names
    // in `strings`, folders in `directories`), and the table of their folders (a DA array) with
    // the table's string block; none until the list is first built. Freed with LLDispose (items
    // too), DADispose and DestroyStringBlock.
    LinkListHeader* libraryFiles;
    DAHeader** libraryFolders;
    StringBlock libraryFolderNames;
};

// The open projects, most recently opened first.
extern ProjectRecord* gProjectList;

// The hierarchy is to be rebuilt at its next update.
void MarkProjectTreeDirty(ProjectRecord* project);

}  // namespace plexa
