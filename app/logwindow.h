// Message log windows (kind 121): the problems and results of long operations (hierarchy checks,
// symbol updates, report-script log statements, Change All) listed for a sheet or a project. Each
// entry has a severity, one or two lines of text and may link to a sheet, an occurrence of it and
// a symbol, signal or text frame in it; a double click (or Open Selection) opens that sheet in its
// context and shows the item. The owner keeps a link to its log (SheetRecord::logWindow,
// ProjectRecord::log).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plexa {

struct HierarchyHooks;
struct LogWindowRecord;
struct SearchLogHooks;
struct ModelHooks;
struct ProjectRecord;
struct ProjectServices;
struct SheetRecord;
struct SheetWindowHooks;
struct SymbolUpdateHooks;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint32_t kLogWarning = 1, kLogError = 2, kLogMessage = 3;
// What a row links to: nothing, a sheet, a symbol of it (by serial), a signal of it (by the name
// in the row's "refDes" attribute), a text frame of it (by its position in the row's value, the
// vertical coordinate in the high half).
constexpr uint32_t kLogLinkNone = 0, kLogLinkSheet = 1, kLogLinkSymbol = 2, kLogLinkSignal = 3, kLogLinkFrame = 4;
constexpr uint32_t kLogNoInstance = 0xFFFFFFFF;
constexpr int32_t kLogLineSize = 256;

struct LogEntry;
// Fills the two lines of an entry (kLogLineSize bytes each); the first holds the severity's prefix.
using LogTextProc = void (*)(LogWindowRecord* log, const LogEntry* entry, char* first, char* second);

// A row of a log (the list view's item data).
struct LogEntry {
    uint32_t code;
    LogTextProc textProc;    // none: the default text of the code
    void* link;              // the sheet spec in a project's log, the sheet in a sheet's
    uint32_t instanceId;     // kLogNoInstance: none
    uint32_t serial;         // of the linked symbol
    uint32_t value;          // the logger's own
    std::vector<std::pair<std::string, std::string>>* attributes;  // owned by the row
    uint32_t severity;       // kLogWarning, kLogError, other values a message
    uint32_t linkKind;       // kLogLink*
};

// The default text of a message code, empty when it has none.
const char* CalcDefaultLogMessages(uint32_t code);

// The project's log (when a project is given) or the sheet's: emptied when it exists, else made
// (shown when asked). None when it cannot be made.
LogWindowRecord* CreateLogWindow(ProjectRecord* project, SheetRecord* sheet, bool show);
void UpdateLogWindowTitle(LogWindowRecord* log);
void SetupLogEntry(LogEntry* entry, uint32_t severity, uint32_t code, LogTextProc textProc, uint32_t linkKind,
                   void* linkData, uint32_t instanceId, uint32_t serial, uint32_t value);
// A named value of the entry (a missing log: set does nothing, get gives "").
void SetLogEntryAttribute(LogWindowRecord* log, LogEntry* entry, const char* name, const char* value);
std::string GetLogEntryAttribute(LogWindowRecord* log, const LogEntry* entry, const char* name);
// Appends the entry as the last row; the log takes its attributes.
void AppendLog(LogWindowRecord* log, LogEntry* entry);
int32_t CountLogEntries(LogWindowRecord* log);
// The row's entry; false when there is no such row.
bool GetLogEntry(LogWindowRecord* log, int32_t row, LogEntry* entry);
// The two lines a row shows.
void GetLogEntryLines(LogWindowRecord* log, const LogEntry* entry, std::string* first, std::string* second);
void DestroyLog(LogWindowRecord* log);

// Opens the first selected row's link.
void ShowSelectedLogLink(LogWindowRecord* log);
// Removes rows linking to the sheet (kind 1: any link; kind 2: the symbol with the serial); a log
// left empty is destroyed.
void RemoveLogEntriesToLink(LogWindowRecord* log, uint32_t kind, SheetRecord* sheet, uint32_t serial);
void RemoveAllLogEntriesToLink(uint32_t kind, SheetRecord* sheet, uint32_t serial);
// Drops the rows that link to symbols placed since the sheet was loaded (its changes are discarded).
void RemoveLogSymbolLinksWithNewSerialNumbers(SheetRecord* sheet);
// Destroys every log window without the keep flag that is empty or not visible.
void DestroyEmptyOrHiddenLogWindows();

int32_t LogWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

// Puts the log windows in the tables of the hierarchy check, the symbol update, the projects,
// the sheet windows and the search.
void AddLogWindowHooks(HierarchyHooks& hierarchy, SymbolUpdateHooks& symbols, ProjectServices& projects,
                       SheetWindowHooks& windows, SearchLogHooks& search);

}  // namespace plexa
