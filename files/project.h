// The project record and the project file. A project is a set of sheet files with a hierarchy,
// per-instance annotation, search paths and settings. While it is open it lives as a
// `ProjectRecord` on the global list `gProjectList`; on disk it is a dynamic file of type "PRJ4"
// (creator "QPLX", extension ".PRX", no application header) whose blocks hold the top-level
// sheets, the instances, the window position, the settings, the search paths, the simulator maps
// and one annotation block per sheet. This module owns the record, the project id, every block's
// writer and reader, the annotation blocks and the update that brings a project's state to its
// file. The record owns every list, table, handle and map it points at; the project window, the
// message log, the analyses and the library file list belong to their own modules, which make and
// free them through the project services below.
//
// Stored blocks (each in the writer's byte order):
//   Every block begins with the u16 byte-order mark 0x1234 (block 7 has a u16 0xFFFF before it;
//   an annotation block carries it inside its map, after the sheet name). A reader that finds
//   0x3412 swaps every later word and long of the block and the fixed records by their templates,
//   and stops swapping when the block has been read. After the contents come zero bytes so that
//   the block and its 6-byte head fill whole units of 512 bytes: with n bytes written,
//   ((n + 517) & ~511) - n - 6 of them.
//   1   top-level sheets: mark, u16 count, per sheet its name as a short string (length byte and at
//       most 255 bytes)
//   2   instances: mark, u32 next instance id, then the instance list's stored form
//       (files/instances.h; without the string-block magic the block adds no instances)
//   3   window position: mark, u32 32, the 32-byte `ProjectWindowState` {u16 0x1234, 6 zero
//       bytes, rectangle top, left, bottom, right (i16), 16 zero bytes}; a record read in the
//       other order swaps its first twelve words and gets left coordinate 15000
//   4   settings: the 260-byte `ProjectSettings` (mark first; its first 28 bytes swap by
//       "WB2W2B12WB2L"), the attributes handle (u32 length, -1 for none, then the 12-byte records;
//       when present, a string block with just their strings follows), then u16 0x1111, u16
//       page-setup word (bit 0: print each sheet once; the other bits kept as read) and the
//       print record, or u16 0 without a print record
//   5   search paths of older files: as block 8; read only when there is no block 8
//   7   simulator maps: u16 0xFFFF, mark (a reader that finds no 0xFFFF takes that word as the
//       mark), the signal map's string block, the signal map as a DA array of 16-byte entries
//       ("L4"), u32 netlist root, u32 netlist flags (written with 0x8000 and, with a component
//       map, 0x4000); with 0x8000: u16 level limit, u8 descend flag, the netlist script's folder
//       as a dir spec handle whose name field holds the folder's path, the script's name as a
//       stored string; with 0x4000: the component map's string block and the component map as a
//       DA array of 12-byte entries ("L3")
//   8   search paths: mark, then the path list's stored form (files/pathspec.h)
//   16-143  annotation of one sheet: its name as a short string, then the annotation map's
//       stored form (model/annotation.h), whose own mark comes first; the type is the sheet's
//       `AnnotationBlockId`, and sheets whose ids collide keep a block each, told apart by the
//       stored name (compared without regard to case)
//
// Replacing a block: the new block is committed first and the older blocks of its type (for an
// annotation block, the older block of its sheet) are released by id afterwards, so a write that
// fails at any point leaves the previous block in the file.
#pragma once

#include <cstdint>

#include "foundation/da.h"
#include "foundation/dirspec.h"
#include "foundation/dynfile.h"
#include "foundation/nametable.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct AnnotationContextHooks;
struct DataContextHooks;
struct ModelHooks;
struct SymbolHooks;
struct AnnotationMap;
struct DAHeader;
struct LinkListHeader;
struct LogWindowRecord;
struct ProjectEditState;
struct ProjectNameIndex;
struct SheetInstanceIndex;
struct SheetRecord;
struct SheetSpec;
struct SheetTree;
struct StreamRecord;
struct SymbolRecord;
struct VXPrintRec;
struct VXWindowRecordTag;
// Owned by their modules (simulator analyses; the library file list and its folder table).
struct SpiceAnalysisList;

constexpr FourCharCode kProjectFileType = FourCC("PRJ4");
constexpr const char* kProjectFileTypeString = "PRJ4";
constexpr const char* kProjectCreator = "QPLX";
constexpr const char* kProjectExtension = ".PRX";

// The owner kind of a project's search-path list.
constexpr uint32_t kProjectOwnerKind = 102;

