#pragma once
// What the library wrote to the reader's key slots, so that a key goes to
// the reader only when no slot already holds it: a read-out loads its key
// once, not once per sector, and a non-volatile slot is not rewritten
// with the key it holds.

#include <cstdint>
#include <optional>
#include <vector>

#include "pcsc/key_form.h"

namespace pcsc {

class KeySlots {
 public:
  struct Place {
    KeySlot slot;
    bool load = false;  // the slot must be given the key first
  };

  // Where a key of that type goes in that form: a slot holding it already,
  // else one never written, else the one used longest ago.
  Place For(KeyForm form, uint8_t keyType, const dcrf32::Key& key);
  // The reader took the key into that slot (90 00).
  void Loaded(const KeySlot& slot, const dcrf32::Key& key);
  // What the slot holds is unknown: an answer that was no clean 90 00, or
  // an authentication with it refused.
  void Forget(const KeySlot& slot);
  // What every slot holds is unknown: the reader may have lost or changed
  // it (a new connection for volatile slots, dc_init for all).
  void Clear() { held_.clear(); }

 private:
  struct Held {
    KeySlot slot;
    dcrf32::Key key;
    uint64_t used;
  };
  Held* Find(const KeySlot& slot);

  std::vector<Held> held_;
  uint64_t clock_ = 0;
};

}  // namespace pcsc
