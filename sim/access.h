#pragma once
// The virtual card's view of its access conditions: the three access bytes
// of a sector trailer and what each C1C2C3 setting lets key A or key B do,
// as the one table in cards/access.h gives them.

#include <array>
#include <cstdint>
#include <optional>

namespace sim {

enum class KeyKind { A, B };

// One C1C2C3 setting per block of a sector (index 3 is the trailer), each
// held as C1 << 2 | C2 << 1 | C3 so it reads like the card's tables.
using AccessConditions = std::array<uint8_t, 4>;

// Bytes 6-8 of a trailer carry every bit twice, once inverted. Returns
// nothing when the copies disagree: the card then refuses the sector.
std::optional<AccessConditions> DecodeAccessBytes(const uint8_t* bytes6to8);
std::array<uint8_t, 3> EncodeAccessBytes(const AccessConditions& conditions);

bool DataReadable(uint8_t condition, KeyKind key);
bool DataWritable(uint8_t condition, KeyKind key);

// Per field of the trailer; key A itself is never readable by anyone.
struct TrailerRights {
  bool writeKeyA = false;
  bool readAccess = false;   // bytes 6-9
  bool writeAccess = false;  // bytes 6-9
  bool readKeyB = false;
  bool writeKeyB = false;
};
TrailerRights TrailerAccess(uint8_t condition, KeyKind key);

// Where key B can be read back it is plain data, so the card will not take
// it as a key.
bool KeyBReadable(uint8_t trailerCondition);

}  // namespace sim