// `ProjectRecord::dirtyFlags`.
constexpr uint16_t kProjectInstancesChanged = 0x1;
constexpr uint16_t kProjectPathsChanged = 0x2;

// `ProjectRecord::pageSetupWord`: a project print prints each sheet once, however often it is used.
constexpr uint16_t kPageSetupPrintSheetsOnce = 0x1;

// `ProjectSettings::annotationFlags`.
constexpr uint8_t kAnnotationNoSlotSuffix = 0x1;
constexpr uint8_t kAnnotationKeptInSheets = 0x2;
// `ProjectSettings::flags`.
constexpr uint16_t kProjectFileSymbolWarningsOff = 0x1;
constexpr uint16_t kProjectAutoAnnotate = 0x2;

constexpr uint32_t kProjectSettingsSize = 260;
// Only the first 28 bytes swap.
constexpr const char* kProjectSettingsTemplate = "WB2W2B12WB2L";

// Block types.
constexpr uint8_t kProjectTopSheetsBlock = 1;
constexpr uint8_t kProjectInstancesBlock = 2;
constexpr uint8_t kProjectWindowBlock = 3;
constexpr uint8_t kProjectSettingsBlock = 4;
constexpr uint8_t kProjectOldPathsBlock = 5;
constexpr uint8_t kProjectSpiceMapsBlock = 7;
constexpr uint8_t kProjectPathsBlock = 8;
constexpr uint8_t kFirstAnnotationBlock = 16;
constexpr uint8_t kLastAnnotationBlock = 143;

constexpr uint16_t kProjectBlockMark = 0x1234;
constexpr uint16_t kProjectBlockMarkSwapped = 0x3412;
constexpr uint16_t kSpiceMapsBlockLead = 0xFFFF;
constexpr uint16_t kPrintRecordFollows = 0x1111;
constexpr uint32_t kProjectBlockUnit = 512;
// Growth of the project's string block, and of the block that carries the stored attributes.
constexpr int32_t kProjectStringQuantum = 256;
// Free bytes from which an update compacts the file.
constexpr uint32_t kProjectCompactionThreshold = 0x30001;
// Updates after which the block of a sheet that left the project goes.
constexpr uint16_t kDeadAnnotationLimit = 16;

constexpr uint32_t kProjectWindowStateSize = 32;
constexpr const char* kProjectWindowStateTemplate = "W12";
// The left coordinate that a window state read in the other byte order gets.
constexpr int16_t kSwappedWindowLeft = 15000;

// Seeds of the stored ids: "SPIC" and "ANOT".
constexpr uint32_t kProjectIdSeed = 0x53504943;
constexpr uint32_t kAnnotationIdSeed = 0x414E4F54;

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

// The stored window position (block 3).
struct ProjectWindowState {
    uint16_t mark;
    uint8_t zero2[6];
    Rect bounds;
    uint8_t zero16[16];
};
static_assert(sizeof(ProjectWindowState) == kProjectWindowStateSize);

// Options of the report-script run; not stored.
struct ProjectReportOptions {
    uint16_t levelLimit;   // 0 to 9999; applies only with descend
    uint8_t unused2[2];
    uint8_t descend;
    uint8_t startAtFrontSheet;
    uint8_t openOutput;
    uint8_t unused7;
};
static_assert(sizeof(ProjectReportOptions) == 8);

// Options of the annotation run; not stored.
struct AnnotationSettings {
    uint16_t operationMask;
    uint16_t startNumber;      // 1 to 9999
    int16_t depthLimit;        // 0 to 9999
    uint8_t limitHierarchy;
    uint8_t operationIndex;    // 0 to 3 a preset, 4 custom
    char prefixFilter[256];    // comma-separated prefixes; empty for all
};

// Options of the signal-name resequencing dialog; not stored.
struct ResequenceOptions {
    uint16_t optionBits;
    uint16_t startNumber;
    int16_t depthLimit;
    uint8_t limitHierarchy;
    uint8_t unused7;
};
static_assert(sizeof(ResequenceOptions) == 8);

// ---- Simulator maps ----

// A signal map: a DA array of `SpiceSignalMapEntry` whose reference value is its
// `SpiceSignalMapInfo`. A component map: a DA array of `SpiceCompMapEntry` whose reference value
// is its string block (512 bytes).
using SpiceSignalMap = DAArray;
using SpiceCompMap = DAArray;

