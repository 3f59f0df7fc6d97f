// ECO design states and the ECO file (format in ecostate.h).
#include "design/ecostate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/bytes.h"
#include "foundation/strings.h"

namespace plexa {

namespace {

constexpr OSStatus kEOF = -39;
constexpr OSStatus kNoMemory = -108;
constexpr uint32_t kNoHandle = 0xFFFFFFFF;

bool EnsureStrings(DesignStateRecord* state) {
    if (!state->strings) state->strings = CreateStringBlock(nullptr, 1024);
    return state->strings != nullptr;
}

StringSpec AddText(DesignStateRecord* state, const char* text, bool share) {
    if (!text || !*text || !EnsureStrings(state)) return 0;
    return share ? OverlayStringBlock(state->strings, text, -1, nullptr)
                 : AppendStringBlock(state->strings, text, 0xFFFF, nullptr);
}

}  // namespace

OSStatus InitDesignState(DesignStateRecord* state, uint32_t mode) {
    EmptyDesignState(state);
    if (mode & kStateInitTexts) {
        state->hasTextHandles = true;
        if (!EnsureStrings(state)) return kNoMemory;
    }
    return 0;
}

void EmptyDesignState(DesignStateRecord* state) {
    if (state->strings) DestroyStringBlock(state->strings);
    *state = DesignStateRecord{};
}

StringSpec SetDesignStateInfo(DesignStateRecord* state, const char* name, uint32_t revisionTime,
                              uint16_t kind) {
    state->name = AddText(state, name, false);
    state->revisionTime = revisionTime;
    state->kind = kind;
    return state->name;
}

int32_t AddECOCompText(DesignStateRecord* state, const char* designator, const char* name) {
    if (state->designators.size() >= size_t(kECOMaxComponents)) return -1;
    std::string trimmed = designator ? designator : "";
    const size_t first = trimmed.find_first_not_of(" \t");
    const size_t last = trimmed.find_last_not_of(" \t");
    trimmed = first == std::string::npos ? std::string() : trimmed.substr(first, last - first + 1);
    state->hasTextHandles = true;
    state->designators.push_back(AddText(state, trimmed.c_str(), false));
    state->componentNames.push_back(AddText(state, name, true));
    return int32_t(state->designators.size() - 1);
}

int32_t AddECOComp(DesignStateRecord* state, uint16_t id, const char* footprint) {
    ECOComponent comp;
    comp.id = id;
    comp.footprint = AddText(state, footprint, true);
    state->components.push_back(comp);
    return int32_t(state->components.size() - 1);
}

int32_t AddECOCompMember(DesignStateRecord* state, uint32_t instanceId, int32_t symbolId,
                         int32_t component) {
    ECOCompMember member;
    member.instanceId = instanceId;
    member.symbolId = symbolId;
    member.component = component;
    state->members.push_back(member);
    return int32_t(state->members.size() - 1);
}

int32_t AddECONet(DesignStateRecord* state, const char* name) {
    ECONet net;
    net.name = AddText(state, name, true);
    state->nets.push_back(net);
    return int32_t(state->nets.size() - 1);
}

int32_t AddECONetMember(DesignStateRecord* state, int32_t net, uint16_t compIndex, const char* pin) {
    ECONetMember member;
    member.compIndex = compIndex;
    member.pin = AddText(state, pin, true);
    member.net = net;
    state->hasNetMembers = true;
    state->netMembers.push_back(member);
    return int32_t(state->netMembers.size() - 1);
}

int32_t RetrieveECOComp(const DesignStateRecord* state, uint16_t id) {
    for (size_t i = state->components.size(); i-- > 0;)
        if (state->components[i].id == id) return int32_t(i);
    return -1;
}

void GetECOText(const DesignStateRecord* state, StringSpec spec, char* text) {
    text[0] = 0;
    if (state->strings) ExtractStringSpec(spec, state->strings, text, kStringSpecBufferSize);
}

int32_t RetrieveECONet(const DesignStateRecord* state, const char* name) {
    char text[kStringSpecBufferSize];
    for (size_t i = state->nets.size(); i-- > 0;) {
        GetECOText(state, state->nets[i].name, text);
        if (std::strcmp(text, name) == 0) return int32_t(i);
    }
    return -1;
}

void GetECOCompRefDes(const DesignStateRecord* state, int32_t index, char* text) {
    text[0] = 0;
    if (index >= 0 && size_t(index) < state->designators.size())
        GetECOText(state, state->designators[size_t(index)], text);
}

void GetECOCompName(const DesignStateRecord* state, int32_t index, char* text) {
    text[0] = 0;
    if (index >= 0 && size_t(index) < state->componentNames.size())
        GetECOText(state, state->componentNames[size_t(index)], text);
}

int32_t GetECOPinListSize(const DesignStateRecord* state) {
    return state->hasNetMembers ? int32_t(state->netMembers.size()) - 1 : -1;
}

void NormalizeFootprintString(char* text, char separator) {
    for (char* p = text; *p; ++p)
        if (*p == '\t' || *p == ',') *p = separator;
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == separator) text[--length] = 0;
    if (length >= 3 && text[0] == '\\' && (text[1] == 'F' || text[1] == 'f') && text[2] == '.')
        std::memmove(text, text + 3, length - 2);
}

