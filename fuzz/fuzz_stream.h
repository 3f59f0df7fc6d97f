// A handle stream over the bytes of a fuzzing input (or an empty one to write into), freed with
// its handle. Header-only: each fuzz target links the foundation through its folder's library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/memory.h"
#include "foundation/stream.h"

namespace plexa::fuzz {

struct FuzzStream {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;

    // With swap, words and longs read as a writer of the other byte order wrote them.
    FuzzStream(const uint8_t* data, size_t size, bool swap) {
        static const bool ready = InitMemoryManager(-1) == 0;
        handle = ready ? AllocHandleWithData(nullptr, data, uint32_t(size)) : nullptr;
        if (handle && CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream) == 0) {
            EnableStreamReadByteSwap(stream, swap);
        } else {
            stream = nullptr;
        }
    }
    FuzzStream() : FuzzStream(nullptr, 0, false) {}
    ~FuzzStream() {
        if (stream) DisposeStream(stream);
        if (handle) MemFree(handle);
    }
    FuzzStream(const FuzzStream&) = delete;
    FuzzStream& operator=(const FuzzStream&) = delete;
    explicit operator bool() const { return stream != nullptr; }
};

}  // namespace plexa::fuzz
