// The pin data table, pin-data records and node pin-number tables.
#include "model/pindata.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/hash.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/sheet.h"
#include "model/waitcursor.h"

namespace plexa {

namespace {

constexpr uint32_t kHeadSize = sizeof(PinDataRecord);
constexpr uint32_t kNoPinData = 0xFFFFFFFFu;

PinDataRecord Head(Handle record) {
    PinDataRecord head{};
    if (record && SizeOfHandle(record) >= kHeadSize) std::memcpy(&head, *record, kHeadSize);
    return head;
}

void PutHead(Handle record, const PinDataRecord& head) { std::memcpy(*record, &head, kHeadSize); }

bool IsRecord(Handle record) { return record && SizeOfHandle(record) >= kHeadSize; }

// The attribute count that the record's bytes hold.
int16_t AttributeCount(Handle record) {
    const int32_t count = Head(record).attributeCount;
    const int32_t room = IsRecord(record) ? int32_t((SizeOfHandle(record) - kHeadSize) / kAttributeSize) : 0;
    return int16_t(std::clamp(count, 0, room));
}

Handle ItemHandle(const void* item) {
    Handle h;
    std::memcpy(&h, item, sizeof h);
    return h;
}

StringBlock TableBlock(PinDataTable table) {
    return reinterpret_cast<StringBlock>(uintptr_t(DAGetRefCon(table)));
}

bool IsPinTableKind(const DAHeader* h) {
    constexpr uint32_t kKindBits = kDAUnique | kDAPacked | kDASorted | kDALogicalIds | kDANoBodies;
    constexpr uint32_t kKind = kPinDataTableFlags | kDALogicalIds;
    return (h->flags & kKindBits) == kKind && h->itemSize == uint32_t(kPinDataItemSize);
}

// The record of a logical id.
Handle RecordAt(PinDataTable table, int32_t index) {
    Handle h = nullptr;
    DAGet(table, index, &h);
    return h;
}

// Puts the logical order right after keys changed (moved strings, a table from a machine of the
// other byte order): the physical ids, which components hold, stay as they are.
void SortTable(PinDataTable table) {
    DAHeader* h = *table;
    if (!(h->flags & kDALogicalIds) || !h->map || h->count < 2) return;
    std::vector<int32_t> order(reinterpret_cast<int32_t*>(*h->map),
                               reinterpret_cast<int32_t*>(*h->map) + h->count);
    std::vector<Handle> records(order.size());
    for (size_t i = 0; i < order.size(); ++i) DAPhysicalGet(table, order[i], &records[i]);
    std::vector<size_t> by(order.size());
    for (size_t i = 0; i < by.size(); ++i) by[i] = i;
    std::stable_sort(by.begin(), by.end(), [&](size_t a, size_t b) {
        return PinDataCompareProc(&records[a], &records[b]) < 0;
    });
    int32_t* map = reinterpret_cast<int32_t*>(*(*table)->map);
    for (size_t i = 0; i < by.size(); ++i) map[i] = order[by[i]];
}

// Calls f(id slot) for every pin-data id that a component of the list holds.
template <class F>
void ForEachCompPinId(LinkListHeader* list, F&& f) {
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) {
        for (int32_t set = 0; set < c->pinSetCount; ++set) {
            for (int32_t pin = 0; pin < CountCompSymbolPins(c, set, kCompHiddenPins); ++pin) {
                uint32_t id = GetCompSymbolPinDataId(c, set, kCompHiddenPins, pin);
                if (f(&id)) SetCompSymbolPinDataId(c, set, kCompHiddenPins, pin, id);
            }
        }
        for (int32_t symbol = 0; symbol < c->symbolCount; ++symbol) {
            for (int32_t pin = 0; pin < CountCompSymbolPins(c, 0, uint16_t(symbol)); ++pin) {
                uint32_t id = GetCompSymbolPinDataId(c, 0, uint16_t(symbol), pin);
                if (f(&id)) SetCompSymbolPinDataId(c, 0, uint16_t(symbol), pin, id);
            }
        }
    }
}

// Node pin-number tables.
int32_t EntryCount(Handle numbers) {
    const uint32_t size = numbers ? SizeOfHandle(numbers) : 0;
    if (size < kNodePinNumbersHead) return 0;
    uint16_t count;
    std::memcpy(&count, *numbers, sizeof count);
    return int32_t(std::min<uint32_t>(count, (size - kNodePinNumbersHead) / sizeof(NodePinNumberEntry)));
}

uint32_t EntryAt(int32_t index) { return kNodePinNumbersHead + uint32_t(index) * sizeof(NodePinNumberEntry); }

NodePinNumberEntry LoadEntry(Handle numbers, int32_t index) {
    NodePinNumberEntry e;
    std::memcpy(&e, *numbers + EntryAt(index), sizeof e);
    return e;
}

void StoreEntry(Handle numbers, int32_t index, const NodePinNumberEntry& e) {
    std::memcpy(*numbers + EntryAt(index), &e, sizeof e);
}

void StoreEntryCount(Handle numbers, int32_t count) {
    const uint16_t n = uint16_t(count);
    std::memcpy(*numbers, &n, sizeof n);
}

uint64_t EditorKey(const NodePinEditor* editor, uint64_t key) { return key ? key : editor->section; }
int32_t EditorPinSet(const NodePinEditor* editor, int32_t pinSet) {
    return pinSet < 0 ? editor->pinSet : pinSet;
}

const char* const kPinTypeNames[kPinTypeCount] = {
    "Unspecified",    "Input",        "Output",  "Bidirectional", "Open Collector",
    "Open Emitter",   "Hi Impedance", "Passive", "Power"};

}  // namespace

