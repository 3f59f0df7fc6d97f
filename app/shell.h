// The application shell: the editor's start-up and shutdown, its three menu bars and command
// table, and the preparation and dispatch of every menu command to the front document. Only app/
// and its tests include this.
//
//   startup.cpp      main's start-up hook, the initialisers, the globals, the quit path
//   menus.cpp        the menu definition tables
//   dispatch.cpp     PrepCommand, DoCommand, the front document, the selection info, the Window
//                    menu and the clipboard kind
//   commands.cpp     the command table: each command's rule and action, found by its id
//   commands_*.cpp   the rules and actions of each menu, its part of the table
//   opening.cpp      telling a file's kind from its content, and opening or printing it by its kind
//   closing.cpp      the error report, and the front sheet kept in step when a sheet closes
#pragma once

#include <cstdint>

#include "app/commands.h"
#include "foundation/filespec.h"
#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "sheeteditor/sheetclose.h"

namespace plexa {

struct LinkListHeader;
struct ProjectRecord;
struct SheetRecord;
struct SelectionSummary;
struct SymbolEditorRecord;
struct LibEditorRecord;
struct txStyle;
struct VXEventRecord;
struct VXMenuBar;
struct VXMenuBarDef;
struct VXMenuDef;
struct VXPrepCommandRecord;
struct VXWindowRecordTag;

// ---- Window kinds (the window record's typeID) ----

constexpr int16_t kNoDocumentKind = 0;
constexpr int16_t kModalInFrontKind = 1;
constexpr int16_t kSheetKind = 101;
constexpr int16_t kProjectKind = 102;
constexpr int16_t kLibEditorKind = 110;
constexpr int16_t kSymbolEditorKind = 111;
constexpr int16_t kSymbolEditorListKind = 112;
constexpr int16_t kECOLogKind = 120;
constexpr int16_t kMessageLogKind = 121;

// Window-menu icons.
constexpr int32_t kSheetIcon = 1001, kLibEditorIcon = 1002, kProjectIcon = 1003, kECOLogIcon = 261,
                  kMessageLogIcon = 2102;

// The message log window's record: the window, its owner (a sheet or a project) and the owner's
// kind (101 or 102). The owner links back to it (SheetRecord::logWindow, ProjectRecord::log).
struct LogWindowRecord {
    VXWindowRecordTag* window;
    void* owner;
    int16_t ownerKind;
    uint8_t keep;
};

// ---- Globals of the application ----

// Bit 0 of the second byte of gGenFlags: every menu item is disabled.
constexpr uint32_t kGenMenusOff = 0x100;

extern VXMenuBar* gStandardMenuBar;
extern VXMenuBar* gSymbolEditMenuBar;
extern VXMenuBar* gLibEditMenuBar;
extern VXMenuBar* gCurrMenuBar;
extern uint64_t gPageBreakPat, gNarrowVertPat, gNarrowHorzPat;
// The point with both coordinates -1 is the model's gMinusOnePoint.
extern Point gZeroPoint;
extern Rect gZeroRect;
extern int16_t gMaxViewScale;
extern const int16_t gGridSizeTable72[7];
extern const int16_t gGridSizeTable96[7];
extern Rect gSurfaceRect;
extern VXWindowRecordTag* gOffScreenWindow;
extern FileSpec gApplSpec;  // the program's own file

// The menu tables.
extern const VXMenuBarDef gDefaultMenuBarDef;
extern const VXMenuBarDef gGridMenuBarDef;
extern const VXMenuBarDef gLibEditMenuBarDef;
extern const VXMenuDef gNewFileMenuDef;
extern const VXMenuDef gColorsPopupMenuDef;
// The menus filled at run time: the recent files, the Export menu's scripts, the fonts.
extern const VXMenuDef gRecentFilesMenuDef;
extern const VXMenuDef gExportMenuDef;
extern const VXMenuDef gFontMenuDef;


// ---- Start-up and shutdown ----

int32_t AppStartup();
// The shell's part of the start-up, once the layers are put together: the core services, the
// quit hook, and the editor's services deferred while documents handed in wait.
void StartShell(bool wholeStartUp = false);  // true from the program's own start-up: the hooks are checked
void InitCoreServices();
OSStatus InitPools();
int32_t InitEditorServices();
void InitGlobals();
void InstallMenuBar(VXMenuBar* bar);
// Lets go of the menu bars, the off-screen window and the periodic timer (the menus themselves
// go with the toolkit's); for the end of a test.
void DisposeShellGlobals();
void AppPeriodicTask();
int32_t QuitHandler();
// 1 when the application may end, 0 when a sheet or window refused to close.
int32_t AttemptAppClosure(bool quitting);
// 1 when no sheet window is left, 0 when a close was refused.
int32_t CloseAllSheets();

// How many times the quit path wrote the preferences and the access points in this run (only
// once every window is closed).
int32_t PreferencesWriteCount();

// ---- Closing sheets ----

// Closes a sheet window for the shell (sheetclose.h: CloseSheetWindow).
OSStatus CloseSheetWindowOfShell(VXWindowRecordTag* window, int32_t mode);
// The shell's error report: nothing for 0, a cancel or while the application is inactive.
void SchError(OSStatus code);
// Closes every open project that has no window, asking about unsaved annotation (the project
// window closes its own); 1 when all are closed, 0 when one was kept (cancelled or failed).
int32_t CloseProjectsWithoutWindows();
// The kind of window that a Shift-Close closes; 0 when none.
extern int16_t gCloseAllWindowsKind;

// ---- Preparation and dispatch ----

int32_t PrepCommand(VXPrepCommandRecord* record);
int32_t DoCommand(VXWindowRecordTag* window, VXEventRecord* event);
// The front document's kind, with its record: 0 none, 1 a modal window, else the window's kind.
int16_t GetFrontWindowsDataRecord(SheetRecord** sheet, SymbolEditorRecord** editor,
                                  ProjectRecord** project, VXWindowRecordTag** window = nullptr);
// Fills the front document's selection summary.
void GetCurrentSelectionInfo(bool full);
// The project whose window this is (or whose window is its top parent), else none.
ProjectRecord* WindowToProject(VXWindowRecordTag* window);
// The message log of a window of kind 121, else none.
LogWindowRecord* WindowToLog(VXWindowRecordTag* window);

// The front document's selection summary (its edit state's), as GetCurrentSelectionInfo left it;
// an empty one while no sheet or symbol editor is the front document.
const SelectionSummary& FrontSelection();

// The Window menu.
struct WindowMenuEntry {
    VXWindowRecordTag* window;
    void* own;
    void* parent;
    char title[200];
    int32_t icon;
    int32_t group;
};
void PrepWindowMenu(VXWindowRecordTag* frontWindow, bool enable);
void DoWindowMenuCommand(uint16_t id);
int32_t CountWindowMenuEntries();
const WindowMenuEntry* GetWindowMenuEntry(int32_t index);

// The clipboard kind.
constexpr int16_t kScrapForeign = 0, kScrapPrivateClip = 1, kScrapText = 2, kScrapAttributes = 3,
                  kScrapLibItems = 4, kScrapPrivateClipFlagged = 5;
constexpr uint32_t kClipFlagReported = 0x40;
extern int16_t gCurrScrapType;
extern int64_t gLastPrivateScrap;
// The private clipboard's flags (its record comes with the sheet clipboard).
extern uint32_t gCurrClipFlags;
void ResetScrap(int16_t kind);
void RecordCurrentScrapRef();
int16_t GetScrapType();

// ---- The command table's rules and actions (commands.h) ----

// What the rules see of the front document.
struct FrontDocument {
    int16_t kind;
    VXWindowRecordTag* window;
    SheetRecord* sheet;
    SymbolEditorRecord* editor;
    ProjectRecord* project;
    bool modal;
};
FrontDocument CurrentFront();


// ---- Opening documents (opening.cpp) ----

// What a file holds, as its content tells.
enum class DocumentKind : uint8_t {
    kNone,              // nothing the editor knows: no dynamic file and no text
    kSheet,             // a dynamic file of type "SCH4"
    kProject,           // "PRJ4"
    kLibrary,           // "LIB4"
    kOtherDynamicFile,  // a dynamic file of another type (the preferences file among them)
    kOldSheet,          // a version-3.6 sheet (its leader's type "QSCM")
    kOldProject,        // a version-3.6 project (a dynamic file of type "QSPR")
    kOldLibrary,        // a version-3.6 library (its header's type "QLIB")
    kDatabase,          // an ASCII database file
    kLibraryDatabase,   // an ASCII database file of a library
    kReportScript,      // text named ".SXP"
    kText,              // any other text
};
// Tells the file's kind from its content; reads only. 0 with the type ("SCH4", "PRJ4", "LIB4",
// "QSCM", "QSPR", "QLIB", or "TEXT" for a database or a report script); 0x20002712 for another
// dynamic file (type empty); -128 for plain text (type "TEXT"); 0x20002AF8 for a file that is
// neither; a read failure as it came. Every output may be absent.
OSStatus AutoDetectFileType(const FileSpec* spec, FourCharCode* type, bool* isLibrary,
                            DocumentKind* kind = nullptr);
// Opens the file by its kind: a sheet in its window, a project, a library in its editor. What is
// not opened is said to the user (a version-3.6 document points at the converter). 0 when done,
// -128 when nothing was opened (the user has been told), or the detection's failure.
OSStatus OpenFileProcessor(const FileSpec* spec);
// Prints the file as File > Print does for its kind (with the print panel): a sheet, a project or
// a library, in its window, which closes again when it was not shown before. 0 when done, -128
// when nothing was printed (the user has been told why), or the detection's failure.
OSStatus PrintFileProcessor(const FileSpec* spec);
// Reports a failure of OpenFileProcessor naming the file, unless it is a cancel or a file of
// another kind (passed over in silence) or the application is in the background.
void ReportOpenFailure(const FileSpec* spec, OSStatus st);

// The project that the front document stands in: the project window's, or the front sheet's.
ProjectRecord* FrontProject(const FrontDocument& front);
// The sheet that the front document works on: the sheet, or the sheet of a symbol editor that
// edits one of its file symbols.
SheetRecord* FrontSheetOf(const FrontDocument& front);

}  // namespace plexa
