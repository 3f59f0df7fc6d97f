// The sheet's kept set of its selected items, so that clearing, counting and bounding the
// selection cost what is selected, not what the whole sheet holds.
//
// One record per sheet (`SheetRecord::selectedItems`), made on the first question and freed with
// the sheet. It covers the six kinds of the sheet's index (model/sheetindex.h): symbols, texts,
// text frames and graphic elements by their selected flags, signals and busses by the selected
// marks they hold (a wire's selected flag, a signal's selected pin entry, a buss's selected
// terminal).
//
// The kept items of a kind are a superset of its selected ones: every path that sets a selected
// mark on an item of a sheet's list notes the item (NoteSheetItemSelected); clearing a mark needs
// no note, since every answer tests each kept item's marks again and drops those without. A kind's
// kept items are taken again from one walk of its list on the next question when the list was
// replaced, an item was linked, unlinked or reordered (its version moved), or the item-place clock
// moved (an edit), so an item that left the list is never offered. In builds with the sanitizers
// on, every answer is checked against the walk of the whole list and a difference stops the run.
#pragma once

#include <vector>

#include "model/sheetindex.h"

namespace plexa {

struct SheetRecord;
struct SheetSelectedItems;

// Whether the item of the kind carries a selected mark.
bool IsSheetItemSelected(SheetItemKind kind, void* item);

// Call after setting a selected mark on an item of the sheet's list of the kind (for a signal or
// a buss: on one of its wires, pins or terminals).
void NoteSheetItemSelected(SheetRecord* sheet, SheetItemKind kind, void* item);

// The items of the kind that carry a selected mark, in the order they were noted (after a walk,
// in list order). `out` is cleared first.
void SheetSelectedItemsOf(SheetRecord* sheet, SheetItemKind kind, std::vector<void*>* out);

// Marks were set by a walk of the whole lists (select all): every kind's kept items are taken
// again from its list on the next question.
void RetakeSheetSelectedItems(SheetRecord* sheet);

// Every mark of the kind on the sheet was cleared: its kept items go.
void ForgetSheetSelectedItems(SheetRecord* sheet, SheetItemKind kind);

void DestroySheetSelectedItems(SheetRecord* sheet);

// Test support: whether the kept items of every kind hold each selected item of its list (the
// answers then equal the walks of the flags).
bool SheetSelectedItemsInStep(SheetRecord* sheet);

}  // namespace plexa
