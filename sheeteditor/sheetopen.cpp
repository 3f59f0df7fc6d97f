// Opening sheets in windows and in their hierarchy context; see sheetopen.h.
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/simtools.h"

#include <string>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/sheetfile.h"
#include "files/sheetload.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

SheetOpenHooks gHooks;

void Report(OSStatus st, const FileSpec* file) {
    if (!st || st == status::kUserCancelled) return;
    if (gHooks.report) gHooks.report(st, file);
    else VXOpenErrorReport(file->name, st);
}

void RevealSymbol(SheetRecord* sheet, uint32_t serial) {
    if (gHooks.revealSymbol) {
        gHooks.revealSymbol(sheet, serial);
        return;
    }
    SymbolRecord* target = nullptr;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        s->flags &= ~kSymbolFlagSelected;
        if (s->serial == serial) target = s;
    }
    if (!target) return;
    target->flags |= kSymbolFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kSymbol, target);
    Rect bounds;
    GetSymbolInstanceBounds(sheet, target, 1, &bounds);
    if (sheet->window) VXScrollTo(sheet->window, bounds.left, bounds.top);
}

// Puts a freshly opened sheet into the context of the first project that has a node of it.
void OpenInContext(SheetRecord* sheet) {
    SheetNode* node = nullptr;
    ProjectRecord* project = FindSheetContext(sheet, &node);
    if (!project) return;
    SheetInstance* instance = RetrieveSheetInstance(project, node, true);
    VXErrorReport(SetSheetContext(sheet, instance ? project : nullptr, instance, true));
}

}  // namespace

void SetSheetOpenHooks(const SheetOpenHooks& hooks) { gHooks = hooks; }
const SheetOpenHooks& GetSheetOpenHooks() { return gHooks; }

VXWindowRecordTag* CreteWindowForSheet(SheetRecord* sheet, const SheetWindowState* state) {
    if (!sheet) return nullptr;
    if (sheet->window) return sheet->window;
    SheetWindows windows;
    if (!CreateDrawingWindow(nullptr, sheet, &windows)) return nullptr;
    InstallDrawingInWindow(sheet, &windows);
    if (state) SetSheetWindowState(sheet, state);
    CalcTextListBounds(sheet->window, sheet->textFrameList, sheet->textList, sheet->stringBlock);
    std::string path;
    if (IsSheetFile(&sheet->fileSpec) == status::kNoErr &&
        CreateURLFromFileSpec(&sheet->fileSpec, false, &path) == status::kNoErr)
        VXSetWindowFileProxy(sheet->window, path.c_str(), kSheetFileType);
    return sheet->window;
}

bool ShowSheetInWindow(SheetRecord* sheet) {
    VXWindowRecordTag* window = CreteWindowForSheet(sheet, nullptr);
    if (window) VXShowWindow(window);
    return window != nullptr;
}

SheetRecord* OpenSchematicSheet(const FileSpec* file, uint32_t options) {
    if (!file) return nullptr;
    SheetRecord* sheet = GetLoadedSheet(file, nullptr, false);
    if (!sheet) {
        if ((options & kOpenDetectType) && gHooks.detectFileType) gHooks.detectFileType(file);
        SheetWindowState state;
        bool fixed = false;
        OSStatus st = LoadSchematicSheet(file, &sheet, &state, &fixed);
        if (!st && !CreteWindowForSheet(sheet, &state)) {
            DestroySheet(sheet);
            sheet = nullptr;
            st = status::kOutOfMemory;
        }
        if (sheet) {
            if (options & kOpenSetContext) OpenInContext(sheet);
            if (fixed) SetSheetModifiedStatus(sheet, kSheetChangeFixedSubSheetFlags);
        }
        Report(st, file);
        if (!sheet) return nullptr;
    }
    SetNodeValuesVisible(sheet, gHooks.nodeValuesWanted && gHooks.nodeValuesWanted(sheet));
    if (options & kOpenShowWindow) {
        VXShowWindow(sheet->window);
        VXSelectWindow(sheet->window);
        if (gHooks.addRecentFile) gHooks.addRecentFile(&sheet->fileSpec, kSheetFileTypeName);
        if ((options & kOpenCheckSheet) && gHooks.checkOnOpen && gHooks.checkOnOpen()) {
            const OSStatus st = gHooks.checkSheet ? gHooks.checkSheet(sheet) : status::kNoErr;
            if (gHooks.reportCheck) gHooks.reportCheck(st);
        }
    }
    return sheet;
}

SheetRecord* OpenSheetContext(ProjectRecord* project, SheetNode* node, bool check) {
    if (!project || !node || (node->flags & kSheetNodeCircular) || !node->sheetSpec) return nullptr;
    FileSpec file;
    if (!ResolveSheetSpecFile(project, node->sheetSpec, &file, nullptr)) return nullptr;
    SheetRecord* sheet =
        OpenSchematicSheet(&file, kOpenShowWindow | kOpenDetectType | (check ? kOpenCheckSheet : 0));
    if (!sheet) return nullptr;
    SheetInstance* instance = RetrieveSheetInstance(project, node, true);
    if (sheet->project != project || sheet->hierarchyContext != instance)
        VXErrorReport(SetSheetContext(sheet, project, instance, true));
    return sheet;
}

bool RevealSubSheetsParentSymbol(ProjectRecord* project, SheetNode* node) {
    SheetNode* parent = GetSheetNodeParent(node);
    if (!parent) return false;
    SheetRecord* sheet = OpenSheetContext(project, parent, false);
    if (!sheet || !RetrieveSerializedSymbol(sheet->symbolList, node->serial)) return false;
    RevealSymbol(sheet, node->serial);
    return true;
}

}  // namespace plexa
