// The project window: a narrow window with the tree of the project's sheets (top-level sheets, and
// below each sheet its sub-sheet instances). From it the user opens sheets in their hierarchy
// context, removes top-level sheets and selects rows. The tree view shows the project's
// hierarchy (`ProjectRecord::hierarchy`); its rows carry the hierarchy's nodes and the nodes keep
// the rows' states (expanded, selected), so that a rebuild of the hierarchy keeps them.
#pragma once

#include <cstdint>

namespace plexa {

struct HierarchyHooks;
struct ProjectOpenHooks;
struct ProjectRecord;
struct ProjectServices;
struct SheetNode;
struct FileSpec;
struct VXEventRecord;
struct VXMenuRecord;
struct VXWindowRecordTag;

constexpr int16_t kProjectWindowKind = 102;
constexpr int16_t kProjectRowHeight = 19;
constexpr int16_t kProjectIndent = 18;

// A project window just shown that stands where another project window stands (a new one, or
// one back at the place it kept) moves one step down and to the left, and on, until it stands
// alone; past the bottom of the screen it starts again at the top.
void StaggerProjectWindow(VXWindowRecordTag* window);
// The project's window, made when it has none (hidden until opening the project shows it); none
// when it cannot be made.
VXWindowRecordTag* CreateProjectWindow(ProjectRecord* project);
// The project of a project window (or of one of its panes), none for any other window.
ProjectRecord* ProjectOfWindow(VXWindowRecordTag* window);
// Rebuilds the rows from the project's hierarchy, keeping the nodes' states.
void SyncProjectTree(ProjectRecord* project);
// One of `count` files dropped on the window (index from 0): a sheet file becomes a top-level
// sheet; after the last one the project is written once when any was added.
void AddDroppedFileToProject(ProjectRecord* project, const char* path, int32_t index, int32_t count);
// The popup of a row: its file's path and Open when the file is found, Show Parent for a
// sub-sheet, Remove for a top-level sheet; the choice arrives at the window as a command.
void TrackTreeNodePopup(ProjectRecord* project, int32_t row);
// The rename dialog for the first selected row (a top-level one): a name of at most 31 characters,
// typed or taken from a chosen sheet file; true when the sheet was renamed.
bool RenameSelectedTopLevelSheet(ProjectRecord* project);
// Opens every selected row's sheet in its context; beeps once when any failed.
void OpenSelectedSheets(ProjectRecord* project);
// Whether a selected row is a top-level row; *unresolved when such a row's sheet file is missing.
bool IsTopLevelSheetSelected(VXWindowRecordTag* window, bool* unresolved);
// The tree's nodes take the rows' expansion and selection.
void StoreRowStates(ProjectRecord* project);
// The number of rows, and of selected rows.
int32_t CountProjectRows(ProjectRecord* project);
int32_t CountSelectedProjectRows(ProjectRecord* project);
// The node's outermost ancestor (the node itself at the top level).
SheetNode* GetTopLevelAncestor(SheetNode* node);
// The menu of the file's name and, for a path of 1 to 400 characters, its enclosing folders from
// the innermost outward.
VXMenuRecord* BuildFilePathMenu(const FileSpec* file);
// The ideal height of a window of that many rows.
int16_t ProjectWindowIdealHeight(int32_t rows);

int32_t ProjectWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

// Asks whether to save a project's annotation changes on closing, naming the project by its
// window's title: 1 save, 0 don't, kUserCancelled.
int32_t AskSaveProjectOnClose(ProjectRecord* project);
// Puts the project window in the project's tables: making, freeing and measuring it, the tree's
// drawing around a build and its redraw.
void AddProjectWindowHooks(ProjectServices& services, ProjectOpenHooks& open, HierarchyHooks& hierarchy);

}  // namespace plexa
