// Declarations shared by the sheet editor's modules that have no module of their own yet.
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


// Attribute editor.
struct AttributeEditor;

}  // namespace plexa
