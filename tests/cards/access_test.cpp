// Access conditions and value blocks, against the card maker's tables.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cards/access.h"

namespace {

// A trailer whose access bits give block 0 (and 1, 2) condition `data` and
// block 3 condition `trailer`, each as C1C2C3, with the inverted copies.
void MakeTrailer(int data, int trailer, uint8_t out[16]) {
  std::memset(out, 0, 16);
  unsigned c1 = 0, c2 = 0, c3 = 0;
  for (int block = 0; block < 4; ++block) {
    const int c = block == 3 ? trailer : data;
    c1 |= ((c >> 2) & 1u) << block;
    c2 |= ((c >> 1) & 1u) << block;
    c3 |= (c & 1u) << block;
  }
  out[6] = static_cast<uint8_t>((~c2 & 0xF) << 4 | (~c1 & 0xF));
  out[7] = static_cast<uint8_t>(c1 << 4 | (~c3 & 0xF));
  out[8] = static_cast<uint8_t>(c3 << 4 | c2);
}

std::string Rights(const DataBlockRights& r) {
  return std::string(r.read) + "/" + r.write + "/" + r.increment + "/" + r.decrement;
}
std::string Rights(const TrailerRights& r) {
  return std::string(r.keyARead) + "/" + r.keyAWrite + "/" + r.accessRead + "/" + r.accessWrite + "/" + r.keyBRead +
         "/" + r.keyBWrite;
}

}  // namespace

TEST(AccessConditions, EveryDataAndTrailerConditionDecodesToTheCardMakersTable) {
  const char* AB = "密钥A或B";
  const char* A = "密钥A";
  const char* B = "密钥B";
  const char* N = "不允许";
  auto join = [](std::initializer_list<const char*> parts) {
    std::string s;
    for (const char* p : parts) s += (s.empty() ? "" : "/") + std::string(p);
    return s;
  };
  // Indexed by C1C2C3 read as a binary number.
  const std::string data[8] = {join({AB, AB, AB, AB}), join({AB, N, N, AB}), join({AB, N, N, N}),
                               join({B, B, N, N}),     join({AB, B, N, N}),  join({B, N, N, N}),
                               join({AB, B, B, AB}),   join({N, N, N, N})};
  const std::string trailer[8] = {join({N, A, A, N, A, A}),   join({N, A, A, A, A, A}),   join({N, N, A, N, A, N}),
                                  join({N, B, AB, B, N, B}),  join({N, B, AB, N, N, B}),  join({N, N, AB, B, N, N}),
                                  join({N, N, AB, N, N, N}),  join({N, N, AB, N, N, N})};
  // Key A reads key B under 000, 010 and 001, and the card then refuses key B.
  const bool keyBReadable[8] = {true, true, true, false, false, false, false, false};
  for (int d = 0; d < 8; ++d) {
    for (int t = 0; t < 8; ++t) {
      uint8_t bytes[16];
      MakeTrailer(d, t, bytes);
      int conditions[4] = {-1, -1, -1, -1};
      ASSERT_TRUE(DecodeAccessBits(bytes, conditions)) << d << t;
      EXPECT_EQ(d, conditions[0]);
      EXPECT_EQ(d, conditions[2]);
      EXPECT_EQ(t, conditions[3]);
      EXPECT_EQ(data[d], Rights(DataBlockRightsOf(conditions[1]))) << "data condition " << d;
      EXPECT_EQ(trailer[t], Rights(TrailerRightsOf(conditions[3]))) << "trailer condition " << t;
      EXPECT_EQ(keyBReadable[t], KeyBReadable(conditions[3])) << "trailer condition " << t;
    }
  }
  // The transport configuration as cards leave the factory: FF 07 80.
  const uint8_t transport[16] = {0, 0, 0, 0, 0, 0, 0xFF, 0x07, 0x80, 0x69};
  int conditions[4];
  ASSERT_TRUE(DecodeAccessBits(transport, conditions));
  EXPECT_EQ(0, conditions[0]);
  EXPECT_EQ(1, conditions[3]);
  EXPECT_TRUE(KeyBReadable(conditions[3]));
}

TEST(AccessConditions, MalformedBitsAreNamedAndAnUnreadTrailerIsSaidToBe) {
  uint8_t bytes[16];
  MakeTrailer(0, 1, bytes);
  for (int byte = 6; byte <= 8; ++byte) {
    for (int bit = 0; bit < 8; ++bit) {
      uint8_t broken[16];
      std::memcpy(broken, bytes, 16);
      broken[byte] ^= static_cast<uint8_t>(1 << bit);
      int conditions[4];
      EXPECT_FALSE(DecodeAccessBits(broken, conditions)) << byte << ":" << bit;
      EXPECT_NE(std::string::npos, ExplainSector(2, 1, broken, nullptr).find("格式错误")) << byte << ":" << bit;
    }
  }
  const std::string unread = ExplainSector(2, 1, nullptr, nullptr);
  EXPECT_NE(std::string::npos, unread.find("没有读出")) << unread;
  const std::string text = ExplainSector(2, 1, bytes, nullptr);
  EXPECT_NE(std::string::npos, text.find("块[1]（数据块，C1C2C3=000）：读 密钥A或B，写 密钥A或B")) << text;
  EXPECT_NE(std::string::npos, text.find("块[3]（尾块，C1C2C3=001）：密钥A 读 不允许、写 密钥A")) << text;
}

TEST(ValueBlock, ValueAndAddressOnlyWhenEveryCopyAgrees) {
  // -5 at address 36: FBFFFFFF 04000000 FBFFFFFF 24 DB 24 DB.
  const uint8_t good[16] = {0xFB, 0xFF, 0xFF, 0xFF, 0x04, 0x00, 0x00, 0x00,
                            0xFB, 0xFF, 0xFF, 0xFF, 0x24, 0xDB, 0x24, 0xDB};
  int32_t value = 0;
  uint8_t address = 0;
  ASSERT_TRUE(ParseValueBlock(good, &value, &address));
  EXPECT_EQ(-5, value);
  EXPECT_EQ(36, address);
  for (int byte = 0; byte < 16; ++byte) {
    uint8_t broken[16];
    std::memcpy(broken, good, 16);
    broken[byte] ^= 0x10;
    EXPECT_FALSE(ParseValueBlock(broken, &value, &address)) << "byte " << byte;
  }
  uint8_t plainAddress[16];
  std::memcpy(plainAddress, good, 16);
  plainAddress[13] = plainAddress[15] = 0x24;  // the address four times, none inverted
  EXPECT_FALSE(ParseValueBlock(plainAddress, &value, &address));
  uint8_t trailer[16];
  MakeTrailer(6, 3, trailer);
  const std::string text = ExplainSector(9, 0, trailer, good);
  EXPECT_NE(std::string::npos, text.find("值 -5，地址 36")) << text;
  EXPECT_EQ(std::string::npos, ExplainSector(9, 3, trailer, good).find("值块"));
}
