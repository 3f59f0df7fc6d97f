// DA arrays against std::vector on the same data at 10^4, 10^5 and 10^6 items: adding, reading by
// id (in id order and shuffled), walking every item, searching a sorted array, and filling a
// sorted array (in order, in random order one at a time, and in one batch). Two item shapes: a
// bare int32 key (the DA slot is then 12 bytes against 4) and a 16-byte record led by its key (20
// against 16). The closing table gives each DA path as a ratio to its vector baseline and the
// growth of its time from one size to the next.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/side_by_side.h"
#include "foundation/da.h"

namespace plexa {
namespace {

constexpr int64_t kSizes[] = {10000, 100000, 1000000};

struct Key4 {
    int32_t key;
};
struct Rec16 {
    int32_t key;
    int32_t a, b, c;
};
template <class T>
bool operator<(const T& x, const T& y) { return x.key < y.key; }

template <class T>
std::vector<T> RandomItems(int64_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<T> items(static_cast<size_t>(n));
    for (auto& item : items) {
        std::memset(&item, 0, sizeof item);
        item.key = int32_t(rng() & 0x3FFFFFFF);
    }
    return items;
}

template <class T>
std::vector<T> AscendingItems(int64_t n) {
    std::vector<T> items(static_cast<size_t>(n));
    for (size_t i = 0; i < items.size(); ++i) {
        std::memset(&items[i], 0, sizeof(T));
        items[i].key = int32_t(i);
    }
    return items;
}

std::vector<int32_t> Ids(int64_t n, bool shuffled) {
    std::vector<int32_t> ids(static_cast<size_t>(n));
    std::iota(ids.begin(), ids.end(), 0);
    if (shuffled) std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    return ids;
}

template <class T>
DAArray Filled(const std::vector<T>& items, uint32_t flags) {
    DAArray a = DACreate(nullptr, sizeof(T), 0, flags);
    for (const T& item : items) DAAdd(a, &item);
    return a;
}

void Count(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * state.range(0)); }

// Times making and filling an array; its disposal is not timed.
template <class Fill>
void TimeFills(benchmark::State& state, Fill fill) {
    for (auto _ : state) {
        DAArray a = fill();
        benchmark::DoNotOptimize(DACount(a));
        state.PauseTiming();
        DADispose(a);
        state.ResumeTiming();
    }
    Count(state);
}

// ---- add

template <class T>
void AddDA(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 1);
    TimeFills(state, [&] { return Filled(items, 0); });
}

template <class T>
void AddVector(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 1);
    for (auto _ : state) {
        std::vector<T> v;
        for (const T& item : items) v.push_back(item);
        benchmark::DoNotOptimize(v.data());
    }
    Count(state);
}

// ---- get by id (a copy out), in id order or in a shuffled order

template <class T, bool kShuffled>
void GetDA(benchmark::State& state) {
    const auto ids = Ids(state.range(0), kShuffled);
    DAArray a = Filled(RandomItems<T>(state.range(0), 1), 0);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int32_t id : ids) {
            T item;
            DAGet(a, id, &item);
            sum += item.key;
        }
        benchmark::DoNotOptimize(sum);
    }
    DADispose(a);
    Count(state);
}

template <class T, bool kShuffled>
void GetVector(benchmark::State& state) {
    const auto ids = Ids(state.range(0), kShuffled);
    const auto v = RandomItems<T>(state.range(0), 1);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int32_t id : ids) {
            T item;
            std::memcpy(&item, &v[size_t(id)], sizeof item);
            sum += item.key;
        }
        benchmark::DoNotOptimize(sum);
    }
    Count(state);
}

// ---- the lower bound of a read by id in this layout
//
// A read by id through one call must find the id's cluster (the ids of a cluster run in a block of
// their own) and its slot. The cheapest way the layout allows keeps, in memory beside the array,
// the window of the cluster read last: its first id, its slot count and its base. A read inside the
// window is then one subtraction, one compare and the load, with no division and no status byte
// (as if the array were known to hold no free slot). The window lives in memory, as the array's
// header does: each call reads it again, since a read that leaves the window writes it. This is no
// reader of the program; it shows how close to the vector a read by id can come at all.

