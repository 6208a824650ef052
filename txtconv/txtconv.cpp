#include "txtconv/txtconv.h"

namespace {

const char kDigits[] = "0123456789ABCDEF";

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void UIntToHex(char* buffer, uint32_t value, uint32_t* conversions) {
  for (int i = 7; i >= 0; --i) {
    buffer[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  buffer[8] = '\0';
  if (conversions) ++*conversions;
}

bool HexToBytes(const char* text, uint8_t* bytes, int count) {
  if (!text || count < 0 || count % 2 != 0) return false;
  // Validate everything first: a bad digit must leave `bytes` untouched.
  for (int i = 0; i < count; ++i) {
    if (text[i] == '\0' || DigitValue(text[i]) < 0) return false;
  }
  for (int i = 0; i < count; i += 2) {
    bytes[i / 2] = static_cast<uint8_t>(DigitValue(text[i]) << 4 | DigitValue(text[i + 1]));
  }
  return true;
}
