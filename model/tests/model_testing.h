// Helpers of the sheet model's tests: pixel images with known content, image lists that are
// checked to give back every global reference they took, symbol data in the other byte order, a
// pool made the general pool for a while, a pool that gives nothing, and a general pool held to
// what it has.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/memory.h"
#include "graphics/displaylist.h"
#include "graphics/pixels.h"
#include "model/imagelist.h"
#include "model/symboldata.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

// A grey image of black and white pixels (the kind a BMP keeps exactly), its pattern from seed.
inline VXPixels* GreyImage(int width, int height, uint32_t seed) {
    VXPixels* image = VXCreateEmptyPixelImage(width, height, 0);
    std::vector<uint8_t> bits(size_t(image->rowBytes) * height, 0xFF);
    for (int v = 0; v < height; ++v)
        for (int h = 0; h < width; ++h)
            if ((uint32_t(v * 31 + h * 7) + seed) % 3 == 0) bits[size_t(v) * image->rowBytes + h] = 0;
    VXSetPixelImageBits(image, bits.data(), uint32_t(bits.size()));
    return image;
}

// An opaque colour image: noise when `noisy` (its BMP does not compress), else one colour.
inline VXPixels* ColourImage(int width, int height, uint32_t seed, bool noisy) {
    VXPixels* image = VXCreateEmptyPixelImage(width, height, 1);
    std::vector<uint32_t> bits(size_t(image->rowBytes / 4) * height);
    std::mt19937 rng(seed);
    for (uint32_t& p : bits) p = 0xFF000000u | (noisy ? rng() & 0xFFFFFF : seed & 0xFFFFFF);
    VXSetPixelImageBits(image, bits.data(), uint32_t(bits.size() * 4));
    return image;
}


// Makes a pool the general pool while the object lives, so that code which allocates from
// gGenPool allocates from it; what was allocated there must be freed before the scope ends.
class GeneralPoolScope {
public:
    explicit GeneralPoolScope(MemPool pool) : previous_(gGenPool) { gGenPool = pool; }
    ~GeneralPoolScope() { gGenPool = previous_; }
    GeneralPoolScope(const GeneralPoolScope&) = delete;
    GeneralPoolScope& operator=(const GeneralPoolScope&) = delete;

private:
    MemPool previous_;
};

// A pool that can give nothing: its ceiling is what it took on creation.
class ExhaustedPool {
public:
    ExhaustedPool() {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        pool_ = CreatePool(4096);
        MemPoolInfoRecord info{};
        MemPoolInfo(pool_, nullptr, &info);
        MemPoolSetCeiling(pool_, info.totalBytes);
    }
    ~ExhaustedPool() { MemPoolFree(pool_); }
    ExhaustedPool(const ExhaustedPool&) = delete;
    ExhaustedPool& operator=(const ExhaustedPool&) = delete;
    MemPool pool() const { return pool_; }

private:
    MemPool pool_ = nullptr;
};

// Symbol display data written by hand: one pin from (10,0) to its connection end (10,20) and a
// rectangle (0,0,20,30) filled in its own colour 0x00FF0000.
inline const char* const kHandData =
    "0000 0000 1500 1F00"   // graphics rectangle (0,0,21,31): the rectangle's bounds
    "0000 FEFF 1500 1F00"   // all (0,-2,21,31): with the pin's bounds (8,-2,13,23)
    "0306 3412 0000 0000"   // list header: mark, origin (0,0)
    "3001"                  // texts in UTF-8
    "56E0 0800 0101 0100 00000000"  // 224: length 8, version 257, one pin, 0
    "0800 0A00"             // move by (10,0)
    "1800 0014"             // line by (0,20): the pin
    "26E1"                  // 225: end of the pins
    "46E6 0000 FF00"        // 230: fill colour 0x00FF0000
    "26E7"                  // 231: the next shape is filled
    "0530 0000 141E"        // rectangle, frame, corner (0,0) as bytes, size 20 x 30 as bytes
    "00FF";                 // end
