// Data contexts and field expansion: the chain of contexts through which the field references
// ("{name}") and back-quoted expressions of texts, frames and attribute values are expanded, and
// the expansion of a data string.
//
// The contexts themselves (built-in fields, attribute runs) are not kept yet: a chain is an empty
// list and expansion finds no reference, so every text shows its source as it is.
#pragma once

#include <cstdint>

#include "model/expression.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct ProjectRecord;

// An empty chain; null when out of memory.
DataContextChain* CreateDataCtxChain();
// Pops every context and frees the chain.
void DestroyDataCtxChain(DataContextChain* chain);
// Removes the top context and the group members under it; returns the new top (null: none).
void* PopDataCtxChain(DataContextChain* chain);
// A new chain for the sheet (and the project when given or the sheet's own).
DataContextChain* BuildSheetContextChain(SheetRecord* sheet, ProjectRecord* project);
// Pushes the symbol's contexts (onto a new sheet chain when none is given); returns the chain.
DataContextChain* BuildSymbolContextChain(DataContextChain* chain, SheetRecord* sheet,
                                          SymbolRecord* symbol, bool group);
// Pushes the pin's contexts (onto a new symbol chain when none is given); returns the chain.
DataContextChain* BuildPinContextChain(DataContextChain* chain, SheetRecord* sheet,
                                       SymbolRecord* symbol, int32_t pin, bool group);
// Expands the references of buffer[0 .. *length) in place within capacity bytes and updates
// *length (no terminator is added); 1 when the string held a reference or expression, else 0.
int32_t ExpandDataString(char* buffer, int32_t* length, int32_t capacity, DataContextChain* chain);

}  // namespace plexa
