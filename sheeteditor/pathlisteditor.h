// The path list editor: a search-path list shown as rows of a list view under a column header,
// with a column of dots per flag (search sub-folders; for a project's list also sheet, library
// and script files) and the entry's path, and the buttons of its host window that change, delete
// and move entries. The editor works on a copy of the list that shares the list's info record;
// `SavePathListEditorPaths` puts the edited entries back.
//
// This module owns the editor record, its copy of the list and its two child windows (the header
// band and the list view).
#pragma once

#include <cstdint>

#include "files/pathspec.h"
#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;

constexpr int16_t kPathFlagColumnWidth = 22;
constexpr int16_t kPathHeaderHeight = 17;
constexpr int16_t kPathRowHeight = 18;
constexpr int16_t kPathKindPopupWidth = 16;
// Rows of entries that do not resolve.
constexpr uint32_t kPathUnresolvedColor = 0x1FF0000;
constexpr const char* kProjectPathsCaption = "File Search Paths";
constexpr const char* kLibraryPathsCaption = "Library Search Paths";
constexpr const char* kChooseFolderTitle = "Choose a Folder";
constexpr const char* kChooseFolderButton = "Select";

struct PathListEditor {
    VXWindowRecordTag* host;    // the window that holds the editor and its buttons
    VXWindowRecordTag* header;  // the column header band
    VXWindowRecordTag* rows;    // the list view; one row per entry, its data the entry
    void* columns;              // the column header record
    PathSpecList* list;         // the editor's copy, sharing the info of the list edited
    int16_t changeItem, deleteItem, upItem, downItem;
    int16_t flagColumns;        // 1, or 4 for a project's list
    bool changed;
};

// Makes the editor in the window at the rectangle over a copy of the list; none when memory runs
// out or a window cannot be made. The button items (0: none) are enabled as the selection allows.
PathListEditor* CreatePathListEditor(VXWindowRecordTag* window, const Rect* rect, PathSpecList* list,
                                     const char* caption, int16_t changeItem, int16_t deleteItem,
                                     int16_t upItem, int16_t downItem);
void DestroyPathListEditor(PathListEditor* editor);
// Replaces the list's entries by copies of the editor's, in order; false when memory runs out.
[[nodiscard]] bool SavePathListEditorPaths(PathListEditor* editor, PathSpecList* list);

// Resolves every entry afresh, so that missing folders show in red.
void ValidatePathEditorPaths(PathListEditor* editor);
// Enables the host's buttons for the selection.
void PathEditorSelectionChanged(PathListEditor* editor);
// Asks for a folder and adds it (kind -1, the flags); a new entry's row is selected alone and
// revealed. True when the list changed.
bool AskAddPathEditorPath(PathListEditor* editor, uint32_t panelOption, uint8_t flags);
// Asks for the selected entry's folder again; the entry keeps its kind.
bool AskChangePathEditorPath(PathListEditor* editor, uint32_t panelOption);
// The folder panel, starting at the entry's folder when it resolves; false when cancelled.
bool AskSelectFolder(PathSpecList* list, PathSpec* entry, uint32_t panelOption, DirectoryRef* outFolder);
// Deletes every selected row and its entry.
void DeletePathEditorPath(PathListEditor* editor);
// Moves the selected entry one place (direction -1 up, +1 down) or, with toEnd, to the top or
// bottom; it stays selected and revealed.
void AdjustPathEditorPathPosition(PathListEditor* editor, int32_t direction, bool toEnd);
// Re-stores the row's folder with the root kind (absolute or project-relative); false (with the
// alert sound) when the entry does not resolve or the kind cannot be kept.
bool SetPathEditorEntryKind(PathListEditor* editor, int32_t row, uint8_t rootKind);
// The host's control event for one of the editor's buttons (Shift moves to the end); false for
// any other item.
bool HandlePathListEditorButton(PathListEditor* editor, int16_t item, bool shift);

// The text a row shows for an entry: "{Project}/" or "{App}/" in front of a relative path, a
// leading "./" taken off.
void GetPathEditorRowText(PathListEditor* editor, PathSpec* entry, char* out, int32_t size);
PathSpec* GetPathEditorEntry(PathListEditor* editor, int32_t row);

}  // namespace plexa