// ---- Writing ----

namespace {

struct Writer {
    std::vector<uint8_t> bytes;
    void Word(uint16_t v) {
        const size_t at = bytes.size();
        bytes.resize(at + 2);
        std::memcpy(bytes.data() + at, &v, 2);
    }
    void Long(uint32_t v) {
        const size_t at = bytes.size();
        bytes.resize(at + 4);
        std::memcpy(bytes.data() + at, &v, 4);
    }
    void Ref(StringSpec spec) {
        // Offsets count from the string bytes behind the block's 16-byte header.
        const uint32_t length = StringSpecLength(spec);
        Long(length ? StringSpecOffset(spec) - kStringBlockHeaderSize : 0);
        Word(uint16_t(length));
    }
    void Handle(const std::vector<StringSpec>& specs, bool present) {
        if (!present) {
            Long(kNoHandle);
            return;
        }
        Long(uint32_t(specs.size() * sizeof(TextRef)));
        for (StringSpec spec : specs) Ref(spec);
    }
};

}  // namespace

std::vector<uint8_t> FlattenDesignState(const DesignStateRecord* state) {
    Writer w;
    w.Word(kDesignStateVersion);
    w.Long(state->flags | kDesignStateMarker);
    w.Ref(state->name);
    w.Long(state->revisionTime);
    w.Word(state->kind);
    uint32_t used = 0;
    if (state->strings) used = reinterpret_cast<const StringBlockHeader*>(*state->strings)->used;
    const uint32_t count = used > kStringBlockHeaderSize ? used - kStringBlockHeaderSize : 0;
    w.Long(count);
    if (count) w.bytes.insert(w.bytes.end(), *state->strings + kStringBlockHeaderSize,
                              *state->strings + kStringBlockHeaderSize + count);
    w.Handle(state->designators, state->hasTextHandles);
    w.Handle(state->componentNames, state->hasTextHandles);
    for (size_t i = state->components.size(); i-- > 0;) {
        w.Word(state->components[i].id);
        w.Ref(state->components[i].footprint);
    }
    w.Word(kECOListEnd);
    for (size_t i = state->members.size(); i-- > 0;) {
        const ECOCompMember& m = state->members[i];
        const int32_t comp = m.component;
        w.Word(comp >= 0 ? state->components[size_t(comp)].id : kECOListEnd - 1);
        w.Long(m.instanceId);
        w.Long(uint32_t(m.symbolId));
    }
    w.Word(kECOListEnd);
    // Nets are numbered in list order; members name their net by that number.
    std::vector<uint16_t> netIndex(state->nets.size());
    uint16_t next = 0;
    for (size_t i = state->nets.size(); i-- > 0;) {
        netIndex[i] = next;
        w.Word(next++);
        w.Ref(state->nets[i].name);
    }
    w.Word(kECOListEnd);
    if (!state->hasNetMembers || state->netMembers.empty()) {
        w.Long(kNoHandle);
    } else {
        w.Long(uint32_t(state->netMembers.size() - 1));
        for (const ECONetMember& m : state->netMembers) {
            w.Word(m.net >= 0 ? netIndex[size_t(m.net)] : kECOListEnd);
            w.Word(m.compIndex);
            w.Ref(m.pin);
        }
    }
    return std::move(w.bytes);
}

