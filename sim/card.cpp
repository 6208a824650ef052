#include "sim/card.h"

#include <algorithm>
#include <utility>

#include "cards/access.h"

namespace sim {

namespace {

// Recognisable in a dump as coming from the virtual reader, not from NXP.
constexpr uint8_t kManufacturerBytes[8] = {'Q', 'U', 'I', 'L', 'L', 'S', 'I', 'M'};
constexpr uint8_t kTransportTrailer[kBlockSize] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07,
    0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

CardProfile PresetProfile(Preset preset) {
  CardProfile p;
  switch (preset) {
    case Preset::M1:
      p.atqa = 0x0004;
      p.uid = {0x3A, 0x5C, 0x7E, 0x91};
      p.sak = 0x08;
      p.mifare = true;
      break;
    case Preset::Cpu:
      p.atqa = 0x0008;
      p.uid = {0x08, 0x6B, 0x2F, 0x14};
      p.sak = 0x20;
      p.ats = {0x05, 0x78, 0x80, 0x70, 0x02};
      p.mifare = false;
      break;
    case Preset::Composite:
      p.atqa = 0x0004;
      p.uid = {0x5E, 0x21, 0x9C, 0x07};
      p.sak = 0x28;
      p.ats = {0x06, 0x77, 0x77, 0x71, 0x02, 0x80};
      p.mifare = true;
      break;
    case Preset::Cuid:
      p.atqa = 0x0004;
      p.uid = {0x4D, 0x1F, 0x62, 0xA8};
      p.sak = 0x08;
      p.mifare = true;
      p.block0Writable = true;
      break;
    case Preset::Mini:
      p.atqa = 0x0004;
      p.uid = {0x6E, 0x09, 0x3B, 0xD4};
      p.sak = 0x09;
      p.mifare = true;
      p.size = CardSize::kMini;
      break;
    case Preset::Classic4K:
      p.atqa = 0x0002;
      p.uid = {0x2B, 0x84, 0xC5, 0x17};
      p.sak = 0x18;
      p.mifare = true;
      p.size = CardSize::k4K;
      break;
  }
  p.bcc = Bcc(p.uid.data());
  return p;
}

Memory FactoryImage(const CardProfile& profile) {
  const Layout layout = LayoutOf(profile.size);
  Memory m(layout.BytesTotal());
  std::copy(profile.uid.begin(), profile.uid.end(), m.begin());
  m[4] = Bcc(profile.uid.data());
  m[5] = profile.sak;
  m[6] = static_cast<uint8_t>(profile.atqa & 0xFF);
  m[7] = static_cast<uint8_t>(profile.atqa >> 8);
  std::copy(std::begin(kManufacturerBytes), std::end(kManufacturerBytes), m.begin() + 8);
  for (int sector = 0; sector < layout.sectors; ++sector) {
    std::copy(std::begin(kTransportTrailer), std::end(kTransportTrailer),
              m.begin() + layout.Trailer(sector) * kBlockSize);
  }
  return m;
}

void TakeIdentityFromBlock0(const Memory& memory, CardProfile* profile) {
  std::copy(memory.begin(), memory.begin() + 4, profile->uid.begin());
  profile->bcc = memory[4];
  profile->sak = memory[5];
  profile->atqa = static_cast<uint16_t>(memory[6] | memory[7] << 8);
}

Card::Card(CardProfile profile, const Memory& memory, const ByteMask& unknown)
    : profile_(std::move(profile)), layout_(LayoutOf(profile_.size)), memory_(memory), unknown_(unknown) {
  memory_.resize(layout_.BytesTotal());
  unknown_.resize(layout_.BytesTotal());
}

void Card::FieldReset() {
  state_ = State::Idle;
  wokenFromHalt_ = false;
  authSector_ = -1;
}

void Card::Fallback() {
  state_ = wokenFromHalt_ ? State::Halt : State::Idle;
  authSector_ = -1;
}

Card::Reply Card::Refuse() {
  Fallback();
  return Reply::Refused;
}

std::optional<uint16_t> Card::Request(bool wakeUp) {
  switch (state_) {
    case State::Idle:
      wokenFromHalt_ = false;
      break;
    case State::Halt:
      if (!wakeUp) return std::nullopt;
      wokenFromHalt_ = true;
      break;
    default:
      // A card already past idle reads a request as a protocol error.
      Fallback();
      return std::nullopt;
  }
  // Power-up and wake-up are when such a card takes in its block 0; the
  // activation that was running when block 0 changed keeps the old identity.
  if (profile_.block0Writable) TakeIdentityFromBlock0(memory_, &profile_);
  state_ = State::Ready;
  return profile_.atqa;
}

std::optional<Uid> Card::Anticollision() {
  // The card answers, but a reader drops an answer whose BCC does not match
  // and reports no card; the card stays ready.
  if (state_ == State::Ready) {
    if (profile_.bcc != Bcc(profile_.uid.data())) return std::nullopt;
    return profile_.uid;
  }
  if (state_ != State::Idle && state_ != State::Halt) Fallback();
  return std::nullopt;
}

std::optional<uint8_t> Card::Select(const Uid& uid) {
  if (state_ == State::Idle || state_ == State::Halt) return std::nullopt;
  // A select carries the UID and the BCC the reader computes from it; the
  // card compares both with its own.
  if (state_ != State::Ready || uid != profile_.uid || Bcc(uid.data()) != profile_.bcc) {
    Fallback();
    return std::nullopt;
  }
  state_ = State::Active;
  return profile_.sak;
}

void Card::Halt() {
  if (state_ == State::Active || state_ == State::Authenticated) {
    state_ = State::Halt;
    authSector_ = -1;
  } else if (state_ != State::Idle && state_ != State::Halt) {
    Fallback();
  }
}

std::optional<std::vector<uint8_t>> Card::Rats() {
  if (state_ == State::Idle || state_ == State::Halt) return std::nullopt;
  // In the authenticated state every frame is enciphered, so a plain RATS
  // is garbage to the card.
  if (state_ != State::Active || profile_.ats.empty()) {
    Fallback();
    return std::nullopt;
  }
  state_ = State::Protocol;
  return profile_.ats;
}

bool Card::MifareCommandsAccepted() const {
  return profile_.mifare &&
         (state_ == State::Active || state_ == State::Authenticated);
}

std::optional<AccessConditions> Card::SectorConditions(int sector) const {
  AccessConditions conditions{};
  if (!DecodeAccessBits(&memory_[layout_.Trailer(sector) * kBlockSize], conditions.data())) return std::nullopt;
  return conditions;
}

Block Card::BlockAt(int block) const {
  Block b;
  std::copy_n(memory_.begin() + block * kBlockSize, kBlockSize, b.begin());
  return b;
}

Card::Reply Card::Authenticate(KeyKind key, int sector, const Key& value) {
  if (state_ == State::Idle || state_ == State::Halt) return Reply::Silent;
  if (!MifareCommandsAccepted()) {
    Fallback();
    return Reply::Silent;
  }
  if (sector < 0 || sector >= layout_.sectors) return Refuse();
  const auto conditions = SectorConditions(sector);
  if (!conditions) return Refuse();
  if (key == KeyKind::B && ::KeyBReadable((*conditions)[3])) return Refuse();
  const int offset = layout_.Trailer(sector) * kBlockSize + (key == KeyKind::A ? 0 : 10);
  // A key the dump did not know matches nothing anyone can type.
  for (int i = 0; i < 6; ++i)
    if (unknown_[offset + i]) return Refuse();
  if (!std::equal(value.begin(), value.end(), memory_.begin() + offset))
    return Refuse();
  state_ = State::Authenticated;
  authSector_ = sector;
  authKey_ = key;
  return Reply::Ok;
}

Card::Reply Card::Read(int block, Block* out) {
  if (state_ == State::Idle || state_ == State::Halt) return Reply::Silent;
  if (!MifareCommandsAccepted()) {
    Fallback();
    return Reply::Silent;
  }
  if (state_ != State::Authenticated || block < 0 || block >= layout_.blocks ||
      layout_.SectorOf(block) != authSector_)
    return Refuse();
  const auto conditions = SectorConditions(authSector_);
  if (!conditions) return Refuse();
  const int condition = (*conditions)[layout_.AccessGroup(authSector_, layout_.IndexInSector(block))];
  if (block != layout_.Trailer(authSector_)) {
    if (!Allows(DataBlockRuleOf(condition).read, authKey_ == KeyKind::B)) return Refuse();
    *out = BlockAt(block);
    return Reply::Ok;
  }
  // A trailer always reads; what may not be read comes back as zeros, and
  // key A never may.
  const Block stored = BlockAt(block);
  const TrailerRule rule = TrailerRuleOf(condition);
  const bool keyB = authKey_ == KeyKind::B;
  Block shown{};
  if (Allows(rule.accessRead, keyB)) std::copy(stored.begin() + 6, stored.begin() + 10, shown.begin() + 6);
  if (Allows(rule.keyBRead, keyB)) std::copy(stored.begin() + 10, stored.end(), shown.begin() + 10);
  *out = shown;
  return Reply::Ok;
}

Card::Reply Card::Write(int block, const Block& data) {
  if (state_ == State::Idle || state_ == State::Halt) return Reply::Silent;
  if (!MifareCommandsAccepted()) {
    Fallback();
    return Reply::Silent;
  }
  if (state_ != State::Authenticated || block < 0 || block >= layout_.blocks ||
      layout_.SectorOf(block) != authSector_ || (block == 0 && !profile_.block0Writable))
    return Refuse();
  const auto conditions = SectorConditions(authSector_);
  if (!conditions) return Refuse();
  const int condition = (*conditions)[layout_.AccessGroup(authSector_, layout_.IndexInSector(block))];
  auto target = memory_.begin() + block * kBlockSize;
  if (block != layout_.Trailer(authSector_)) {
    if (!Allows(DataBlockRuleOf(condition).write, authKey_ == KeyKind::B)) return Refuse();
    std::copy(data.begin(), data.end(), target);
    return Reply::Ok;
  }
  const TrailerRule rule = TrailerRuleOf(condition);
  const bool keyB = authKey_ == KeyKind::B;
  const bool writeKeyA = Allows(rule.keyAWrite, keyB), writeAccess = Allows(rule.accessWrite, keyB),
             writeKeyB = Allows(rule.keyBWrite, keyB);
  if (!writeKeyA && !writeAccess && !writeKeyB) return Refuse();
  // Each field keeps its old value where this key may not change it. New
  // access bits are taken as they come, even malformed ones: the card does
  // not check them, it just stops accepting the sector afterwards.
  const int first = block * kBlockSize;
  if (writeKeyA) {
    std::copy(data.begin(), data.begin() + 6, target);
    for (int i = 0; i < 6; ++i) unknown_[first + i] = false;
  }
  if (writeAccess) std::copy(data.begin() + 6, data.begin() + 10, target + 6);
  if (writeKeyB) {
    std::copy(data.begin() + 10, data.end(), target + 10);
    for (int i = 10; i < kBlockSize; ++i) unknown_[first + i] = false;
  }
  return Reply::Ok;
}

}  // namespace sim