// The same record as a writer of the other byte order makes it.
inline const char* const kHandDataOtherOrder =
    "0000 0000 0015 001F"
    "0000 FFFE 0015 001F"
    "0306 1234 0000 0000"
    "3001"
    "56E0 0008 0101 0001 00000000"
    "0800 0A00"
    "1800 0014"
    "26E1"
    "46E6 00FF 0000"
    "26E7"
    "0530 0000 141E"
    "00FF";

// Symbol display data of this machine's order turned into the other byte order: the list is
// walked with the swap handlers (every field swapped in place), its header swapped by hand.
inline std::string OtherOrder(std::string data) {
    DLParseHandler handlers[16];
    std::copy(kDLSwapHandlers, kDLSwapHandlers + 16, handlers);
    handlers[3] = [](uint8_t* payload, DLParseState* st) -> int32_t {
        if (st->opcode == 0x03) {
            ByteSwapWordArray(payload, 6);
            st->continueWalk = true;
            st->validHeader = 1;
        }
        return st->payloadSize;
    };
    ByteSwapWordArray(data.data(), 16);
    EXPECT_EQ(VXParseDisplayListBytes(reinterpret_cast<uint8_t*>(data.data()) + 16, uint32_t(data.size() - 16),
                                      handlers, {0, 0}, 0,
                                      [](int16_t kind, void* d, int32_t length, bool, void*) {
                                          ByteSwapSymbolDispalyComment(kind, d, length);
                                          return false;
                                      },
                                      nullptr),
              1);
    return data;
}

// Holds the general pool to what it has, less a few small blocks given back.
class TightPool {
public:
    explicit TightPool(int giveBack) {
        MemPoolInfoRecord info{};
        MemPoolInfo(gGenPool, nullptr, &info);
        ceiling_ = MemPoolSetCeiling(gGenPool, info.totalBytes);
        for (uint32_t size : {4096u, 256u, 16u})
            for (bool more = true; more;) {
                more = false;
                if (Ptr p = AllocPtr(gGenPool, size)) pointers_.push_back(p), more = true;
                if (Handle h = AllocHandle(gGenPool, size)) handles_.push_back(h), more = true;
            }
        for (int i = 0; i < giveBack && !pointers_.empty(); i++, pointers_.pop_back())
            MemFreePtr(pointers_.back());
        for (int i = 0; i < giveBack && !handles_.empty(); i++, handles_.pop_back())
            MemFree(handles_.back());
    }
    ~TightPool() {
        for (Ptr p : pointers_) MemFreePtr(p);
        for (Handle h : handles_) MemFree(h);
        MemPoolSetCeiling(gGenPool, ceiling_);
    }

private:
    uint32_t ceiling_ = 0;
    std::vector<Ptr> pointers_;
    std::vector<Handle> handles_;
};

inline int32_t GlobalImageCount() { return gGlobalImageList ? DACount(gGlobalImageList->entries) : 0; }

// Sets up the memory manager and the global image list; at the end of each test the global list
// must be as it was, so that every local list gave back what it took.
class ImageListTest : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitImageLists();
        globalBefore_ = GlobalImageCount();
    }
    void TearDown() override { EXPECT_EQ(GlobalImageCount(), globalBefore_); }

    // The list's stored form.
    static std::string Flatten(ImageList* list) {
        HandleStream out;
        EXPECT_EQ(FlattenImageList(out.stream, list), 0);
        return out.bytes();
    }
    // Reads a stored list; null (and the status) when it fails.
    static ImageList* Inflate(const std::string& bytes, OSStatus* status = nullptr) {
        HandleStream in(bytes);
        ImageList* list = nullptr;
        const OSStatus s = InflateImageList(in.stream, &list);
        if (status) *status = s;
        if (s) {
            EXPECT_EQ(list, nullptr);
        }
        return list;
    }

private:
    int32_t globalBefore_ = 0;
};

}  // namespace plexa::test