// In memory 20 bytes; the first 16 are stored.
struct SpiceSignalMapEntry {
    StringSpec name;       // the sheet's signal name
    StringSpec netName;    // the net it maps to; kSignalMapBuilding while the netlist is built
    StringSpec qualifier;  // the net's qualifier, 0 for none
    int32_t key;           // the instance id: the ordering key
    // Never stored: while the map is built, the netlist build's own reference to the entry's net
    // record (see SetSignalMapBuildKeyProc); 0 otherwise.
    uint32_t buildReference;
};
static_assert(sizeof(SpiceSignalMapEntry) == 20);
constexpr uint32_t kSpiceSignalMapStoredSize = 16;
constexpr StringSpec kSignalMapBuilding = 0xFFFFFFFF;

struct SpiceSignalMapInfo {
    StringBlock strings;
    VXNameTable names;
};
static_assert(sizeof(SpiceSignalMapInfo) == 16);

struct SpiceCompMapEntry {
    uint32_t instanceId;
    uint32_t symbolSerial;
    StringSpec designator;
};
static_assert(sizeof(SpiceCompMapEntry) == 12);
constexpr uint32_t kSpiceCompMapStringQuantum = 512;

// `ProjectRecord::netlistFlags`.
constexpr uint32_t kNetlistQualifiedAllLocal = 0x1;
constexpr uint32_t kNetlistRunFollows = 0x8000;
constexpr uint32_t kNetlistCompMapFollows = 0x4000;
constexpr int32_t kNetlistScriptNameLimit = 256;

struct ProjectRecord {
    ProjectRecord* next;            // next open project
    VXWindowRecordTag* window;      // the project window; none until it is made
    LinkListHeader* paths;          // search paths (a PathSpecList of owner kind 102)
    LinkListHeader* sheetSpecs;     // SheetSpec list
    LinkListHeader* instances;      // SheetInstance list
    SheetInstanceIndex* instanceIndex; // lookup of `instances` by parent and serial (instances.cpp)
    LinkListHeader* topLevelSheets; // SubSheetReference list, in order
    SpiceAnalysisList* analyses;
    DirectoryList directories;      // resolved folders, shared with the search paths
    // The library files found along the project's paths (an LL list of LibraryFileEntry, names
    // in `strings`, folders in `directories`), and the table of their folders (a DA array) with
    // the table's string block; none until the list is first built. The library layer frees them
    // (ProjectServices::destroyLibraryFiles).
    LinkListHeader* libraryFiles;
    DAHeader** libraryFolders;
    StringBlock libraryFolderNames;
    StringBlock strings;            // attributes, instance and node names, search paths
    ProjectNameIndex* nameIndex;    // the names AddProjectName put in `strings`; none until the first
    Handle attributes;              // the project attributes (count in the settings); none allowed
    VXPrintRec* printRecord;        // none allowed
    LogWindowRecord* log;
    SpiceSignalMap signalMap;
    SpiceCompMap compMap;
    uint32_t netlistRoot;           // instance id of the last simulator netlist's root (0: all)
    uint32_t netlistFlags;
    uint32_t projectId;
    uint32_t nextInstanceId;        // 1 in a new project
    DynamicFileRecord file;         // the open project file (its spec names the project's folder)
    ProjectSettings settings;
    ProjectReportOptions reportOptions;
    AnnotationSettings annotationOptions;
    ResequenceOptions resequenceOptions;
    uint16_t pageSetupWord;         // kPageSetup*; stored beside the print record
    uint16_t dirtyFlags;
    uint16_t netlistLevelLimit;     // of the script run that made the simulator netlist
    uint8_t netlistDescend;
    uint8_t noStoredMaps;           // block 7 was looked for and is missing
    uint8_t treeDirty;
    SheetTree* hierarchy;           // the hierarchy tree; none while the project shows none
    FileSpec netlistScript;         // the report script of the last simulator netlist
    // What the sheet editor keeps in the project (its search over the project,
    // sheeteditor/searchlist.h): made on first use, freed with the project
    // (ProjectServices::releaseEditState).
    ProjectEditState* editState;
};

// The open projects, most recently opened first.
extern ProjectRecord* gProjectList;

