// Fuzz target: a stored sheet-instance list. The first byte says whether the numbers are in the
// other byte order; the list follows. A list that reads is walked (names, sheets, ancestors and a
// copied instance tree, so that parent chains that loop must end), written back and read again,
// and must give the same instances; a list that fails leaves the project's list as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

struct Project {
    ProjectRecord record{};
    Project() {
        record.strings = CreateStringBlock(nullptr, 256);
        record.directories = CreateDirectoryList();
        record.sheetSpecs = CreateSheetSpecList();
        record.instances = CreateSheetInstanceList();
        record.nextInstanceId = 1;
        if (!record.strings || !record.directories || !record.sheetSpecs || !record.instances) std::abort();
        AddSheetSpecToProject(&record, "A.SHX");
    }
    ~Project() {
        DestroySheetInstanceList(record.instances);
        ReleaseProjectIndexes(&record);
        LLDispose(record.sheetSpecs, true);
        DestroyDirectoryList(record.directories);
        DestroyStringBlock(record.strings);
    }
    std::vector<std::string> Dump() {
        std::vector<std::string> all;
        char name[256];
        for (auto* i = static_cast<SheetInstance*>(LLFirst(record.instances)); i; i = i->next) {
            GetInstanceSheetName(&record, i, name);
            all.push_back(std::to_string(i->id) + " " + std::to_string(i->parentId) + " " +
                          std::to_string(i->serial) + " " + std::to_string(i->flags) + " " +
                          std::to_string(i->missCount) + " " + name);
        }
        return all;
    }
};

OSStatus Read(Handle bytes, bool swap, ProjectRecord* project) {
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(bytes), &stream)) return -108;
    EnableStreamReadByteSwap(stream, swap);
    const OSStatus st = ReadInstanceList(stream, project);
    DisposeStream(stream);
    return st;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    if (size < 1) return 0;
    Project project;
    SheetInstance* kept = CreateSheetInstance(&project.record, nullptr, 0, nullptr);
    if (kept) kept->flags = 0;  // as if read, so that it reads back the same
    const std::vector<std::string> before = project.Dump();
    Handle input = AllocHandleWithData(nullptr, data + 1, uint32_t(size - 1));
    if (!input || !kept) std::abort();
    const OSStatus st = Read(input, data[0] & 1, &project.record);
    MemFree(input);
    if (st != 0) {
        if (project.Dump() != before) std::abort();
        return 0;
    }
    const std::vector<std::string> read = project.Dump();
    Handle again = AllocHandle(nullptr, 0);
    StreamRecord* out = nullptr;
    if (!again || CreateStream(kStreamHandle, StreamTarget::OfHandle(again), &out)) std::abort();
    if (WriteInstanceList(out, &project.record)) std::abort();
    DisposeStream(out);
    Project second;
    if (Read(again, false, &second.record) != 0) std::abort();
    MemFree(again);
    if (second.Dump() != read) std::abort();
    auto* first = static_cast<SheetInstance*>(LLFirst(project.record.instances));
    for (auto* i = first; i; i = i->next) {
        if (i->id == 0 || i->id == kDetachedParentId) std::abort();
        ResolveInstanceSheet(&project.record, i);
        IsDescendantInstance(&project.record, i, 0xFFFFFFFE);
    }
    if (first) CopyInstanceTree(&project.record, first, 0x12345, 1);
    return 0;
}
