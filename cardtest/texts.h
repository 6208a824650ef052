#pragma once
// Small text helpers shared by the card commands.

#include <cstdint>
#include <string>

// printf-style formatting into a string.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string Format(const char* format, ...);

// The last `count` characters of a UTF-8 text (the whole text when shorter),
// never cutting a character in two.
std::string LastChars(const std::string& text, int count);

// True when `text` is exactly `count` hexadecimal digits, of either case.
bool IsHexDigits(const std::string& text, int count);
