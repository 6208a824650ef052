// The MIFARE Application Directory against the application note's examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cards/mad.h"

namespace {

// The application note's example directory, sector 0's blocks 1 and 2.
const uint8_t kExample[32] = {0x89, 0x01, 0x01, 0x08, 0x01, 0x08, 0x01, 0x08, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x00, 0x04, 0x00, 0x03, 0x10, 0x03, 0x10, 0x02, 0x10,
                              0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x30};

}  // namespace

TEST(Mad, EachDirectoryGivesTheSectorsItCoversTheirAidsLowByteFirst) {
  EXPECT_EQ(0x99, MadCrc(reinterpret_cast<const uint8_t*>("123456789"), 9));  // the CRC's check value
  // MAD2 with no publisher sector: not applicable everywhere but sector 39.
  uint8_t mad2[48] = {};
  for (int i = 2; i < 48; i += 2) mad2[i] = 0x05;
  mad2[46] = 0x03, mad2[47] = 0xE1;
  mad2[0] = MadCrc(mad2 + 1, 47);
  const struct {
    Mad mad;
    int version, first, last;
    const char* title;
    const char* publisher;
    std::vector<std::string> shown;  // some of the sectors' lines
  } cases[] = {
      {DecodeMad1(kExample), 1, 1, 15, "MAD1（应用目录，扇区[01]-[15]）：CRC 正确", "发卡方信息扇区：扇区[01]",
       {"扇区[01]：0x0801", "扇区[07]：0x0004 持卡人信息", "扇区[15]：0x3011"}},
      {DecodeMad2(mad2), 2, 17, 39, "MAD2（应用目录，扇区[17]-[39]）：CRC 正确", "发卡方信息扇区：无",
       {"扇区[17]：0x0005 不适用", "扇区[39]：0xE103 NDEF"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_TRUE(c.mad.CrcCorrect());
    uint16_t aid = 0;
    EXPECT_FALSE(c.mad.AidOf(c.first - 1, &aid) || c.mad.AidOf(c.last + 1, &aid));
    const std::vector<std::string> lines = MadLines(c.mad, c.version);
    ASSERT_EQ(static_cast<size_t>(c.last - c.first + 3), lines.size());
    EXPECT_EQ(c.title, lines[0]);
    EXPECT_EQ(c.publisher, lines[1]);
    for (const std::string& line : c.shown) EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), line)) << line;
  }
}

TEST(Mad, AWrongCrcShowsBothValuesAndAidsWithoutANameShowTheirNumber) {
  uint8_t bytes[32];
  std::copy(kExample, kExample + 32, bytes);
  bytes[0] = 0x88;
  EXPECT_EQ("MAD1（应用目录，扇区[01]-[15]）：CRC 错误（卡上 0x88, 应为 0x89）", MadLines(DecodeMad1(bytes), 1)[0]);
  const char* const names[] = {"0x0000 空闲", "0x0001 损坏", "0x0002 保留", "0x0003 附加目录信息"};
  for (uint16_t aid = 0; aid < 4; ++aid) EXPECT_EQ(names[aid], AidText(aid));
  EXPECT_EQ("0x0006", AidText(0x0006));
  EXPECT_EQ("0xE104", AidText(0xE104));
}
