// Search and replace: the global search record, matching, the walk over sheets and instances,
// showing hits and changing the found item.
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/signalinfo.h"
#include "sheeteditor/search.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/fieldexpand.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/sheetstrings.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/waitcursor.h"
#include "model/wires.h"
#include "files/sheetsave.h"
#include "graphics/colors.h"
#include "graphics/grafprocs.h"
#include "graphics/grafprocs_ui.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/propertynames.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/floatingwire.h"
#include "sheeteditor/wiretracking.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

SearchLogHooks gLogHooks;

// The search dialog: one for the program, a window of the window list, with the window that was
// in front when it was activated (the dialog's front sheet is that window's sheet) and its tab.
struct SearchDialogState {
    VXWindowRecordTag* dialog = nullptr;
    int32_t frontWindowID = 0;
    int16_t shownTab = 0;
};
SearchDialogState gDialog;

void Report(SearchRecord* lv, const ChangeDataLogEntry& entry) {
    lv->log.push_back(entry);
    if (gLogHooks.append && (lv->reportProject || lv->reportSheet)) gLogHooks.append(lv->reportProject, lv->reportSheet, entry);
}

constexpr int32_t kReplacementBytes = 254;

std::string Upper(const char* text) {
    std::string out(text ? text : "");
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

template <typename T>
bool InList(LinkListHeader* list, const T* item) {
    if (!item) return false;
    for (void* p = LLFirst(list); p; p = LLGetNext(list, p))
        if (p == item) return true;
    return false;
}

bool SignalInList(LinkListHeader* list, SignalHandle signal) {
    if (!signal) return false;
    for (auto s = static_cast<SignalHandle>(LLFirst(list)); s; s = static_cast<SignalHandle>(LLGetNext(list, s)))
        if (s == signal) return true;
    return false;
}

bool IsProjectOpen(ProjectRecord* project) {
    for (ProjectRecord* p = gProjectList; p; p = p->next)
        if (p == project) return true;
    return false;
}

// The front window other than the search dialog.
VXWindowRecordTag* WindowBehindDialog() {
    for (VXWindowRecordTag* window : VXTopLevelWindows())
        if (window != gDialog.dialog && VXIsWindowVisible(window, false)) return window;
    return nullptr;
}

// The sheet of the front window; while the search dialog is in front, the sheet of the window
// that was in front when it was activated.
SheetRecord* FrontSheet() {
    VXWindowRecordTag* window = FrontSheetWindow();
    if (!window && gDialog.dialog) {
        const std::vector<VXWindowRecordTag*> windows = VXTopLevelWindows();
        if (IsSearchWindowActive() || (!windows.empty() && windows.front() == gDialog.dialog)) {
            VXWindowRecordTag* before = VXGetWindowFromId(gDialog.frontWindowID);
            if (before && before->typeID == kSheetWindowKind && VXIsWindowVisible(before, false)) window = before;
        }
    }
    return window ? SheetOfWindow(window) : nullptr;
}

// The dialog comes to the front: the window it covers is the one its front-sheet scope means.
void RememberFrontWindow() {
    VXWindowRecordTag* window = WindowBehindDialog();
    gDialog.frontWindowID = window ? window->windowID : 0;
}

std::string SheetName(SheetRecord* sheet) {
    if (!sheet) return "Untitled";
    char name[kFileSpecNameCapacity] = {};
    GetFileSpecName(&sheet->fileSpec, name, sizeof name);
    return name[0] ? name : "Untitled";
}

// The designator shown in the search's instance (the sheet's own outside a project).
std::string SearchDesignator(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol) {
    char text[kSymbolTextSize] = {};
    const StringBlock block = sheet->stringBlock;
    if (symbol->component || (symbol->flags & kSymbolFlagSheet)) {
        int32_t slot = -1;
        if (lv && lv->project && lv->instance && lv->sheet == sheet)
            slot = GetInstanceAnnotation(lv->project, lv->instance, symbol->serial, text);
        else
            slot = GetSymbolAnnotation(sheet, symbol->serial, text);
        if (!text[0]) {
            if (symbol->component) GetDefaultCompRefDes(symbol->component, symbol->kind.comp.symbol, block, false, text);
            return text;
        }
        if (symbol->component && symbol->component->sectionCount >= 2 && slot >= 0)
            AppendRefDesSuffix(symbol->component, slot, block, text);
        return text;
    }
    if (!(symbol->flags & kSymbolFlagPort)) GetSymbolRefName(symbol, block, text);
    return text;
}

int32_t SymbolSlot(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol) {
    char text[kSymbolTextSize] = {};
    if (lv && lv->project && lv->instance && lv->sheet == sheet)
        return GetInstanceAnnotation(lv->project, lv->instance, symbol->serial, text);
    return GetSymbolAnnotation(sheet, symbol->serial, text);
}

bool RowEnabled(SearchRecord* lv, int32_t row) {
    const SearchCriteria& c = lv->criteria;
    return c.findEnabled[row] && !c.find[row].empty();
}

void ShowMessage(SearchRecord* lv, const std::string& text) {
    lv->lastMessage = text;
    VXDisplayMessage(text.c_str());
}

}  // namespace

// ---- The record ----

void SetSearchLogHooks(const SearchLogHooks& hooks) { gLogHooks = hooks; }
const SearchLogHooks& GetSearchLogHooks() { return gLogHooks; }

// The search that a command or the dialog acts on: the chosen project's while the scope chosen is
// a project, else the front sheet window's (the record without a project serves while none is in
// front).
SearchRecord* CurrentSearch() {
    SearchRecord* projectSearch = ProjectSearch();
    if (projectSearch->scope == kScopeProject && projectSearch->project) return projectSearch;
    SheetRecord* sheet = FrontSheet();
    return sheet ? &SheetEditStateOf(sheet)->search : projectSearch;
}

// ---- Matching ----

bool StringSatisfies(SearchRecord* lv, const char* text, int32_t row, int32_t* start, int32_t* length) {
    const std::string value = Upper(text);
    const std::string find = Upper(lv->criteria.find[row].c_str());
    const size_t at = value.find(find);
    const bool occurs = at != std::string::npos;
    const bool is = occurs && at == 0 && value.size() == find.size();
    *start = occurs ? int32_t(at) : 0;
    *length = int32_t(find.size());
    switch (lv->criteria.match[row]) {
        case kMatchIs: return is;
        case kMatchContains: return occurs;
        case kMatchBegins: return occurs && at == 0;
        case kMatchEnds: {
            // A true suffix test: the last occurrence may be the one at the end.
            const bool ends = value.size() >= find.size() &&
                              value.compare(value.size() - find.size(), find.size(), find) == 0;
            if (ends) *start = int32_t(value.size() - find.size());
            return ends;
        }
        case kMatchIsNot: *length = int32_t(value.size()); *start = 0; return !is;
        case kMatchNotContains: *length = int32_t(value.size()); *start = 0; return !occurs;
        default: return false;
    }
}

std::string GetSymbolSearchProperty(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol, int32_t row) {
    char text[kSymbolTextSize] = {};
    const StringBlock block = sheet->stringBlock;
    switch (row) {
        case kRowDesignator: return SearchDesignator(lv, sheet, symbol);
        case kRowPartName:
            if (symbol->flags & kSymbolFlagSheet) return {};
            GetSymbolName(symbol, block, text);
            return text;
        case kRowSlot: {
            ComponentRecord* component = symbol->component;
            if (!component || component->sectionCount < 2) return {};
            const int32_t slot = SymbolSlot(lv, sheet, symbol);
            if (slot < 0) return {};
            if (ComponentSection* section = GetCompSection(component, slot)) GetCompSectionSuffix(section, block, text);
            return text;
        }
        case kRowPackage:
            if (!symbol->component) return {};
            GetCompPackageName(symbol->component, block, symbol->kind.comp.package, text);
            return text;
        default: {
            if (symbol->flags & (kSymbolFlagModulePort | kSymbolFlagSheet)) return {};
            const std::string& name = lv->criteria.attributeName[row - kRowAttr0];
            if (name.empty()) return {};
            const int16_t index = GetSymbolAttribute(symbol, block, name.c_str(), text);
            return index & 0x8000 ? std::string() : std::string(text);
        }
    }
}

bool IsSymbolPropertyMatch(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol, int32_t row, std::string* text,
                           int32_t* start, int32_t* length) {
    *text = GetSymbolSearchProperty(lv, sheet, symbol, row);
    *start = *length = 0;
    if (text->empty()) return false;
    return StringSatisfies(lv, text->c_str(), row, start, length);
}

