// The list tabs of the symbol editor: Names, Packages, Pins and Hidden Pins show the library item
// being edited as rows whose cells are edited in place, and every committed cell goes straight
// into the item (marking it modified). This module owns the rows of each tab (the Pins tab's pin
// list, one entry per pin of every section and per hidden pin of the current pin set, in the sort
// order of `gPinListSortField`), the commit of a cell, the new-entry row, deleting rows, the pin
// type and default package commands, and the flush that tidies the item when the tab is left.
//
// The flush keeps what the user typed: a package or hidden pin row is dropped only when every one
// of its fields is empty, so a footprint typed without a package name, or a hidden pin's number
// typed before its name, is never lost by switching tabs.
//
// The list view of a tab (toolkit/vx_listview.h, set up by symtools) shows these rows; its row
// records are row indexes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct LibSection;
struct SymbolEditorRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXWindowRecordTag;

// The size of a cell's text buffer.
constexpr int32_t kSymListCellSize = 256;
// Pin fields (the Pins tab and its sort keys).
constexpr int32_t kPinFieldNumber = 1, kPinFieldName = 2, kPinFieldType = 3, kPinFieldSlot = 4;
// Fields of the other tabs' cells: Names 1 the name; Packages 1 the name, 2 the footprint;
// Hidden Pins 1 the number, 2 the name, 3 the signal name.
constexpr int32_t kListFieldName = 1, kPackageFieldName = 1, kPackageFieldFootprint = 2,
                  kHiddenFieldNumber = 1, kHiddenFieldName = 2, kHiddenFieldSignal = 3;
// No more package rows are offered once the item has this many.
constexpr int32_t kMaxListPackages = 250;
// Commands of the pin type and default package menus: the first id, type or package 0.
constexpr uint16_t kListMenuFirstCommand = 7901;
// The Pins tab's columns map to fields: "Slot", "Pin Type", "Pin Number", "Pin Name".
extern const int32_t gPinFieldMap[4];

// The sort keys of the Pins tab, most significant first (0 unused), shared by all editors.
extern int32_t gPinListSortField[4];
// Makes the field the first key, keeping the others in their order. An empty table is first
// filled as if fields 2, 1, 3 and 4 had been chosen in turn.
void SetPinListSortField(int32_t field);

// A row of the Pins tab: a pin of a section (by its index in its symbol definition), or a hidden
// pin of the current pin set (no section, its index among them).
struct PinListEntry {
    LibSection* section;
    int32_t pin;
};
// Rebuilds the Pins tab's rows for the editor's current pin set, sorted.
void BuildPinListEditArray(SymbolEditorRecord* editor);
// The rows built last (empty before the first build); freed with FreePinListEditArray.
const std::vector<PinListEntry>& GetPinListEditArray(const SymbolEditorRecord* editor);
void FreePinListEditArray(SymbolEditorRecord* editor);
// The order of two rows under the sort keys: below 0 when a comes first.
int32_t PinListViewSortProc(SymbolEditorRecord* editor, const PinListEntry& a, const PinListEntry& b);
// The pin data id of a Pins row (0xFFFFFFFF for no such row); the entry and the definition index
// (-1 for a hidden pin) when asked.
uint32_t GetPinListDataId(SymbolEditorRecord* editor, int32_t row, PinListEntry* entry, int32_t* definition);
// Gives the row's pin a copy of its pin data with the type (-1 keeps it) and the name (none keeps
// it): for a section's pin the change reaches every section using that definition pin. The rows
// to redraw go to `changedRows` when given. False when nothing changed.
bool ChangeLibItemPinData(SymbolEditorRecord* editor, int32_t row, int32_t type, const char* name,
                          std::vector<int32_t>* changedRows = nullptr);

// ---- Rows of the current tab (the editor's current tab) ----

int32_t CountSymbolEditorListRows(SymbolEditorRecord* editor);
// A cell's text into a buffer of kSymListCellSize bytes.
void GetSymbolEditorListText(SymbolEditorRecord* editor, int32_t row, int32_t field, char* text);
// Commits a typed cell: the text is trimmed and an unchanged one does nothing. False when it is
// refused (an empty pin number, or an empty hidden pin name in the Pins tab): the cell keeps its
// old text.
bool CommitSymbolEditorListText(SymbolEditorRecord* editor, int32_t row, int32_t field, const char* text);
// Adds an empty entry and row when the tab has none or its last row is not empty (Names,
// Packages and Hidden Pins; no more packages past kMaxListPackages).
void CreateNewListEntryIfNeeded(SymbolEditorRecord* editor);
// Deletes rows of Names, Packages or Hidden Pins (indexes of the rows as they are), then restores
// the new-entry row.
void DeleteSymbolEditorListRows(SymbolEditorRecord* editor, std::vector<int32_t> rows);
// Makes the name row the primary one; false when it was already.
bool SetDefaultItemName(SymbolEditorRecord* editor, int32_t row);
// A command of the type menu (Pins) or the default package menu (Names) opened on `row`: the
// targets are that row alone, or every selected row when the row is one of two or more selected.
// False when the command is not one of the tab's or changed nothing.
bool DoSymbolEditorListCommand(SymbolEditorRecord* editor, uint16_t command, int32_t row,
                               const std::vector<int32_t>& selected);
// The cell being edited (in the tab's list view when it has one) is committed first: 0 when that
// is refused. Then the item is tidied: empty names and the rows of packages and hidden pins with
// every field empty are dropped, the primary name is stored first and the title updated. With
// keepRows the new-entry row is restored. 1 otherwise.
int32_t FlushSymbolEditorList(SymbolEditorRecord* editor, bool keepRows);

// ---- The list view ----

constexpr uint16_t kPinAttributesTemplate = 1037;
constexpr int16_t kPinAttributesListItem = 3;
// The attributes of the first selected (else the edited) hidden pin, in a dialog; OK with a change
// gives the pin its changed pin data.
void EditHiddenPinAttributes(SymbolEditorRecord* editor);
int32_t PinAttributesDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

// The grey lines of a list row: along its bottom and at each column position (from the row's left).
void DrawListRowGrid(const Rect& row, std::span<const int16_t> columns);
inline void DrawListRowGrid(const Rect& row, std::initializer_list<int16_t> columns) {
    DrawListRowGrid(row, std::span<const int16_t>(columns.begin(), columns.size()));
}

// Pops up a menu of the texts at a point of the window (its commands firstCommand + index, the
// item `checked` checked); the command chosen, 0 when none.
uint16_t TrackListPopupMenu(VXWindowRecordTag* window, Point where, const char* title, uint16_t firstCommand,
                            const std::vector<std::string>& items, int32_t checked);
// The pin types a pin of the type value may take (the first four for a bus pin), by name.
std::vector<std::string> PinTypeNames(uint8_t typeValue);

// The list view window showing the editor's rows (none: nullptr); it is known by its id, so a
// window gone before the editor forgets it is not used.
void SetSymbolEditorListWindow(SymbolEditorRecord* editor, VXWindowRecordTag* list);
// The editor whose rows a list view window shows; nullptr for none.
SymbolEditorRecord* SymbolEditorOfList(VXWindowRecordTag* window);
// The list view's rows follow the tab's rows.
void RefreshSymbolEditorList(SymbolEditorRecord* editor);

}  // namespace plexa
