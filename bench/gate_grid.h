// A sheet filled with a grid of gates, `columns` to a row (a body, an output bubble and three
// pins, drawn from the sheet's symbol map), each with a wire of four segments from its output:
// right, down, right and up again.
#pragma once

#include <vector>

#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/gate_symbol.h"
#include "model/wires.h"

namespace plexa::bench {

constexpr int16_t kGatePitchH = 88, kGatePitchV = 33;

inline Point GateGridPoint(int i, int columns) {
    return Point{int16_t(20 + (i / columns) * kGatePitchV), int16_t(20 + (i % columns) * kGatePitchH)};
}

inline std::vector<Point> GateGridWire(int i, int columns) {
    const Point p = GateGridPoint(i, columns);
    const auto v = int16_t(p.v + 15), h = int16_t(p.h + 66);
    return {{v, h}, {v, int16_t(h + 6)}, {int16_t(v + 10), int16_t(h + 6)},
            {int16_t(v + 10), int16_t(h + 14)}, {v, int16_t(h + 14)}};
}

// The gate at p as the painter's shapes (Shape: the baseline painter's shape record, whose kinds
// are kFrame, kOval and kLine), each handed to add(kind, h1, v1, h2, v2) in sheet units: its body,
// its output bubble and its three pins.
template <class Shape, class F>
void GateShapes(Point p, F&& add) {
    add(Shape::kFrame, p.h + 10, p.v, p.h + 50, p.v + 30);
    add(Shape::kOval, p.h + 50, p.v + 12, p.h + 56, p.v + 18);
    add(Shape::kLine, p.h, p.v + 8, p.h + 10, p.v + 8);
    add(Shape::kLine, p.h, p.v + 22, p.h + 10, p.v + 22);
    add(Shape::kLine, p.h + 56, p.v + 15, p.h + 66, p.v + 15);
}

inline void BuildGateGrid(SheetRecord* sheet, int count, int columns) {
    const int32_t id = test::AddGateSymbolDefinition(sheet);
    for (int i = 0; i < count; ++i) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->mapId = id;
        symbol->libraryName = kNoLibraryName;
        symbol->position = GateGridPoint(i, columns);
        AddSymbolToSheet(sheet, symbol);
        SignalHandle signal = CreateSignal(sheet->signalList);
        WireHandle wire = CreateWire(nullptr);
        for (Point corner : GateGridWire(i, columns)) (void)InsertWireCorner(wire, corner, -1);  // fails only out of memory
        CalcWireBounds(wire);
        LLPush((*signal)->wires, wire);
        CalcSignalBounds(signal);
    }
}

}  // namespace plexa::bench
