// Lists fuzzed token streams: every malformed stream must end with a status.
#include <cstdint>
#include <string>

#include "design/report_tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string listing;
    (void)plexa::DisassembleTokenStream(data, uint32_t(size), &listing);  // fuzzing: only no crash counts
    return 0;
}
