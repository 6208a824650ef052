#include "cards/card_image.h"

bool CardImage::Empty() const {
  for (bool r : read)
    if (r) return false;
  return true;
}

bool CardImage::SectorComplete(int sector) const {
  for (int b = k1KLayout.FirstBlock(sector); b <= k1KLayout.Trailer(sector); ++b)
    if (!read[b]) return false;
  return keyAKnown[sector] && keyBKnown[sector];
}

bool CardImage::Complete() const {
  for (int s = 0; s < kCardSectors; ++s)
    if (!SectorComplete(s)) return false;
  return true;
}

std::array<uint8_t, 16> CardImage::TrailerWithKeys(int sector) const {
  std::array<uint8_t, 16> trailer = blocks[k1KLayout.Trailer(sector)];
  if (keyAKnown[sector]) KeyBytes(keyA[sector], &trailer[0]);
  if (keyBKnown[sector]) KeyBytes(keyB[sector], &trailer[10]);
  return trailer;
}
