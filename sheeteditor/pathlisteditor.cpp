// The path list editor: rows of a list view over a copy of a search-path list.
#include "sheeteditor/pathlisteditor.h"

#include <cstring>
#include <string>

#include "files/project.h"
#include "files/projectlife.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tooltips.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr const char* kFlagToolTips[] = {"Search sub-folders", "Search for sheet files", "Search for library files",
                                         "Search for files included by scripts"};
constexpr int32_t kFlagIcons[] = {2051, 1001, 1002, 2052};
constexpr uint8_t kFlagBits[] = {kPathSearchSubFolders, kPathSheetFiles, kPathLibraryFiles, kPathScriptFiles};
constexpr const char* kKindChoices[] = {"Absolute", "Project Relative"};

PathListEditor* EditorOf(VXWindowRecordTag* window) {
    return window ? static_cast<PathListEditor*>(window->refCon) : nullptr;
}

bool IsProjectList(const PathListEditor* editor) {
    const PathListInfo* info = GetPathListInfo(editor->list);
    return info && info->ownerKind == kProjectOwnerKind;
}

int32_t SelectedCount(PathListEditor* editor) { return editor->rows ? VXCountListViewSelections(editor->rows) : 0; }
int32_t FirstSelected(PathListEditor* editor) { return editor->rows ? VXGetListViewSelection(editor->rows, 0) : -1; }

// The whole list view is drawn again.
void InvalRows(PathListEditor* editor) {
    if (!editor->rows) return;
    Rect r;
    VXGetClientRect(editor->rows, &r);
    VXInvalRect(editor->rows, &r);
}

// The rows again from the list, with the entry `selected` (none: no row) selected and revealed.
void ReloadRows(PathListEditor* editor, PathSpec* selected) {
    VXWindowRecordTag* rows = editor->rows;
    if (!rows) return;
    VXSetListViewDrawingEnabled(rows, false);
    VXDeleteListViewItemData(rows, 0, -1);
    int32_t chosen = -1, row = 0;
    for (auto* e = static_cast<PathSpec*>(LLFirst(editor->list)); e; e = e->next, ++row) {
        VXInsertListViewItemData(rows, -1, &e, 1);
        if (e == selected) chosen = row;
    }
    VXSetListViewDrawingEnabled(rows, true);
    if (chosen >= 0) {
        VXSetListViewItemSelected(rows, chosen, true);
        VXRevealListViewItem(rows, chosen, false);
    }
    InvalRows(editor);
    PathEditorSelectionChanged(editor);
}

Rect FlagCell(const Rect& row, int32_t column) {
    const int16_t left = int16_t(row.left + column * kPathFlagColumnWidth);
    return Rect{row.top, left, row.bottom, int16_t(left + kPathFlagColumnWidth)};
}

void DrawRow(PathListEditor* editor, VXWindowRecordTag* window, VXListViewHookRecord* record) {
    StdDrawHiliteEditListViewItem(window, record);
    PathSpec* entry = GetPathEditorEntry(editor, record->index);
    if (!entry) return;
    const Rect& row = record->rect;
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    for (int32_t c = 0; c < editor->flagColumns; ++c) {
        if (!(entry->flags & kFlagBits[c])) continue;
        const Rect cell = FlagCell(row, c);
        const int16_t v = int16_t((cell.top + cell.bottom) / 2), h = int16_t((cell.left + cell.right) / 2);
        const Rect dot = {int16_t(v - 3), int16_t(h - 3), int16_t(v + 3), int16_t(h + 3)};
        VXOvalDispatch(&dot, 1);
    }
    const bool project = IsProjectList(editor);
    const int16_t left = int16_t(row.left + editor->flagColumns * kPathFlagColumnWidth + 4);
    const int16_t right = int16_t(row.right - (project ? kPathKindPopupWidth : 0) - 2);
    char text[kStringSpecBufferSize];
    GetPathEditorRowText(editor, entry, text, sizeof text);
    VXTruncString(text, sizeof text, right - left, kTruncMiddle);
    const bool resolves = entry->directory >= 0 || ResolvePathSpec(editor->list, entry, nullptr);
    QZSetColor(nullptr, resolves ? kVXDefaultForeColor : kPathUnresolvedColor, false);
    VXMoveTo(left, row.bottom - 5);
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), 0x08000100);
    if (project) {
        // The popup arrow of the root kind.
        const int16_t h = int16_t(row.right - kPathKindPopupWidth / 2), v = int16_t(row.top + 7);
        QZSetColor(nullptr, kVXDefaultForeColor, false);
        for (int16_t i = 0; i < 4; ++i) {
            VXMoveTo(h - 3 + i, v + i);
            VXLineTo(int16_t(h + 3 - i), int16_t(v + i));
        }
    }
}

