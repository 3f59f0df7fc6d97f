// Localized strings from the project's strings tables (format in localized.h).
#include "foundation/localized.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "foundation/program.h"
#include "foundation/strings.h"

namespace plexa {

namespace {

using Table = std::unordered_map<std::string, std::string>;

struct State {
    std::string appTable = "Application";
    std::optional<std::string> resourceDirectory;
    std::map<std::string, Table> tables;
};

State& Localized() {
    static State state;
    return state;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The text of an entry: escapes resolved, trailing blanks dropped (escaped ones kept).
std::string ParseText(const std::string& line, size_t start) {
    while (start < line.size() && IsBlank(line[start])) ++start;
    std::string text;
    size_t kept = 0;  // length up to the last character that is not a plain trailing blank
    for (size_t i = start; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            const char e = line[++i];
            c = e == 'n' ? '\n' : e == 't' ? '\t' : e == 's' ? ' ' : e;
            text += c;
            kept = text.size();
            continue;
        }
        text += c;
        if (!IsBlank(c)) kept = text.size();
    }
    text.resize(kept);
    return text;
}

Table ReadTable(const std::string& name) {
    Table table;
    const std::string directory = GetResourceDirectory();
    if (directory.empty()) return table;
    std::ifstream file(std::filesystem::path(directory) / "strings" / (name + ".strings"));
    std::string line;
    while (std::getline(file, line)) {
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) ++first;
        if (first == line.size() || line[first] == '#') continue;
        const size_t equals = line.find('=', first);
        if (equals == std::string::npos) continue;
        size_t last = equals;
        while (last > first && IsBlank(line[last - 1])) --last;
        if (last == first) continue;
        table[line.substr(first, last - first)] = ParseText(line, equals + 1);
    }
    return table;
}

// The text of a key in a table; nothing when the table has no such key.
const std::string* Lookup(const std::string& tableName, const std::string& key) {
    State& state = Localized();
    auto it = state.tables.find(tableName);
    if (it == state.tables.end()) it = state.tables.emplace(tableName, ReadTable(tableName)).first;
    const auto entry = it->second.find(key);
    if (entry == it->second.end() || entry->second == key) return nullptr;
    return &entry->second;
}

}  // namespace

std::string GetResourceDirectory() {
    State& state = Localized();
    if (!state.resourceDirectory) state.resourceDirectory = FindResourceDirectory();
    return *state.resourceDirectory;
}

bool SetAppStringsTableName(const char* name) {
    if (!name || !*name || std::strchr(name, '/')) return false;
    Localized().appTable = name;
    return true;
}

char* VXLoadStringEx(int32_t id, int32_t index, char* buffer, uint32_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    char key[32];
    if ((index & 0xFFFF) != 0)
        std::snprintf(key, sizeof key, "%d,%d", int(id), int(int16_t(index)));
    else
        std::snprintf(key, sizeof key, "STR_%d", int(id));
    const std::string* text = Lookup(Localized().appTable, key);
    if (!text) text = Lookup("Framework", key);
    if (!text) return buffer;
    std::vector<char> copy(text->begin(), text->end());
    copy.push_back(0);
    TruncateUTF8ForByteSize(copy.data(), int32_t(std::min<uint32_t>(size, INT32_MAX)));
    std::memcpy(buffer, copy.data(), std::strlen(copy.data()) + 1);
    return buffer;
}

void ReloadStringsTables() {
    State& state = Localized();
    state.tables.clear();
    state.resourceDirectory.reset();
}

}  // namespace plexa
