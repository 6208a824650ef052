#pragma once
// What the card test commands need to know of MIFARE Classic 1K memory.

#include <cstdint>

constexpr int kSectors = 16;
constexpr int kBlocksPerSector = 4;
constexpr int kTrailerBlock = 3;  // within its sector

inline uint8_t BlockAddress(int sector, int block) {
  return static_cast<uint8_t>(sector * kBlocksPerSector + block);
}

// A sector trailer's access bytes 6 to 8 hold every access bit twice, once
// inverted. A card that gets a trailer where the two copies disagree blocks
// the whole sector for good, so such a trailer must never be written.
bool TrailerAccessBitsValid(const uint8_t trailer[16]);
