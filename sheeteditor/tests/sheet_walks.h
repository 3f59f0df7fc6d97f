// The hit tests of a sheet as walks of its whole lists, the way they were made before the sheet's
// spatial index: the reference that the index test compares with, and the baselines of the
// benchmarks. Each returns what the indexed hit test of the same name returns.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/busses.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/wires.h"
#include "sheeteditor/symbolimage.h"

namespace plexa::test {

inline SymbolRecord* WalkHitTestSymbol(SheetRecord* sheet, Point point) {
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        Rect bounds;
        GetSymbolInstanceInfo(sheet, s, nullptr, &bounds, 0);
        if (VXEmptyRect(&bounds)) continue;
        Rect grown = bounds;
        VXInsetRect(&grown, -2, -2);
        if (point.v >= grown.top && point.v < grown.bottom && point.h >= grown.left && point.h < grown.right &&
            HitTestSymbolDrawing(sheet, s, bounds, point, 2) != SymbolDrawingHit::kMiss)
            return s;
    }
    return nullptr;
}

inline int32_t WalkHitTestPins(SheetRecord* sheet, Point* point, int32_t tolerance, SymbolRecord** symbol) {
    *symbol = nullptr;
    const auto grow = int16_t(-(tolerance + 1));
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        if (!s->component && !(s->flags & (kSymbolFlagPort | kSymbolFlagSheet))) continue;
        Rect bounds;
        GetSymbolInstanceBounds(sheet, s, 1, &bounds);
        if (VXEmptyRect(&bounds)) continue;
        VXInsetRect(&bounds, grow, grow);
        if (!VXPtInRect(*point, &bounds)) continue;
        const int32_t node = HitTestSymbolPin(sheet, s, point, tolerance);
        if (node >= 0) {
            *symbol = s;
            return node;
        }
    }
    return -1;
}

// The first net of the list whose bounds, grown (bottom and right one more), hold the point and
// one of whose wires is hit.
template <class NetHandle>
NetHandle WalkHitTestNets(LinkListHeader* list, Point pt, int32_t slop, int32_t grow, WireHandle* wire,
                          int32_t* segment) {
    *wire = nullptr;
    *segment = 0xFFFF;
    for (auto n = static_cast<NetHandle>(LLFirst(list)); n; n = static_cast<NetHandle>(LLGetNext(list, n))) {
        Rect r = (*n)->bounds;
        if (VXEmptyRect(&r)) continue;
        VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
        r.bottom = int16_t(r.bottom + 1);
        r.right = int16_t(r.right + 1);
        if (!VXPtInRect(pt, &r)) continue;
        int32_t seg = -1;
        Point hit = pt;
        if (WireHandle w = HitTestWireList((*n)->wires, pt, slop, false, &seg, &hit)) {
            *wire = w;
            *segment = seg;
            return n;
        }
    }
    return nullptr;
}

inline BussHandle WalkHitTestBussList(SheetRecord* sheet, Point pt, int32_t slop, WireHandle* wire,
                                      int32_t* segment) {
    return WalkHitTestNets<BussHandle>(sheet->bussList, pt, slop, slop, wire, segment);
}

inline SignalHandle WalkHitTestSignalList(SheetRecord* sheet, Point pt, int32_t slop, WireHandle* wire,
                                          int32_t* segment) {
    return WalkHitTestNets<SignalHandle>(sheet->signalList, pt, slop, 2 + slop, wire, segment);
}

}  // namespace plexa::test
