// The pooled heap manager: every block of the program comes from a pool (`MemPool`) that carves
// pages taken from malloc into fixed-size blocks, small blocks (8-byte classes below 247 bytes),
// variable blocks with boundary tags, and external blocks (one large block per page).
// Relocatable blocks are reached through handle-table entries (`Handle`: the handle points at the
// entry, whose first field is the data address) and may move on resize or compaction while
// unlocked. Failures report a code to the installed error handler and return nothing or false.
// Single-threaded: all calls belong to the main thread.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct MemPoolRecord;
using MemPool = MemPoolRecord*;

// Error codes reported to the error handler; MemErrorText gives the stored name of each.
constexpr int32_t MEM_INTERNAL_ERROR = 1;
constexpr int32_t MEM_OUT_OF_MEMORY = 2;
constexpr int32_t MEM_BLOCK_TOO_BIG = 3;
constexpr int32_t MEM_ALLOC_ZERO = 4;
constexpr int32_t MEM_RESIZE_FAILED = 5;
constexpr int32_t MEM_LOCK_ERROR = 6;
constexpr int32_t MEM_EXCEEDED_CEILING = 7;
constexpr int32_t MEM_TOO_MANY_PAGES = 8;
constexpr int32_t MEM_TOO_MANY_TASKS = 9;
constexpr int32_t MEM_BAD_MEM_POOL = 10;
constexpr int32_t MEM_BAD_BLOCK = 11;
constexpr int32_t MEM_BAD_FREE_BLOCK = 12;
constexpr int32_t MEM_BAD_HANDLE = 13;
constexpr int32_t MEM_BAD_POINTER = 14;
constexpr int32_t MEM_WRONG_TASK = 15;

// Allocation flags.
constexpr uint32_t kMemZeroFill = 0x1;       // MemAllocPtr, MemAlloc, MemReAlloc*: clear new bytes
constexpr uint32_t kMemRelocatable = 0x2;    // MemAlloc: a block that may move (handle pages)
constexpr uint32_t kMemMoveLocked = 0x2;     // MemReAlloc: may move even while locked
constexpr uint32_t kMemDoNotMove = 0x8;      // MemReAlloc, MemReAllocPtr: resize in place only
constexpr uint32_t kMemNoNewPage = 0x10;     // take no new page (small or variable)
constexpr uint32_t kMemNoExternal = 0x20;    // never fall back to an external page
constexpr uint32_t kMemNoCompaction = 0x40;  // do not run the pool compaction

// Page kinds as bits (MemPoolPreAllocate's kind, MemPoolInfoRecord::pageKinds).
constexpr uint32_t kMemFixedPages = 1;
constexpr uint32_t kMemRelocatablePages = 2;
constexpr uint32_t kMemPlainPages = 4;

// Pool creation flags of the default pool and of pools made by the memory layer.
constexpr uint32_t kMemPoolStandardFlags = 0x8000;

// What the error handler receives.
struct MemErrorRecord {
    int32_t code;
    MemPool pool;  // the pool concerned, null when unknown
};

// Returns non-zero to ask for a retry (only out-of-memory cases retry).
using MemErrorHandler = int32_t (*)(MemErrorRecord* error);

// Filled by MemPoolInfo.
struct MemPoolInfoRecord {
    MemPool pool;
    uint32_t pageKinds;    // kMemFixedPages | kMemRelocatablePages | kMemPlainPages present
    uint32_t blockSizeFS;  // fixed-size block size, 0 for none
    uint32_t pageSize;
    uint32_t floor;
    uint32_t ceiling;
    uint32_t flags;
    MemErrorHandler errorHandler;
    uint32_t totalBytes;   // bytes of pages, descriptors and tables taken from the system
};

// Pools.
MemPool MemPoolInit(uint32_t flags);
MemPool MemInitDefaultPool();
MemPool MemDefaultPool();  // the default pool, null before MemInitDefaultPool
uint32_t MemPoolSetPageSize(MemPool pool, uint32_t size);   // returns the old size, 0 if refused
bool MemPoolSetBlockSizeFS(MemPool pool, uint32_t size);
uint32_t MemPoolSetFloor(MemPool pool, uint32_t bytes);     // old floor, 0xFFFFFFFF if refused
uint32_t MemPoolSetCeiling(MemPool pool, uint32_t bytes);   // old ceiling, 0xFFFFFFFF if refused
uint32_t MemPoolPreAllocate(MemPool pool, uint32_t bytes, uint32_t kind);
uint32_t MemPoolPreAllocateHandles(MemPool pool, uint32_t count);
bool MemPoolFree(MemPool pool);
bool MemPoolInfo(MemPool pool, const void* pointer, MemPoolInfoRecord* info);
// The pool compaction procedure: slides unlocked handle blocks together and empties a page when
// no single page gets a free block of `size` bytes; returns the largest free block produced.
uint32_t MemPoolCompact(MemPool pool, uint32_t size);

// Pointers.
Ptr MemAllocPtr(MemPool pool, uint32_t size, uint32_t flags);
Ptr MemAllocFS(MemPool pool);
bool MemFreePtr(void* pointer);
Ptr MemReAllocPtr(void* pointer, uint32_t size, uint32_t flags);
uint32_t MemSizePtr(const void* pointer);  // usable size, 0xFFFFFFFF for a bad pointer

// Handles.
Handle MemAlloc(MemPool pool, uint32_t flags, uint32_t size);
Handle MemReAlloc(Handle handle, uint32_t size, uint32_t flags);
bool MemFree(Handle handle);
Ptr MemLock(Handle handle);
uint32_t MemUnlock(Handle handle);  // remaining lock count, 65535 on error
uint32_t MemSize(Handle handle);
uint32_t MemSizeRequested(Handle handle);

// Error handling.
MemErrorHandler MemSetErrorHandler(MemErrorHandler handler);
int32_t MemDefaultErrorHandler(MemErrorRecord* error);
const char* MemErrorText(int32_t code);  // the stored name or text of a code

// Alert sound hook, played by the default handler and the re-entry report; a higher layer may
// install one (none by default).
using MemAlertProc = void (*)();
MemAlertProc MemSetAlertProc(MemAlertProc proc);

}  // namespace plexa
