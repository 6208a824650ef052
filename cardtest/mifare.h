#pragma once
// What the card test commands need to know of MIFARE Classic 1K memory:
// the window's own commands work on the sectors of a 1K card.

#include <cstdint>

#include "cards/block0.h"
#include "cards/layout.h"

constexpr int kSectors = k1KLayout.sectors;
constexpr int kBlocksPerSector = k1KLayout.BlocksIn(0);
constexpr int kTrailerBlock = kBlocksPerSector - 1;  // within its sector

inline uint8_t BlockAddress(int sector, int block) {
  return static_cast<uint8_t>(k1KLayout.FirstBlock(sector) + block);
}

// A sector trailer's access bytes 6 to 8 hold every access bit twice, once
// inverted. A card that gets a trailer where the two copies disagree blocks
// the whole sector for good, so such a trailer must never be written.
bool TrailerAccessBitsValid(const uint8_t trailer[16]);
