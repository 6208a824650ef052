#pragma once
// One ISO/IEC 14443 type A card in the reader's field: its identity, its
// ISO 14443-3 state, and, for MIFARE Classic (Mini, 1K or 4K), its memory
// and the access rules the card enforces on it.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

#include "cards/block0.h"
#include "cards/keys.h"
#include "cards/layout.h"

namespace sim {

using ::kBlockSize;

using Uid = std::array<uint8_t, 4>;
using Key = RawKey;
using Block = std::array<uint8_t, kBlockSize>;
// As many bytes as the card's size has.
using Memory = std::vector<uint8_t>;
// One bit per byte of memory: set where a dump did not know the byte (a key
// the card never revealed). Such bytes are held as zeros.
using ByteMask = std::vector<bool>;

enum class KeyKind { A, B };

// One C1C2C3 setting per access group of a sector (index 3 is the trailer),
// each held as C1 << 2 | C2 << 1 | C3 so it reads like the card's tables.
using AccessConditions = std::array<int, 4>;

struct CardProfile {
  uint16_t atqa = 0;
  Uid uid{};  // in the order the card sends it
  uint8_t sak = 0;
  std::vector<uint8_t> ats;  // empty: the card does not answer RATS
  bool mifare = false;       // has MIFARE Classic memory, of `size`
  CardSize size = CardSize::k1K;
  uint8_t bcc = 0;           // sent after the UID; a reader checks it
  // Block 0 takes a normal write, and the card answers the next activation
  // with whatever block 0 then holds ("CUID" cards).
  bool block0Writable = false;
};

enum class Preset { M1, Cpu, Composite, Cuid, Mini, Classic4K };

CardProfile PresetProfile(Preset preset);

// The card's size in bytes: block 0 = UID, BCC, SAK, ATQA (low byte first),
// manufacturer bytes; data blocks zero; every trailer FFFFFFFFFFFF FF078069
// FFFFFFFFFFFF.
Memory FactoryImage(const CardProfile& profile);

// A real card answers anticollision and select from its manufacturer block,
// so a dump brings its own UID, BCC, SAK and ATQA.
void TakeIdentityFromBlock0(const Memory& memory, CardProfile* profile);

// Where a block lies on the biggest card, which every smaller one shares.
inline int SectorOf(int block) { return k4KLayout.SectorOf(block); }
inline int TrailerOf(int sector) { return k4KLayout.Trailer(sector); }

class Card {
 public:
  enum class State { Idle, Ready, Active, Authenticated, Halt, Protocol };

  // How the card took a frame: answered, refused it (NAK or failed
  // authentication), or stayed silent because its state does not take it.
  enum class Reply { Ok, Refused, Silent };

  // Memory and mask are cut or padded to the profile's size; an empty mask
  // knows every byte.
  Card(CardProfile profile, const Memory& memory, const ByteMask& unknown = {});

  const CardProfile& profile() const { return profile_; }
  const Layout& layout() const { return layout_; }
  State state() const { return state_; }
  int authenticatedSector() const { return authSector_; }
  KeyKind authenticatedKey() const { return authKey_; }
  const Memory& memory() const { return memory_; }
  const ByteMask& unknown() const { return unknown_; }
  // As memory() and unknown() gave them earlier.
  void RestoreMemory(const Memory& memory, const ByteMask& unknown) {
    memory_ = memory;
    unknown_ = unknown;
  }

  // Field switched off and on again: every card starts over in idle.
  void FieldReset();

  // REQA (wakeUp false) reaches idle cards only, WUPA also halted ones.
  std::optional<uint16_t> Request(bool wakeUp);
  std::optional<Uid> Anticollision();
  std::optional<uint8_t> Select(const Uid& uid);
  void Halt();
  std::optional<std::vector<uint8_t>> Rats();

  Reply Authenticate(KeyKind key, int sector, const Key& value);
  Reply Read(int block, Block* out);
  Reply Write(int block, const Block& data);

 private:
  // A frame the current state does not take: the card falls back to idle,
  // or to halt when it was woken from halt.
  void Fallback();
  Reply Refuse();
  bool MifareCommandsAccepted() const;
  std::optional<AccessConditions> SectorConditions(int sector) const;
  Block BlockAt(int block) const;

  CardProfile profile_;
  Layout layout_;
  Memory memory_;
  ByteMask unknown_;
  State state_ = State::Idle;
  bool wokenFromHalt_ = false;
  int authSector_ = -1;
  KeyKind authKey_ = KeyKind::A;
};

}  // namespace sim
