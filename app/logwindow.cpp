// Message log windows (see logwindow.h).
#include "app/logwindow.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <strings.h>

#include "app/shell.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/render.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "sheeteditor/search.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/symbolupdate.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

constexpr int32_t kLogStyle = 4;
constexpr int16_t kLogHeight = 200;
constexpr int32_t kWarningIcon = 2101, kErrorIcon = 2100, kMessageIcon = 2102;
constexpr uint32_t kWindowFlags = kVXFlagResizable | kVXFlagClosable | kVXFlagVerticalScroller;
constexpr uint16_t kCmdOpenSelection = 211;

int32_t TextWidth(const char* text) {
    return int32_t(VXMeasureTextBytes(text, int32_t(std::strlen(text)), kEncodingUTF8, false));
}

const char* Prefix(uint32_t severity) {
    return severity == kLogWarning ? "WARNING: " : severity == kLogError ? "ERROR  : " : "MESSAGE: ";
}

void Copy(char* out, const std::string& text) { std::snprintf(out, kLogLineSize, "%s", text.c_str()); }

LogWindowRecord* LogOfWindow(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    return top && top->typeID == kMessageLogKind ? static_cast<LogWindowRecord*>(top->refCon) : nullptr;
}

LogWindowRecord** OwnerSlot(LogWindowRecord* log) {
    if (!log || !log->owner) return nullptr;
    if (log->ownerKind == kProjectKind) return &static_cast<ProjectRecord*>(log->owner)->log;
    return &static_cast<SheetRecord*>(log->owner)->logWindow;
}

// ---- Drawing ----

void DrawLogRow(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    LogWindowRecord* log = LogOfWindow(window);
    if (!log || !record->item) return;
    LogEntry entry;
    std::memcpy(&entry, record->item, sizeof entry);
    const Rect& row = record->rect;
    StdDrawHiliteEditListViewItem(window, record);
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    const int32_t icon = entry.severity == kLogWarning ? kWarningIcon : entry.severity == kLogError ? kErrorIcon : kMessageIcon;
    const Rect iconRect = {int16_t(row.top + 4), int16_t(row.left + 3), int16_t(row.top + 20), int16_t(row.left + 19)};
    VXDrawIcon(icon, &iconRect, 0);
    std::string first, second;
    GetLogEntryLines(log, &entry, &first, &second);
    StyleMetrics metrics{};
    GetStyleMetrics(nullptr, &metrics);
    const int16_t line = int16_t(metrics.ascent + metrics.descent + metrics.leading);
    VXMoveTo(int16_t(row.left + 25), int16_t(row.top + metrics.ascent + 3));
    VXDrawTextWithEncoding(first.data(), int32_t(first.size()), kEncodingUTF8);
    if (!second.empty()) {
        VXMoveTo(int16_t(row.left + 25), int16_t(row.top + metrics.ascent + 3 + line));
        VXDrawTextWithEncoding(second.data(), int32_t(second.size()), kEncodingUTF8);
    }
}

int32_t LogListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    switch (message) {
    case kVXListDrawItem: DrawLogRow(window, record); return 0;
    case kVXListItemDeleted:
        if (record->item) {
            LogEntry entry;
            std::memcpy(&entry, record->item, sizeof entry);
            delete entry.attributes;
        }
        return 0;
    default: return 0;
    }
}

// ---- Links ----

ProjectRecord* LogProject(LogWindowRecord* log) {
    return log->ownerKind == kProjectKind ? static_cast<ProjectRecord*>(log->owner) : nullptr;
}

bool LinksIntoSheet(uint32_t kind) { return kind >= kLogLinkSheet && kind <= kLogLinkFrame; }

// Whether the row's link points into the sheet (and to the symbol, for kind 2).
bool LinksTo(LogWindowRecord* log, const LogEntry& entry, uint32_t kind, SheetRecord* sheet, uint32_t serial) {
    if (!LinksIntoSheet(entry.linkKind)) return false;
    if (ProjectRecord* project = LogProject(log)) {
        if (entry.link != GetSheetSpecFromSheet(sheet, project)) return false;
    } else if (log->owner != sheet) {
        return false;
    }
    return kind == kLogLinkSheet || (entry.linkKind == kLogLinkSymbol && entry.serial == serial);
}

// ---- The hierarchy's messages ----

