#include "dcrf32/call_text.h"

#include "cards/hex.h"
#include "cards/layout.h"

namespace dcrf32 {

// MIFARE Classic 1K and the first 32 sectors of a 4K card have four blocks
// a sector; the 4K card's last eight sectors have sixteen.
bool IsTrailerBlock(uint8_t block) { return k4KLayout.IsTrailer(block); }

std::string MaskedBlockText(uint8_t block, const std::string& text) {
  if (!IsTrailerBlock(block)) return text;
  // Exactly 32 hex digits are a block whose key fields are known; any other
  // text (cut short, "0x" in front, spaces between bytes) is shown as
  // asterisks, one for each character.
  bool block32 = text.size() == 32;
  for (char c : text) block32 = block32 && HexDigitValue(c) >= 0;
  if (!block32) return std::string(text.size(), '*');
  std::string shown = text;
  shown.replace(0, 12, 12, '*');
  shown.replace(20, 12, 12, '*');
  return shown;
}

}  // namespace dcrf32
