// Printing of sheets and projects (see printing.h).
#include "app/printing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "app/shellutil.h"
#include "app/viewcommands.h"
#include "design/netlistdb.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/geometry.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/printrec.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "sheeteditor/sheetview.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_print.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kProjectPrintResolution = 96;
constexpr double kDefaultMarginInches = 0.1;
constexpr uint16_t kAskPrintTemplate = 1019;
constexpr int16_t kAskFirstRadio = 3, kAskOnceItem = 7;
constexpr const char* kSpoolingMessage = "   Spooling Project Sheets...   ";
constexpr uint32_t kWalkAll = kWalkDescend | kWalkTwoPasses | kWalkKeepLoaded | kWalkFinalCall;
constexpr uint32_t kWalkTopLevel = kWalkTwoPasses | kWalkKeepLoaded | kWalkFinalCall;

void AddBounds(Rect* into, const Rect& r) {
    if (VXEmptyRect(&r)) return;
    if (VXEmptyRect(into)) *into = r;
    else VXUnionRect(into, &r, into);
}

LRect ToLong(const Rect& r) { return LRect{r.top, r.left, r.bottom, r.right}; }

bool FitsOnePage(const SheetRecord* sheet) { return sheet->stored.printScale < 0; }

// The sheet's print record, made when missing; none when it cannot be made.
VXPrintRec* SheetPrintRecord(SheetRecord* sheet) {
    if (!sheet->printRecord &&
        CreateDefaultPrintRef(sheet->stored.resolution ? sheet->stored.resolution : 72, &sheet->printRecord,
                              kDefaultMarginInches) != 0)
        return nullptr;
    return sheet->printRecord;
}

// How well the sheet's printed area takes the record's page as it stands, the larger the better:
// fitted to one page, the scale it prints at; else minus the number of pages.
double PageFit(VXPrintRec* record, SheetRecord* sheet, bool fit) {
    VXPrintingMetrics metrics{};
    if (!VXGetPrintingMetrics(record, &metrics) || metrics.pageWidth <= 0 || metrics.pageHeight <= 0)
        return -double(0xFFFF);
    Rect bounds{};
    CalcViewSizeForSheet(nullptr, sheet, fit, Point{}, &bounds);
    if (fit) {
        // Nothing prints larger than it is.
        const Point page{int16_t(std::min<int32_t>(metrics.pageHeight, INT16_MAX)),
                         int16_t(std::min<int32_t>(metrics.pageWidth, INT16_MAX))};
        return std::min(1.0, CalcScaleFactorToFit(page, bounds, false));
    }
    int16_t rows = 0;
    return -double(CalcPaginationForSheet(bounds, false, LRect{0, 0, metrics.pageHeight, metrics.pageWidth}, &rows));
}

// Turns the page the way that suits the sheet: the way it prints on fewer pages (fitted to one
// page, the way it prints larger); the record's own way when both serve alike.
void ChooseSheetOrientation(VXPrintRec* record, SheetRecord* sheet, bool fit) {
    const bool landscape = VXIsPrintLandscape(record);
    const double kept = PageFit(record, sheet, fit);
    VXSetPrintLandscape(record, !landscape);
    if (PageFit(record, sheet, fit) > kept) {
        sheet->cachedPageSize = Rect{};  // the page breaks shown follow the page
        return;
    }
    VXSetPrintLandscape(record, landscape);
}

// Whether the sheet's page is no larger than the paper, turned either way: only the paper's
// margins keep its content from one page.
bool SheetFitsPaper(VXPrintRec* record, const SheetRecord* sheet) {
    VXPrintingMetrics m{};
    if (!VXGetPrintingMetrics(record, &m)) return false;
    const int32_t paperWidth = m.pageWidth + m.marginLeft + m.marginRight;
    const int32_t paperHeight = m.pageHeight + m.marginTop + m.marginBottom;
    const int32_t width = sheet->sheetBounds.right - sheet->sheetBounds.left;
    const int32_t height = sheet->sheetBounds.bottom - sheet->sheetBounds.top;
    return (width <= paperWidth && height <= paperHeight) || (width <= paperHeight && height <= paperWidth);
}

void ReportUnlessCancelled(OSStatus st) {
    if (st && st != status::kUserCancelled) VXErrorReport(st);
}

// ---- One sheet ----

struct SheetJob {
    SheetRecord* sheet;
    bool fit;
    Rect bounds;
    int16_t rows;
};

