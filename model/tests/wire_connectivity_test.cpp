// Random wires drawn and deleted on a small grid: after every step the signals of the sheet must
// hold exactly the drawn geometry and split it into the same connected pieces as a plain
// union-find over the drawn unit segments and the pin points.
//
// Wires are straight or L-shaped between lattice points. A wire's ends may land anywhere (on a
// wire, on a free pin, in the open); its inside must touch nothing, so that every contact of the
// drawing is an end of a drawn wire, as the editor's rules connect them. A deleted wire's signal
// loses the pieces that have no pin left, as regrouping does.
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "model/signalindex.h"
#include "model/tests/net_fixture.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

constexpr int kGrid = 12;      // lattice points per side
constexpr int kSpacing = 10;   // sheet units between lattice points

struct Lattice {
    int x, y;
    bool operator<(const Lattice& o) const { return x != o.x ? x < o.x : y < o.y; }
    bool operator==(const Lattice& o) const { return x == o.x && y == o.y; }
};
// A unit segment: its lower-left end and whether it runs horizontally.
struct Edge {
    Lattice from;
    bool horizontal;
    bool operator<(const Edge& o) const {
        return from < o.from || (from == o.from && horizontal < o.horizontal);
    }
};
Edge EdgeBetween(Lattice a, Lattice b) {
    if (b < a) std::swap(a, b);
    return Edge{a, a.y == b.y};
}
Lattice Other(const Edge& e) { return e.horizontal ? Lattice{e.from.x + 1, e.from.y} : Lattice{e.from.x, e.from.y + 1}; }
Point ToPoint(Lattice l) { return P(int16_t(l.x * kSpacing), int16_t(l.y * kSpacing)); }

class UnionFind {
public:
    int Find(int a) { return parent_[a] == a ? a : parent_[a] = Find(parent_[a]); }
    void Join(int a, int b) { parent_[Find(a)] = Find(b); }
    explicit UnionFind(int n) : parent_(size_t(n)) { std::iota(parent_.begin(), parent_.end(), 0); }

private:
    std::vector<int> parent_;
};
int Index(Lattice l) { return l.y * kGrid + l.x; }

class WireConnectivityTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        drawing->view.gridSpacing = kSpacing;
    }

    // Components of the drawn geometry: the union-find root of each lattice point with edges.
    std::map<Lattice, int> Components(const std::set<Edge>& edges) {
        UnionFind uf(kGrid * kGrid);
        for (const Edge& e : edges) uf.Join(Index(e.from), Index(Other(e)));
        std::map<Lattice, int> roots;
        for (const Edge& e : edges) {
            roots[e.from] = uf.Find(Index(e.from));
            roots[Other(e)] = uf.Find(Index(Other(e)));
        }
        return roots;
    }

    // Checks the sheet's signals against the drawn edges and attached pins.
    void Check(const std::set<Edge>& edges, const std::map<Lattice, PinRef>& pins, int step) {
        SCOPED_TRACE("step " + std::to_string(step) + " seed " + std::to_string(TestSeed()));
        std::map<Lattice, int> owner;
        std::set<Edge> modelEdges;
        int index = 0;
        for (auto s = static_cast<SignalHandle>(LLFirst(drawing->signalList)); s;
             s = static_cast<SignalHandle>(LLGetNext(drawing->signalList, s)), ++index) {
            ASSERT_NE(FirstWire((*s)->wires), nullptr) << "signal " << index << " has no wire";
            EXPECT_FALSE(IsWireListFragmented((*s)->wires, nullptr)) << "signal " << index;
            for (WireHandle w = FirstWire((*s)->wires); w; w = NextWire((*s)->wires, w)) {
                for (int32_t i = 0; i < CountWireSegments(w); ++i) {
                    const Point a = WireCorners(w)[i], b = WireCorners(w)[i + 1];
                    ASSERT_TRUE(a.h % kSpacing == 0 && a.v % kSpacing == 0 && b.h % kSpacing == 0 &&
                                b.v % kSpacing == 0 && (a.h == b.h || a.v == b.v))
                        << "off the lattice: " << PointsText({a, b});
                    Lattice la{a.h / kSpacing, a.v / kSpacing}, lb{b.h / kSpacing, b.v / kSpacing};
                    const int dx = lb.x > la.x ? 1 : lb.x < la.x ? -1 : 0;
                    const int dy = lb.y > la.y ? 1 : lb.y < la.y ? -1 : 0;
                    for (Lattice l = la;; l = Lattice{l.x + dx, l.y + dy}) {
                        auto [it, fresh] = owner.emplace(l, index);
                        ASSERT_EQ(it->second, index) << "point in two signals";
                        if (l == lb) break;
                        ASSERT_TRUE(modelEdges.insert(EdgeBetween(l, Lattice{l.x + dx, l.y + dy})).second)
                            << "a stretch of wire lies twice";
                    }
                }
            }
            for (int32_t n = 0; n < (*s)->pinCount; ++n) {
                const SignalPinEntry e = SignalPins(s)[n];
                bool found = false;
                for (const auto& [at, pin] : pins) {
                    if (pin.symbol->serial != e.serial || pin.node != e.node) continue;
                    found = true;
                    EXPECT_EQ(owner.count(at) ? owner[at] : -1, index) << "pin off its signal";
                }
                EXPECT_TRUE(found);
            }
        }
        // The list's index followed every change without a rebuild.
        if (LLFirst(drawing->signalList)) {
            EXPECT_TRUE(SignalIndexInStep(drawing->signalList));
        }
        EXPECT_TRUE(CheckSignalIndex(drawing->signalList));
        ASSERT_EQ(modelEdges.size(), edges.size());
        ASSERT_TRUE(std::equal(edges.begin(), edges.end(), modelEdges.begin(),
                               [](const Edge& a, const Edge& b) { return !(a < b) && !(b < a); }));
        // The same partition: each component is one signal, and no signal spans two.
        std::map<int, int> signalOfRoot, rootOfSignal;
        for (const auto& [at, root] : Components(edges)) {
            const int signal = owner.at(at);
            auto [a, freshA] = signalOfRoot.emplace(root, signal);
            auto [b, freshB] = rootOfSignal.emplace(signal, root);
            ASSERT_EQ(a->second, signal) << "a connected piece spans two signals";
            ASSERT_EQ(b->second, root) << "a signal holds two pieces";
        }
        // Every pin with a wire at it is an entry of that wire's signal.
        for (const auto& [at, pin] : pins) {
            if (!owner.count(at)) continue;
            uint16_t entry = 0;
            SignalHandle s = GetConnectedSignal(drawing->signalList, pin.symbol, pin.node, nullptr, &entry);
            ASSERT_NE(s, nullptr) << "a wire ends on a pin that no signal holds";
            EXPECT_EQ(LLGetLinkPosition(drawing->signalList, s), owner[at]);
        }
    }
};

