// Opening sheets in windows: the window of a loaded sheet, opening a sheet file (or bringing the
// window of a sheet that is open already forward), opening the sheet of a hierarchy node in its
// context, and revealing the sheet symbol that stands for a node on its parent. Opening never loads
// a file twice: a file that is open in a window gives that window's sheet.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ProjectRecord;
struct SheetNode;
struct SheetRecord;
struct SheetWindowState;
struct VXWindowRecordTag;

// `OpenSchematicSheet` options.
constexpr uint32_t kOpenShowWindow = 1;    // show and select the window, note the recent file
constexpr uint32_t kOpenSetContext = 2;    // put the sheet into its project context
constexpr uint32_t kOpenDetectType = 4;    // bring the file's codes into line with its content first
constexpr uint32_t kOpenCheckSheet = 8;    // with 1: the sheet check when the preference asks for it
// The change kind a sheet whose sub-sheet flags were put right is marked modified with.
constexpr int32_t kSheetChangeFixedSubSheetFlags = 17;

// What opening needs of the application shell, the preferences, the simulator link and the sheet
// editor, installed by them. Without a hook the default beside it applies.
struct SheetOpenHooks {
    // Brings the file's type and creator codes into line with its content. Default: nothing.
    // Optional: the shell's file-type detection is not built yet; on this platform a file's kind
    // comes from its content and extension, so nothing is lost meanwhile.
    void (*detectFileType)(const FileSpec* file) = nullptr;
    // Adds the file to the recent-files menu under a type: a sheet shown in its window, and one
    // saved under a name of its own. Default: nothing.
    void (*addRecentFile)(const FileSpec* file, const char* type) = nullptr;
    // The preference to check sheets on opening. Default: off. Optional: the preferences are not
    // built yet, and off is their default.
    bool (*checkOnOpen)() = nullptr;
    // The sheet check and the report of its status. Default: nothing found, nothing shown.
    // Optional: the sheet check is not built yet and is only asked for with checkOnOpen.
    OSStatus (*checkSheet)(SheetRecord* sheet) = nullptr;
    void (*reportCheck)(OSStatus status) = nullptr;
    // Reports a failure to open the file, naming it. Default: VXOpenErrorReport.
    void (*report)(OSStatus status, const FileSpec* file) = nullptr;
    // Whether the sheet's node values are to be shown: the drawing option is on and the sheet is
    // linked to simulator data. Default: no. Optional: the drawing option belongs to the
    // simulator tool bar, which is not built yet; until then node values stay hidden.
    bool (*nodeValuesWanted)(SheetRecord* sheet) = nullptr;
    // Selects the symbol and scrolls it into view. Default: the symbol alone selected and its
    // top-left corner scrolled to. Optional: the sheet editor's selection is not built yet and the
    // default does what it will do.
    void (*revealSymbol)(SheetRecord* sheet, uint32_t serial) = nullptr;
};
void SetSheetOpenHooks(const SheetOpenHooks& hooks);
const SheetOpenHooks& GetSheetOpenHooks();

// Makes the sheet's window when it has none (applying the state when given) and returns it; the
// existing window when it has one; none when the window cannot be made.
VXWindowRecordTag* CreteWindowForSheet(SheetRecord* sheet, const SheetWindowState* state);
// Shows the sheet in its window, made for it when it has none; false when no window could be made.
bool ShowSheetInWindow(SheetRecord* sheet);
// Opens the file in a window, or takes the sheet already open in one. Failures are reported here;
// the result is none then and nothing is left loaded.
SheetRecord* OpenSchematicSheet(const FileSpec* file, uint32_t options);
// Opens the node's sheet (shown, its type detected, checked when asked) in the node's context;
// none for no node, a circular one, or a sheet file that is not found or does not open.
SheetRecord* OpenSheetContext(ProjectRecord* project, SheetNode* node, bool check);
// Opens the parent's sheet in its context and reveals the node's sheet symbol; false when that
// cannot be done.
bool RevealSubSheetsParentSymbol(ProjectRecord* project, SheetNode* node);

}  // namespace plexa
