// Pooled heap manager (interface stubs; the allocator follows).
#include "foundation/heap.h"

namespace plexa {

MemPool MemPoolInit(uint32_t) { return nullptr; }
MemPool MemInitDefaultPool() { return nullptr; }
MemPool MemDefaultPool() { return nullptr; }
uint32_t MemPoolSetPageSize(MemPool, uint32_t) { return 0; }
bool MemPoolSetBlockSizeFS(MemPool, uint32_t) { return false; }
uint32_t MemPoolSetFloor(MemPool, uint32_t) { return 0xFFFFFFFF; }
uint32_t MemPoolSetCeiling(MemPool, uint32_t) { return 0xFFFFFFFF; }
uint32_t MemPoolPreAllocate(MemPool, uint32_t, uint32_t) { return 0; }
uint32_t MemPoolPreAllocateHandles(MemPool, uint32_t) { return 0; }
bool MemPoolFree(MemPool) { return false; }
bool MemPoolInfo(MemPool, const void*, MemPoolInfoRecord*) { return false; }
uint32_t MemPoolCompact(MemPool, uint32_t) { return 0; }
Ptr MemAllocPtr(MemPool, uint32_t, uint32_t) { return nullptr; }
Ptr MemAllocFS(MemPool) { return nullptr; }
bool MemFreePtr(void*) { return false; }
Ptr MemReAllocPtr(void*, uint32_t, uint32_t) { return nullptr; }
uint32_t MemSizePtr(const void*) { return 0xFFFFFFFF; }
Handle MemAlloc(MemPool, uint32_t, uint32_t) { return nullptr; }
Handle MemReAlloc(Handle, uint32_t, uint32_t) { return nullptr; }
bool MemFree(Handle) { return false; }
Ptr MemLock(Handle) { return nullptr; }
uint32_t MemUnlock(Handle) { return 65535; }
uint32_t MemSize(Handle) { return 0; }
uint32_t MemSizeRequested(Handle) { return 0; }
MemErrorHandler MemSetErrorHandler(MemErrorHandler) { return nullptr; }
int32_t MemDefaultErrorHandler(MemErrorRecord*) { return 0; }
const char* MemErrorText(int32_t) { return "MEM_INTERNAL_ERROR"; }
MemAlertProc MemSetAlertProc(MemAlertProc) { return nullptr; }

}  // namespace plexa
