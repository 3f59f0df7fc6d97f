// The pooled heap against glibc on the same workloads: fixed-size blocks (allocate a batch, free
// it) and handles (allocate a batch, grow each, free it). After the runs a table puts each pool
// workload beside its malloc counterpart with the speed-up (glibc time / pool time). The pool runs
// twice: with floor 0 its pages go back to malloc whenever they empty (and glibc hands the top of
// its heap back to the system), with a floor it keeps them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/heap.h"

namespace {

using namespace plexa;

constexpr int kBatch = 1000;
constexpr uint32_t kFixedSize = 40;  // the pool's default fixed-size block

// Sizes of the handle workload: 16 to 400 bytes, a fixed pseudo-random sequence.
const std::vector<uint32_t>& Sizes() {
    static const std::vector<uint32_t> sizes = [] {
        std::vector<uint32_t> v(kBatch);
        uint32_t x = 12345;
        for (auto& s : v) {
            x = x * 1103515245u + 12345u;
            s = 16 + (x >> 16) % 385;
        }
        return v;
    }();
    return sizes;
}

// A pool as the memory layer makes one, with the fixed-size block of the workload and the given
// floor (0: every page goes back to malloc as soon as it empties).
MemPool BenchPool(uint32_t floor) {
    MemPool p = MemPoolInit(kMemPoolStandardFlags);
    MemPoolSetBlockSizeFS(p, kFixedSize);
    MemPoolSetFloor(p, floor);
    MemPoolSetPageSize(p, 0x10000);
    return p;
}

void FixedPool(benchmark::State& state) {
    MemPool pool = BenchPool(uint32_t(state.range(0)));
    std::vector<Ptr> blocks(kBatch);
    for (auto _ : state) {
        for (auto& b : blocks) {
            b = MemAllocFS(pool);
            b[0] = 1;
        }
        benchmark::ClobberMemory();
        for (int i = kBatch; i-- > 0;) MemFreePtr(blocks[i]);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    MemPoolFree(pool);
}

void FixedMalloc(benchmark::State& state) {
    std::vector<char*> blocks(kBatch);
    for (auto _ : state) {
        for (auto& b : blocks) {
            b = static_cast<char*>(std::malloc(kFixedSize));
            b[0] = 1;
        }
        benchmark::ClobberMemory();
        for (int i = kBatch; i-- > 0;) std::free(blocks[i]);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

void HandlePool(benchmark::State& state) {
    MemPool pool = BenchPool(uint32_t(state.range(0)));
    const auto& sizes = Sizes();
    std::vector<Handle> handles(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            handles[i] = MemAlloc(pool, kMemRelocatable, sizes[i]);
            (*handles[i])[0] = 1;
        }
        for (int i = 0; i < kBatch; ++i) {
            MemReAlloc(handles[i], 2 * sizes[i], 0);
            (*handles[i])[2 * sizes[i] - 1] = 2;
        }
        benchmark::ClobberMemory();
        for (int i = 0; i < kBatch; ++i) MemFree(handles[i]);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    MemPoolFree(pool);
}

void HandleMalloc(benchmark::State& state) {
    const auto& sizes = Sizes();
    std::vector<char*> blocks(kBatch);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            blocks[i] = static_cast<char*>(std::malloc(sizes[i]));
            blocks[i][0] = 1;
        }
        for (int i = 0; i < kBatch; ++i) {
            blocks[i] = static_cast<char*>(std::realloc(blocks[i], 2 * sizes[i]));
            blocks[i][2 * sizes[i] - 1] = 2;
        }
        benchmark::ClobberMemory();
        for (int i = 0; i < kBatch; ++i) std::free(blocks[i]);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// Argument: the pool's floor in bytes. Medians of five runs, the machine being shared.
BENCHMARK(FixedPool)->Arg(0)->Arg(1 << 20)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(FixedMalloc)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(HandlePool)->Arg(0)->Arg(1 << 20)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(HandleMalloc)->Repetitions(5)->ReportAggregatesOnly(true);

// Console output as usual, and the median CPU ns per batch kept for the closing table.
class SideBySide : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (median || run.run_type == Run::RT_Iteration))
                times_[run.run_name.function_name +
                       (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    run.GetAdjustedCPUTime();
        }
    }
    void Table() const {
        struct Pair {
            const char* what;
            const char* pool;
            const char* libc;
            double target;
        };
        const Pair pairs[] = {
            {"fixed-size allocate+free", "FixedPool/0", "FixedMalloc", 1.5},
            {"  pool floor 1 MB", "FixedPool/1048576", "FixedMalloc", 1.5},
            {"handle allocate+resize+free", "HandlePool/0", "HandleMalloc", 0.5},
            {"  pool floor 1 MB", "HandlePool/1048576", "HandleMalloc", 0.5},
        };
        std::printf("\n%-30s %14s %14s %10s %s\n", "workload (1000 blocks)", "pool ns", "glibc ns",
                    "speed-up", "target");
        for (const Pair& p : pairs) {
            auto a = times_.find(p.pool), b = times_.find(p.libc);
            if (a == times_.end() || b == times_.end()) continue;
            double ratio = b->second / a->second;
            std::printf("%-30s %14.0f %14.0f %9.2fx >= %.1fx %s\n", p.what, a->second, b->second,
                        ratio, p.target, ratio >= p.target ? "met" : "MISSED");
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    MemSetErrorHandler([](MemErrorRecord*) -> int32_t { return 0; });
    benchmark::Initialize(&argc, argv);
    SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Table();
    benchmark::Shutdown();
    return 0;
}
