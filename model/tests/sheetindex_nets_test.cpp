// The sheet index's nets kept in step while wires are drawn, deleted and moved as the sheet editor
// does it: after every edit, each question about the signals is answered as a grid built afresh
// from the lists answers it. The count of edits is PLEXA_INDEX_EDITS (a few hundred by default)
// and the seed PLEXA_INDEX_SEED.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "foundation/ll.h"
#include "model/sheetindex.h"
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

uint32_t FromEnvironment(const char* name, uint32_t otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? uint32_t(std::strtoul(text, nullptr, 10)) : otherwise;
}

class SheetIndexNets : public NetTest {
protected:
    std::vector<void*> Asked(const Rect& area) {
        std::vector<void*> out;
        SheetItemsMeeting(drawing, SheetItemKind::kSignal, area, &out);
        return out;
    }
    std::vector<void*> Rebuilt(const Rect& area) {
        std::vector<void*> out;
        SheetItemsMeetingRebuilt(drawing, SheetItemKind::kSignal, area, &out);
        return out;
    }
};

TEST_F(SheetIndexNets, RandomWireEditsAnswerAsAFreshGrid) {
    const uint32_t seed = FromEnvironment("PLEXA_INDEX_SEED", 97);
    const uint32_t edits = FromEnvironment("PLEXA_INDEX_EDITS", 300);
    std::mt19937 random(seed);
    const auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    // Points on a 10-unit grid of a 1,200-unit square: the cells are 128 units, so nets span a few.
    const auto point = [&]() { return P(int16_t(in(0, 120) * 10), int16_t(in(0, 120) * 10)); };

    std::vector<Point> pins;
    const auto addSymbol = [&]() {
        SymbolRecord* symbol = driver->AddSymbol(uint32_t(pins.size() / 2 + 1));
        const Point at = point();
        const Point other = P(int16_t(at.h + 20), at.v);
        driver->AddPin(at, symbol, 0);
        driver->AddPin(other, symbol, 1);
        pins.push_back(at);
        pins.push_back(other);
    };
    for (int i = 0; i < 12; ++i) addSymbol();

    // Some signal and one of its wires, when there is one.
    const auto pick = [&](SignalHandle* signal, WireHandle* wire) {
        if (!drawing->signalList->count) return false;
        *signal = SignalAt(in(0, int(drawing->signalList->count) - 1));
        WireList wires = (**signal)->wires;
        if (!wires->count) return false;
        *wire = WireAt(wires, in(0, int(wires->count) - 1));
        return true;
    };
    // A point on a wire of some signal, when there is one.
    const auto onWire = [&](Point* at) {
        SignalHandle signal = nullptr;
        WireHandle wire = nullptr;
        if (!pick(&signal, &wire)) return false;
        const int32_t corner = in(0, (*wire)->cornerCount - 1);
        *at = WireCorners(wire)[corner];
        return true;
    };
    const auto end = [&]() {
        Point at = point();
        switch (in(0, 3)) {
            case 0: return pins[size_t(in(0, int(pins.size()) - 1))];
            case 1:
                if (onWire(&at)) return at;
                return point();
            default: return at;
        }
    };

    std::vector<const void*> seen;
    for (uint32_t step = 0; step < edits; ++step) {
        std::string what;
        SignalHandle signal = nullptr;
        WireHandle wire = nullptr;
        switch (in(0, 9)) {
            case 0:
                what = "symbol";
                addSymbol();
                break;
            case 1:
            case 2: {
                what = "delete";
                if (pick(&signal, &wire)) driver->Delete(signal, wire);
                break;
            }
            case 3: {
                what = "move";
                if (!drawing->signalList->count) break;
                signal = SignalAt(in(0, int(drawing->signalList->count) - 1));
                TransformSignal(signal, P(int16_t(in(-20, 20) * 10), int16_t(in(-20, 20) * 10)), 0);
                break;
            }
            case 4: {
                what = "offset wire";
                if (pick(&signal, &wire)) OffsetWire(wire, int16_t(in(-5, 5) * 10), int16_t(in(-5, 5) * 10));
                break;
            }
            default: {
                what = "draw";
                const Point a = end();
                const Point b = end();
                if (a.h == b.h && a.v == b.v) break;
                if (a.h == b.h || a.v == b.v)
                    Draw({a, b});
                else
                    Draw({a, P(b.h, a.v), b});
                break;
            }
        }
        // Questions: points and small areas where the nets are, a large area, the whole plane.
        for (int q = 0; q < 8; ++q) {
            const int16_t t = int16_t(in(-50, 1250)), l = int16_t(in(-50, 1250));
            const int16_t size = int16_t(q == 0 ? in(300, 900) : in(0, 60));
            const Rect area{t, l, int16_t(t + size), int16_t(l + size)};
            ASSERT_EQ(Asked(area), Rebuilt(area))
                << "seed " << seed << " step " << step << " (" << what << ") area " << l << "," << t << " " << size;
        }
        const Rect plane{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};
        ASSERT_EQ(Asked(plane), Rebuilt(plane)) << "seed " << seed << " step " << step << " (" << what << ")";
        // The list's answer by identity is the walk's, for the signals there now and those gone
        // (compared by address only).
        std::vector<const void*> inList;
        for (void* s = LLFirst(drawing->signalList); s; s = LLGetNext(drawing->signalList, s)) {
            inList.push_back(s);
            if (std::find(seen.begin(), seen.end(), s) == seen.end()) seen.push_back(s);
        }
        for (const void* s : seen)
            ASSERT_EQ(SheetListHolds(drawing, SheetItemKind::kSignal, s),
                      std::find(inList.begin(), inList.end(), s) != inList.end())
                << "seed " << seed << " step " << step << " (" << what << ")";
    }
}

// Adding a wire to a net, as drawing does, leaves the index to place that net again instead of
// rebuilding: the grid stays in step with the lists and still answers as a fresh one.
TEST_F(SheetIndexNets, DrawingIntoANetKeepsTheGridInStep) {
    for (int16_t i = 0; i < 40; ++i) Draw({P(int16_t(i * 100), 0), P(int16_t(i * 100 + 60), 0)});
    std::vector<void*> out;
    SheetItemsMeeting(drawing, SheetItemKind::kSignal, Rect{0, 0, 0, 0}, &out);
    ASSERT_TRUE(SheetItemIndexInStep(drawing, SheetItemKind::kSignal));
    Draw({P(2030, 0), P(2030, 300)});
    EXPECT_TRUE(SheetItemIndexInStep(drawing, SheetItemKind::kSignal));
    const Rect below{250, 2000, 310, 2060};
    SheetItemsMeeting(drawing, SheetItemKind::kSignal, below, &out);
    std::vector<void*> fresh;
    SheetItemsMeetingRebuilt(drawing, SheetItemKind::kSignal, below, &fresh);
    EXPECT_EQ(out, fresh);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], HitTestSignalList(drawing, P(2030, 300), 0, nullptr, nullptr, nullptr));
}

}  // namespace
}  // namespace plexa::test