void HierarchyText(LogWindowRecord* log, const LogEntry* entry, char* first, char* second) {
    Copy(first, Prefix(entry->severity) + GetLogEntryAttribute(log, entry, "text"));
    Copy(second, GetLogEntryAttribute(log, entry, "detail"));
}

void LogHierarchy(ProjectRecord* project, const HierarchyLogEntry& h) {
    LogWindowRecord* log = project->log ? project->log : CreateLogWindow(project, nullptr, false);
    if (!log) return;
    LogEntry entry;
    const uint32_t link = h.serial ? kLogLinkSymbol : h.sheet ? kLogLinkSheet : kLogLinkNone;
    SetupLogEntry(&entry, kLogWarning, uint32_t(h.code), HierarchyText, link, h.sheet,
                  h.instance ? h.instance->id : kLogNoInstance, h.serial, 0);
    SetLogEntryAttribute(log, &entry, "text", h.text ? h.text : CalcDefaultLogMessages(uint32_t(h.code)));
    SetLogEntryAttribute(log, &entry, "detail", h.detail ? h.detail : "");
    AppendLog(log, &entry);
    VXShowWindow(log->window);
}

// ---- The symbol update's messages ----

void SymbolUpdateText(LogWindowRecord* log, const LogEntry* entry, char* first, char* second) {
    ReplaceSymbolLogEntry r{};
    r.code = int32_t(entry->code);
    r.error = entry->code != 0;
    r.serial = entry->serial;
    r.fileSymbol = GetLogEntryAttribute(log, entry, "fileSymbol") == "1";
    std::snprintf(r.sheetName, sizeof r.sheetName, "%s", GetLogEntryAttribute(log, entry, "sheetName").c_str());
    std::snprintf(r.symName, sizeof r.symName, "%s", GetLogEntryAttribute(log, entry, "symName").c_str());
    std::snprintf(r.libName, sizeof r.libName, "%s", GetLogEntryAttribute(log, entry, "libName").c_str());
    char one[kLogLineSize], two[kLogLineSize];
    CalcReplaceSymbolLogMessages(r, one, two, kLogLineSize);
    Copy(first, std::string(Prefix(entry->severity)) + one);
    Copy(second, two);
}

LogWindowRecord* GetSymbolUpdateLog(ProjectRecord* project, SheetRecord* sheet, bool create) {
    LogWindowRecord* log = project ? project->log : sheet ? sheet->logWindow : nullptr;
    if (!log && create) log = CreateLogWindow(project, sheet, false);
    return log;
}

void AppendSymbolUpdateEntry(LogWindowRecord* log, const ReplaceSymbolLogEntry& r) {
    if (!log) return;
    LogEntry entry;
    SheetRecord* sheet = nullptr;
    void* link = nullptr;
    if (ProjectRecord* project = LogProject(log)) {
        char name[kFileSpecNameCapacity];
        std::snprintf(name, sizeof name, "%s", r.sheetName);
        sheet = nullptr;
        for (SheetSpec* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec;
             spec = static_cast<SheetSpec*>(LLGetNext(project->sheetSpecs, spec))) {
            char specName[kFileSpecNameCapacity];
            GetSheetSpecName(project, spec, specName, sizeof specName);
            if (strcasecmp(specName, name) == 0) link = spec;
        }
    } else {
        sheet = static_cast<SheetRecord*>(log->owner);
        link = sheet;
    }
    SetupLogEntry(&entry, r.error ? kLogError : kLogMessage, uint32_t(r.code), SymbolUpdateText,
                  link ? kLogLinkSymbol : kLogLinkNone, link, kLogNoInstance, r.serial, 0);
    SetLogEntryAttribute(log, &entry, "sheetName", r.sheetName);
    SetLogEntryAttribute(log, &entry, "symName", r.symName);
    if (r.code == kLogSymbolFileMissing) SetLogEntryAttribute(log, &entry, "libName", r.libName);
    if (r.fileSymbol) SetLogEntryAttribute(log, &entry, "fileSymbol", "1");
    AppendLog(log, &entry);
}

// ---- Change All's report ----

uint32_t PackPoint(Point p) { return uint32_t(uint16_t(p.v)) << 16 | uint16_t(p.h); }
Point UnpackPoint(uint32_t value) { return Point{int16_t(value >> 16), int16_t(value & 0xFFFF)}; }

