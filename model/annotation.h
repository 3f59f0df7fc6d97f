// Annotation maps: the reference designator and slot of every component and sheet symbol, kept
// outside the symbol because one sheet may occur several times in a project's hierarchy and each
// occurrence (instance) has designators of its own. A map holds, per symbol serial number, the
// designator and slot of each instance in two layers: the saved specs (last committed, written to
// files) and the pending specs (changes since, applied or discarded as a whole). The effective
// spec of (symbol, instance) is the pending one when there is one, else the saved one.
//
// This module owns the maps, their specs and stored form, the rules that pick the map and the
// instance id of a sheet's context, and the sheet-local cache: the maps that sheet files hold
// themselves, shared by every project that keeps its annotation in the sheets.
//
// A map is a packed DA array of AnnotationMapEntry in ascending order of symbol id (ids are
// positions), whose reference value is the StringBlock of the designators. A symbol has at most
// one spec per instance in each of its lists; symbol id 0 never has an entry.
//
// Stored annotation map block (in the writer's byte order):
//   u16 byte-order mark 0x1234 (a reader that sees 0x3412 swaps)
//   u16 dead-sessions count (written 0; raised in place by IncrementAnnotationMapDeadSessionsCount)
//   the map's string block in its stored form (foundation/stringblock.h)
//   for each entry with saved specs, in map order: u32 symbol id, u32 count, then count spec
//     records of 10 bytes {u32 instance id, u32 designator spec, u16 slot} (swapped by "L2W"),
//     in list order
//   u32 0
// Pending specs are never written. A reader pushes each spec at the head of its entry's saved
// list, so the list order is reversed by every read. The reader bounds every count by the bytes
// left in the stream (-39), refuses a symbol id given twice, an instance given twice in one
// entry and designator specs outside the string block (-50), and on any failure destroys what it
// built. A writer leaves out entries of symbol id 0, which would end the entries early.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct DALoopRecord;
struct FileSpec;
struct LinkListHeader;
struct MemPoolRecord;
struct ProjectRecord;
struct SheetInstance;
struct SheetRecord;
struct SheetSpec;
struct StreamRecord;
struct SymbolRecord;

// No designator; in a pending spec: remove the saved spec of this instance.
constexpr StringSpec kNoDesignator = 0xFFFFFFFF;
constexpr uint16_t kAnnotationMapMark = 0x1234;
constexpr const char* kAnnotationSpecTemplate = "L2W";
constexpr uint32_t kStoredAnnotationSpecSize = 10;
// Longest designator text handed out.
constexpr int32_t kAnnotationTextSize = 256;
// Longest file name kept by the sheet-local cache.
constexpr int32_t kSheetLocalNameMax = 127;

// Bits of a project's annotation flags.
constexpr uint8_t kAnnotNoSlotSuffix = 0x1;
constexpr uint8_t kAnnotSheetLocal = 0x2;

struct AnnotationSpec {
    AnnotationSpec* next;
    int32_t instanceId;     // 0: the sheet itself; else a SheetInstance id of the project
    StringSpec designator;  // in the map's string block, or kNoDesignator
    int16_t slot;           // the component section, -1 for none
};

struct AnnotationMapEntry {
    uint32_t symbolId;
    AnnotationSpec* saved;
    AnnotationSpec* pending;
};

struct AnnotationMap {
    DAHeader** entries;  // packed, AnnotationMapEntry; reference value: the string block
};

struct SheetLocalAnnotationEntry {
    SheetLocalAnnotationEntry* next;
    uint32_t directoryIndex;  // into gSheetAnnotDirList
    StringSpec fileName;      // in gSheetAnnotNamesData
    AnnotationMap* map;       // owned
    int16_t referenceCount;
    uint8_t changed;          // applied changes wait to be written back into the sheet file
};

// ---- Maps and specs ----

