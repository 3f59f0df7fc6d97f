// Attribute runs as a sheet file holds them: the sheet's string block, then the run as a stream
// handle. Input: one byte of options (bit 0: the writer's byte order differs), one byte of the
// record count that the owner keeps, then the stream. A run that reads is then used as a sheet
// uses it: looked up, changed, merged, tracked, moved into a fresh block and written back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "fuzz/fuzz_stream.h"
#include "model/attributes.h"

using namespace plexa;

namespace {

std::string Bytes(Handle h) { return h ? std::string(*h, SizeOfHandle(h)) : std::string(); }

void Exercise(StringBlock block, Handle run, int16_t count) {
    char name[kAttributeTextSize], value[kAttributeTextSize];
    for (int32_t i = 0; i < count; ++i) {
        GetIndexedAttribute(block, run, 0, i, name, value, nullptr, nullptr);
        // A stored name hash that does not fit its name hides the record from lookups: allowed.
        if (GetAttributeValue(block, run, 0, count, name, value, nullptr) >= count) std::abort();
    }
    CountUserAttributes(block, run, 0, count);
    SetAttributeValue(block, run, 0, &count, "Fuzz", "1", nullptr);
    DeleteEmptyAttributes(run, 0, &count, block, false);

    Handle merged = AllocHandle(nullptr, 0);
    int16_t mergedCount = 0;
    if (merged) {
        MergeAttributes(block, run, 0, count, nullptr, merged, 0, &mergedCount, kMergeEmptyValues);
        UpdateTrackedAttributes(run, 0, count, block, merged, 0, &mergedCount, block, kTrackForce);
        PurgeTrackingAttributes(merged, 0, &mergedCount, block, false);
        MemFree(merged);
    }
    int16_t trackedCount = count;
    if (Handle tracked = BuildTrackedAttributesTable(run, 0, &trackedCount, block, block)) MemFree(tracked);

    StringBlock fresh = CreateStringBlock(nullptr, 64);
    fuzz::FuzzStream out;
    if (fresh && out && ChangeAttributesStringBlock(run, 0, count, block, fresh) == 0 &&
        WriteAttributeRun(out.stream, run, count) == 0) {
        (void)SetStreamPosition(out.stream, 0);  // fuzzing: only no crash counts
        Handle back = nullptr;
        if (ReadAttributeRun(out.stream, nullptr, count, &back) != 0) std::abort();
        if (Bytes(back) != Bytes(run).substr(0, size_t(count) * kAttributeSize)) std::abort();
        if (back) MemFree(back);
    }
    if (fresh) DestroyStringBlock(fresh);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    fuzz::FuzzStream in(data + 2, size - 2, data[0] & 1);
    if (!in) return 0;
    StringBlock block = nullptr;
    Handle run = nullptr;
    if (ReadStringBlock(in.stream, nullptr, &block) == 0 &&
        ReadAttributeRun(in.stream, nullptr, data[1], &run) == 0 && run) {
        Exercise(block, run, int16_t(data[1]));
        MemFree(run);
    }
    if (block) DestroyStringBlock(block);
    return 0;
}
