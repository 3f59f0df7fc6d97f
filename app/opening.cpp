// Opening documents handed to the editor: by the desktop (open, print and drop requests), by File >
// Open and by the recent files; and printing those handed in to be printed. A file's kind comes from its content: a dynamic file by its stored
// type, a version-3.6 document by its leader or library header, text by its bytes (an ASCII
// database by its keywords, a report script by its extension as well). Telling the kind only reads:
// nothing is ever written into a file that is being opened. Each kind goes to its opener, which
// reports its own failures naming the file; what cannot be opened here is said to the user.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/printing.h"
#include "app/recentmenus.h"
#include "app/shell.h"
#include "files/project.h"
#include "files/sheetfile.h"
#include "files/sheetload.h"
#include "foundation/datafile.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/strings.h"
#include "model/sheet.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/sheetopen.h"
#include "symboleditor/libcatalog.h"
#include "symboleditor/libeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_print.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr size_t kProbeSize = 1024;
constexpr int32_t kPrefFolderLibraries = 1;

// The version-3.6 leader: the order marker at 2 (0xFFFF little-endian, 0 big-endian), the type
// at 4 and the tag "LEAD" at 8, both in the leader's order. The library header: its type at 18.
constexpr size_t kLeaderSize = 16, kOldLibraryTypeOffset = 18;

bool FourCCAt(const uint8_t* bytes, size_t size, size_t at, const char* code) {
    if (at + 4 > size) return false;
    const bool forward = std::memcmp(bytes + at, code, 4) == 0;
    const bool backward = bytes[at] == uint8_t(code[3]) && bytes[at + 1] == uint8_t(code[2]) &&
                          bytes[at + 2] == uint8_t(code[1]) && bytes[at + 3] == uint8_t(code[0]);
    return forward || backward;
}

bool IsOldSheet(const uint8_t* bytes, size_t size) {
    if (size < kLeaderSize) return false;
    const bool marker = (bytes[2] == 0xFF && bytes[3] == 0xFF) || (bytes[2] == 0 && bytes[3] == 0);
    return marker && FourCCAt(bytes, size, 8, "LEAD") && FourCCAt(bytes, size, 4, "QSCM");
}

bool IsOldLibrary(const uint8_t* bytes, size_t size) { return FourCCAt(bytes, size, kOldLibraryTypeOffset, "QLIB"); }

// Text as a person writes it: no NUL, no control characters but the white space ones (and the
// escape of terminal colours), in any 8-bit encoding.
bool LooksLikeText(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = bytes[i];
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0x1B) continue;
        return false;
    }
    return true;
}

bool HasExtension(const FileSpec* spec, const char* extension) {
    const size_t length = std::strlen(spec->name), tail = std::strlen(extension);
    return length > tail && StrCINCmp(spec->name + length - tail, extension, uint16_t(tail)) == 0;
}

// The first bytes of the file; false with the status when it cannot be read.
bool ReadProbe(const FileSpec* spec, uint8_t* buffer, size_t* size, OSStatus* st) {
    DataFileRef file = 0;
    *size = 0;
    *st = OpenDataFile(spec, true, &file);
    if (*st) return false;
    int32_t count = int32_t(kProbeSize);
    *st = ReadFromFile(file, buffer, &count);
    if (*st == status::kEndOfFile) *st = status::kNoErr;
    (void)CloseAndOrFlushDataFile(file, true, false);  // read only: nothing to flush
    if (*st) return false;
    *size = size_t(count > 0 ? count : 0);
    return true;
}

// What cannot be opened here, said with the file's name.
void TellAbout(const FileSpec* spec, const char* format) {
    char message[512];
    std::snprintf(message, sizeof message, format, spec->name);
    VXDisplayMessage(message);
}

// What is not opened here, said with the file's name (a version-3.6 document points at the
// converter); other kinds pass in silence.
void TellWhyNotOpened(const FileSpec* spec, DocumentKind kind) {
    switch (kind) {
    case DocumentKind::kOldSheet:
        TellAbout(spec, "\"%s\" is a version-3.6 sheet. Convert it with the Plexa Document Converter "
                        "(plexa-convert), then open the converted sheet.");
        break;
    case DocumentKind::kOldProject:
        TellAbout(spec, "\"%s\" is a version-3.6 project. Convert it with the Plexa Document Converter "
                        "(plexa-convert), then open the converted project.");
        break;
    case DocumentKind::kOldLibrary:
        TellAbout(spec, "\"%s\" is a version-3.6 library. Convert it with the Plexa Document Converter "
                        "(plexa-convert), then open the converted library.");
        break;
    case DocumentKind::kDatabase:
    case DocumentKind::kLibraryDatabase:
        TellAbout(spec, "\"%s\" is an ASCII database file. ASCII databases cannot be opened in this version; "
                        "nothing was opened.");
        break;
    case DocumentKind::kReportScript:
        TellAbout(spec, "\"%s\" is a report script. Report scripts are run with File > Run Script, not opened.");
        break;
    default: break;
    }
}

// Whether the window is up and shown.
bool Shown(VXWindowRecordTag* window) { return window && VXIsWindowVisible(window, false); }

}  // namespace

