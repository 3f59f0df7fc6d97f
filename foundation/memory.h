// The memory layer: the allocation interface that the rest of the program calls, over the pooled
// heap. It adds a current pool that stands in for a missing pool argument, pointers that know their
// requested size through a slack byte at their end, handles with a true size 0, byte-range editing
// of handles, allocation that signals -108 on failure, and compression of data bytes with zlib.
//
// Pointers are freed with `MemFreePtr`, handles with `MemFree` (foundation/heap.h).
//
// A handle's data may move on any resize, even while the handle is locked: callers fetch the data
// address again (`*h` or `MemLock`) after every call here that may grow or shrink it.
#pragma once

#include <cstdint>

#include "foundation/heap.h"
#include "foundation/types.h"

namespace plexa {

// The general pool (the heap's default pool) and the pool used when an allocator is given none.
extern MemPool gGenPool;
extern MemPool gCurrentPool;

// The heap error handler installed by `InitMemoryManager`: 0 for every error (no retry, no report),
// so failures come back to callers as empty results.
int32_t DefaultMemErrorHandler(MemErrorRecord* error);

// Sets up the layer: error handler, general pool with 64 KB pages, and `handleCount` preallocated
// handle entries (1024 when negative, none for 0). Allocators called before it run it with -1.
OSStatus InitMemoryManager(int32_t handleCount);

// A new pool with the standard flags and the given page size (rounded by the heap); null on failure.
MemPool CreatePool(uint32_t pageSize);
// Makes `*pool` once, a pool of fixed blocks of `blockSize` bytes; nothing when it exists already.
// On failure `*pool` stays null and nothing is kept.
OSStatus InitFixedBlockPool(MemPool* pool, uint32_t pageSize, uint32_t blockSize);
// The pool that owns a pointer, null for an invalid one.
MemPool GetPtrPool(const void* pointer);

// Fixed-size blocks of a pool (pool null = current pool), no slack byte: their size is the pool's
// block size. The `WithData` and `Clone` forms copy a whole block from `source` and need a pool.
Ptr AllocFSPtr(MemPool pool);
Ptr AllocFSPtrClear(MemPool pool);
Ptr AllocFSPtrWithData(MemPool pool, const void* source);
Ptr CloneFSPtr(MemPool pool, const void* source);

// Pointers with a slack byte (pool null = current pool); null when out of memory.
Ptr AllocPtr(MemPool pool, uint32_t size);
Ptr AllocPtrClear(MemPool pool, uint32_t size);
Ptr AllocPtrWithData(MemPool pool, const void* source, uint32_t size);
// Resizes *pointer to `size` (it may move) and stores the new address; false and unchanged on
// failure.
bool ResizePtr(Ptr* pointer, uint32_t size);
// The requested size of a pointer, 0 for an invalid one.
uint32_t SizeOfPtr(const void* pointer);
// A copy of a pointer's requested bytes; null for a pointer of size 0.
Ptr ClonePtr(MemPool pool, const void* pointer);

// Handle flags of `AllocHandleEx`.
constexpr uint32_t kHandlePlain = 1;
constexpr uint32_t kHandleClear = 5;     // zero-filled
constexpr uint32_t kHandleNoMove = 9;    // not relocatable

// Handles (pool null = current pool); null when out of memory. Size 0 makes an empty handle.
Handle AllocHandleEx(MemPool pool, uint32_t size, uint32_t flags);
Handle AllocHandle(MemPool pool, uint32_t size);
Handle AllocHandleClear(MemPool pool, uint32_t size);
Handle AllocHandleWithData(MemPool pool, const void* source, uint32_t size);
Handle CloneHandle(MemPool pool, Handle handle);

// 0 for an empty handle, else the requested size.
uint32_t SizeOfHandle(Handle handle);

// Resizes a handle (the heap's MemReAlloc flags in `flags`); false and unchanged on failure.
// `ResizeHandle` lets the block move even while the handle is locked.
bool ResizeHandleEx(Handle handle, uint32_t size, uint32_t flags);
bool ResizeHandle(Handle handle, uint32_t size);

// Resizes to `size` and copies `source` in (zeros when null).
bool SetHandleContent(Handle handle, const void* source, uint32_t size);
// Grows by `size` and copies `source` (zeros when null) to the old end; true at once for size 0.
bool AppendHandle(Handle handle, const void* source, uint32_t size);

// The replacement of `MungeHandle` that stands for zeros.
inline const void* const kMungeZeros = reinterpret_cast<const void*>(intptr_t(-1));
// `MungeHandle` results besides a position.
constexpr int32_t kMungeNotFound = -1;    // bad offset or length, or pattern absent
constexpr int32_t kMungeGrowFailed = -2;  // the handle could not be resized; nothing changed

// The general edit. Offset in 0..size; a negative `length` means to the end. With a pattern, the
// pattern (`length` bytes) is searched from `offset` and the edit position is where it was found;
// else the position is `offset` and the span is `length` bytes there. With a replacement (or
// `kMungeZeros`), the span is replaced by `replacementLength` bytes and the result is the position
// plus `replacementLength`; without one the result is the position (a find).
int32_t MungeHandle(Handle handle, int32_t offset, const void* pattern, int32_t length,
                    const void* replacement, int32_t replacementLength);

// Byte-range edits; false (nothing changed) for a range outside the handle or a failed growth.
// A negative length deletes to the end; a negative offset inserts at the end; a null source
// inserts zeros.
bool DeleteFromHandle(Handle handle, int32_t offset, int32_t length);
bool InsertInHandle(Handle handle, int32_t offset, const void* source, int32_t length);
bool SpliceHandleData(Handle handle, int32_t offset, int32_t deleteLength, const void* source,
                      int32_t insertLength);
// Copies `length` bytes from `offset` to `destination`; false (nothing copied) when the range is
// outside the handle.
bool ExtractFromHandle(Handle handle, uint32_t offset, uint32_t length, void* destination);

// `TryAlloc` kinds: bits 0 and 1 clear a pointer, bit 0 a handle, bit 1 alone a fixed-size block;
// bit 2 zero-fills.
constexpr uint32_t kTryPointer = 0;
constexpr uint32_t kTryHandle = 1;
constexpr uint32_t kTryFixed = 2;
constexpr uint32_t kTryClear = 4;
// Allocates as `kind` says; when nothing can be had, signals -108 and, with no catcher open,
// returns null.
void* TryAlloc(MemPool pool, uint32_t size, uint32_t kind);

// Index of the first occurrence of the pattern in the text, 0 for an empty pattern, -1 when absent.
int32_t QMemSearch(const void* pattern, uint32_t patternLength, const void* text,
                   uint32_t textLength);
// Where a string may be placed in a block so as to share bytes with it: the index of an
// occurrence (fullMatch true, 0 when either length is 0), else the start of the longest tail of
// the text that equals the pattern's beginning (fullMatch false), else textLength (append whole).
uint32_t QMemFindOverlayPos(const void* pattern, uint32_t patternLength, const void* text,
                            uint32_t textLength, bool* fullMatch);

// Compressed data bytes: a u32 big-endian length of the uncompressed data, then a zlib stream.
// `CompressDataBytes` gives a handle of that form and its size in *length, or null (*length 0)
// when compressing fails or does not make the data smaller. `ExpandDataBytes` gives the
// uncompressed bytes and their size in *length, or null (*length 0) when the input is malformed
// or does not expand to exactly the stored length.
Handle CompressDataBytes(MemPool pool, const void* source, uint32_t* length);
Handle ExpandDataBytes(MemPool pool, const void* compressed, uint32_t* length);

}  // namespace plexa
