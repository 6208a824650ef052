#include <gtest/gtest.h>

#include "sim/access.h"

namespace {

using sim::AccessConditions;
using sim::DecodeAccessBytes;
using sim::EncodeAccessBytes;

// Values found in the card's datasheet and in countless dumps.
TEST(AccessBytes, EncodeTheWellKnownSettings) {
  EXPECT_EQ((std::array<uint8_t, 3>{0xFF, 0x07, 0x80}),
            EncodeAccessBytes(AccessConditions{0, 0, 0, 1}));  // transport
  EXPECT_EQ((std::array<uint8_t, 3>{0x7F, 0x07, 0x88}),
            EncodeAccessBytes(AccessConditions{0, 0, 0, 3}));  // key B owns the trailer
  EXPECT_EQ((std::array<uint8_t, 3>{0x08, 0x77, 0x8F}),
            EncodeAccessBytes(AccessConditions{6, 6, 6, 3}));  // value blocks
}

TEST(AccessBytes, EverySettingSurvivesEncodeAndDecode) {
  for (int bits = 0; bits < 4096; ++bits) {
    const AccessConditions c{static_cast<uint8_t>(bits & 7), static_cast<uint8_t>(bits >> 3 & 7),
                             static_cast<uint8_t>(bits >> 6 & 7),
                             static_cast<uint8_t>(bits >> 9 & 7)};
    const auto bytes = EncodeAccessBytes(c);
    const auto decoded = DecodeAccessBytes(bytes.data());
    ASSERT_TRUE(decoded.has_value()) << bits;
    ASSERT_EQ(c, *decoded) << bits;
  }
}

TEST(AccessBytes, AnyBitOutOfStepWithItsInverseIsMalformed) {
  const auto good = EncodeAccessBytes(AccessConditions{0, 2, 4, 3});
  for (int byte = 0; byte < 3; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      auto bad = good;
      bad[byte] ^= static_cast<uint8_t>(1 << bit);
      EXPECT_FALSE(DecodeAccessBytes(bad.data()).has_value()) << byte << ":" << bit;
    }
  }
  const uint8_t zeros[3] = {0, 0, 0};
  EXPECT_FALSE(DecodeAccessBytes(zeros).has_value());
}

TEST(AccessBytes, KeyBIsReadableExactlyWhereKeyAOwnsTheTrailer) {
  for (uint8_t c = 0; c < 8; ++c) {
    const bool readable = sim::KeyBReadable(c);
    EXPECT_EQ(readable, c == 0 || c == 1 || c == 2) << int(c);
    EXPECT_EQ(readable, sim::TrailerAccess(c, sim::KeyKind::A).readKeyB) << int(c);
    // Key B never reads itself: where it can authenticate it is secret.
    EXPECT_FALSE(sim::TrailerAccess(c, sim::KeyKind::B).readKeyB) << int(c);
  }
}

}  // namespace
