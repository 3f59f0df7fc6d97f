// The editor's start-up and shutdown: the start-up hook that the toolkit calls at launch, the two
// initialisers (the core services at once, the editor's after a short deferral while documents
// handed in wait), the memory pools, the application's globals and menu bars, the periodic task,
// and the quit path that closes every sheet and window before anything is written.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/editor_root.h"
#include "app/prefs.h"
#include "app/shellutil.h"
#include "app/root.h"
#include "app/root_slots.h"
#include "app/recentmenus.h"
#include "app/reportscripts.h"
#include "app/shell.h"
#include "files/project.h"
#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "foundation/folders.h"
#include "foundation/memory.h"
#include "foundation/socket.h"
#include "graphics/regions.h"
#include "library/itemcache.h"
#include "library/libdigest.h"
#include "library/libpaths.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wires.h"
#include "design/simlink.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/search.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/symbolupdate.h"
#include "symboleditor/libeditor.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"
#include "toolkit/vx_tooltips.h"

namespace plexa {

VXMenuBar* gStandardMenuBar = nullptr;
VXMenuBar* gSymbolEditMenuBar = nullptr;
VXMenuBar* gLibEditMenuBar = nullptr;
VXMenuBar* gCurrMenuBar = nullptr;
uint64_t gPageBreakPat = 0, gNarrowVertPat = 0, gNarrowHorzPat = 0;
Point gZeroPoint{0, 0};
Rect gZeroRect{0, 0, 0, 0};
int16_t gMaxViewScale = 1250;
const int16_t gGridSizeTable72[7] = {6, 9, 12, 18, 24, 36, 72};
const int16_t gGridSizeTable96[7] = {8, 12, 16, 24, 32, 48, 96};
Rect gSurfaceRect{0, 0, 0, 0};
VXWindowRecordTag* gOffScreenWindow = nullptr;
FileSpec gApplSpec{};

namespace {

constexpr int32_t kWaitCursor = 0x7FFFFF03;
constexpr int32_t kArrowCursor = 0x7FFFFF00;
constexpr uint32_t kPeriodicTaskMs = 200;
constexpr double kEditorServicesDelay = 0.01;

int32_t gPreferencesWrites = 0;
sVXTimerRecord* gPeriodicTimer = nullptr;

// ---- The shell requests ----

// Launched without documents: a new untitled sheet.
void ShellApplicationLaunchedHandler() { NewSchematicDrawing(); }

// A document handed in, opened or printed by its kind; a failure is told naming the file. The
// request is taken.
int32_t HandleDocument(const char* path, OSStatus (*processor)(const FileSpec*)) {
    FileSpec spec{};
    if (OSStatus st = FileSpecFromPathName(nullptr, path, &spec)) {
        // The name as it came, for a file that is not there.
        std::snprintf(spec.name, sizeof spec.name, "%s", path ? path : "");
        ReportOpenFailure(&spec, st);
        return 1;
    }
    ReportOpenFailure(&spec, processor(&spec));
    return 1;
}

int32_t ShellOpenFileHandler(const char* path, int16_t, int16_t) { return HandleDocument(path, OpenFileProcessor); }
int32_t ShellPrintFileHandler(const char* path, int16_t, int16_t) { return HandleDocument(path, PrintFileProcessor); }
// Drops on the application are taken and do nothing (dropped files reach windows as events).
int32_t ShellDroppedFileHandler(const char*, int16_t, int16_t) { return 1; }

int32_t ShellQuitHandler() { return QuitHandler(); }

void PeriodicTimerFired(sVXTimerRecord*, uint64_t) { AppPeriodicTask(); }

// The deferred second half of the start-up; then the documents that waited are opened. After the
// program's whole start-up every hook is installed (checked in builds with the checks on).
// The action's value is nonzero after the program's own start-up (not a test's shell alone).
void RunEditorServices(void* wholeStartUp) {
    InitEditorServices();
    if (wholeStartUp) AssertEveryHookInstalled();
    VXSetShellRequestsOnHold(false);
}

// The changed blocks of the preferences file, then the access points.
void SavePreferencesAndAccessPoints() {
    ++gPreferencesWrites;
    (void)SavePreferences();  // a failure was told where it happened
    VXSaveAccessPoints(true);
}

}  // namespace

int32_t PreferencesWriteCount() { return gPreferencesWrites; }

int32_t AppStartup() {
    // A second start hands its documents to the running editor and ends.
    if (VXEnforceSingleAppInstance() == 0) return 0;
    // The layers are put together through the composition root before any of them is used.
    if (StartCore("plexa") != 0) return 0;
    InstallEditorHooks();
    StartShell(true);
    return 1;
}

void StartShell(bool wholeStartUp) {
    InitCoreServices();
    vx.quitProc = QuitHandler;
    // Documents handed in at launch wait until the editor's services are up.
    VXSetShellRequestsOnHold(true);
    VXPostDeferredAction(RunEditorServices, reinterpret_cast<void*>(uintptr_t(wholeStartUp)), kEditorServicesDelay);
}

void InitCoreServices() {
    VXSetCursor(kWaitCursor);
    SchError(InitPools());
    PrepClickSound();
    VXSetPrepCommandProc(nullptr, PrepCommand);
    VXSetGlobalCommandProc(DoCommand);
    VXSetShellMessageProcs(ShellApplicationLaunchedHandler, ShellOpenFileHandler, ShellPrintFileHandler,
                           ShellQuitHandler, ShellDroppedFileHandler);
    if (!VXIsApplicationSandboxed()) VXDeleteApplicationMenuItem(kVXCommandAccessibleLocations);
}

// The pools of the records that sheets hold by the thousand, each block the size of its record.
// Undo operations take their pool with sheet undo.
OSStatus InitPools() {
    if (OSStatus st = InitSymbolPool()) return st;
    if (!ElementPool()) return status::kOutOfMemory;
    if (OSStatus st = InitTextRecordPool()) return st;
    if (OSStatus st = InitAnnotationSpecPool()) return st;
    return InitWiresPool();
}

int32_t InitEditorServices() {
    VXLoadAccessPoints();
    InitImageLists();
    InitGlobals();
    InitPredefinedMacros();
    InitLibraryAccess();
    // The preferences, then what reads them: the font, recent-files and report-script menus (the
    // colour popups and search join here as they are built).
    (void)LoadPreferences();  // a failure was told where it happened; the defaults stand
    VXSetToolTipsEnabled((gPrefs->options & kPrefsToolTips) != 0);
    BuildFontMenu();
    BuildLibraryFileList(nullptr, false);
    RebuildRecentFilesMenu();
    RebuildScriptsMenu();
    InitLibraryEditors();
    SchError(InitSheetLocalAnnotation());
    const SpiceLinkPreferences link = GetSpiceLinkPreferences();
    if (link.linkOn) {
        VXStaticMessage(kVXPlaceCentre, "Starting Simora Connection");
        SpiceCommSettings settings = link.settings;
        if (!link.differentComputer) settings.address = 0;
        SchError(EnableSpiceLink(&settings, link.differentComputer, link.differentComputer ? 3 : 1));
        VXStaticMessage(kVXPlaceCentre, nullptr);
    }
    gLastPrivateScrap = -1;
    if (!gPeriodicTimer) SchError(VXInstallTimerEx(kPeriodicTaskMs, 0, PeriodicTimerFired, 0, &gPeriodicTimer));
    InstallMenuBar(gStandardMenuBar);
    VXSetCursor(kArrowCursor);
    return 1;
}

void InitGlobals() {
    gPageBreakPat = 0xE1F0783C1E0F87C3ull;
    gNarrowVertPat = 0xAAAAAAAAAAAAAAAAull;
    gNarrowHorzPat = 0x00FF00FF00FF00FFull;
    gGenFlags |= 3;
    // The program's own file.
    char self[1024];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = 0;
    if (n <= 0 || FileSpecFromPathName(nullptr, self, &gApplSpec) != status::kNoErr) gApplSpec = FileSpec{};
    if (!gStandardMenuBar) {
        gStandardMenuBar = VXBuildMenuBar(&gDefaultMenuBarDef);
        gSymbolEditMenuBar = VXBuildMenuBar(&gGridMenuBarDef);
        gLibEditMenuBar = VXBuildMenuBar(&gLibEditMenuBarDef);
        // The New submenu's items carry the icons of the documents they make, in every bar.
        for (VXMenuBar* bar : {gStandardMenuBar, gSymbolEditMenuBar, gLibEditMenuBar}) {
            for (uint32_t i = 0; i < bar->count; ++i) {
                VXMenuRecord* menu = bar->menus[i];
                if (menu->menuID != 200) continue;
                if (VXMenuRecord* create = VXGetMenuItemChildMenu(menu, false, kCmdNewMenu)) {
                    VXSetMenuItemIcon(create, false, kCmdNewSheet, kSheetIcon);
                    VXSetMenuItemIcon(create, false, kCmdNewProject, kProjectIcon);
                    VXSetMenuItemIcon(create, false, kCmdNewLibrary, kLibEditorIcon);
                }
            }
        }
    }
    gZeroPoint = {0, 0};
    gZeroRect = {0, 0, 0, 0};
    gMaxViewScale = 1250;
    gSurfaceRect = kSurfaceRect;
    if (!gOffScreenWindow) gOffScreenWindow = VXCreateOffScreenWindow(nullptr, 0, nullptr);
    // The private clipboard, the property-name lists and the shortcut groups join here with the
    // sheet clipboard, the attribute editor and the shortcut groups.
}

void DisposeShellGlobals() {
    for (VXMenuBar** bar : {&gStandardMenuBar, &gSymbolEditMenuBar, &gLibEditMenuBar}) {
        VXDestroyMenuBar(*bar);
        *bar = nullptr;
    }
    gCurrMenuBar = nullptr;
    if (gOffScreenWindow) VXDestroyWindow(gOffScreenWindow);
    gOffScreenWindow = nullptr;
    if (gPeriodicTimer) VXKillTimer(gPeriodicTimer);
    gPeriodicTimer = nullptr;
}

void InstallMenuBar(VXMenuBar* bar) {
    if (bar == gCurrMenuBar) return;
    gCurrMenuBar = bar;
    VXSetCurrentMenuBar(bar);
}

void AppPeriodicTask() { UpdateSheetsWithDirtyChildSymbols(); }

int32_t QuitHandler() { return AttemptAppClosure(true); }

int32_t AttemptAppClosure(bool quitting) {
    if (!CloseAllSheets()) return 0;
    if (!VXCloseAllWindows()) return 0;
    if (!CloseProjectsWithoutWindows()) return 0;
    (void)SetCachedLibraryFile(0, -1);  // deselecting: a failed close is reported inside
    InvalidateLibDigestFile();
    SavePreferencesAndAccessPoints();
    DisableSpiceLink();
    if (quitting) {
        EndSockets();
        ReleaseClipboard();
    }
    return 1;
}

int32_t CloseAllSheets() {
    for (;;) {
        VXWindowRecordTag* window = nullptr;
        for (VXWindowRecordTag* w : VXTopLevelWindows()) {
            if (w->typeID == kSheetKind && VXIsWindowVisible(w, false)) {
                window = w;
                break;
            }
        }
        if (!window) return 1;
        const int32_t id = window->windowID;
        VXSendGoAway(window);
        if (VXGetWindowFromId(id)) return 0;
    }
}

}  // namespace plexa
