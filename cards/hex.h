#pragma once
// Hexadecimal text, as cards, dumps, key files and the reader libraries all
// write it: upper case out, either case in.

#include <cstddef>
#include <cstdint>
#include <string>

// 0-15 for a hex digit of either case, -1 for anything else.
int HexDigitValue(char c);

std::string HexText(const uint8_t* bytes, size_t count);

// `count` bytes from the 2*count hex digits at `text`. False, writing
// nothing, when any of them is not a hex digit; a NUL stops the check before
// it reads past the text's end.
bool HexBytes(const char* text, uint8_t* bytes, size_t count);