bool IsSignalPropertyMatch(SearchRecord* lv, SheetRecord* sheet, SignalHandle signal, int32_t row, std::string* text,
                           int32_t* start, int32_t* length) {
    char value[kSignalNameSize > kSymbolTextSize ? kSignalNameSize : kSymbolTextSize] = {};
    if (row == 0) {
        GetSignalName(signal, sheet->stringBlock, value);
    } else {
        const std::string& name = lv->criteria.attributeName[row - 1];
        if (!name.empty() && (GetSignalAttribute(signal, sheet->stringBlock, name.c_str(), value) & 0x8000)) value[0] = 0;
    }
    *text = value;
    *start = *length = 0;
    if (text->empty()) return false;
    return StringSatisfies(lv, value, row, start, length);
}

// ---- The walk over sheets ----

bool GetNextSearchSheet(SearchRecord* lv, ProjectRecord* project, bool first) {
    if (!IsProjectOpen(project)) {
        lv->scope = kScopeFrontSheet;
        lv->project = nullptr;
        return false;
    }
    SheetSpec* spec = nullptr;
    SheetNode* node = nullptr;
    if (!first && lv->stepInstances && lv->node && project->hierarchy) {
        // The next instance of the same sheet in tree order.
        for (SheetNode* n = NextSheetNode(project->hierarchy, lv->node); n; n = NextSheetNode(project->hierarchy, n))
            if (n->sheetSpec == lv->node->sheetSpec) {
                spec = n->sheetSpec;
                node = n;
                break;
            }
    }
    if (!spec && project->hierarchy) {
        // The sheets in the order the tree first shows them, each at its first node.
        SheetSpec* after = first ? nullptr : (lv->node ? lv->node->sheetSpec : nullptr);
        if (!first && !after) return false;
        bool passed = first;
        std::vector<SheetSpec*> seen;
        for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
            SheetSpec* s = n->sheetSpec;
            if (!s || std::find(seen.begin(), seen.end(), s) != seen.end()) continue;
            seen.push_back(s);
            if (!passed) {
                passed = s == after;
                continue;
            }
            FileSpec file{};
            bool cancelled = false;
            if (!ResolveSheetSpecFile(project, s, &file, &cancelled)) continue;
            spec = s;
            node = n;
            break;
        }
    }
    SearchReleaseLoadedSheet(lv);
    if (!spec) return false;
    SheetRecord* sheet = StoreGetLoadedSheet(project, spec);
    const bool wasOpen = sheet != nullptr;
    if (!sheet) {
        if (const OSStatus st = StoreLoadSheet(project, spec, &sheet)) {
            VXErrorReport(st);
            return false;
        }
        lv->loadedSheet = sheet;
    }
    SheetInstance* instance = RetrieveSheetInstance(project, node, true);
    if (!wasOpen || sheet->project != project) VXErrorReport(SetSheetContext(sheet, project, instance, false));
    lv->sheet = sheet;
    lv->node = node;
    lv->instance = instance;
    return true;
}

bool GetNextSheet(SearchRecord* lv) {
    const bool first = lv->sheet == nullptr;
    SearchClearPosition(lv);
    if (lv->scope == kScopeProject && lv->project) {
        if (GetNextSearchSheet(lv, lv->project, first)) return true;
        SearchReleaseLoadedSheet(lv);
        lv->sheet = nullptr;
        lv->node = nullptr;
        lv->instance = nullptr;
        return false;
    }
    if (!first) {
        lv->sheet = nullptr;
        return false;
    }
    SheetRecord* sheet = FrontSheet();
    if (!sheet) return false;
    lv->sheet = sheet;
    lv->instance = sheet->hierarchyContext;
    lv->node = nullptr;
    return true;
}

// The current sheet, moving on to the next one when the position is used up.
static bool StartSheetIfNeeded(SearchRecord* lv) {
    if (lv->sheet && lv->sheetStarted) return true;
    if (!lv->sheet && !GetNextSheet(lv)) return false;
    lv->sheetStarted = true;
    return true;
}

namespace {

// The item to go on with in a list: the remembered one while it is still a member, the first
// one when the walk starts, else none (the list is done).
template <typename T>
T* NextOfList(SearchRecord* lv, LinkListHeader* list, T* remembered) {
    if (!lv->listStarted) {
        lv->listStarted = true;
        return static_cast<T*>(LLFirst(list));
    }
    return remembered && InList(list, remembered) ? remembered : nullptr;
}

template <typename Row>
bool EveryEnabledRowMatches(SearchRecord* lv, int32_t rows, Row matches) {
    bool any = false;
    for (int32_t row = 0; row < rows; ++row) {
        if (!RowEnabled(lv, row)) continue;
        if (!matches(row)) return false;
        any = true;
    }
    return any;
}

}  // namespace

SymbolRecord* SymbolListSearch(SearchRecord* lv) {
    for (;;) {
        if (!StartSheetIfNeeded(lv)) return nullptr;
        SheetRecord* sheet = lv->sheet;
        for (SymbolRecord* symbol = NextOfList(lv, sheet->symbolList, lv->nextSymbol); symbol; symbol = symbol->next) {
            ModelWaitCursor();
            lv->nextSymbol = symbol->next;
            const bool hit = EveryEnabledRowMatches(lv, kSearchRows, [&](int32_t row) {
                std::string text;
                int32_t start = 0, length = 0;
                return IsSymbolPropertyMatch(lv, sheet, symbol, row, &text, &start, &length);
            });
            if (hit) return symbol;
        }
        lv->nextSymbol = nullptr;
        if (!GetNextSheet(lv)) return nullptr;
    }
}

SignalHandle SignalListSearch(SearchRecord* lv, WireHandle* wire) {
    *wire = nullptr;
    for (;;) {
        if (!StartSheetIfNeeded(lv)) return nullptr;
        SheetRecord* sheet = lv->sheet;
        ClearSignalHilite(sheet, nullptr);
        for (SignalHandle handle = NextOfList<SignalRecord*>(lv, sheet->signalList, lv->signal); handle;
             handle = static_cast<SignalHandle>(LLGetNext(sheet->signalList, handle))) {
            ModelWaitCursor();
            if (lv->criteria.unterminatedWires) {
                WireList wires = (*handle)->wires;
                WireHandle w = lv->signal == handle && lv->nextWire && InList(wires, lv->nextWire)
                                   ? lv->nextWire
                                   : static_cast<WireHandle>(LLFirst(wires));
                lv->signal = handle;
                for (; w; w = static_cast<WireHandle>(LLGetNext(wires, w))) {
                    if ((*w)->cornerCount == 0 || (!IsWireEndFree((*w)->end0) && !IsWireEndFree((*w)->end1))) continue;
                    lv->nextWire = static_cast<WireHandle>(LLGetNext(wires, w));
                    *wire = w;
                    return handle;
                }
                lv->nextWire = nullptr;
                continue;
            }
            lv->signal = handle;
            lv->nextWire = nullptr;
            auto next = static_cast<SignalHandle>(LLGetNext(sheet->signalList, handle));
            const bool hit = EveryEnabledRowMatches(lv, 4, [&](int32_t row) {
                std::string text;
                int32_t start = 0, length = 0;
                return IsSignalPropertyMatch(lv, sheet, handle, row, &text, &start, &length);
            });
            lv->signal = next;
            if (hit) return handle;
        }
        lv->signal = nullptr;
        if (!GetNextSheet(lv)) return nullptr;
    }
}

namespace {

// The text class of a text element, -1 for texts the search skips.
int32_t TextClass(const TextRecord* text) {
    if (text->flags & 0x08) return -1;
    const uint16_t kind = text->kind;
    if (kind & 0x4000) return 4;
    if (kind & 0x8000) return 5;
    switch (kind & 0x3FFF) {
        case 0: case 19: case 20: return 0;
        case 18: return 1;
        case 17: case 23: return 2;
        case 22: return 3;
        case 1: return (text->flags & 0x8000) ? -1 : 6;
        case 21: return 6;
        case 2: return 7;
        default: return -1;
    }
}

std::string FrameText(TextFrameHandle frame) {
    uint32_t length = 0;
    const char16_t* units = GetTextFrameUnicodeText(frame, true, &length);
    std::string out;
    for (uint32_t i = 0; units && i < length; ++i) {
        const char32_t c = units[i];
        if (c < 0x80) out += char(c);
        else if (c < 0x800) { out += char(0xC0 | (c >> 6)); out += char(0x80 | (c & 0x3F)); }
        else { out += char(0xE0 | (c >> 12)); out += char(0x80 | ((c >> 6) & 0x3F)); out += char(0x80 | (c & 0x3F)); }
    }
    return out;
}

}  // namespace

