// LL lists: singly linked lists whose items begin with the link to the next item. The header
// knows how its items are allocated (pointers of an item size, fixed-size blocks of a pool, or
// handles), counts them and calls the owner's free procedure before it frees an item. New items
// go to the head unless a position is given.
#pragma once

#include "foundation/memory.h"

namespace plexa {

struct LinkListHeader;

// Called before an item is freed: (list, item, previous item or none, free flag).
using LLFreeProc = void (*)(LinkListHeader* list, void* item, void* previous, uint32_t flag);
// Called by `LLEnum` for each item; true stops the walk.
using LLEnumProc = bool (*)(LinkListHeader* list, void* item, void* value);

constexpr uint32_t kLLHandles = 0x1;    // items are handles; the link is the first field of the data
constexpr uint32_t kLLFixedSize = 0x2;  // items are fixed-size blocks of the list's pool
constexpr uint32_t kLLOwnPool = 0x4;    // the header lives in the list's pool

// How a list's items are allocated and freed. Lists of one kind (the wire lists of every signal,
// say) share one record, so that a header holds only what differs from list to list.
struct LLKind {
    MemPool pool;         // pool of the items
    LLFreeProc freeProc;  // set by the owner
    uint32_t flags;
    uint32_t itemSize;    // bytes of an item, link included
    uint32_t uses;        // headers that point at it; it goes with the last
};

struct LinkListHeader {
    void* first;          // first item, none when empty
    const LLKind* kind;   // shared, never null
    void* owner;          // the owner's word; the list operations never touch it
    uint32_t count;
    uint32_t version;     // changes whenever an item is linked, unlinked or the order changes
};

inline MemPool LLPool(const LinkListHeader* list) { return list->kind->pool; }
inline LLFreeProc LLGetFreeProc(const LinkListHeader* list) { return list->kind->freeProc; }
inline uint32_t LLFlags(const LinkListHeader* list) { return list->kind->flags; }
inline uint32_t LLItemSize(const LinkListHeader* list) { return list->kind->itemSize; }

// A zeroed header; nothing when out of memory, or when pointer or handle items would be too small
// to hold their link (item size below 8).
LinkListHeader* LLCreate(MemPool pool, uint32_t itemSize, uint32_t flags);

inline void* LLFirst(const LinkListHeader* list) { return list ? list->first : nullptr; }
// Gives the list a free procedure; false (the list unchanged) when memory fails.
bool LLSetFreeProc(LinkListHeader* list, LLFreeProc proc);
// The item's own data, just after its link.
inline void* PtrPlus(void* item) { return static_cast<char*>(item) + sizeof(void*); }

// A zero-filled item of the list's kind, not linked; nothing when out of memory.
void* LLAlloc(LinkListHeader* list);
// Links `item` (a fresh zero-filled one when none) after `after`, or at the head when none.
// Returns the item, nothing when it could not be allocated.
void* LLInsert(LinkListHeader* list, void* after, void* item);
void* LLPush(LinkListHeader* list, void* item);
void* LLAppend(LinkListHeader* list, void* item);
// Index 0 inserts at the head, 1 to count - 1 after the item at index - 1, any other at the end.
void* LLInsertAt(LinkListHeader* list, int32_t index, void* item);

void* LLGetNext(const LinkListHeader* list, const void* item);
void* LLGetIndexedLink(const LinkListHeader* list, uint32_t index);
// The item's index, -1 when it is not in the list.
int32_t LLGetLinkPosition(const LinkListHeader* list, const void* item);
void* LLLast(const LinkListHeader* list);

// Unlinks `item`, searching from the successor of `previousHint` (from the head when none; a
// hint after the item therefore misses it). With `freeItem` the free procedure runs first and the
// item is freed. False when the item was not found.
bool LLRemoveOrFree(LinkListHeader* list, void* item, void* previousHint, bool freeItem);
// Unlinks the first item and returns it; none when freed or when the list is empty.
void* LLPop(LinkListHeader* list, bool freeItem);
// Empties the list, freeing every item from the head when `freeItem` is set.
void LLRemoveOrFreeAll(LinkListHeader* list, bool freeItem);
// `LLRemoveOrFreeAll`, then frees the header.
void LLDispose(LinkListHeader* list, bool freeItem);

// Calls `proc` for each item from the head until it returns true (then true). The next item is
// read after the call, so `proc` must not free the item it is given.
bool LLEnum(LinkListHeader* list, LLEnumProc proc, void* value);
// Reverses the links in place; returns the new first item.
void* LLReverse(LinkListHeader* list);

}  // namespace plexa
