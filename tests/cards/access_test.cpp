// Access conditions and value blocks, against the card maker's tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "cards/access.h"
#include "cards/hex.h"

namespace {

// A trailer whose access bits give block 0 (and 1, 2) condition `data` and
// block 3 condition `trailer`.
void MakeTrailer(int data, int trailer, uint8_t out[16]) {
  std::memset(out, 0, 16);
  const int conditions[4] = {data, data, data, trailer};
  EncodeAccessBits(conditions, out + 6);
}

// The card datasheet's two tables, row by row: who may do what, "A", "B",
// "AB" or "-" for never. Where key B may be read it is data, not a key, and
// cannot authenticate: those rows' key B rights never come into play.
const char* const kDatasheetData[8][4] = {
    // read, write, increment, decrement/transfer/restore
    {"AB", "AB", "AB", "AB"}, {"AB", "-", "-", "AB"}, {"AB", "-", "-", "-"}, {"B", "B", "-", "-"},    // 000-011
    {"AB", "B", "-", "-"},    {"B", "-", "-", "-"},   {"AB", "B", "B", "AB"}, {"-", "-", "-", "-"},  // 100-111
};
const char* const kDatasheetTrailer[8][6] = {
    // key A read, write; access bits read, write; key B read, write
    {"-", "A", "A", "-", "A", "A"},   {"-", "A", "A", "A", "A", "A"},    // 000 001
    {"-", "-", "A", "-", "A", "-"},   {"-", "B", "AB", "B", "-", "B"},   // 010 011
    {"-", "B", "AB", "-", "-", "B"},  {"-", "-", "AB", "B", "-", "-"},   // 100 101
    {"-", "-", "AB", "-", "-", "-"},  {"-", "-", "AB", "-", "-", "-"},   // 110 111
};

// The datasheet's letters for who a rule lets, and the words explain shows.
std::string Letters(Who who) { return std::string(Allows(who, false) ? "A" : "") + (Allows(who, true) ? "B" : ""); }
std::string Words(const char* letters) {
  const std::string l = letters;
  return l == "AB" ? "密钥A或B" : l == "A" ? "密钥A" : l == "B" ? "密钥B" : "不允许";
}

}  // namespace

TEST(AccessConditions, EverySettingForBothKeysIsTheDatasheetsAndSurvivesEncodeAndDecode) {
  for (int c = 0; c < 8; ++c) {
    SCOPED_TRACE("C1C2C3 " + std::to_string(c >> 2) + std::to_string(c >> 1 & 1) + std::to_string(c & 1));
    const DataBlockRule data = DataBlockRuleOf(c);
    const Who dataWho[4] = {data.read, data.write, data.increment, data.decrement};
    const DataBlockRights dataWords = DataBlockRightsOf(c);
    const char* dataShown[4] = {dataWords.read, dataWords.write, dataWords.increment, dataWords.decrement};
    for (int f = 0; f < 4; ++f) {
      EXPECT_EQ(kDatasheetData[c][f], Letters(dataWho[f]).empty() ? "-" : Letters(dataWho[f])) << "data " << f;
      EXPECT_EQ(Words(kDatasheetData[c][f]), dataShown[f]) << "data " << f;
    }
    const TrailerRule trailer = TrailerRuleOf(c);
    const Who trailerWho[6] = {trailer.keyARead,   trailer.keyAWrite, trailer.accessRead,
                               trailer.accessWrite, trailer.keyBRead,  trailer.keyBWrite};
    const TrailerRights words = TrailerRightsOf(c);
    const char* shown[6] = {words.keyARead, words.keyAWrite, words.accessRead, words.accessWrite, words.keyBRead,
                            words.keyBWrite};
    for (int f = 0; f < 6; ++f) {
      EXPECT_EQ(kDatasheetTrailer[c][f], Letters(trailerWho[f]).empty() ? "-" : Letters(trailerWho[f])) << "trailer " << f;
      EXPECT_EQ(Words(kDatasheetTrailer[c][f]), shown[f]) << "trailer " << f;
    }
    // Key A reads key B under 000, 010 and 001, and the card then refuses key B.
    EXPECT_EQ(c == 0 || c == 2 || c == 1, KeyBReadable(c));
    EXPECT_EQ(std::string(kDatasheetTrailer[c][3]) == "-", AccessBitsFrozen(c));
  }
  // Every combination of the four blocks' settings comes back as encoded.
  for (int bits = 0; bits < 4096; ++bits) {
    const int conditions[4] = {bits & 7, bits >> 3 & 7, bits >> 6 & 7, bits >> 9 & 7};
    uint8_t trailer[16] = {};
    EncodeAccessBits(conditions, trailer + 6);
    int decoded[4] = {-1, -1, -1, -1};
    ASSERT_TRUE(DecodeAccessBits(trailer, decoded)) << bits;
    ASSERT_TRUE(std::equal(conditions, conditions + 4, decoded)) << bits;
  }
  // Values found in the datasheet and in countless dumps.
  const int transport[4] = {0, 0, 0, 1}, keyBOwns[4] = {0, 0, 0, 3}, values[4] = {6, 6, 6, 3};
  for (const auto& [conditions, hex] : {std::pair{transport, "FF0780"}, {keyBOwns, "7F0788"}, {values, "08778F"}}) {
    uint8_t bytes[3];
    EncodeAccessBits(conditions, bytes);
    EXPECT_EQ(hex, HexText(bytes, 3));
  }
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