// Offers the root kinds at the row's popup arrow.
void TrackKindPopup(PathListEditor* editor, VXWindowRecordTag* window, int32_t row, Point where) {
    PathSpec* entry = GetPathEditorEntry(editor, row);
    if (!entry) return;
    VXWindowRecordTag* popup = VXCreatePopupListBox(0, 0, 2);
    if (!popup) return;
    for (int32_t i = 0; i < 2; ++i) VXAddListItem(popup, kVXPopupListBoxItem, kKindChoices[i], i);
    const bool resolves = ResolvePathSpec(editor->list, entry, nullptr);
    for (int32_t i = 0; i < 2; ++i) VXSetListItemEnabled(popup, kVXPopupListBoxItem, i, resolves);
    const int32_t current = entry->rootKind == kPathRootAbsolute ? 0 : 1;
    VXSetListItemMarkCode(popup, kVXPopupListBoxItem, current, 0x12);
    VXAutoSizePopupListBox(popup);
    VXTranslatePoints(window, nullptr, &where, 1);
    const int32_t chosen = VXTrackPopupListBox(popup, window, where, 0, current);
    VXDestroyWindow(popup);
    if (chosen >= 0 && chosen != current)
        SetPathEditorEntryKind(editor, row, chosen == 0 ? kPathRootAbsolute : kPathRootOwner);
}

int32_t RowsHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    PathListEditor* editor = EditorOf(window);
    if (!editor) return 0;
    if (message == kVXListDrawItem) {
        DrawRow(editor, window, record);
        return 1;
    }
    if (message != kVXListMouseDown || !record->event || record->index < 0) return 0;
    PathSpec* entry = GetPathEditorEntry(editor, record->index);
    if (!entry) return 0;
    Rect row;
    VXGetListViewItemRect(window, record->index, &row);
    const int16_t h = record->event->u.mouse.h;
    const int32_t column = (h - row.left) / kPathFlagColumnWidth;
    if (h >= row.left && column < editor->flagColumns) {
        entry->flags = uint8_t(entry->flags ^ kFlagBits[column]);
        editor->changed = true;
        VXInvalListViewItem(window, record->index);
        return kVXListClickHandled;
    }
    if (IsProjectList(editor) && h >= row.right - kPathKindPopupWidth) {
        TrackKindPopup(editor, window, record->index, Point{row.bottom, int16_t(row.right - kPathKindPopupWidth)});
        return kVXListClickHandled;
    }
    return 0;
}

int32_t RowsHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PathListEditor* editor = EditorOf(window);
    if (!editor) return 0;
    if (event->kind == kVXDestroyEvent) {
        if (editor->rows == window) editor->rows = nullptr;
        return 0;
    }
    if (event->kind != kVXControlEvent || event->u.control.controlType != kVXListBox) return 0;
    PathEditorSelectionChanged(editor);
    if (event->u.control.values.listBox.second && SelectedCount(editor) == 1) AskChangePathEditorPath(editor, 0);
    return 1;
}

