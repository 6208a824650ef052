#pragma once
// Two images of a card compared block by block: a card's last read against
// a dump, or two dumps. Only what both sides know is compared: a block one
// side has not read, a sector one side does not have, a key one side does
// not know.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/card_image.h"

// One side of a compare, of any card size: its blocks, with each trailer
// holding the side's known keys over its key bytes.
struct CompareSide {
  std::string label;  // "卡片", "文件", "文件1", "文件2"
  std::vector<std::array<uint8_t, 16>> blocks;
  std::vector<bool> known;                 // by block
  std::vector<bool> keyAKnown, keyBKnown;  // by sector
};

CompareSide CompareSideOf(const CardImage& image, const std::string& label);

// The result as the compare dialog lists it: the count first, then the
// sectors only one side has, then each differing block with both sides'
// hex, a line of ^^ under the differing bytes and, for a trailer, which of
// its parts differ.
std::vector<std::string> CompareLines(const CompareSide& a, const CompareSide& b);
