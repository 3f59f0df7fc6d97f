// The dynamic file against plain POSIX calls on the same bytes: 2,500, 10,000 and 40,000 blocks
// of 1 KiB written and then read back. Each run starts from an empty file and ends with the file
// closed (not synced). Target: the dynamic file within 2 times of the plain calls. A third run
// builds every block through the block stream, as the formats' owners do. The closing table gives
// both as ratios to the plain calls and the growth with the number of blocks.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/side_by_side.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/stream.h"

namespace {

using namespace plexa;

constexpr int32_t kBlockSize = 1024;

const std::string& Folder() {
    static const std::string folder = [] {
        char name[] = "/tmp/plexa-bench-dynfile.XXXXXX";
        return std::string(::mkdtemp(name) ? name : "/tmp");
    }();
    return folder;
}

std::vector<char> Payload() {
    std::vector<char> bytes(kBlockSize);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

void DynamicFileBlocks(benchmark::State& state, bool throughBlockStream) {
    const std::string path = Folder() + "/blocks.dyn";
    const std::vector<char> payload = Payload();
    std::vector<char> buffer(kBlockSize);
    const int kBlocks = int(state.range(0));
    std::vector<uint32_t> offsets(size_t(kBlocks), 0);
    for (auto _ : state) {
        FileSpec spec;
        (void)FileSpecFromPathName(nullptr, path.c_str(), &spec);  // a bad path shows when the file is made
        DynamicFileRecord file;
        if (CreateDynamicFile(&spec, "QPLX", "SCH4", "SCH4", 64) || OpenDynamicFile(&spec, false, &file)) {
            state.SkipWithError("cannot create the file");
            break;
        }
        OSStatus st = 0;
        for (int i = 0; i < kBlocks && st == 0; ++i) {
            if (throughBlockStream) {
                StreamRecord* stream;
                st = BeginFileBlockWrite(&file, -1, &stream);
                if (st == 0) st = StreamWrite(stream, payload.data(), kBlockSize);
                if (st == 0) st = EndFileBlockWrite(&file, 0, 1, &offsets[size_t(i)]);
            } else {
                st = WriteFileBlock(&file, 1, kBlockSize, payload.data(), &offsets[size_t(i)]);
            }
        }
        for (int i = 0; i < kBlocks && st == 0; ++i) {
            int32_t length = kBlockSize;
            st = ReadFileBlock(&file, offsets[size_t(i)], buffer.data(), &length);
            if (st == 0 && (length != kBlockSize || buffer != payload)) st = -1;
            benchmark::DoNotOptimize(buffer.data());
        }
        if (CloseAndMaybeFlushDynamicFile(&file, false) != 0 || st != 0) {
            state.SkipWithError("the blocks did not round-trip");
            break;
        }
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocks * kBlockSize * 2);
}

void BM_DynamicFile(benchmark::State& state) {
    DynamicFileBlocks(state, false);
}
void BM_DynamicFileThroughBlockStream(benchmark::State& state) {
    DynamicFileBlocks(state, true);
}

void BM_PlainWriteRead(benchmark::State& state) {
    const std::string path = Folder() + "/plain.bin";
    const std::vector<char> payload = Payload();
    std::vector<char> buffer(kBlockSize);
    const int kBlocks = int(state.range(0));
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            state.SkipWithError("cannot create the file");
            break;
        }
        for (int i = 0; i < kBlocks; ++i) {
            if (::write(fd, payload.data(), kBlockSize) != kBlockSize) state.SkipWithError("write failed");
        }
        ::lseek(fd, 0, SEEK_SET);
        for (int i = 0; i < kBlocks; ++i) {
            if (::read(fd, buffer.data(), kBlockSize) != kBlockSize || buffer != payload)
                state.SkipWithError("read failed");
            benchmark::DoNotOptimize(buffer.data());
        }
        ::close(fd);
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlocks * kBlockSize * 2);
}

void Sized(benchmark::internal::Benchmark* b) {
    b->Arg(2500)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_PlainWriteRead)->Apply(Sized);
BENCHMARK(BM_DynamicFile)->Apply(Sized);
BENCHMARK(BM_DynamicFileThroughBlockStream)->Apply(Sized);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    bench::SideBySide reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Table("The dynamic file against plain POSIX calls (CPU time; ratio above 1: slower)",
                   {{"blocks written and read", "BM_DynamicFile", "BM_PlainWriteRead"},
                    {"the same through the block stream", "BM_DynamicFileThroughBlockStream", "BM_PlainWriteRead"}});
    benchmark::Shutdown();
    ::rmdir(Folder().c_str());
    return 0;
}
