// Fuzz target: a stored search-path list. The first byte says whether the numbers are in the other
// byte order (bit 0) and whether colon-separated paths are converted (bit 1); the list follows.
// A list that reads has every entry resolved (a folder is only looked up, never walked), is
// written back and read again, and must give the same entries; a list that fails is empty.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/pathspec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

struct Entry {
    uint8_t kind;
    uint8_t flags;
    std::string path;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Entries(PathSpecList* list) {
    std::vector<Entry> all;
    char path[kStringSpecBufferSize];
    for (auto* e = static_cast<PathSpec*>(LLFirst(list)); e; e = e->next) {
        GetPathSpecPath(list, e, path, sizeof path);
        all.push_back({e->rootKind, e->flags, path});
    }
    return all;
}

OSStatus Read(Handle bytes, bool swap, bool convert, PathSpecList* list) {
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(bytes), &stream)) return -108;
    EnableStreamReadByteSwap(stream, swap);
    const OSStatus st = ReadPathSpecList(stream, list, 14, convert);
    DisposeStream(stream);
    return st;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    if (size < 1) return 0;
    const bool swap = data[0] & 1, convert = data[0] & 2;
    Handle input = AllocHandleWithData(nullptr, data + 1, uint32_t(size - 1));
    PathSpecList* list = CreatePathSpecList(nullptr, 0);
    if (!input || !list) std::abort();
    const OSStatus st = Read(input, swap, convert, list);
    MemFree(input);
    const std::vector<Entry> entries = Entries(list);
    if (st != 0 && !entries.empty()) std::abort();
    if (st == 0) {
        char full[kDirectoryRefCapacity + 2];
        for (auto* e = static_cast<PathSpec*>(LLFirst(list)); e; e = e->next) {
            if (e->rootKind > kPathRootAbsolute) std::abort();
            if (ResolvePathSpec(list, e, nullptr) && PathSpecToFullPath(list, e, sizeof full, full) < 0)
                std::abort();
        }
        Handle again = AllocHandle(nullptr, 0);
        StreamRecord* out = nullptr;
        if (!again || CreateStream(kStreamHandle, StreamTarget::OfHandle(again), &out)) std::abort();
        if (WritePathSpecList(out, list)) std::abort();
        DisposeStream(out);
        PathSpecList* second = CreatePathSpecList(nullptr, 0);
        if (Read(again, false, convert, second) != 0 || Entries(second) != entries) std::abort();
        DestroyPathSpecList(second);
        MemFree(again);
    }
    DestroyPathSpecList(list);
    return 0;
}
