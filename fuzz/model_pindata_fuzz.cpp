// Pin-data tables as a sheet file holds them: the sheet's string block, then the table (the DA
// array's stored form followed by each record). Input: one byte of options (bit 0: the writer's
// byte order differs), then the stream. A table that reads is then used as a sheet uses it: its
// records read and interned again, its strings moved into a fresh block, and written back.
#include <cstdint>
#include <cstdlib>

#include "foundation/da.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "fuzz/fuzz_stream.h"
#include "model/pindata.h"

using namespace plexa;

namespace {

void Exercise(PinDataTable table, StringBlock block) {
    char text[kPinTextSize];
    for (int32_t i = 0; i < DACount(table); ++i) {
        int32_t id = i;
        DAGetPhysicalId(table, &id);
        Handle copy = GetPinDataCopy(table, id);
        if (!copy) std::abort();
        GetPinDataName(copy, block, text);
        GetHiddenPinSignalName(copy, block, true, text);
        GetPinTypeString(GetPinDataType(copy, false), text);
        // Interning a record of the table gives a record identical to it.
        const int32_t interned = AddPinDataToTable(table, copy);
        if (interned >= 0) {
            Handle found = GetIndexedPinData(table, interned);
            if (!found || PinDataCompareProc(&copy, &found) != 0) std::abort();
        }
        SetPinDataAttribute(copy, block, "Fuzz", "1");
        DestroyPinData(copy);
    }
    StringBlock fresh = CreateStringBlock(nullptr, 64);
    fuzz::FuzzStream out;
    if (fresh && out && ChangePinTableStringBlock(table, fresh) == 0) {
        if (WritePinDataTable(out.stream, table) == 0) {
            (void)SetStreamPosition(out.stream, 0);  // fuzzing: only no crash counts
            PinDataTable back = nullptr;
            if (ReadPinDataTable(out.stream, nullptr, fresh, &back) != 0) std::abort();
            if (DACount(back) != DACount(table)) std::abort();
            DestroyPinDataTable(back);
        }
        (void)ChangePinTableStringBlock(table, block);  // fuzzing: only no crash counts
    }
    if (fresh) DestroyStringBlock(fresh);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::FuzzStream in(data + 1, size - 1, data[0] & 1);
    if (!in) return 0;
    StringBlock block = nullptr;
    PinDataTable table = nullptr;
    if (ReadStringBlock(in.stream, nullptr, &block) == 0 &&
        ReadPinDataTable(in.stream, nullptr, block, &table) == 0) {
        Exercise(table, block);
        DestroyPinDataTable(table);
    }
    if (block) DestroyStringBlock(block);
    return 0;
}
