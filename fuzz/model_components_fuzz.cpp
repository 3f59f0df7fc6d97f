// Component lists as a sheet file holds them: each component's counts, names, packages, symbols
// with their pin-data ids, sections with their pin numbers and hidden pins, then the end mark.
// Input: one byte of options (bit 0: the writer's byte order differs), then the stream. A list
// that reads is then used as a sheet uses it: designators, pins and footprints are looked up, each
// component is copied and compared, sorted into a list of its own, and the list is written back
// and read again.
#include <cstdint>
#include <cstdlib>

#include "foundation/ll.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "fuzz/fuzz_stream.h"
#include "model/components.h"

using namespace plexa;

namespace {

void Exercise(LinkListHeader* list, StringBlock block) {
    char text[kCompTextSize];
    LinkListHeader* installed = CreateComponentList();
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) {
        for (int32_t i = 0; i < c->sectionCount; ++i) {
            BuildRefDesString(c, block, i, i, true, text);
            for (int32_t set = 0; set < c->pinSetCount; ++set)
                for (int32_t pin = 0; pin < 4; ++pin) GetCompPinInfo(c, block, set, uint16_t(i), pin, text, nullptr);
        }
        for (int32_t set = 0; set < c->pinSetCount; ++set) {
            GetCompPinInfo(c, block, set, kCompHiddenPins, 0, text, nullptr);
            FindCompHiddenPin(c, block, set, false, nullptr, "1");
        }
        for (int32_t p = 0; p < c->packageCount; ++p) GetCompFootprintString(c, p, 0, block, text);
        GetDefaultCompRefDes(c, 0, block, true, text);
        ComponentRecord* copy = DuplicateComponent(c);
        if (!copy) continue;
        CalcCompHash(copy, block);
        if (!EqualComps(copy, c)) std::abort();
        if (AreCompsCompatible(copy, 0, 0, block, nullptr, c, block, nullptr, true) < -1) std::abort();
        if (!AddCompToList(installed, block, copy)) std::abort();
    }
    fuzz::FuzzStream out;
    if (out && WriteComps(out.stream, list) == 0) {
        (void)SetStreamPosition(out.stream, 0);  // fuzzing: only no crash counts
        LinkListHeader* back = CreateComponentList();
        if (ReadComps(out.stream, back, block) != 0 || back->count != list->count) std::abort();
        DestroyCompList(back);
    }
    DestroyCompList(installed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::FuzzStream in(data + 1, size - 1, data[0] & 1);
    if (!in) return 0;
    StringBlock block = CreateStringBlock(nullptr, 64);
    LinkListHeader* list = CreateComponentList();
    if (block && list && ReadComps(in.stream, list, block) == 0) Exercise(list, block);
    DestroyCompList(list);
    if (block) DestroyStringBlock(block);
    return 0;
}
