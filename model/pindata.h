// The pin data table: what a pin is electrically (its name, its type and its attributes), kept
// apart from where it is drawn. A table holds distinct pin-data records, each stored once, and
// components refer to them by pin-data id (the physical id of the record's item, stable until the
// purge before saving). Sheets, library items, the clipboard and the netlist database each have a
// table whose strings live in the owner's string block. This module also keeps the per-node
// pin-number tables of the symbol editor's pins.
//
// A record is a relocatable handle:
//   u8 hash         low byte of HashMem(0x50446174 'PDat', the record from its name to its end)
//   u8 type         bits 0-5 the pin type, bit 6 a bus pin (width 2), bit 7 kept as given
//   i16 count       of attributes
//   u32 name        string spec
//   count attributes of 12 bytes (model/attributes.h), the run starting at byte 8.
// Its stored form is that handle as a stream handle (i32 length, then the bytes as they lie in the
// writer's memory): the head swaps by "B2WL", the attributes by "L2W" each. A reader accepts only
// a record of at least 8 bytes with a count of 0 or more that its bytes hold; bytes beyond the
// last attribute are dropped, and the hash is computed again (a writer of the other byte order
// hashed other bytes).
//
// A table is a DA array (flags 0x85: unique, sorted, bodies not stored; a sorted array has logical
// ids, so its stored flags are 0x8D) of 8-byte
// items, each the handle of one record, ordered by PinDataCompareProc; its reference value is the
// string block of the records' strings. Its stored form is the array's (foundation/da_stream.h)
// followed by each record in logical order as above.
//
// Node pin-number table (a handle held by a node element of the symbol editor):
//   u16 entry count, 2 bytes not used, then 24-byte entries:
//   u64 section key, then 4 u32 pin-number string specs, one per pin set.
// The functions take the node's table (or its slot, where they may make it); entries that the
// handle does not hold are never read.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct DALoopRecord;
struct SheetRecord;
struct StreamRecord;

using PinDataTable = DAHeader**;

struct PinDataRecord {
    uint8_t hash;
    uint8_t type;
    int16_t attributeCount;
    StringSpec name;
};
static_assert(sizeof(PinDataRecord) == 8);

constexpr const char* kPinDataHeadTemplate = "B2WL";
constexpr uint32_t kPinDataHashSeed = 0x50446174;  // 'PDat'
constexpr uint32_t kPinDataTableFlags = 0x85;
constexpr int32_t kPinDataItemSize = 8;

// Pin types (the low 6 bits of the type byte) and the bus-pin flag.
constexpr uint8_t kPinTypeMask = 0x3F;
constexpr uint8_t kPinBusFlag = 0x40;
constexpr uint8_t kPinUnspecified = 0;
constexpr uint8_t kPinInput = 1;
constexpr uint8_t kPinOutput = 2;
constexpr uint8_t kPinBidirectional = 3;
constexpr uint8_t kPinOpenCollector = 4;
constexpr uint8_t kPinOpenEmitter = 5;
constexpr uint8_t kPinHiImpedance = 6;
constexpr uint8_t kPinPassive = 7;
constexpr uint8_t kPinPower = 8;
constexpr uint8_t kPinTypeCount = 9;

// A purge renumbers the table only when at least this many ids are free below the highest one.
constexpr int32_t kPinTablePurgeFreeIds = 64;

// ---- Table ----

// An empty table bound to the block; null when memory fails.
PinDataTable CreatePinDataTable(StringBlock block);
// Installs the procedures and the reference value of a table (one read from a file too) and puts
// its order right again.
void SetupPinDataTable(PinDataTable table, StringBlock block);
// Frees every record and the array.
void DestroyPinDataTable(PinDataTable table);
// Interns a record: the id of an identical record already present, else of a copy added at its
// place (the caller keeps its own); -1 when memory runs out. The record is rehashed first.
int32_t AddPinDataToTable(PinDataTable table, Handle record);
// The record with a pin-data id, null when there is none.
Handle GetIndexedPinData(PinDataTable table, int32_t id);
// A private copy of it, null when there is none or memory fails.
Handle GetPinDataCopy(PinDataTable table, int32_t id);
// Moves the strings of every record into the new block and makes it the table's. On failure
// (-108, -50) nothing has changed.
OSStatus ChangePinTableStringBlock(PinDataTable table, StringBlock block);
// Before a sheet is saved: frees the records that no component of the sheet uses, and renumbers
// the table (and every id the components hold) when enough ids have come free.
void PurgeSheetPinTable(SheetRecord* sheet);

// The table's procedures: items are record handles.
int PinDataCompareProc(const void* a, const void* b);
void PinDataFreeProc(DAHeader** array, int32_t id, DALoopRecord* loop);

// ---- Records ----

// A cleared 8-byte record; null when memory fails.
Handle CreateNewPinData();
void DestroyPinData(Handle record);
// Computes the hash and stores it in the record.
uint8_t CalcPinDataHash(Handle record);
// Stores the name (nothing for a null record) and rehashes.
void SetPinDataName(Handle record, StringBlock block, const char* name);
// The name into a buffer of kPinTextSize bytes (empty for a null record).
void GetPinDataName(Handle record, StringBlock block, char* name);
// The name of the record with a pin-data id; empty when there is none.
void GetIndexedPinDataName(PinDataTable table, int32_t id, StringBlock block, char* name);
// With whole the byte becomes the value; else bits 0-5 take the value's and bits 6-7 stay.
void SetPinDataType(Handle record, uint8_t type, bool whole);
// The type byte, or its low 6 bits.
uint8_t GetPinDataType(Handle record, bool whole);
// With bus: the pin type if below 4, else 0, plus the bus flag; without: the low 6 bits only.
void ValidatePinDataType(Handle record, bool bus);
// The name of a pin type (the low 6 bits) into a buffer of kPinTextSize bytes; empty for 9 to 63.
void GetPinTypeString(uint8_t type, char* buffer);

