// The compare of two card images: what counts as same, different and not
// comparable, and how a difference is shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cards/compare.h"
#include "cards/layout.h"

namespace {

// A side of `layout`'s size with every block read, data blocks zero,
// trailers as delivered, both keys known.
CompareSide Side(const std::string& label, const Layout& layout = k1KLayout) {
  CompareSide side;
  side.label = label;
  side.blocks.resize(static_cast<size_t>(layout.blocks));
  side.known.assign(side.blocks.size(), true);
  side.keyAKnown.assign(static_cast<size_t>(layout.sectors), true);
  side.keyBKnown = side.keyAKnown;
  for (int s = 0; s < layout.sectors; ++s)
    side.blocks[static_cast<size_t>(layout.Trailer(s))] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07,
                                                           0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  return side;
}

}  // namespace

TEST(Compare, IdenticalSidesGiveOneLineAndDifferingBlocksComeInOrderWithMarksUnderTheirBytes) {
  CompareSide card = Side("卡片"), file = Side("文件");
  EXPECT_EQ(std::vector<std::string>{"全部 64 个块相同"}, CompareLines(card, file));
  file.blocks[5][0] = 0x01;
  file.blocks[5][15] = 0xAA;
  file.blocks[1][3] = 0x10;
  card.known[9] = false;   // unread on the card
  file.known[10] = false;  // a dump without the block
  card.blocks[9][0] = 0x55;
  const std::vector<std::string> lines = CompareLines(card, file);
  ASSERT_EQ(9u, lines.size());
  EXPECT_EQ("60/64 个块相同，2 个块不同，2 个块无法比较", lines[0]);
  EXPECT_EQ("扇区[00] 块[1]", lines[1]);
  EXPECT_EQ("卡片：00000000000000000000000000000000", lines[2]);
  EXPECT_EQ("文件：00000010000000000000000000000000", lines[3]);
  EXPECT_EQ("            ^^", lines[4]);
  EXPECT_EQ("扇区[01] 块[1]", lines[5]);
  EXPECT_EQ("文件：010000000000000000000000000000AA", lines[7]);
  EXPECT_EQ("      ^^                            ^^", lines[8]);
}

TEST(Compare, TrailerPartsAndUnknownKeys) {
  CompareSide a = Side("文件1"), b = Side("文件2");
  // Sector 1: key A and byte 9 differ; sector 2: key B unknown in one
  // file, so its different bytes are not compared; sector 3: access bits.
  b.blocks[7][0] = 0xA0;
  b.blocks[7][9] = 0xC1;
  b.keyBKnown[2] = false;
  b.blocks[11][15] = 0x00;
  const uint8_t access[3] = {0x7F, 0x07, 0x88};
  std::copy(access, access + 3, &b.blocks[15][6]);
  const std::vector<std::string> lines = CompareLines(a, b);
  ASSERT_EQ(14u, lines.size());
  EXPECT_EQ("62/64 个块相同，2 个块不同，0 个块无法比较", lines[0]);
  EXPECT_EQ("扇区[01] 块[3]", lines[1]);
  EXPECT_EQ("文件1：FFFFFFFFFFFFFF078069FFFFFFFFFFFF", lines[2]);
  EXPECT_EQ("文件2：A0FFFFFFFFFFFF0780C1FFFFFFFFFFFF", lines[3]);
  EXPECT_EQ("       ^^                ^^", lines[4]);
  EXPECT_EQ("密钥A不同：文件1 FFFFFFFFFFFF，文件2 A0FFFFFFFFFF", lines[5]);
  EXPECT_EQ("字节9不同：文件1 0x69，文件2 0xC1", lines[6]);
  EXPECT_EQ("扇区[03] 块[3]", lines[7]);
  EXPECT_EQ("控制位不同：文件1 FF0780，文件2 7F0788", lines[11]);
  EXPECT_EQ("  块[3] 文件1：密钥A 读 不允许、写 密钥A；控制位 读 密钥A、写 密钥A；密钥B 读 密钥A、写 密钥A", lines[12]);
  EXPECT_EQ("  块[3] 文件2：密钥A 读 不允许、写 密钥B；控制位 读 密钥A或B、写 密钥B；密钥B 读 不允许、写 密钥B",
            lines[13]);

  // Once the trailer differs in a compared byte, the unknown key shows as
  // dashes and is named as not compared.
  b.blocks[11][9] = 0x00;
  const std::vector<std::string> again = CompareLines(a, b);
  ASSERT_EQ(20u, again.size());
  EXPECT_EQ("文件2：FFFFFFFFFFFFFF078000------------", again[9]);
  EXPECT_EQ("字节9不同：文件1 0x69，文件2 0x00", again[11]);
  EXPECT_EQ("密钥B未比较（文件2中未知）", again[12]);
}

TEST(Compare, DifferentSizesNameTheSectorsOnlyOneSideHas) {
  CompareSide card = Side("卡片", k4KLayout), file = Side("文件");
  // A 16-block sector's access groups are named by their blocks.
  const uint8_t access[3] = {0x78, 0x77, 0x88};
  std::copy(access, access + 3, &card.blocks[143][6]);
  std::vector<std::string> lines = CompareLines(card, file);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("64/256 个块相同，0 个块不同，192 个块无法比较", lines[0]);
  EXPECT_EQ("扇区[16]-[39] 只有卡片有（文件只有 16 个扇区）", lines[1]);

  CompareSide other = Side("文件", k4KLayout);
  lines = CompareLines(card, other);
  ASSERT_EQ(14u, lines.size());
  EXPECT_EQ("255/256 个块相同，1 个块不同，0 个块无法比较", lines[0]);
  EXPECT_EQ("扇区[32] 块[15]", lines[1]);
  EXPECT_EQ("  块[0-4] 卡片：读 密钥A或B，写 密钥B，加值 不允许，减值/转存/恢复 不允许", lines[6]);
  EXPECT_EQ("  块[0-4] 文件：读 密钥A或B，写 密钥A或B，加值 密钥A或B，减值/转存/恢复 密钥A或B", lines[7]);

  EXPECT_EQ("扇区[05]-[15] 只有文件有（卡片只有 5 个扇区）", CompareLines(Side("卡片", kMiniLayout), file)[1]);
}

TEST(Compare, ACardImageComparesWithTheKeysItFound) {
  CardImage image;
  for (size_t b = 0; b < image.blocks.size(); ++b) image.read[b] = true;
  image.blocks[3] = Side("").blocks[3];
  image.blocks[3][0] = 0;  // key A reads as zeros from a card
  image.keyA[0] = 0xFFFFFFFFFFFF;
  image.keyAKnown[0] = true;
  const CompareSide side = CompareSideOf(image, "卡片");
  ASSERT_EQ(64u, side.blocks.size());
  EXPECT_EQ(0xFF, side.blocks[3][0]);
  EXPECT_TRUE(side.keyAKnown[0]);
  EXPECT_FALSE(side.keyBKnown[0]);
  EXPECT_FALSE(side.keyAKnown[1]);
}