// ---- Reading ----

namespace {

struct Reader {
    const uint8_t* p;
    size_t left;
    bool swap;
    OSStatus status = 0;
    uint32_t stringBytes = 0;

    bool Take(void* out, size_t n) {
        if (status) return false;
        if (n > left) {
            status = kEOF;
            return false;
        }
        std::memcpy(out, p, n);
        p += n;
        left -= n;
        return true;
    }
    uint16_t Word() {
        uint8_t b[2] = {};
        Take(b, 2);
        return GetNative16(b, swap);
    }
    uint32_t Long() {
        uint8_t b[4] = {};
        Take(b, 4);
        return GetNative32(b, swap);
    }
    void Fail() {
        if (!status) status = kNotKnownFileKind;
    }
    // A text ref converted to a spec of the state's block; fails outside the string bytes.
    StringSpec Ref() {
        const uint32_t offset = Long();
        const uint16_t length = Word();
        return status ? 0 : Spec(offset, length);
    }
    StringSpec Spec(uint32_t offset, uint16_t length) {
        if (length == 0) return 0;
        if (length > kStringSpecMaxLength || offset > stringBytes || length > stringBytes - offset) {
            Fail();
            return 0;
        }
        TextRef ref{offset, length};
        return TextRefToStringSpec(&ref, kStringBlockHeaderSize);
    }
};

bool ReadHandle(Reader& r, std::vector<StringSpec>* specs, bool* present, uint32_t refSize) {
    const uint32_t length = r.Long();
    if (r.status) return false;
    if (length == kNoHandle) return true;
    *present = true;
    if (length % refSize) {
        r.Fail();
        return false;
    }
    const uint32_t count = length / refSize;
    if (count > uint32_t(kECOMaxComponents) || size_t(count) * sizeof(TextRef) > r.left) {
        r.status = size_t(count) * sizeof(TextRef) > r.left ? kEOF : kNotKnownFileKind;
        return false;
    }
    specs->reserve(count);
    for (uint32_t i = 0; i < count && !r.status; ++i) specs->push_back(r.Ref());
    return r.status == 0;
}

OSStatus Inflate(const uint8_t* bytes, size_t size, DesignStateRecord* state, bool infoOnly,
                 uint32_t refSize) {
    EmptyDesignState(state);
    Reader r{bytes, size, false};
    uint8_t head[6];
    if (!r.Take(head, sizeof head)) return r.status;
    uint32_t flags = GetNative32(head + 2, false);
    r.swap = (flags & kDesignStateMarker) == 0;
    if (r.swap) flags = __builtin_bswap32(flags);
    if (GetNative16(head, r.swap) != kDesignStateVersion) return kNotKnownFileKind;
    state->flags = flags & ~kDesignStateMarker;

    const uint32_t nameOffset = r.Long();
    const uint16_t nameLength = r.Word();
    state->revisionTime = r.Long();
    state->kind = r.Word();
    const uint32_t count = r.Long();
    if (r.status) return r.status;
    if (count > r.left) return kEOF;
    if (count > kStringBlockOffsetLimit) return kNotKnownFileKind;
    state->strings = CreateStringBlock(nullptr, 1024);
    if (!state->strings || !ResizeStringBlock(state->strings, count + kStringBlockHeaderSize))
        return kNoMemory;
    r.Take(*state->strings + kStringBlockHeaderSize, count);
    reinterpret_cast<StringBlockHeader*>(*state->strings)->used = count + kStringBlockHeaderSize;
    r.stringBytes = count;
    // The name's ref comes before the strings: it is checked once they are known.
    state->name = r.Spec(nameOffset, nameLength);
    if (r.status || infoOnly) return r.status;

    bool namesPresent = false;
    if (!ReadHandle(r, &state->designators, &state->hasTextHandles, refSize)) return r.status;
    if (!ReadHandle(r, &state->componentNames, &namesPresent, refSize)) return r.status;
    if (namesPresent != state->hasTextHandles) return kNotKnownFileKind;
    const size_t texts = std::min(state->designators.size(), state->componentNames.size());

    for (;;) {
        const uint16_t id = r.Word();
        if (r.status) return r.status;
        if (id == kECOListEnd) break;
        if (id >= texts || state->components.size() >= size_t(kECOMaxComponents))
            return kNotKnownFileKind;
        ECOComponent comp;
        comp.id = id;
        comp.footprint = r.Ref();
        state->components.push_back(comp);
    }
    // Serial members name their component by id: the first of that id in list order.
    std::vector<int32_t> byId(texts, -1);
    for (size_t i = 0; i < state->components.size(); ++i)
        if (byId[state->components[i].id] < 0) byId[state->components[i].id] = int32_t(i);
    for (;;) {
        const uint16_t id = r.Word();
        if (r.status) return r.status;
        if (id == kECOListEnd) break;
        ECOCompMember member;
        member.component = id < texts ? byId[id] : -1;
        member.instanceId = r.Long();
        member.symbolId = int32_t(r.Long());
        state->members.push_back(member);
    }
    std::vector<int32_t> netByIndex;  // first net of each index in list order
    for (;;) {
        const uint16_t index = r.Word();
        if (r.status) return r.status;
        if (index == kECOListEnd) break;
        ECONet net;
        net.index = index;
        net.name = r.Ref();
        if (netByIndex.size() <= index) netByIndex.resize(size_t(index) + 1, -1);
        if (netByIndex[index] < 0) netByIndex[index] = int32_t(state->nets.size());
        state->nets.push_back(std::move(net));
    }
    const uint32_t last = r.Long();
    if (r.status) return r.status;
    if (last != kNoHandle) {
        const uint64_t members = uint64_t(last) + 1;
        if (members * 10 > r.left) return kEOF;
        state->hasNetMembers = true;
        state->netMembers.reserve(size_t(members));
        for (uint64_t i = 0; i < members; ++i) {
            ECONetMember member;
            const uint16_t index = r.Word();
            member.compIndex = r.Word();
            member.pin = r.Ref();
            if (r.status) return r.status;
            if (index >= netByIndex.size() || netByIndex[index] < 0 || member.compIndex >= texts)
                return kNotKnownFileKind;
            member.net = netByIndex[index];
            state->netMembers.push_back(member);
        }
    }
    if (r.status) return r.status;
    // The file lists newest first, the state keeps the newest last: read back, a state holds its
    // lists in the order of the state that was written.
    const auto reversed = [](int32_t index, size_t count) {
        return index < 0 ? index : int32_t(count) - 1 - index;
    };
    std::reverse(state->components.begin(), state->components.end());
    std::reverse(state->members.begin(), state->members.end());
    std::reverse(state->nets.begin(), state->nets.end());
    for (ECOCompMember& m : state->members) m.component = reversed(m.component, state->components.size());
    for (ECONetMember& m : state->netMembers) m.net = reversed(m.net, state->nets.size());
    return r.status;
}

}  // namespace

