// Where the converter's work reports to: a line for the log (what was written, what was replaced)
// and a failure for the user. The program installs its own procedures at start-up (the log goes
// to the standard error, failures to an alert); tests install theirs to see what was reported.
#pragma once

#include "foundation/types.h"

namespace plexa {

struct ConverterReportProcs {
    void (*log)(const char* line) = nullptr;    // none: a line on the standard error
    void (*error)(OSStatus code) = nullptr;     // none: nothing is shown
};

// Installs the procedures; returns the ones they replace.
ConverterReportProcs SetConverterReportProcs(const ConverterReportProcs& procs);

// One line for the log, formatted as printf does.
void ConverterLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A failure for the user; 0 and cancel (-128) are never reported.
void ConverterError(OSStatus code);

}  // namespace plexa
