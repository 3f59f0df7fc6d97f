// The upkeep of a sheet's string block: every string of the sheet's records lives there, and edits
// only ever add to it, so the strings of deleted and changed records stay behind until the block
// is compacted. Compaction moves the live strings of every record into a fresh block (each
// module's change-string-block operation), which is also where the texts of sheets stored before
// UTF-8 (an encoding level below 2) are recoded from Mac OS Roman.
//
// A block addresses only strings that start within its first 4 MiB. An edit whose strings may not
// fit asks first (ReserveSheetString): a text that cannot be stored fails the edit with
// kStringBlockFull, and the sheet keeps the text it had.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct SheetRecord;

// The growth quantum of the fresh block of a compaction (its initial size).
constexpr int32_t kSheetStringBlockQuantum = 4096;
// After a compaction the growth limit is the block's used size plus this: the block is compacted
// again when it has grown past it.
constexpr uint32_t kSheetStringCompactionSlack = 2048;
// The encoding level of sheets whose texts are UTF-8; below it they are Mac OS Roman.
constexpr uint16_t kSheetUTF8EncodingLevel = 2;

// Moves every live string of the sheet into a fresh block and frees the old one: the sheet's
// attributes, every symbol, every component, the pin-data table, every signal, every buss and
// every text, turning the busy cursor between the groups (model/waitcursor.h). A sheet of an
// encoding level below 2 has its texts recoded from Mac OS Roman to UTF-8 on the way and gets
// level 2. The growth limit becomes the new block's used size plus kSheetStringCompactionSlack.
//
// All or nothing: on failure (-108, or kStringBlockFull when the recoded texts would not fit) the
// sheet keeps its block, specs, level and limit; only a recoding that cannot fit leaves the sheet
// compacted (its new limit set) in its old encoding. Only for a sheet that nothing else holds specs into (undo
// records, clips and the search keep specs of the block they were made in): the loader calls it.
OSStatus CompactSheetStringBlock(SheetRecord* sheet);

// Makes sure the text can be stored in the block: it is found there already or added now (so that
// every later add of the same text finds it and cannot fail). 0, or the add's status
// (kStringBlockFull, -108); an empty text or none is always 0.
OSStatus ReserveBlockString(StringBlock block, const char* text);
// The same in the sheet's block.
OSStatus ReserveSheetString(SheetRecord* sheet, const char* text);
// Whether every string of `from` can be moved into `into`, whatever they share: the bytes of
// `from` added after those of `into` still start where specs address.
bool StringBlockCanTake(StringBlock into, StringBlock from);

}  // namespace plexa