TEST_F(WireConnectivityTest, RandomDrawingAndDeletingMatchesUnionFind) {
    std::mt19937 rng(TestSeed());
    auto random = [&rng](int n) { return int(rng() % uint32_t(n)); };
    std::map<Lattice, PinRef> pins;
    for (uint32_t serial = 1; serial <= 8; ++serial) {
        SymbolRecord* symbol = driver->AddSymbol(serial);
        for (uint16_t node = 0; node < 2; ++node) {
            Lattice at{random(kGrid), random(kGrid)};
            if (pins.count(at)) continue;
            pins[at] = PinRef{symbol, node};
            driver->AddPin(ToPoint(at), symbol, node);
        }
    }
    std::set<Edge> edges;
    auto degree = [&edges](Lattice l) {
        int d = 0;
        for (const Edge& e : edges) d += (e.from == l || Other(e) == l) ? 1 : 0;
        return d;
    };
    const uint64_t steps = StressCount(400);
    int draws = 0, deletes = 0;
    for (uint64_t step = 0; step < steps; ++step) {
        const bool remove = LLFirst(drawing->signalList) && random(100) < 20;
        if (remove) {
            const int32_t count = int32_t(drawing->signalList->count);
            auto signal = static_cast<SignalHandle>(LLGetIndexedLink(drawing->signalList, uint32_t(random(count))));
            WireHandle wire = WireAt((*signal)->wires, random(int32_t((*signal)->wires->count)));
            // The reference: take away the wire's edges, then drop the pieces of its signal that
            // have no pin.
            const Point first = WireCorners(wire)[0];
            const std::map<Lattice, int> before = Components(edges);
            const int root = before.at(Lattice{first.h / kSpacing, first.v / kSpacing});
            for (int32_t i = 0; i < CountWireSegments(wire); ++i) {
                const Point a = WireCorners(wire)[i], b = WireCorners(wire)[i + 1];
                Lattice la{a.h / kSpacing, a.v / kSpacing}, lb{b.h / kSpacing, b.v / kSpacing};
                const int dx = lb.x > la.x ? 1 : lb.x < la.x ? -1 : 0;
                const int dy = lb.y > la.y ? 1 : lb.y < la.y ? -1 : 0;
                for (Lattice l = la; !(l == lb); l = Lattice{l.x + dx, l.y + dy})
                    edges.erase(EdgeBetween(l, Lattice{l.x + dx, l.y + dy}));
            }
            const std::map<Lattice, int> after = Components(edges);
            std::map<int, bool> hasPin;
            for (const auto& [at, r] : after)
                if (before.count(at) && before.at(at) == root) hasPin[r] = hasPin[r] || pins.count(at);
            for (auto e = edges.begin(); e != edges.end();) {
                auto r = after.find(e->from);
                if (hasPin.count(r->second) && !hasPin[r->second]) {
                    e = edges.erase(e);
                } else {
                    ++e;
                }
            }
            driver->Delete(signal, wire);
            ++deletes;
        } else {
            // A straight or L-shaped path whose inside touches nothing.
            Lattice a{random(kGrid), random(kGrid)};
            const int dx = random(2) ? 1 : -1, dy = random(2) ? 1 : -1;
            const bool horizontalFirst = random(2);
            const int leg1 = 1 + random(4), leg2 = random(3) ? 0 : 1 + random(4);
            std::vector<Lattice> path{a};
            for (int i = 0; i < leg1; ++i)
                path.push_back(horizontalFirst ? Lattice{path.back().x + dx, path.back().y}
                                               : Lattice{path.back().x, path.back().y + dy});
            for (int i = 0; i < leg2; ++i)
                path.push_back(horizontalFirst ? Lattice{path.back().x, path.back().y + dy}
                                               : Lattice{path.back().x + dx, path.back().y});
            bool ok = true;
            for (size_t i = 0; i < path.size() && ok; ++i) {
                const Lattice l = path[i];
                ok = l.x >= 0 && l.y >= 0 && l.x < kGrid && l.y < kGrid;
                const bool end = i == 0 || i + 1 == path.size();
                if (ok && !end) ok = !pins.count(l) && degree(l) == 0;
                if (ok && end && pins.count(l)) ok = degree(l) == 0;
            }
            if (ok && path.size() == 2) ok = !edges.count(EdgeBetween(path[0], path[1]));
            if (!ok) continue;
            std::vector<Point> corners{ToPoint(path.front())};
            if (leg2) corners.push_back(ToPoint(path[size_t(leg1)]));
            corners.push_back(ToPoint(path.back()));
            for (size_t i = 0; i + 1 < path.size(); ++i) edges.insert(EdgeBetween(path[i], path[i + 1]));
            Draw(corners);
            ++draws;
        }
        Check(edges, pins, int(step));
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(draws, 20);
    EXPECT_GT(deletes, 5);
}

}  // namespace
}  // namespace plexa::test