// ---- Records ----

Handle CreateNewPinData() { return AllocHandleClear(gGenPool, kHeadSize); }

void DestroyPinData(Handle record) {
    if (record) MemFree(record);
}

uint8_t CalcPinDataHash(Handle record) {
    if (!IsRecord(record)) return 0;
    const uint8_t hash = uint8_t(HashMem(kPinDataHashSeed, *record + 4, SizeOfHandle(record) - 4));
    (*record)[0] = char(hash);
    return hash;
}

void SetPinDataName(Handle record, StringBlock block, const char* name) {
    if (!IsRecord(record)) return;
    PinDataRecord head = Head(record);
    head.name = OverlayStringBlock(block, name ? name : "", -1, nullptr);
    PutHead(record, head);
    CalcPinDataHash(record);
}

void GetPinDataName(Handle record, StringBlock block, char* name) {
    ExtractStringSpec(Head(record).name, block, name, kPinTextSize);
}

void GetIndexedPinDataName(PinDataTable table, int32_t id, StringBlock block, char* name) {
    GetPinDataName(GetIndexedPinData(table, id), block, name);
}

void SetPinDataType(Handle record, uint8_t type, bool whole) {
    if (!IsRecord(record)) return;
    uint8_t& byte = reinterpret_cast<uint8_t*>(*record)[1];
    byte = whole ? type : uint8_t((byte & ~kPinTypeMask) | (type & kPinTypeMask));
}

uint8_t GetPinDataType(Handle record, bool whole) {
    const uint8_t type = Head(record).type;
    return whole ? type : uint8_t(type & kPinTypeMask);
}

void ValidatePinDataType(Handle record, bool bus) {
    if (!IsRecord(record)) return;
    uint8_t type = GetPinDataType(record, false);
    if (bus) type = uint8_t((type < kPinOpenCollector ? type : kPinUnspecified) | kPinBusFlag);
    SetPinDataType(record, type, true);
}

void GetPinTypeString(uint8_t type, char* buffer) {
    type &= kPinTypeMask;
    const char* name = type < kPinTypeCount ? kPinTypeNames[type] : "";
    std::memcpy(buffer, name, std::strlen(name) + 1);
}

int16_t GetPinDataAttribute(Handle record, StringBlock block, const char* name, char* value) {
    return GetAttributeValue(block, record, kHeadSize, AttributeCount(record), name, value, nullptr,
                             kPinTextSize);
}