uint32_t PrintSheetOperationHandler(VXWindowRecordTag* window, VXPrintRec* record, int32_t message, void* data,
                                    void* refcon) {
    auto* job = static_cast<SheetJob*>(refcon);
    SheetRecord* sheet = job->sheet;
    switch (message) {
    case -4:
        CalcTextListBounds(sheet->window, sheet->textFrameList, sheet->textList, sheet->stringBlock);
        if (sheet->window) {
            Rect all{};
            VXGetClientRect(sheet->window, &all);
            VXInvalRect(sheet->window, &all);
        }
        return 0;
    case -3: CalcTextListBounds(window, sheet->textFrameList, sheet->textList, sheet->stringBlock); return 0;
    case -2: {
        const LRect page = job->fit ? ToLong(sheet->sheetBounds) : *static_cast<LRect*>(data);
        PrintOnePage(window, sheet, page);
        return 0;
    }
    case -1: {
        auto* frame = static_cast<LRect*>(data);
        const Point size = {int16_t(frame->bottom - frame->top), int16_t(frame->right - frame->left)};
        *frame = CalcViewSizeForSheet(record, sheet, job->fit, size, &job->bounds);
        return 0;
    }
    case 0: return CalcPaginationForSheet(job->bounds, job->fit, *static_cast<LRect*>(data), &job->rows);
    default: {
        auto* origin = static_cast<_LPNT*>(data);
        VXPrintingMetrics metrics{};
        VXGetPrintingMetrics(record, &metrics);
        const LRect pageRect{0, 0, metrics.pageHeight, metrics.pageWidth};
        *origin = job->fit ? _LPNT{job->bounds.top, job->bounds.left} : SheetPageOrigin(message, job->rows, pageRect);
        return 0;
    }
    }
}

// ---- A project ----

struct SpooledSheetEntry {
    SheetInstance* instance;
    SheetRecord* sheet;
    Rect bounds;
    uint16_t firstPage;
    uint16_t pageCount;
    int16_t rows;
};

struct PrintSpoolState {
    VXPrintRec* record;
    ProjectRecord* project;
    int32_t current = -1;
    int32_t printedLast = -1;
    ProjectRecord* savedProject = nullptr;
    SheetInstance* savedInstance = nullptr;
    int16_t choice;
    uint16_t totalPages = 0;
    uint32_t options;
    OSStatus printStatus = 0;
    std::vector<SpooledSheetEntry> entries;
    std::vector<SheetSpec*> spooled;
    SheetSpec* spec = nullptr;
    SheetRecord* sheet = nullptr;
};

// Gives the sheet a context without redrawing its window.
void SetContextQuietly(SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance) {
    VXWindowRecordTag* window = sheet->window;
    sheet->window = nullptr;
    (void)SetSheetContext(sheet, project, instance, false);  // a context that fails to load prints bare
    // The texts made of fields (designators among them) follow the occurrence.
    RebuildMacroizedText(sheet, nullptr, nullptr);
    sheet->window = window;
}

void RestoreLastPrinted(PrintSpoolState* state) {
    if (state->printedLast < 0) return;
    SetContextQuietly(state->entries[size_t(state->printedLast)].sheet, state->savedProject, state->savedInstance);
    state->printedLast = -1;
}

bool SheetDone(const std::vector<SheetRecord*>& done, SheetRecord* sheet) {
    return std::find(done.begin(), done.end(), sheet) != done.end();
}