// The row's report as the search wrote it, from the row's code, value and attributes.
void ChangeAllText(LogWindowRecord* log, const LogEntry* entry, char* first, char* second) {
    ChangeDataLogEntry change;
    const std::string row = GetLogEntryAttribute(log, entry, "row");
    change.row = row == "changed" ? ChangeLogRow::kChanged : row == "summary" ? ChangeLogRow::kSummary : ChangeLogRow::kFailed;
    change.code = OSStatus(entry->code);
    change.kind = uint16_t(std::atoi(GetLogEntryAttribute(log, entry, "kind").c_str()));
    change.sheetName = GetLogEntryAttribute(log, entry, "sheetName");
    change.newData = GetLogEntryAttribute(log, entry, "newData");
    change.refDes = GetLogEntryAttribute(log, entry, "refDes");
    if (change.refDes.empty()) change.refDes = GetLogEntryAttribute(log, entry, "symName");
    std::string one, two;
    CalcChangeDataLogMessages(change, &one, &two);
    Copy(first, Prefix(entry->severity) + one);
    Copy(second, two);
}

LogWindowRecord* ChangeAllLog(ProjectRecord* project, SheetRecord* sheet) {
    return project ? project->log : sheet ? sheet->logWindow : nullptr;
}

// A row of Change All: linked to the item changed, or to the symbol that could not be changed.
void AppendChangeAllEntry(ProjectRecord* project, SheetRecord* sheet, const ChangeDataLogEntry& change) {
    LogWindowRecord* log = ChangeAllLog(project, sheet);
    if (!log) log = CreateLogWindow(project, sheet, false);
    if (!log) return;
    uint32_t link = kLogLinkNone, value = 0;
    if (change.row != ChangeLogRow::kSummary && change.sheet)
        link = change.kind == kSearchSymbols ? kLogLinkSymbol : change.kind == kSearchSignals ? kLogLinkSignal : kLogLinkFrame;
    if (link == kLogLinkFrame) value = PackPoint(change.position);
    void* linkData = project ? static_cast<void*>(GetSheetSpecFromSheet(change.sheet, project)) : change.sheet;
    if (!linkData) link = kLogLinkNone;
    const uint32_t severity = change.row == ChangeLogRow::kFailed ? kLogError : kLogMessage;
    LogEntry entry;
    SetupLogEntry(&entry, severity, uint32_t(change.code), ChangeAllText, link, linkData,
                  project && change.instance ? change.instance->id : kLogNoInstance, change.serial, value);
    SetLogEntryAttribute(log, &entry, "row", change.row == ChangeLogRow::kChanged   ? "changed"
                                             : change.row == ChangeLogRow::kSummary ? "summary"
                                                                                    : "failed");
    SetLogEntryAttribute(log, &entry, "kind", std::to_string(change.kind).c_str());
    SetLogEntryAttribute(log, &entry, "newData", change.newData.c_str());
    if (change.row != ChangeLogRow::kSummary) {
        SetLogEntryAttribute(log, &entry, "sheetName", change.sheetName.c_str());
        SetLogEntryAttribute(log, &entry, change.bySymbolName ? "symName" : "refDes", change.refDes.c_str());
    }
    AppendLog(log, &entry);
}

bool ShowChangeAllLog(ProjectRecord* project, SheetRecord* sheet) {
    LogWindowRecord* log = ChangeAllLog(project, sheet);
    if (!log) return false;
    VXShowWindow(log->window);
    VXSelectWindow(log->window);
    return true;
}

// Shows the signal or text frame that the row links to in the sheet; false when it is gone.
bool ShowLinkedItem(SheetRecord* sheet, LogWindowRecord* log, const LogEntry& entry) {
    if (entry.linkKind == kLogLinkSignal) {
        const std::string name = GetLogEntryAttribute(log, &entry, "refDes");
        for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s)) {
            auto signal = static_cast<SignalHandle>(s);
            char shown[kSignalNameSize] = {};
            GetSignalName(signal, sheet->stringBlock, shown);
            if (name == shown) {
                ShowFoundSignal(CurrentSearch(), sheet, signal, nullptr);
                return true;
            }
        }
        return false;
    }
    const Point at = UnpackPoint(entry.value);
    for (void* f = LLFirst(sheet->textFrameList); f; f = LLGetNext(sheet->textFrameList, f)) {
        auto frame = static_cast<TextFrameHandle>(f);
        if ((*frame)->position.v == at.v && (*frame)->position.h == at.h) {
            ShowFoundFrame(CurrentSearch(), sheet, frame);
            return true;
        }
    }
    return false;
}

