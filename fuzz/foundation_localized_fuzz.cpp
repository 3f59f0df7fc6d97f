// Localized strings: the input is a strings table of the application, read as the resources'
// strings/<table>.strings. The keys it names (and a few it does not) are looked up into buffers
// of several sizes, as the toolkit does when it shows a message.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "foundation/localized.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

namespace {

void LookUp(int32_t id, int32_t index) {
    char small[5], large[300];
    VXLoadStringEx(id, index, small, sizeof small);
    VXLoadStringEx(id, index, large, sizeof large);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = [] {
        const std::string path = fuzz::ScratchPath("resources");
        ::mkdir(path.c_str(), 0700);
        ::mkdir((path + "/strings").c_str(), 0700);
        setenv("PLEXA_RESOURCE_DIR", path.c_str(), 1);
        SetAppStringsTableName("Fuzz");
        return path;
    }();
    FileSpec spec;
    if (!fuzz::WriteScratchFile(folder + "/strings/Fuzz.strings", data, size, &spec)) return 0;
    ReloadStringsTables();
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The keys that the table names: "STR_<id>" and "<id>,<index>" at the start of a line.
    for (size_t at = 0; at < text.size() && at != std::string::npos; at = text.find('\n', at + 1)) {
        const char* line = text.c_str() + at + (text[at] == '\n');
        while (*line == ' ' || *line == '\t') ++line;
        char* end = nullptr;
        if (std::strncmp(line, "STR_", 4) == 0) {
            LookUp(int32_t(std::strtol(line + 4, &end, 10)), 0);
        } else {
            const long id = std::strtol(line, &end, 10);
            if (end != line && *end == ',') LookUp(int32_t(id), int32_t(std::strtol(end + 1, nullptr, 10)));
        }
    }
    LookUp(1, 1);
    LookUp(8000, 1);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    // Pieces of the project's own tables.
    std::vector<std::string> seeds;
    for (const char* table : {"Application", "Framework"}) {
        const std::string bytes = fuzz::ReadWholeFile(GetResourceDirectory() + "/strings/" + table + ".strings");
        std::string kept;
        size_t lines = 0;
        for (size_t at = 0; at < bytes.size() && lines < 12; ++at) {
            kept += bytes[at];
            if (bytes[at] == '\n') ++lines;
        }
        if (!kept.empty()) seeds.push_back(kept + "STR_5 = tab\\there\\s\n12,3 = caf\xc3\xa9 au lait\n");
    }
    return seeds;
}
