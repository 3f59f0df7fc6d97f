// Reads fuzzed bytes as a WAS-IS text: every input must end with a status. A list that reads is
// written again and must read back the same, and every entry is looked up.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "design/wasis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace plexa;
    WasIsList list, again;
    if (LoadWasIsFile(reinterpret_cast<const char*>(data), size, &list) != 0) return 0;
    const std::string text = WriteWasIsText(list);
    char designator[256];
    for (const auto& [was, is] : list.entries) {
        if (was.size() > 250 || is.size() > 250) std::abort();
        std::strcpy(designator, was.c_str());
        WasToIs(list, designator);
    }
    // Names holding quotes or line ends do not survive the quoted form; the rest must.
    bool plain = true;
    for (const auto& [was, is] : list.entries)
        for (const std::string* s : {&was, &is})
            if (s->empty() || s->find_first_of("\"\r\n") != std::string::npos || s->find('\0') != std::string::npos) plain = false;
    if (plain && (LoadWasIsFile(text.data(), text.size(), &again) != 0 || again.entries != list.entries)) std::abort();
    return 0;
}
