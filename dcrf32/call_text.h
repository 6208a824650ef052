#pragma once
// The arguments of a library call as its log line shows them: comma-
// separated, numbers in decimal, an output the call did not fill as "-",
// and text from the caller made safe for the line's columns.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace dcrf32 {

inline std::string Join(std::initializer_list<std::string> parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (!text.empty()) text += ',';
    text += part;
  }
  return text;
}

inline std::string Num(long long value) { return std::to_string(value); }

template <typename T>
std::string Received(bool received, T value) {
  return received ? std::to_string(value) : std::string("-");
}

// What the caller passed as block data: at most 64 characters, anything but
// letters and digits shown as '?', "-" for a null pointer.
inline std::string ShownText(const char* text) {
  if (text == nullptr) return "-";
  std::string shown;
  for (size_t i = 0; i < 64 && text[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    shown += plain ? static_cast<char>(c) : '?';
  }
  return shown;
}

// The trailers of MIFARE Classic 1K and 4K: blocks 3, 7, ... 127, then
// 143, 159, ... 255.
bool IsTrailerBlock(uint8_t block);

// A block's data as a log that keeps keys out shows it: of a trailer, the
// keys of 32 hex digits masked, any other text masked whole, one '*' for
// each character; other blocks as they are.
std::string MaskedBlockText(uint8_t block, const std::string& text);

}  // namespace dcrf32
