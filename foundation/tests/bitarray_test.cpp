// Bit arrays: sizes, growth, searches, shifts and the out-of-range cases, with a randomized check
// of the word-skipping searches against a plain reference.
#include "foundation/bitarray.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/testing.h"

namespace plexa {
namespace {

struct BitArrayOwner {
    explicit BitArrayOwner(int32_t bits) : array(CreateBitArray(nullptr, bits)) {}
    ~BitArrayOwner() { DisposeBitArray(array); }
    BitArray array;
};

TEST(BitArrayTest, CreatedCapacity) {
    const struct { int32_t bits, capacity; } cases[] = {{1, 32}, {32, 32}, {33, 64}, {0, 256}, {-7, 256}};
    for (const auto& c : cases) {
        BitArrayOwner a(c.bits);
        ASSERT_NE(a.array, nullptr);
        EXPECT_EQ(GetBitArraySize(a.array), c.capacity) << c.bits;
        EXPECT_EQ(GetBitArraySetCount(a.array), 0);
        EXPECT_EQ(LastSetBit(a.array), -1);
    }
}

TEST(BitArrayTest, SetGrowsAndNewBitsAreClear) {
    BitArrayOwner a(32);
    BitArraySet(a.array, 100);
    EXPECT_EQ(GetBitArraySize(a.array), 128);
    EXPECT_EQ(GetBitArraySetCount(a.array), 1);
    EXPECT_EQ(NextSetBit(a.array, -1), 100);
    BitArraySet(a.array, -1);
    EXPECT_EQ(GetBitArraySetCount(a.array), 1);
    EXPECT_TRUE(SetBitArraySize(a.array, 0));
    EXPECT_EQ(GetBitArraySize(a.array), 32);
    EXPECT_TRUE(SetBitArraySize(a.array, 200));
    EXPECT_EQ(GetBitArraySetCount(a.array), 0);  // bit 100 was cut off, and comes back clear
}

TEST(BitArrayTest, Searches) {
    BitArrayOwner a(64);
    BitArraySet(a.array, 3);
    BitArraySet(a.array, 40);
    EXPECT_EQ(NextSetBit(a.array, -1), 3);
    EXPECT_EQ(NextSetBit(a.array, 3), 40);
    EXPECT_EQ(NextSetBit(a.array, 40), -1);
    EXPECT_EQ(LastSetBit(a.array), 40);

    BitArrayOwner b(32);
    ReserveBitsUpTo(b.array, 9);
    EXPECT_EQ(FirstClearBit(b.array), 10);
    ReserveBitsUpTo(b.array, 31);
    EXPECT_EQ(FirstClearBit(b.array), 32);
    EXPECT_EQ(SetFirstClearBit(b.array), 32);
    EXPECT_EQ(GetBitArraySize(b.array), 64);
    EXPECT_EQ(GetBitArraySetCount(b.array), 33);
}

TEST(BitArrayTest, OutOfRangeBits) {
    BitArrayOwner a(32);
    EXPECT_EQ(BitArrayTest(a.array, -1), 0);
    EXPECT_EQ(BitArrayTest(a.array, 32), 0);
    EXPECT_EQ(BitArrayTest(a.array, 1 << 30), 0);
    // Clearing outside the array is a no-op: the bit is clear already, and nothing grows.
    BitArraySetClear(a.array, 5000, false);
    BitArraySetClear(a.array, -3, false);
    EXPECT_EQ(GetBitArraySize(a.array), 32);
    BitArraySetClear(a.array, 31, true);
    BitArraySetClear(a.array, 31, false);
    EXPECT_EQ(GetBitArraySetCount(a.array), 0);
    // A shift whose range leaves the array is refused.
    BitArraySet(a.array, 0);
    EXPECT_FALSE(ShiftBitArray(a.array, 0, 33, 1, false));
    EXPECT_FALSE(ShiftBitArray(a.array, -1, 4, 1, false));
    EXPECT_EQ(NextSetBit(a.array, -1), 0);
    EXPECT_TRUE(ShiftBitArray(a.array, 0, 32, 31, false));
    EXPECT_EQ(NextSetBit(a.array, -1), 31);
}

TEST(BitArrayTest, ShiftBits) {
    const struct {
        uint8_t before;
        int32_t start;
        uint32_t length;
        int32_t shift;
        bool rotate;
        uint8_t after;
    } cases[] = {
        {0x81, 0, 8, 1, false, 0x40},  {0x81, 0, 8, 1, true, 0xC0},  {0x81, 0, 8, -1, false, 0x02},
        {0x81, 0, 8, -1, true, 0x03},  {0x81, 0, 8, 5, true, 0xC0},  {0xFF, 2, 4, 2, false, 0xCF},
        {0xFF, 2, 4, -2, false, 0xF3}, {0xFF, 0, 8, 8, false, 0x00}, {0xFF, 0, 8, -9, false, 0x00},
        {0x5A, 0, 0, 3, false, 0x5A},  {0x5A, 0, 8, 0, true, 0x5A},   {0x80, 0, 1, 1, true, 0x80},
    };
    for (const auto& c : cases) {
        uint8_t bytes[3] = {0xA5, c.before, 0x3C};
        ShiftBits(bytes, 8 + c.start, c.length, c.shift, c.rotate);
        EXPECT_EQ(bytes[1], c.after) << int(c.before) << " " << c.start << " " << c.shift << " " << c.rotate;
        EXPECT_EQ(bytes[0], 0xA5);
        EXPECT_EQ(bytes[2], 0x3C);
    }
    // Across bytes: bit 7 moves to bit 12.
    uint8_t bytes[2] = {0x01, 0x00};
    ShiftBits(bytes, 0, 16, 5, false);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x08);
}

TEST(BitArrayTest, MatchesReferenceUnderRandomUse) {
    std::mt19937 rng(test::TestSeed());
    BitArrayOwner a(1);
    std::vector<bool> model(32, false);
    const uint64_t steps = test::StressCount(20000);
    for (uint64_t step = 0; step < steps; ++step) {
        const int32_t n = int32_t(rng() % 300);
        switch (rng() % 4) {
            case 0:
                BitArraySet(a.array, n);
                if (size_t(n) >= model.size()) model.resize((size_t(n) / 32 + 1) * 32, false);
                model[size_t(n)] = true;
                break;
            case 1:
                BitArraySetClear(a.array, n, false);
                if (size_t(n) < model.size()) model[size_t(n)] = false;
                break;
            case 2: {
                const int32_t expected = [&] {
                    for (size_t i = size_t(n) + 1; i < model.size(); ++i) if (model[i]) return int32_t(i);
                    return -1;
                }();
                ASSERT_EQ(NextSetBit(a.array, n), expected) << "seed " << test::TestSeed();
                break;
            }
            default: {
                int32_t first = int32_t(model.size()), last = -1, count = 0;
                for (size_t i = 0; i < model.size(); ++i) {
                    if (!model[i] && first == int32_t(model.size())) first = int32_t(i);
                    if (model[i]) last = int32_t(i), ++count;
                }
                ASSERT_EQ(GetBitArraySize(a.array), int32_t(model.size()));
                ASSERT_EQ(FirstClearBit(a.array), first);
                ASSERT_EQ(LastSetBit(a.array), last);
                ASSERT_EQ(GetBitArraySetCount(a.array), count);
            }
        }
    }
}

}  // namespace
}  // namespace plexa