uint32_t PrintSpoolOperationHandler(VXWindowRecordTag* window, VXPrintRec* record, int32_t message, void* data,
                                    void* refcon) {
    auto* state = static_cast<PrintSpoolState*>(refcon);
    std::vector<SheetRecord*> done;
    switch (message) {
    case -3:
        for (SpooledSheetEntry& e : state->entries) {
            if (SheetDone(done, e.sheet)) continue;
            CalcTextListBounds(window, e.sheet->textFrameList, e.sheet->textList, e.sheet->stringBlock);
            done.push_back(e.sheet);
        }
        VXStaticMessage(0, nullptr);
        return 0;
    case -1: {
        auto* frame = static_cast<LRect*>(data);
        const Point size = {int16_t(frame->bottom - frame->top), int16_t(frame->right - frame->left)};
        Rect all{};
        for (SpooledSheetEntry& e : state->entries) {
            if (SheetDone(done, e.sheet)) {
                for (const SpooledSheetEntry& o : state->entries)
                    if (o.sheet == e.sheet) { e.bounds = o.bounds; break; }
                continue;
            }
            CalcViewSizeForSheet(record, e.sheet, false, size, &e.bounds);
            AddBounds(&all, e.bounds);
            done.push_back(e.sheet);
        }
        *frame = ToLong(all);
        return 0;
    }
    case 0: {
        const auto* page = static_cast<LRect*>(data);
        uint32_t total = 0;
        for (SpooledSheetEntry& e : state->entries) {
            e.firstPage = uint16_t(total + 1);
            e.pageCount = CalcPaginationForSheet(e.bounds, false, *page, &e.rows);
            total = std::min<uint32_t>(total + e.pageCount, 0xFFFF);
        }
        state->totalPages = uint16_t(total);
        return total;
    }
    case -2: {
        if (state->current < 0) return 0;
        SpooledSheetEntry& e = state->entries[size_t(state->current)];
        if (state->current != state->printedLast) {
            RestoreLastPrinted(state);
            state->printedLast = state->current;
            state->savedProject = e.sheet->project;
            state->savedInstance = e.sheet->hierarchyContext;
            SetContextQuietly(e.sheet, state->project, e.instance);
        }
        PrintOnePage(window, e.sheet, *static_cast<LRect*>(data));
        return 0;
    }
    case -4:
        RestoreLastPrinted(state);
        for (SpooledSheetEntry& e : state->entries) {
            if (SheetDone(done, e.sheet)) continue;
            done.push_back(e.sheet);
            CalcTextListBounds(e.sheet->window, e.sheet->textFrameList, e.sheet->textList, e.sheet->stringBlock);
            if (e.sheet->window) {
                Rect all{};
                VXGetClientRect(e.sheet->window, &all);
                VXInvalRect(e.sheet->window, &all);
            }
        }
        return 0;
    default: {
        auto* origin = static_cast<_LPNT*>(data);
        state->current = -1;
        for (size_t i = 0; i < state->entries.size(); ++i) {
            const SpooledSheetEntry& e = state->entries[i];
            if (message < e.firstPage || message >= e.firstPage + e.pageCount) continue;
            state->current = int32_t(i);
            VXPrintingMetrics metrics{};
            VXGetPrintingMetrics(record, &metrics);
            const LRect pageRect{0, 0, metrics.pageHeight, metrics.pageWidth};
            *origin = SheetPageOrigin(message - e.firstPage + 1, e.rows, pageRect);
            break;
        }
        return 0;
    }
    }
}

bool Spooled(const PrintSpoolState* state, const SheetSpec* spec) {
    return std::find(state->spooled.begin(), state->spooled.end(), spec) != state->spooled.end();
}

// Every tree node of the sheet being visited that the choice takes becomes an entry; printing
// each sheet once, only the first of them, in tree order.
OSStatus ColectSpooledInstances(PrintSpoolState* state) {
    ProjectRecord* project = state->project;
    if (!project->hierarchy) return 0;
    const bool once = (project->pageSetupWord & kPageSetupPrintSheetsOnce) != 0;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        if (n->sheetSpec != state->spec) continue;
        if (once && Spooled(state, state->spec)) break;
        if (state->choice == kPrintSelectedSheets && !n->selected) continue;
        if (state->choice == kPrintTopLevelSheets && n->parent) continue;
        SheetInstance* instance = RetrieveSheetInstance(project, n, false);
        if (!instance) continue;
        state->entries.push_back(SpooledSheetEntry{instance, state->sheet, Rect{}, 0, 0, 0});
        state->spooled.push_back(state->spec);
    }
    return 0;
}

// The spool state of the walk under way (its final call brings the walk's status, not the state).
PrintSpoolState* gSpool = nullptr;

OSStatus SpoolProjectSheets(ProjectRecord* project, SheetNode*, bool, SheetSpec* spec, SheetRecord* sheet,
                            void*) {
    PrintSpoolState* state = gSpool;
    if (!state) return status::kParamErr;
    if (spec && sheet) {
        state->spec = spec;
        state->sheet = sheet;
        return ColectSpooledInstances(state);
    }
    if (state->entries.empty()) return 0;
    // The job is titled with the project file's name less its extension.
    char title[kFileSpecNameCapacity] = "";
    if (project) {
        GetFileSpecName(&project->file.spec, title, sizeof title);
        RemoveExtension(kProjectExtension, title);
    }
    state->printStatus = VXRunPrintOperation(state->record, title, state->options, PrintSpoolOperationHandler, state);
    return state->printStatus;
}

// The walk enters a sheet only when one of its nodes is a selected row.
bool FilterSelectedInstances(ProjectRecord* project, SheetSpec* spec, void*) {
    if (!project->hierarchy) return false;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n))
        if (n->sheetSpec == spec && n->selected) return true;
    return false;
}

