// What the wire drags, the buss drags and the stretching share; see dragshared.h.
#include "sheeteditor/dragshared.h"

#include <algorithm>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/busses.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

bool IsOrthogonalOrient(int32_t d) { return IsOrientHorizontal(d) || IsOrientVertical(d); }

}  // namespace

std::vector<TextRecord*> TakeWireLabels(SheetRecord* sheet, void* owner, int32_t kind,
                                        WireHandle wire, Rect* area) {
    std::vector<TextRecord*> labels;
    const uint16_t textKind = kind == kWireOwnerBuss ? kTextKindBuss : kTextKindSignal;
    void* previous = nullptr;
    for (void* item = LLFirst(sheet->textList); item;) {
        void* next = LLGetNext(sheet->textList, item);
        auto* text = static_cast<TextRecord*>(item);
        int32_t segment = -1;
        if (text->kind == textKind && text->owner == reinterpret_cast<intptr_t>(owner) &&
            (!wire || GetWireFromWireLabel(text, &segment) == wire)) {
            AddToUpdateRect(area, text->bounds);
            LLRemoveOrFree(sheet->textList, text, previous, false);
            labels.push_back(text);
        } else {
            previous = item;
        }
        item = next;
    }
    return labels;
}
void PutWireLabelsBack(SheetRecord* sheet, const std::vector<TextRecord*>& labels) {
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) LLPush(sheet->textList, *it);
}

Point PinSheetPoint(SheetRecord* sheet, Point pt, bool snap) {
    const Rect& b = sheet->sheetBounds;
    if (b.right > b.left && b.bottom > b.top) {
        pt.h = std::clamp(pt.h, b.left, b.right);
        pt.v = std::clamp(pt.v, b.top, b.bottom);
    }
    return snap ? SnapToSheetGrid(sheet, pt) : pt;
}

void InvalSheetArea(SheetRecord* sheet, const Rect& area, int16_t grow) {
    if (!sheet->window || area.bottom <= area.top || area.right <= area.left) return;
    Rect r = area;
    VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
    VXInvalRect(sheet->window, &r);
}

void CleanupOwnerWires(void* owner, int32_t kind) {
    if (!owner) return;
    if (kind == kWireOwnerBuss) {
        auto buss = static_cast<BussHandle>(owner);
        CleanupBussWires(buss, nullptr);
        CalcBussBounds(buss);
    } else {
        auto signal = static_cast<SignalHandle>(owner);
        CleanupSignalWires(signal, nullptr);
        InvalidateSignalJunctions(signal);
        CacheSignalJunctionDots(signal);
        CalcSignalBounds(signal);
    }
}

int32_t GetTerminalPinOrient(SheetRecord* sheet, void* owner, WireHandle wire, int32_t end) {
    // Node orientation 0 none, 1 right, 2 up, 3 left, 4 down, as wire directions.
    static constexpr int32_t kNodeToWireOrient[5] = {kOrientNull, 2, 0, 6, 4};
    uint16_t node = 0;
    SymbolRecord* symbol = GetWireTerminalPin(wire, owner, end, sheet->symbolList, &node);
    if (!symbol) return kOrientNull;
    const int32_t orient = GetNodeInstanceOrient(sheet, symbol, node) & 7;
    if (orient < 1 || orient > 4) return kOrientNull;
    const int32_t d = kNodeToWireOrient[orient];
    return end ? (d ^ 4) : d;
}

bool IsStraightWire(WireHandle wire) {
    if (CountWireSegments(wire) != 1) return false;
    return IsOrthogonalOrient(GetWireSegOrient(wire, 0, false));
}

}  // namespace plexa
