#include "cards/card_image.h"

bool CardImage::Empty() const {
  for (bool r : read)
    if (r) return false;
  return true;
}

bool CardImage::SectorComplete(int sector) const {
  for (int b = 0; b < 4; ++b)
    if (!read[sector * 4 + b]) return false;
  return keyAKnown[sector] && keyBKnown[sector];
}

bool CardImage::Complete() const {
  for (int s = 0; s < kCardSectors; ++s)
    if (!SectorComplete(s)) return false;
  return true;
}

std::array<uint8_t, 16> CardImage::TrailerWithKeys(int sector) const {
  std::array<uint8_t, 16> trailer = blocks[sector * 4 + 3];
  if (keyAKnown[sector]) KeyBytes(keyA[sector], &trailer[0]);
  if (keyBKnown[sector]) KeyBytes(keyB[sector], &trailer[10]);
  return trailer;
}
