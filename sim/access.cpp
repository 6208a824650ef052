#include "sim/access.h"

namespace sim {

namespace {

enum Who : uint8_t { kNever = 0, kKeyA = 1, kKeyB = 2, kEither = 3 };

bool Allows(uint8_t who, KeyKind key) {
  return (who & (key == KeyKind::A ? kKeyA : kKeyB)) != 0;
}

// Indexed by C1C2C3 as a 3-bit number.
struct DataRule {
  uint8_t read, write;
};
constexpr DataRule kDataRules[8] = {
    {kEither, kEither},  // 000 transport
    {kEither, kNever},   // 001 (value block, decrement only)
    {kEither, kNever},   // 010 read-only
    {kKeyB, kKeyB},      // 011
    {kEither, kKeyB},    // 100
    {kKeyB, kNever},     // 101
    {kEither, kKeyB},    // 110 (value block)
    {kNever, kNever},    // 111 frozen
};

struct TrailerRule {
  uint8_t writeKeyA, readAccess, writeAccess, readKeyB, writeKeyB;
};
constexpr TrailerRule kTrailerRules[8] = {
    {kKeyA, kKeyA, kNever, kKeyA, kKeyA},     // 000
    {kKeyA, kKeyA, kKeyA, kKeyA, kKeyA},      // 001 transport
    {kNever, kKeyA, kNever, kKeyA, kNever},   // 010
    {kKeyB, kEither, kKeyB, kNever, kKeyB},   // 011
    {kKeyB, kEither, kNever, kNever, kKeyB},  // 100
    {kNever, kEither, kKeyB, kNever, kNever}, // 101
    {kNever, kEither, kNever, kNever, kNever},// 110
    {kNever, kEither, kNever, kNever, kNever},// 111
};

}  // namespace

std::optional<AccessConditions> DecodeAccessBytes(const uint8_t* b) {
  const uint8_t c1 = b[1] >> 4;
  const uint8_t c2 = b[2] & 0x0F;
  const uint8_t c3 = b[2] >> 4;
  const uint8_t notC1 = b[0] & 0x0F;
  const uint8_t notC2 = b[0] >> 4;
  const uint8_t notC3 = b[1] & 0x0F;
  if ((c1 ^ notC1) != 0x0F || (c2 ^ notC2) != 0x0F || (c3 ^ notC3) != 0x0F)
    return std::nullopt;
  AccessConditions conditions{};
  for (int block = 0; block < 4; ++block) {
    conditions[block] = static_cast<uint8_t>(((c1 >> block) & 1) << 2 |
                                             ((c2 >> block) & 1) << 1 |
                                             ((c3 >> block) & 1));
  }
  return conditions;
}

std::array<uint8_t, 3> EncodeAccessBytes(const AccessConditions& conditions) {
  uint8_t c1 = 0, c2 = 0, c3 = 0;
  for (int block = 0; block < 4; ++block) {
    c1 |= ((conditions[block] >> 2) & 1) << block;
    c2 |= ((conditions[block] >> 1) & 1) << block;
    c3 |= (conditions[block] & 1) << block;
  }
  return {static_cast<uint8_t>((~c2 & 0x0F) << 4 | (~c1 & 0x0F)),
          static_cast<uint8_t>(c1 << 4 | (~c3 & 0x0F)),
          static_cast<uint8_t>(c3 << 4 | c2)};
}

bool DataReadable(uint8_t condition, KeyKind key) {
  return Allows(kDataRules[condition & 7].read, key);
}

bool DataWritable(uint8_t condition, KeyKind key) {
  return Allows(kDataRules[condition & 7].write, key);
}

TrailerRights TrailerAccess(uint8_t condition, KeyKind key) {
  const TrailerRule& rule = kTrailerRules[condition & 7];
  TrailerRights rights;
  rights.writeKeyA = Allows(rule.writeKeyA, key);
  rights.readAccess = Allows(rule.readAccess, key);
  rights.writeAccess = Allows(rule.writeAccess, key);
  rights.readKeyB = Allows(rule.readKeyB, key);
  rights.writeKeyB = Allows(rule.writeKeyB, key);
  return rights;
}

bool KeyBReadable(uint8_t trailerCondition) {
  // 000, 010 and 001 are the settings whose key B column reads "key A".
  return kTrailerRules[trailerCondition & 7].readKeyB != kNever;
}

}  // namespace sim
