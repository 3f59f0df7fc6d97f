// The quiet answers of a program without windows (see root_quiet.h).
#include "app/root_quiet.h"

#include <cstdio>
#include <map>

#include "files/hierarchy.h"
#include "foundation/statustext.h"

namespace plexa {

namespace {
std::string& ProgramName() {
    static std::string name = "plexa";
    return name;
}

// The entries each project's log holds since it was last cleared.
std::map<ProjectRecord*, int32_t>& LogCounts() {
    static std::map<ProjectRecord*, int32_t> counts;
    return counts;
}

}  // namespace

void SetQuietProgramName(const char* program) {
    if (program && *program) ProgramName() = program;
}

const char* GetQuietProgramName() { return ProgramName().c_str(); }

std::string QuietMessageLine(const char* text) {
    std::string line;
    bool broken = false;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '\r' || *c == '\n') {
            broken = true;
            continue;
        }
        if (broken && !line.empty()) line += ' ';
        broken = false;
        line += *c;
    }
    return line.empty() ? line : ProgramName() + ": " + line;
}

void QuietMessage(const char* text) {
    const std::string line = QuietMessageLine(text);
    if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
}

void QuietErrorReport(OSStatus status) {
    if (status == 0 || status == -128) return;
    char message[256];
    QuietMessage(StatusReportText(status, GetStatusMessage(status, message, sizeof message)).c_str());
}

void QuietReport(OSStatus status, const char* text) {
    if (status == 0 || status == -128) return;
    if (!text || !*text) {
        QuietErrorReport(status);
        return;
    }
    QuietMessage((std::string(text) + ": " + DescribeStatus(status)).c_str());
}

int32_t QuietOpenNoWindow(int32_t, VXWindowRecordTag** window) {
    *window = nullptr;
    return 0;
}

void QuietResequenceSaveFailed(const char* sheetName, OSStatus status) {
    QuietReport(status, (std::string("The new names of \"") + sheetName + "\" could not be saved.").c_str());
}

void QuietLogHierarchy(ProjectRecord* project, const HierarchyLogEntry& entry) {
    ++LogCounts()[project];
    std::string line = entry.text ? entry.text : "";
    if (entry.detail && *entry.detail) line += std::string(" ") + entry.detail;
    QuietMessage(line.c_str());
}

void QuietClearLog(ProjectRecord* project) { LogCounts().erase(project); }

bool QuietLogEmpty(ProjectRecord* project) {
    auto found = LogCounts().find(project);
    return found == LogCounts().end() || found->second == 0;
}

bool QuietAskSecond(const char*, const char*, const char*) { return true; }

std::vector<SheetRecord*> QuietOpenSheets(bool) { return {}; }
SheetRecord* QuietWindowSheet(VXWindowRecordTag*) { return nullptr; }

}  // namespace plexa