bool AnyNodeSelected(ProjectRecord* project) {
    if (!project->hierarchy) return false;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n))
        if (n->selected) return true;
    return false;
}

struct AskState {
    bool anySelected;
    bool once;
    int16_t choice;
};

int32_t AskPrintHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* state = static_cast<AskState*>(window->refCon);
    if (!state) return 0;
    if (event->kind == kVXCreateEvent) {
        if (!state->anySelected) {
            VXSetItemEnabled(window, kPrintSelectedSheets, false);
            VXSelectRadioButton(window, kPrintAllSheets);
        } else {
            VXSelectRadioButton(window, kPrintSelectedSheets);
        }
        VXSetItemChecked(window, kAskOnceItem, state->once ? 1 : 0);
    } else if (event->kind == kVXEndModalEvent) {
        state->choice = event->u.endModal.item == 1 ? VXGetSelectedRadioButton(window, kAskFirstRadio) : 0;
        if (state->choice) state->once = VXGetItemChecked(window, kAskOnceItem) != 0;
    }
    return 0;
}

// The project's print each sheet once setting, kept with its page setup: a change is written
// into the project file at once (a failure is reported; the job prints all the same).
void StorePrintSheetsOnce(ProjectRecord* project, bool once) {
    const uint16_t word = once ? uint16_t(project->pageSetupWord | kPageSetupPrintSheetsOnce)
                               : uint16_t(project->pageSetupWord & ~kPageSetupPrintSheetsOnce);
    if (word == project->pageSetupWord) return;
    project->pageSetupWord = word;
    // The word is stored beside the print record, so the project gets its record now.
    if (!project->printRecord &&
        CreateDefaultPrintRef(kProjectPrintResolution, &project->printRecord, kDefaultMarginInches) != 0) {
        VXErrorReport(status::kOutOfMemory);
        return;
    }
    if (const OSStatus st = WriteProjectSettings(project, true)) VXErrorReport(st);
}

}  // namespace

OSStatus CreateDefaultPrintRef(uint32_t resolution, VXPrintRec** record, double inches) {
    const OSStatus st = VXCreatePrintRecordEx(record, resolution);
    if (st) return st;
    const int32_t margin = int32_t(std::lround(inches * 72));
    VXSet72DpiPrintMargins(*record, margin, margin, margin, margin);
    UpdateActualMargins(*record);
    VXUpdatePrintScale(*record);
    return 0;
}

LRect CalcViewSizeForSheet(VXPrintRec* record, SheetRecord* sheet, bool fit, Point pageSize, Rect* bounds) {
    Rect area = SheetContentBounds(sheet);
    VXInsetRect(&area, -3, -3);
    if (!VXSectRect(&area, &sheet->sheetBounds, &area)) area = Rect{};
    if (!fit) {
        area.top = 0;
        area.left = 0;
    } else if (record) {
        // Shrunk to fit: the layout resolution grows as the print scale falls.
        const double factor = CalcScaleFactorToFit(pageSize, area, false);
        if (factor > 0 && factor < 1.0)
            VXSetApplicationPrintDPI(record, uint32_t(std::lround(record->resolution / factor)));
    }
    *bounds = area;
    return ToLong(area);
}

uint16_t CalcPaginationForSheet(const Rect& bounds, bool fit, const LRect& pageRect, int16_t* rows) {
    if (fit) {
        *rows = 0;
        return 1;
    }
    const int32_t height = pageRect.bottom - pageRect.top, width = pageRect.right - pageRect.left;
    // A print record that gives no page prints nothing rather than dividing by nothing.
    if (height <= 0 || width <= 0) {
        *rows = 0;
        return 0;
    }
    const int32_t r = bounds.bottom / height - bounds.top / height + 1;
    const int32_t c = bounds.right / width - bounds.left / width + 1;
    *rows = int16_t(r);
    return uint16_t(std::min<int32_t>(r * c, 0xFFFF));
}

_LPNT SheetPageOrigin(int32_t page, int16_t rows, const LRect& pageRect) {
    const int32_t height = pageRect.bottom - pageRect.top, width = pageRect.right - pageRect.left;
    const int32_t i = page - 1, r = rows > 0 ? rows : 1;
    return _LPNT{(i % r) * height, (i / r) * width};
}

void PrintOnePage(VXWindowRecordTag* window, SheetRecord* sheet, const LRect& page) {
    PushGenFlags();
    gGenFlags |= kGenPrinting;
    if (!sheet->stored.printInColour) gGenFlags &= ~kGenColorDrawing;
    VXGrafState* graf = &window->graf;
    VXSectClipRect(graf, &sheet->sheetBounds, true);
    Rect area{};
    Rect32To16(&page, &area);
    DrawSheetContent(sheet, window, &area);
    VXPopClip(graf);
    PopGenFlags();
}

