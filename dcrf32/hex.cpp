#include "dcrf32/hex.h"

namespace dcrf32 {

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string ToHex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

bool ParseHexExact(const char* text, uint8_t* bytes, size_t count) {
  if (text == nullptr) return false;
  uint8_t parsed[64];
  if (count > sizeof parsed) return false;
  for (size_t i = 0; i < count; ++i) {
    const int high = DigitValue(text[2 * i]);
    if (high < 0) return false;
    const int low = DigitValue(text[2 * i + 1]);
    if (low < 0) return false;
    parsed[i] = static_cast<uint8_t>(high << 4 | low);
  }
  if (text[2 * count] != '\0') return false;
  for (size_t i = 0; i < count; ++i) bytes[i] = parsed[i];
  return true;
}

}  // namespace dcrf32
