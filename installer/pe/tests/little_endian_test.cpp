// The byte-order helper against byte images written out by hand.
#include <gtest/gtest.h>

#include <cstdint>

#include "pe/little_endian.h"

namespace {

TEST(LittleEndian, ReadsLowByteFirstWithTopBitsSet) {
    const uint8_t bytes[] = {0xfe, 0xff, 0xee, 0xdd, 0xcc, 0xbb, 0xaa, 0x99};
    EXPECT_EQ(little_endian::Read16(bytes), 0xfffeu);
    EXPECT_EQ(little_endian::Read32(bytes), 0xddeefffeu);
    EXPECT_EQ(little_endian::Read64(bytes), 0x99aabbccddeefffeull);
}

TEST(LittleEndian, ReadsAtAnOddOffset) {
    const uint8_t bytes[] = {0x00, 0x04, 0x03, 0x02, 0x81, 0x00};
    EXPECT_EQ(little_endian::Read32(bytes + 1), 0x81020304u);
    EXPECT_EQ(little_endian::Read16(bytes + 3), 0x8102u);
}

TEST(LittleEndian, WritesTheBytesItReads) {
    uint8_t bytes[9] = {};
    little_endian::Write64(0x8877665544332211ull, bytes + 1);
    const uint8_t expected[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
    little_endian::Write32(0xcafef00du, bytes);
    EXPECT_EQ(little_endian::Read32(bytes), 0xcafef00du);
    little_endian::Write16(0xbeef, bytes + 4);
    EXPECT_EQ(bytes[4], 0xef);
    EXPECT_EQ(bytes[5], 0xbe);
}

}  // namespace
