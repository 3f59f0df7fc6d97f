// Helpers of the ECO tests.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace plexa {

// The lines of a text in sorted order: design state dumps compared regardless of list order.
inline std::string SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

}  // namespace plexa
