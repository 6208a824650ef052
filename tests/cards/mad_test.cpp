// The MIFARE Application Directory against the application note's examples.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cards/mad.h"

namespace {

// The application note's example directory, sector 0's blocks 1 and 2.
const uint8_t kExample[32] = {0x89, 0x01, 0x01, 0x08, 0x01, 0x08, 0x01, 0x08, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x10, 0x03, 0x10, 0x02, 0x10,
                              0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x30};

}  // namespace

TEST(Mad, CrcMatchesThePublishedExamplesAndTheCheckValue) {
  EXPECT_EQ(0x89, MadCrc(kExample + 1, 31));
  std::vector<uint8_t> ndef = {0x01};
  for (int i = 0; i < 15; ++i) ndef.insert(ndef.end(), {0x03, 0xE1});
  EXPECT_EQ(0x14, MadCrc(ndef.data(), ndef.size()));
  EXPECT_EQ(0x99, MadCrc(reinterpret_cast<const uint8_t*>("123456789"), 9));
}

TEST(Mad, Mad1GivesEachSectorItsAidLowByteFirst) {
  const Mad mad = DecodeMad1(kExample);
  EXPECT_TRUE(mad.CrcCorrect());
  EXPECT_EQ(1, mad.publisherSector);
  ASSERT_EQ(15u, mad.aids.size());
  uint16_t aid = 0;
  ASSERT_TRUE(mad.AidOf(1, &aid));
  EXPECT_EQ(0x0801, aid);
  ASSERT_TRUE(mad.AidOf(7, &aid));
  EXPECT_EQ(0x0004, aid);
  ASSERT_TRUE(mad.AidOf(15, &aid));
  EXPECT_EQ(0x3011, aid);
  EXPECT_FALSE(mad.AidOf(0, &aid));
  EXPECT_FALSE(mad.AidOf(16, &aid));

  const std::vector<std::string> lines = MadLines(mad, 1);
  ASSERT_EQ(17u, lines.size());
  EXPECT_EQ("MAD1（应用目录，扇区[01]-[15]）：CRC 正确", lines[0]);
  EXPECT_EQ("发卡方信息扇区：扇区[01]", lines[1]);
  EXPECT_EQ("扇区[07]：0x0004 持卡人信息", lines[8]);
  EXPECT_EQ("扇区[15]：0x3011", lines[16]);
}

TEST(Mad, AWrongCrcShowsBothValues) {
  uint8_t bytes[32];
  std::copy(kExample, kExample + 32, bytes);
  bytes[0] = 0x88;
  EXPECT_EQ("MAD1（应用目录，扇区[01]-[15]）：CRC 错误（卡上 0x88, 应为 0x89）", MadLines(DecodeMad1(bytes), 1)[0]);
  bytes[0] = 0x89;
  bytes[31] = 0x31;  // a changed AID byte, and the stored CRC no longer fits
  EXPECT_FALSE(DecodeMad1(bytes).CrcCorrect());
}

TEST(Mad, Mad2CoversSectors17To39) {
  uint8_t bytes[48] = {};
  bytes[1] = 0x00;
  for (int i = 2; i < 48; i += 2) bytes[i] = 0x05;  // not applicable ...
  bytes[46] = 0x03, bytes[47] = 0xE1;                 // ... but sector 39 holds NDEF
  bytes[0] = MadCrc(bytes + 1, 47);
  const Mad mad = DecodeMad2(bytes);
  EXPECT_TRUE(mad.CrcCorrect());
  ASSERT_EQ(23u, mad.aids.size());
  uint16_t aid = 0;
  EXPECT_FALSE(mad.AidOf(16, &aid));
  ASSERT_TRUE(mad.AidOf(39, &aid));
  EXPECT_EQ(kAidNdef, aid);
  const std::vector<std::string> lines = MadLines(mad, 2);
  ASSERT_EQ(25u, lines.size());
  EXPECT_EQ("MAD2（应用目录，扇区[17]-[39]）：CRC 正确", lines[0]);
  EXPECT_EQ("发卡方信息扇区：无", lines[1]);
  EXPECT_EQ("扇区[17]：0x0005 不适用", lines[2]);
  EXPECT_EQ("扇区[39]：0xE103 NDEF", lines[24]);
}

TEST(Mad, AidNames) {
  const char* const names[] = {"0x0000 空闲",         "0x0001 损坏",       "0x0002 保留",
                               "0x0003 附加目录信息", "0x0004 持卡人信息", "0x0005 不适用"};
  for (uint16_t aid = 0; aid < 6; ++aid) EXPECT_EQ(names[aid], AidText(aid));
  EXPECT_EQ("0xE103 NDEF", AidText(0xE103));
  EXPECT_EQ("0x0006", AidText(0x0006));
  EXPECT_EQ("0xE104", AidText(0xE104));
}
