// The attribute editor as the symbol editor's dialogs and lists use it: the sheet editor's, reached
// through the symbol editor's hooks (symeditor.h); without them no editor is shown and nothing
// changes.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

void* SymbolEditorAttributeWindow(VXWindowRecordTag* parent, const Rect* rect, Handle source, int32_t start,
                                  int32_t count, StringBlock block, int32_t kind, bool visibilityColumn,
                                  bool readOnly);
void* SymbolEditorAttributePanel(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                                 StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly);
// Tab out of the editor goes to the dialog's item `next`, Shift-Tab to `previous`.
void SetSymbolEditorAttributeNavigation(void* editor, VXWindowRecordTag* dialog, uint16_t next, uint16_t previous);
// A tab-out event of the dialog taken into the editor (from item `previous` to its first row's
// name, back from item `next` to its last row's value): 1 when taken.
int32_t NavigateIntoSymbolEditorAttributes(void* editor, const VXEventRecord* tabOut);
// Starts editing the row of the attribute that an attribute text shows ({name} or {@name}) in an
// editor over `count` attributes of `list` from byte `start`; false when the text names none of
// them or no editor is shown.
bool EditSymbolEditorAttributeOfText(void* editor, const TextRecord* text, StringBlock block, Handle list,
                                     int32_t start, int32_t count);
// Starts editing the name of the editor's row (its shown rows counted from 0); false when it cannot.
bool EditSymbolEditorAttributeRow(void* editor, int32_t row);
// The row an attribute editor shows the attribute named `name` in (attributes whose names begin
// with "~" have none), -1 when none.
int32_t SymbolEditorAttributeRow(StringBlock block, Handle list, int32_t start, int32_t count, const char* name);
// Takes the editor's entries back into *target (a new list when it is none); true when they changed.
bool TakeSymbolEditorAttributes(void* editor, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                bool freeWhenEmpty);

}  // namespace plexa