// With a string block of 64 bytes growth when asked; null when memory fails (a missing string
// block included).
AnnotationMap* CreateAnnotationMap(bool withStringBlock);
void DestroyAnnotationMap(AnnotationMap* map);
StringBlock GetAnnotationMapStringBlock(const AnnotationMap* map);
int32_t CountAnnotationMapEntries(const AnnotationMap* map);
// A copy of the entry at an index; false (zeroed) outside the map.
bool GetAnnotationMapEntry(const AnnotationMap* map, int32_t index, AnnotationMapEntry* entry);
// The free procedure of the map's entries: destroys both lists.
void FreeOneAnnotMapEntry(DAHeader** array, int32_t id, DALoopRecord* loop);

// The fixed-size block pool of the specs, made on first use.
extern MemPoolRecord* gAnnotationSpecPool;
// Makes the annotation specs' pool (blocks of their record's size) once.
OSStatus InitAnnotationSpecPool();

// A cleared spec from the spec pool (slot -1, no designator); null when memory fails.
AnnotationSpec* CreateAnnotationSpec();
void DestroyAnnotationSpec(AnnotationSpec* spec);
void DestroyAnnotSpecList(AnnotationSpec* list);
int32_t CountAnnotSpecList(const AnnotationSpec* list);

// The entry index of a symbol id; when absent and create is set, a zero entry is inserted at the
// search's insertion point and its index returned; otherwise the negative search result (also
// for symbol id 0, and when the entry cannot be made).
int32_t FindAnnotationMapEntry(AnnotationMap* map, uint32_t symbolId, bool create);
AnnotationSpec* FindAnnotSpecInstance(AnnotationSpec* list, int32_t instanceId);
// The effective spec (pending first, then saved), or null; null for a null map.
AnnotationSpec* AnnotationMapLookup(AnnotationMap* map, int32_t instanceId, uint32_t symbolId);
// The slot; a spec without designator gives slot -1 and an empty text. text holds
// kAnnotationTextSize bytes.
int32_t ExtractAnnotationSpec(const AnnotationSpec* spec, StringBlock block, char* text);
// Stores slot and text (kNoDesignator when null); true when the spec changed.
bool SetAnnotationSpec(AnnotationSpec* spec, StringBlock block, const char* text, int32_t slot);
// Sets the pending spec of an instance; true when the effective annotation changed. A null text
// with no pending spec adds a pending removal only when a saved spec exists.
bool SetAnnotationMapEntry(AnnotationMap* map, int32_t index, int32_t instanceId, const char* text,
                           int32_t slot);
// The slot, or -1 when there is no spec (text empty) or noSlots is set.
int32_t GetAnnotation(AnnotationMap* map, uint32_t symbolId, int32_t instanceId, bool noSlots,
                      char* text);
// Finds the entry (made only when a text is given) and sets it; true when changed.
bool SetAnnotation(AnnotationMap* map, uint32_t symbolId, int32_t instanceId, const char* text,
                   int32_t slot);
// Moves the designator into another block unless the spec has none; false when the move failed
// (the spec then keeps its old designator).
[[nodiscard]] bool ChangeAnnotInfoStringBlock(AnnotationSpec* spec, StringBlock from, StringBlock to);
bool AnnotationMapHasChanges(const AnnotationMap* map);
// Unlinks the spec from the list when it is there.
void UnlinkAnnotationSpec(AnnotationSpec** list, AnnotationSpec* spec);

// ---- Context rules ----

// What the context rules need of projects, sheet specs and instances (files/) and of sheet files;
// the composition root installs them (files/project.h, AddProjectAnnotationHooks) and
// the sheet-file module the sheet-file reader. Without a hook: no project flags, no spec maps, no
// instances, and no sheet file can be read.
using AnnotationProjectProc = int32_t (*)(ProjectRecord* project, SheetSpec* spec,
                                          SheetRecord* sheet, void* data);