bool TextListSearch(SearchRecord* lv, TextRecord** outText, TextFrameHandle* outFrame) {
    *outText = nullptr;
    *outFrame = nullptr;
    for (;;) {
        if (!StartSheetIfNeeded(lv)) return false;
        SheetRecord* sheet = lv->sheet;
        const SearchCriteria& c = lv->criteria;
        if (!lv->textsDone) {
            for (TextRecord* text = NextOfList(lv, sheet->textList, lv->nextText); text; text = text->link) {
                ModelWaitCursor();
                lv->nextText = text->link;
                const int32_t cls = TextClass(text);
                if (cls < 0 || !c.classEnabled[cls]) continue;
                char value[1024] = {};
                GetTextRecordString(text, sheet->stringBlock, value, sizeof value);
                int32_t start = 0, length = 0;
                if (value[0] && StringSatisfies(lv, value, 0, &start, &length)) {
                    *outText = text;
                    return true;
                }
            }
            lv->textsDone = true;
            lv->listStarted = false;
        }
        if (c.classEnabled[0]) {
            for (auto frame = static_cast<TextFrameHandle>(NextOfList<TextFrameRecord*>(lv, sheet->textFrameList, lv->nextFrame));
                 frame; frame = static_cast<TextFrameHandle>(LLGetNext(sheet->textFrameList, frame))) {
                lv->nextFrame = static_cast<TextFrameHandle>(LLGetNext(sheet->textFrameList, frame));
                const std::string value = FrameText(frame);
                int32_t start = 0, length = 0;
                if (!value.empty() && StringSatisfies(lv, value.c_str(), 0, &start, &length)) {
                    *outFrame = frame;
                    return true;
                }
            }
        }
        if (!GetNextSheet(lv)) return false;
    }
}

// ---- Showing hits ----

namespace {

VXWindowRecordTag* BringSheetForward(SearchRecord* lv, SheetRecord* sheet) {
    if (lv->loadedSheet == sheet) lv->loadedSheet = nullptr;  // a window keeps it now
    VXWindowRecordTag* window = sheet->window ? sheet->window : CreteWindowForSheet(sheet, nullptr);
    if (!window) return nullptr;
    VXShowWindow(window);
    if (!gDialog.dialog || !VXIsWindowVisible(gDialog.dialog, false)) VXSelectWindow(window);
    if (sheet->selectedTool != kSelectTool) SetDrawingTool(sheet, kSelectTool);
    return window;
}

void Redraw(SheetRecord* sheet, Rect rect, int16_t grow) {
    if (!sheet->window) return;
    VXInsetRect(&rect, -grow, -grow);
    InvalSheetWindowArea(sheet, &rect);
}

}  // namespace

void RevealSheetRect(SheetRecord* sheet, const Rect& rect, bool zoom) {
    VXWindowRecordTag* window = sheet->window;
    if (!window) return;
    Rect view{};
    VXGetViewRect(window, &view);
    const int16_t h = int16_t((rect.left + rect.right) / 2), v = int16_t((rect.top + rect.bottom) / 2);
    const bool inView = zoom ? (rect.left >= view.left && rect.right <= view.right && rect.top >= view.top &&
                                rect.bottom <= view.bottom)
                             : (h - 1 >= view.left && h + 1 <= view.right && v - 1 >= view.top && v + 1 <= view.bottom);
    if (!inView) {
        const int32_t width = view.right - view.left, height = view.bottom - view.top;
        VXScrollTo(window, std::max(0, h - width / 2), std::max(0, v - height / 2));
        RedrawSheetWindow(sheet);
    } else {
        Redraw(sheet, rect, 2);
    }
}

void ShowFoundSymbol(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol) {
    if (lv->project && lv->instance && sheet->hierarchyContext != lv->instance)
        VXErrorReport(SetSheetContext(sheet, lv->project, lv->instance, false));
    if (!BringSheetForward(lv, sheet)) return;
    ClearDrawingSelection(sheet);
    symbol->flags |= kSymbolFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kSymbol, symbol);
    Rect bounds{};
    CalcSheetSelection(sheet, &bounds);
    BuildDrawingSelectRgn(sheet);
    GetSymbolInstanceBounds(sheet, symbol, 1, &bounds);
    RevealSheetRect(sheet, bounds, false);
    RedrawSheetWindow(sheet);
}

void ShowFoundSignal(SearchRecord* lv, SheetRecord* sheet, SignalHandle signal, WireHandle wire) {
    if (!BringSheetForward(lv, sheet)) return;
    ClearDrawingSelection(sheet);
    SetupFlashingSignal(sheet, signal, nullptr);
    Rect bounds = (*signal)->bounds;
    if (wire) {
        // The free end flashes alone, ready to be connected.
        sheet->flashingWire = wire;
        sheet->flashingWireEnd = int16_t(GetFloatingWireEnd(wire, 0, &bounds));
    }
    VXInsetRect(&bounds, -4, -4);
    RevealSheetRect(sheet, bounds, true);
}

void ShowFoundText(SearchRecord* lv, SheetRecord* sheet, TextRecord* text) {
    if (!BringSheetForward(lv, sheet)) return;
    ClearDrawingSelection(sheet);
    text->flags |= kTextFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kText, text);
    Rect bounds{};
    CalcSheetSelection(sheet, &bounds);
    BuildDrawingSelectRgn(sheet);
    RevealSheetRect(sheet, text->bounds, false);
    RedrawSheetWindow(sheet);
}

void ShowFoundFrame(SearchRecord* lv, SheetRecord* sheet, TextFrameHandle frame) {
    if (!BringSheetForward(lv, sheet)) return;
    ClearDrawingSelection(sheet);
    (*frame)->flags |= kFrameFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kTextFrame, frame);
    Rect bounds{};
    CalcSheetSelection(sheet, &bounds);
    SetupTextFrameResize(sheet, frame);
    BuildDrawingSelectRgn(sheet);
    RevealSheetRect(sheet, (*frame)->bounds, false);
    RedrawSheetWindow(sheet);
}

bool SearchForItem(SearchRecord* lv) {
    lv->stepInstances = lv->criteria.kind == kSearchSignals ? 0 : lv->instancesOption;
    lv->found = 0;
    lv->foundSymbol = nullptr;
    lv->foundFrame = nullptr;
    lv->foundText = nullptr;
    switch (lv->criteria.kind) {
        case kSearchSymbols:
            if (SymbolRecord* symbol = SymbolListSearch(lv)) {
                lv->foundSymbol = symbol;
                ShowFoundSymbol(lv, lv->sheet, symbol);
                lv->found = 1;
            }
            break;
        case kSearchSignals: {
            WireHandle wire = nullptr;
            if (SignalHandle signal = SignalListSearch(lv, &wire)) {
                ShowFoundSignal(lv, lv->sheet, signal, wire);
                lv->found = 1;
            }
            break;
        }
        default: {
            TextRecord* text = nullptr;
            TextFrameHandle frame = nullptr;
            if (TextListSearch(lv, &text, &frame)) {
                if (frame) {
                    lv->foundFrame = frame;
                    ShowFoundFrame(lv, lv->sheet, frame);
                } else {
                    lv->foundText = text;
                    ShowFoundText(lv, lv->sheet, text);
                }
                lv->found = 1;
            }
            break;
        }
    }
    return lv->found != 0;
}

// ---- Changes ----

std::string BuildReplacementString(const std::string& text, int32_t start, int32_t length,
                                   const std::string& replacement) {
    std::string out = text.substr(0, size_t(std::clamp<int32_t>(start, 0, int32_t(text.size()))));
    out += replacement;
    const size_t tail = size_t(std::clamp<int32_t>(start + length, 0, int32_t(text.size())));
    out += text.substr(tail);
    if (out.size() > size_t(kReplacementBytes)) {
        out.resize(size_t(kReplacementBytes) + 1);
        TruncateUTF8ForByteSize(out.data(), kReplacementBytes + 1);
        out.resize(std::strlen(out.c_str()));
    }
    return out;
}

