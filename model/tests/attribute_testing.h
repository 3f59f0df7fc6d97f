// Helpers of the attribute and pin-data tests: attribute runs in a handle with their own string
// block, a canonical text of a run, a pool whose growth the test controls, and kept fuzz seeds.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "model/attributes.h"
#include "tests/support/testing.h"

namespace plexa::test {

// "name=value" of every record, in run order, joined by ";"; a record's flags follow as "/<n>"
// when they are not 0.
inline std::string DumpRun(StringBlock block, Handle handle, uint32_t offset, int32_t count) {
    std::string out;
    for (int32_t i = 0; i < count; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        uint16_t flags = 0;
        GetIndexedAttribute(block, handle, offset, i, name, value, &flags, nullptr);
        if (!out.empty()) out += ";";
        out += std::string(name) + "=" + value;
        if (flags) out += "/" + std::to_string(flags);
    }
    return out;
}

// An attribute run at offset 0 of its own handle, with its own string block.
struct AttrRun {
    StringBlock block = CreateStringBlock(gGenPool, 64);
    Handle handle = AllocHandle(gGenPool, 0);
    int16_t count = 0;

    AttrRun() = default;
    // "a=1;b=2" sets a and b in that order.
    explicit AttrRun(const std::string& pairs) { SetAll(pairs); }
    ~AttrRun() {
        if (handle) MemFree(handle);
        DestroyStringBlock(block);
    }
    AttrRun(const AttrRun&) = delete;
    AttrRun& operator=(const AttrRun&) = delete;

    void SetAll(const std::string& pairs) {
        size_t start = 0;
        while (start < pairs.size()) {
            size_t end = pairs.find(';', start);
            if (end == std::string::npos) end = pairs.size();
            const std::string pair = pairs.substr(start, end - start);
            const size_t eq = pair.find('=');
            Set(pair.substr(0, eq), pair.substr(eq + 1));
            start = end + 1;
        }
    }
    int16_t Set(const std::string& name, const std::string& value) {
        return SetAttributeValue(block, handle, 0, &count, name.c_str(), value.c_str(), nullptr);
    }
    std::string Value(const std::string& name) const {
        char value[kAttributeTextSize];
        GetAttributeValue(block, handle, 0, count, name.c_str(), value, nullptr);
        return value;
    }
    std::string Dump() const { return DumpRun(block, handle, 0, count); }
};

// A pool of its own whose ceiling a test may lower; freed with everything in it at the end.
struct TestPool {
    MemPool pool = CreatePool(4096);
    // The pool keeps its handle table, and a page of pointers, once made: both are made here so
    // that what the pool holds afterwards goes back to Bytes() whenever its blocks are all freed.
    TestPool() {
        MemFree(AllocHandle(pool, 16));
        MemFreePtr(AllocPtr(pool, 16));
    }
    ~TestPool() { MemPoolFree(pool); }
    TestPool(const TestPool&) = delete;
    TestPool& operator=(const TestPool&) = delete;
    // Bytes the pool holds from the system.
    uint32_t Bytes() const {
        MemPoolInfoRecord info{};
        MemPoolInfo(pool, nullptr, &info);
        return info.totalBytes;
    }
    void Ceiling(uint32_t bytes) { MemPoolSetCeiling(pool, bytes); }
};


}  // namespace plexa::test