OSStatus PrintSheet(SheetRecord* sheet, uint32_t options) {
    if (!sheet) return status::kParamErr;
    OSStatus st = VXOpenPrinter();
    if (st == 0) {
        VXPrintRec* record = SheetPrintRecord(sheet);
        if (!record) {
            st = status::kOutOfMemory;
        } else {
            (void)VXValidatePrintRecord(record);  // a record without settings fails the run below
            SheetJob job{sheet, FitsOnePage(sheet), Rect{}, 0};
            const uint32_t resolution = record->resolution;
            // The sheet's print scale in percent: its layout resolution grows as it shrinks.
            if (!job.fit && sheet->stored.printScale > 0 && sheet->stored.printScale != 100)
                VXSetApplicationPrintDPI(record, uint32_t(std::lround(record->resolution * 100.0 / sheet->stored.printScale)));
            ChooseSheetOrientation(record, sheet, job.fit);
            // A sheet no larger than the paper prints on one page, a little smaller when the
            // margins ask for it, the page turned the way it prints larger.
            if (!job.fit && PageFit(record, sheet, false) < -1 && SheetFitsPaper(record, sheet)) {
                job.fit = true;
                ChooseSheetOrientation(record, sheet, true);
            }
            // The job is titled with the sheet file's name less its extension.
            char title[kFileSpecNameCapacity];
            GetFileSpecName(&sheet->fileSpec, title, sizeof title);
            RemoveExtension(kSheetFileExtension, title);
            st = VXRunPrintOperation(record, title, options, PrintSheetOperationHandler, &job);
            // The print scale held for this job: the record keeps the sheet's own resolution.
            VXSetApplicationPrintDPI(record, resolution);
        }
        (void)VXClosePrinter();  // the print status is the one reported
    }
    ReportUnlessCancelled(st);
    return st;
}

int16_t AskPrintProjectSheets(ProjectRecord* project) {
    AskState state{AnyNodeSelected(project), (project->pageSetupWord & kPageSetupPrintSheetsOnce) != 0, 0};
    VXModalDialog(kAskPrintTemplate, kVXPlaceCentre, AskPrintHandler, &state);
    if (state.choice) StorePrintSheetsOnce(project, state.once);
    return state.choice;
}

OSStatus PrintProjectSheets(ProjectRecord* project, int16_t choice, uint32_t options) {
    if (!project) return status::kParamErr;
    if (GetProjectServices().markTreeInstances) GetProjectServices().markTreeInstances(project);
    if (choice == 0) choice = AskPrintProjectSheets(project);
    if (choice == 0) return 0;
    if (choice == kPrintSelectedSheets && !AnyNodeSelected(project)) choice = kPrintAllSheets;
    SortProjectSheetSpecsByTree(project);
    OSStatus st = VXOpenPrinter();
    if (st == 0) {
        if (!project->printRecord)
            st = CreateDefaultPrintRef(kProjectPrintResolution, &project->printRecord, kDefaultMarginInches);
        if (st == 0) {
            (void)VXValidatePrintRecord(project->printRecord);  // a record without settings fails the run
            VXStaticMessage(0, kSpoolingMessage);
            PrintSpoolState state{};
            state.record = project->printRecord;
            state.project = project;
            state.choice = choice;
            state.options = options;
            gSpool = &state;
            st = ProcessHierarchySheets(project, nullptr, choice == kPrintTopLevelSheets ? kWalkTopLevel : kWalkAll,
                                        SpoolProjectSheets, choice == kPrintSelectedSheets ? FilterSelectedInstances : nullptr,
                                        &state);
            gSpool = nullptr;
            if (st == 0) st = state.printStatus;
            VXStaticMessage(0, nullptr);
        }
        (void)VXClosePrinter();  // the print status is the one reported
    }
    ReportUnlessCancelled(st);
    return st;
}

void DoProjectPageSetup(ProjectRecord* project) {
    if (!project) return;
    if (!project->printRecord &&
        CreateDefaultPrintRef(kProjectPrintResolution, &project->printRecord, kDefaultMarginInches) != 0) {
        VXErrorReport(status::kOutOfMemory);
        return;
    }
    (void)VXValidatePrintRecord(project->printRecord);  // the panel works on the settings either way
    if (!VXRunPageSetupDialog(project->printRecord)) return;
    if (const OSStatus st = WriteProjectSettings(project, true)) VXErrorReport(st);
}

}  // namespace plexa
