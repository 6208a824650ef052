#include "pcsc/key_slots.h"

#include <algorithm>

namespace pcsc {

KeySlots::Held* KeySlots::Find(const KeySlot& slot) {
  for (Held& held : held_)
    if (held.slot == slot) return &held;
  return nullptr;
}

KeySlots::Place KeySlots::For(KeyForm form, uint8_t keyType, const dcrf32::Key& key) {
  const std::vector<KeySlot> slots = SlotsFor(form, keyType);
  for (const KeySlot& slot : slots) {
    Held* held = Find(slot);
    if (held != nullptr && held->key == key) {
      held->used = ++clock_;
      return {slot, false};
    }
  }
  const KeySlot* oldest = nullptr;
  uint64_t oldestUse = 0;
  for (const KeySlot& slot : slots) {
    const Held* held = Find(slot);
    if (held == nullptr) return {slot, true};
    if (oldest == nullptr || held->used < oldestUse) {
      oldest = &slot;
      oldestUse = held->used;
    }
  }
  return {*oldest, true};
}

void KeySlots::Loaded(const KeySlot& slot, const dcrf32::Key& key) {
  if (Held* held = Find(slot)) {
    held->key = key;
    held->used = ++clock_;
  } else {
    held_.push_back({slot, key, ++clock_});
  }
}

void KeySlots::Forget(const KeySlot& slot) {
  held_.erase(std::remove_if(held_.begin(), held_.end(),
                             [&](const Held& held) { return held.slot == slot; }),
              held_.end());
}

}  // namespace pcsc
