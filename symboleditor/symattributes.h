// The attribute editor as the symbol editor's dialogs and lists use it: the sheet editor's, reached
// through the symbol editor's hooks (symeditor.h); without them no editor is shown and nothing
// changes.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct VXWindowRecordTag;

void* SymbolEditorAttributeWindow(VXWindowRecordTag* parent, const Rect* rect, Handle source, int32_t start,
                                  int32_t count, StringBlock block, int32_t kind, bool visibilityColumn,
                                  bool readOnly);
void* SymbolEditorAttributePanel(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                                 StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly);
// Takes the editor's entries back into *target (a new list when it is none); true when they changed.
bool TakeSymbolEditorAttributes(void* editor, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                bool freeWhenEmpty);

}  // namespace plexa
