// The converter's log and failure reports.
#include "converter/report.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "converter/detect.h"
#include "toolkit/vx_alerts.h"

namespace plexa {
namespace {

ConverterReportProcs gReportProcs;

struct OwnText {
    OSStatus code;
    const char* text;
};
const OwnText kOwnTexts[] = {
    {kV36DamagedFile, "The file is damaged: it holds a record that no version-3.6 writer makes."},
    {kV36ProjectDamaged, "The project file is damaged and cannot be converted."},
    {kV36SheetNotFound, "A sheet of the project could not be found."},
    {kV36VersionTooOld, "The file was written by a version too old to be converted."},
    {kV36ImageWithoutFileHeader, "An image in the file lacks its bitmap file header, so it cannot be read."},
    {kV36DamagedImage, "An image in the file is damaged: its bitmap cannot be read."},
    {status::kUnknownFileKind, "The file is not a version-3.6 sheet, project or library."},
};

}  // namespace

ConverterReportProcs SetConverterReportProcs(const ConverterReportProcs& procs) {
    const ConverterReportProcs previous = gReportProcs;
    gReportProcs = procs;
    return previous;
}

void ConverterLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);
    if (gReportProcs.log)
        gReportProcs.log(line.c_str());
    else
        std::fprintf(stderr, "plexa-convert: %s\n", line.c_str());
}

void ConverterError(OSStatus code) {
    if (code == status::kNoErr || code == status::kUserCancelled) return;
    if (gReportProcs.error) gReportProcs.error(code);
}

void ReportConversion(const ConversionReport& report) {
    if (gReportProcs.outcome) {
        gReportProcs.outcome(report);
        return;
    }
    switch (report.outcome) {
        case ConversionOutcome::kFailed: ConverterError(report.status); break;
        case ConversionOutcome::kSkipped: ConverterLog("%s", FormatConversionReport(report).c_str()); break;
        default: break;
    }
}

std::string ConversionFailureText(OSStatus code) {
    for (const OwnText& own : kOwnTexts)
        if (own.code == code) return own.text;
    char text[256] = "";
    if (VXGetErrorString(code, text) && text[0]) return text;
    return "Error number " + std::to_string(code) + ".";
}

std::string FormatConversionReport(const ConversionReport& report) {
    std::string line = "\"" + report.source + "\": ";
    switch (report.outcome) {
        case ConversionOutcome::kWritten: return line + "written \"" + report.output + "\"";
        case ConversionOutcome::kSkipped: return line + "skipped: " + report.reason;
        case ConversionOutcome::kFailed: return line + "failed: " + report.reason;
        case ConversionOutcome::kCancelled: return line + "cancelled";
    }
    return line;
}

}  // namespace plexa