int16_t SetPinDataAttribute(Handle record, StringBlock block, const char* name, const char* value) {
    if (!IsRecord(record)) return kAttributeAbsent;
    int16_t count = AttributeCount(record);
    const int16_t result = SetAttributeValue(block, record, kHeadSize, &count, name, value, nullptr);
    PinDataRecord head = Head(record);
    head.attributeCount = count;
    PutHead(record, head);
    CalcPinDataHash(record);
    return result;
}

void GetHiddenPinSignalName(Handle record, StringBlock block, bool useName, char* name) {
    GetPinDataAttribute(record, block, kAttrSignalName, name);
    if (name[0] == 0 && useName) GetPinDataName(record, block, name);
}

void SetHiddenPinSignalName(Handle record, StringBlock block, const char* text) {
    SetPinDataAttribute(record, block, kAttrSignalName, text && *text ? text : nullptr);
}

OSStatus ChangePinDataStringBlock(Handle record, StringBlock from, StringBlock to) {
    if (!IsRecord(record)) return status::kParamErr;
    const int16_t count = AttributeCount(record);
    // The attributes move first; when the name cannot follow them, they are put back.
    std::vector<char> run(*record + kHeadSize, *record + kHeadSize + count * kAttributeSize);
    OSStatus err = ChangeAttributesStringBlock(record, kHeadSize, count, from, to);
    if (err != status::kNoErr) return err;
    PinDataRecord head = Head(record);
    const StringSpec name = TransferStringSpec(head.name, from, to, true);
    err = StringBlockAddStatus();
    if (err != status::kNoErr) {
        if (!run.empty()) std::memcpy(*record + kHeadSize, run.data(), run.size());
        return err;
    }
    head.name = name;
    PutHead(record, head);
    CalcPinDataHash(record);
    return status::kNoErr;
}

// ---- Table ----

