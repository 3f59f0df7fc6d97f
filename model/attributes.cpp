// Attribute lists: runs of 12-byte records in a handle, texts in the owner's string block.
#include "model/attributes.h"
#include "model/modelstate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/assert.h"
#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"

namespace plexa {

bool& gDontOverwriteExistingAttrs = gModelState.dontOverwriteExistingAttrs;
Handle gPredefinedMacros = nullptr;
int16_t gPredefinedMacroCount = 0;
StringBlock gPredefinedMacroLabels = nullptr;

namespace {

// Records of a run that lie inside its handle.
int32_t RecordsInside(Handle handle, uint32_t offset) {
    const uint32_t size = handle ? SizeOfHandle(handle) : 0;
    return offset <= size ? int32_t(std::min<uint32_t>((size - offset) / kAttributeSize,
                                                        uint32_t(kMaxAttributeCount)))
                          : 0;
}

// The part of a run that a reader may look at.
int32_t ReadableCount(Handle handle, uint32_t offset, int32_t count) {
    return std::clamp(count, 0, RecordsInside(handle, offset));
}

// Whether a run may be changed: it lies wholly inside its handle.
bool Fits(Handle handle, uint32_t offset, int32_t count) {
    return handle && count >= 0 && count <= RecordsInside(handle, offset);
}

uint32_t At(uint32_t offset, int32_t index) { return offset + uint32_t(index) * kAttributeSize; }

AttributeRecord Load(Handle handle, uint32_t offset, int32_t index) {
    AttributeRecord r;
    std::memcpy(&r, *handle + At(offset, index), kAttributeSize);
    return r;
}

void Store(Handle handle, uint32_t offset, int32_t index, const AttributeRecord& r) {
    std::memcpy(*handle + At(offset, index), &r, kAttributeSize);
}

// A whole string of a block (up to 1023 bytes).
std::string Text(StringSpec spec, StringBlock block) {
    char buffer[kStringSpecBufferSize];
    const int16_t n = ExtractStringSpec(spec, block, buffer, sizeof buffer);
    return std::string(buffer, size_t(n));
}

// Case folding is ASCII only, whatever the process's locale: name hashes are stored in files.
uint8_t Upper(char c) { return uint8_t(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }

bool SameName(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

bool IsTrackingName(const std::string& name) { return name.size() >= 2 && name[0] == '~' && name[1] == '~'; }

// The empty-or-marker test of a value pointer.
bool IsMarker(const char* value) { return value == kAttributeEmptyValue; }

// Overlays a text; false when a non-empty text could not be stored.
bool StoreText(StringBlock block, const char* text, StringSpec* spec) {
    *spec = OverlayStringBlock(block, text, -1, nullptr);
    return *spec != 0 || text[0] == 0;
}

// Moves the strings of a run into another block, in name order, without touching the run: the
// moved records go to `out` (count entries). The add status on failure.
OSStatus MoveRunStrings(Handle handle, uint32_t offset, int32_t count, StringBlock from,
                        StringBlock to, std::vector<AttributeRecord>& out) {
    out.resize(static_cast<size_t>(count));
    std::vector<int32_t> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    for (int32_t i = 0; i < count; ++i) out[size_t(i)] = Load(handle, offset, i);
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        const StringRef x{from, out[size_t(a)].name}, y{from, out[size_t(b)].name};
        const int c = SortAttributeSpecsCompareProc(&x, &y);
        return c != 0 ? c < 0 : a < b;
    });
    for (int32_t i : order) {
        AttributeRecord& r = out[size_t(i)];
        const StringSpec name = TransferStringSpec(r.name, from, to, true);
        if (StringBlockAddStatus() != status::kNoErr) return StringBlockAddStatus();
        const StringSpec value = TransferStringSpec(r.value, from, to, true);
        if (StringBlockAddStatus() != status::kNoErr) return StringBlockAddStatus();
        if (from != to) r.nameHash = uint8_t(CalcNameHash(Text(name, to).c_str()));
        r.name = name;
        r.value = value;
    }
    return status::kNoErr;
}

std::vector<StringBlock>& OwnedBlocks() {
    static std::vector<StringBlock> blocks;
    return blocks;
}

}  // namespace

uint16_t CalcNameHash(const char* name) {
    uint32_t h = 0;
    for (const char* p = name; p && *p; ++p) h = h * 13 + Upper(*p);
    return uint16_t(h);
}

void GetIndexedAttribute(StringBlock block, Handle handle, uint32_t offset, int32_t index,
                         char* name, char* value, uint16_t* flags, AttributeRecord* raw) {
    AttributeRecord r{};
    if (index >= 0 && index < RecordsInside(handle, offset)) r = Load(handle, offset, index);
    if (name) ExtractStringSpec(r.name, block, name, kAttributeTextSize);
    if (value) ExtractStringSpec(r.value, block, value, kAttributeTextSize);
    if (flags) *flags = r.flags;
    if (raw) *raw = r;
}

void SetIndexedAttribute(StringBlock block, Handle handle, uint32_t offset, int32_t index,
                         const char* name, const char* value, const uint16_t* flags) {
    if (index < 0 || index >= RecordsInside(handle, offset)) return;
    AttributeRecord r = Load(handle, offset, index);
    if (name) {
        StringSpec spec;
        if (!StoreText(block, name, &spec)) return;
        r.name = spec;
        r.nameHash = uint8_t(CalcNameHash(name));
    }
    if (value) {
        StringSpec spec = 0;
        if (!IsMarker(value) && !StoreText(block, value, &spec)) return;
        r.value = spec;
    }
    if (flags) r.flags = *flags;
    Store(handle, offset, index, r);
}

int16_t GetAttributeValue(StringBlock block, Handle handle, uint32_t offset, int32_t count,
                          const char* name, char* value, uint16_t* flags, int32_t valueSize) {
    const uint8_t hash = uint8_t(CalcNameHash(name));
    const int32_t n = ReadableCount(handle, offset, count);
    for (int32_t i = 0; name && i < n; ++i) {
        const AttributeRecord r = Load(handle, offset, i);
        if (r.nameHash != hash || !SameName(Text(r.name, block), name)) continue;
        if (value) ExtractStringSpec(r.value, block, value, valueSize);
        if (flags) *flags = r.flags;
        return int16_t(i);
    }
    if (value && valueSize > 0) value[0] = 0;
    if (flags) *flags = 0;
    return int16_t(uint16_t(std::clamp(count, 0, kMaxAttributeCount)) | 0x8000);
}

int16_t SetAttributeValue(StringBlock block, Handle handle, uint32_t offset, int16_t* count,
                          const char* name, const char* value, const uint16_t* flags) {
    uint16_t found = 0;
    const int16_t index = GetAttributeValue(block, handle, offset, *count, name, nullptr, &found);
    const bool exists = index >= 0;
    if (flags) found = *flags;
    if (exists && gDontOverwriteExistingAttrs) return index;
    if (!name || !Fits(handle, offset, *count)) return index;

    StringSpec spec = 0;
    if (value && !IsMarker(value) && !StoreText(block, value, &spec)) return index;
    if (exists) {
        AttributeRecord r = Load(handle, offset, index);
        if (!value) {
            DeleteIndexedAttribute(handle, offset, count, index);
        } else if (IsMarker(value) || spec != 0) {
            r.value = spec;
            r.flags = found;
            Store(handle, offset, index, r);
        }
        return index;
    }
    if (!value || *count >= kMaxAttributeCount) return index;
    AttributeRecord r{};
    if (!StoreText(block, name, &r.name)) return index;
    r.value = spec;
    r.flags = found;
    r.nameHash = uint8_t(CalcNameHash(name));
    if (!InsertInHandle(handle, int32_t(At(offset, *count)), &r, kAttributeSize)) return index;
    ++*count;
    return index;
}

void DeleteIndexedAttribute(Handle handle, uint32_t offset, int16_t* count, int32_t index) {
    if (!Fits(handle, offset, *count) || index < 0 || index >= *count) return;
    if (DeleteFromHandle(handle, int32_t(At(offset, index)), kAttributeSize)) --*count;
}

bool DeleteEmptyAttributes(Handle handle, uint32_t offset, int16_t* count, StringBlock block,
                           bool keepSpaces) {
    if (!Fits(handle, offset, *count)) return false;
    bool deleted = false;
    for (int32_t i = *count - 1; i >= 0; --i) {
        const std::string value = Text(Load(handle, offset, i).value, block);
        if (value.empty() || (!keepSpaces && value.find_first_not_of(' ') == std::string::npos)) {
            DeleteIndexedAttribute(handle, offset, count, i);
            deleted = true;
        }
    }
    return deleted;
}

int32_t CountUserAttributes(StringBlock block, Handle handle, uint32_t offset, int32_t count) {
    int32_t users = 0;
    const int32_t n = ReadableCount(handle, offset, count);
    for (int32_t i = 0; i < n; ++i) {
        char first[2];
        ExtractStringSpec(Load(handle, offset, i).name, block, first, sizeof first);
        if (first[0] != '~') ++users;
    }
    return users;
}

void ChangeAttributeFlags(Handle handle, uint32_t offset, int32_t first, int32_t last, uint16_t set,
                          uint16_t clear) {
    const int32_t end = std::min(last, RecordsInside(handle, offset) - 1);
    for (int32_t i = std::max(first, 0); i <= end; ++i) {
        AttributeRecord r = Load(handle, offset, i);
        r.flags = uint16_t((r.flags & ~clear) | set);
        Store(handle, offset, i, r);
    }
}

bool MergeAttributes(StringBlock sourceBlock, Handle source, uint32_t sourceOffset,
                     int32_t sourceCount, StringBlock targetBlock, Handle target,
                     uint32_t targetOffset, int16_t* targetCount, uint32_t options) {
    if (!targetBlock) targetBlock = sourceBlock;
    gDontOverwriteExistingAttrs = !(options & kMergeOverwrite);
    bool added = false;
    for (int32_t i = 0; i < ReadableCount(source, sourceOffset, sourceCount); ++i) {
        const AttributeRecord r = Load(source, sourceOffset, i);
        char name[kStringSpecBufferSize];
        ExtractStringSpec(r.name, sourceBlock, name, sizeof name);
        TrimSpacesC(name);
        if (name[0] == 0) continue;
        const std::string value = Text(r.value, sourceBlock);
        if (value.empty() && !(options & kMergeEmptyValues)) continue;
        if (name[0] == '~' && (options & kMergeSkipInternal)) continue;
        if ((options & kMergeOnlyExisting) &&
            GetAttributeValue(targetBlock, target, targetOffset, *targetCount, name, nullptr, nullptr) < 0)
            continue;
        const int16_t before = *targetCount;
        SetAttributeValue(targetBlock, target, targetOffset, targetCount, name, value.c_str(), &r.flags);
        added = added || *targetCount > before;
    }
    gDontOverwriteExistingAttrs = false;
    return added;
}

int SortAttributeSpecsCompareProc(const StringRef* a, const StringRef* b) {
    char x[kStringTransferBufferSize], y[kStringTransferBufferSize];
    uint32_t nx = uint32_t(ExtractStringSpec(a->spec, a->block, x, kStringSpecBufferSize));
    uint32_t ny = uint32_t(ExtractStringSpec(b->spec, b->block, y, kStringSpecBufferSize));
    if (RecodeForStringTransfer(x, sizeof x)) nx = uint32_t(std::strlen(x));
    if (RecodeForStringTransfer(y, sizeof y)) ny = uint32_t(std::strlen(y));
    const int c = std::memcmp(x, y, std::min(nx, ny));
    if (c != 0) return c < 0 ? -1 : 1;
    return nx < ny ? -1 : nx > ny ? 1 : 0;
}

OSStatus ChangeAttributesStringBlock(Handle handle, uint32_t offset, int32_t count,
                                     StringBlock from, StringBlock to) {
    if (!handle || count <= 0) return status::kNoErr;
    if (!Fits(handle, offset, count)) return status::kParamErr;
    std::vector<AttributeRecord> moved;
    const OSStatus err = MoveRunStrings(handle, offset, count, from, to, moved);
    if (err != status::kNoErr) return err;
    for (int32_t i = 0; i < count; ++i) Store(handle, offset, i, moved[size_t(i)]);
    return status::kNoErr;
}

void SetStringBlockOwnedByAttributes(StringBlock block, bool owned) {
    std::vector<StringBlock>& blocks = OwnedBlocks();
    blocks.erase(std::remove(blocks.begin(), blocks.end(), block), blocks.end());
    if (owned && block) blocks.push_back(block);
}

bool IsStringBlockOwnedByAttributes(StringBlock block) {
    const std::vector<StringBlock>& blocks = OwnedBlocks();
    return block && std::find(blocks.begin(), blocks.end(), block) != blocks.end();
}

OSStatus PurgeAttributesStringBlock(Handle handle, uint32_t offset, int32_t count,
                                    StringBlock block) {
    // Rebuilding a block from one run is sound only when nothing else keeps strings there.
    PLEXA_ASSERT(IsStringBlockOwnedByAttributes(block));
    if (!IsStringBlockOwnedByAttributes(block) || !*block ||
        SizeOfHandle(block) < kStringBlockHeaderSize)
        return status::kParamErr;
    count = handle ? count : 0;
    if (!Fits(handle, offset, count) && count != 0) return status::kParamErr;
    StringBlockHeader header;
    std::memcpy(&header, *block, sizeof header);
    MemPoolInfoRecord info{};
    if (header.magic != kStringBlockMagic || !MemPoolInfo(nullptr, *block, &info))
        return status::kParamErr;
    StringBlock fresh = CreateStringBlock(info.pool, header.quantum);
    if (!fresh) return status::kOutOfMemory;
    std::vector<AttributeRecord> moved;
    OSStatus err = MoveRunStrings(handle, offset, count, block, fresh, moved);
    if (err == status::kNoErr && !SetHandleContent(block, *fresh, SizeOfHandle(fresh)))
        err = status::kOutOfMemory;
    DestroyStringBlock(fresh);
    if (err != status::kNoErr) return err;
    for (int32_t i = 0; i < count; ++i) Store(handle, offset, i, moved[size_t(i)]);
    return status::kNoErr;
}

void ByteSwapAttributes(Handle handle, uint32_t offset, int32_t count) {
    const int32_t n = ReadableCount(handle, offset, count);
    for (int32_t i = 0; i < n; ++i) ByteSwapTemplate(*handle + At(offset, i), kAttributeSwapTemplate);
}

Handle BuildTrackedAttributesTable(Handle library, uint32_t offset, int16_t* count,
                                   StringBlock source, StringBlock target) {
    const int32_t libraryCount = ReadableCount(library, offset, *count);
    *count = 0;
    Handle copy = library ? CloneHandle(nullptr, library) : nullptr;
    if (!copy) return nullptr;
    if (libraryCount > 0 &&
        !DeleteFromHandle(copy, int32_t(offset), int32_t(libraryCount * kAttributeSize))) {
        MemFree(copy);
        return nullptr;
    }
    for (int32_t i = 0; i < libraryCount; ++i) {
        const AttributeRecord r = Load(library, offset, i);
        const std::string name = Text(r.name, source);
        if (name.empty() || name[0] == '~') continue;
        const std::string value = Text(r.value, source);
        const char* text = value.empty() ? kAttributeEmptyValue : value.c_str();
        SetAttributeValue(target, copy, offset, count, ("~~" + name).c_str(), text, &r.flags);
        SetAttributeValue(target, copy, offset, count, name.c_str(), text, &r.flags);
    }
    return copy;
}

Handle PurgeTrackingAttributes(Handle handle, uint32_t offset, int16_t* count, StringBlock block,
                               bool freeWhenEmpty) {
    if (!handle) return nullptr;
    if (Fits(handle, offset, *count)) {
        for (int32_t i = *count - 1; i >= 0; --i) {
            const std::string name = Text(Load(handle, offset, i).name, block);
            if (!IsTrackingName(name)) continue;
            if (GetAttributeValue(block, handle, offset, *count, name.c_str() + 2, nullptr, nullptr) < 0)
                DeleteIndexedAttribute(handle, offset, count, i);
        }
    }
    if (freeWhenEmpty && *count == 0 && SizeOfHandle(handle) == 0) {
        MemFree(handle);
        return nullptr;
    }
    return handle;
}

void UpdateTrackedAttributes(Handle library, uint32_t libraryOffset, int32_t libraryCount,
                             StringBlock libraryBlock, Handle placed, uint32_t placedOffset,
                             int16_t* placedCount, StringBlock placedBlock, int32_t mode) {
    if (!Fits(placed, placedOffset, *placedCount)) return;
    const bool hasLibrary = library != nullptr;
    libraryCount = ReadableCount(library, libraryOffset, libraryCount);
    char buffer[kStringSpecBufferSize];
    auto libraryValue = [&](const char* name, std::string* value) {
        if (!hasLibrary) return false;
        if (GetAttributeValue(libraryBlock, library, libraryOffset, libraryCount, name, buffer, nullptr,
                              sizeof buffer) < 0)
            return false;
        *value = buffer;
        return true;
    };
    auto placedValue = [&](const std::string& name, std::string* value) -> int16_t {
        const int16_t i = GetAttributeValue(placedBlock, placed, placedOffset, *placedCount,
                                            name.c_str(), buffer, nullptr, sizeof buffer);
        if (value) *value = buffer;
        return i;
    };
    auto setPlaced = [&](const std::string& name, const std::string& value) {
        SetAttributeValue(placedBlock, placed, placedOffset, placedCount, name.c_str(),
                          value.empty() ? kAttributeEmptyValue : value.c_str(), nullptr);
    };

    if (mode != kTrackAddOnly) {
        std::vector<std::string> names;
        for (int32_t i = 0; i < *placedCount; ++i) {
            std::string name = Text(Load(placed, placedOffset, i).name, placedBlock);
            if (!IsTrackingName(name)) names.push_back(std::move(name));
        }
        for (const std::string& name : names) {
            const std::string copyName = "~~" + name;
            std::string value, copy, fromLibrary;
            if (placedValue(name, &value) < 0 || placedValue(copyName, &copy) < 0) continue;
            const bool untouched = value == copy;
            if (libraryValue(name.c_str(), &fromLibrary)) {
                if (fromLibrary == copy) continue;
                if (untouched || mode == kTrackForce) setPlaced(name, fromLibrary);
                setPlaced(copyName, fromLibrary);
            } else {
                DeleteIndexedAttribute(placed, placedOffset, placedCount, placedValue(copyName, nullptr));
                if (untouched) DeleteIndexedAttribute(placed, placedOffset, placedCount, placedValue(name, nullptr));
            }
        }
    }
    for (int32_t i = 0; hasLibrary && i < libraryCount; ++i) {
        const AttributeRecord r = Load(library, libraryOffset, i);
        const std::string name = Text(r.name, libraryBlock);
        if (name.empty() || IsTrackingName(name) || placedValue(name, nullptr) >= 0) continue;
        const std::string value = Text(r.value, libraryBlock);
        const char* text = value.empty() ? kAttributeEmptyValue : value.c_str();
        SetAttributeValue(placedBlock, placed, placedOffset, placedCount, ("~~" + name).c_str(), text, &r.flags);
        SetAttributeValue(placedBlock, placed, placedOffset, placedCount, name.c_str(), text, &r.flags);
    }
}

void SetPredefinedMacroAtribute(const char* name, int32_t number) {
    if (!gPredefinedMacros || !gPredefinedMacroLabels) return;
    char value[16];
    std::snprintf(value, sizeof value, "|%d", number);
    SetAttributeValue(gPredefinedMacroLabels, gPredefinedMacros, 0, &gPredefinedMacroCount, name,
                      value, nullptr);
}

void InitPredefinedMacros() {
    if (gPredefinedMacros) return;
    gPredefinedMacroLabels = CreateStringBlock(gGenPool, 64);
    gPredefinedMacros = AllocHandle(gGenPool, 0);
    if (!gPredefinedMacroLabels || !gPredefinedMacros) {
        DestroyStringBlock(gPredefinedMacroLabels);
        if (gPredefinedMacros) MemFree(gPredefinedMacros);
        gPredefinedMacroLabels = nullptr;
        gPredefinedMacros = nullptr;
        return;
    }
    gPredefinedMacroCount = 0;
    const char* names[] = {"SDate", "LDate", "SheetName", "ProjectName"};
    for (int32_t i = 0; i < 4; ++i) SetPredefinedMacroAtribute(names[i], i + 1);
}

bool ParseAttrTextName(const char* text, int32_t length, char* name, int32_t nameSize, bool* at) {
    if (nameSize > 0) name[0] = 0;
    if (at) *at = false;
    const size_t n = text ? strnlen(text, size_t(std::max(length, 0))) : 0;
    if (n < 3 || text[0] != '{' || text[n - 1] != '}') return false;
    std::string_view inner(text + 1, n - 2);
    const bool hasAt = !inner.empty() && inner[0] == '@';
    if (hasAt) inner.remove_prefix(1);
    if (inner.empty() || inner.find_first_of(" ~{}") != std::string_view::npos) return false;
    if (nameSize <= 0 || inner.size() >= size_t(nameSize)) return false;
    std::memcpy(name, inner.data(), inner.size());
    name[inner.size()] = 0;
    if (at) *at = hasAt;
    return true;
}

OSStatus WriteAttributeRun(StreamRecord* stream, Handle handle, int32_t count) {
    if (!handle) return count == 0 ? StreamWriteHandle(stream, nullptr) : status::kParamErr;
    if (!Fits(handle, 0, count)) return status::kParamErr;
    const uint32_t bytes = uint32_t(count) * kAttributeSize;
    if (bytes == SizeOfHandle(handle)) return StreamWriteHandle(stream, handle);
    Handle run = AllocHandleWithData(nullptr, *handle, bytes);
    if (!run) return status::kOutOfMemory;
    const OSStatus err = StreamWriteHandle(stream, run);
    MemFree(run);
    return err;
}

OSStatus ReadAttributeRun(StreamRecord* stream, MemPool pool, int32_t count, Handle* handle) {
    *handle = nullptr;
    if (count < 0 || count > kMaxAttributeCount) return status::kParamErr;
    Handle run = nullptr;
    const OSStatus err = StreamReadHandle(stream, pool, &run);
    if (err != status::kNoErr) return err;
    if (run ? SizeOfHandle(run) != uint32_t(count) * kAttributeSize : count != 0) {
        if (run) MemFree(run);
        return status::kParamErr;
    }
    if (run && (stream->flags & kStreamSwapOnRead)) ByteSwapAttributes(run, 0, count);
    *handle = run;
    return status::kNoErr;
}

}  // namespace plexa
