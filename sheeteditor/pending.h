// Calls into parts of the sheet editor that are being written beside this one: each is declared
// with its final name and signature and has the least body until its own module replaces it.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/signals.h"

namespace plexa {

struct BussRecord;
struct ElementRecord;
struct LinkListHeader;
struct SheetRecord;
struct SignalRecord;
struct WireRecord;
struct SymbolRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

void ClearBrowserKeySelection(SheetRecord* sheet);
bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add);

// Attribute editor.
struct AttributeEditor;

}  // namespace plexa