void ShowOrDestroy(LogWindowRecord* log) {
    if (!log) return;
    if (CountLogEntries(log) > 0) {
        VXShowWindow(log->window);
        VXSelectWindow(log->window);
    } else {
        DestroyLog(log);
    }
}

int32_t RemoveFromProjectLog(ProjectRecord* project, SheetSpec*, SheetRecord* sheet, void* data) {
    const auto* what = static_cast<const std::pair<uint32_t, uint32_t>*>(data);
    if (project->log) RemoveLogEntriesToLink(project->log, what->first, sheet, what->second);
    return 0;
}

}  // namespace

const char* CalcDefaultLogMessages(uint32_t code) {
    switch (code) {
    case 0x20000032: return "Port is not referenced from parent sheet.";
    case 0x20000033: return "Port missing from child sheet.";
    case 0x20000034: return "Symbol's child sheet was not found.";
    case 0x20000037: return "Symbol is out-of-date with respect to its definition in the child sheet.";
    case 0x20000038: return "Symbol's definition was not found in its referenced child sheet.";
    case 0x20000039: return "Circular reference in the project hierarchy";
    case 0x2000003B: return "Sheet could not be read.";
    default: return "";
    }
}

LogWindowRecord* CreateLogWindow(ProjectRecord* project, SheetRecord* sheet, bool show) {
    if (!project && !sheet) return nullptr;
    LogWindowRecord** slot = project ? &project->log : &sheet->logWindow;
    if (LogWindowRecord* log = *slot) {
        const int32_t rows = VXCountListViewItems(log->window);
        if (rows > 0) VXDeleteListViewItemData(log->window, 0, rows);
        if (show) VXShowWindow(log->window);
        return log;
    }
    txStyle* style = GetTempDefaultStyle(kLogStyle);
    VXSetTextStyle(style);
    StyleMetrics metrics{};
    GetStyleMetrics(style, &metrics);
    const int16_t width = int16_t(6 * TextWidth("1234567890"));
    Rect largest{};
    VXCalcMaxWindowRect(kVXWindowDocument, 0, kWindowFlags, nullptr, &largest);
    const Rect content = {int16_t(largest.bottom - kLogHeight), largest.left, largest.bottom,
                          int16_t(largest.left + width)};
    auto* log = new LogWindowRecord{nullptr, project ? static_cast<void*>(project) : sheet,
                                    project ? kProjectKind : kSheetKind, 0};
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, kWindowFlags, kMessageLogKind, 0, 0, &content,
                                               "", 0, log, LogWindowEventHandler);
    if (!window) {
        delete log;
        return nullptr;
    }
    log->window = window;
    const int16_t line = int16_t(metrics.ascent + metrics.descent + metrics.leading);
    VXInstallListView(window, style, int16_t(2 * line + 8), int32_t(sizeof(LogEntry)),
                      kVXListMultiSelect | kVXListReportDeletions, LogListViewHook);
    *slot = log;
    UpdateLogWindowTitle(log);
    if (show) VXShowWindow(window);
    return log;
}

void UpdateLogWindowTitle(LogWindowRecord* log) {
    if (!log || !log->window) return;
    char name[kFileSpecNameCapacity] = "";
    if (ProjectRecord* project = LogProject(log)) GetFileSpecName(&project->file.spec, name, sizeof name);
    else if (log->owner) {
        auto* sheet = static_cast<SheetRecord*>(log->owner);
        if (sheet->window) VXGetWindowTitle(sheet->window, name);
        else GetFileSpecName(&sheet->fileSpec, name, sizeof name);
    }
    VXSetWindowTitle(log->window, (std::string(name) + " Messages").c_str());
}

