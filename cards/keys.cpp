#include "cards/keys.h"

#include <unordered_set>

#include "cards/hex.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// One line of a key file: true with *hasKey false for a line to skip.
bool ParseKeyLine(const std::string& line, size_t begin, size_t end, Key* key, bool* hasKey) {
  size_t i = begin;
  // A UTF-8 byte order mark, which Windows editors put before the first line.
  if (begin == 0 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) i += 3;
  while (i < end && IsBlank(line[i])) ++i;
  *hasKey = false;
  if (i == end || line[i] == '#') return true;
  uint8_t bytes[6];
  if (end - i < 12 || !HexBytes(line.c_str() + i, bytes, 6)) return false;
  i += 12;
  if (i < end && !IsBlank(line[i]) && line[i] != '#') return false;
  *key = KeyFromBytes(bytes);
  *hasKey = true;
  return true;
}

}  // namespace

std::string KeyHex(Key key) {
  uint8_t bytes[6];
  KeyBytes(key, bytes);
  return HexText(bytes, 6);
}

void KeyBytes(Key key, uint8_t bytes[6]) {
  for (int i = 0; i < 6; ++i) bytes[i] = static_cast<uint8_t>(key >> (8 * (5 - i)));
}

Key KeyFromBytes(const uint8_t bytes[6]) {
  Key key = 0;
  for (int i = 0; i < 6; ++i) key = key << 8 | bytes[i];
  return key;
}

bool ParseKey(const std::string& text, Key* key) {
  uint8_t bytes[6];
  if (text.size() != 12 || !HexBytes(text.c_str(), bytes, 6)) return false;
  *key = KeyFromBytes(bytes);
  return true;
}

const std::vector<Key>& BuiltInKeys() {
  static const std::vector<Key> keys = {
      0xFFFFFFFFFFFF, 0xA0A1A2A3A4A5, 0xD3F7D3F7D3F7, 0x000000000000, 0xB0B1B2B3B4B5,
      0x4D3A99C351DD, 0x1A982C7E459A, 0xAABBCCDDEEFF, 0x714C5C886E97, 0x587EE5F9350F,
      0xA0478CC39091, 0x533CB6C723F6, 0x8FD0A4F256E9};
  return keys;
}

std::vector<Key> KeyList(const Key* first, const std::vector<Key>& keys) {
  std::vector<Key> list;
  std::unordered_set<Key> seen;
  list.reserve(keys.size() + 1);
  if (first) {
    list.push_back(*first);
    seen.insert(*first);
  }
  for (Key key : keys)
    if (seen.insert(key).second) list.push_back(key);
  return list;
}

bool ParseKeyFile(const std::string& text, std::vector<Key>* keys, int* badLine) {
  // Lines are split at LF and a CR counts as a blank, so in a file of old
  // Mac line ends every key after the first would pass for a comment.
  for (size_t cr = text.find('\r'); cr != std::string::npos; cr = text.find('\r', cr + 1)) {
    if (cr + 1 == text.size() || text[cr + 1] != '\n') {
      *badLine = kKeyFileCrLineEnds;
      return false;
    }
  }
  std::vector<Key> found;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++number;
    Key key = 0;
    bool hasKey = false;
    if (!ParseKeyLine(text, start, end, &key, &hasKey)) {
      *badLine = number;
      return false;
    }
    if (hasKey) found.push_back(key);
    start = end + 1;
  }
  if (found.empty()) {
    *badLine = 0;
    return false;
  }
  keys->swap(found);
  return true;
}

std::string KeyFileText(const std::vector<Key>& keys, const std::string& uid) {
  std::string text = "# keys found on the card with UID " + uid + "\n";
  for (Key key : KeyList(nullptr, keys)) text += KeyHex(key) + "\n";
  return text;
}
