// DA arrays against std::vector on the same data, 10^6 items: adding, reading by id, searching
// and sorted adding. Two item shapes: a bare int32 key (the DA slot is then 12 bytes against 4)
// and a 16-byte record led by its key (20 against 16). Each DA benchmark is followed by its
// vector counterpart.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

#include "foundation/da.h"

namespace plexa {
namespace {

constexpr int64_t kItems = 1000000;

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

// ---- add

template <class T>
void BM_Add_DA(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 1);
    for (auto _ : state) {
        DAArray a = Filled(items, 0);
        benchmark::DoNotOptimize(DACount(a));
        state.PauseTiming();
        DADispose(a);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class T>
void BM_Add_Vector(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 1);
    for (auto _ : state) {
        std::vector<T> v;
        for (const T& item : items) v.push_back(item);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- get by id (a copy out), in id order or in a shuffled order

template <class T, bool kShuffled>
void BM_Get_DA(benchmark::State& state) {
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
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class T, bool kShuffled>
void BM_Get_Vector(benchmark::State& state) {
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
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- search: each stored key, looked up in random order

template <class T>
void BM_Search_DA(benchmark::State& state) {
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
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class T>
void BM_Search_Vector(benchmark::State& state) {
    const auto items = RandomItems<T>(state.range(0), 3);
    auto v = items;
    std::sort(v.begin(), v.end());
    for (auto _ : state) {
        int64_t sum = 0;
        for (const T& item : items) sum += std::lower_bound(v.begin(), v.end(), item) - v.begin();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// ---- sorted add: keys in ascending order (each lands at the end of the order), or in random
// order (each lands inside: both containers move the tail, 4 bytes an item for the DA map and
// sizeof(T) for the vector)

template <class T, bool kRandom>
void BM_SortedAdd_DA(benchmark::State& state) {
    const auto items = kRandom ? RandomItems<T>(state.range(0), 2) : AscendingItems<T>(state.range(0));
    for (auto _ : state) {
        DAArray a = Filled(items, kDASorted);
        benchmark::DoNotOptimize(DACount(a));
        state.PauseTiming();
        DADispose(a);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

template <class T, bool kRandom>
void BM_SortedAdd_Vector(benchmark::State& state) {
    const auto items = kRandom ? RandomItems<T>(state.range(0), 2) : AscendingItems<T>(state.range(0));
    for (auto _ : state) {
        std::vector<T> v;
        for (const T& item : items) v.insert(std::upper_bound(v.begin(), v.end(), item), item);
        benchmark::DoNotOptimize(v.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

#define PAIR(name, ...)                                                                  \
    BENCHMARK(name##_DA<__VA_ARGS__>)->Arg(kItems)->Unit(benchmark::kMillisecond);      \
    BENCHMARK(name##_Vector<__VA_ARGS__>)->Arg(kItems)->Unit(benchmark::kMillisecond)

PAIR(BM_Add, Key4);
PAIR(BM_Add, Rec16);
PAIR(BM_Get, Key4, false);
PAIR(BM_Get, Rec16, false);
PAIR(BM_Get, Key4, true);
PAIR(BM_Get, Rec16, true);
PAIR(BM_Search, Key4);
PAIR(BM_Search, Rec16);

#define SORTED_PAIR(random, ...)                                                                     \
    BENCHMARK(BM_SortedAdd_DA<Key4, random>)->Unit(benchmark::kMillisecond)->__VA_ARGS__;           \
    BENCHMARK(BM_SortedAdd_Vector<Key4, random>)->Unit(benchmark::kMillisecond)->__VA_ARGS__

SORTED_PAIR(false, RangeMultiplier(10)->Range(10000, kItems)->Complexity(benchmark::oNLogN));
SORTED_PAIR(true, RangeMultiplier(4)->Range(16384, 262144)->Complexity());

}  // namespace
}  // namespace plexa

BENCHMARK_MAIN();
