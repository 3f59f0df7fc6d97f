// The dynamic file against plain POSIX calls on the same bytes: 10,000 blocks of 1 KiB written
// and then read back. Each run starts from an empty file and ends with the file closed (not
// synced). Target: the dynamic file within 2 times of the plain calls. A third run builds every
// block through the block stream, as the formats' owners do.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/stream.h"

namespace {

using namespace plexa;

constexpr int kBlocks = 10000;
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
    std::vector<uint32_t> offsets(kBlocks);
    for (auto _ : state) {
        FileSpec spec;
        FileSpecFromPathName(nullptr, path.c_str(), &spec);
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

BENCHMARK(BM_PlainWriteRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DynamicFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DynamicFileThroughBlockStream)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ::rmdir(Folder().c_str());
    return 0;
}
