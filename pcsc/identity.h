#pragma once
// What the reader says about the card in its field, and how the library
// reads it. Every parser takes an answer without its status word and
// refuses anything not exactly the expected shape.

#include <cstdint>
#include <optional>
#include <vector>

namespace pcsc {

using Bytes = std::vector<uint8_t>;

struct Identity {
  Bytes uid;          // 4, 7 or 10 bytes, as the card sends them
  uint16_t atqa = 0;
  uint8_t sak = 0;
  bool exact = false;       // ATQA and SAK as the reader reported them, not derived
  std::optional<Bytes> ats;  // exactly as the card sent it, length byte first
};

bool ValidUid(const Bytes& uid);

// GET DATA P1 03 gives the ATQA in the order the card sends it, low byte
// first, as every other ISO 14443-3 value.
std::optional<uint16_t> AtqaFromGetData(const Bytes& answer);
std::optional<uint8_t> SakFromGetData(const Bytes& answer);

// An ATS begins with its own length, TL, which counts TL itself. Readers
// that answer GET DATA P1 01 with the historical bytes only give something
// else, which is not the ATS.
bool WellFormedAts(const Bytes& ats);

// The answer to InListPassiveTarget for one 106 kbps type A target:
// D5 4B NbTg Tg SENS_RES(2, high byte first) SEL_RES NFCIDLength NFCID [ATS].
struct Pn53xTarget {
  uint16_t atqa = 0;
  uint8_t sak = 0;
  Bytes uid;
  std::optional<Bytes> ats;
};
std::optional<Pn53xTarget> ParseInListPassiveTarget(const Bytes& answer);

// ATQA and SAK derived from the ATR the reader builds for the card: a
// storage card's ATR names the card (PC/SC's registered identifier
// A0 00 00 03 06, the standard byte, then two bytes of card name); any other
// contactless ATR stands for an ISO 14443-4 card, whose ATQA it does not
// carry.
//   MIFARE Classic 1K  (00 01)  ATQA 0004, SAK 08
//   MIFARE Classic 4K  (00 02)  ATQA 0002, SAK 18
//   MIFARE Mini        (00 26)  ATQA 0004, SAK 09
//   ISO 14443-4                 ATQA 0000, SAK 20
struct Derived {
  uint16_t atqa = 0;
  uint8_t sak = 0;
};
std::optional<Derived> DeriveFromAtr(const Bytes& atr);

}  // namespace pcsc
