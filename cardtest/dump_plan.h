#pragma once
// Writing a whole dump onto a card, decided before anything is sent: what
// refuses the dump, what the user must be told, which keys each sector is
// opened with, in which order its blocks are written, and which key writes
// each block under the card's current access conditions.

#include <array>
#include <string>
#include <vector>

#include "cards/card_image.h"
#include "cards/keys.h"

struct DumpCheck {
  std::vector<int> malformedTrailers;  // access bits whose two copies disagree
  // Block 0 held with a wrong BCC: a card with a 7-byte UID has none, so
  // this refuses the dump only when block 0 is to be written.
  bool badBlock0 = false;
  std::vector<int> lockedForGood;      // trailers no key could ever change again
  bool uidFrozen = false;              // sector 0 locked for good with block 0 writable by no key
  std::vector<int> skipped;            // sectors the dump holds nothing of
  int blocks = 0;                      // blocks to write, block 0 left out
};

DumpCheck CheckDump(const CardImage& dump);

// The refusal the user reads, empty when the dump may be written.
std::string RefusalOf(const DumpCheck& check);

// "03、07": sector numbers as the confirmation and the refusals list them.
std::string SectorList(const std::vector<int>& sectors);

// The sectors in the order they are written: sector 0 last, so that block 0
// is written while the card's own sector-0 access bits still hold, not
// under the dump's, which may forbid it for good.
std::vector<int> SectorOrder(int sectors);

// The blocks of `sector` to write, in order: its data blocks (block 0 only
// when `block0`, after blocks 1 and 2), then its trailer. Never a block the
// dump does not hold, nor a trailer whose keys it does not know (the card
// would take zeros for them).
std::vector<int> SectorWriteOrder(const CardImage& dump, int sector, bool block0);

// The keys to try on `sector`, each once: those the last dictionary read
// found on this card (`found`, null when it read another card), the key
// typed in the form (null when not valid), the dump's own keys of the
// sector, then the built-in defaults.
std::vector<Key> SectorKeyOrder(const CardImage* found, int sector, const Key* typed, const CardImage& dump);

// What a sector of the card holds before anything is written, as far as
// the known keys tell.
struct SectorOnCard {
  bool opens[2] = {false, false};  // some known key opens it as key A, as key B
  Key keys[2] = {0, 0};            // those keys
  bool conditionsKnown = false;    // its trailer's access bits could be read
  int conditions[4] = {0, 0, 0, 1};
  std::array<uint8_t, 16> trailer{};  // as read: key A zeros, key B only where readable
  bool keyBKnown = false;             // key B's current value, opened with or read
  Key keyB = 0;
};

// The key (0 key A, 1 key B) that may write a data block of access group
// `group` (0-2) of the sector: `preferred` when it may, else the other; -1
// when no known key may. With the access bits unknown, the key that opened it.
int WriterOf(const SectorOnCard& card, int group, int preferred);

// Whether a known key other than the one that opened the sector may write
// something of `blocks` that the opening key may not.
bool NeedsKeyB(const SectorOnCard& card, const Layout& layout, const std::vector<int>& blocks);

// A trailer write changes only the fields the card's current trailer
// setting lets the key change; the others stay as they were.
// A trailer's three fields, as a set of bits: decisions test the bits, and
// FieldList alone turns them into words.
enum TrailerField : unsigned { kKeyAField = 1, kAccessField = 2, kKeyBField = 4 };
struct TrailerPlan {
  int key = -1;        // 0 key A, 1 key B; -1: no known key may change anything
  unsigned stays = 0;  // the fields that will not be as the dump has them
};
TrailerPlan PlanTrailer(const SectorOnCard& card, const std::array<uint8_t, 16>& wanted);

// "密钥A、控制位": the fields as the confirmation and the write list name them.
std::string FieldList(unsigned fields);

// Under trailer-free access bits `conditions`, whether a read-out should
// open the sector with key B: key A may not read some data block that key B
// may, and the card takes key B for authentication.
bool ReadsWithKeyB(const int conditions[4]);

// Whether key B (else key A) may read a data block of access group `group` back.
bool ReadableWith(const int conditions[4], int group, bool keyB);
