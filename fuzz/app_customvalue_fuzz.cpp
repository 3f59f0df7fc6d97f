// Reads fuzzed bytes as the text typed into the custom value dialog's number field. Whatever the
// bytes, the answer is a whole number from 1 to the maximum or -1 (refused); a number taken reads
// back the same from the text the dialog shows for it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/customvalue.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // the field ends at a NUL
    for (const int32_t maximum : {1, 200, 1000, 1250, INT32_MAX}) {
        const int32_t value = ParseCustomValue(text.c_str(), maximum);
        if (value == -1) continue;
        if (value < 1 || value > maximum) std::abort();
        if (ParseCustomValue(CustomValueText(value).c_str(), maximum) != value) std::abort();
    }
    return 0;
}

// What the dialog writes into its field: the value it starts from, as the program shows it.
std::vector<std::string> FuzzSeeds() {
    std::vector<std::string> seeds;
    for (const int32_t value : {1, 9, 12, 100, 350, 1250, 2147483647}) seeds.push_back(CustomValueText(value));
    return seeds;
}
