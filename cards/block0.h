#pragma once
// Block 0 of a card with a 4-byte UID, which the card answers anticollision
// from: UID, BCC, SAK, ATQA (low byte first), then the maker's bytes.

#include <cstdint>

// The UID's check byte: the XOR of its four bytes.
inline uint8_t Bcc(const uint8_t uid[4]) { return static_cast<uint8_t>(uid[0] ^ uid[1] ^ uid[2] ^ uid[3]); }

// Cards whose block 0 is writable send UID and BCC as stored, and a reader
// drops an anticollision answer whose check byte is wrong: such a block 0
// makes the card impossible to find again.
inline bool Block0BccValid(const uint8_t block[16]) { return Bcc(block) == block[4]; }
