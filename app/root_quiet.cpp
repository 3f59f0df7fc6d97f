// The quiet answers of a program without windows (see root_quiet.h).
#include "app/root_quiet.h"

#include <cstdio>
#include <map>
#include <string>

#include "files/hierarchy.h"

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

void SetQuietProgramName(const char* name) { ProgramName() = name && name[0] ? name : "plexa"; }

void QuietMessage(const char* text) {
    if (!text || !text[0]) return;
    std::fprintf(stderr, "%s: %s\n", ProgramName().c_str(), text);
}

void QuietReport(OSStatus status, const char* text) {
    if (text && text[0]) std::fprintf(stderr, "%s: %s (status %d)\n", ProgramName().c_str(), text, int(status));
    else std::fprintf(stderr, "%s: failed with status %d\n", ProgramName().c_str(), int(status));
}

void QuietReportStatus(OSStatus status) { QuietReport(status, nullptr); }

void QuietLogHierarchy(ProjectRecord* project, const HierarchyLogEntry& entry) {
    ++LogCounts()[project];
    std::fprintf(stderr, "%s: %s %s\n", ProgramName().c_str(), entry.text ? entry.text : "",
                 entry.detail ? entry.detail : "");
}

void QuietClearLog(ProjectRecord* project) { LogCounts().erase(project); }

bool QuietLogEmpty(ProjectRecord* project) {
    auto found = LogCounts().find(project);
    return found == LogCounts().end() || found->second == 0;
}

bool QuietAskSecond(const char*, const char*, const char*) { return true; }

int32_t QuietChooseNoFiles(const char*, const char*, FileSpec*, int32_t) { return status::kUserCancelled; }

void QuietBusy() {}
void QuietProgress(const char*) {}
void QuietCloseProgress() {}
bool QuietNoCancelKey() { return false; }

}  // namespace plexa
