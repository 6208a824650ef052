#include "dcrf32/hex.h"

#include "cards/hex.h"

namespace dcrf32 {

std::string ToHex(const uint8_t* bytes, size_t count) { return HexText(bytes, count); }

bool ParseHexExact(const char* text, uint8_t* bytes, size_t count) {
  if (text == nullptr) return false;
  // The digits are checked before the end, so that the check stops at an
  // early NUL instead of reading past it.
  for (size_t i = 0; i < 2 * count; ++i)
    if (HexDigitValue(text[i]) < 0) return false;
  return text[2 * count] == '\0' && HexBytes(text, bytes, count);
}

}  // namespace dcrf32
