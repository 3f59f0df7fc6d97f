// Functions of the symbol editor that later work provides: the window calls them now and they do
// the least until then.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct LibSection;
struct SymbolEditorRecord;
struct TextRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXWindowRecordTag;

}  // namespace plexa