struct Window {
    uintptr_t base = 0;  // the slot of id n is base + n * stride
    uint32_t first = 0;
    uint32_t span = 0;
};

[[gnu::noinline]] const char* EnterWindow(DAArray array, Window* window, int32_t id) {
    const DAHeader* h = *array;
    const int32_t c = id / h->itemsPerCluster;
    const DACluster& cluster = h->Clusters()[c];
    window->first = uint32_t(c) * uint32_t(h->itemsPerCluster);
    window->span = uint32_t(cluster.slotCount);
    window->base = cluster.base;
    return reinterpret_cast<const char*>(cluster.base + uintptr_t(id) * h->stride);
}

template <class T>
void GetThroughWindow(benchmark::State& state) {
    const auto ids = Ids(state.range(0), false);
    DAArray a = Filled(RandomItems<T>(state.range(0), 1), 0);
    Window* window = new Window;  // reached through a pointer, as the header is
    benchmark::DoNotOptimize(window);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int32_t id : ids) {
            const uint32_t offset = uint32_t(id) - window->first;
            const char* slot = offset < window->span
                                   ? reinterpret_cast<const char*>(window->base + uintptr_t(id) * (*a)->stride)
                                   : EnterWindow(a, window, id);
            T item;
            std::memcpy(&item, slot, sizeof item);
            sum += item.key;
        }
        benchmark::DoNotOptimize(sum);
    }
    delete window;
    DADispose(a);
    Count(state);
}

// ---- walking every item in id order

template <class T>
void WalkDA(benchmark::State& state) {
    DAArray a = Filled(RandomItems<T>(state.range(0), 1), 0);
    for (auto _ : state) {
        int64_t sum = 0;
        char* address = nullptr;
        for (int32_t id = -1; DANextAddress(a, &id, &address);) {
            int32_t key;
            std::memcpy(&key, address, 4);
            sum += key;
        }
        benchmark::DoNotOptimize(sum);
    }
    DADispose(a);
    Count(state);
}

template <class T>
void WalkVector(benchmark::State& state) {
    const auto v = RandomItems<T>(state.range(0), 1);
    for (auto _ : state) {
        int64_t sum = 0;
        for (const T& item : v) sum += item.key;
        benchmark::DoNotOptimize(sum);
    }
    Count(state);
}

// ---- search: each stored key, looked up in random order

template <class T>
void SearchDA(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 3);
    auto sorted = items;
    std::sort(sorted.begin(), sorted.end());
    DAArray a = DACreate(nullptr, sizeof(T), 0, kDASorted);
    for (const T& item : sorted) {
        DASetInsertHint(DACount(a));
        DAAdd(a, &item);
    }
    for (auto _ : state) {
        int64_t sum = 0;
        for (const T& item : items) sum += DASearch(a, -1, &item, 0);
        benchmark::DoNotOptimize(sum);
    }
    DADispose(a);
    Count(state);
}

template <class T>
void SearchVector(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 3);
    auto v = items;
    std::sort(v.begin(), v.end());
    for (auto _ : state) {
        int64_t sum = 0;
        for (const T& item : items) sum += std::lower_bound(v.begin(), v.end(), item) - v.begin();
        benchmark::DoNotOptimize(sum);
    }
    Count(state);
}

// ---- filling a sorted array: keys in ascending order one at a time (each lands at the end of
// the order), in random order one at a time (each lands inside: both containers move the tail,
// 4 bytes an item for the DA map and sizeof(T) for the vector), and in random order in one batch
// (the DA sorts the batch once; the vector appends and sorts)

template <bool kRandom>
void SortedAddDA(benchmark::State& state) {
    const auto items = kRandom ? RandomItems<Key4>(state.range(0), 2) : AscendingItems<Key4>(state.range(0));
    TimeFills(state, [&] { return Filled(items, kDASorted); });
}

