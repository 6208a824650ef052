#pragma once
// What a read-out or a dictionary read learnt of a MIFARE Classic card, or
// what a dump holds: each block as read (or not read), and each sector's
// keys where known. A card never lets key A be read and shows key B only
// under some access conditions, so the keys are kept beside the blocks,
// not in them. An image has the size of its card: Mini, 1K or 4K.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/keys.h"
#include "cards/layout.h"

struct CardImage {
  explicit CardImage(CardSize size = CardSize::k1K);

  CardSize size;
  Layout layout;
  std::vector<std::array<uint8_t, 16>> blocks;
  std::vector<bool> read;
  std::vector<Key> keyA, keyB;
  std::vector<bool> keyAKnown, keyBKnown;
  std::string uid;  // as the CSN field shows it

  int Sectors() const { return layout.sectors; }
  int Blocks() const { return layout.blocks; }
  bool Empty() const;
  // Every block read and every key known: what raw and .eml can hold.
  bool Complete() const;
  bool SectorComplete(int sector) const;
  // The keys known, sector by sector, key A before key B.
  std::vector<Key> FoundKeys() const;
  // The trailer as a dump holds it: the block as read with the known keys
  // written over its key bytes.
  std::array<uint8_t, 16> TrailerWithKeys(int sector) const;
};

// "Mini", "1K", "4K": a size as messages name it.
const char* SizeName(CardSize size);
// "扇区[05]": a sector as messages name it.
std::string SectorName(int sector);
