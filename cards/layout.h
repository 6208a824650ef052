#pragma once
// Where everything is on a MIFARE Classic card, for each of its sizes: the
// one place that knows how many sectors a card has, how many blocks each
// sector holds, and where a sector starts and ends.
//
// Mini and 1K cards have sectors of 4 blocks. A 4K card has 32 of those,
// then 8 sectors of 16 blocks from block 128. Every sector ends in its
// trailer, and its access bits cover four groups of blocks: in a 4-block
// sector each block is a group, in a 16-block sector blocks 0-4, 5-9, 10-14
// and the trailer.

#include <cstdint>

constexpr int kBlockSize = 16;

enum class CardSize { kMini, k1K, k4K };

struct Layout {
  int sectors;
  int blocks;

  static constexpr int kSmallSectors = 32;  // sectors of 4 blocks on a 4K card
  static constexpr int kSmallBlocks = 4;
  static constexpr int kLargeBlocks = 16;

  constexpr int BytesTotal() const { return blocks * kBlockSize; }
  constexpr int BlocksIn(int sector) const { return sector < kSmallSectors ? kSmallBlocks : kLargeBlocks; }
  constexpr int FirstBlock(int sector) const {
    return sector < kSmallSectors ? sector * kSmallBlocks
                                  : kSmallSectors * kSmallBlocks + (sector - kSmallSectors) * kLargeBlocks;
  }
  constexpr int Trailer(int sector) const { return FirstBlock(sector) + BlocksIn(sector) - 1; }
  constexpr int SectorOf(int block) const {
    return block < kSmallSectors * kSmallBlocks ? block / kSmallBlocks
                                                : kSmallSectors + (block - kSmallSectors * kSmallBlocks) / kLargeBlocks;
  }
  // The block's number within its sector.
  constexpr int IndexInSector(int block) const { return block - FirstBlock(SectorOf(block)); }
  constexpr bool IsTrailer(int block) const { return block == Trailer(SectorOf(block)); }
  // Which of the sector's four access groups (3: the trailer) governs the
  // block with number `index` in its sector.
  constexpr int AccessGroup(int sector, int index) const {
    return BlocksIn(sector) == kSmallBlocks ? index : (index == kLargeBlocks - 1 ? 3 : index / 5);
  }
};

constexpr Layout kMiniLayout{5, 20};
constexpr Layout k1KLayout{16, 64};
constexpr Layout k4KLayout{40, 256};
constexpr int kMaxSectors = k4KLayout.sectors;

// What the SAK a card answered its select with says of its memory. Bit 3
// set means MIFARE Classic memory; the table's values name the size, and
// any other such SAK is taken as a 1K card (`known` false).
struct SakSize {
  bool classic;
  bool known;
  CardSize size;
};
constexpr SakSize SizeOfSak(uint8_t sak) {
  if ((sak & 0x08) == 0) return {false, false, CardSize::k1K};
  switch (sak) {
    case 0x09: return {true, true, CardSize::kMini};
    case 0x08: case 0x28: case 0x88: return {true, true, CardSize::k1K};
    case 0x18: case 0x38: case 0x98: return {true, true, CardSize::k4K};
    default: return {true, false, CardSize::k1K};
  }
}

constexpr Layout LayoutOf(CardSize size) {
  return size == CardSize::kMini ? kMiniLayout : size == CardSize::k4K ? k4KLayout : k1KLayout;
}

// The layout of an image or dump of `blocks` blocks: the smallest card
// that holds them. The sizes agree on the sectors they share (a Mini
// card's 5 are a 1K card's first 5, a 1K card's 16 a 4K card's first 16).
constexpr Layout LayoutOfBlocks(int blocks) {
  return blocks > k1KLayout.blocks ? k4KLayout : blocks > kMiniLayout.blocks ? k1KLayout : kMiniLayout;
}
