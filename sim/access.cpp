#include "sim/access.h"

#include <algorithm>

#include "cards/access.h"

namespace sim {

// The card's rules are the one table in cards/; this is the virtual card's
// typed view of it.

std::optional<AccessConditions> DecodeAccessBytes(const uint8_t* bytes6to8) {
  uint8_t trailer[16] = {};
  std::copy(bytes6to8, bytes6to8 + 3, trailer + 6);
  int decoded[4];
  if (!DecodeAccessBits(trailer, decoded)) return std::nullopt;
  AccessConditions conditions{};
  for (int block = 0; block < 4; ++block) conditions[block] = static_cast<uint8_t>(decoded[block]);
  return conditions;
}

std::array<uint8_t, 3> EncodeAccessBytes(const AccessConditions& conditions) {
  const int plain[4] = {conditions[0], conditions[1], conditions[2], conditions[3]};
  std::array<uint8_t, 3> bytes{};
  EncodeAccessBits(plain, bytes.data());
  return bytes;
}

bool DataReadable(uint8_t condition, KeyKind key) { return Allows(DataBlockRuleOf(condition).read, key == KeyKind::B); }

bool DataWritable(uint8_t condition, KeyKind key) {
  return Allows(DataBlockRuleOf(condition).write, key == KeyKind::B);
}

TrailerRights TrailerAccess(uint8_t condition, KeyKind key) {
  const TrailerRule rule = TrailerRuleOf(condition);
  const bool b = key == KeyKind::B;
  TrailerRights rights;
  rights.writeKeyA = Allows(rule.keyAWrite, b);
  rights.readAccess = Allows(rule.accessRead, b);
  rights.writeAccess = Allows(rule.accessWrite, b);
  rights.readKeyB = Allows(rule.keyBRead, b);
  rights.writeKeyB = Allows(rule.keyBWrite, b);
  return rights;
}

bool KeyBReadable(uint8_t trailerCondition) { return ::KeyBReadable(trailerCondition); }

}  // namespace sim