OSStatus AutoDetectFileType(const FileSpec* spec, FourCharCode* type, bool* isLibrary, DocumentKind* kind) {
    const auto answer = [&](OSStatus st, FourCharCode code, DocumentKind k) {
        if (type) *type = code;
        if (kind) *kind = k;
        return st;
    };
    if (isLibrary) *isLibrary = false;
    if (type) *type = 0;
    if (kind) *kind = DocumentKind::kNone;
    if (!spec) return status::kParamErr;
    FourCharCode fileType = 0;
    OSStatus st = IsDynamicFileEx(spec, &fileType, 0, nullptr, nullptr);
    if (st == status::kNoErr) {
        if (fileType == kSheetFileType) return answer(0, fileType, DocumentKind::kSheet);
        if (fileType == kProjectFileType) return answer(0, fileType, DocumentKind::kProject);
        if (fileType == FourCC("LIB4")) return answer(0, fileType, DocumentKind::kLibrary);
        if (fileType == FourCC("QSPR")) return answer(0, fileType, DocumentKind::kOldProject);
        // The preferences file and every other kind of dynamic file: not a document.
        return answer(status::kUnknownFileKind, 0, DocumentKind::kOtherDynamicFile);
    }
    if (st != status::kNotDynamicFile) return st;
    uint8_t probe[kProbeSize] = {};
    size_t size = 0;
    if (!ReadProbe(spec, probe, &size, &st)) return st;
    if (IsOldSheet(probe, size)) return answer(0, FourCC("QSCM"), DocumentKind::kOldSheet);
    if (IsOldLibrary(probe, size)) return answer(0, FourCC("QLIB"), DocumentKind::kOldLibrary);
    if (!LooksLikeText(probe, size)) return answer(status::kNotDynamicFile, 0, DocumentKind::kNone);
    bool library = false;
    if (IsASCIIDatabaseText(probe, size, &library)) {
        if (isLibrary) *isLibrary = library;
        return answer(0, FourCC("TEXT"), library ? DocumentKind::kLibraryDatabase : DocumentKind::kDatabase);
    }
    if (HasExtension(spec, ".SXP")) return answer(0, FourCC("TEXT"), DocumentKind::kReportScript);
    // Plain text opens nothing and says nothing.
    return answer(status::kUserCancelled, FourCC("TEXT"), DocumentKind::kText);
}

OSStatus OpenFileProcessor(const FileSpec* spec) {
    DocumentKind kind = DocumentKind::kNone;
    if (OSStatus st = AutoDetectFileType(spec, nullptr, nullptr, &kind)) return st;
    switch (kind) {
    case DocumentKind::kSheet:
        RecordPrefDirectory(kPrefFolderDocuments, &spec->directory);
        if (!OpenSchematicSheet(spec, kOpenShowWindow | kOpenSetContext | kOpenCheckSheet)) return status::kUserCancelled;
        UpdateRecentFilesMenu(spec, FourCC("SCH4"));
        return status::kNoErr;
    case DocumentKind::kProject:
        if (!OpenProject(spec)) return status::kUserCancelled;
        UpdateRecentFilesMenu(spec, FourCC("PRJ4"));
        return status::kNoErr;
    case DocumentKind::kLibrary:
        RecordPrefDirectory(kPrefFolderLibraries, &spec->directory);
        if (!OpenLibraryEditor(spec)) return status::kUserCancelled;
        UpdateRecentFilesMenu(spec, FourCC("LIB4"));
        return status::kNoErr;
    default: TellWhyNotOpened(spec, kind); break;
    }
    return status::kUserCancelled;
}

// A document handed in to be printed is opened in its window (one already open is taken as it is),
// printed as File > Print prints it, with the print panel, and closed again when it was opened
// for that alone; closing it asks nothing, as printing changes nothing.
OSStatus PrintFileProcessor(const FileSpec* spec) {
    DocumentKind kind = DocumentKind::kNone;
    if (OSStatus st = AutoDetectFileType(spec, nullptr, nullptr, &kind)) return st;
    switch (kind) {
    case DocumentKind::kSheet: {
        const SheetRecord* loaded = FindLoadedSheetWithFile(spec, nullptr);
        const bool shown = loaded && Shown(loaded->window);
        SheetRecord* sheet = OpenSchematicSheet(spec, kOpenShowWindow | kOpenSetContext);
        if (!sheet) return status::kUserCancelled;
        (void)PrintSheet(sheet, kVXPrintShowPanel);  // a failure was reported inside
        if (!shown && sheet->window) VXSendGoAway(sheet->window);
        return status::kNoErr;
    }
    case DocumentKind::kProject: {
        const ProjectRecord* open = GetOpenProject(spec);
        const bool shown = open && Shown(open->window);
        ProjectRecord* project = OpenProject(spec);
        if (!project) return status::kUserCancelled;
        (void)PrintProjectSheets(project, 0, kVXPrintShowPanel);  // a failure was reported inside
        if (!shown && project->window) VXSendGoAway(project->window);
        return status::kNoErr;
    }
    case DocumentKind::kLibrary: {
        const LibEditorRecord* open = GetOpenLibEditor(spec);
        const bool shown = open && Shown(open->window);
        LibEditorRecord* editor = OpenLibraryEditor(spec);
        if (!editor) return status::kUserCancelled;
        (void)PrintLibrary(editor, kVXPrintShowPanel);  // a failure was reported inside
        if (!shown && editor->window) VXSendGoAway(editor->window);
        return status::kNoErr;
    }
    default: TellWhyNotOpened(spec, kind); return status::kUserCancelled;
    }
}

void ReportOpenFailure(const FileSpec* spec, OSStatus st) {
    // Other kinds of files, and plain text, are passed over in silence.
    if (st != status::kUnknownFileKind && VXIsApplicationActive()) VXOpenErrorReport(spec ? spec->name : "", st);
}

}  // namespace plexa
