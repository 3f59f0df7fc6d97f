// The File menu: new documents, opening, closing, saving, exporting, the report scripts, page
// set-up and printing; each command's rule for the front document and its action.
#include "app/recentmenus.h"
#include "app/shell.h"
#include "app/printing.h"
#include "toolkit/vx_print.h"
#include "files/hierarchy.h"
#include "files/openkinds.h"
#include "files/project.h"
#include "files/sheetports.h"
#include "foundation/filespec.h"
#include "model/selectionsummary.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/sheetsettings.h"
#include "sheeteditor/dxfexportui.h"
#include "sheeteditor/ecowindows.h"
#include "sheeteditor/fileselect.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/scriptcommands.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetwindow.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint32_t kOpenKinds = kOpenKindSheets | kOpenKindProjects | kOpenKindLibraries;
constexpr int32_t kOpenFolder = 3;

// Each file chosen in the open panel: a failure is told with the file's name, and the next file
// is opened all the same.
OSStatus OpenChosenFile(const FileSpec* spec, int32_t, int32_t, void*) {
    ReportOpenFailure(spec, OpenFileProcessor(spec));
    return status::kNoErr;
}

// The single selected symbol when it stands for a sheet (a sheet symbol or a file symbol).
SymbolRecord* SelectedSheetSymbol() {
    auto* symbol = static_cast<SymbolRecord*>(FrontSelection().symbol);
    return symbol && (symbol->flags & (kSymbolFlagSheet | kSymbolFlagFileSymbol)) ? symbol : nullptr;
}

bool IsDocumentKind(int16_t kind) { return kind == kSheetKind || kind == kProjectKind; }

// Closes every visible window of the kind, front to back; stops at the first that stays.
void CloseAllWindowsOfKind(int16_t kind) {
    gCloseAllWindowsKind = kind;
    for (bool again = true; again;) {
        again = false;
        for (VXWindowRecordTag* w : VXTopLevelWindows()) {
            if (w->typeID != kind || !VXIsWindowVisible(w, false)) continue;
            again = VXSendGoAway(w);
            break;
        }
    }
    gCloseAllWindowsKind = 0;
}

}  // namespace

void PrepFileCommand(VXPrepCommandRecord* r, const FrontDocument& front) {
    const bool modal = front.modal;
    SheetRecord* sheet = FrontSheetOf(front);
    switch (r->command) {
    case 200: r->enabled = !modal || front.kind == kECOLogKind; break;
    case kCmdNewMenu:
    case kCmdNewSheet:
    case kCmdNewProject:
    case kCmdNewLibrary:
    case 202: r->enabled = !modal; break;
    case 211:
        // The project window opens its selected rows itself.
        r->enabled = front.kind == kProjectKind ? CountSelectedProjectRows(front.project) > 0
                                                : front.sheet && SelectedSheetSymbol();
        break;
    case kRecentFilesMenuTag:
    case kClearRecentCommand: r->enabled = !modal && HasRecentFiles(); break;
    case 203: r->enabled = !modal && front.window && VXWindowHasCloseBox(front.window); break;
    case 204:
        if (sheet) r->enabled = CanSaveSheet(sheet);
        else if (front.editor && front.editor->libEditor) r->enabled = IsLibEditorDirty(front.editor->libEditor);
        else if (front.project) r->enabled = IsProjectAnnotationDirty(front.project, true);
        else r->enabled = 0;
        break;
    case 205: r->enabled = sheet || front.kind == kECOLogKind; break;
    case kCmdExportMenu:
    case 221: r->enabled = IsDocumentKind(front.kind); break;
    case kCmdASCIIDatabase: r->enabled = 0; break;
    case kCmdExportDXF: r->enabled = front.kind == kSheetKind; break;
    case 206:
    case 207: r->enabled = IsDocumentKind(front.kind); break;
    default:
        if (r->command >= 1400 && r->command <= 1499) r->enabled = IsDocumentKind(front.kind);
        else if (r->command >= 800 && r->command <= 898) r->enabled = !modal;
        break;
    }
}

int32_t DoFileCommand(uint16_t id, const FrontDocument& front, bool shift, bool option) {
    SheetRecord* sheet = FrontSheetOf(front);
    switch (id) {
    case kCmdNewSheet: NewSchematicDrawing(); return 1;
    case kCmdNewProject:
        // A project made now is one of the recent ones, as an opened one is.
        if (ProjectRecord* made = CreateNewProject()) UpdateRecentFilesMenu(&made->file.spec, FourCC("PRJ4"));
        return 1;
    case kCmdNewLibrary: CreateNewLibrary(); return 1;
    case 202:
        SchError(SelectAndProcessFiles(kOpenKinds, kOpenFolder, "Open Files", "", OpenChosenFile, nullptr,
                                       nullptr));
        return 1;
    case 211:
        if (front.sheet) {
            SymbolRecord* symbol = SelectedSheetSymbol();
            if (!symbol || !EnterSubSheet(front.sheet, symbol)) VXBeep();
            return 1;
        }
        return 0;
    case 203:
        if (shift && (front.kind == kSheetKind || front.kind == kLibEditorKind || front.kind == kSymbolEditorKind)) {
            CloseAllWindowsOfKind(front.kind);
            return 1;
        }
        if (front.window && VXWindowHasCloseBox(front.window)) {
            VXSendGoAway(front.window);
            return 1;
        }
        return 0;
    case 204:
        if (sheet) {
            (void)SaveSheetCommand(sheet, shift);  // a failure was reported inside
        } else if (front.editor && front.editor->libEditor) {
            SchError(SaveLibEditorChanges(front.editor->libEditor));
        } else if (front.project) {
            UpdateProjectHierarchy(front.project, 12);
            SchError(UpdateProjectFile(front.project, true));
            SchError(UpdateProjectSheetLocalAnnotation(front.project));
        }
        return 1;
    case 205:
        if (sheet) (void)SaveSheetCopyCommand(sheet);  // a failure was reported inside
        else if (front.kind == kECOLogKind) SchError(SaveECOLogWindow(front.window));
        return 1;
    case 206:
        if (sheet) DoPageSetupForSheet(sheet);
        else if (front.kind == kProjectKind) DoProjectPageSetup(front.project);
        return 1;
    case 207:
        if (sheet) (void)PrintSheet(sheet, kVXPrintShowPanel);  // a failure was reported inside
        else if (front.kind == kProjectKind) (void)PrintProjectSheets(front.project, 0, kVXPrintShowPanel);
        return 1;
    case 221: ExportECO(FrontProject(front)); return 1;
    case kClearRecentCommand:
        if (VXAskConfirm("Remove all entries from the Recent Files menu?", "Remove", nullptr, 0)) ClearRecentFilesHistory();
        return 1;
    case kCmdExportDXF:
        if (front.sheet) ExportDXFFile(front.sheet);
        return 1;
    default:
        if (id >= 1400 && id <= 1499) {
            const int32_t index = id - 1400;
            if (shift && option) EditScriptFile(index);
            else if (front.project) RunScript(front.project, nullptr, index);
            else if (front.sheet) RunScript(nullptr, front.sheet, index);
            return 1;
        }
        if (int32_t list, index; RecentCommandEntry(id, &list, &index)) {
            OpenRecentFile(list, index);
            return 1;
        }
        return 0;
    }
}

}  // namespace plexa
