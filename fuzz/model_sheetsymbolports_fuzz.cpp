// A sheet symbol's port data as a sheet stores it (either byte order: the data is taken as it is
// when it holds its ports, else swapped). Data that holds its ports is then used as a placed
// sheet symbol is: its rows, outlines, tails, bounds and minimum size, a new port of each kind,
// the deletion of a port, and a swap there and back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/memory.h"
#include "fuzz/fuzz_support.h"
#include "model/sheetsymbols.h"
#include "model/symbols.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

namespace {

void Exercise(Handle ports) {
    SymbolRecord symbol{};
    symbol.flags = kSheetSymbolFlags | 3;
    symbol.sheetSymbolData = ports;
    const int32_t count = CountSheetSymbolPorts(&symbol);
    Point points[7], tail[2];
    for (int32_t port = 0; port < count; ++port) {
        if (BuildSheetSymbolPortPoly(&symbol, port, points) > 7) std::abort();
        BuildSheetSymbolPortPinTail(&symbol, port, tail);
    }
    int32_t rows = 0;
    if (BitArray table = BuildPortPositionTable(&symbol, 0, &rows)) DisposeBitArray(table);
    Rect bounds;
    GetSheetSymbolBounds(&symbol, &bounds, 1);
    int16_t width = 0, height = 0;
    GetMinimumSheetSymbolSize(&symbol, &width, &height);
    SetSheetSymbolSize(nullptr, &symbol, width, height, nullptr);
    for (uint16_t flags : {kPortTypeInput, kPortTypeOutput, uint16_t(kPortTypeBidirectional | kSheetPortBuss)}) {
        const int32_t port = CreateSheetSymbolPort(nullptr, &symbol, nullptr, flags);
        if (port >= 0 && port != CountSheetSymbolPorts(&symbol) - 1) std::abort();
    }
    if (CountSheetSymbolPorts(&symbol) > 0) DeleteSheetSymbolPort(nullptr, &symbol, 0);
    const std::string before(*ports, SizeOfHandle(ports));
    if (!ByteSwapSheetSymbolPorts(ports, true) || !ByteSwapSheetSymbolPorts(ports, false)) std::abort();
    if (std::string(*ports, SizeOfHandle(ports)) != before) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    Handle ports = AllocHandleWithData(nullptr, data, uint32_t(size));
    if (!ports) return 0;
    if (IsValidSheetSymbolPorts(ports) || (ByteSwapSheetSymbolPorts(ports, false) && IsValidSheetSymbolPorts(ports)))
        Exercise(ports);
    MemFree(ports);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::StartFuzzCore();
    std::vector<std::string> seeds;
    Handle ports = CreateSheetSymbolPorts();
    if (!ports) return seeds;
    seeds.emplace_back(*ports, SizeOfHandle(ports));
    const uint16_t kinds[] = {kPortTypeInput, kPortTypeOutput | kSheetPortRight, kPortTypeBidirectional | kSheetPortBuss,
                              kPortTypeNone | kSheetPortShowName};
    uint16_t slot = 1;
    for (uint16_t flags : kinds) {
        AppendSubSheetPort(ports, nullptr, nullptr, flags, slot);
        slot = uint16_t(slot + 2);
    }
    seeds.emplace_back(*ports, SizeOfHandle(ports));
    if (ByteSwapSheetSymbolPorts(ports, true)) seeds.emplace_back(*ports, SizeOfHandle(ports));
    MemFree(ports);
    return seeds;
}
