// Annotation map blocks as sheet and project files hold them (either byte order, told by the
// block's own mark). A map that reads is then used as the annotation code uses it: every spec
// looked up, changes set and applied, its string block compacted, written back and read again;
// the dead-sessions count is raised in place on the input.
#include <cstdint>
#include <cstdlib>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_stream.h"
#include "model/annotation.h"

using namespace plexa;

namespace {

int32_t CountSaved(AnnotationMap* map) {
    int32_t n = 0;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        n += CountAnnotSpecList(entry.saved);
    }
    return n;
}

void Exercise(AnnotationMap* map) {
    char text[kAnnotationTextSize];
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        AnnotationMapEntry entry;
        GetAnnotationMapEntry(map, i, &entry);
        for (const AnnotationSpec* s = entry.saved; s; s = s->next) {
            const AnnotationSpec* found = AnnotationMapLookup(map, s->instanceId, entry.symbolId);
            if (!found) std::abort();
            GetAnnotation(map, entry.symbolId, s->instanceId, false, text);
        }
        SetAnnotation(map, entry.symbolId, 1, "FZ1", 0);
        if (entry.saved) SetAnnotation(map, entry.symbolId, entry.saved->instanceId, nullptr, -1);
    }
    ApplyAnnotationMapChanges(map, nullptr);
    if (PurgeAnnotationMapStringBlock(map) != 0) return;
    fuzz::FuzzStream out;
    if (!out || WriteAnnotationMap(out.stream, map) != 0) return;
    (void)SetStreamPosition(out.stream, 0);  // fuzzing: only no crash counts
    AnnotationMap* back = nullptr;
    if (ReadAnnotationMap(out.stream, 0, &back) != 0) std::abort();
    if (CountSaved(back) != CountSaved(map)) std::abort();
    DestroyAnnotationMap(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzStream in(data, size, false);
    if (!in) return 0;
    AnnotationMap* map = nullptr;
    if (ReadAnnotationMap(in.stream, 0, &map) == 0) {
        Exercise(map);
        DestroyAnnotationMap(map);
    } else if (map) {
        std::abort();
    }
    (void)SetStreamPosition(in.stream, 0);  // fuzzing: only no crash counts
    uint16_t count = 0;
    (void)IncrementAnnotationMapDeadSessionsCount(in.stream, &count);  // fuzzing: only no crash counts
    return 0;
}
