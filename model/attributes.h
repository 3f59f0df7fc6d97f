// Attribute lists: the named text attributes (name = value) of sheets, placed symbols, pin data,
// library items, the clipboard and the default sheet settings, with lookup by name, setting and
// merging, flag changes, moving and purging their strings, byte swapping, the library-tracking
// copies, the predefined macros and attribute texts of the form {name}.
//
// An attribute run is `count` records lying at a byte offset of a handle; its owner keeps the count
// (an i16) and passes its address to the operations that change it. The texts live in the owner's
// string block. Names are compared without regard to case; a name beginning with "~" is internal,
// and "~~" followed by X names the tracking copy of X: the library's value of X when it was last
// copied from the library.
//
// Stored form of a run (sheet and library files keep the records as they lie in memory):
//   per record, 12 bytes: u32 name spec, u32 value spec (0 is the empty value), u16 flags,
//   u8 name hash (the low byte of CalcNameHash(name)), u8 spare (0 in new records, kept by every
//   change); swapped by "L2W", the last two bytes as they are.
// In a stream the run is a stream handle: i32 length (-1 for none), then the records. The count is
// the owner's and is stored elsewhere; the reader takes it and accepts only a handle that holds
// exactly that many records.
//
// Every operation checks the run against its handle: records beyond the handle's end are never
// read or written (a run that does not fit is treated as holding the records that do, and is not
// changed).
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct StreamRecord;

struct AttributeRecord {
    StringSpec name;
    StringSpec value;
    uint16_t flags;    // bit 0 cleared when clipboard attributes are applied to symbols
    uint8_t nameHash;  // low byte of CalcNameHash(name)
    uint8_t spare;
};
static_assert(sizeof(AttributeRecord) == 12);

constexpr uint32_t kAttributeSize = sizeof(AttributeRecord);
constexpr const char* kAttributeSwapTemplate = "L2W";
// A run holds at most this many records: counts are i16 and the absent code sets the top bit.
constexpr int32_t kMaxAttributeCount = 0x7FFF;
// Or'ed into the count to say that a name is absent.
constexpr int16_t kAttributeAbsent = int16_t(0x8000);
// The value that stores the empty value under an existing name (a null value deletes it).
inline const char* const kAttributeEmptyValue = reinterpret_cast<const char*>(intptr_t(-1));
// Buffers of texts that are copied out "at most 255 characters".
constexpr int32_t kAttributeTextSize = 256;

// Internal names used across the model.
constexpr const char* kAttrNameName = "~NAM";
constexpr const char* kAttrRefName = "~REF";
constexpr const char* kAttrSubSheetName = "~SUB";
constexpr const char* kAttrSignalName = "~SIG";

// Options of MergeAttributes.
constexpr uint32_t kMergeOverwrite = 1;     // replace existing values
constexpr uint32_t kMergeEmptyValues = 2;   // copy attributes whose value is empty too
constexpr uint32_t kMergeSkipInternal = 4;  // skip names beginning with "~"
constexpr uint32_t kMergeOnlyExisting = 8;  // only names the target already has

// Modes of UpdateTrackedAttributes.
constexpr int32_t kTrackAddOnly = 0;
constexpr int32_t kTrackUpdate = 1;
constexpr int32_t kTrackForce = 2;

// While set, SetAttributeValue leaves existing attributes alone (MergeAttributes without
// overwriting sets it for its duration).
extern bool& gDontOverwriteExistingAttrs;  // a member of the model's state record

// h = h x 13 + c over the name's bytes upper-cased (ASCII letters); the low 16 bits (0 for an
// empty name).
uint16_t CalcNameHash(const char* name);

// Copies out what is asked of record `index`: name and value into buffers of kAttributeTextSize
// bytes, the flags, the raw record. A null handle, or an index whose record is not inside the
// handle, gives empty texts, flags 0 and a zero record.
void GetIndexedAttribute(StringBlock block, Handle handle, uint32_t offset, int32_t index,
                         char* name, char* value, uint16_t* flags, AttributeRecord* raw);
// Replaces what is given of record `index` (a new name is stored with overlay and rehashed) and
// keeps the rest, the spare byte included.
void SetIndexedAttribute(StringBlock block, Handle handle, uint32_t offset, int32_t index,
                         const char* name, const char* value, const uint16_t* flags);

// The index of the attribute named `name`, or (count | 0x8000) when absent (the value emptied,
// flags 0). A record's text is compared only when its hash byte equals the name's. The value goes
// into a buffer of valueSize bytes.
int16_t GetAttributeValue(StringBlock block, Handle handle, uint32_t offset, int32_t count,
                          const char* name, char* value, uint16_t* flags,
                          int32_t valueSize = kAttributeTextSize);
// Sets a value by name; returns the index found, or (count | 0x8000) when the name was absent.
// Existing name: null deletes it, an empty text changes nothing, kAttributeEmptyValue stores the
// empty value, any other text replaces value and flags. Absent name: a non-null value appends a
// record; null does nothing. Given flags replace the record's. Nothing is added when a string
// cannot be stored, the handle cannot grow or the run is full.
int16_t SetAttributeValue(StringBlock block, Handle handle, uint32_t offset, int16_t* count,
                          const char* name, const char* value, const uint16_t* flags);
void DeleteIndexedAttribute(Handle handle, uint32_t offset, int16_t* count, int32_t index);
// Removes every attribute whose value is empty (or only spaces, unless keepSpaces); true when any
// was removed.
bool DeleteEmptyAttributes(Handle handle, uint32_t offset, int16_t* count, StringBlock block,
                           bool keepSpaces);