int32_t HeaderHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PathListEditor* editor = EditorOf(window);
    if (!editor) return 0;
    if (event->kind == kVXDestroyEvent) {
        if (editor->header == window) editor->header = nullptr;
        return 0;
    }
    if (event->kind != kVXUpdateEvent) return 0;
    VXSetWindow(window);
    auto header = static_cast<VXColumnHeaderRecord>(editor->columns);
    VXDrawColumnHeader(header);
    for (int16_t c = 0; c < editor->flagColumns; ++c) {
        Rect cell;
        if (!VXGetColumnCellRect(header, c, &cell)) continue;
        const int16_t v = int16_t((cell.top + cell.bottom) / 2), h = int16_t((cell.left + cell.right) / 2);
        const Rect icon = {int16_t(v - 8), int16_t(h - 8), int16_t(v + 8), int16_t(h + 8)};
        VXDrawIcon(kFlagIcons[c], &icon, 0);
    }
    return 1;
}

// Tool tips over the flag columns of the header band.
void CreateColumnHeaderToolTip(PathListEditor* editor) {
    for (int16_t c = 0; c < editor->flagColumns; ++c) {
        const LRect r = {0, c * kPathFlagColumnWidth, kPathHeaderHeight, (c + 1) * kPathFlagColumnWidth};
        VXAddToolTip(editor->header, -1, kVXRectToolTip, &r, 0, kFlagToolTips[c]);
    }
}

void SetButton(PathListEditor* editor, int16_t item, bool enabled) {
    if (item) VXSetItemEnabled(editor->host, item, enabled);
}

}  // namespace

PathSpec* GetPathEditorEntry(PathListEditor* editor, int32_t row) {
    if (!editor || !editor->rows || row < 0 || row >= VXCountListViewItems(editor->rows)) return nullptr;
    PathSpec* entry = nullptr;
    VXGetListViewItemData(editor->rows, row, &entry);
    return entry;
}

void GetPathEditorRowText(PathListEditor* editor, PathSpec* entry, char* out, int32_t size) {
    char path[kStringSpecBufferSize];
    GetPathSpecPath(editor->list, entry, path, sizeof path);
    const char* shown = std::strncmp(path, "./", 2) == 0 ? path + 2 : path;
    std::string text;
    if (entry->rootKind != kPathRootAbsolute) {
        text = entry->rootKind == kPathRootOwner && IsProjectList(editor) ? "{Project}" : "{App}";
        text += "/";
    }
    text += shown;
    StrNCpy(out, size_t(size), text.c_str(), int16_t(std::min<size_t>(text.size(), size_t(size - 1))));
}

PathListEditor* CreatePathListEditor(VXWindowRecordTag* window, const Rect* rect, PathSpecList* list,
                                     const char* caption, int16_t changeItem, int16_t deleteItem, int16_t upItem,
                                     int16_t downItem) {
    if (!window || !rect || !list) return nullptr;
    auto* editor = reinterpret_cast<PathListEditor*>(AllocPtrClear(nullptr, sizeof(PathListEditor)));
    if (!editor) return nullptr;
    editor->host = window;
    editor->changeItem = changeItem;
    editor->deleteItem = deleteItem;
    editor->upItem = upItem;
    editor->downItem = downItem;
    editor->list = DuplicatePathSpecList(list, true);
    if (!editor->list) {
        DestroyPathListEditor(editor);
        return nullptr;
    }
    editor->flagColumns = int16_t(IsProjectList(editor) ? 4 : 1);
    const Rect band = {rect->top, rect->left, int16_t(rect->top + kPathHeaderHeight), rect->right};
    const Rect rowsRect = {band.bottom, rect->left, rect->bottom, rect->right};
    const Rect local = {0, 0, kPathHeaderHeight, int16_t(rect->right - rect->left)};
    auto header = VXCreateColumnHeader(nullptr, &local);
    editor->columns = header;
    for (int16_t c = 0; c < editor->flagColumns && header; ++c)
        VXAddHeaderColumnEx(header, uint16_t(c * kPathFlagColumnWidth), "", 0);
    if (header) VXAddHeaderColumnEx(header, uint16_t(editor->flagColumns * kPathFlagColumnWidth), caption, 0);
    editor->header = VXCreateChildWindow(0, 0, 0, window, &band, editor, HeaderHandler);
    editor->rows = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, window, &rowsRect, editor, RowsHandler);
    if (!header || !editor->header || !editor->rows) {
        DestroyPathListEditor(editor);
        return nullptr;
    }
    VXInstallListView(editor->rows, nullptr, kPathRowHeight, sizeof(PathSpec*), kVXListMultiSelect, RowsHook);
    CreateColumnHeaderToolTip(editor);
    VXShowWindow(editor->header);
    VXShowWindow(editor->rows);
    ReloadRows(editor, nullptr);
    return editor;
}

