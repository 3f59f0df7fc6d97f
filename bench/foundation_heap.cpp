// The pooled heap against glibc on the same workloads, batches of 100, 1,000 and 10,000 blocks:
// fixed-size blocks (allocate a batch, free it) and handles (allocate a batch, grow each, free
// it). The pool runs twice: with floor 0 its pages are deleted whenever they empty, with a floor
// of 1 MB it keeps them. The glibc baseline runs first, in a process of its own, so that neither
// the pool's pages nor the order of the runs bias it. The closing table gives each pool workload
// as the ratio of its time to glibc's (below 1: faster than glibc) and the growth with the batch.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/side_by_side.h"
#include "foundation/heap.h"

namespace {

using namespace plexa;

constexpr uint32_t kFixedSize = 40;  // the pool's default fixed-size block

// Sizes of the handle workload: 16 to 400 bytes, a fixed pseudo-random sequence.
std::vector<uint32_t> Sizes(int64_t n) {
    std::vector<uint32_t> v(static_cast<size_t>(n));
    uint32_t x = 12345;
    for (auto& s : v) {
        x = x * 1103515245u + 12345u;
        s = 16 + (x >> 16) % 385;
    }
    return v;
}

// A pool as the memory layer makes one, with the fixed-size block of the workload and the given
// floor (0: every page is deleted as soon as it empties).
MemPool BenchPool(uint32_t floor) {
    MemPool p = MemPoolInit(kMemPoolStandardFlags);
    MemPoolSetBlockSizeFS(p, kFixedSize);
    MemPoolSetFloor(p, floor);
    MemPoolSetPageSize(p, 0x10000);
    return p;
}

template <uint32_t kFloor>
void FixedPool(benchmark::State& state) {
    MemPool pool = BenchPool(kFloor);
    std::vector<Ptr> blocks(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (auto& b : blocks) {
            b = MemAllocFS(pool);
            b[0] = 1;
        }
        benchmark::ClobberMemory();
        for (size_t i = blocks.size(); i-- > 0;) MemFreePtr(blocks[i]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    MemPoolFree(pool);
}

void FixedMalloc(benchmark::State& state) {
    std::vector<char*> blocks(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (auto& b : blocks) {
            b = static_cast<char*>(std::malloc(kFixedSize));
            b[0] = 1;
        }
        benchmark::ClobberMemory();
        for (size_t i = blocks.size(); i-- > 0;) std::free(blocks[i]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <uint32_t kFloor>
void HandlePool(benchmark::State& state) {
    MemPool pool = BenchPool(kFloor);
    const auto sizes = Sizes(state.range(0));
    std::vector<Handle> handles(sizes.size());
    for (auto _ : state) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            handles[i] = MemAlloc(pool, kMemRelocatable, sizes[i]);
            (*handles[i])[0] = 1;
        }
        for (size_t i = 0; i < sizes.size(); ++i) {
            MemReAlloc(handles[i], 2 * sizes[i], 0);
            (*handles[i])[2 * sizes[i] - 1] = 2;
        }
        benchmark::ClobberMemory();
        for (Handle h : handles) MemFree(h);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    MemPoolFree(pool);
}

void HandleMalloc(benchmark::State& state) {
    const auto sizes = Sizes(state.range(0));
    std::vector<char*> blocks(sizes.size());
    for (auto _ : state) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            blocks[i] = static_cast<char*>(std::malloc(sizes[i]));
            blocks[i][0] = 1;
        }
        for (size_t i = 0; i < sizes.size(); ++i) {
            blocks[i] = static_cast<char*>(std::realloc(blocks[i], 2 * sizes[i]));
            blocks[i][2 * sizes[i] - 1] = 2;
        }
        benchmark::ClobberMemory();
        for (char* b : blocks) std::free(b);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Medians of five runs, the machine being shared.
void Sized(benchmark::internal::Benchmark* b) {
    b->Arg(100)->Arg(1000)->Arg(10000)->Repetitions(5)->ReportAggregatesOnly(true);
}
BENCHMARK(FixedMalloc)->Apply(Sized);
BENCHMARK(HandleMalloc)->Apply(Sized);
BENCHMARK(FixedPool<0>)->Apply(Sized);
BENCHMARK(FixedPool<1 << 20>)->Apply(Sized);
BENCHMARK(HandlePool<0>)->Apply(Sized);
BENCHMARK(HandlePool<1 << 20>)->Apply(Sized);

// Runs the benchmarks whose names match `filter` in a child process and hands their times to
// the reporter. False when the child failed.
bool RunApart(bench::SideBySide& reporter, const char* filter) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return false;
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::close(pipeEnds[0]);
        bench::SideBySide own;
        benchmark::RunSpecifiedBenchmarks(&own, filter);
        std::fflush(stdout);
        const std::string lines = own.Lines();
        for (size_t done = 0; done < lines.size();) {
            const ssize_t n = ::write(pipeEnds[1], lines.data() + done, lines.size() - done);
            if (n <= 0) ::_exit(1);
            done += size_t(n);
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string lines;
    char chunk[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0;) lines.append(chunk, size_t(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    reporter.Take(lines);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    MemSetErrorHandler([](MemErrorRecord*) -> int32_t { return 0; });
    benchmark::Initialize(&argc, argv);
    bench::SideBySide reporter;
    const std::string filter = benchmark::GetBenchmarkFilter();
    if (!filter.empty() && filter != "all") {
        benchmark::RunSpecifiedBenchmarks(&reporter);  // a chosen few, as asked (for profiling)
    } else {
        if (!RunApart(reporter, "Malloc")) std::fprintf(stderr, "the glibc baseline failed\n");
        benchmark::RunSpecifiedBenchmarks(&reporter, "Pool");
    }
    reporter.Table("The pooled heap against glibc (median CPU time; ratio below 1: faster than glibc)",
                   {{"fixed-size allocate+free, floor 0", "FixedPool<0>", "FixedMalloc"},
                    {"fixed-size allocate+free, floor 1 MB", "FixedPool<1 << 20>", "FixedMalloc"},
                    {"handle allocate+resize+free, floor 0", "HandlePool<0>", "HandleMalloc"},
                    {"handle allocate+resize+free, floor 1 MB", "HandlePool<1 << 20>", "HandleMalloc"}});
    benchmark::Shutdown();
    return 0;
}
