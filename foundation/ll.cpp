// LL lists; see ll.h.
#include "foundation/ll.h"

#include <new>
#include <unordered_map>

namespace plexa {

namespace {

static_assert(sizeof(LinkListHeader) <= 32, "headers are 32-byte blocks");

constexpr uint32_t kHeaderSize = 32;
MemPool gLLHeaderPool = nullptr;

// The header pool shared by lists created without kLLOwnPool.
MemPool HeaderPool() {
    (void)InitFixedBlockPool(&gLLHeaderPool, 4096, kHeaderSize);  // none: the caller's allocation fails
    return gLLHeaderPool;
}

// The link field of an item: the first word of a pointer item, of a handle item's data.
// The shared kinds by what they hold; a kind goes when its last header does.
struct KindKey {
    MemPool pool;
    LLFreeProc freeProc;
    uint32_t flags;
    uint32_t itemSize;
    bool operator==(const KindKey&) const = default;
};
struct KindHash {
    size_t operator()(const KindKey& k) const {
        size_t h = std::hash<const void*>()(k.pool);
        h = h * 31 + std::hash<const void*>()(reinterpret_cast<const void*>(k.freeProc));
        return h * 31 + (size_t(k.flags) << 32 | k.itemSize);
    }
};
std::unordered_map<KindKey, LLKind*, KindHash>& Kinds() {
    static auto* kinds = new std::unordered_map<KindKey, LLKind*, KindHash>();
    return *kinds;
}

// The kind taken last: lists are mostly made many of a kind in a row.
LLKind* gLastKind = nullptr;

// One more use of the kind that holds these; none when memory fails.
const LLKind* TakeKind(MemPool pool, LLFreeProc freeProc, uint32_t flags, uint32_t itemSize) {
    LLKind* kind = gLastKind;
    if (!kind || kind->pool != pool || kind->freeProc != freeProc || kind->flags != flags ||
        kind->itemSize != itemSize) {
        const KindKey key{pool, freeProc, flags, itemSize};
        auto& kinds = Kinds();
        if (auto found = kinds.find(key); found != kinds.end()) {
            kind = found->second;
        } else {
            kind = new (std::nothrow) LLKind{pool, freeProc, flags, itemSize, 0};
            if (!kind) return nullptr;
            try {
                kinds.emplace(key, kind);
            } catch (const std::bad_alloc&) {
                delete kind;
                return nullptr;
            }
        }
        gLastKind = kind;
    }
    ++kind->uses;
    return kind;
}

void DropKind(const LLKind* kind) {
    if (!kind || --const_cast<LLKind*>(kind)->uses > 0) return;
    Kinds().erase(KindKey{kind->pool, kind->freeProc, kind->flags, kind->itemSize});
    if (gLastKind == kind) gLastKind = nullptr;
    delete kind;
}

void*& Link(const LinkListHeader* list, const void* item) {
    void* data = (LLFlags(list) & kLLHandles) ? static_cast<void*>(*static_cast<char* const*>(item))
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
    if (LLFlags(list) & kLLHandles) {
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
    list->kind = TakeKind(pool ? pool : gCurrentPool, nullptr, flags, itemSize);
    if (!list->kind) {
        MemFreePtr(static_cast<Ptr>(block));
        return nullptr;
    }
    ForgetTail(list);
    return list;
}

bool LLSetFreeProc(LinkListHeader* list, LLFreeProc proc) {
    const LLKind* old = list->kind;
    if (old->freeProc == proc) return true;
    const LLKind* kind = TakeKind(old->pool, proc, old->flags, old->itemSize);
    if (!kind) return false;
    list->kind = kind;
    DropKind(old);
    return true;
}

void* LLAlloc(LinkListHeader* list) {
    if (!list) return nullptr;
    const LLKind* kind = list->kind;
    if (kind->flags & kLLHandles) return AllocHandleClear(kind->pool, kind->itemSize);
    if (kind->flags & kLLFixedSize) return AllocFSPtrClear(kind->pool);
    return AllocPtrClear(kind->pool, kind->itemSize);
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
        if (LLFreeProc proc = LLGetFreeProc(list)) proc(list, item, previous, 1);
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
            if (LLFreeProc proc = LLGetFreeProc(list)) proc(list, item, nullptr, 1);
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
    DropKind(list->kind);
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
