#include "txtconv/txtconv.h"

#include <cstring>

#include "cards/hex.h"

void UIntToHex(char* buffer, uint32_t value, uint32_t* conversions) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                            static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  std::memcpy(buffer, HexText(bytes, 4).c_str(), 9);
  if (conversions) ++*conversions;
}

bool HexToBytes(const char* text, uint8_t* bytes, int count) {
  if (!text || count < 0 || count % 2 != 0) return false;
  return HexBytes(text, bytes, static_cast<size_t>(count / 2));
}
