#include <gtest/gtest.h>

#include <cstring>

#include "txtconv/txtconv.h"

TEST(UIntToHex, WritesEightUpperCaseDigitsMostSignificantFirst) {
  char buf[9];
  std::memset(buf, 'x', sizeof buf);
  uint32_t counter = 0;
  UIntToHex(buf, 0x917E5C3Au, &counter);
  EXPECT_STREQ("917E5C3A", buf);
  UIntToHex(buf, 0x08u, &counter);
  EXPECT_STREQ("00000008", buf);  // small values keep all eight digits
  UIntToHex(buf, 0xFFFFFFFFu, &counter);
  EXPECT_STREQ("FFFFFFFF", buf);
  UIntToHex(buf, 0u, nullptr);
  EXPECT_STREQ("00000000", buf);
  EXPECT_EQ(3u, counter);  // counts the conversions it was given
}

TEST(UIntToHex, NeverWritesPastNineBytes) {
  char buf[12];
  std::memset(buf, '#', sizeof buf);
  UIntToHex(buf, 0xABCDEF01u, nullptr);
  EXPECT_EQ('\0', buf[8]);
  EXPECT_EQ('#', buf[9]);
}

TEST(HexToBytes, ConvertsEitherCase) {
  uint8_t key[8] = {};
  ASSERT_TRUE(HexToBytes("FFffA0b1c2D3", key, 12));
  const uint8_t want[8] = {0xFF, 0xFF, 0xA0, 0xB1, 0xC2, 0xD3, 0, 0};
  EXPECT_EQ(0, std::memcmp(want, key, 8));
}

TEST(HexToBytes, ConvertsOnlyCountCharacters) {
  uint8_t out[3] = {0x11, 0x22, 0x33};
  ASSERT_TRUE(HexToBytes("0102zz", out, 4));
  EXPECT_EQ(0x01, out[0]);
  EXPECT_EQ(0x02, out[1]);
  EXPECT_EQ(0x33, out[2]);
}

TEST(HexToBytes, RefusesBadInputWithoutWriting) {
  const char* bad[] = {"FFFFFFFFFFFG", "FFFFFFFFFF F", "-FFFFFFFFFFF", "FFFFFFFFFFF", "", "０１２３４５６７"};
  for (const char* text : bad) {
    uint8_t key[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(HexToBytes(text, key, 12)) << text;
    const uint8_t untouched[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(0, std::memcmp(untouched, key, 6)) << text;
  }
  uint8_t b[2] = {};
  EXPECT_FALSE(HexToBytes("ABC", b, 3));  // odd count
  EXPECT_FALSE(HexToBytes("AB", b, -2));
  EXPECT_FALSE(HexToBytes(nullptr, b, 2));
  EXPECT_TRUE(HexToBytes("", b, 0));
}