int PinDataCompareProc(const void* a, const void* b) {
    const Handle x = ItemHandle(a), y = ItemHandle(b);
    int32_t lx, ly;
    std::memcpy(&lx, *x, 4);
    std::memcpy(&ly, *y, 4);
    if (lx != ly) return lx < ly ? -1 : 1;
    const uint32_t bytes = uint32_t(std::max<int32_t>(AttributeCount(x), 0)) * kAttributeSize + 4;
    const uint32_t n = std::min({bytes, SizeOfHandle(x) - 4, SizeOfHandle(y) - 4});
    const int c = std::memcmp(*x + 4, *y + 4, n);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void PinDataFreeProc(DAHeader**, int32_t, DALoopRecord* loop) {
    if (!loop->address) return;
    Handle h = ItemHandle(loop->address);
    if (h) MemFree(h);
    std::memset(loop->address, 0, sizeof h);
}

PinDataTable CreatePinDataTable(StringBlock block) {
    PinDataTable table = DACreate(gGenPool, kPinDataItemSize, 0, kPinDataTableFlags);
    if (table) SetupPinDataTable(table, block);
    return table;
}

void SetupPinDataTable(PinDataTable table, StringBlock block) {
    if (!table) return;
    DASetFreeProc(table, PinDataFreeProc);
    DASetCompareProc(table, PinDataCompareProc);
    DASetRefCon(table, uint64_t(uintptr_t(block)));
    SortTable(table);
}

void DestroyPinDataTable(PinDataTable table) {
    if (!table) return;
    for (int32_t i = 0; i < DACount(table); ++i) {
        if (Handle h = RecordAt(table, i)) MemFree(h);
    }
    DADispose(table);
}

int32_t AddPinDataToTable(PinDataTable table, Handle record) {
    if (!table || !IsRecord(record)) return -1;
    CalcPinDataHash(record);
    const int32_t found = DASearch(table, -1, &record, 0);
    int32_t id;
    if (!(uint32_t(found) & kDANotFound)) {
        id = found;
    } else {
        Handle copy = CloneHandle((*table)->pool, record);
        if (!copy) return -1;
        DASetInsertHint(int32_t(uint32_t(found) & ~kDANotFound));
        id = DAAdd(table, &copy);
        if (id < 0) {
            MemFree(copy);
            return -1;
        }
    }
    DAGetPhysicalId(table, &id);
    return id;
}

Handle GetIndexedPinData(PinDataTable table, int32_t id) {
    Handle h = nullptr;
    if (table && id >= 0) DAPhysicalGet(table, id, &h);
    return h;
}

Handle GetPinDataCopy(PinDataTable table, int32_t id) {
    Handle h = GetIndexedPinData(table, id);
    return h ? CloneHandle(gGenPool, h) : nullptr;
}

OSStatus ChangePinTableStringBlock(PinDataTable table, StringBlock block) {
    if (!table) return status::kParamErr;
    const StringBlock from = TableBlock(table);
    // Every record is moved in a copy first, so that a failure leaves the table as it was.
    const int32_t count = DACount(table);
    std::vector<Handle> moved;
    OSStatus err = status::kNoErr;
    for (int32_t i = 0; i < count && err == status::kNoErr; ++i) {
        Handle copy = CloneHandle(gGenPool, RecordAt(table, i));
        if (!copy) {
            err = status::kOutOfMemory;
            break;
        }
        moved.push_back(copy);
        err = ChangePinDataStringBlock(copy, from, block);
    }
    if (err == status::kNoErr) {
        for (int32_t i = 0; i < count; ++i) {
            Handle h = RecordAt(table, i);
            std::memcpy(*h, *moved[size_t(i)], SizeOfHandle(h));
        }
        DASetRefCon(table, uint64_t(uintptr_t(block)));
        SortTable(table);
    }
    for (Handle h : moved) MemFree(h);
    return err;
}

void PurgeSheetPinTable(SheetRecord* sheet) {
    if (!sheet || !sheet->pinDataTable) return;
    PinDataTable table = sheet->pinDataTable;
    const int32_t limit = (*table)->idLimit;
    BitArray used = CreateBitArray(gGenPool, std::max(limit, 8192));
    if (!used) return;
    // 1. Mark the ids that components use (ids of no record mark nothing).
    ForEachCompPinId(sheet->componentList, [&](uint32_t* id) {
        if (*id < uint32_t(limit) && !DAIsFreePhysicalId(table, int32_t(*id))) BitArraySet(used, int32_t(*id));
        return false;
    });
    ModelWaitCursor();
    // 2. Free every record whose id is not marked.
    for (int32_t i = DACount(table) - 1; i >= 0; --i) {
        int32_t id = i;
        DAGetPhysicalId(table, &id);
        if (!BitArrayTest(used, id)) DAFree(table, i);
    }
    ModelWaitCursor();
    // 3. Renumber only when enough ids below the highest one are free.
    const int32_t highest = LastSetBit(used);
    const int32_t count = DACount(table);
    if (highest + 1 - count < kPinTablePurgeFreeIds) {
        DisposeBitArray(used);
        return;
    }
    // 4. Compaction moves the records down in id order: the new id of a record is the number of
    // records below it. Ids that named no record are made to name none afterwards either.
    std::vector<uint32_t> newId(size_t(highest) + 1, kNoPinData);
    for (int32_t id = 0, next = 0; id <= highest; ++id) {
        if (BitArrayTest(used, id)) newId[size_t(id)] = uint32_t(next++);
    }
    DisposeBitArray(used);
    DACompact(table, false);
    ModelWaitCursor();
    ForEachCompPinId(sheet->componentList, [&](uint32_t* id) {
        *id = *id <= uint32_t(highest) ? newId[*id] : kNoPinData;
        return true;
    });
}

// ---- Stored form ----

OSStatus WritePinData(StreamRecord* stream, Handle record) { return StreamWriteHandle(stream, record); }

OSStatus ReadPinData(StreamRecord* stream, MemPool pool, Handle* record) {
    *record = nullptr;
    Handle h = nullptr;
    const OSStatus err = StreamReadHandle(stream, pool, &h);
    if (err != status::kNoErr || !h) return err;
    const bool swap = stream->flags & kStreamSwapOnRead;
    const uint32_t size = SizeOfHandle(h);
    if (size >= kHeadSize && swap) ByteSwapTemplate(*h, kPinDataHeadTemplate);
    const int32_t count = Head(h).attributeCount;
    const uint32_t exact = kHeadSize + uint32_t(std::max(count, 0)) * kAttributeSize;
    if (size < kHeadSize || count < 0 || exact > size) {
        MemFree(h);
        return status::kParamErr;
    }
    if (exact < size && !ResizeHandle(h, exact)) {
        MemFree(h);
        return status::kOutOfMemory;
    }
    if (swap) ByteSwapAttributes(h, kHeadSize, count);
    CalcPinDataHash(h);
    *record = h;
    return status::kNoErr;
}

void WritePinTableLoopProc(DAHeader**, int32_t, DALoopRecord* loop) {
    Signal(WritePinData(DALoopStream(loop), ItemHandle(loop->address)));
}

void ReadPinTableLoopProc(DAHeader** array, int32_t id, DALoopRecord* loop) {
    // Items of another kind may hold bytes read from the file: touch none of them.
    if (!IsPinTableKind(*array)) FailureSignal(status::kParamErr);
    if (id == 0) {
        for (int32_t i = 0; i < DACount(array); ++i) std::memset(DAGetAddress(array, i, false), 0, kPinDataItemSize);
    }
    Handle record = nullptr;
    OSStatus err = ReadPinData(DALoopStream(loop), (*array)->pool, &record);
    if (err == status::kNoErr && !record) err = status::kParamErr;
    if (err != status::kNoErr) {
        for (int32_t i = 0; i < DACount(array); ++i) {
            char* item = DAGetAddress(array, i, false);
            if (Handle h = ItemHandle(item)) MemFree(h);
            std::memset(item, 0, kPinDataItemSize);
        }
        FailureSignal(err);
    }
    std::memcpy(DAGetAddress(array, id, false), &record, sizeof record);
}

OSStatus WritePinDataTable(StreamRecord* stream, PinDataTable table) {
    if (!table) return status::kParamErr;
    // The reference value is the block's address: it means nothing in a file, so 0 is stored.
    const uint64_t block = DAGetRefCon(table);
    DASetRefCon(table, 0);
    const OSStatus err = DAWrite(table, stream, WritePinTableLoopProc);
    DASetRefCon(table, block);
    return err;
}

OSStatus ReadPinDataTable(StreamRecord* stream, MemPool pool, StringBlock block, PinDataTable* table) {
    *table = nullptr;
    PinDataTable read = nullptr;
    const OSStatus err = DAReadEx(pool, &read, kPinDataItemSize, stream, ReadPinTableLoopProc);
    if (err != status::kNoErr) return err;
    if (!IsPinTableKind(*read)) {
        DADispose(read);  // an empty array: the item procedure read nothing into it
        return status::kParamErr;
    }
    SetupPinDataTable(read, block);
    *table = read;
    return status::kNoErr;
}

// ---- Node pin numbers ----

int32_t FindNodePinNumbersSection(Handle numbers, uint64_t key) {
    const int32_t count = EntryCount(numbers);
    for (int32_t i = 0; i < count; ++i) {
        if (LoadEntry(numbers, i).section == key) return i;
    }
    return -1;
}

int32_t GetNodesPinNumberSet(Handle numbers, uint64_t key, StringSpec specs[4]) {
    const int32_t index = FindNodePinNumbersSection(numbers, key);
    if (index < 0) {
        std::fill(specs, specs + kPinSetCount, 0);
        return -1;
    }
    const NodePinNumberEntry e = LoadEntry(numbers, index);
    std::copy(e.numbers, e.numbers + kPinSetCount, specs);
    return index * 3;
}

void ChangePinNumberSetStringBlock(StringSpec specs[4], StringBlock from, StringBlock to) {
    for (int32_t i = 0; i < kPinSetCount; ++i) specs[i] = TransferStringSpec(specs[i], from, to, true);
}

bool SetNodesPinNumberSet(Handle* numbers, uint64_t key, const StringSpec specs[4], StringBlock from,
                          StringBlock to) {
    NodePinNumberEntry e{key, {specs[0], specs[1], specs[2], specs[3]}};
    if (from != to) ChangePinNumberSetStringBlock(e.numbers, from, to);
    if (!*numbers) {
        *numbers = AllocHandleClear(gGenPool, kNodePinNumbersHead);
        if (!*numbers) return false;
    }
    Handle table = *numbers;
    if (SizeOfHandle(table) < kNodePinNumbersHead && !SetHandleContent(table, nullptr, kNodePinNumbersHead))
        return false;
    const int32_t index = FindNodePinNumbersSection(table, key);
    if (index >= 0) {
        StoreEntry(table, index, e);
        return true;
    }
    const int32_t count = EntryCount(table);
    if (count >= 0xFFFF || !InsertInHandle(table, int32_t(EntryAt(count)), &e, sizeof e)) return false;
    StoreEntryCount(table, count + 1);
    return true;
}

StringSpec GetNodesPinNumber(const NodePinEditor* editor, Handle numbers, uint64_t key, int32_t pinSet,
                             char* number) {
    StringSpec specs[kPinSetCount];
    GetNodesPinNumberSet(numbers, EditorKey(editor, key), specs);
    pinSet = EditorPinSet(editor, pinSet);
    const StringSpec spec = pinSet >= 0 && pinSet < kPinSetCount ? specs[pinSet] : 0;
    if (number) ExtractStringSpec(spec, editor->block, number, kPinTextSize);
    return spec;
}

void SetNodesPinNumber(const NodePinEditor* editor, Handle* numbers, uint64_t key, int32_t pinSet,
                       const char* text) {
    key = EditorKey(editor, key);
    pinSet = EditorPinSet(editor, pinSet);
    if (pinSet < 0 || pinSet >= kPinSetCount) return;
    StringSpec specs[kPinSetCount];
    GetNodesPinNumberSet(*numbers, key, specs);
    const bool given = text && *text;
    const StringSpec spec = given ? OverlayStringBlock(editor->block, text, -1, nullptr) : 0;
    if (given && spec == 0) return;
    specs[pinSet] = spec;
    for (int32_t set = 0; given && set < kPinSetCount; ++set) {
        if (set != pinSet && (specs[set] == 0 || !editor->pinSetUsed[set])) specs[set] = spec;
    }
    (void)SetNodesPinNumberSet(numbers, key, specs, editor->block, editor->block);  // out of memory keeps the old numbers
}

void DeleteNodesPinNumber(const NodePinEditor* editor, Handle numbers, uint64_t key) {
    const int32_t index = FindNodePinNumbersSection(numbers, EditorKey(editor, key));
    if (index < 0) return;
    const int32_t count = EntryCount(numbers);
    if (DeleteFromHandle(numbers, int32_t(EntryAt(index)), sizeof(NodePinNumberEntry)))
        StoreEntryCount(numbers, count - 1);
}

void CopyNodePinSet(const NodePinEditor*, Handle numbers, int32_t from, int32_t to) {
    if (from == to || from < 0 || from >= kPinSetCount || to < 0 || to >= kPinSetCount) return;
    for (int32_t i = 0; i < EntryCount(numbers); ++i) {
        NodePinNumberEntry e = LoadEntry(numbers, i);
        e.numbers[to] = e.numbers[from];
        StoreEntry(numbers, i, e);
    }
}

void GetNodesPinName(Handle pinData, const NodePinEditor* editor, char* name) {
    GetPinDataName(pinData, editor->block, name);
}

void SetNodesPinName(Handle pinData, const NodePinEditor* editor, const char* name) {
    SetPinDataName(pinData, editor->block, name);
}

}  // namespace plexa
