#pragma once
// A sector's access conditions as the card enforces them, decoded from its
// trailer's bytes 6 to 8, and value blocks.

#include <cstdint>
#include <string>

// Each block's three access bits C1 C2 C3, as the number C1*4 + C2*2 + C3.
// False when the inverted copies in byte 6 and 7 disagree: such bits are
// malformed, and a card holding them blocks the sector.
bool DecodeAccessBits(const uint8_t trailer[16], int conditions[4]);

// Who may do something to a block: never, key A, key B, or either.
enum class Who : uint8_t { kNever = 0, kKeyA = 1, kKeyB = 2, kEither = 3 };
inline bool Allows(Who who, bool keyB) { return (static_cast<uint8_t>(who) & (keyB ? 2 : 1)) != 0; }

// The card's rules for one C1C2C3 setting, as the datasheet tables give them.
struct DataBlockRule {
  Who read, write, increment, decrement;  // decrement also covers transfer and restore
};
struct TrailerRule {
  Who keyARead, keyAWrite, accessRead, accessWrite, keyBRead, keyBWrite;  // access: bytes 6 to 9
};
DataBlockRule DataBlockRuleOf(int condition);
TrailerRule TrailerRuleOf(int condition);

// The three access bytes (a trailer's bytes 6 to 8) that give each block
// its condition, every bit with its inverted copy.
void EncodeAccessBits(const int conditions[4], uint8_t bytes[3]);
// Under this trailer setting no key may ever change the access bits again.
inline bool AccessBitsFrozen(int trailerCondition) { return TrailerRuleOf(trailerCondition).accessWrite == Who::kNever; }

// Who may do what, in words ("密钥A或B", "密钥B", "不允许"), for showing only:
// decisions take the rules above.
struct DataBlockRights {
  const char* read;
  const char* write;
  const char* increment;
  const char* decrement;  // also transfer and restore
};
struct TrailerRights {
  const char* keyARead;
  const char* keyAWrite;
  const char* accessRead;
  const char* accessWrite;
  const char* keyBRead;
  const char* keyBWrite;
};
DataBlockRights DataBlockRightsOf(int condition);
TrailerRights TrailerRightsOf(int condition);
// Under these trailer conditions key A may read key B, and the card then
// refuses key B for authentication.
bool KeyBReadable(int trailerCondition);

// A value block: a signed 32-bit value stored three times (plain, inverted,
// plain, lowest byte first) and an address byte four times, alternately
// inverted.
bool ParseValueBlock(const uint8_t block[16], int32_t* value, uint8_t* address);

// The explanation of one sector's access conditions, with block `block`
// named as the one asked about (-1: the sector as a whole); `trailer` null when it was not read.
// `data` is that block when it was read (null otherwise), for its value.
// A 16-block sector's access bits govern blocks 0-4, 5-9, 10-14 and the
// trailer 15: `blocksInSector` says which kind of sector it is.
std::string ExplainSector(int sector, int block, const uint8_t* trailer, const uint8_t* data, int blocksInSector = 4);