struct AnnotationContextHooks {
    uint8_t (*projectFlags)(ProjectRecord* project) = nullptr;
    void (*setProjectFlags)(ProjectRecord* project, uint8_t flags) = nullptr;
    int32_t (*instanceId)(SheetInstance* instance) = nullptr;
    SheetSpec* (*instanceSheetSpec)(ProjectRecord* project, SheetInstance* instance) = nullptr;
    bool (*projectHasInstance)(ProjectRecord* project, int32_t instanceId) = nullptr;
    // Where a sheet spec keeps its own map and its use of a sheet-local entry.
    AnnotationMap** (*specMap)(SheetSpec* spec) = nullptr;
    SheetLocalAnnotationEntry** (*specLocalEntry)(SheetSpec* spec) = nullptr;
    // Marks the sheet spec as having annotation changes to save.
    void (*markSpecDirty)(SheetSpec* spec) = nullptr;
    bool (*resolveSheetSpecFile)(ProjectRecord* project, SheetSpec* spec, FileSpec* file) = nullptr;
    OSStatus (*loadAnnotationTable)(ProjectRecord* project, SheetSpec* spec, uint32_t flags) =
        nullptr;
    void (*freeAnnotationTable)(ProjectRecord* project, SheetSpec* spec) = nullptr;
    SheetRecord* (*openSheetOfSpec)(ProjectRecord* project, SheetSpec* spec) = nullptr;
    // Calls the procedure for every open project that holds the sheet, with its spec of it.
    int32_t (*enumSheetProjects)(SheetRecord* sheet, AnnotationProjectProc proc, void* data) =
        nullptr;
    // Opens the sheet file, reads its annotation block (block 10) with
    // ReadAnnotationMap when it has one (else *map stays null) and closes the file.
    OSStatus (*readSheetFileAnnotation)(const FileSpec* file, AnnotationMap** map) = nullptr;
};
void SetAnnotationContextHooks(const AnnotationContextHooks& hooks);
const AnnotationContextHooks& GetAnnotationContextHooks();

// The sheet spec's own map, or with sheet-local annotation (or forceLocal) the map of its
// sheet-local entry; null for a null spec or when there is none.
AnnotationMap* GetSheetSpecAnnotMap(ProjectRecord* project, SheetSpec* spec, bool forceLocal);
AnnotationMap* GetInstanceAnnotMap(ProjectRecord* project, SheetInstance* instance,
                                   bool forceLocal);
int32_t GetAnnotationInstanceId(ProjectRecord* project, SheetInstance* instance);
// With a project and an instance context on the sheet, the instance's map, instance id and the
// project's no-slot bit; otherwise the sheet's own map, 0 and false.
AnnotationMap* GetSheetContextAnnotationInfo(SheetRecord* sheet, int32_t* instanceId,
                                             bool* noSlots);
// The slot (-1 and an empty text without project or instance). text: kAnnotationTextSize bytes.
int32_t GetInstanceAnnotation(ProjectRecord* project, SheetInstance* instance, uint32_t symbolId,
                              char* text);
int32_t GetSymbolAnnotation(SheetRecord* sheet, uint32_t symbolId, char* text);
bool SetInstanceAnnotation(ProjectRecord* project, SheetInstance* instance, uint32_t symbolId,
                           const char* text, int32_t slot);
bool SetSymbolAnnotation(SheetRecord* sheet, uint32_t symbolId, const char* text, int32_t slot);
// A copy of the effective spec in the sheet's context (without a sheet, in the project
// instance), or null when there is none, it has no designator or memory fails.
AnnotationSpec* GetSymbolAnnotationCopy(SheetRecord* sheet, ProjectRecord* project,
                                        SheetInstance* instance, uint32_t symbolId);

// ---- Changes ----

void DiscardAnnotationChanges(ProjectRecord* project, SheetSpec* spec, bool currentOnly);
// Commits the pending specs; true when the saved layer changed. The spec, when given, is marked
// as having changes to save (its own map) or its sheet-local entry as changed.
bool ApplyAnnotationMapChanges(AnnotationMap* map, SheetSpec* spec);
void ChangeAnnotationSymbol(SheetRecord* sheet, SymbolRecord* oldSymbol, SymbolRecord* newSymbol,
                            bool removeOld);
