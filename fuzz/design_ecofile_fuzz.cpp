// Reads fuzzed bytes as an ECO file: every input must end with a status and, on failure, an empty
// state. A state that reads is used as the back-annotation uses it: compared with itself,
// logged, and written again; the written file must read back. Its seeds: the tests' sample state,
// a state without members, and the hand-made file of an older big-endian writer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "design/ecodiff.h"
#include "design/ecostate.h"
#include "design/tests/eco_testing.h"
#include "design/wasis.h"
#include "fuzz/fuzz_support.h"

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

std::vector<std::string> FuzzSeeds() {
    using namespace plexa;
    std::vector<std::string> seeds;
    const auto flattened = [&](DesignStateRecord* s) {
        const std::vector<uint8_t> bytes = FlattenDesignState(s);
        seeds.emplace_back(bytes.begin(), bytes.end());
        EmptyDesignState(s);
    };
    DesignStateRecord sample, empty;
    if (BuildECOSample(&sample) == 0) flattened(&sample);
    if (InitDesignState(&empty, kStateInitTexts) == 0) {
        SetDesignStateInfo(&empty, "Empty", 0, kStateKindPCB);
        flattened(&empty);
    }
    seeds.emplace_back(reinterpret_cast<const char*>(kECOBigEndianFile), sizeof kECOBigEndianFile);
    return seeds;
}
