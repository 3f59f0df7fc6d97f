// A gate drawn as a symbol of a sheet's symbol map, for pictures and benchmarks of sheets: a
// 30 x 40 body with two input pins at its left (8 and 22 below its top), an output bubble and an
// output pin at its right (15 below its top, ending 66 right of the symbol's position).
#pragma once

#include <cstdint>

#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa::test {

// The gate's symbol data with its texts in the block and its images in the list (a library
// item's, or a sheet's); null when memory fails. The caller frees the handle.
inline Handle GateSymbolData(StringBlock block, ImageList* images) {
    LinkListHeader* elements = CreateElementList(images);
    const Point pins[3][2] = {{{8, 0}, {8, 10}}, {{22, 0}, {22, 10}}, {{15, 66}, {15, 56}}};
    for (const auto& pin : pins)
        LLAppend(elements, BuildNodeElement(pin[0], pin[1], 1, 0, false, 0, false, 0, false, 0));
    LLAppend(elements, BuildCommonElement(kElementRect, {0, 10}, {30, 50}, 1, 0, 0, false, false, 0,
                                          false, 0, false));
    LLAppend(elements, BuildCommonElement(kElementOval, {12, 50}, {18, 56}, 1, 0, 0, false, false, 0,
                                          false, 0, false));
    LinkListHeader* texts = CreateTextList();
    Handle data = ElementsToSymbolData(elements, texts, nullptr, block, false, images);
    DestroyTextList(texts);
    DestroyElementList(elements);
    return data;
}

// The map id of the gate added to the sheet's symbol map; -1 when it cannot be made.
inline int32_t AddGateSymbolDefinition(SheetRecord* sheet) {
    Handle data = GateSymbolData(sheet->stringBlock, sheet->imageList);
    const int32_t id = data ? AddSymbolToMap(sheet->symbolMap, *data, int32_t(SizeOfHandle(data)),
                                             sheet->imageList)
                            : -1;
    if (data) MemFree(data);
    return id;
}

}  // namespace plexa::test