// What the project needs of the modules that own its window, log, analyses and library files.
// They install these calls at start-up; where a call is missing, the default beside it applies.
struct ProjectServices {
    // The project window with its hierarchy tree view. Default: none. Optional: a program
    // without windows opens projects without one (a hook that answers none fails the open).
    VXWindowRecordTag* (*createWindow)(ProjectRecord* project) = nullptr;
    // Frees the project window. Default: nothing.
    void (*destroyWindow)(ProjectRecord* project) = nullptr;
    // The window's rectangle. Default: false.
    bool (*windowBounds)(ProjectRecord* project, Rect* bounds) = nullptr;
    // Frees the message log. Default: nothing.
    void (*destroyLog)(ProjectRecord* project) = nullptr;
    // The analysis list, empty; frees it. Default: none, nothing.
    SpiceAnalysisList* (*createAnalyses)() = nullptr;
    void (*destroyAnalyses)(SpiceAnalysisList* analyses) = nullptr;
    // The empty library file list; frees the list and its folder table, and lets the library
    // browser forget a project that was the owner of the active library list. Default: none,
    // nothing.
    void (*destroyLibraryFiles)(ProjectRecord* project) = nullptr;
    // Stores the tree view's states in the instances before they are written. Default: nothing.
    void (*markTreeInstances)(ProjectRecord* project) = nullptr;
    // The order key of a signal-map entry that is being built. Default: the entry's key.
    // Optional: the netlist build keeps its signal map apart and stores finished keys, so no
    // entry of a project's map is in the building state.
    int32_t (*signalMapBuildKey)(const SpiceSignalMapEntry* entry) = nullptr;
    // Frees what the sheet editor keeps in the project (`editState`) and clears the field.
    // Optional: without the sheet editor nothing of it was made.
    void (*releaseEditState)(ProjectRecord* project) = nullptr;
};
void SetProjectServices(const ProjectServices& services);
const ProjectServices& GetProjectServices();

// ---- The record ----

// Takes a copy of the open file; none when memory runs out.
ProjectRecord* CreateProjectRecord(const DynamicFileRecord* file);
// Frees the record and what it owns. It does not take the record off `gProjectList`: the caller
// does that first.
void DestroyProjectRecord(ProjectRecord* project);
// Frees the lookup indexes the project keeps beside its lists (names, instances); they are made
// again when next needed. DestroyProjectRecord does this; a record put together by hand calls it.
void ReleaseProjectIndexes(ProjectRecord* project);
// Puts a node, instance or reference name into the project's strings. A name added before is
// found through the project's name index (checked against the block, so a block that was since
// rebuilt only costs a new copy); a new one is appended, without searching the whole block, so
// naming a large tree stays linear. 0 for an empty name or when the block cannot grow.
StringSpec AddProjectName(ProjectRecord* project, const char* name);
// A record on `gProjectList` with its window, its own folder as its first search path and an
// empty attributes handle; none when memory runs out.
ProjectRecord* AllocateNewProject(const DynamicFileRecord* file);

// The id of a project file: see project.cpp. Bit 31 is always 0.
uint32_t ProjectId(const FileSpec* file);
// 16 + (the hash of the upper-cased name & 127): 16 to 143.
uint8_t AnnotationBlockId(const char* sheetName);
uint8_t CalcSheetSpecAnnotationBlockId(const ProjectRecord* project, const SheetSpec* spec);

// ---- Blocks ----

// Pads the block stream, commits it under the type, then releases the older blocks: with
// `replace` every older block of the type, else the one block `previous` (0 for none). With
// flush the file's head is written. All of it is one save of the file (foundation/dynfile.h): a
// failure anywhere, a full disk included, leaves the file byte for byte.
OSStatus FinishWriteProjectBlock(ProjectRecord* project, StreamRecord* stream, uint8_t type,
                                 bool replace, bool flush, uint32_t previous = 0);
// The zero bytes that pad a block of n bytes.
uint32_t ProjectBlockPadding(uint32_t n);

OSStatus WriteProjectTopSheetRefs(ProjectRecord* project, bool flush);
// Only when the instance list changed (dirty bit 0, cleared).
OSStatus WriteProjectInstanceList(ProjectRecord* project, bool flush);
// Only when the path list changed (dirty bit 1, cleared).
OSStatus WriteProjectPathList(ProjectRecord* project, bool flush);
// Only for a project with a window.
OSStatus WriteProjectWindowState(ProjectRecord* project);
OSStatus WriteProjectSettings(ProjectRecord* project, bool flush);
// Without a signal map every block 7 goes; a signal map without a string block writes nothing.
OSStatus WriteProjectSpiceMaps(ProjectRecord* project);
// Only for a spec whose map is loaded: a spec without one keeps its stored block.
OSStatus WriteProjectSheetAnnotationMap(ProjectRecord* project, SheetSpec* spec, bool flush);

