#include "cardtest/texts.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "cards/hex.h"

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (n > 0) {
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    out.assign(buffer.data(), static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

std::string LastChars(const std::string& text, int count) {
  size_t start = text.size();
  int taken = 0;
  while (start > 0 && taken < count) {
    --start;
    // Step back over continuation bytes to the start of the character.
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    ++taken;
  }
  return text.substr(start);
}

bool IsHexDigits(const std::string& text, int count) {
  if (static_cast<int>(text.size()) != count) return false;
  for (char c : text)
    if (HexDigitValue(c) < 0) return false;
  return true;
}
