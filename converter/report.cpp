// The converter's log and failure reports.
#include "converter/report.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace plexa {
namespace {

ConverterReportProcs gReportProcs;

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

}  // namespace plexa
