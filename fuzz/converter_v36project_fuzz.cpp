// Fuzz target: the two blocks of a version-3.6 project file read as the project conversion reads
// them. The first byte says how much of the rest is block 1; the remainder is block 3. A sheet list
// that reads holds only names the search may look for; nothing may read outside the input or keep
// memory.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "converter/v36project.h"
#include "foundation/memory.h"

using namespace plexa;

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t headerSize = std::min<size_t>(data[0], size - 1);
    const uint8_t* header = data + 1;
    const uint8_t* list = header + headerSize;
    const size_t listSize = size - 1 - headerSize;
    V36ProjectFile project;
    if (ParseV36ProjectHeader(header, uint32_t(headerSize), &project) != 0) return 0;
    if (ParseV36ProjectSheets(list, uint32_t(listSize), &project) != 0) {
        Check(project.sheets.empty());
        return 0;
    }
    for (const std::string& name : project.sheets) {
        Check(!name.empty() && name.find('/') == std::string::npos);
        Check(std::strlen(name.c_str()) == name.size());
        Check(FindSheetPrompt(name).size() > name.size());
    }
    return 0;
}
