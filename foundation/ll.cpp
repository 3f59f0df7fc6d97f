// LL lists; see ll.h.
#include "foundation/ll.h"

namespace plexa {

namespace {

static_assert(sizeof(LinkListHeader) <= 48, "headers are 48-byte blocks");

constexpr uint32_t kHeaderSize = 48;
MemPool gLLHeaderPool = nullptr;

// The header pool shared by lists created without kLLOwnPool.
MemPool HeaderPool() {
    (void)InitFixedBlockPool(&gLLHeaderPool, 4096, kHeaderSize);  // none: the caller's allocation fails
    return gLLHeaderPool;
}

// The link field of an item: the first word of a pointer item, of a handle item's data.
void*& Link(const LinkListHeader* list, const void* item) {
    void* data = (list->flags & kLLHandles) ? static_cast<void*>(*static_cast<char* const*>(item))
                                            : const_cast<void*>(item);
    return *static_cast<void**>(data);
}

// The last item of recently appended lists, so that appending one item after another does not
// walk the list each time. An entry holds while the list's version is the one it was taken at
// and its item still ends the list; any other link, unlink or reorder changes the version. The
// table is direct-mapped by the header's address; a header's entry goes when it is made or freed,
// since a new header may reuse the address.
struct TailEntry {
    const LinkListHeader* list;
    void* tail;
    uint32_t version;
};
TailEntry gTails[256];

TailEntry& TailOf(const LinkListHeader* list) {
    const auto address = reinterpret_cast<uintptr_t>(list);
    return gTails[(address >> 4 ^ address >> 12) & 255];
}

void ForgetTail(const LinkListHeader* list) {
    TailEntry& entry = TailOf(list);
    if (entry.list == list) entry = TailEntry{};
}

void KeepTail(const LinkListHeader* list, void* tail) { TailOf(list) = TailEntry{list, tail, list->version}; }

void FreeItem(const LinkListHeader* list, void* item) {
    if (list->flags & kLLHandles) {
        MemFree(static_cast<Handle>(item));
    } else {
        MemFreePtr(static_cast<Ptr>(item));
    }
}

}  // namespace

LinkListHeader* LLCreate(MemPool pool, uint32_t itemSize, uint32_t flags) {
    if (!(flags & kLLFixedSize) && itemSize < sizeof(void*)) return nullptr;
    void* block = (flags & kLLOwnPool) ? static_cast<void*>(AllocPtrClear(pool, kHeaderSize))
                                       : (HeaderPool() ? AllocFSPtrClear(HeaderPool()) : nullptr);
    if (!block) return nullptr;
    auto* list = static_cast<LinkListHeader*>(block);
    ForgetTail(list);
    list->pool = pool ? pool : gCurrentPool;
    list->flags = flags;
    list->itemSize = itemSize;
    return list;
}

void* LLAlloc(LinkListHeader* list) {
    if (!list) return nullptr;
    if (list->flags & kLLHandles) return AllocHandleClear(list->pool, list->itemSize);
    if (list->flags & kLLFixedSize) return AllocFSPtrClear(list->pool);
    return AllocPtrClear(list->pool, list->itemSize);
}

void* LLInsert(LinkListHeader* list, void* after, void* item) {
    if (!list) return nullptr;
    if (!item && !(item = LLAlloc(list))) return nullptr;
    if (after) {
        Link(list, item) = Link(list, after);
        Link(list, after) = item;
    } else {
        Link(list, item) = list->first;
        list->first = item;
    }
    ++list->count;
    ++list->version;
    if (!Link(list, item)) KeepTail(list, item);
    return item;
}

void* LLPush(LinkListHeader* list, void* item) { return LLInsert(list, nullptr, item); }

void* LLAppend(LinkListHeader* list, void* item) { return LLInsert(list, LLLast(list), item); }

void* LLInsertAt(LinkListHeader* list, int32_t index, void* item) {
    if (!list) return nullptr;
    if (index == 0) return LLInsert(list, nullptr, item);
    if (index > 0 && uint32_t(index) < list->count) {
        return LLInsert(list, LLGetIndexedLink(list, uint32_t(index - 1)), item);
    }
    return LLAppend(list, item);
}

void* LLGetNext(const LinkListHeader* list, const void* item) {
    return (list && item) ? Link(list, item) : nullptr;
}

void* LLGetIndexedLink(const LinkListHeader* list, uint32_t index) {
    void* item = LLFirst(list);
    while (item && index--) item = Link(list, item);
    return item;
}

int32_t LLGetLinkPosition(const LinkListHeader* list, const void* item) {
    int32_t index = 0;
    for (void* p = LLFirst(list); p; p = Link(list, p), ++index) {
        if (p == item) return index;
    }
    return -1;
}

void* LLLast(const LinkListHeader* list) {
    void* item = LLFirst(list);
    if (!item) return nullptr;
    const TailEntry& entry = TailOf(list);
    if (entry.list == list && entry.version == list->version && entry.tail && !Link(list, entry.tail))
        return entry.tail;
    while (void* next = Link(list, item)) item = next;
    KeepTail(list, item);
    return item;
}

bool LLRemoveOrFree(LinkListHeader* list, void* item, void* previousHint, bool freeItem) {
    if (!list || !item) return false;
    void* previous = previousHint;
    void* p = previous ? Link(list, previous) : list->first;
    while (p && p != item) {
        previous = p;
        p = Link(list, p);
    }
    if (!p) return false;
    if (previous) {
        Link(list, previous) = Link(list, item);
    } else {
        list->first = Link(list, item);
    }
    --list->count;
    ++list->version;
    if (freeItem) {
        if (list->freeProc) list->freeProc(list, item, previous, 1);
        FreeItem(list, item);
    }
    return true;
}

void* LLPop(LinkListHeader* list, bool freeItem) {
    void* item = LLFirst(list);
    if (!item || !LLRemoveOrFree(list, item, nullptr, freeItem)) return nullptr;
    return freeItem ? nullptr : item;
}

void LLRemoveOrFreeAll(LinkListHeader* list, bool freeItem) {
    if (!list) return;
    if (freeItem) {
        void* item = list->first;
        while (item) {
            void* next = Link(list, item);
            if (list->freeProc) list->freeProc(list, item, nullptr, 1);
            FreeItem(list, item);
            item = next;
        }
    }
    list->first = nullptr;
    list->count = 0;
    ++list->version;
}

void LLDispose(LinkListHeader* list, bool freeItem) {
    if (!list) return;
    LLRemoveOrFreeAll(list, freeItem);
    ForgetTail(list);
    MemFreePtr(reinterpret_cast<Ptr>(list));
}

bool LLEnum(LinkListHeader* list, LLEnumProc proc, void* value) {
    for (void* item = LLFirst(list); item; item = Link(list, item)) {
        if (proc(list, item, value)) return true;
    }
    return false;
}

void* LLReverse(LinkListHeader* list) {
    if (!list) return nullptr;
    void* previous = nullptr;
    void* item = list->first;
    while (item) {
        void* next = Link(list, item);
        Link(list, item) = previous;
        previous = item;
        item = next;
    }
    list->first = previous;
    ++list->version;
    return previous;
}

}  // namespace plexa
