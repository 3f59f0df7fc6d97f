// The quiet answers of a program without windows (see root_quiet.h).
#include "app/root_quiet.h"

#include <cstdio>

#include "foundation/statustext.h"

namespace plexa {

namespace {
std::string& ProgramName() {
    static std::string name = "plexa";
    return name;
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

std::vector<SheetRecord*> QuietOpenSheets(bool) { return {}; }
bool QuietWindowPlace(SheetRecord*, Rect*, Rect*) { return false; }
SheetRecord* QuietWindowSheet(VXWindowRecordTag*) { return nullptr; }
void QuietDetachSheetWindows(SheetRecord*) {}
void QuietBeep() {}
void QuietProgressMessage(const char*) {}

}  // namespace plexa