// A missing block is no failure.
OSStatus LoadProjectTopSheetRefs(ProjectRecord* project);
OSStatus LoadProjectInstanceList(ProjectRecord* project);
// Block 8, else block 5, else the project's own folder (and the list marked changed).
OSStatus LoadProjectPathList(ProjectRecord* project);
OSStatus LoadProjectSettings(ProjectRecord* project);
// Zero-fills the state first.
OSStatus LoadProjectWindowState(ProjectRecord* project, ProjectWindowState* state);
// Frees the maps in memory first; once block 7 was found missing, returns at once until a netlist
// run installs maps. On failure the project is left without maps.
OSStatus LoadProjectSpiceMaps(ProjectRecord* project);

// The stored short name (out: 256 bytes, or none to skip it).
OSStatus ReadProjectSheetName(StreamRecord* stream, char* name);
OSStatus WriteProjectSheetName(StreamRecord* stream, const ProjectRecord* project, const SheetSpec* spec);
// Type 0: the sheet's own block type. *position is 0 when the sheet has no block, else its data
// offset, and the file's stream then stands at it (before the stored name).
OSStatus FindProjectSheetAnnotationMap(ProjectRecord* project, const SheetSpec* spec, uint8_t type,
                                       uint32_t* position);
OSStatus LoadAnnotationTable(ProjectRecord* project, SheetSpec* spec, uint32_t flags);
void FreeAnnotationTable(ProjectRecord* project, SheetSpec* spec);
// Gives the annotation maps of the model what they need of projects, sheet specs and instances
// (their flags, maps, files and tables); the sheet-file parts are left as they are.
void AddProjectAnnotationHooks(AnnotationContextHooks& hooks);
// Gives the sheet model what it reads of projects: the signal scope settings, the slot-suffix
// option, the annotation of a sheet's hierarchy context and its designator texts, and the
// built-in fields of projects ("ProjectFile", ...) and hierarchy tree nodes ("InstancePath", ...).
void AddProjectModelHooks(ModelHooks& model, SymbolHooks& symbols, DataContextHooks& fields);

// ---- The file as a whole ----

// One save of the file: on failure the file is as it was byte for byte and what the update was
// to write (its dirty marks) stays marked.
OSStatus UpdateProjectFile(ProjectRecord* project, bool writeAnnotation);
OSStatus ReleaseDeadAnnotationMaps(ProjectRecord* project);
OSStatus UpdateProjectSheetLocalAnnotation(ProjectRecord* project);
void ResetProjectPaths(ProjectRecord* project);
OSStatus CloseProjectFile(ProjectRecord* project);

// ---- Queries ----

// Clears the last-netlist time when set; with write, block 4 is written with a flush.
OSStatus MarkSpiceProjectDirty(ProjectRecord* project, bool write);
bool IsProjectAnnotationDirty(ProjectRecord* project, bool includeClosed);
// The hierarchy is to be rebuilt at its next update.
void MarkProjectTreeDirty(ProjectRecord* project);
// The exact id first, then the low 16 bits.
ProjectRecord* GetSpiceProject(uint32_t projectId);
ProjectRecord* GetOpenProject(const FileSpec* file);
// Returns the old setting (0 without a project).
bool SetFileSymbolWarningsSuppressed(ProjectRecord* project, bool on);
bool GetFileSymbolWarningsSuppressed(const ProjectRecord* project);
// True without a project.
bool AnnotSuffixEnabled(const ProjectRecord* project);

// ---- Simulator maps ----

SpiceSignalMap CreateSpiceSignalMap(StringBlock strings, VXNameTable names);
// Frees the entries, the info record, its string block and its name table.
void DestroySpiceSignalMap(SpiceSignalMap map);
StringBlock GetSignalMapInfo(SpiceSignalMap map, VXNameTable* names);
// Makes the info record on first use; false when memory runs out.
bool SetSignalMapInfo(SpiceSignalMap map, StringBlock strings, VXNameTable names);
// At most 64 bytes and a terminator into out (65 bytes).
void ExtractSignalMapSignalName(SpiceSignalMap map, StringSpec spec, char* out);
// By the key, then by the names without regard to case.
int SignalMapCompareProc(DAArray map, const void* a, const void* b);

SpiceCompMap CreateSpiceCompMap();
void DestroySpiceCompMap(SpiceCompMap map);
// -1 when memory runs out, else the entry's id.
int32_t AddSpiceCompMapEntry(SpiceCompMap map, uint32_t instanceId, uint32_t symbolSerial,
                             const char* designator);
// The designator (at most 255 bytes) into out (256 bytes), empty when not found; true when it
// is not empty.
bool GetSpiceCompMapRefDes(SpiceCompMap map, uint32_t instanceId, uint32_t symbolSerial, char* out);
int SpiceCompMapCompareProc(const void* a, const void* b);

}  // namespace plexa
