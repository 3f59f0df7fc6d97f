// Reads fuzzed bytes as an ECO file: every input must end with a status and, on failure, an empty
// state. A state that reads is used as the back-annotation uses it: compared with itself,
// logged, and written again; the written file must read back.
#include <cstdint>
#include <cstdlib>

#include "design/ecodiff.h"
#include "design/ecostate.h"
#include "design/wasis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plexa;
    DesignStateRecord state, other;
    if (InflateDesignState(data, size, &state, false) != 0) {
        if (state.strings || !state.components.empty() || !state.netMembers.empty()) std::abort();
        return 0;
    }
    DumpDesignState(&state);
    const std::vector<uint8_t> bytes = FlattenDesignState(&state);
    if (InflateDesignState(bytes.data(), bytes.size(), &other, false) != 0) std::abort();
    CreateECOLog();
    DiffAnylise(&other, &state, true);
    LogAllDifferences(&other, &state);
    WasIsList list;
    CollectRelabels(&other, &list);
    WriteWasIsText(list);
    DestroyECOLog();
    EmptyDesignState(&state);
    EmptyDesignState(&other);
    return 0;
}