constexpr int32_t kPinTextSize = 256;

// An attribute of the record: index, or (count | 0x8000) when absent. The value goes into a
// buffer of kPinTextSize bytes.
int16_t GetPinDataAttribute(Handle record, StringBlock block, const char* name, char* value);
// SetAttributeValue over the record's run (model/attributes.h), keeping the count in the record
// and rehashing it.
int16_t SetPinDataAttribute(Handle record, StringBlock block, const char* name, const char* value);
// The net a hidden pin connects to: its "~SIG" attribute; when that is empty and useName is set,
// the pin's name.
void GetHiddenPinSignalName(Handle record, StringBlock block, bool useName, char* name);
// Sets "~SIG"; a null or empty text deletes it.
void SetHiddenPinSignalName(Handle record, StringBlock block, const char* text);
// Moves the attribute strings and the name into another block, then rehashes. On failure (-108,
// -50) the record is unchanged.
OSStatus ChangePinDataStringBlock(Handle record, StringBlock from, StringBlock to);

// ---- Stored form ----

// Writes the record as a stream handle.
OSStatus WritePinData(StreamRecord* stream, Handle record);
// Reads a record written by WritePinData into a new handle of `pool`, swapping it when the stream
// swaps on read, and rehashes it. A stored -1 gives no record and 0. -50 for a record shorter than its head and
// count say, -39 when the stream ends early, -108 when memory fails; on failure *record is null.
OSStatus ReadPinData(StreamRecord* stream, MemPool pool, Handle* record);
// The DA item procedures of the table's stored form: the record of each item after the array.
// The reader zeroes every item when it is called for the first one, takes only arrays of the
// table's kind, and on failure frees the records it read before it signals.
void WritePinTableLoopProc(DAHeader** array, int32_t id, DALoopRecord* loop);
void ReadPinTableLoopProc(DAHeader** array, int32_t id, DALoopRecord* loop);
// The table and its records; the reader binds the table to the block (SetupPinDataTable). -50 for
// an array that is not a pin-data table or a damaged record; on failure *table is null and
// nothing is left allocated.
OSStatus WritePinDataTable(StreamRecord* stream, PinDataTable table);
OSStatus ReadPinDataTable(StreamRecord* stream, MemPool pool, StringBlock block, PinDataTable* table);

// ---- The pin-type popup menu (the symbol editor's) ----

constexpr uint16_t kPinTypeMenuId = 7900;
constexpr uint16_t kPinTypeMenuFirstItem = 7901;  // + the pin type

// ---- Node pin numbers ----

struct NodePinNumberEntry {
    uint64_t section;
    StringSpec numbers[4];
};
static_assert(sizeof(NodePinNumberEntry) == 24);
constexpr uint32_t kNodePinNumbersHead = 4;
constexpr int32_t kPinSetCount = 4;

// What the symbol editor gives these calls: its string block, the current section key and pin
// set, and which pin sets are in use.
struct NodePinEditor {
    StringBlock block;
    uint64_t section;
    int32_t pinSet;
    bool pinSetUsed[kPinSetCount];
};

// The entry index of a section key, -1 when absent or when there is no table.
int32_t FindNodePinNumbersSection(Handle numbers, uint64_t key);
// The 4 specs of a key's entry; returns entry index x 3, or a negative value with 4 zero specs.
int32_t GetNodesPinNumberSet(Handle numbers, uint64_t key, StringSpec specs[4]);
// Replaces the key's entry or appends one, making the table when *numbers is null; when the two
// blocks differ the numbers are moved first. False when memory fails (nothing changed).
[[nodiscard]] bool SetNodesPinNumberSet(Handle* numbers, uint64_t key, const StringSpec specs[4],
                          StringBlock from, StringBlock to);
// Moves 4 pin numbers into another block.
void ChangePinNumberSetStringBlock(StringSpec specs[4], StringBlock from, StringBlock to);
// A pin number into a buffer of kPinTextSize bytes, and its spec; key 0 is the editor's current
// section, a negative pin set its current one.
StringSpec GetNodesPinNumber(const NodePinEditor* editor, Handle numbers, uint64_t key,
                             int32_t pinSet, char* number);
// Stores the number of one pin set; a text that is not empty also goes to every other pin set
// that has no number yet or that the editor does not use.
void SetNodesPinNumber(const NodePinEditor* editor, Handle* numbers, uint64_t key, int32_t pinSet,
                       const char* text);
// Removes the key's entry (key 0: the current section).
void DeleteNodesPinNumber(const NodePinEditor* editor, Handle numbers, uint64_t key);
// In every entry, copies the number of one pin set to another.
void CopyNodePinSet(const NodePinEditor* editor, Handle numbers, int32_t from, int32_t to);
// The name of the node's pin-data record in the editor's block.
void GetNodesPinName(Handle pinData, const NodePinEditor* editor, char* name);
void SetNodesPinName(Handle pinData, const NodePinEditor* editor, const char* name);

}  // namespace plexa
