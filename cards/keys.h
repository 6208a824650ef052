#pragma once
// Keys as the dictionary read tries them: six bytes held in the low 48 bits
// of an integer, first byte highest, so a key compares, hashes and prints
// in the order it is typed.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Key = uint64_t;
// The same six bytes as a card and the reader libraries take them, in the
// order they are sent.
using RawKey = std::array<uint8_t, 6>;

std::string KeyHex(Key key);                 // 12 upper-case digits
void KeyBytes(Key key, uint8_t bytes[6]);
Key KeyFromBytes(const uint8_t bytes[6]);
// True for exactly 12 hex digits of either case.
bool ParseKey(const std::string& text, Key* key);

// The well-known public default keys, in the order they are tried.
const std::vector<Key>& BuiltInKeys();

// `first` (the key typed in the form, when valid), then `keys`, each key
// once, in that order.
std::vector<Key> KeyList(const Key* first, const std::vector<Key>& keys);

// A key file: one key of 12 hex digits per line, leading blanks skipped,
// anything after the key and a blank or '#' ignored; blank lines and '#'
// lines skipped. Any other line refuses the whole file: false, with
// *badLine its number (from 1); an empty file (no key at all) gives false
// with *badLine 0, and one with a line ending in CR alone false with
// *badLine kKeyFileCrLineEnds.
constexpr int kKeyFileCrLineEnds = -1;
bool ParseKeyFile(const std::string& text, std::vector<Key>* keys, int* badLine);

// The key-file text of `keys`, each once, after one comment line naming
// the card by its UID.
std::string KeyFileText(const std::vector<Key>& keys, const std::string& uid);
