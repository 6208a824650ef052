#include "cards/card_image.h"

#include <cstdio>

CardImage::CardImage(CardSize size)
    : size(size),
      layout(LayoutOf(size)),
      blocks(layout.blocks),
      read(layout.blocks),
      keyA(layout.sectors),
      keyB(layout.sectors),
      keyAKnown(layout.sectors),
      keyBKnown(layout.sectors) {}

bool CardImage::Empty() const {
  for (bool r : read)
    if (r) return false;
  return true;
}

std::vector<Key> CardImage::FoundKeys() const {
  std::vector<Key> keys;
  for (int s = 0; s < Sectors(); ++s) {
    if (keyAKnown[s]) keys.push_back(keyA[s]);
    if (keyBKnown[s]) keys.push_back(keyB[s]);
  }
  return keys;
}

bool CardImage::SectorComplete(int sector) const {
  for (int b = layout.FirstBlock(sector); b <= layout.Trailer(sector); ++b)
    if (!read[b]) return false;
  return keyAKnown[sector] && keyBKnown[sector];
}

bool CardImage::Complete() const {
  for (int s = 0; s < layout.sectors; ++s)
    if (!SectorComplete(s)) return false;
  return true;
}

std::array<uint8_t, 16> CardImage::TrailerWithKeys(int sector) const {
  std::array<uint8_t, 16> trailer = blocks[layout.Trailer(sector)];
  if (keyAKnown[sector]) KeyBytes(keyA[sector], &trailer[0]);
  if (keyBKnown[sector]) KeyBytes(keyB[sector], &trailer[10]);
  return trailer;
}

const char* SizeName(CardSize size) {
  switch (size) {
    case CardSize::kMini: return "Mini";
    case CardSize::k4K: return "4K";
    default: return "1K";
  }
}

std::string SectorName(int sector) {
  char text[32];
  std::snprintf(text, sizeof text, "扇区[%02d]", sector);
  return text;
}
