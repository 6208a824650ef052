#pragma once
// The reader's key memory as the libraries keep it: key sets by mode (0-2
// key A, 4-6 key B), one key per sector, as dc_load_key gives them.

#include <array>
#include <cstdint>
#include <optional>

#include "cards/keys.h"
#include "cards/layout.h"

namespace dcrf32 {

using Key = RawKey;

class KeyStore {
 public:
  static constexpr int kSectors = kMaxSectors;  // a 4K card's; a smaller card refuses the rest

  static bool ValidMode(uint8_t mode) { return mode <= 2 || (mode >= 4 && mode <= 6); }
  static bool Valid(uint8_t mode, uint8_t sector) { return ValidMode(mode) && sector < kSectors; }

  // False, and nothing kept, for a mode or sector that is none.
  bool Load(uint8_t mode, uint8_t sector, const Key& key) {
    if (!Valid(mode, sector)) return false;
    keys_[mode][sector] = key;
    return true;
  }
  // The key of a valid mode and sector, if one was loaded.
  const std::optional<Key>& Find(uint8_t mode, uint8_t sector) const { return keys_[mode][sector]; }
  void Clear() { keys_ = {}; }

 private:
  static constexpr int kSets = 7;  // modes 0-6; 3 is not a key set
  std::array<std::array<std::optional<Key>, kSectors>, kSets> keys_{};
};

}  // namespace dcrf32
