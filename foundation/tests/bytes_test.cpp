// The byte readers and writers: each order at an odd address, high bits kept unsigned.
#include <gtest/gtest.h>

#include "foundation/bytes.h"

namespace plexa {
namespace {

TEST(Bytes, ReadAndWriteEachOrderAtAnyAddress) {
    const uint8_t data[] = {0xEE, 0x81, 0x02, 0x03, 0xF4, 0x05, 0x06, 0x07, 0x88};
    const uint8_t* p = data + 1;
    EXPECT_EQ(GetBE16(p), 0x8102u);
    EXPECT_EQ(GetBE32(p), 0x810203F4u);
    EXPECT_EQ(GetBE64(p), 0x810203F405060788ull);
    EXPECT_EQ(GetLE16(p), 0x0281u);
    EXPECT_EQ(GetLE32(p), 0xF4030281u);
    EXPECT_EQ(GetNative32(p, false), GetLE32(p));  // this machine is little-endian
    EXPECT_EQ(GetNative32(p, true), GetBE32(p));
    EXPECT_EQ(GetNative16(p, true), GetBE16(p));

    uint8_t out[9] = {};
    PutBE64(out + 1, 0x810203F405060788ull);
    EXPECT_EQ(0, std::memcmp(out + 1, p, 8));
    PutLE32(out + 1, 0xF4030281u);
    PutLE16(out + 5, 0x05F4);
    EXPECT_EQ(GetBE32(out + 1), 0x810203F4u);
    EXPECT_EQ(GetLE16(out + 5), 0x05F4u);
    PutBE16(out, 0xABCD);
    PutBE32(out + 2, 0x01020304);
    EXPECT_EQ(GetBE16(out), 0xABCDu);
    EXPECT_EQ(GetLE32(out + 2), 0x04030201u);
}

}  // namespace
}  // namespace plexa