void DestroyPathListEditor(PathListEditor* editor) {
    if (!editor) return;
    for (VXWindowRecordTag** view : {&editor->header, &editor->rows})
        if (VXWindowRecordTag* window = *view) {
            window->refCon = nullptr;
            *view = nullptr;
            VXDestroyWindow(window);
        }
    if (editor->columns) VXDestroyColumnHeader(static_cast<VXColumnHeaderRecord>(editor->columns));
    if (editor->list) DestroyPathSpecList(editor->list);
    MemFreePtr(reinterpret_cast<Ptr>(editor));
}

bool SavePathListEditorPaths(PathListEditor* editor, PathSpecList* list) {
    if (!editor || !list) return false;
    return CopyPathSpecEntries(list, editor->list, GetPathListStringBlock(editor->list), GetPathListStringBlock(list));
}

void ValidatePathEditorPaths(PathListEditor* editor) {
    if (!editor) return;
    for (auto* e = static_cast<PathSpec*>(LLFirst(editor->list)); e; e = e->next) {
        e->directory = -1;
        ResolvePathSpec(editor->list, e, nullptr);
    }
    InvalRows(editor);
}

void PathEditorSelectionChanged(PathListEditor* editor) {
    if (!editor) return;
    const int32_t count = SelectedCount(editor);
    const int32_t first = FirstSelected(editor);
    const int32_t rows = editor->rows ? VXCountListViewItems(editor->rows) : 0;
    SetButton(editor, editor->changeItem, count == 1);
    SetButton(editor, editor->deleteItem, count > 0);
    SetButton(editor, editor->upItem, count == 1 && first > 0);
    SetButton(editor, editor->downItem, count == 1 && first < rows - 1);
}

bool AskSelectFolder(PathSpecList* list, PathSpec* entry, uint32_t panelOption, DirectoryRef* outFolder) {
    DirectoryRef folder{};
    uint32_t flags = panelOption & kVXPanelCreateFolders;
    if (list && entry && ResolvePathSpec(list, entry, &folder)) flags |= kVXPanelStartInFolder;
    if (RunChooseFolderPanel(kChooseFolderTitle, flags, &folder, kChooseFolderButton) != status::kNoErr) return false;
    *outFolder = folder;
    return true;
}

bool AskAddPathEditorPath(PathListEditor* editor, uint32_t panelOption, uint8_t flags) {
    if (!editor) return false;
    DirectoryRef folder{};
    if (!AskSelectFolder(nullptr, nullptr, panelOption, &folder)) return false;
    const int32_t before = int32_t(editor->list->count);
    const uint8_t kinds = uint8_t(flags & kPathFileKinds);
    PathSpec* found = FindPathSpec(editor->list, &folder, false);
    const uint8_t kindsBefore = found ? found->flags : 0;
    PathSpec* entry = AddPathSpecToList(editor->list, &folder, kPathRootDefault, flags, false);
    if (!entry) {
        VXBeep();
        return false;
    }
    if (int32_t(editor->list->count) != before) {
        if (editor->rows) VXSetListViewItemSelected(editor->rows, -1, false);
        editor->changed = true;
        ReloadRows(editor, entry);
        return true;
    }
    if ((kindsBefore | kinds) != kindsBefore) {
        editor->changed = true;
        ReloadRows(editor, entry);
        return true;
    }
    return false;
}

