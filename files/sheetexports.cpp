// A sheet's exports table (see sheetexports.h for the stored form).
#include "files/sheetexports.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "files/sheetfile.h"
#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/sheet.h"

namespace plexa {

static_assert(ByteSwapTemplateSize(kSheetExportEntryTemplate) <= sizeof(SheetExportEntry));

namespace {

constexpr int32_t kExportsStringsQuantum = 256;
constexpr uint32_t kTableFlags = kDASorted | kDALogicalIds;

// Brings an entry stored `storedSize` bytes long (now widened or cut to 16) to the current form.
void ConvertEntry(SheetExportEntry* entry, uint32_t storedSize, bool swap) {
    auto* bytes = reinterpret_cast<uint8_t*>(entry);
    if (storedSize < 15) bytes[offsetof(SheetExportEntry, kind)] = uint8_t(GetNative16(bytes + 12, swap));
    if (swap) ByteSwapTemplate(entry, kSheetExportEntryTemplate);
    if (storedSize < 9) {
        entry->serial = kExportUnknownSerial;
        entry->kind = 0;
        if (entry->portType & 1) {
            entry->portType &= ~1u;
            entry->kind |= kExportBussPort;
        }
    }
}

// An empty table in name order over the strings (which it then owns); none when memory runs out.
SheetExportsTable NewTable(StringBlock strings) {
    SheetExportsTable table = DACreate(nullptr, sizeof(SheetExportEntry), 0, kTableFlags);
    if (!table) return nullptr;
    DASetCompareProcEx(table, SheetExportsCompareProc);
    DASetRefCon(table, uint64_t(uintptr_t(strings)));
    return table;
}

}  // namespace

SheetExportsTable CreateSheetExportsTable() {
    StringBlock strings = CreateStringBlock(nullptr, kExportsStringsQuantum);
    if (!strings) return nullptr;
    SheetExportsTable table = NewTable(strings);
    if (!table) DestroyStringBlock(strings);
    return table;
}

void DestroySheetExportsTable(SheetExportsTable table) {
    if (!table) return;
    if (StringBlock strings = GetSheetExportsStrings(table)) DestroyStringBlock(strings);
    DADispose(table);
}

StringBlock GetSheetExportsStrings(SheetExportsTable table) {
    return table ? reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(table))) : nullptr;
}

int SheetExportsCompareProc(DAHeader** table, const void* a, const void* b) {
    SheetExportEntry entryA, entryB;
    std::memcpy(&entryA, a, sizeof entryA);
    std::memcpy(&entryB, b, sizeof entryB);
    const StringBlock strings = GetSheetExportsStrings(table);
    char nameA[kStringSpecBufferSize], nameB[kStringSpecBufferSize];
    ExtractStringSpec(entryA.name, strings, nameA, sizeof nameA);
    ExtractStringSpec(entryB.name, strings, nameB, sizeof nameB);
    const int order = StrCmpAlphaNumeric(nameA, nameB, false);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

OSStatus WriteSheetExportsTable(StreamRecord* stream, SheetExportsTable table) {
    if (!table) return status::kParamErr;
    if (OSStatus st = StreamWriteHandle(stream, GetSheetExportsStrings(table))) return st;
    // The block's address is no part of the stored form.
    const uint64_t strings = DAGetRefCon(table);
    DASetRefCon(table, 0);
    const OSStatus st = DAWrite(table, stream, nullptr);
    DASetRefCon(table, strings);
    return st;
}

OSStatus ReadSheetExportsTable(StreamRecord* stream, bool swap, SheetExportsTable* out) {
    *out = nullptr;
    StringBlock strings = nullptr;
    if (OSStatus st = StreamReadHandle(stream, nullptr, &strings)) return st;
    if (!AdoptStoredStringBlock(strings)) {
        if (strings) MemFree(strings);
        return status::kParamErr;
    }
    // The stored array, of whatever item size and shape, gives its entries; the table is made
    // anew over them in name order.
    DAArray stored = nullptr;
    OSStatus st = DAReadEx(nullptr, &stored, 0, stream, nullptr);
    std::vector<SheetExportEntry> entries;
    if (st == status::kNoErr) {
        const uint32_t storedSize = (*stored)->itemSize;
        const size_t kept = std::min<size_t>(storedSize, sizeof(SheetExportEntry));
        entries.reserve(size_t(DACount(stored)));
        int32_t id = -1;
        char* address = nullptr;
        while (DANextAddress(stored, &id, &address)) {
            SheetExportEntry entry{};
            std::memcpy(&entry, address, kept);
            ConvertEntry(&entry, storedSize, swap);
            entries.push_back(entry);
        }
    }
    if (stored) DADispose(stored);
    SheetExportsTable table = st == status::kNoErr ? NewTable(strings) : nullptr;
    if (st == status::kNoErr && !table) st = status::kOutOfMemory;
    if (st == status::kNoErr && !entries.empty() && DAAddItems(table, entries.data(), int32_t(entries.size())) < 0)
        st = status::kOutOfMemory;
    if (st != status::kNoErr) {
        if (table) DADispose(table);
        DestroyStringBlock(strings);
        return st;
    }
    *out = table;
    return status::kNoErr;
}

OSStatus LoadSheetExportsTable(const FileSpec* spec, SheetExportsTable* table) {
    *table = nullptr;
    return ReadSheetFileBlockAlone(spec, kSheetExportsBlock, [](StreamRecord* stream, bool swap, void* data) {
        return ReadSheetExportsTable(stream, swap, static_cast<SheetExportsTable*>(data));
    }, table);
}

bool GetSheetExportEntry(SheetExportsTable table, int32_t index, SheetExportEntry* entry, char* name,
                         int32_t size) {
    const bool found = DAGet(table, index, entry);
    if (name) ExtractStringSpec(found ? entry->name : 0, GetSheetExportsStrings(table), name, size);
    return found;
}

}  // namespace plexa
