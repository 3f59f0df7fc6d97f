// Sheet instances: every occurrence of a sheet in a project's hierarchy (as a top-level sheet, or
// as the child of a sheet symbol on an occurrence of its parent) has an instance with its own id,
// under which the project keeps that occurrence's annotation. This module keeps the project's
// instance list, finds or makes the instance of a hierarchy node, re-targets an instance whose
// symbol now names another sheet, copies instance trees when a sub-sheet symbol is copied, ages
// out instances that the tree no longer uses, and stores the list in the project file.
//
// The project owns the list (new instances at its head). Ids are unique within the project and
// lie in 1 to 0x7FFFFFFE: 0 stands for no parent and 0x7FFFFFFF for a detached parent. Hierarchy
// nodes point at instances; an instance that goes is taken out of every node first.
//
// Stored form (inside the project file's instance block; numbers in the stream's byte order):
//   a string block (growth 128) holding the sheet names of the instances
//   u16 count, at most 32767; 32767 means: read until the end mark
//   u16 record size, written as 16
//   per instance, in list order: {u32 id, u32 parent id, u32 serial, u16 flags, i16 miss count}
//     (the 12 bytes after the id swap by "L2W2"), then u32 the string spec of its sheet name
//   u32 0xFFFFFFFF, the end mark
// A reader takes min(record size - 4, 12) bytes after each id into the fields (the rest of the
// fields zero, bytes beyond them skipped) and refuses a record size below 4. Records with id 0 or
// 0x7FFFFFFF, or with an id read before, are dropped. The list keeps its stored order.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct ProjectRecord;
struct SheetNode;
struct SheetRecord;
struct SheetSpec;
struct StreamRecord;

// `SheetInstance::flags`.
constexpr uint16_t kInstanceExpanded = 0x0001;
constexpr uint16_t kInstanceNew = 0x0002;  // made since the project was opened
constexpr uint16_t kInstanceInTree = 0x0004;
constexpr uint16_t kInstanceSelected = 0x0008;

// Purges in a row without a node before an instance read from the file goes.
constexpr int16_t kInstanceMissLimit = 16;
constexpr uint32_t kDetachedParentId = 0x7FFFFFFF;
constexpr uint32_t kLastInstanceId = 0x7FFFFFFE;
constexpr uint32_t kInstanceListEnd = 0xFFFFFFFF;
constexpr uint16_t kInstanceCountUntilEnd = 32767;
constexpr uint16_t kInstanceRecordSize = 16;
constexpr uint32_t kInstanceNamesQuantum = 128;
constexpr const char* kInstanceFieldsTemplate = "L2W2";

// The stored record.
struct StoredSheetInstance {
    uint32_t id;
    uint32_t parentId;
    uint32_t serial;
    uint16_t flags;
    int16_t missCount;
};
static_assert(sizeof(StoredSheetInstance) == kInstanceRecordSize);

struct SheetInstance {
    SheetInstance* next;
    SheetSpec* sheetSpec;  // found by name when needed; none after invalidation
    StringSpec sheetName;  // in the project's string block
    uint32_t id;
    uint32_t parentId;     // 0 for a top-level occurrence
    uint32_t serial;       // of the sheet symbol on the parent sheet
    uint16_t flags;
    int16_t missCount;
    StringSpec nodeName;   // the node's last display name (in memory only)
};

LinkListHeader* CreateSheetInstanceList();
void DestroySheetInstanceList(LinkListHeader* list);
// Frees the project's lookup index of its instances (made again when next needed).
void DestroySheetInstanceIndex(ProjectRecord* project);

// A new instance at the head of the list with the project's next id; none when memory runs out.
SheetInstance* CreateSheetInstance(ProjectRecord* project, SheetInstance* parent, uint32_t serial,
                                   SheetSpec* spec);
void DestroySheetInstance(ProjectRecord* project, SheetInstance* instance);

SheetSpec* ResolveInstanceSheet(ProjectRecord* project, SheetInstance* instance);
// Every instance of the spec (of every spec with none) forgets its spec.
void InvalidateInstanceSheets(ProjectRecord* project, const SheetSpec* spec);
// The sheet name into a buffer of `size` bytes (at most 256).
void GetInstanceSheetName(const ProjectRecord* project, const SheetInstance* instance, char* name,
                          int32_t size = 256);
SheetInstance* GetInstanceWithId(const ProjectRecord* project, uint32_t id);

// The node's instance: kept in the node, found in the list, re-targeted from an instance of the
// same occurrence whose sheet changed (below the top level), or made when `create` is set.
SheetInstance* RetrieveSheetInstance(ProjectRecord* project, SheetNode* node, bool create);
SheetNode* GetSheetNodeWithInstance(ProjectRecord* project, SheetInstance* instance);
// Whether an instance lies below the ancestor; a loop of parent ids ends the walk with no.
bool IsDescendantInstance(const ProjectRecord* project, const SheetInstance* instance,
                          uint32_t ancestorId);

void PurgeUnusedInstances(ProjectRecord* project, bool purgeAnnotation);
// Copies the instance's tree under a new parent and serial, with its annotation; each instance
// is copied at most once, so a loop of parent ids ends.
void CopyInstanceTree(ProjectRecord* project, SheetInstance* instance, uint32_t newParentId,
                      uint32_t newSerial);
// After a sheet symbol with serial oldSerial was duplicated as newSerial on the sheet.
void CopyInstanceTreesForSymbol(SheetRecord* sheet, uint32_t oldSerial, uint32_t newSerial);

OSStatus WriteInstanceList(StreamRecord* stream, ProjectRecord* project);
// Without the string block's magic first nothing more is read and the list stays. Otherwise the
// list read replaces the project's; on failure (-39 truncated, -50 damaged, -108 out of memory)
// the project keeps its list. The project's next id ends above every id read.
OSStatus ReadInstanceList(StreamRecord* stream, ProjectRecord* project);
// Swaps the 12 stored bytes after an id.
void ByteSwapSheetInstance(void* fields);

}  // namespace plexa
