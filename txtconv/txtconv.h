#pragma once
// Hexadecimal text conversions used by card identification and key loading.

#include <cstdint>

// Writes `value` as exactly eight upper-case hexadecimal digits, most
// significant byte first, and a NUL into `buffer` (at least 9 bytes).
// `conversions` is the caller's counter: each call adds one to it, so a
// caller that wants to know how many values it converted can; null is fine.
void UIntToHex(char* buffer, uint32_t value, uint32_t* conversions);

// Converts the first `count` characters of `text` (hexadecimal digits of
// either case) into count/2 bytes. Fails, writing nothing, when `count` is
// odd or negative, when `text` ends before `count` characters, or when any of
// them is not a hexadecimal digit.
bool HexToBytes(const char* text, uint8_t* bytes, int count);
