// String blocks, string specs, string caches and text refs.
//
// Records of the sheet model and of the libraries do not own their strings: each string lives in
// a `StringBlock`, one growable handle of packed bytes per document or list, and the record holds
// a 32-bit `StringSpec` that says where. Adding with overlay reuses bytes already in the block, so
// equal strings, and strings that are heads or tails of each other, cost nothing more. A block is
// compacted by moving the live strings of its records into a fresh block (`TransferStringSpec`),
// which is also where texts of older files are recoded to UTF-8.
//
// Stored form of a block (written as it lies in memory, in the writer's byte order):
//   u32 magic 0xDA7ABED1
//   u32 allocated size   bytes of the handle, header included
//   u32 used size        header included; 16 when empty
//   u16 growth quantum   at least 64
//   u16 zero
//   then used size - 16 string bytes, packed without terminators.
// The header swaps by the template "L3W"; the string bytes never need swapping. A reader knows the
// writer's byte order by the magic. A block created or grown here has an allocated size that is a
// multiple of its quantum and zero bytes from its used size to its allocated size.
//
// A spec is (offset of the string from the start of the block, header included) << 10 | length:
//  - lengths are 0 to 1023 bytes; a longer string is cut to at most 1023 bytes at a UTF-8
//    character boundary (at exactly 1023 bytes when the text is not UTF-8) before it is added;
//  - offsets have 22 bits, so a string must start below 4 MiB: an add that would start a string
//    there is refused (spec 0, `StringBlockAddStatus` gives kStringBlockFull) and nothing is
//    written;
//  - spec 0 is the empty string; every real string starts at offset 16 or later.
// Extraction checks a spec against the block's used size and gives the empty string for a spec
// that does not lie inside it.
#pragma once

#include <cstdint>

#include "foundation/heap.h"
#include "foundation/types.h"