OSStatus InflateDesignState(const uint8_t* bytes, size_t size, DesignStateRecord* state,
                            bool infoOnly) {
    OSStatus status = Inflate(bytes, size, state, infoOnly, sizeof(TextRef));
    // Handles whose length counts the text refs as they lie in memory (4 bytes each).
    if (status && !infoOnly) {
        const OSStatus other = Inflate(bytes, size, state, infoOnly, 4);
        if (other == 0) status = 0;
    }
    if (status) EmptyDesignState(state);
    return status;
}

std::string DumpDesignState(const DesignStateRecord* state) {
    char text[kStringSpecBufferSize];
    GetECOText(state, state->name, text);
    std::string out = "design \"" + std::string(text) + "\" time=" + std::to_string(state->revisionTime) +
                      " kind=" + std::to_string(state->kind) + " flags=" + std::to_string(state->flags) + "\n";
    for (size_t i = 0; i < state->designators.size(); ++i) {
        GetECOCompRefDes(state, int32_t(i), text);
        out += "text " + std::to_string(i) + " \"" + text + "\" \"";
        GetECOCompName(state, int32_t(i), text);
        out += std::string(text) + "\"\n";
    }
    for (size_t i = state->components.size(); i-- > 0;) {
        GetECOText(state, state->components[i].footprint, text);
        out += "comp " + std::to_string(state->components[i].id) + " \"" + text + "\"\n";
    }
    for (size_t i = state->members.size(); i-- > 0;) {
        const ECOCompMember& m = state->members[i];
        out += "serial " + std::to_string(m.instanceId) + " " + std::to_string(m.symbolId) + " comp " +
               (m.component >= 0 ? std::to_string(state->components[size_t(m.component)].id) : "-") + "\n";
    }
    for (size_t i = state->nets.size(); i-- > 0;) {
        GetECOText(state, state->nets[i].name, text);
        out += "net \"" + std::string(text) + "\"\n";
    }
    for (const ECONetMember& m : state->netMembers) {
        GetECOText(state, m.pin, text);
        std::string pin = text;
        if (m.net >= 0) GetECOText(state, state->nets[size_t(m.net)].name, text);
        else text[0] = 0;
        out += "member \"" + std::string(text) + "\" " + std::to_string(m.compIndex) + " \"" + pin + "\"\n";
    }
    return out;
}