namespace {

// The replacement of a row for the current value.
std::string RowReplacement(SearchRecord* lv, int32_t row, const std::string& current, bool matched, int32_t start, int32_t length) {
    const SearchCriteria& c = lv->criteria;
    const uint16_t m = c.match[row];
    if (matched && RowEnabled(lv, row) && (m == kMatchContains || m == kMatchBegins || m == kMatchEnds))
        return BuildReplacementString(current, start, length, c.replace[row]);
    return c.replace[row];
}

std::string Trimmed(const std::string& text) {
    const size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

// Sets the designator (and slot) in the search's instance or the sheet.
int32_t SetDesignator(SheetRecord* sheet, SymbolRecord* symbol, const std::string& designator, int32_t slot,
                      Rect* rect) {
    return ChangeSymbolsAnnotation(sheet, symbol, designator.c_str(), slot, rect) ? 1 : 0;
}

}  // namespace

namespace {

void IdentifyChangedItem(SearchRecord* lv, ChangeDataLogEntry* entry, SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal,
                         TextFrameHandle frame);

// Whether a replacement text can be stored in the sheet's strings. When it cannot (the sheet's
// strings are full) the change is reported as one that cannot be made, like a slot or package
// that does not exist, and the item keeps its text.
bool ReplacementFits(SearchRecord* lv, SheetRecord* sheet, const std::string& text, SymbolRecord* symbol, SignalHandle signal,
                     TextFrameHandle frame) {
    if (ReserveSheetString(sheet, text.c_str()) == status::kNoErr) return true;
    if (symbol) {
        ChangeDataNotify(lv, sheet, symbol, status::kStringBlockFull, text.c_str());
        return false;
    }
    if (!lv->changeAll) {
        ShowMessage(lv, BuildChangeDataNotificationString(status::kStringBlockFull, text.c_str()));
        return false;
    }
    ChangeDataLogEntry entry;
    entry.code = status::kStringBlockFull;
    entry.kind = signal ? kSearchSignals : kSearchTexts;
    entry.sheet = sheet;
    entry.instance = lv->instance;
    entry.sheetName = SheetName(sheet);
    entry.newData = text;
    IdentifyChangedItem(lv, &entry, sheet, nullptr, signal, frame);
    Report(lv, entry);
    return false;
}

}  // namespace

int32_t ApplyChangeToSymbol(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol, Rect* rect) {
    const SearchCriteria& c = lv->criteria;
    const StringBlock block = sheet->stringBlock;
    int32_t flags = 0;
    for (int32_t row = 0; row < kSearchRows; ++row) {
        if (!c.replaceEnabled[row]) continue;
        std::string current;
        int32_t start = 0, length = 0;
        const bool matched = IsSymbolPropertyMatch(lv, sheet, symbol, row, &current, &start, &length);
        const std::string text = RowReplacement(lv, row, current, matched, start, length);
        if (text != current && !ReplacementFits(lv, sheet, text, symbol, nullptr, nullptr)) continue;
        ComponentRecord* component = symbol->component;
        switch (row) {
            case kRowDesignator: {
                int32_t slot = SymbolSlot(lv, sheet, symbol);
                if (component && slot < 0) slot = GetFirstCompSectionUsingSymbol(component, symbol->kind.comp.symbol, nullptr);
                flags |= SetDesignator(sheet, symbol, Trimmed(text), component ? std::max(slot, 0) : 0, rect);
                break;
            }
            case kRowSlot: {
                const int32_t section = component ? FindCompSectionWithSuffix(component, block, text.c_str()) : -1;
                if (section < 0 || !DoesCompSectionUseSymbol(component, section, symbol->kind.comp.symbol)) {
                    ChangeDataNotify(lv, sheet, symbol, kChangeSlotFailed, text.c_str());
                    break;
                }
                char designator[kSymbolTextSize] = {};
                if (lv->project && lv->instance && lv->sheet == sheet)
                    GetInstanceAnnotation(lv->project, lv->instance, symbol->serial, designator);
                else
                    GetSymbolAnnotation(sheet, symbol->serial, designator);
                flags |= SetDesignator(sheet, symbol, designator, section, rect);
                break;
            }
            case kRowPartName: {
                if (!component) {
                    char name[kSymbolTextSize] = {};
                    GetSymbolName(symbol, block, name);
                    if (text != name) {
                        SetSymbolName(symbol, block, text.c_str());
                        flags |= 1;
                    }
                    break;
                }
                const int32_t index = GetCompNameIndex(component, block, text.c_str());
                if (index < 0) {
                    ChangeDataNotify(lv, sheet, symbol, kChangeComponentNameFailed, text.c_str());
                    break;
                }
                if (index != symbol->kind.comp.nameIndex) {
                    symbol->kind.comp.nameIndex = uint16_t(index);
                    if (TextRecord* shown = RetrieveSymbolText(sheet, symbol, kTextKindSymbolName))
                        ChangeSheetText(sheet, shown, text.c_str(), rect);
                    flags |= 1;
                }
                break;
            }
            case kRowPackage: {
                const int32_t package = component ? FindCompPackageWithName(component, block, text.c_str()) : -1;
                if (package < 0) {
                    ChangeDataNotify(lv, sheet, symbol, kChangePackageFailed, text.c_str());
                    break;
                }
                if (package != symbol->kind.comp.package) {
                    symbol->kind.comp.package = uint8_t(package);
                    SetSymbolInstancePinText(sheet, symbol, std::max(SymbolSlot(lv, sheet, symbol), 0));
                    flags |= 1;
                }
                break;
            }
            default: {
                if (symbol->flags & 0x04) break;
                const std::string& name = c.attributeName[row - kRowAttr0];
                if (name.empty()) break;
                char value[kSymbolTextSize] = {};
                const int16_t index = GetSymbolAttribute(symbol, block, name.c_str(), value);
                if (!(index & 0x8000) && text == value) break;
                SetSymbolAttribute(symbol, block, name.c_str(), text.c_str(), nullptr);
                flags |= 1;
                break;
            }
        }
    }
    if (flags) {
        Rect area{};
        RebuildMacroizedText(sheet, nullptr, &area);
        if (rect) VXUnionRect(rect, &area, rect);
    }
    return flags;
}

int32_t ApplyChangeToSignal(SearchRecord* lv, SheetRecord* sheet, SignalHandle signal, Rect* rect) {
    const SearchCriteria& c = lv->criteria;
    int32_t flags = 0;
    if (c.replaceEnabled[0]) {
        std::string current;
        int32_t start = 0, length = 0;
        const bool matched = IsSignalPropertyMatch(lv, sheet, signal, 0, &current, &start, &length);
        const std::string name = RowReplacement(lv, 0, current, matched, start, length);
        if (name != current && ReplacementFits(lv, sheet, name, nullptr, signal, nullptr)) {
            flags |= Upper(name.c_str()) == Upper(current.c_str()) ? 8 : 1;
            const bool flashing = sheet->flashingSignal == signal;
            SignalHandle renamed =
                ModifySignalInfo(sheet, signal, nullptr, 0, nullptr, nullptr, name.c_str(), false, nullptr, rect);
            // A merge may have freed the signal: only a member of the list is kept.
            if (!SignalInList(sheet->signalList, renamed)) renamed = nullptr;
            if (lv->signal == signal && renamed != signal) lv->signal = renamed;
            if (flashing && renamed) sheet->flashingSignal = renamed;
            signal = renamed;
        }
    }
    for (int32_t row = 1; row < 4 && signal; ++row) {
        if (!c.replaceEnabled[row] || c.attributeName[row - 1].empty()) continue;
        std::string current;
        int32_t start = 0, length = 0;
        const bool matched = IsSignalPropertyMatch(lv, sheet, signal, row, &current, &start, &length);
        const std::string value = RowReplacement(lv, row, current, matched, start, length);
        if (value == current || !ReplacementFits(lv, sheet, value, nullptr, signal, nullptr)) continue;
        SetSignalAttribute(signal, sheet->stringBlock, c.attributeName[row - 1].c_str(), value.c_str());
        flags |= 1;
    }
    return flags;
}

int32_t ApplyChangeToText(SearchRecord* lv, SheetRecord* sheet, TextFrameHandle frame, Rect* rect) {
    if (!frame || !lv->criteria.replaceEnabled[0]) return 0;
    std::string current = FrameText(frame);
    int32_t start = 0, length = 0;
    const bool matched = !current.empty() && StringSatisfies(lv, current.c_str(), 0, &start, &length);
    const std::string text = RowReplacement(lv, 0, current, matched, start, length);
    if (text == current || !ReplacementFits(lv, sheet, text, nullptr, nullptr, frame)) return 0;
    if (rect) VXUnionRect(rect, &(*frame)->bounds, rect);
    if (!SetTextFrameText(frame, text.data(), int32_t(text.size()), kEncodingUTF8)) return 0;
    EvaluateTextFrameText(sheet, frame, nullptr);
    CalcTextFrameBounds(sheet->window, frame, true, -1);
    if (rect) VXUnionRect(rect, &(*frame)->bounds, rect);
    SetupTextFrameResize(sheet, frame);
    return 8;
}

namespace {

// The item to change: the selection of the front sheet window.
bool GetItemToChange(SearchRecord* lv, SheetRecord** sheet, SymbolRecord** symbol, SignalHandle* signal, TextFrameHandle* frame) {
    *symbol = nullptr;
    *signal = nullptr;
    *frame = nullptr;
    *sheet = FrontSheet();
    if (!*sheet) return false;
    SymbolRecord* one = nullptr;
    TextFrameHandle oneFrame = nullptr;
    int32_t symbols = 0, frames = 0;
    GetSheetSelection(*sheet, &one, &symbols, nullptr, nullptr, &oneFrame, &frames, nullptr, nullptr);
    switch (lv->criteria.kind) {
        case kSearchSymbols:
            if (symbols != 1 || frames != 0 || !one || (one->flags & 0x02)) return false;
            *symbol = one;
            return true;
        case kSearchSignals:
            *signal = (*sheet)->flashingSignal;
            return *signal != nullptr && SignalInList((*sheet)->signalList, *signal);
        default:
            if (frames != 1 || symbols != 0 || !oneFrame || (*oneFrame)->owner) return false;
            *frame = oneFrame;
            return true;
    }
}

}  // namespace

bool CanApplyChangeToSelection(SearchRecord* lv, uint16_t command) {
    if (!lv || !lv->criteria.changeArmed) return false;
    if (command == 404) return true;
    SheetRecord* sheet = nullptr;
    SymbolRecord* symbol = nullptr;
    SignalHandle signal = nullptr;
    TextFrameHandle frame = nullptr;
    return GetItemToChange(lv, &sheet, &symbol, &signal, &frame);
}

namespace {

using Properties = std::vector<std::pair<std::string, std::string>>;

// The properties of the item that the criteria's replacements change, each with its label and its
// value: a symbol's or signal's rows, a text frame's text.
Properties ReplacedProperties(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal, TextFrameHandle frame) {
    const SearchCriteria& c = lv->criteria;
    static const char* const kSymbolRows[] = {"designator", "part name", "slot", "package"};
    Properties out;
    if (symbol) {
        for (int32_t row = 0; row < kSearchRows; ++row)
            if (c.replaceEnabled[row])
                out.emplace_back(row < kRowAttr0 ? kSymbolRows[row] : c.attributeName[row - kRowAttr0],
                                 GetSymbolSearchProperty(lv, sheet, symbol, row));
    } else if (signal) {
        for (int32_t row = 0; row < 4; ++row) {
            if (!c.replaceEnabled[row] || (row > 0 && c.attributeName[row - 1].empty())) continue;
            std::string text;
            int32_t start = 0, length = 0;
            (void)IsSignalPropertyMatch(lv, sheet, signal, row, &text, &start, &length);  // the value is what counts
            out.emplace_back(row == 0 ? "name" : c.attributeName[row - 1], text);
        }
    } else if (frame && c.replaceEnabled[0]) {
        out.emplace_back("text", FrameText(frame));
    }
    return out;
}

// Change All's row for an item it changed: what changed, with the new values.
void ChangeMadeNotify(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal, TextFrameHandle frame,
                      const Properties& before) {
    ChangeDataLogEntry entry;
    entry.row = ChangeLogRow::kChanged;
    entry.kind = lv->criteria.kind;
    entry.sheet = sheet;
    entry.instance = lv->instance;
    entry.sheetName = SheetName(sheet);
    const Properties after = ReplacedProperties(lv, sheet, symbol, signal, frame);
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (after[i].second == before[i].second) continue;
        entry.newData += (entry.newData.empty() ? "" : ", ") + after[i].first + " \"" + after[i].second + "\"";
    }
    IdentifyChangedItem(lv, &entry, sheet, symbol, signal, frame);
    Report(lv, entry);
}

// The row's item: the symbol's designator (its name while the designator holds "?"), the
// signal's name or the text frame's place.
void IdentifyChangedItem(SearchRecord* lv, ChangeDataLogEntry* entry, SheetRecord* sheet, SymbolRecord* symbol, SignalHandle signal,
                         TextFrameHandle frame) {
    if (symbol) {
        entry->serial = symbol->serial;
        entry->refDes = SearchDesignator(lv, sheet, symbol);
        if (entry->refDes.find('?') != std::string::npos) {
            char name[kSymbolTextSize] = {};
            GetSymbolName(symbol, sheet->stringBlock, name);
            entry->refDes = name;
            entry->bySymbolName = true;
        }
    } else if (signal) {
        char name[kSignalNameSize] = {};
        GetSignalName(signal, sheet->stringBlock, name);
        entry->refDes = name;
    } else if (frame) {
        entry->position = (*frame)->position;
    }
}

}  // namespace

