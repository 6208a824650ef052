// Where sectors start and end on each card size, and the size a SAK names.
#include <gtest/gtest.h>

#include "cards/layout.h"

TEST(Layout, SectorsBlocksTrailersAndAccessGroupsOfA4KCard) {
  // A 4K card: 32 sectors of 4 blocks, then 8 of 16 from block 128.
  EXPECT_EQ(127, k4KLayout.Trailer(31));
  EXPECT_EQ(128, k4KLayout.FirstBlock(32));
  EXPECT_EQ(143, k4KLayout.Trailer(32));
  EXPECT_EQ(255, k4KLayout.Trailer(39));
  for (int block = 0; block < k4KLayout.blocks; ++block) {
    const int sector = k4KLayout.SectorOf(block);
    ASSERT_LE(k4KLayout.FirstBlock(sector), block);
    ASSERT_GE(k4KLayout.Trailer(sector), block);
    EXPECT_EQ(block < 128 ? block % 4 == 3 : block % 16 == 15, k4KLayout.IsTrailer(block)) << block;
  }
  // A 16-block sector's bits govern blocks 0-4, 5-9, 10-14 and the trailer.
  const int groups[16] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3};
  for (int index = 0; index < 16; ++index) EXPECT_EQ(groups[index], k4KLayout.AccessGroup(35, index)) << index;
  for (int index = 0; index < 4; ++index) EXPECT_EQ(index, k4KLayout.AccessGroup(31, index));
}

TEST(Layout, TheSakNamesTheSizeAndBit3TellsMifareClassic) {
  struct Case {
    uint8_t sak;
    bool classic, known;
    CardSize size;
  } cases[] = {{0x09, true, true, CardSize::kMini}, {0x08, true, true, CardSize::k1K},
               {0x28, true, true, CardSize::k1K},   {0x88, true, true, CardSize::k1K},
               {0x18, true, true, CardSize::k4K},   {0x38, true, true, CardSize::k4K},
               {0x98, true, true, CardSize::k4K},   {0x0A, true, false, CardSize::k1K},
               {0x20, false, false, CardSize::k1K}, {0x00, false, false, CardSize::k1K}};
  for (const Case& c : cases) {
    const SakSize s = SizeOfSak(c.sak);
    EXPECT_EQ(c.classic, s.classic) << int(c.sak);
    EXPECT_EQ(c.known, s.known) << int(c.sak);
    EXPECT_EQ(c.size, s.size) << int(c.sak);
  }
}