OSStatus ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return errno == ENOENT ? -43 : -54;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? -36 : 0;
}

OSStatus ReplaceFileContents(const char* path, const void* bytes, size_t size) {
    std::string staged = std::string(path) + ".XXXXXX";
    const int fd = ::mkstemp(staged.data());
    if (fd < 0) return errno == ENOENT ? -43 : -54;
    const auto* p = static_cast<const uint8_t*>(bytes);
    size_t done = 0;
    OSStatus status = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            status = errno == ENOSPC ? -34 : -36;
            break;
        }
        done += size_t(n);
    }
    if (::fchmod(fd, 0644) != 0 && !status) status = -36;
    if (::close(fd) != 0 && !status) status = -36;
    if (!status && ::rename(staged.c_str(), path) != 0) status = -36;
    if (status) ::unlink(staged.c_str());
    return status;
}

OSStatus IsDesignStateFile(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return errno == ENOENT ? -43 : -54;
    uint8_t head[6];
    const size_t n = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (n < sizeof head) return kNotKnownFileKind;
    const bool swap = (GetNative32(head + 2, false) & kDesignStateMarker) == 0;
    return GetNative16(head, swap) == kDesignStateVersion ? status::kNoErr : kNotKnownFileKind;
}

OSStatus ReadDesignStateFile(const char* path, DesignStateRecord* state, bool infoOnly) {
    std::vector<uint8_t> bytes;
    OSStatus status = ReadWholeFile(path, &bytes);
    if (status) {
        EmptyDesignState(state);
        return status;
    }
    return InflateDesignState(bytes.data(), bytes.size(), state, infoOnly);
}

OSStatus WriteDesignStateFile(const char* path, const DesignStateRecord* state) {
    const std::vector<uint8_t> bytes = FlattenDesignState(state);
    return ReplaceFileContents(path, bytes.data(), bytes.size());
}

}  // namespace plexa