int32_t ApplyChange(SearchRecord* lv) {
    SheetRecord* sheet = nullptr;
    SymbolRecord* symbol = nullptr;
    SignalHandle signal = nullptr;
    TextFrameHandle frame = nullptr;
    if (!GetItemToChange(lv, &sheet, &symbol, &signal, &frame)) return 0;
    const Properties before = lv->changeAll ? ReplacedProperties(lv, sheet, symbol, signal, frame) : Properties();
    Rect rect{};
    int32_t flags = 0;
    if (symbol) flags = ApplyChangeToSymbol(lv, sheet, symbol, &rect);
    else if (signal) flags = ApplyChangeToSignal(lv, sheet, signal, &rect);
    else if (frame) flags = ApplyChangeToText(lv, sheet, frame, &rect);
    if (flags) {
        SetSheetModifiedStatus(sheet, (flags & 9) | 32);
        Redraw(sheet, rect, 6);
        // A renamed signal may have merged into another: the one that flashes now is the one changed.
        if (signal) signal = SignalInList(sheet->signalList, sheet->flashingSignal) ? sheet->flashingSignal : nullptr;
        if (lv->changeAll && (symbol || signal || frame)) ChangeMadeNotify(lv, sheet, symbol, signal, frame, before);
    }
    return flags;
}

std::string BuildChangeDataNotificationString(OSStatus code, const char* text) {
    const char* format =
        code == kChangePackageFailed     ? "Unable to change symbol's package to \"%s\"."
        : code == kChangeSlotFailed      ? "Unable to change symbol's slot designator to \"%s\"."
        : code == status::kStringBlockFull ? "Unable to change the text to \"%s\": the sheet's names and texts are limited to 4 MB."
                                         : "Unable to change symbol's component name to \"%s\".";
    char out[600];
    std::snprintf(out, sizeof out, format, text ? text : "");
    return out;
}

void CalcChangeDataLogMessages(const ChangeDataLogEntry& entry, std::string* first, std::string* second) {
    const std::string where = " in Sheet \"" + entry.sheetName + "\"";
    switch (entry.row) {
        case ChangeLogRow::kSummary:
            *first = entry.newData;
            second->clear();
            return;
        case ChangeLogRow::kChanged:
            *first = "Changed " + entry.newData + ".";
            break;
        case ChangeLogRow::kFailed: *first = BuildChangeDataNotificationString(entry.code, entry.newData.c_str()); break;
    }
    *second = entry.kind == kSearchSymbols   ? "Symbol \"" + entry.refDes + "\"" + where
              : entry.kind == kSearchSignals ? "Signal \"" + entry.refDes + "\"" + where
                                             : "Text" + where;
}

void GetTargetLog(SearchRecord* lv, ProjectRecord** project, SheetRecord** sheet) {
    *project = lv && lv->scope == kScopeProject ? lv->project : nullptr;
    *sheet = *project ? nullptr : FrontSheet();
}