void ReassignAnnotationSet(AnnotationMap* map, SymbolRecord* oldSymbol, SymbolRecord* newSymbol,
                           bool removeOld);
// Moves an instance's annotation between two sheet specs' maps: 0, a failed table load's
// status, or -108 when the target's map cannot be made or a designator cannot be moved.
OSStatus TransferInstanceAnnotation(ProjectRecord* project, int32_t instanceId, SheetSpec* from,
                                    SheetSpec* to);
// Moves the instance's specs from one list to the other (each pushed at the head of the target,
// replacing the target's spec of the instance); true when any moved. *failed is set when a
// designator could not be moved (that spec stays in the source).
bool TransferInstAnnotSpecs(AnnotationSpec** from, AnnotationSpec** to, int32_t instanceId,
                            StringBlock fromBlock, StringBlock toBlock, bool* failed);
// Copies the from-instance's saved and pending specs to the to-instance in the spec's own map,
// replacing what the to-instance had. -108 when a copy cannot be made (the copies made stay).
OSStatus CopyInstanceAnnotation(SheetSpec* spec, int32_t fromId, int32_t toId);

// ---- Purges and storage ----

bool PurgeMissingSymbolsFromAnnotMap(SheetRecord* sheet, AnnotationMap* map);
bool PurgeMissingInstancesFromAnnotMap(ProjectRecord* project, SheetSpec* spec);
// The summed lengths of the designators of all saved specs.
uint32_t CountAnnotationMapChars(const AnnotationMap* map);
// Moves the saved designators into a fresh block (64 bytes growth) that replaces the old one.
// Pending specs are not moved: the caller applies them first. -108 on failure, map unchanged.
OSStatus PurgeAnnotationMapStringBlock(AnnotationMap* map);

OSStatus WriteAnnotationMap(StreamRecord* stream, const AnnotationMap* map);
// The second argument is not used. On failure *map is null; the stream's swap state is restored
// in every case.
OSStatus ReadAnnotationMap(StreamRecord* stream, uint32_t unused, AnnotationMap** map);
void ByteSwapAnnotaionSpec(void* record);
// With the stream at the block's start: raises the dead-sessions count in place, in the block's
// own byte order; *count receives the new count in native order (0 on failure).
OSStatus IncrementAnnotationMapDeadSessionsCount(StreamRecord* stream, uint16_t* count);

// ---- Sheet-local cache ----

extern LinkListHeader* gSheetAnnotList;
extern DAHeader** gSheetAnnotDirList;
extern StringBlock gSheetAnnotNamesData;

// At start-up (and on first use): the names string block, the directory list and the list.
OSStatus InitSheetLocalAnnotation();
// A new entry for the file pushed on the list, owning the map; the caller sets the reference
// count. Null when the file's folder cannot be listed or memory fails (the map is not taken).
SheetLocalAnnotationEntry* CreateSheetLocalAnnotation(const FileSpec* file, AnnotationMap* map);
SheetLocalAnnotationEntry* FindSheetLocalAnnotation(const FileSpec* file);
// The entry with one more reference; when absent, loaded from the file with load set, else null.
SheetLocalAnnotationEntry* GetSheetLocalAnnotation(const FileSpec* file, bool load);
SheetLocalAnnotationEntry* LoadSheetLocalAnnotation(const FileSpec* file);
// One reference fewer; below 1 the entry is removed and its map destroyed.
void ReleaseSheetLocalAnnotation(SheetLocalAnnotationEntry* entry);

// The annotation part of a sheet's teardown: every project that holds the sheet discards its
// pending changes of the sheet and frees its table; then the sheet's sheet-local entry is
// released, or else its own map destroyed. Both fields are cleared.
void ReleaseSheetAnnotation(SheetRecord* sheet);

}  // namespace plexa
