// Test helpers over the foundation: byte strings written as hex, and a handle stream that
// frees its handle with it. Header-only: the test programs that include it link the foundation.
#pragma once

#include <cstring>
#include <string>

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

}  // namespace plexa::test
