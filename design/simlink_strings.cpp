// Simulator string lists: building, reading and editing the counted lists, and the checks and
// byte-order turns of their stored bytes.
#include "design/simlink_strings.h"

#include <cstring>

#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/memory.h"

namespace plexa {
namespace {

struct ListHead {
    uint16_t dataSize;
    uint16_t count;
    uint32_t length;
};

ListHead ReadHead(const uint8_t* bytes, bool bigEndian) {
    if (bigEndian) return {GetBE16(bytes), GetBE16(bytes + 2), GetBE32(bytes + 4)};
    ListHead head;
    std::memcpy(&head.dataSize, bytes, 2);
    std::memcpy(&head.count, bytes + 2, 2);
    std::memcpy(&head.length, bytes + 4, 4);
    return head;
}

void WriteHead(uint8_t* bytes, const ListHead& head, bool bigEndian) {
    if (bigEndian) {
        PutBE16(bytes, head.dataSize);
        PutBE16(bytes + 2, head.count);
        PutBE32(bytes + 4, head.length);
        return;
    }
    std::memcpy(bytes, &head.dataSize, 2);
    std::memcpy(bytes + 2, &head.count, 2);
    std::memcpy(bytes + 4, &head.length, 4);
}

// The offset just past the entry at `offset`, 0 when it does not lie within size bytes.
uint32_t NextEntry(const uint8_t* bytes, uint32_t size, uint32_t offset, uint16_t dataSize) {
    if (offset >= size) return 0;
    const uint64_t next = uint64_t(offset) + 1 + bytes[offset] + dataSize;
    return next <= size ? uint32_t(next) : 0;
}

// The offsets of the first `count` entries end at the returned offset; 0 when one runs past size.
uint32_t WalkEntries(const uint8_t* bytes, uint32_t size, uint32_t count, uint16_t dataSize) {
    uint32_t offset = kSpiceStringListHeadSize;
    for (uint32_t i = 0; i < count; ++i) {
        offset = NextEntry(bytes, size, offset, dataSize);
        if (offset == 0) return 0;
    }
    return offset;
}

// The list's bytes, head and size, when the handle can hold the head.
struct ListView {
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    ListHead head{};
};

bool View(Handle list, ListView* view) {
    const uint32_t size = list ? SizeOfHandle(list) : 0;
    if (size < kSpiceStringListHeadSize) return false;
    view->bytes = reinterpret_cast<uint8_t*>(*list);
    view->size = size;
    view->head = ReadHead(view->bytes, false);
    return true;
}

// Rewrites the head with a count and the length the handle now has.
void SetHead(Handle list, uint16_t dataSize, uint16_t count) {
    WriteHead(reinterpret_cast<uint8_t*>(*list),
              {dataSize, count, SizeOfHandle(list) - kSpiceStringListHeadSize}, false);
}

// An entry's bytes: the length byte, the text (cut at a character boundary) and the data.
uint32_t MakeEntry(const char* text, const void* data, uint16_t dataSize, uint8_t* entry) {
    uint32_t length = text ? uint32_t(strnlen(text, kSpiceStringMaxLength + 1)) : 0;
    if (length > kSpiceStringMaxLength) {
        // Cut where a whole character ends: the first byte left out must not continue one.
        length = kSpiceStringMaxLength;
        while (length > 0 && (uint8_t(text[length]) & 0xC0) == 0x80) --length;
    }
    entry[0] = uint8_t(length);
    if (length) std::memcpy(entry + 1, text, length);
    if (dataSize) {
        if (data) std::memcpy(entry + 1 + length, data, dataSize);
        else std::memset(entry + 1 + length, 0, dataSize);
    }
    return 1 + length + dataSize;
}

// The offset of entry index of a viewed list, 0 when out of range or malformed.
uint32_t EntryOffset(const ListView& view, int32_t index) {
    if (index < 0 || index >= int32_t(view.head.count)) return 0;
    const uint32_t offset = WalkEntries(view.bytes, view.size, uint32_t(index), view.head.dataSize);
    return offset != 0 && NextEntry(view.bytes, view.size, offset, view.head.dataSize) != 0 ? offset
                                                                                         : 0;
}

void TurnInteger(uint8_t* p, uint16_t dataSize, bool toBigEndian) {
    if (dataSize == 2) {
        uint16_t value;
        if (toBigEndian) {
            std::memcpy(&value, p, 2);
            PutBE16(p, value);
        } else {
            value = GetBE16(p);
            std::memcpy(p, &value, 2);
        }
    } else if (dataSize == 4) {
        uint32_t value;
        if (toBigEndian) {
            std::memcpy(&value, p, 4);
            PutBE32(p, value);
        } else {
            value = GetBE32(p);
            std::memcpy(p, &value, 4);
        }
    }
}

}  // namespace

// ---- Over bytes ----

OSStatus CheckSpiceStringList(const uint8_t* bytes, uint32_t size, bool bigEndian) {
    if (!bytes || size < kSpiceStringListHeadSize) return status::kParamErr;
    const ListHead head = ReadHead(bytes, bigEndian);
    if (head.length != size - kSpiceStringListHeadSize || head.length > kSpiceStringListMaxLength)
        return status::kParamErr;
    if (head.count == 0) return head.length == 0 ? status::kNoErr : status::kParamErr;
    return WalkEntries(bytes, size, head.count, head.dataSize) == size ? status::kNoErr
                                                                       : status::kParamErr;
}

OSStatus TurnSpiceStringList(uint8_t* bytes, uint32_t size, bool toBigEndian) {
    OSStatus err = CheckSpiceStringList(bytes, size, !toBigEndian);
    if (err != status::kNoErr) return err;
    const ListHead head = ReadHead(bytes, !toBigEndian);
    if (head.dataSize == 2 || head.dataSize == 4) {
        uint32_t offset = kSpiceStringListHeadSize;
        for (uint32_t i = 0; i < head.count; ++i) {
            TurnInteger(bytes + offset + 1 + bytes[offset], head.dataSize, toBigEndian);
            offset = NextEntry(bytes, size, offset, head.dataSize);
        }
    }
    WriteHead(bytes, head, toBigEndian);
    return status::kNoErr;
}

// ---- Lists ----

Handle CreateSpiceStringList(uint16_t entryDataSize) {
    Handle list = AllocHandleClear(nullptr, kSpiceStringListHeadSize);
    if (list) SetHead(list, entryDataSize, 0);
    return list;
}

void DestroySpiceStringList(Handle list) {
    if (list) MemFree(list);
}

int32_t CountSpiceStringListItems(Handle list) {
    ListView view;
    return View(list, &view) ? view.head.count : 0;
}

uint16_t GetSpiceStringListEntryDataSize(Handle list) {
    ListView view;
    return View(list, &view) ? view.head.dataSize : 0;
}

OSStatus AddSpiceStringListEntry(Handle list, const char* text, const void* data) {
    ListView view;
    if (!View(list, &view) || view.head.count >= kSpiceStringListMaxCount) return status::kParamErr;
    // The new entry goes where the counted entries end, so the list must be whole.
    if (WalkEntries(view.bytes, view.size, view.head.count, view.head.dataSize) != view.size)
        return status::kParamErr;
    const uint16_t dataSize = view.head.dataSize;
    const uint16_t count = view.head.count;
    if (uint64_t(view.size) + 1 + kSpiceStringMaxLength + dataSize >
        kSpiceStringListMaxLength + kSpiceStringListHeadSize)
        return status::kParamErr;
    uint8_t* entry = reinterpret_cast<uint8_t*>(AllocPtr(nullptr, 1 + kSpiceStringMaxLength + dataSize));
    if (!entry) return status::kOutOfMemory;
    const uint32_t length = MakeEntry(text, data, dataSize, entry);
    const bool grown = AppendHandle(list, entry, length);
    MemFreePtr(reinterpret_cast<Ptr>(entry));
    if (!grown) return status::kOutOfMemory;
    SetHead(list, dataSize, uint16_t(count + 1));
    return status::kNoErr;
}

OSStatus SetSpiceStringListEntry(Handle list, int32_t index, const char* text, const void* data) {
    ListView view;
    if (!View(list, &view)) return status::kParamErr;
    const uint32_t offset = EntryOffset(view, index);
    if (offset == 0) return status::kParamErr;
    const uint16_t dataSize = view.head.dataSize;
    const uint16_t count = view.head.count;
    const uint32_t oldLength = NextEntry(view.bytes, view.size, offset, dataSize) - offset;
    uint8_t* entry = reinterpret_cast<uint8_t*>(AllocPtr(nullptr, 1 + kSpiceStringMaxLength + dataSize));
    if (!entry) return status::kOutOfMemory;
    const uint32_t length = MakeEntry(text, data, dataSize, entry);
    OSStatus err = status::kNoErr;
    if (uint64_t(view.size) - oldLength + length > kSpiceStringListMaxLength + kSpiceStringListHeadSize)
        err = status::kParamErr;
    else if (!SpliceHandleData(list, int32_t(offset), int32_t(oldLength), entry, int32_t(length)))
        err = status::kOutOfMemory;
    MemFreePtr(reinterpret_cast<Ptr>(entry));
    if (err == status::kNoErr) SetHead(list, dataSize, count);
    return err;
}

OSStatus GetSpiceStringListEntry(Handle list, int32_t index, char* text, void* data) {
    if (text) text[0] = 0;
    ListView view;
    if (!View(list, &view)) return status::kParamErr;
    const uint32_t offset = EntryOffset(view, index);
    if (offset == 0) return status::kParamErr;
    const uint32_t length = view.bytes[offset];
    if (text) {
        std::memcpy(text, view.bytes + offset + 1, length);
        text[length] = 0;
    }
    if (data && view.head.dataSize)
        std::memcpy(data, view.bytes + offset + 1 + length, view.head.dataSize);
    return status::kNoErr;
}

void DeleteSpiceStringListEntry(Handle list, int32_t index) {
    ListView view;
    if (!View(list, &view)) return;
    const uint16_t dataSize = view.head.dataSize;
    const uint16_t count = view.head.count;
    if (index < 0 || index >= int32_t(count)) {
        ResizeHandle(list, kSpiceStringListHeadSize);
        SetHead(list, dataSize, 0);
        return;
    }
    const uint32_t offset = WalkEntries(view.bytes, view.size, uint32_t(index), dataSize);
    if (offset == 0) return;  // malformed: left as it is
    DeleteFromHandle(list, int32_t(kSpiceStringListHeadSize),
                     int32_t(offset - kSpiceStringListHeadSize));
    SetHead(list, dataSize, uint16_t(count - index));
}

int32_t FindSpiceStringListNullEntry(Handle list) {
    ListView view;
    if (!View(list, &view)) return -1;
    uint32_t offset = kSpiceStringListHeadSize;
    for (int32_t i = 0; i < int32_t(view.head.count); ++i) {
        if (offset >= view.size) return -1;
        if (view.bytes[offset] == 0) return i;
        offset = NextEntry(view.bytes, view.size, offset, view.head.dataSize);
        if (offset == 0) return -1;
    }
    return -1;
}

int32_t CalcSpiceStringListEntryPos(Handle list, int32_t index) {
    ListView view;
    if (!View(list, &view)) return -1;
    const uint32_t offset = EntryOffset(view, index);
    return offset == 0 ? -1 : int32_t(offset);
}

int32_t IncrementSpiceStringListEntryPos(Handle list, int32_t offset) {
    ListView view;
    if (!View(list, &view) || offset < int32_t(kSpiceStringListHeadSize)) return -1;
    const uint32_t next = NextEntry(view.bytes, view.size, uint32_t(offset), view.head.dataSize);
    return next == 0 ? -1 : int32_t(next);
}

OSStatus ByteSwapSpiceStringListIntegers(Handle list) {
    ListView view;
    if (!View(list, &view)) return status::kParamErr;
    if (CheckSpiceStringList(view.bytes, view.size, false) != status::kNoErr)
        return status::kParamErr;
    if (view.head.dataSize != 2 && view.head.dataSize != 4) return status::kNoErr;
    uint32_t offset = kSpiceStringListHeadSize;
    for (uint32_t i = 0; i < view.head.count; ++i) {
        uint8_t* p = view.bytes + offset + 1 + view.bytes[offset];
        if (view.head.dataSize == 2) ByteSwapWord(p);
        else ByteSwapLong(p);
        offset = NextEntry(view.bytes, view.size, offset, view.head.dataSize);
    }
    return status::kNoErr;
}

}  // namespace plexa