namespace plexa {

struct StreamRecord;

using StringBlock = Handle;
using StringSpec = uint32_t;

constexpr uint32_t kStringBlockMagic = 0xDA7ABED1;
constexpr uint32_t kStringBlockHeaderSize = 16;
constexpr uint32_t kStringBlockMinQuantum = 64;
constexpr uint32_t kStringSpecMaxLength = 1023;
// Strings must start below this offset.
constexpr uint32_t kStringBlockOffsetLimit = uint32_t(1) << 22;
// The largest allocated size a block may have: its last string starts below the offset limit,
// runs at most 1023 bytes, and the handle is rounded up to a quantum of at most 65535 bytes.
constexpr uint32_t kStringBlockMaxAllocated = kStringBlockOffsetLimit + 1024 + 0xFFFF;
// A buffer that holds any string of a spec and its terminator.
constexpr int32_t kStringSpecBufferSize = kStringSpecMaxLength + 1;

struct StringBlockHeader {
    uint32_t magic;
    uint32_t allocated;
    uint32_t used;
    uint16_t quantum;
    uint16_t zero;
};
static_assert(sizeof(StringBlockHeader) == kStringBlockHeaderSize);

// A string block with one of its specs.
struct StringRef {
    StringBlock block;
    StringSpec spec;
};

constexpr uint32_t StringSpecOffset(StringSpec spec) { return spec >> 10; }
constexpr uint32_t StringSpecLength(StringSpec spec) { return spec & 1023; }

// ---- Blocks ----

// A quantum below 64 becomes 64 (only its low 16 bits count). Null when memory fails.
StringBlock CreateStringBlock(MemPool pool, int32_t quantum);
// Used size back to 16 and the string bytes zeroed; with shrink the handle is cut to one quantum.
void EmptyStringBlock(StringBlock block, bool shrink);
void DestroyStringBlock(StringBlock block);
// Resizes the handle to size rounded up to the quantum, lowers the used size to it when above and
// zeroes the bytes from the used size to the end. False (block unchanged) when the handle cannot
// be resized or the size is above kStringBlockMaxAllocated.
bool ResizeStringBlock(StringBlock block, uint32_t size);

// The status of the last add (append, overlay, transfer): 0, -108 when the block could not grow,
// kStringBlockFull when the string would start at or beyond 4 MiB, -50 when the block is not a
// valid string block. A failed add returns spec 0 and changes nothing.
OSStatus StringBlockAddStatus();

// The length a string of `length` bytes gets in a spec: `length` up to 1023, else cut to at most
// 1023 bytes at a UTF-8 character boundary (1023 when the text is not UTF-8).
uint32_t ClampStringSpecLength(const char* bytes, uint32_t length);

// Adds the bytes at the used size (growing the block as needed) and returns their spec; length 0
// gives spec 0 and adds nothing. A length whose low 16 bits are all set (0xFFFF or -1) means a
// NUL-terminated string. `out`, when given, receives the block and the spec.
StringSpec AppendStringBlock(StringBlock block, const void* bytes, uint32_t length, StringRef* out);
StringSpec AppendStringBlockP(StringBlock block, const unsigned char* string, StringRef* out);

// As append, but first looks for the string in the packed bytes: when it occurs whole, its first
// occurrence is used and nothing is added; when the packed bytes end with a head of the string,
// the string starts there and only the rest is added. A negative length, or one whose low 16 bits
// are all set, means a NUL-terminated string.
StringSpec OverlayStringBlock(StringBlock block, const void* bytes, int32_t length, StringRef* out);
StringSpec OverlayStringBlockP(StringBlock block, const unsigned char* string, StringRef* out);

// Copies min(spec length, size - 1) bytes and a NUL into a buffer of `size` bytes and returns the
// bytes copied; a size below 1 writes nothing. kStringSpecBufferSize holds any string. Spec 0, or
// a spec outside the block, gives the empty string.
int16_t ExtractStringSpec(StringSpec spec, StringBlock block, char* buffer, int32_t size);
// Into a length-prefixed buffer of `size` bytes: min(spec length, size - 1, 255) bytes behind a
// length byte. A size below 1 writes nothing.
int16_t ExtractStringSpecP(StringSpec spec, StringBlock block, unsigned char* buffer, int32_t size);

// While the counter that `on` raises and `off` lowers (never below 0) is not 0, extractions
// upper-case the bytes they copy (ASCII letters).
void UppercaseStringExtraction(bool on);

// The string-transfer recoding mode that a compaction sets while it runs (see TransferStringSpec).
constexpr uint16_t kStringTransferRecodeIfNeeded = 0x7238;  // "r8"
constexpr uint16_t kStringTransferRecodeAlways = 0x5238;    // "R8"
uint16_t GetStringTransferMode();
// Returns the former mode.
uint16_t SetStringTransferMode(uint16_t mode);

// A buffer that holds any spec's text recoded from Mac Roman (a byte becomes at most 3 bytes).
constexpr uint32_t kStringTransferBufferSize = kStringSpecMaxLength * 3 + 1;
// Recodes the NUL-terminated text in a buffer of `size` bytes as a transfer under the current
// mode would ("r8": only text that is not valid UTF-8, "R8": every text, from Mac Roman; other
// modes leave it). True when the text may have changed: its length is then its strlen.
bool RecodeForStringTransfer(char* buffer, uint32_t size);

// The spec of the same text in the destination: spec 0, or the same block on both sides, gives
// the spec unchanged. Under mode "r8" text that is not valid UTF-8 is recoded from Mac Roman, under
// "R8" every text is; a recoded text longer than 1023 bytes is cut at a character boundary.
// Spec 0 when the source spec does not resolve or the add fails (see StringBlockAddStatus).
StringSpec TransferStringSpec(StringSpec spec, StringBlock from, StringBlock to, bool overlay);

// 0 when both name the same block and spec; 1 when they name the same block with different specs
// and sameBlockUnequal is set; else the byte-wise comparison (negative, 0 or positive) of the
// two whole strings as extracted.
int32_t CompareStringRefs(const StringRef* a, const StringRef* b, bool sameBlockUnequal);

// Writes the used-size bytes of the block, header included, as they lie in memory. -50 for a
// block whose header is not valid.
OSStatus WriteStringBlock(StreamRecord* stream, StringBlock block);
// Reads a block written by WriteStringBlock in either byte order. With *block set, into that
// block (grown to the stored allocated size when smaller, its own allocated size kept when
// larger); else into a new zero-filled handle of the stored allocated size from `pool`.
// The header is checked before anything is allocated: a magic in neither byte order, a used size
// below 16 or above the allocated size, an allocated size above kStringBlockMaxAllocated, or a
// quantum below 64 give -50; string bytes beyond the stream's end give -39. -108 when memory
// fails. The bytes are read into a new handle first and a given block takes them over only when
// all were read: on failure *block stays null or the given block is left as it was.
OSStatus ReadStringBlockEx(StreamRecord* stream, MemPool pool, StringBlock* block);
// Always into a new handle.
OSStatus ReadStringBlock(StreamRecord* stream, MemPool pool, StringBlock* block);
// Swaps a header by "L3W".
void ByteSwapStringBlockHeader(StringBlockHeader* header);
// A block read as a stream handle (i32 length, then the block as it lay in memory) made usable:
// its header in this machine's order and in agreement with the handle (the allocated size becomes
// the handle's, the bytes past the used size zero). False when the header cannot be a block's:
// a magic in neither order, a used size below 16 or beyond the handle, a quantum below 64, a
// handle larger than kStringBlockMaxAllocated.
[[nodiscard]] bool AdoptStoredStringBlock(StringBlock block);

// ---- Plain strings ----

// For UTF-16 little-endian (0x14000100) the number of 16-bit units before a 0 unit, else strlen.
uint32_t VXGetStringLength(const void* string, uint32_t encoding);
// A copy of the string with its NUL in gGenPool, freed with MemFreePtr; null when memory fails.
Ptr AllocateString(const char* string);
// Copies min(handle size - offset, max) bytes and a NUL into buffer (which holds max + 1 bytes);
// an offset beyond the handle gives the empty string. Returns the bytes copied.
int32_t ExtractStringFromHandle(Handle handle, uint32_t offset, int32_t max, char* buffer);

// ---- Text refs ----

// The stored form {u32 offset, u16 length} ("LW"), with an offset relative to a base the caller
// gives.
#pragma pack(push, 2)
struct TextRef {
    uint32_t offset;
    uint16_t length;
};
#pragma pack(pop)
static_assert(sizeof(TextRef) == 6);

// offset = spec offset + base, length = spec length.
void StringSpecToTextRef(StringSpec spec, TextRef* ref, uint32_t base);
// ((offset + base) << 10) | (length & 1023); spec 0 when offset + base does not fit 22 bits.
StringSpec TextRefToStringSpec(const TextRef* ref, uint32_t base);
void ByteSwapTextRef(TextRef* ref);

// ---- String cache: a ring of recent strings ----

struct StringCache {
    StringBlock block;
    uint16_t quantum;
    uint16_t slotCount;  // a power of two
    uint16_t nextSlot;
    uint8_t overlay;     // add with overlay instead of append
    uint8_t wrapped;
    StringSpec specs[1];  // slotCount entries
};

// Slots below 2 give 16; 2 to 1024 the highest power of two not above; above 1024 give 1024. The
// record comes from gGenPool and the block has the given quantum. Null when memory fails.
StringCache* CreateStringCache(int32_t slots, int32_t quantum, bool overlay);
// Adds the string into the next slot and returns that slot; the next slot advances round the
// ring. At each return to slot 0 after the first, the strings of all slots move into a new block,
// so the block holds at most two rounds of the ring.
int32_t AddStringToCache(StringCache* cache, const char* string);
// The slot's string, as ExtractStringSpec; a slot outside the ring gives the empty string.
char* GetStringCacheString(StringCache* cache, int32_t slot, char* buffer, int32_t size);
void DestroyStringCache(StringCache* cache);

}  // namespace plexa