void ChangeDataNotify(SearchRecord* lv, SheetRecord* sheet, SymbolRecord* symbol, OSStatus code, const char* text) {
    if (!lv->changeAll) {
        ShowMessage(lv, BuildChangeDataNotificationString(code, text));
        return;
    }
    ChangeDataLogEntry entry;
    entry.code = code;
    entry.kind = kSearchSymbols;
    entry.sheet = sheet;
    entry.instance = lv->instance;
    entry.sheetName = SheetName(sheet);
    entry.newData = text ? text : "";
    IdentifyChangedItem(lv, &entry, sheet, symbol, nullptr, nullptr);
    Report(lv, entry);
}

// ---- Commands ----

bool IsSearchWindowActive() {
    return gDialog.dialog && VXGetKeyWindow() == gDialog.dialog;
}

bool RequiresSearchDialog(SearchRecord* lv) {
    if (lv->project && !IsProjectOpen(lv->project)) {
        SearchForgetProject(lv->project);
        return true;
    }
    if (!lv->sheet) {
        if (lv->scope == kScopeProject && lv->project) return false;
        for (int32_t row = 0; row < kSearchRows; ++row)
            if (RowEnabled(lv, row)) return false;
        return true;
    }
    if (lv->sheet->window && VXIsWindowVisible(lv->sheet->window, false)) return false;
    if (lv->loadedSheet == lv->sheet) return false;
    SearchReset(lv, true);
    return !(lv->scope == kScopeProject && lv->project);
}

int32_t DoSearchReplaceCommand(uint16_t command) {
    SearchRecord* lv = CurrentSearch();
    switch (command) {
        case 401: OpenSearchDialog(); return 1;
        case 402:
            if (RequiresSearchDialog(lv) && !IsSearchWindowActive()) {
                OpenSearchDialog();
                return 0;
            }
            if (SearchForItem(lv)) return 1;
            VXBeep();
            return 0;
        case 403:
            if (!IsSearchWindowActive() && CanConnectFloatingWire(FrontSheet(), false)) {
                ConnectFloatingWire(FrontSheet());
                return 1;
            }
            lv->changeAll = 0;
            return ApplyChange(lv);
        case 404: {
            SearchReset(lv, true);
            lv->changeAll = 1;
            lv->log.clear();
            // The report goes to the log of the scope, which starts empty.
            GetTargetLog(lv, &lv->reportProject, &lv->reportSheet);
            const bool target = lv->reportProject || lv->reportSheet;
            if (gLogHooks.destroyLog && target) gLogHooks.destroyLog(lv->reportProject, lv->reportSheet);
            int32_t count = 0;
            while (SearchForItem(lv))
                if (ApplyChange(lv)) ++count;
            lv->changeAll = 0;
            lv->changeCount = count;
            if (count > 0) {
                const char* what = lv->criteria.kind == kSearchSymbols   ? "symbol"
                                   : lv->criteria.kind == kSearchSignals ? "signal"
                                                                         : "text item";
                char text[200];
                std::snprintf(text, sizeof text, "Changes applied to %d %s%s", int(count), what, count == 1 ? "." : "s.");
                ChangeDataLogEntry summary;
                summary.row = ChangeLogRow::kSummary;
                summary.kind = lv->criteria.kind;
                summary.newData = text;
                Report(lv, summary);
            }
            const bool shown = gLogHooks.show && target && gLogHooks.show(lv->reportProject, lv->reportSheet);
            lv->reportProject = nullptr;
            lv->reportSheet = nullptr;
            if (count == 0 && !shown) VXBeep();
            return count > 0;
        }
        default: return 0;
    }
}

// ---- The dialog ----

