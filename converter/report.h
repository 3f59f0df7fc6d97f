// Where the converter's work reports to: a line for the log (what was written, what was replaced),
// a failure for the user, and the outcome of each file handed to the converter (written, skipped
// or failed, with the reason in words). The program installs its own procedures at start-up (with
// its window: failures and skipped documents in an alert and a line on the standard error; in
// batch use: one line per file on the standard output); tests install theirs to see what was
// reported.
#pragma once

#include <string>

#include "foundation/types.h"

namespace plexa {

// The converter's own failures.
// A version-3.6 file that holds a record no writer makes (a reference that names nothing, a
// length or count beyond its record).
constexpr OSStatus kV36DamagedFile = 0x20002D51;
// A version-3.6 project without its header or sheet list.
constexpr OSStatus kV36ProjectDamaged = 0x20002D52;
// A sheet of a version-3.6 project that is nowhere to be found (and nobody can be asked).
constexpr OSStatus kV36SheetNotFound = 0x20002D53;
// An image of a version-3.6 sheet or library item whose bitmap lacks its file header ("BM").
constexpr OSStatus kV36ImageWithoutFileHeader = 0x20002D54;
// An image of a version-3.6 sheet or library item whose bitmap cannot be read.
constexpr OSStatus kV36DamagedImage = 0x20002D55;

// What became of one file handed to the converter.
enum class ConversionOutcome : uint8_t {
    kWritten,    // converted; `output` names the project or library file written
    kSkipped,    // not something the converter converts (or nothing in it to convert)
    kFailed,     // the conversion failed; what was written before stays (never a half file)
    kCancelled,  // the user cancelled (a sheet of a project not found)
};

struct ConversionReport {
    std::string source;  // the file as given (absolute path)
    ConversionOutcome outcome = ConversionOutcome::kWritten;
    std::string output;
    OSStatus status = 0;
    std::string reason;  // skipped or failed: what happened, one sentence
    // Whether a skipped file claimed to be a version-3.6 document (its extension, an empty file,
    // a library of no items, a folder): the user is told why it was skipped.
    bool claimed = false;
};

struct ConverterReportProcs {
    void (*log)(const char* line) = nullptr;    // none: a line on the standard error
    void (*error)(OSStatus code) = nullptr;     // none: nothing is shown
    // Every file's outcome; none: a failure goes to `error` and a skipped file's reason to the log.
    void (*outcome)(const ConversionReport& report) = nullptr;
};

// Installs the procedures; returns the ones they replace.
ConverterReportProcs SetConverterReportProcs(const ConverterReportProcs& procs);

// One line for the log, formatted as printf does.
void ConverterLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A failure for the user; 0 and cancel (-128) are never reported.
void ConverterError(OSStatus code);
// A file's outcome, through the installed procedures.
void ReportConversion(const ConversionReport& report);

// The words for a failure: the converter's own texts, else the message of the strings tables,
// else "Error number N.".
std::string ConversionFailureText(OSStatus code);

// One line for a file's outcome: "\"SOURCE\": written \"OUTPUT\"", "\"SOURCE\": skipped: REASON",
// "\"SOURCE\": failed: REASON", "\"SOURCE\": cancelled".
std::string FormatConversionReport(const ConversionReport& report);

}  // namespace plexa
