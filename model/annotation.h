// Annotation maps: the designator and slot of every component or sheet symbol of a sheet, per
// symbol serial number and per sheet instance, in two layers: the saved specs (what was last
// committed and is written to files) and the pending specs (changes made since, applied or
// dropped as a whole). A map owns its entries, their spec lists and its string block.
//
// This header holds the start of the module: the map and its specs, setting and looking up a
// symbol's annotation, committing pending changes, compacting the string block and the stored
// form. The annotation module completes it (contexts, the sheet-local cache, transfers, purges).
//
// Stored form (in the writer's byte order):
//   u16 byte-order mark 0x1234 (a reader that sees 0x3412 swaps)
//   u16 dead-sessions count, written 0 and raised in place (IncrementAnnotationMapDeadSessionsCount)
//   the map's string block in its stored form
//   per entry that has saved specs, in map order: u32 symbol id, u32 count, then count records
//     of 10 bytes {u32 instance id, u32 designator spec, u16 slot} ("L2W"), in list order
//   u32 0
// Pending specs are never written. A reader pushes each record at the head of its entry's saved
// list, so every read reverses the lists. Symbol id 0 ends the entries; an id read twice adds to
// the entry read first; a count that promises more records than the bytes left fails the read.
#pragma once

#include <cstdint>

#include "foundation/da.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct SheetRecord;
struct StreamRecord;

constexpr uint16_t kAnnotationMapMark = 0x1234;
constexpr uint32_t kAnnotationSpecRecordSize = 10;
constexpr const char* kAnnotationSpecTemplate = "L2W";
// A designator spec that stands for no designator (in a pending spec: remove the saved one).
constexpr StringSpec kNoDesignator = 0xFFFFFFFF;
constexpr int32_t kAnnotationStringQuantum = 64;

struct AnnotationSpec {
    AnnotationSpec* next;
    int32_t instanceId;     // 0: the sheet itself
    StringSpec designator;  // in the map's string block; kNoDesignator for none
    int16_t slot;           // -1 for none
};

struct AnnotationMapEntry {
    uint32_t symbolId;
    AnnotationSpec* saved;
    AnnotationSpec* pending;
};

struct AnnotationMap {
    DAArray entries;       // AnnotationMapEntry, packed, in ascending order of symbol id
    StringBlock strings;   // the designators; none only while a map is being read
};

// With strings a string block is made as well; none when memory runs out.
AnnotationMap* CreateAnnotationMap(bool withStrings);
void DestroyAnnotationMap(AnnotationMap* map);
StringBlock GetAnnotationMapStringBlock(const AnnotationMap* map);
int32_t CountAnnotationMapEntries(const AnnotationMap* map);

// The entry's index; when absent, with create a new entry is inserted in order and its index
// returned, else the insertion index | 0x80000000 (negative). -1 when memory runs out.
int32_t FindAnnotationMapEntry(AnnotationMap* map, uint32_t symbolId, bool create);
bool GetAnnotationMapEntry(const AnnotationMap* map, int32_t index, AnnotationMapEntry* entry);

// The pending spec of the instance when there is one, else the saved one; none without either.
AnnotationSpec* AnnotationMapLookup(const AnnotationMap* map, int32_t instanceId, uint32_t symbolId);
// The designator (into text of `size` bytes, at most 255 characters) and the slot of the
// effective spec; -1 and an empty text without one; -1 with noSlots.
int16_t GetAnnotation(const AnnotationMap* map, uint32_t symbolId, int32_t instanceId, bool noSlots,
                      char* text, int32_t size);
// Sets the pending designator and slot (no text: removes the saved one); true when the
// effective annotation changed.
bool SetAnnotation(AnnotationMap* map, uint32_t symbolId, int32_t instanceId, const char* text,
                   int16_t slot);
bool AnnotationMapHasChanges(const AnnotationMap* map);
// Commits every pending spec into the saved lists; true when the saved layer changed.
bool ApplyAnnotationMapChanges(AnnotationMap* map);

// Removes every entry whose symbol id no symbol of the sheet carries; true when any went.
bool PurgeMissingSymbolsFromAnnotMap(SheetRecord* sheet, AnnotationMap* map);

// The characters of the designators of all saved specs.
uint32_t CountAnnotationMapChars(const AnnotationMap* map);
// Moves the designators of the saved specs into a fresh string block; false (map unchanged) when
// memory runs out.
bool PurgeAnnotationMapStringBlock(AnnotationMap* map);

OSStatus WriteAnnotationMap(StreamRecord* stream, const AnnotationMap* map);
// On failure *map is none and nothing is left allocated; the stream's swap setting is restored in
// every case.
OSStatus ReadAnnotationMap(StreamRecord* stream, AnnotationMap** map);
// With the stream at a stored map: raises its dead-sessions count by one in place, in the map's
// own byte order, and gives the new count (0 on failure).
OSStatus IncrementAnnotationMapDeadSessionsCount(StreamRecord* stream, uint16_t* count);
void ByteSwapAnnotationSpec(void* record);

}  // namespace plexa