namespace {

constexpr const char* kMatchTexts[] = {"is", "contains", "begins with", "ends with", "is not", "not contains"};
constexpr int32_t kFindTextBytes = 200;
constexpr int16_t kSymbolSeparatorItem = 12, kSignalSeparatorItem = 53;
constexpr VXColor kSeparatorBrush = 0x1A000000;  // the theme's secondary grey
VXWindowRecordTag* gSearchLayers = nullptr;

// The attribute-name pop-ups of the symbols and signals tabs: the arrow items, the names menu
// of each tab (made on the tab's first showing, freed with the dialog) and the arrow whose menu
// is open (drawn pressed).
struct AttributePopups {
    VXMenuRecord* menus[2] = {};  // symbols tab, signals tab
    int16_t openItem = -1;
};
AttributePopups gAttributePopups;

// The arrows of a tab and the attribute name field each fills.
const int16_t* TabNamePopups(int32_t tab, int32_t* count) {
    if (tab == kSearchSymbols) { *count = 2; return kSymbolNamePopups; }
    if (tab == kSearchSignals) { *count = 3; return kSignalNamePopups; }
    *count = 0;
    return nullptr;
}

int16_t NameFieldOfPopup(int32_t tab, int32_t index) {
    return tab == kSearchSymbols ? int16_t(kSymbolFindItems[kRowAttr0 + index] - 2)
                                 : int16_t(kSignalFindItems[1 + index] - 2);
}

void DrawAttributePopup(VXWindowRecordTag* window, int16_t item) {
    Rect arrow{};
    VXGetItemPosition(window, item, &arrow);
    const int32_t tab = item == kSymbolNamePopups[0] || item == kSymbolNamePopups[1] ? kSearchSymbols : kSearchSignals;
    const bool active = gAttributePopups.menus[tab] && VXGetItemEnabled(window, item);
    VXDrawPopupArrowButton(&window->graf, &arrow,
                           item == gAttributePopups.openItem ? kPopupArrowPressed
                           : active                          ? kPopupArrowNormal
                                                             : kPopupArrowDisabled);
}

// A line across the middle of the item, between the fixed rows and the attribute rows.
void DrawPanelSeparator(VXWindowRecordTag* window, int16_t item) {
    Rect r{};
    VXGetItemPosition(window, item, &r);
    const int16_t v = int16_t((r.top + r.bottom) / 2);
    QZSetColor(nullptr, kSeparatorBrush, false);
    VXMoveTo(r.left, v);
    VXLineTo(int16_t(r.right - 1), v);
    QZSetColor(nullptr, kVXDefaultForeColor, false);
}

// First showing of a tab: its names menu (component names on the symbols tab, signal names on
// the signals tab) behind its arrows, and its separator.
void SetupAttributePopups(VXWindowRecordTag* w, int32_t tab) {
    int32_t count = 0;
    const int16_t* popups = TabNamePopups(tab, &count);
    if (!popups) return;
    if (!gAttributePopups.menus[tab])
        gAttributePopups.menus[tab] = CreatePropertyNamesMenu(tab == kSearchSymbols ? kComponentNames : kSignalNames);
    for (int32_t i = 0; i < count; ++i) VXSetUserItemProcWithInset(w, popups[i], DrawAttributePopup, 0);
    VXSetUserItemProcWithInset(w, tab == kSearchSymbols ? kSymbolSeparatorItem : kSignalSeparatorItem,
                               DrawPanelSeparator, 0);
}

void FreeAttributePopups() {
    for (VXMenuRecord*& menu : gAttributePopups.menus)
        if (VXMenuRecord* m = std::exchange(menu, nullptr)) VXDestroyMenuEx(m, true);
    gAttributePopups.openItem = -1;
}

void SetCommandButtonsEnabled();

// A click on an arrow of the shown tab pops its names menu up; the chosen name fills the row's
// attribute name field. True when the click was on an active arrow.
bool DoSearchPanelMouseClick(VXWindowRecordTag* w, const VXEventRecord* event) {
    SearchRecord* lv = CurrentSearch();
    const int32_t tab = gDialog.shownTab;
    int32_t count = 0;
    const int16_t* popups = TabNamePopups(tab, &count);
    VXMenuRecord* menu = popups ? gAttributePopups.menus[tab] : nullptr;
    if (!menu) return false;
    const Point at{event->u.mouse.v, event->u.mouse.h};
    for (int32_t i = 0; i < count; ++i) {
        Rect arrow{};
        VXGetItemPosition(w, popups[i], &arrow);
        if (!VXPtInRect(at, &arrow) || !VXGetItemEnabled(w, popups[i])) continue;
        gAttributePopups.openItem = popups[i];
        VXInvalRect(w, &arrow);
        const uint16_t chosen = VXPopupMenuClick(w, Point{arrow.bottom, arrow.left}, 0, false, menu, false, 0);
        gAttributePopups.openItem = -1;
        VXInvalRect(w, &arrow);
        const std::string name =
            GetIndexedPropertyName(&gPropertyNamesTable[tab == kSearchSymbols ? kComponentNames : kSignalNames],
                                   int32_t(chosen) - kPropertyNamesFirstCommand);
        if (name.empty()) return true;
        const int16_t field = NameFieldOfPopup(tab, i);
        VXSetItemText(w, field, name.c_str());
        VXSetFocusItem(w, field);
        VXSelectItemText(w, field, 0, 32767);
        SearchReset(lv, true);
        SetCommandButtonsEnabled();
        return true;
    }
    return false;
}

// The find-text items of a tab and how many rows it has.
const int16_t* TabFindItems(int32_t tab, int32_t* rows) {
    static const int16_t kTextFind[1] = {kTextFindItem};
    if (tab == kSearchSymbols) { *rows = kSearchRows; return kSymbolFindItems; }
    if (tab == kSearchSignals) { *rows = 4; return kSignalFindItems; }
    *rows = 1;
    return kTextFind;
}

int16_t MatchItem(int32_t tab, int16_t find) { return tab == kSearchTexts ? kTextMatchItem : int16_t(find - 1); }
bool IsAttributeRow(int32_t tab, int32_t row) {
    return (tab == kSearchSymbols && row >= kRowAttr0) || (tab == kSearchSignals && row >= 1);
}

std::string ItemText(VXWindowRecordTag* w, int16_t item) {
    char text[1024] = {};
    VXGetItemText(w, item, text);
    return text;
}

void InstallSearchParams(int32_t tab) {
    SearchRecord* lv = CurrentSearch();
    VXWindowRecordTag* w = gSearchLayers;
    const SearchCriteria& c = lv->criteria;
    const bool same = c.kind == tab;
    int32_t rows = 0;
    const int16_t* finds = TabFindItems(tab, &rows);
    for (int32_t row = 0; row < rows; ++row) {
        const int16_t k = finds[row];
        FillPopup(w, MatchItem(tab, k), kMatchTexts, 6, same ? c.match[row] : kMatchContains);
        if (!same) continue;
        VXSetItemText(w, k, c.find[row].c_str());
        if (tab == kSearchTexts) {
            VXSetItemText(w, kTextReplaceItem, c.replace[0].c_str());
            continue;
        }
        VXSetItemText(w, int16_t(k + 1), c.replace[row].c_str());
        VXSetItemChecked(w, int16_t(k - 3), c.findEnabled[row]);
        VXSetItemChecked(w, int16_t(k + 2), c.replaceEnabled[row]);
        if (IsAttributeRow(tab, row))
            VXSetItemText(w, int16_t(k - 2), c.attributeName[tab == kSearchSymbols ? row - kRowAttr0 : row - 1].c_str());
    }
    if (tab == kSearchTexts)
        for (int32_t i = 0; i < kSearchTextClasses; ++i)
            VXSetItemChecked(w, int16_t(kTextFirstClassItem + i), c.classEnabled[i]);
    if (tab == kSearchSignals) VXSetItemChecked(w, kUnterminatedItem, c.unterminatedWires);
}

// Whether some row of the shown tab makes a complete criterion, and a replacement.
void SetCommandButtonsEnabled() {
    SearchRecord* lv = CurrentSearch();
    if (!gDialog.dialog || !gSearchLayers) return;
    VXWindowRecordTag* w = gSearchLayers;
    const int32_t tab = gDialog.shownTab;
    int32_t rows = 0;
    const int16_t* finds = TabFindItems(tab, &rows);
    bool complete = false, replacement = false;
    for (int32_t row = 0; row < rows; ++row) {
        const int16_t k = finds[row];
        const bool findOn = tab == kSearchTexts || VXGetItemChecked(w, int16_t(k - 3));
        bool ok = findOn && !ItemText(w, k).empty();
        if (ok && IsAttributeRow(tab, row)) ok = !ItemText(w, int16_t(k - 2)).empty();
        complete |= ok;
        const int16_t replaceItem = tab == kSearchTexts ? kTextReplaceItem : int16_t(k + 1);
        const bool replaceOn = tab == kSearchTexts || VXGetItemChecked(w, int16_t(k + 2));
        replacement |= replaceOn && !ItemText(w, replaceItem).empty();
    }
    if (tab == kSearchTexts) {
        bool anyClass = false;
        for (int32_t i = 0; i < kSearchTextClasses; ++i) anyClass |= VXGetItemChecked(w, int16_t(kTextFirstClassItem + i)) != 0;
        complete &= anyClass;
    }
    lv->criteria.changeArmed = complete ? 1 : 0;
    const bool wires = tab == kSearchSignals && VXGetItemChecked(w, kUnterminatedItem);
    VXSetItemEnabled(gDialog.dialog, kSearchFindItem, complete || wires);
    VXSetItemEnabled(gDialog.dialog, kSearchChangeItem, !wires && complete && replacement && CanApplyChangeToSelection(lv, 403));
    VXSetItemEnabled(gDialog.dialog, kSearchChangeAllItem, !wires && complete && replacement);
}

void SetSearchDialogPanel(int32_t tab) {
    VXWindowRecordTag* w = gSearchLayers;
    if (!w) return;
    const bool first = VXIsViewLayerEmpty(w, tab);
    if (first) VXLoadControlsForViewLayer(w, tab, uint16_t(kSearchTabTemplateBase + tab), 0, 0, 0);
    VXSetCurrentViewLayer(w, tab);
    if (first) SetupAttributePopups(w, tab);
    VXSetSelectedTab(gDialog.dialog, kSearchTabsItem, tab);
    gDialog.shownTab = int16_t(tab);
    if (first) InstallSearchParams(tab);
    int32_t rows = 0;
    VXSetFocusItem(w, TabFindItems(tab, &rows)[0]);
    SetCommandButtonsEnabled();
}

void RefillProjectList() {
    SearchRecord* lv = CurrentSearch();
    VXWindowRecordTag* d = gDialog.dialog;
    VXRemoveListItem(d, kSearchProjectListItem, 0, -1);
    std::vector<std::pair<std::string, ProjectRecord*>> projects;
    for (ProjectRecord* p = gProjectList; p; p = p->next) {
        char title[200] = {};
        if (p->window) VXGetWindowTitle(p->window, title);
        else std::snprintf(title, sizeof title, "%s", p->file.spec.name);
        projects.emplace_back(title, p);
    }
    std::sort(projects.begin(), projects.end());
    SheetRecord* front = FrontSheet();
    if (projects.empty()) {
        VXAddListItem(d, kSearchProjectListItem, "No Open Projects", 0);
        VXSelectListItem(d, kSearchProjectListItem, 0, true);
        lv->scope = kScopeFrontSheet;
        lv->project = nullptr;
    } else {
        int32_t selected = 0;
        for (size_t i = 0; i < projects.size(); ++i) {
            VXAddListItem(d, kSearchProjectListItem, projects[i].first.c_str(), int32_t(i));
            VXSetListItemReference(d, kSearchProjectListItem, int32_t(i), reinterpret_cast<intptr_t>(projects[i].second));
            if (projects[i].second == lv->project || (!lv->project && front && projects[i].second == front->project))
                selected = int32_t(i);
        }
        VXSelectListItem(d, kSearchProjectListItem, selected, true);
    }
    if (!front) lv->scope = projects.empty() ? kScopeFrontSheet : kScopeProject;
    VXSetItemEnabled(d, kSearchProjectItem, !projects.empty());
    VXSetItemEnabled(d, kSearchProjectListItem, !projects.empty());
    VXSetItemEnabled(d, kSearchFrontSheetItem, front != nullptr);
    VXSelectRadioButton(d, lv->scope == kScopeProject ? kSearchProjectItem : kSearchFrontSheetItem);
    VXSetItemEnabled(d, kSearchInstancesItem, !projects.empty() && lv->scope == kScopeProject);
    VXSetItemChecked(d, kSearchInstancesItem, lv->instancesOption);
}

int32_t SearchPanelsHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    SearchRecord* lv = CurrentSearch();
    if (lv && (event->kind == kVXMouseDownEvent || event->kind == kVXDoubleClickEvent))
        return DoSearchPanelMouseClick(w, event) ? 1 : 0;
    if (!lv || event->kind != kVXControlEvent) return 0;
    const int16_t item = int16_t(event->u.control.item);
    const int32_t tab = gDialog.shownTab;
    int32_t rows = 0;
    const int16_t* finds = TabFindItems(tab, &rows);
    for (int32_t row = 0; row < rows; ++row) {
        const int16_t k = finds[row];
        if (tab != kSearchTexts && (item == k || item == k + 1)) {
            (void)VXTruncateItemText(w, item, kFindTextBytes);  // the text stays at most 200 bytes
            VXSetItemChecked(w, int16_t(item == k ? k - 3 : k + 2), !ItemText(w, item).empty());
        }
    }
    if (item == kUnterminatedItem) {
        const bool on = VXGetItemChecked(w, kUnterminatedItem) != 0;
        for (int32_t row = 0; row < rows; ++row)
            for (int16_t i = int16_t(finds[row] - 3); i <= finds[row] + 2; ++i) VXSetItemEnabled(w, i, !on);
        for (int16_t popup : kSignalNamePopups) {
            VXSetItemEnabled(w, popup, !on);
            Rect arrow{};
            VXGetItemPosition(w, popup, &arrow);
            VXInvalRect(w, &arrow);
        }
    }
    SearchReset(lv, true);
    SetCommandButtonsEnabled();
    return 0;
}

