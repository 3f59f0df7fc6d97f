// Test helpers over the foundation: byte strings written as hex, a handle stream and a handle of
// bytes that free their handle with them, and a pool with a small ceiling for readers of damaged
// input. Header-only: the test programs that include it link the foundation.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"

namespace plexa::test {

// "1234 00ff" -> the bytes 12 34 00 ff; blanks between bytes are ignored.
inline std::string Hex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ' || hex[i] == '\n') {
            ++i;
            continue;
        }
        out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

// A handle stream over a copy of some bytes; the stream and the handle are freed together.
struct HandleStream {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
    explicit HandleStream(const std::string& bytes = {}) {
        handle = AllocHandle(nullptr, uint32_t(bytes.size()));
        if (!bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
        EXPECT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream), 0);
    }
    ~HandleStream() {
        DisposeStream(stream);
        MemFree(handle);
    }
    HandleStream(const HandleStream&) = delete;
    HandleStream& operator=(const HandleStream&) = delete;
    std::string bytes() const { return std::string(*handle, SizeOfHandle(handle)); }
};

// A handle over a copy of some bytes, freed with the object.
struct FlatHandle {
    Handle handle = nullptr;
    explicit FlatHandle(const std::string& bytes) {
        handle = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
    }
    ~FlatHandle() { MemFree(handle); }
    FlatHandle(const FlatHandle&) = delete;
    FlatHandle& operator=(const FlatHandle&) = delete;
    operator Handle() const { return handle; }
};

// A pool with a small ceiling, made the current pool while the object lives. A reader that lets
// its input decide an allocation before checking it runs into the ceiling, and `hitCeiling` says
// so even when the reader's result would look the same either way. Pass `pool()` to readers that
// take a pool; the others allocate from the current pool. Results read into the pool must be
// freed before the object goes, which frees the pool.
class CappedPool {
public:
    explicit CappedPool(uint32_t ceiling = 1u << 20) {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        pool_ = CreatePool(4096);
        EXPECT_NE(pool_, nullptr);
        MemPoolSetCeiling(pool_, ceiling);
        previousPool_ = gCurrentPool;
        gCurrentPool = pool_;
        previousHandler_ = MemSetErrorHandler(Handler);
        outer_ = active_;
        active_ = this;
    }
    ~CappedPool() {
        active_ = outer_;
        MemSetErrorHandler(previousHandler_);
        gCurrentPool = previousPool_;
        MemPoolFree(pool_);
    }
    CappedPool(const CappedPool&) = delete;
    CappedPool& operator=(const CappedPool&) = delete;

    MemPool pool() const { return pool_; }
    bool hitCeiling() const { return hits_ > 0; }
    // Forgets earlier hits (between the cases of a table).
    void clear() { hits_ = 0; }

private:
    static int32_t Handler(MemErrorRecord* error) {
        CappedPool* outermost = active_;
        for (CappedPool* p = active_; p; p = p->outer_) {
            if (error->pool == p->pool_ && error->code == MEM_EXCEEDED_CEILING) ++p->hits_;
            outermost = p;
        }
        return outermost && outermost->previousHandler_ ? outermost->previousHandler_(error) : 0;
    }
    static inline CappedPool* active_ = nullptr;
    MemPool pool_ = nullptr;
    MemPool previousPool_ = nullptr;
    MemErrorHandler previousHandler_ = nullptr;
    CappedPool* outer_ = nullptr;
    int hits_ = 0;
};

// A disk that fills up after `bytes` more bytes, for as long as the record lives (the file-write
// fault of the stream layer); with a count of failures, it has room again after that many writes
// failed.
struct FullDisk {
    explicit FullDisk(int64_t bytes, int32_t failures = -1) { SetFileWriteFault(bytes, failures); }
    ~FullDisk() { SetFileWriteFault(-1); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

// The bytes after which a full disk is tried for a save that writes `total` bytes: each of the
// first few, an even spread over the rest, and the last byte.
inline std::vector<int64_t> FullDiskPoints(int64_t total, int64_t spread = 40) {
    std::vector<int64_t> points;
    for (int64_t n = 0; n < std::min<int64_t>(total, 8); ++n) points.push_back(n);
    for (int64_t i = 1; i <= spread && total > 8; ++i) points.push_back(8 + (total - 9) * i / spread);
    return points;
}

}  // namespace plexa::test