template <bool kRandom>
void SortedAddVector(benchmark::State& state) {
    const auto items = kRandom ? RandomItems<Key4>(state.range(0), 2) : AscendingItems<Key4>(state.range(0));
    for (auto _ : state) {
        std::vector<Key4> v;
        for (const Key4& item : items) v.insert(std::upper_bound(v.begin(), v.end(), item), item);
        benchmark::DoNotOptimize(v.data());
    }
    Count(state);
}

template <class T>
void SortedFillDA(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 2);
    TimeFills(state, [&] {
        DAArray a = DACreate(nullptr, sizeof(T), 0, kDASorted);
        DAAddItems(a, items.data(), int32_t(items.size()));
        return a;
    });
}

template <class T>
void SortedFillVector(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 2);
    for (auto _ : state) {
        std::vector<T> v;
        for (const T& item : items) v.push_back(item);
        std::stable_sort(v.begin(), v.end());
        benchmark::DoNotOptimize(v.data());
    }
    Count(state);
}

using Fn = void (*)(benchmark::State&);
struct Pair {
    const char* what;
    const char* name;
    Fn da;
    Fn vector;
    std::vector<int64_t> sizes;
};

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    using namespace plexa;
    const std::vector<int64_t> all(std::begin(kSizes), std::end(kSizes));
    // Adds in random order one at a time are quadratic in both containers: smaller sizes.
    const std::vector<int64_t> quadratic = {4096, 16384, 65536};
    const Pair pairs[] = {
        {"add, int32", "Add_Key4", AddDA<Key4>, AddVector<Key4>, all},
        {"add, 16 bytes", "Add_Rec16", AddDA<Rec16>, AddVector<Rec16>, all},
        {"get by id in order, int32", "GetInOrder_Key4", GetDA<Key4, false>, GetVector<Key4, false>, all},
        {"get by id in order, int32: lower bound", "GetInOrderBound_Key4", GetThroughWindow<Key4>,
         GetVector<Key4, false>, all},
        {"get by id in order, 16 bytes", "GetInOrder_Rec16", GetDA<Rec16, false>, GetVector<Rec16, false>, all},
        {"get by id shuffled, int32", "GetShuffled_Key4", GetDA<Key4, true>, GetVector<Key4, true>, all},
        {"get by id shuffled, 16 bytes", "GetShuffled_Rec16", GetDA<Rec16, true>, GetVector<Rec16, true>, all},
        {"walk, int32", "Walk_Key4", WalkDA<Key4>, WalkVector<Key4>, all},
        {"walk, 16 bytes", "Walk_Rec16", WalkDA<Rec16>, WalkVector<Rec16>, all},
        {"sorted search, int32", "Search_Key4", SearchDA<Key4>, SearchVector<Key4>, all},
        {"sorted search, 16 bytes", "Search_Rec16", SearchDA<Rec16>, SearchVector<Rec16>, all},
        {"sorted adds in order, int32", "SortedAddInOrder", SortedAddDA<false>, SortedAddVector<false>, all},
        {"sorted adds in random order, int32", "SortedAddRandom", SortedAddDA<true>, SortedAddVector<true>, quadratic},
        {"sorted fill in one batch, int32", "SortedFill_Key4", SortedFillDA<Key4>, SortedFillVector<Key4>, all},
        {"sorted fill in one batch, 16 bytes", "SortedFill_Rec16", SortedFillDA<Rec16>, SortedFillVector<Rec16>, all},
    };
    std::vector<bench::Row> rows;
    for (const Pair& p : pairs) {
        const std::string da = std::string(p.name) + "_DA", vector = std::string(p.name) + "_Vector";
        for (int64_t n : p.sizes) {
            benchmark::RegisterBenchmark(da.c_str(), p.da)->Arg(n)->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(vector.c_str(), p.vector)->Arg(n)->Unit(benchmark::kMillisecond);
        }
        rows.push_back(bench::Row{p.what, da, vector});
    }
    benchmark::Initialize(&argc, argv);
    bench::SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Table("DA arrays against std::vector (CPU time; ratio above 1: slower than the vector)", rows);
    benchmark::Shutdown();
    return 0;
}
