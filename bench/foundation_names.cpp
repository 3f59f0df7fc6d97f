// Looking up net names: every name of a sheet's worth of nets (12,500, 50,000 and 200,000 names)
// looked up in a shuffled order, through a name table (binary search over names in its string
// block) against a sorted std::vector<std::string>, and through a sorted DA of name hashes
// (`HashMem` first, then the name, as the model's hashed tables are kept) against
// std::unordered_map. The hashes alone are timed against std::hash. The closing table gives each
// as a ratio to its baseline and the growth from one size to the next.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/side_by_side.h"
#include "foundation/chunky.h"
#include "foundation/da.h"
#include "foundation/hash.h"
#include "foundation/nametable.h"
#include "foundation/stringblock.h"

namespace {

using namespace plexa;

// Unique net names of the shapes a schematic has: numbered nets, bus members, hierarchical paths.
std::vector<std::string> NetNames(int64_t n) {
    static const char* const kShapes[] = {"N$%lld", "ADDR%lld", "DATA[%lld]", "/U%lld/CLK", "NET_%06lld",
                                          "VCC_%lld", "/SUB%lld/RESET_N", "D%lld"};
    std::vector<std::string> names;
    names.reserve(size_t(n));
    char text[64];
    for (long long i = 0; i < n; ++i) {
        std::snprintf(text, sizeof text, kShapes[i % 8], i);
        names.emplace_back(text);
    }
    std::shuffle(names.begin(), names.end(), std::mt19937(5));
    return names;
}

// The lookups: every name, in another shuffled order.
std::vector<std::string> Lookups(const std::vector<std::string>& names) {
    std::vector<std::string> order = names;
    std::shuffle(order.begin(), order.end(), std::mt19937(9));
    return order;
}

void Count(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * state.range(0)); }

void NameTable(benchmark::State& state) {
    const auto names = NetNames(state.range(0));
    auto sorted = names;
    std::sort(sorted.begin(), sorted.end());
    // Filled directly in the table's layout (a spec, 4 bytes of padding, the value), the names
    // appended to its string block: adding through the table overlays each name, which looks
    // through the whole block for it and makes a fill of 200,000 names take minutes.
    VXNameTable table = VXCreateNameTableEx(nullptr, kNameTableCaseSensitive | kNameTableValues, 0, 0);
    StringBlock strings = VXNameTableGetRecord(table)->strings;
    std::vector<StringSpec> specs;
    for (const std::string& name : sorted) specs.push_back(AppendStringBlock(strings, name.data(), uint32_t(name.size()), nullptr));
    char* entries = static_cast<char*>(VXChunkyInsert(table, 0, uint32_t(sorted.size())));
    for (size_t i = 0; i < sorted.size(); ++i) {
        const uint64_t value = i;
        std::memcpy(entries + 16 * i, &specs[i], 4);
        std::memset(entries + 16 * i + 4, 0, 4);
        std::memcpy(entries + 16 * i + 8, &value, 8);
    }
    const auto lookups = Lookups(names);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const std::string& name : lookups) {
            uint64_t value = 0;
            VXNameTableSearch(table, name.c_str(), nullptr, &value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    VXDestroyNameTable(table);
    Count(state);
}

void SortedVector(benchmark::State& state) {
    const auto names = NetNames(state.range(0));
    std::vector<std::pair<std::string, uint64_t>> sorted;
    for (const std::string& name : names) sorted.emplace_back(name, 0);
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i) sorted[i].second = i;
    const auto lookups = Lookups(names);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const std::string& name : lookups) {
            auto it = std::lower_bound(sorted.begin(), sorted.end(), name,
                                       [](const auto& entry, const std::string& key) { return entry.first < key; });
            sum += it->second;
        }
        benchmark::DoNotOptimize(sum);
    }
    Count(state);
}

// A hashed entry: the name's hash, then the name in the table's string block.
struct HashedName {
    uint32_t hash;
    StringSpec spec;
};

uint32_t NameHash(const std::string& name) { return HashMem(0, name.data(), uint32_t(name.size())); }

// The entry of a name: the first of its hash, then the next ones with the same hash.
int32_t FindHashed(DAArray array, StringBlock strings, const std::string& name) {
    const HashedName key{NameHash(name), 0};
    int32_t id = DASearch(array, -1, &key, 0);
    if (uint32_t(id) & kDANotFound) return -1;
    char text[kStringSpecBufferSize];
    for (HashedName entry; DAGet(array, id, &entry) && entry.hash == key.hash; ++id) {
        ExtractStringSpec(entry.spec, strings, text, sizeof text);
        if (name == text) return id;
    }
    return -1;
}

void HashedDA(benchmark::State& state) {
    const auto names = NetNames(state.range(0));
    StringBlock strings = CreateStringBlock(nullptr, 4096);
    std::vector<HashedName> entries;
    for (const std::string& name : names) {
        entries.push_back(HashedName{NameHash(name), AppendStringBlock(strings, name.data(), uint32_t(name.size()), nullptr)});
    }
    // Ordered by the hash as a signed word (the default order), equal hashes in the order given.
    DAArray array = DACreate(nullptr, sizeof(HashedName), 0, kDASorted);
    DAAddItems(array, entries.data(), int32_t(entries.size()));
    const auto lookups = Lookups(names);
    for (auto _ : state) {
        int64_t sum = 0;
        for (const std::string& name : lookups) sum += FindHashed(array, strings, name);
        benchmark::DoNotOptimize(sum);
    }
    DADispose(array);
    DestroyStringBlock(strings);
    Count(state);
}

void UnorderedMap(benchmark::State& state) {
    const auto names = NetNames(state.range(0));
    std::unordered_map<std::string, uint64_t> map;
    for (size_t i = 0; i < names.size(); ++i) map.emplace(names[i], i);
    const auto lookups = Lookups(names);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (const std::string& name : lookups) sum += map.find(name)->second;
        benchmark::DoNotOptimize(sum);
    }
    Count(state);
}

// Hashes every name.
template <class Hash>
void HashNames(benchmark::State& state, Hash hash) {
    const auto names = NetNames(state.range(0));
    for (auto _ : state) {
        size_t sum = 0;
        for (const std::string& name : names) sum += hash(name);
        benchmark::DoNotOptimize(sum);
    }
    Count(state);
}
void HashMemNames(benchmark::State& state) { HashNames(state, NameHash); }
void StdHashNames(benchmark::State& state) { HashNames(state, std::hash<std::string_view>()); }

void Sized(benchmark::internal::Benchmark* b) {
    b->Arg(12500)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);
}
BENCHMARK(NameTable)->Apply(Sized);
BENCHMARK(SortedVector)->Apply(Sized);
BENCHMARK(HashedDA)->Apply(Sized);
BENCHMARK(UnorderedMap)->Apply(Sized);
BENCHMARK(HashMemNames)->Apply(Sized);
BENCHMARK(StdHashNames)->Apply(Sized);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Table("Net name lookups (CPU time; ratio above 1: slower than the baseline)",
                   {{"name table against a sorted vector", "NameTable", "SortedVector"},
                    {"hashed DA against std::unordered_map", "HashedDA", "UnorderedMap"},
                    {"HashMem against std::hash", "HashMemNames", "StdHashNames"}});
    benchmark::Shutdown();
    return 0;
}
