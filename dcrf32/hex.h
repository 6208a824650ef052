#pragma once
// Hex text as the reader library hands it over: upper case out, either case
// in, never more characters than asked for.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dcrf32 {

std::string ToHex(const uint8_t* bytes, size_t count);

// Reads exactly 2*count hex digits followed by NUL from text and stops at the
// first character that breaks that, so a short buffer is never overrun.
bool ParseHexExact(const char* text, uint8_t* bytes, size_t count);

}  // namespace dcrf32