// The number of names that do not begin with "~".
int32_t CountUserAttributes(StringBlock block, Handle handle, uint32_t offset, int32_t count);
// flags = (flags & ~clear) | set for every index from first to last.
void ChangeAttributeFlags(Handle handle, uint32_t offset, int32_t first, int32_t last, uint16_t set,
                          uint16_t clear);
// Sets the source's attributes in the target as the options say (kMerge...); a null target block
// is the source block. True when an attribute was added to the target.
bool MergeAttributes(StringBlock sourceBlock, Handle source, uint32_t sourceOffset,
                     int32_t sourceCount, StringBlock targetBlock, Handle target,
                     uint32_t targetOffset, int16_t* targetCount, uint32_t options);

// Moves the name and value of every attribute into another block, taking the attributes in
// ascending order of their names so that the new block's layout does not depend on the run's
// order; each name's hash is taken again from its moved text (recoding may change it). Nothing
// happens for a null handle or a zero count. On failure (-108, -50) the run is unchanged; strings
// already added to `to` stay there unused.
OSStatus ChangeAttributesStringBlock(Handle handle, uint32_t offset, int32_t count,
                                     StringBlock from, StringBlock to);
// The order of ChangeAttributesStringBlock: the byte order of the two texts, both recoded first
// as the string layer's transfer mode recodes older text.
int SortAttributeSpecsCompareProc(const StringRef* a, const StringRef* b);

// Blocks that hold the strings of one attribute run and of nothing else. Purging rebuilds such a
// block from the run alone, which would destroy the strings of any other record kept there; so
// the owner of a block marks it here while that holds (from making or adopting the block until it
// frees it or lets other records use it), and the purge refuses every other block.
void SetStringBlockOwnedByAttributes(StringBlock block, bool owned);
bool IsStringBlockOwnedByAttributes(StringBlock block);
// Compacts a block that only this run uses: the run's strings are moved into a fresh block of the
// same pool and quantum, whose bytes then replace the given block's, so that the owner's handle
// stays valid. -50 (and an assertion in checked builds) for a block not marked as owned by an
// attribute run; -108 when memory fails; either way the run and the block are unchanged.
OSStatus PurgeAttributesStringBlock(Handle handle, uint32_t offset, int32_t count,
                                    StringBlock block);

// Swaps each record of the run by "L2W".
void ByteSwapAttributes(Handle handle, uint32_t offset, int32_t count);

// The run for a placed symbol from a library item's attributes: a copy of the item's handle with
// the run emptied, then for each library attribute X that does not begin with "~", "~~X" and X
// set to X's value with X's flags, strings in the target block. *count is in: the library run's
// count, out: the new run's. Null (count 0) when memory fails.
Handle BuildTrackedAttributesTable(Handle library, uint32_t offset, int16_t* count,
                                   StringBlock source, StringBlock target);
// Removes every tracking copy whose attribute is not in the run. With freeWhenEmpty, a run that
// ends empty in an empty handle frees the handle and gives null; else the handle.
Handle PurgeTrackingAttributes(Handle handle, uint32_t offset, int16_t* count, StringBlock block,
                               bool freeWhenEmpty);
// Brings a placed symbol's run up to its library item's (a null library handle: the item has no
// attributes any more). kTrackAddOnly only adds what the placed run lacks; kTrackUpdate also
// takes library changes into values the user left as they came; kTrackForce takes them into
// every value. Other modes act as kTrackUpdate.
void UpdateTrackedAttributes(Handle library, uint32_t libraryOffset, int32_t libraryCount,
                             StringBlock libraryBlock, Handle placed, uint32_t placedOffset,
                             int16_t* placedCount, StringBlock placedBlock, int32_t mode);

// The predefined macros "SDate", "LDate", "SheetName" and "ProjectName", numbered 1 to 4, each with
// the value "|<number>". The first InitPredefinedMacros makes the run; later calls do nothing.
extern Handle gPredefinedMacros;
extern int16_t gPredefinedMacroCount;
extern StringBlock gPredefinedMacroLabels;
void InitPredefinedMacros();
void SetPredefinedMacroAtribute(const char* name, int32_t number);

// The name of an attribute text {name} or {@name} (the at flag tells which): at least 3 bytes of
// `text` (up to its NUL or `length`, whichever comes first), beginning with "{" and ending with
// "}", a name that is not empty and holds none of space, "~", "{" and "}". True with the name in a
// buffer of nameSize bytes; else false and the name emptied.
[[nodiscard]] bool ParseAttrTextName(const char* text, int32_t length, char* name, int32_t nameSize, bool* at);

// ---- Stored form ----

// Writes the first `count` records of the handle as a stream handle (-1 for a null handle, which
// needs count 0); -50 when the handle does not hold them.
OSStatus WriteAttributeRun(StreamRecord* stream, Handle handle, int32_t count);
// Reads a run written by WriteAttributeRun into a new handle of `pool` (none for a stored -1),
// swapping the records when the stream swaps on read. -50 when the stored length is not count x 12
// (or is -1 with a count), -39 for a stream that ends early, -108 when memory fails; on failure
// nothing is left allocated and *handle is null.
OSStatus ReadAttributeRun(StreamRecord* stream, MemPool pool, int32_t count, Handle* handle);

}  // namespace plexa