void SetupLogEntry(LogEntry* entry, uint32_t severity, uint32_t code, LogTextProc textProc, uint32_t linkKind,
                   void* linkData, uint32_t instanceId, uint32_t serial, uint32_t value) {
    std::memset(static_cast<void*>(entry), 0, sizeof *entry);
    entry->severity = severity;
    entry->code = code;
    entry->textProc = textProc;
    entry->linkKind = linkKind;
    entry->instanceId = kLogNoInstance;
    if (LinksIntoSheet(linkKind)) {
        entry->link = linkData;
        entry->instanceId = instanceId;
    }
    if (linkKind == kLogLinkSymbol) entry->serial = serial;
    entry->value = value;
}

void SetLogEntryAttribute(LogWindowRecord* log, LogEntry* entry, const char* name, const char* value) {
    if (!log || !entry || !name) return;
    if (!entry->attributes) entry->attributes = new Attributes;
    for (auto& [key, v] : *entry->attributes)
        if (key == name) {
            v = value ? value : "";
            return;
        }
    entry->attributes->emplace_back(name, value ? value : "");
}

std::string GetLogEntryAttribute(LogWindowRecord* log, const LogEntry* entry, const char* name) {
    if (!log || !entry || !entry->attributes || !name) return "";
    for (const auto& [key, value] : *entry->attributes)
        if (key == name) return value;
    return "";
}

void AppendLog(LogWindowRecord* log, LogEntry* entry) {
    if (!log || !log->window || !entry) {
        if (entry) {
            delete entry->attributes;
            entry->attributes = nullptr;
        }
        return;
    }
    VXInsertListViewItemData(log->window, -1, entry, 1);
    entry->attributes = nullptr;  // the row has it now
}

int32_t CountLogEntries(LogWindowRecord* log) { return log && log->window ? VXCountListViewItems(log->window) : 0; }

bool GetLogEntry(LogWindowRecord* log, int32_t row, LogEntry* entry) {
    if (!log || !log->window || row < 0 || row >= CountLogEntries(log)) return false;
    return VXGetListViewItemData(log->window, row, entry) > 0;
}

void GetLogEntryLines(LogWindowRecord* log, const LogEntry* entry, std::string* first, std::string* second) {
    char one[kLogLineSize] = "", two[kLogLineSize] = "";
    if (entry->textProc) {
        entry->textProc(log, entry, one, two);
    } else {
        std::snprintf(one, sizeof one, "%s%s", Prefix(entry->severity), CalcDefaultLogMessages(entry->code));
    }
    *first = one;
    *second = two;
}

void DestroyLog(LogWindowRecord* log) {
    if (log && log->window) VXDestroyWindow(log->window);
}

void ShowSelectedLogLink(LogWindowRecord* log) {
    if (!log || !log->window) return;
    for (int32_t row = VXGetListViewSelection(log->window, 0); row >= 0;
         row = VXGetListViewSelection(log->window, row + 1)) {
        LogEntry entry;
        if (!GetLogEntry(log, row, &entry) || entry.linkKind == kLogLinkNone || !entry.link) continue;
        SheetRecord* sheet = nullptr;
        ProjectRecord* project = LogProject(log);
        if (project) {
            auto* spec = static_cast<SheetSpec*>(entry.link);
            SheetNode* node = nullptr;
            if (entry.instanceId != kLogNoInstance) {
                if (SheetInstance* instance = GetInstanceWithId(project, entry.instanceId))
                    node = GetSheetNodeWithInstance(project, instance);
            } else {
                node = GetSheetNodeUsingSheetSpec(project, spec);
            }
            if (node) sheet = OpenSheetContext(project, node, false);
            if (!sheet) {
                char name[kFileSpecNameCapacity];
                GetSheetSpecName(project, spec, name, sizeof name);
                FileSpec file;
                if (FindProjectSheetFile(project, name, &file)) {
                    sheet = OpenSchematicSheet(&file, 5);
                    if (sheet) (void)SetSheetContext(sheet, nullptr, nullptr, false);  // shown without a context
                }
            }
        } else {
            sheet = static_cast<SheetRecord*>(log->owner);
            if (sheet && sheet->window) VXSelectWindow(sheet->window);
        }
        if (sheet && entry.linkKind == kLogLinkSymbol)
            if (SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, entry.serial))
                ShowFoundSymbol(CurrentSearch(), sheet, symbol);
        if (sheet && (entry.linkKind == kLogLinkSignal || entry.linkKind == kLogLinkFrame))
            (void)ShowLinkedItem(sheet, log, entry);  // an item that went leaves the sheet shown
        return;
    }
}

