// The chain sheet of the benchmarks: N two-pin symbols in rows of 200, each joined to the next by
// a wire drawn as the sheet editor draws it (down and back at a row's end), the last wire leaving
// the chain's end free.
#pragma once

#include <memory>
#include <vector>

#include "model/sheet.h"
#include "model/tests/wire_driver.h"

namespace plexa::bench {

using test::WireDriver;

inline constexpr int16_t kColumns = 200;
inline constexpr int16_t kPitch = 60;   // between symbols of a row
inline constexpr int16_t kRowPitch = 40;
inline constexpr int16_t kBody = 20;    // from pin 0 to pin 1

inline Point At(int16_t h, int16_t v) { return Point{v, h}; }
inline Point Pin0(int64_t i) { return At(int16_t((i % kColumns) * kPitch), int16_t((i / kColumns) * kRowPitch)); }
inline Point Pin1(int64_t i) { return At(int16_t(Pin0(i).h + kBody), Pin0(i).v); }

// The corners of wire i: from pin 1 of symbol i to pin 0 of the next, down and back at a row's
// end; the last wire leaves the chain's end free.
inline std::vector<Point> ChainWire(int64_t i, int64_t n) {
    const Point from = Pin1(i);
    if (i + 1 == n) return {from, At(int16_t(from.h + 20), from.v)};
    const Point to = Pin0(i + 1);
    if (to.v == from.v) return {from, to};
    const int16_t turn = int16_t(from.h + 20), back = int16_t(to.h - 20);
    const int16_t middle = int16_t(from.v + kRowPitch / 2);
    return {from, At(turn, from.v), At(turn, middle), At(back, middle), At(back, to.v), to};
}

struct Chain {
    SheetRecord* sheet = nullptr;
    std::unique_ptr<WireDriver> driver;
    explicit Chain(int64_t n, bool named = false) {
        sheet = CreateDrawing();
        driver = std::make_unique<WireDriver>(sheet);
        driver->nameNewSignals = named;
        for (int64_t i = 0; i < n; ++i) {
            SymbolRecord* symbol = driver->AddSymbol(uint32_t(i + 1));
            driver->AddPin(Pin0(i), symbol, 0);
            driver->AddPin(Pin1(i), symbol, 1);
        }
        for (int64_t i = 0; i < n; ++i) driver->Draw(ChainWire(i, n));
    }
    ~Chain() {
        driver.reset();
        DestroySheet(sheet);
    }
};

}  // namespace plexa::bench
