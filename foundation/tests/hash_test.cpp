#include "foundation/hash.h"

#include <gtest/gtest.h>

#include <cstring>

namespace plexa {
namespace {

TEST(Hash, KnownValues) {
    struct Case {
        const char* what;
        uint32_t got, want;
    } cases[] = {
        {"HashMem(0, abc)", HashMem(0, "abc", 3), 0x14DE106Bu},
        {"HashMem empty keeps the seed", HashMem(0xDEADBEEF, "abc", 0), 0xDEADBEEFu},
        {"DistributiveHashMem(0, abc)", DistributiveHashMem(0, "abc", 3), 0x4566u},
        {"DistributiveHashMem empty keeps the seed", DistributiveHashMem(77, "", 0), 77u},
        {"BuildHash(0, 1)", BuildHash(0, 1), 0x14u},
        {"BuildHash(1, 2)", BuildHash(1, 2), 0x41u},
        // Zero factors become 3: rotl(0x7FFFFFFF, 3) + 5 and 0xFFFFFFFD + 3 wrap to 0.
        {"BuildHash rotate factor 0", BuildHash(0x7FFFFFFF, 0), 9u},
        {"BuildHash value factor 0", BuildHash(0, 0xFFFFFFFD), 15u},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(Hash, BytesAreUnsignedAndPositionMatters) {
    const unsigned char high[] = {0xFF, 0x80};
    // h1 = (0 + 5) * (2 + 0xFF + 3); h2 = (rotl(h1, 3) + 5) * (1 + 0x80 + 3)
    uint32_t h1 = 5u * (2 + 0xFF + 3);
    uint32_t h2 = ((h1 << 3 | h1 >> 29) + 5) * (1 + 0x80 + 3);
    EXPECT_EQ(HashMem(0, high, 2), h2);
    EXPECT_NE(HashMem(0, "ab", 2), HashMem(0, "ba", 2));
}

TEST(Hash, ThreeWayComparisons) {
    int values[2] = {0, 0};
    EXPECT_EQ(ComparePointers(&values[0], &values[1]), -1);
    EXPECT_EQ(ComparePointers(&values[1], &values[0]), 1);
    EXPECT_EQ(ComparePointers(&values[1], &values[1]), 0);
    EXPECT_EQ(CompareInt32(INT32_MIN, INT32_MAX), -1);
    EXPECT_EQ(CompareInt32(INT32_MAX, INT32_MIN), 1);
    EXPECT_EQ(CompareInt32(-5, -5), 0);
}

}  // namespace
}  // namespace plexa
