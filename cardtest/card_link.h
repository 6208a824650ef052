#pragma once
// The card as the commands reach it through the reader: the card find card
// found, whether it has gone idle, and what the reader's key memory holds
// for each sector. Every step the commands take on a card goes through here
// once.
//
// A MIFARE Classic card that refuses an authentication, a read or a write
// drops back to idle and answers nothing until it is activated again; the
// link notes each refusal so that the next step can wake the card first.

#include <array>
#include <cstdint>
#include <string>

#include "cardtest/key_mode.h"
#include "cardtest/mifare.h"
#include "cards/card_image.h"
#include "cards/keys.h"
#include "reader/session.h"

class CardLink {
 public:
  explicit CardLink(ReaderSession& reader) : reader_(reader) {}
  ReaderSession& Reader() const { return reader_; }

  // Find card: nothing is found until a select succeeds, and until then the
  // card is in no state to authenticate.
  void StartFinding() {
    found_ = false;
    idle_ = true;
  }
  // An activation under way: until its select the card cannot authenticate.
  void Activating() { idle_ = true; }
  void Selected(uint32_t serial, uint8_t sak) {
    found_ = true;
    serial_ = serial;
    sak_ = sak;
    idle_ = false;
  }
  bool Found() const { return found_; }
  // The SAK of the card found: what it says of the card's memory.
  uint8_t Sak() const { return sak_; }

  bool Authenticate(int sector, int keyMode);
  // Reads one block into `hex` (33 characters).
  bool ReadBlock(int address, char* hex);
  bool WriteBlock(int address, char* hex);
  // When the card was left idle: request, anticollision and select again,
  // and true only if the card that answers is the one find card found.
  bool WakeIfIdle();
  bool Idle() const { return idle_; }

  // Loads `key` as `keyMode` for `sector` and remembers it.
  bool LoadKey(int keyMode, int sector, Key key);
  // Remembers what the reader holds for the sector, loaded earlier.
  void NoteKey(int sector, int keyMode, Key key);
  // Which of the reader's keys the sector is to be opened with from now on.
  void OpenWith(int sector, int keyMode) { sectors_[sector].mode = keyMode; }
  // After a key load every sector authenticates with the form's key mode;
  // after a dictionary read or a dump write each with its own.
  void UseFormKeyMode() { perSector_ = false; }
  void UseSectorKeys() { perSector_ = true; }
  int KeyModeOf(int sector, int formKeyMode) const { return perSector_ ? sectors_[sector].mode : formKeyMode; }
  void ForgetSectorKeys();
  struct SectorKey {
    bool loaded = false;
    int mode = kKeyModeA;
    Key key = 0;
  };
  const SectorKey& KeyOf(int sector) const { return sectors_[sector]; }

  // Keeps what a block read with the sector's key tells of the card in
  // `image`: the block, the key that opened the sector, key B from a
  // trailer that shows it.
  void NoteRead(CardImage& image, int address, const char* hex, int formKeyMode) const;

 private:
  // A card that refused a sector command has gone idle.
  bool Answered(int16_t status);

  ReaderSession& reader_;
  bool found_ = false;  // find card got as far as a selected card
  uint32_t serial_ = 0;
  uint8_t sak_ = 0;
  bool idle_ = false;   // the card refused something since then
  bool perSector_ = false;
  std::array<SectorKey, kMaxSectors> sectors_{};
};
