// Explain's view of what an NFC-formatted card carries, on the sample card
// under docs/ and on copies of it with parts unread or changed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cards/card_contents.h"
#include "cards/dump_reader.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class SampleCard : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/docs/ndef-sample.mct", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::string problem;
    ASSERT_TRUE(ParseCardDump(bytes, &image, &problem)) << problem;
  }
  CardImage image;
};

}  // namespace

TEST_F(SampleCard, SectorZeroShowsTheMadAndEachNfcSectorTheWholeMessageAcrossTheTrailer) {
  const std::vector<std::string> mad = ContentLines(image, 0);
  ASSERT_EQ(18u, mad.size()) << Joined(mad);
  EXPECT_EQ("尾块字节9 = 0xC1：有 MAD，多应用卡，MAD 版本位 1", mad[0]);
  EXPECT_EQ("MAD1（应用目录，扇区[01]-[15]）：CRC 正确", mad[1]);
  EXPECT_EQ("扇区[01]：0xE103 NDEF", mad[3]);
  EXPECT_EQ("扇区[03]：0x0000 空闲", mad[5]);
  const std::vector<std::string> expected = {
      "NDEF（扇区[01]-[02] 的数据块，偏移从扇区[01] 块[0]起算）：",
      "NDEF 消息 TLV（偏移 0，长度 88）",
      "记录 1（偏移 2）：MB SR，TNF 1（知名类型），类型 \"U\"，负载 13 字节",
      "URI：https://example.org/",
      "记录 2（偏移 19）：ME SR，TNF 1（知名类型），类型 \"T\"，负载 67 字节",
      "文本（zh）：QUILLON 示例卡：一条 URI 记录和一条中文文本记录",
      "终止 TLV（偏移 90）"};
  EXPECT_EQ(expected, ContentLines(image, 1));
  EXPECT_EQ(expected, ContentLines(image, 2));
  EXPECT_TRUE(ContentLines(image, 3).empty());
  EXPECT_TRUE(ContentLines(image, 16).empty());
}

TEST_F(SampleCard, UnreadChangedOrAbsentDirectoryIsSaidSo) {
  CardImage unread = image;
  unread.read[8] = false;  // sector 2's block 0, where the text record goes on
  EXPECT_EQ("偏移 0：TLV 0x03（长度 88）进入没有读出的扇区[02] 块[0]（偏移 48 起）", ContentLines(unread, 1).back());
  unread.read[2] = false;
  EXPECT_EQ("MAD1 所在的块[1]、块[2]没有全部读出，无法解读", ContentLines(unread, 0).back());
  EXPECT_TRUE(ContentLines(unread, 1).empty());

  CardImage changed = image;
  changed.blocks[1][2] = 0x04;  // sector 1 no longer NDEF, and the CRC is wrong
  EXPECT_TRUE(ContentLines(changed, 1).empty());
  const std::vector<std::string> lines = ContentLines(changed, 2);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ("NDEF（扇区[02] 的数据块，偏移从扇区[02] 块[0]起算）：", lines[0]);
  EXPECT_EQ("注意：MAD 的 CRC 错误，扇区的 NDEF 标记可能不可靠", lines[1]);
  EXPECT_EQ("偏移 0：未知的 TLV 类型 0x80", lines[2]);

  CardImage plain = image;
  plain.blocks[3][9] = 0x69;  // as delivered: no MAD
  EXPECT_TRUE(ContentLines(plain, 0).empty());
  EXPECT_TRUE(ContentLines(plain, 1).empty());
  CardImage noTrailer = image;  // the byte that tells of a MAD not read
  noTrailer.read[3] = false;
  EXPECT_TRUE(ContentLines(noTrailer, 0).empty());
  EXPECT_TRUE(ContentLines(noTrailer, 1).empty());
}
