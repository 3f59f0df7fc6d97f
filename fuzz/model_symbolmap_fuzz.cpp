// Symbol maps as a sheet file holds them: the DA array's stored form followed by each entry's
// definition and node map. Input: one byte of options (bit 0: the writer's byte order differs),
// then the stream. A map that reads is then used as a sheet uses it: every node is looked at,
// every definition is added again (it must be found), and the map is written back and read again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/da.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_stream.h"
#include "model/symbols.h"

using namespace plexa;

namespace {

void Exercise(SymbolMap* map) {
    for (int32_t i = 0; i < DACount(map->entries); ++i) {
        int32_t id = i;
        DAGetPhysicalId(map->entries, &id);
        SymbolMapEntry* e = GetSymbolMapEntryPtr(map, id);
        if (!e || !e->definition) std::abort();
        for (int32_t n = 0; n < NodeMapCount(e->nodeMap); ++n) {
            Point p;
            GetNodeMapPoint(e->nodeMap, n, n & 7, &p);
            GetNodeMapOrientWidth(e->nodeMap, n, n & 7);
            (void)ExtractSymbolNodeTailPosition(e->definition, e->size, {0, 0}, n, &p);  // fuzzing: only no crash counts
        }
        // The map finds an identical entry (the file may hold the same definition twice).
        const std::string copy(e->definition, e->size);
        const int32_t count = DACount(map->entries);
        const SymbolMapEntry* found =
            GetSymbolMapEntryPtr(map, AddSymbolToMap(map, copy.data(), int32_t(copy.size()), nullptr));
        if (!found || DACount(map->entries) != count || std::string(found->definition, found->size) != copy)
            std::abort();
    }
    fuzz::FuzzStream out;
    if (out && WriteSymbolMap(out.stream, map) == 0) {
        (void)SetStreamPosition(out.stream, 0);  // fuzzing: only no crash counts
        SymbolMap* back = nullptr;
        if (ReadSymbolMap(out.stream, nullptr, nullptr, &back) != 0) std::abort();
        if (DACount(back->entries) != DACount(map->entries)) std::abort();
        DestroySymbolMap(back);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::FuzzStream in(data + 1, size - 1, data[0] & 1);
    if (!in) return 0;
    SymbolMap* map = nullptr;
    if (ReadSymbolMap(in.stream, nullptr, nullptr, &map) == 0) {
        Exercise(map);
        DestroySymbolMap(map);
    }
    return 0;
}