// The scope the dialog shows becomes the search's, which is the one returned: a search over a
// project is the project's; the front sheet's scope gives the project's search up.
SearchRecord* CollectScope() {
    VXWindowRecordTag* d = gDialog.dialog;
    const bool projectScope = VXGetSelectedRadioButton(d, kSearchFrontSheetItem) == kSearchProjectItem;
    const uint8_t instances = VXGetItemChecked(d, kSearchInstancesItem) ? 1 : 0;
    ProjectRecord* project = nullptr;
    if (projectScope) {
        const int32_t index = VXGetSelectedListItem(d, kSearchProjectListItem, -1);
        project = index >= 0 ? reinterpret_cast<ProjectRecord*>(VXGetListItemReference(d, kSearchProjectListItem, index)) : nullptr;
        if (!IsProjectOpen(project)) project = nullptr;
    }
    // A project chosen anew starts its search from the beginning.
    if (ChosenSearchProject() != project) {
        SetSearchProject(project);
        SearchReset(ProjectSearch(), true);
    }
    SearchRecord* projectSearch = ProjectSearch();
    projectSearch->scope = project ? kScopeProject : kScopeFrontSheet;
    projectSearch->project = project;
    SearchRecord* lv = CurrentSearch();
    lv->scope = project ? kScopeProject : kScopeFrontSheet;
    lv->project = project;
    lv->instancesOption = instances;
    return lv;
}

int32_t SearchDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SearchRecord* lv = CurrentSearch();
    if (!lv) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            gDialog.dialog = window;
            RememberFrontWindow();
            gSearchLayers = VXCreateLayeredView(window, nullptr, 3, kSearchTabsItem, SearchPanelsHandler, nullptr);
            SheetRecord* front = FrontSheet();
            if (!(front && lv->project && front->project == lv->project))
                lv->scope = front ? kScopeFrontSheet : kScopeProject;
            RefillProjectList();
            SetSearchDialogPanel(lv->criteria.kind);
            return 0;
        }
        case kVXActivateEvent:
            if (gDialog.dialog == window) {
                if (event->u.activate.activated) RememberFrontWindow();
                RefillProjectList();
                SetCommandButtonsEnabled();
            }
            return 0;
        case kVXCloseEvent:
            CollectSearchParams(CollectScope());
            return 0;
        case kVXDestroyEvent:
            gDialog.dialog = nullptr;
            gDialog.frontWindowID = 0;
            gSearchLayers = nullptr;
            FreeAttributePopups();
            return 0;
        case kVXControlEvent: {
            const int16_t item = int16_t(event->u.control.item);
            if (item == kSearchTabsItem) {
                const int32_t tab = event->u.control.values.pair.second;
                if (tab != gDialog.shownTab) SetSearchDialogPanel(tab);
                return 1;
            }
            if (item == kSearchFindItem || item == kSearchChangeItem || item == kSearchChangeAllItem) {
                CollectSearchParams(CollectScope());
                const uint16_t command = item == kSearchFindItem ? 402 : item == kSearchChangeItem ? 403 : 404;
                if (DoSearchReplaceCommand(command) && gDialog.dialog) VXDestroyWindow(gDialog.dialog);
                return 1;
            }
            if (item >= kSearchFrontSheetItem && item <= kSearchInstancesItem) {
                if (item == kSearchProjectListItem) VXSelectRadioButton(window, kSearchProjectItem);
                const bool project = VXGetSelectedRadioButton(window, kSearchFrontSheetItem) == kSearchProjectItem;
                VXSetItemEnabled(window, kSearchInstancesItem, project);
                SearchReset(ProjectSearch(), true);
                if (SheetRecord* front = FrontSheet()) SearchReset(&SheetEditStateOf(front)->search, true);
                return 1;
            }
            return 0;
        }
        default: return 0;
    }
}

}  // namespace

void CollectSearchParams(SearchRecord* lv) {
    if (!lv || !gSearchLayers) return;
    VXWindowRecordTag* w = gSearchLayers;
    SearchCriteria c;
    const int32_t tab = gDialog.shownTab;
    c.kind = uint16_t(tab);
    int32_t rows = 0;
    const int16_t* finds = TabFindItems(tab, &rows);
    for (int32_t row = 0; row < rows; ++row) {
        const int16_t k = finds[row];
        c.find[row] = ItemText(w, k);
        c.match[row] = uint16_t(std::max(VXGetSelectedListItem(w, MatchItem(tab, k), -1), 0));
        if (tab == kSearchTexts) {
            c.replace[0] = ItemText(w, kTextReplaceItem);
            c.findEnabled[0] = !c.find[0].empty();
            c.replaceEnabled[0] = !c.replace[0].empty();
        } else {
            c.replace[row] = ItemText(w, int16_t(k + 1));
            c.findEnabled[row] = !c.find[row].empty() && VXGetItemChecked(w, int16_t(k - 3));
            c.replaceEnabled[row] = !c.replace[row].empty() && VXGetItemChecked(w, int16_t(k + 2));
            if (IsAttributeRow(tab, row))
                c.attributeName[tab == kSearchSymbols ? row - kRowAttr0 : row - 1] = ItemText(w, int16_t(k - 2));
        }
        c.changeArmed |= c.replaceEnabled[row];
    }
    if (tab == kSearchTexts)
        for (int32_t i = 0; i < kSearchTextClasses; ++i)
            c.classEnabled[i] = VXGetItemChecked(w, int16_t(kTextFirstClassItem + i)) ? 1 : 0;
    if (tab == kSearchSignals) c.unterminatedWires = VXGetItemChecked(w, kUnterminatedItem) ? 1 : 0;
    lv->criteria = std::move(c);
}

void OpenSearchDialog() {
    if (gDialog.dialog) {
        VXSelectWindow(gDialog.dialog);
        return;
    }
    VXWindowRecordTag* dialog =
        VXLoadDialogWindow(kSearchDialogTemplate, 1, kVXFlagClosable, kVXPlaceCentre, 0, SearchDialogHandler, nullptr);
    if (!dialog) return;
    VXShowWindow(dialog);
    VXSelectWindow(dialog);
}

void GetSearchReplaceCommandEnabled(VXPrepCommandRecord* r, int16_t frontKind) {
    SearchRecord* lv = CurrentSearch();
    constexpr int16_t kSheetWindowKind = 101, kProjectWindowKind = 102;
    if (r->command == 403 && r->title) std::snprintf(r->title, 256, "Change");
    const bool sheetOrProject = frontKind == kSheetWindowKind || frontKind == kProjectWindowKind;
    if (IsSearchWindowActive()) {
        r->enabled = r->command == 401 ? 1
                     : VXGetItemEnabled(gDialog.dialog, r->command == 402 ? kSearchFindItem
                                                    : r->command == 403 ? kSearchChangeItem
                                                                        : kSearchChangeAllItem) != 0;
        return;
    }
    switch (r->command) {
        case 401:
        case 402: r->enabled = sheetOrProject; break;
        case 403:
            if (frontKind == kSheetWindowKind && CanConnectFloatingWire(FrontSheet(), false)) {
                if (r->title) std::snprintf(r->title, 256, "Connect Unterminated Wire");
                r->enabled = 1;
            } else {
                r->enabled = CanApplyChangeToSelection(lv, 403);
            }
            break;
        case 404: r->enabled = CanApplyChangeToSelection(lv, 404); break;
        default: break;
    }
}

}  // namespace plexa
