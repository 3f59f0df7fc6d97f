// The conversion driver.
#include "converter/driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "converter/detect.h"
#include "converter/output.h"
#include "converter/v36libconvert.h"
#include "converter/v36projconvert.h"
#include "converter/v36sheetconvert.h"
#include "foundation/filespec.h"
#include "foundation/stream.h"
#include "foundation/strings.h"

namespace plexa {
namespace {

constexpr const char* kV36Extensions[] = {".SCM", ".SPR", ".SLB"};

// Whether the name says it is a version-3.6 document.
bool ClaimsV36Kind(const std::string& path) {
    for (const char* extension : kV36Extensions)
        if (NameHasExtension(path.c_str(), extension)) return true;
    return false;
}

ConversionReport Skipped(ConversionReport report, const std::string& reason, bool claimed) {
    report.outcome = ConversionOutcome::kSkipped;
    report.reason = reason;
    report.claimed = claimed;
    return report;
}

ConversionReport Failed(ConversionReport report, OSStatus status, const std::string& reason) {
    report.outcome = ConversionOutcome::kFailed;
    report.status = status;
    report.reason = reason.empty() ? ConversionFailureText(status) : reason;
    return report;
}

// The outcome of a conversion that returned `status`.
ConversionReport Finished(ConversionReport report, OSStatus status, const std::string& output) {
    if (status == status::kUserCancelled) {
        report.outcome = ConversionOutcome::kCancelled;
        report.status = status;
        return report;
    }
    if (status) return Failed(report, status, {});
    report.outcome = ConversionOutcome::kWritten;
    report.output = output;
    return report;
}

// The reason a path cannot be read, from the error of stat or open.
std::string UnreadableReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM: return "You do not have permission to read the file.";
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG: return "The file could not be found.";
        default: return ConversionFailureText(StatusFromErrno(error));
    }
}

// Runs the conversion of one kind.
ConversionReport ConvertKind(const FileSpec* spec, FourCharCode type, ConversionReport report) {
    switch (type) {
        case kV36SheetType:
        case kV36ProjectType: {
            ProjectConversion result;
            const OSStatus st = type == kV36SheetType ? ConvertV36SheetFile(spec, &result)
                                                      : ConvertV36ProjectFile(spec, &result);
            return Finished(report, st, result.projectPath);
        }
        case kV36LibraryType: {
            uint32_t written = 0, items = 0;
            std::string output;
            const OSStatus st = ConvertV36LibraryFile(spec, &written, &items, &output);
            if (st == status::kNoErr && items == 0) return Skipped(report, "The library holds no items.", true);
            return Finished(report, st, output);
        }
        default:
            return Skipped(report, "The file is a document of another kind, not a version-3.6 one.",
                           ClaimsV36Kind(report.source));
    }
}

// Whether the file is a version-3.6 library of a version too old to convert (detection takes
// such a file for no document at all).
bool IsTooOldLibrary(const std::string& path) {
    StreamRecord* stream = nullptr;
    if (OpenFileStream(path.c_str(), true, &stream)) return false;
    V36LibraryHeader header;
    const bool old = ReadV36LibraryHeader(stream, &header) == kV36VersionTooOld;
    (void)CloseAndMaybeFlushFileStream(stream, false);  // read only: nothing to flush
    return old;
}

ConversionReport ConvertSpec(const FileSpec* spec, ConversionReport report) {
    FourCharCode type = 0;
    OSStatus detected = AutoDetectConversionFileType(spec, &type);
    if (detected == status::kUnknownFileKind && IsTooOldLibrary(report.source)) detected = kV36VersionTooOld;
    if (detected == status::kUnknownFileKind || detected == kV36VersionTooOld)
        return Skipped(report, ConversionFailureText(detected), ClaimsV36Kind(report.source));
    if (detected) return Failed(report, detected, {});
    return ConvertKind(spec, type, report);
}

// The conversion of the kind, reported.
void ConvertAndReport(const FileSpec* spec, FourCharCode type) {
    ConversionReport report;
    report.source = OutputPath(spec);
    ReportConversion(ConvertKind(spec, type, report));
}

}  // namespace

ConversionReport ConvertDocument(const std::string& given) {
    ConversionReport report;
    char here[4096];
    report.source = given.empty() || given[0] == '/' || !getcwd(here, sizeof here) ? given
                                                                                     : std::string(here) + "/" + given;
    struct stat info {};
    if (::stat(report.source.c_str(), &info) != 0) return Failed(report, StatusFromErrno(errno), UnreadableReason(errno));
    if (S_ISDIR(info.st_mode)) return Skipped(report, "It is a folder, not a file.", true);
    if (!S_ISREG(info.st_mode)) return Skipped(report, "It is not a regular file.", ClaimsV36Kind(report.source));
    if (::access(report.source.c_str(), R_OK) != 0)
        return Failed(report, StatusFromErrno(errno), UnreadableReason(errno));
    if (info.st_size == 0) return Skipped(report, "The file is empty.", true);
    FileSpec spec;
    if (OSStatus st = FileSpecFromURL(report.source, &spec, true, nullptr)) return Failed(report, st, {});
    return ConvertSpec(&spec, report);
}

OSStatus ConvertFileProcessor(const FileSpec* spec) {
    FourCharCode type = 0;
    if (OSStatus st = AutoDetectConversionFileType(spec, &type)) return st;
    switch (type) {
        case kV36SheetType: ConvertV36Sheet(spec); break;
        case kV36ProjectType: ConvertV36Project(spec); break;
        case kV36LibraryType: ConvertV36Library(spec); break;
        default: break;
    }
    return status::kNoErr;
}

void ConvertV36Sheet(const FileSpec* spec) { ConvertAndReport(spec, kV36SheetType); }

void ConvertV36Project(const FileSpec* spec) { ConvertAndReport(spec, kV36ProjectType); }

void ConvertV36Library(const FileSpec* spec) { ConvertAndReport(spec, kV36LibraryType); }

}  // namespace plexa
