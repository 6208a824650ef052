// The text and card-memory helpers behind the commands.
#include <gtest/gtest.h>

#include "cardtest/mifare.h"
#include "cardtest/texts.h"
#include "txtconv/txtconv.h"

TEST(LastChars, TakesTheTailWithoutSplittingCharacters) {
  EXPECT_EQ("0123", LastChars("块[0]:0123", 4));
  EXPECT_EQ("块[0]:0123", LastChars("块[0]:0123", 32));
  EXPECT_EQ(":0123", LastChars("块[0]:0123", 5));
  EXPECT_EQ("]:0123", LastChars("块[0]:0123", 6));
  EXPECT_EQ("失败！", LastChars("读扇区[10]第[1]块失败！", 3));
  EXPECT_EQ("", LastChars("", 32));
}

TEST(IsHexDigits, WantsExactlyThatManyDigitsOfEitherCase) {
  EXPECT_TRUE(IsHexDigits("0123456789abcdefABCDEF0123456789", 32));
  EXPECT_FALSE(IsHexDigits("0123456789abcdefABCDEF012345678", 32));
  EXPECT_FALSE(IsHexDigits("0123456789abcdefABCDEF01234567890", 32));
  EXPECT_FALSE(IsHexDigits("0123456789abcdefABCDEF012345678g", 32));
  EXPECT_FALSE(IsHexDigits("0x23456789abcdefABCDEF0123456789", 32));
}

TEST(TrailerAccessBits, AcceptsOnlyBytesHoldingEachBitAndItsInverse) {
  struct Case {
    const char* bytes678;
    bool valid;
  } cases[] = {
      {"FF0780", true},   // transport configuration
      {"7F0788", true},
      {"787788", true},
      {"08778F", true},
      {"000000", false},  // what 32 zeros would write
      {"FFFFFF", false},
      {"FF0781", false},  // one bit of C2 flipped
      {"FE0780", false},  // one inverted bit of C1 flipped
      {"FF0F80", false},  // C3 inverse wrong
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes678);
    uint8_t trailer[16] = {};
    ASSERT_TRUE(HexToBytes(c.bytes678, trailer + 6, 6));
    EXPECT_EQ(c.valid, TrailerAccessBitsValid(trailer));
  }
}
