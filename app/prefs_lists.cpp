// The lists the preferences file keeps beside its main record: the recent files, the shortcut
// groups, the property-name lists and the report-script list, each with its stored form (the
// layouts: app/prefs.cpp). Every reader builds what it reads aside and puts it in place only when
// the whole stored form was read and found sound; a failure leaves the list as it was.
#include <algorithm>
#include <bit>
#include <cstring>

#include "app/prefs.h"
#include "app/shortcutgroups.h"
#include "foundation/byteswap.h"
#include "foundation/datafile.h"
#include "foundation/dirspec.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "model/attributes.h"

namespace plexa {

std::vector<RecentFileEntry> gRecentFiles[kRecentListCount];
std::vector<Shortcut> gLibShortcuts[kShortcutGroupCount];
std::vector<ScriptFileEntry> gScriptFilesList;

namespace {

constexpr uint32_t kMaxDirSpecBytes = 8 + kDirectoryRefCapacity + 64;
constexpr int32_t kMaxRecentNameLength = int32_t(kFileSpecNameCapacity) - 1;

bool Swapping(const StreamRecord* stream) { return (stream->flags & kStreamSwapOnRead) != 0; }

// A string block of its own for the strings a writer stores; freed with the object.
class FreshStringBlock {
public:
    FreshStringBlock() : block_(CreateStringBlock(gGenPool, 64)) {
        if (!block_) FailureSignal(status::kOutOfMemory);
    }
    ~FreshStringBlock() { DestroyStringBlock(block_); }
    FreshStringBlock(const FreshStringBlock&) = delete;
    FreshStringBlock& operator=(const FreshStringBlock&) = delete;
    StringSpec Add(const std::string& text) {
        if (text.empty()) return 0;
        const StringSpec spec = OverlayStringBlock(block_, text.data(), int32_t(text.size()), nullptr);
        if (!spec) FailureSignal(StringBlockAddStatus() ? StringBlockAddStatus() : status::kOutOfMemory);
        return spec;
    }
    StringBlock get() const { return block_; }

private:
    StringBlock block_;
};

// A handle the reader owns until it lets it go.
class OwnedHandle {
public:
    OwnedHandle() = default;
    ~OwnedHandle() {
        if (h_) MemFree(h_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    Handle* out() { return &h_; }
    Handle get() const { return h_; }
    Handle release() { return std::exchange(h_, nullptr); }

private:
    Handle h_ = nullptr;
};

std::string Extract(StringSpec spec, StringBlock block) {
    char buffer[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, buffer, int32_t(sizeof buffer));
    return buffer;
}

// A string block stored as a handle, made usable whichever order wrote it.
OSStatus ReadStringBlockHandle(StreamRecord* stream, OwnedHandle* block) {
    if (OSStatus st = StreamReadHandle(stream, gGenPool, block->out())) return st;
    if (block->get() && !AdoptStoredStringBlock(block->get())) return status::kBadPosition;
    return status::kNoErr;
}

void FreeRecentEntries(std::vector<RecentFileEntry>& list) {
    for (auto& entry : list)
        if (entry.dirSpec) MemFree(entry.dirSpec);
    list.clear();
}

void FreeScriptEntries(std::vector<ScriptFileEntry>& list) {
    for (auto& entry : list)
        if (entry.dirSpec) MemFree(entry.dirSpec);
    list.clear();
}

}  // namespace

// A folder's dir spec: its kind is big-endian in the file whatever wrote it.
OSStatus ReadStoredDirSpec(StreamRecord* stream, Handle* dirSpec) {
    *dirSpec = nullptr;
    if (OSStatus st = StreamReadHandle(stream, gGenPool, dirSpec)) return st;
    if (!*dirSpec) return status::kNoErr;
    if (SizeOfHandle(*dirSpec) < 5 || SizeOfHandle(*dirSpec) > kMaxDirSpecBytes) {
        MemFree(*dirSpec);
        *dirSpec = nullptr;
        return status::kBadPosition;
    }
    if constexpr (std::endian::native == std::endian::little) ByteSwapDirSpec(*dirSpec);
    return status::kNoErr;
}

OSStatus WriteStoredDirSpec(StreamRecord* stream, Handle dirSpec) {
    if (!dirSpec) return StreamWriteHandle(stream, nullptr);
    Handle stored = AllocHandleWithData(gGenPool, *dirSpec, SizeOfHandle(dirSpec));
    if (!stored) return status::kOutOfMemory;
    if constexpr (std::endian::native == std::endian::little) ByteSwapDirSpec(stored);
    const OSStatus st = StreamWriteHandle(stream, stored);
    MemFree(stored);
    return st;
}

// ---- Recent files ----

void InitRecentFiles() {
    for (int32_t i = 0; i < kRecentListCount; i++) ClearRecentFiles(i);
}

void ClearRecentFiles(int32_t list) {
    if (list >= 0 && list < kRecentListCount) FreeRecentEntries(gRecentFiles[list]);
}

OSStatus InflateRecentFiles(StreamRecord* stream) {
    std::vector<RecentFileEntry> read[kRecentListCount];
    auto fail = [&](OSStatus st) {
        for (auto& list : read) FreeRecentEntries(list);
        return st;
    };
    int32_t list = 0;
    for (;;) {
        uint16_t word = 0;
        if (OSStatus st = StreamReadWord(stream, &word)) return fail(st);
        const int16_t n = int16_t(word);
        if (n < 0) break;
        if (n == 0) {
            list++;
            continue;
        }
        if (n > kMaxRecentNameLength) return fail(status::kBadPosition);
        RecentFileEntry entry{0, nullptr, std::string(size_t(n), '\0')};
        int32_t count = n;
        OSStatus st = StreamRead(stream, entry.name.data(), &count);
        if (!st) st = StreamReadLong(stream, &entry.time);
        if (!st) st = ReadStoredDirSpec(stream, &entry.dirSpec);
        if (!st && entry.name.find('\0') != std::string::npos) st = status::kBadPosition;
        if (st) {
            if (entry.dirSpec) MemFree(entry.dirSpec);
            return fail(st);
        }
        if (list < kRecentListCount)
            read[list].push_back(std::move(entry));
        else if (entry.dirSpec)
            MemFree(entry.dirSpec);
    }
    for (int32_t i = 0; i < kRecentListCount; i++) {
        // A list past its limit keeps its newest entries.
        while (int32_t(read[i].size()) > kRecentListLimits[i]) {
            auto oldest = std::min_element(read[i].begin(), read[i].end(),
                                           [](const auto& a, const auto& b) { return a.time < b.time; });
            if (oldest->dirSpec) MemFree(oldest->dirSpec);
            read[i].erase(oldest);
        }
        FreeRecentEntries(gRecentFiles[i]);
        gRecentFiles[i] = std::move(read[i]);
    }
    return status::kNoErr;
}

OSStatus WriteRecentFiles(StreamRecord* stream) {
    for (const auto& list : gRecentFiles) {
        for (const auto& entry : list) {
            const size_t n = std::min<size_t>(entry.name.size(), size_t(kMaxRecentNameLength));
            if (n == 0) continue;
            if (OSStatus st = StreamWriteWord(stream, uint16_t(n))) return st;
            if (OSStatus st = StreamWrite(stream, entry.name.data(), int32_t(n))) return st;
            if (OSStatus st = StreamWriteLong(stream, entry.time)) return st;
            if (OSStatus st = WriteStoredDirSpec(stream, entry.dirSpec)) return st;
        }
        if (OSStatus st = StreamWriteWord(stream, 0)) return st;
    }
    return StreamWriteWord(stream, 0xFFFF);
}

// ---- Shortcut groups ----

int32_t AddShortcutToGroup(int32_t group, const char* itemName, const char* libraryName) {
    if (group < 0 || group >= kShortcutGroupCount) return 0;
    return AddShortcutToGroup(gLibShortcuts[group], itemName, libraryName);
}

OSStatus WriteShortcutGroups(StreamRecord* stream) {
    return CatchSignals([&] {
        FreshStringBlock strings;
        std::vector<std::vector<uint8_t>> groups;
        for (const auto& group : gLibShortcuts) {
            std::vector<uint8_t> bytes(4 + 8 * group.size(), 0);
            const uint16_t count = uint16_t(group.size());
            std::memcpy(bytes.data(), &count, 2);
            for (size_t i = 0; i < group.size(); i++) {
                const uint32_t specs[2] = {strings.Add(group[i].library), strings.Add(group[i].item)};
                std::memcpy(bytes.data() + 4 + 8 * i, specs, 8);
            }
            groups.push_back(std::move(bytes));
        }
        Signal(StreamWriteWord(stream, kShortcutGroupCount));
        Signal(WriteStringBlock(stream, strings.get()));
        for (const auto& bytes : groups) {
            Handle h = AllocHandleWithData(gGenPool, bytes.data(), uint32_t(bytes.size()));
            if (!h) FailureSignal(status::kOutOfMemory);
            const OSStatus st = StreamWriteHandle(stream, h);
            MemFree(h);
            Signal(st);
        }
    });
}

OSStatus ReadShortcutGroups(StreamRecord* stream) {
    uint16_t count = 0;
    if (OSStatus st = StreamReadWord(stream, &count)) return st;
    StringBlock strings = nullptr;
    if (OSStatus st = ReadStringBlock(stream, gGenPool, &strings)) return st;
    std::vector<Shortcut> read[kShortcutGroupCount];
    OSStatus st = status::kNoErr;
    for (uint16_t g = 0; g < count && !st; g++) {
        OwnedHandle group;
        st = StreamReadHandle(stream, gGenPool, group.out());
        if (st || !group.get()) continue;
        const uint32_t size = SizeOfHandle(group.get());
        uint16_t entries = 0;
        if (size >= 4) std::memcpy(&entries, *group.get(), 2);
        if (Swapping(stream)) entries = uint16_t((entries >> 8) | (entries << 8));
        if (size < 4 || size < 4 + 8u * entries) {
            st = status::kBadPosition;
            continue;
        }
        if (g >= kShortcutGroupCount) continue;
        for (uint16_t i = 0; i < entries; i++) {
            uint32_t specs[2];
            std::memcpy(specs, *group.get() + 4 + 8 * i, 8);
            if (Swapping(stream)) ByteSwapLongArray(specs, 8);
            read[g].push_back({Extract(specs[1], strings), Extract(specs[0], strings)});
        }
    }
    DestroyStringBlock(strings);
    if (st) return st;
    for (int32_t g = 0; g < kShortcutGroupCount; g++) gLibShortcuts[g] = std::move(read[g]);
    return status::kNoErr;
}

// ---- Property-name lists ----

OSStatus WritePropertyNamesTable(StreamRecord* stream) {
    return CatchSignals([&] {
        Signal(StreamWriteWord(stream, kPropertyNamesKinds));
        for (const auto& list : gPropertyNamesTable) {
            FreshStringBlock strings;
            std::vector<AttributeRecord> records;
            for (const auto& name : list)
                records.push_back({strings.Add(name), 0, 0, uint8_t(CalcNameHash(name.c_str()) & 0xFF), 0});
            Handle attributes = AllocHandleWithData(gGenPool, records.data(), uint32_t(records.size() * kAttributeSize));
            if (!attributes) FailureSignal(status::kOutOfMemory);
            OSStatus st = StreamWriteWord(stream, uint16_t(records.size()));
            if (!st) st = StreamWriteHandle(stream, strings.get());
            if (!st) st = StreamWriteHandle(stream, attributes);
            MemFree(attributes);
            Signal(st);
        }
    });
}

OSStatus ReadPropertyNamesTable(StreamRecord* stream) {
    uint16_t lists = 0;
    if (OSStatus st = StreamReadWord(stream, &lists)) return st;
    lists = std::min<uint16_t>(lists, kPropertyNamesKinds);
    for (uint16_t kind = 0; kind < lists; kind++) {
        uint16_t count = 0;
        OwnedHandle strings, attributes;
        OSStatus st = StreamReadWord(stream, &count);
        if (!st) st = ReadStringBlockHandle(stream, &strings);
        if (!st) st = StreamReadHandle(stream, gGenPool, attributes.out());
        if (!st && count &&
            (!strings.get() || !attributes.get() || SizeOfHandle(attributes.get()) < uint32_t(count) * kAttributeSize))
            st = status::kBadPosition;
        if (st) {
            gPropertyNamesTable[kind].clear();
            return st;
        }
        if (Swapping(stream) && count) ByteSwapAttributes(attributes.get(), 0, count);
        gPropertyNamesTable[kind].clear();
        for (uint16_t i = 0; i < count; i++) {
            AttributeRecord record;
            std::memcpy(&record, *attributes.get() + i * kAttributeSize, kAttributeSize);
            const std::string name = Extract(record.name, strings.get());
            AppendPropertyNames(kind, name.c_str());
        }
    }
    return status::kNoErr;
}

// ---- Report script list ----

void ClearScriptFilesList() { FreeScriptEntries(gScriptFilesList); }

void BuildDefaultScriptsList(const DirectoryRef* essentials) {
    ClearScriptFilesList();
    if (!essentials || IsDirectoryInvalid(essentials)) return;
    FileSpec folder;
    if (FileSpecFromPathName(essentials, "Scripts", &folder) != status::kNoErr) return;
    DirectoryRef scripts;
    if (DirectoryFromFolderSpec(&folder, &scripts) != status::kNoErr) return;
    const struct {
        const char* name;
        const char* target;
    } kDefaults[] = {{"Orvix Boardix Parts List", "****"}, {"Orvix Boardix Net List", "****"}, {"Simora Hierarchical", "smra"}};
    for (const auto& script : kDefaults) {
        for (const std::string& name : {std::string(script.name), std::string(script.name) + ".SXP"}) {
            FileSpec spec;
            bool isFolder = false;
            if (FileSpecFromPathName(&scripts, name.c_str(), &spec) != status::kNoErr || !VXFileExists(&spec, &isFolder) ||
                isFolder)
                continue;
            gScriptFilesList.push_back({name, script.target, CreateDirSpec(&scripts)});
            break;
        }
    }
}

OSStatus WriteScriptFileList(StreamRecord* stream) {
    return CatchSignals([&] {
        FreshStringBlock strings;
        std::vector<std::pair<StringSpec, StringSpec>> specs;
        for (const auto& entry : gScriptFilesList) specs.emplace_back(strings.Add(entry.name), strings.Add(entry.target));
        Signal(StreamWriteWord(stream, 2));
        Signal(StreamWriteWord(stream, uint16_t(gScriptFilesList.size())));
        for (size_t i = 0; i < specs.size(); i++) {
            Signal(StreamWriteLong(stream, specs[i].first));
            Signal(StreamWriteLong(stream, specs[i].second));
            Signal(WriteStoredDirSpec(stream, gScriptFilesList[i].dirSpec));
        }
        Signal(StreamWriteHandle(stream, strings.get()));
    });
}

OSStatus ReadScriptFileList(StreamRecord* stream) {
    ClearScriptFilesList();
    uint16_t version = 0;
    if (OSStatus st = StreamReadWord(stream, &version)) return st;
    if (version != 1 && version != 2) return status::kNoErr;
    uint16_t count = 0;
    if (OSStatus st = StreamReadWord(stream, &count)) return st;
    struct Stored {
        uint32_t name, target;
        Handle dirSpec;
    };
    std::vector<Stored> stored;
    auto fail = [&](OSStatus st) {
        for (auto& entry : stored)
            if (entry.dirSpec) MemFree(entry.dirSpec);
        return st;
    };
    for (uint16_t i = 0; i < count; i++) {
        Stored entry{0, 0, nullptr};
        OSStatus st = StreamReadLong(stream, &entry.name);
        if (!st) st = StreamReadLong(stream, &entry.target);
        if (!st) st = ReadStoredDirSpec(stream, &entry.dirSpec);
        if (st) return fail(st);
        stored.push_back(entry);
    }
    OwnedHandle strings;
    if (OSStatus st = ReadStringBlockHandle(stream, &strings)) return fail(st);
    if (count && !strings.get()) return fail(status::kBadPosition);
    for (auto& entry : stored) {
        std::string target = version == 1 ? (entry.target ? "****" : "") : Extract(entry.target, strings.get());
        gScriptFilesList.push_back({Extract(entry.name, strings.get()), std::move(target), entry.dirSpec});
        entry.dirSpec = nullptr;
    }
    return status::kNoErr;
}

}  // namespace plexa
