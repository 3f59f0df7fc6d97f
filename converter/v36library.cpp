// The version-3.6 library reader.
#include "converter/v36library.h"

#include <bit>

#include "converter/v36read.h"
#include "foundation/strings.h"
#include "model/imagelist.h"

namespace plexa {
namespace {

using v36::AllocArray;
using v36::Fits;
using v36::Free;
using v36::ReadSized;
using v36::Seek;

static_assert(ByteSwapTemplateSize(kV36LibraryEntryTemplate) == kV36LibraryEntrySize);
static_assert(ByteSwapTemplateSize(kV36LibItemHeadTemplate) == 28);

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;

OSStatus ReadItemBody(StreamRecord* stream, V36LibItem* item) {
    const bool swap = item->swapped;
    MemPool pool = item->pool;
    if (OSStatus st = ReadSized(stream, &item->head, kV36LibItemHeadSize, kV36LibItemHeadSize,
                                kV36LibItemHeadTemplate, swap))
        return st;
    const V36LibItemHead& head = item->head;
    if (OSStatus st = LoadV36ElementList(stream, pool, head.elementCount,
                                         head.format & kV36LibItemLongHeads, swap, &item->elements))
        return st;
    if (head.format & kV36LibItemImageList)
        if (OSStatus st = ReadV36ImageList(stream, &item->images)) return st;
    if (OSStatus st = ReadV36StyleList(stream, pool, swap, &item->styles)) return st;
    // The texts name the string block behind them: it is read first.
    const int32_t textsAt = GetStreamPosition(stream);
    if (!Fits(stream, head.textCount, kV36LibItemTextSize)) return status::kEndOfFile;
    if (OSStatus st = v36::Skip(stream, uint64_t(head.textCount) * kV36LibItemTextSize)) return st;
    if (head.stringsSize > 0)
        if (OSStatus st = ReadV36StringBlock(stream, pool, head.stringsSize, swap, &item->strings))
            return st;
    if (head.textCount == 0) return status::kNoErr;
    if (OSStatus st = SetStreamPosition(stream, textsAt)) return st;
    item->texts = AllocArray<V36TextRecord>(pool, head.textCount);
    if (!item->texts) return status::kOutOfMemory;
    for (uint32_t i = 0; i < head.textCount; ++i)
        if (OSStatus st = ReadV36TextRecord(stream, kV36LibItemTextSize, swap, item->strings,
                                            &item->texts[i]))
            return st;
    return status::kNoErr;
}

}  // namespace

OSStatus ReadV36Library(StreamRecord* stream, MemPool pool, V36Library* library) {
    if (!library) return status::kParamErr;
    *library = V36Library{};
    library->pool = pool;
    if (!stream) return status::kParamErr;
    V36LibraryHeader header;
    if (OSStatus st = ReadV36LibraryHeader(stream, &header)) return st;
    library->header = header;
    const uint16_t count = header.itemCount;
    if (count == 0) return status::kNoErr;
    if (!Fits(stream, count, kV36LibraryEntrySize)) {
        *library = V36Library{};
        return status::kEndOfFile;
    }
    V36LibraryEntry* entries = AllocArray<V36LibraryEntry>(pool, count);
    if (!entries) {
        *library = V36Library{};
        return status::kOutOfMemory;
    }
    // The stream swaps as the header's order needs; the entries are swapped by their template.
    const bool swapWas = EnableStreamReadByteSwap(stream, false);
    OSStatus st = status::kNoErr;
    for (uint32_t i = 0; i < count && st == status::kNoErr; ++i) {
        V36LibraryEntry& entry = entries[i];
        st = ReadSized(stream, &entry, kV36LibraryEntrySize, kV36LibraryEntrySize,
                       kV36LibraryEntryTemplate, swapWas);
        if (st == status::kNoErr && (entry.name[0] == 0 || entry.name[0] > kV36LibItemNameLimit))
            st = kV36BadRecord;
    }
    EnableStreamReadByteSwap(stream, swapWas);
    if (st) {
        MemFreePtr(entries);
        *library = V36Library{};
        return st;
    }
    library->entries = entries;
    return status::kNoErr;
}

void FreeV36Library(V36Library* library) {
    if (!library) return;
    Free(library->entries);
    *library = V36Library{};
}

OSStatus ReadV36LibItem(StreamRecord* stream, MemPool pool, const V36LibraryEntry& entry,
                        V36LibItem* item) {
    if (!item) return status::kParamErr;
    *item = V36LibItem{};
    item->pool = pool;
    if (!stream) return status::kParamErr;
    const bool bigEndian = !(entry.flags & kV36LibItemLittleEndian);
    item->swapped = bigEndian != kHostBigEndian;
    const bool swapWas = EnableStreamReadByteSwap(stream, item->swapped);
    OSStatus st = Seek(stream, entry.position);
    if (st == status::kNoErr) st = ReadItemBody(stream, item);
    EnableStreamReadByteSwap(stream, swapWas);
    if (st) FreeV36LibItem(item);
    return st;
}

void FreeV36LibItem(V36LibItem* item) {
    if (!item) return;
    FreeV36ElementList(&item->elements);
    DestroyImageList(item->images);
    FreeV36StyleList(&item->styles);
    Free(item->texts);
    DestroyStringBlock(item->strings);
    const MemPool pool = item->pool;
    *item = V36LibItem{};
    item->pool = pool;
}

std::string V36LibraryEntryName(const V36LibraryEntry& entry) {
    const uint32_t length = std::min<uint32_t>(entry.name[0], kV36LibItemNameLimit);
    char name[kV36LibItemNameLimit * 3 + 1] = {};
    std::memcpy(name, entry.name + 1, length);
    RecodeString(name, sizeof name, kEncodingMacRoman, kEncodingUTF8);
    return name;
}

}  // namespace plexa