bool AskChangePathEditorPath(PathListEditor* editor, uint32_t panelOption) {
    if (!editor || SelectedCount(editor) != 1) return false;
    PathSpec* entry = GetPathEditorEntry(editor, FirstSelected(editor));
    DirectoryRef folder{};
    if (!entry || !AskSelectFolder(editor->list, entry, panelOption, &folder)) return false;
    if (SetPathSpecFromDir(editor->list, entry, &folder, entry->rootKind) < 0) {
        VXBeep();
        return false;
    }
    ResolvePathSpec(editor->list, entry, nullptr);
    editor->changed = true;
    ReloadRows(editor, entry);
    return true;
}

void DeletePathEditorPath(PathListEditor* editor) {
    if (!editor || SelectedCount(editor) == 0) return;
    for (int32_t row = VXCountListViewItems(editor->rows) - 1; row >= 0; --row) {
        if (!VXGetListViewItemSelected(editor->rows, row)) continue;
        if (PathSpec* entry = GetPathEditorEntry(editor, row)) LLRemoveOrFree(editor->list, entry, nullptr, true);
    }
    editor->changed = true;
    ReloadRows(editor, nullptr);
}

void AdjustPathEditorPathPosition(PathListEditor* editor, int32_t direction, bool toEnd) {
    if (!editor || SelectedCount(editor) != 1 || direction == 0) return;
    const int32_t row = FirstSelected(editor);
    const int32_t count = VXCountListViewItems(editor->rows);
    int32_t to = toEnd ? (direction < 0 ? 0 : count - 1) : row + (direction < 0 ? -1 : 1);
    if (to < 0 || to >= count || to == row) return;
    PathSpec* entry = GetPathEditorEntry(editor, row);
    LLRemoveOrFree(editor->list, entry, nullptr, false);
    LLInsertAt(editor->list, to, entry);
    editor->changed = true;
    VXSetListViewItemSelected(editor->rows, -1, false);
    ReloadRows(editor, entry);
}

bool SetPathEditorEntryKind(PathListEditor* editor, int32_t row, uint8_t rootKind) {
    PathSpec* entry = GetPathEditorEntry(editor, row);
    DirectoryRef folder{};
    if (!entry || !ResolvePathSpec(editor->list, entry, &folder)) {
        VXBeep();
        return false;
    }
    if (entry->rootKind == rootKind) return true;
    const uint8_t oldKind = entry->rootKind;
    const StringSpec oldPath = entry->path;
    const int32_t stored = SetPathSpecFromDir(editor->list, entry, &folder, rootKind);
    if (stored != rootKind) {
        // The kind cannot be kept: the entry goes back to what it was.
        entry->rootKind = oldKind;
        entry->path = oldPath;
        entry->directory = -1;
        ResolvePathSpec(editor->list, entry, nullptr);
        VXBeep();
        return false;
    }
    ResolvePathSpec(editor->list, entry, nullptr);
    editor->changed = true;
    VXInvalListViewItem(editor->rows, row);
    return true;
}

bool HandlePathListEditorButton(PathListEditor* editor, int16_t item, bool shift) {
    if (!editor || item <= 0) return false;
    if (item == editor->changeItem) {
        AskChangePathEditorPath(editor, 0);
    } else if (item == editor->deleteItem) {
        DeletePathEditorPath(editor);
    } else if (item == editor->upItem) {
        AdjustPathEditorPathPosition(editor, -1, shift);
    } else if (item == editor->downItem) {
        AdjustPathEditorPathPosition(editor, 1, shift);
    } else {
        return false;
    }
    return true;
}

}  // namespace plexa
