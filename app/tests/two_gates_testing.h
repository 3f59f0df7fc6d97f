// Two gates for the running editor's wire tests, placed on a sheet being written as port symbols
// (their pins connect with no component behind them): A (serial 1) at (126,117), its output pin
// ending at (192,132); B (serial 2) at (360,232), its upper input pin ending at (360,240).
#pragma once

#include <array>

#include "model/sheet.h"
#include "model/symbols.h"
#include "model/tests/gate_symbol.h"

namespace plexa::test {

// The gates, A then B; the sheet's next serial follows them. `driver` is the sheet's writer
// (files/tests/sheetcontents_testing.h).
template <class Driver>
std::array<SymbolRecord*, 2> PlaceTwoPortGates(Driver* driver, SheetRecord* drawing) {
    std::array<SymbolRecord*, 2> gates{};
    const int32_t id = AddGateSymbolDefinition(drawing);
    if (id < 0) return gates;
    const Point origins[] = {Point{117, 126}, Point{232, 360}};
    for (uint32_t serial = 1; serial <= 2; ++serial) {
        SymbolRecord* gate = gates[serial - 1] = driver->AddSymbol(serial, kSymbolFlagPort);
        gate->mapId = id;
        gate->libraryName = kNoLibraryName;
        gate->position = origins[serial - 1];
    }
    drawing->stored.nextSerial = 3;
    return gates;
}

}  // namespace plexa::test
