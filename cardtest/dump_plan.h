#pragma once
// Writing a whole dump onto a card, decided before anything is sent: what
// refuses the dump, what the user must be told, which keys each sector is
// opened with and in which order its blocks are written.

#include <string>
#include <vector>

#include "cards/card_image.h"
#include "cards/keys.h"

struct DumpCheck {
  std::vector<int> malformedTrailers;  // access bits whose two copies disagree
  bool badBlock0 = false;              // block 0 held, with a wrong BCC
  std::vector<int> lockedForGood;      // trailers no key could ever change again
  std::vector<int> skipped;            // sectors the dump holds nothing of
  int blocks = 0;                      // blocks to write, block 0 left out
};

DumpCheck CheckDump(const CardImage& dump);

// The refusal the user reads, empty when the dump may be written.
std::string RefusalOf(const DumpCheck& check);

// "03、07": sector numbers as the confirmation and the refusals list them.
std::string SectorList(const std::vector<int>& sectors);

// The blocks of `sector` to write, in order: its data blocks, then its
// trailer. Block 0 is never among them (it goes last of all, and only when
// asked); neither is a block the dump does not hold, nor a trailer whose
// keys it does not know (the card would take zeros for them).
std::vector<int> SectorWriteOrder(const CardImage& dump, int sector);

// The keys to try on `sector`, each once: those the last dictionary read
// found on this card (`found`, null when it read another card), the key
// typed in the form (null when not valid), the dump's own keys of the
// sector, then the built-in defaults.
std::vector<Key> SectorKeyOrder(const CardImage* found, int sector, const Key* typed, const CardImage& dump);

// Whether key B (else key A) may write block `block` (0-3) of a sector
// under its current access conditions (`conditions` as DecodeAccessBits
// gives them). A trailer counts as writable by the key that may write its
// access bits, or, where none may, by the key that may write its keys.
bool WritableWith(const int conditions[4], int block, bool keyB);
// Whether the key used may read the data block back.
bool ReadableWith(const int conditions[4], int block, bool keyB);
