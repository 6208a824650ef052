#pragma once
// The MIFARE Application Directory: which application each sector holds,
// as an NFC-formatted or multi-application card lists it. MAD1 lives in
// sector 0's blocks 1 and 2 (sectors 1-15); a card over 1K adds MAD2 in
// sector 16's blocks 0-2 (sectors 17-39). Each starts with a CRC and an
// info byte, then two bytes per sector, low byte first.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A trailer's byte 9 (the general purpose byte) on sector 0 says whether a
// MAD exists (DA, bit 7), whether the card holds several applications
// (MA, bit 6), and which version (ADV, bits 1-0: 1 MAD1, 2 MAD2).
constexpr uint8_t kMadExists = 0x80;
constexpr uint8_t kMadMultiApplication = 0x40;
inline int MadVersionOf(uint8_t gpb) { return gpb & 0x03; }

constexpr uint16_t kAidNdef = 0xE103;
// The sector MAD2 occupies on a card over 1K.
constexpr int kMad2Sector = 16;

// CRC-8 as the MAD uses it: polynomial 0x1D, initial value 0xC7, most
// significant bit first, no final XOR.
uint8_t MadCrc(const uint8_t* bytes, size_t size);

struct Mad {
  int firstSector = 0;  // the sector the first AID is for: 1 (MAD1) or 17 (MAD2)
  uint8_t crcOnCard = 0;
  uint8_t crcComputed = 0;
  int publisherSector = 0;  // the info byte's bits 5-0; 0: none
  std::vector<uint16_t> aids;

  bool CrcCorrect() const { return crcOnCard == crcComputed; }
  // The AID the directory gives `sector`; false when it does not cover it.
  bool AidOf(int sector, uint16_t* aid) const;
};

// MAD1 from the 32 bytes of sector 0's blocks 1 and 2.
Mad DecodeMad1(const uint8_t bytes[32]);
// MAD2 from the 48 bytes of sector 16's blocks 0-2.
Mad DecodeMad2(const uint8_t bytes[48]);

// "0xE103 NDEF", "0x0000 空闲", or the number alone for an AID with no
// name of ours.
std::string AidText(uint16_t aid);

// The directory as the explanation shows it: a title line ("MAD1" or
// "MAD2"), the CRC check, the card publisher's sector, then one line per
// sector it covers.
std::vector<std::string> MadLines(const Mad& mad, int version);