void RemoveLogEntriesToLink(LogWindowRecord* log, uint32_t kind, SheetRecord* sheet, uint32_t serial) {
    if (!log || !log->window || !sheet) return;
    if (log->ownerKind == kSheetKind && log->owner != sheet) return;
    VXSetListViewDrawingEnabled(log->window, false);
    for (int32_t row = CountLogEntries(log) - 1; row >= 0; --row) {
        LogEntry entry;
        if (GetLogEntry(log, row, &entry) && LinksTo(log, entry, kind, sheet, serial))
            VXDeleteListViewItemData(log->window, row, 1);
    }
    VXSetListViewDrawingEnabled(log->window, true);
    if (CountLogEntries(log) == 0) DestroyLog(log);
}

void RemoveAllLogEntriesToLink(uint32_t kind, SheetRecord* sheet, uint32_t serial) {
    if (!sheet) return;
    std::pair<uint32_t, uint32_t> what{kind, serial};
    (void)EnumSheetProjects(sheet, RemoveFromProjectLog, &what);  // the procedure never stops it
    if (sheet->logWindow) RemoveLogEntriesToLink(sheet->logWindow, kind, sheet, serial);
}

void RemoveLogSymbolLinksWithNewSerialNumbers(SheetRecord* sheet) {
    if (!sheet) return;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next)
        if (symbol->serial >= sheet->serialAtLoad) RemoveAllLogEntriesToLink(kLogLinkSymbol, sheet, symbol->serial);
}

void DestroyEmptyOrHiddenLogWindows() {
    for (bool again = true; again;) {
        again = false;
        for (VXWindowRecordTag* window : VXTopLevelWindows()) {
            LogWindowRecord* log = window->typeID == kMessageLogKind ? LogOfWindow(window) : nullptr;
            if (!log || log->keep) continue;
            if (CountLogEntries(log) == 0 || !VXIsWindowVisible(window, false)) {
                DestroyLog(log);
                again = true;
                break;
            }
        }
    }
}

int32_t LogWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    LogWindowRecord* log = LogOfWindow(window);
    if (!log) return 0;
    switch (event->kind) {
    case kVXDestroyEvent: {
        if (LogWindowRecord** slot = OwnerSlot(log); slot && *slot == log) *slot = nullptr;
        window->refCon = nullptr;
        delete log;
        return 0;
    }
    case kVXActivateEvent:
        if (event->u.activate.activated) CloseDeviceParametersWindow(nullptr);
        return 0;
    case kVXControlEvent:
        // A double click on a row.
        if (event->u.control.controlType == 7 && event->u.control.values.listBox.second) {
            ShowSelectedLogLink(log);
            return 1;
        }
        return 0;
    case kVXCommandEvent:
        if (event->u.command.command == kCmdOpenSelection) {
            ShowSelectedLogLink(log);
            return 1;
        }
        return 0;
    default: return 0;
    }
}

void AddLogWindowHooks(HierarchyHooks& hierarchy, SymbolUpdateHooks& symbols, ProjectServices& projects,
                       SheetWindowHooks& windows, SearchLogHooks& search) {
    search.destroyLog = [](ProjectRecord* project, SheetRecord* sheet) { DestroyLog(ChangeAllLog(project, sheet)); };
    search.append = AppendChangeAllEntry;
    search.show = ShowChangeAllLog;
    hierarchy.log = LogHierarchy;
    hierarchy.clearLog = [](ProjectRecord* project) { CreateLogWindow(project, nullptr, false); };
    hierarchy.logEmpty = [](ProjectRecord* project) { return CountLogEntries(project->log) == 0; };
    hierarchy.destroyLog = [](ProjectRecord* project) { DestroyLog(project->log); };
    projects.destroyLog = [](ProjectRecord* project) { DestroyLog(project->log); };
    symbols.getLog = GetSymbolUpdateLog;
    symbols.appendLogEntry = AppendSymbolUpdateEntry;
    symbols.countLogEntries = CountLogEntries;
    symbols.showLog = ShowOrDestroy;
    symbols.destroyLog = DestroyLog;
    windows.updateLogWindowTitle = UpdateLogWindowTitle;
    windows.destroyLog = DestroyLog;
}

}  // namespace plexa
