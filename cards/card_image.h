#pragma once
// What a read-out or a dictionary read learnt of a MIFARE Classic 1K card:
// each block as read (or not read), and each sector's keys where known. A
// card never lets key A be read and shows key B only under some access
// conditions, so the keys are kept beside the blocks, not in them.

#include <array>
#include <cstdint>
#include <string>

#include "cards/keys.h"
#include "cards/layout.h"

constexpr int kCardSectors = k1KLayout.sectors;
constexpr int kCardBlocks = k1KLayout.blocks;

struct CardImage {
  std::array<std::array<uint8_t, 16>, kCardBlocks> blocks{};
  std::array<bool, kCardBlocks> read{};
  std::array<Key, kCardSectors> keyA{}, keyB{};
  std::array<bool, kCardSectors> keyAKnown{}, keyBKnown{};
  std::string uid;  // as the CSN field shows it

  bool Empty() const;
  // Every block read and every key known: what raw and .eml can hold.
  bool Complete() const;
  bool SectorComplete(int sector) const;
  // The trailer as a dump holds it: the block as read with the known keys
  // written over its key bytes.
  std::array<uint8_t, 16> TrailerWithKeys(int sector) const;
};
