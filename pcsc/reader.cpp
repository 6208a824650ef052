#include "pcsc/reader.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "pcsc/choose.h"
#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

namespace pcsc {

namespace {

// No ISO 14443-3 frame, answer or field pause takes longer; a bigger value
// is a mistake the caller must not pay for with a frozen window.
constexpr uint16_t kLongestFieldPause = 500;

const Bytes kGetUid = {0xFF, 0xCA, 0x00, 0x00, 0x00};
const Bytes kGetAts = {0xFF, 0xCA, 0x01, 0x00, 0x00};
const Bytes kGetSak = {0xFF, 0xCA, 0x02, 0x00, 0x00};
const Bytes kGetAtqa = {0xFF, 0xCA, 0x03, 0x00, 0x00};
// InListPassiveTarget, one target at 106 kbps type A, through the reader's
// direct-transmit pseudo-APDU.
const Bytes kInListPassiveTarget = {0xFF, 0x00, 0x00, 0x00, 0x04, 0xD4, 0x4A, 0x01, 0x00};

// A refusal means what the caller says; any other failure is its own.
int16_t Outcome(const Exchange& exchange, int16_t refusal) {
  return exchange.refused ? refusal : exchange.status;
}

}  // namespace

Config ConfigFromEnvironment() {
  Config config;
  config.reader = dcrf32::TextFromEnvironment("DCRF32_PCSC_READER");
  config.keyForm = dcrf32::TextFromEnvironment("DCRF32_PCSC_KEYFORM");
  return config;
}

int32_t Reader::Open(const Config& config) {
  handle_ = 0;
  card_.reset();
  selected_ = false;
  keys_.Clear();
  slots_.Clear();
  formNamed_ = false;
  problem_.clear();
  link_.Disconnect(SCARD_LEAVE_CARD);
  forced_.reset();
  if (config.keyForm) {
    forced_ = KeyFormNamed(*config.keyForm);
    if (!forced_) {
      problem_ = "DCRF32_PCSC_KEYFORM=" + *config.keyForm +
                 " is none of acs, session, omnikey, scm";
      dcrf32::ReportProblem("PC/SC", problem_);
      return kInitNoReader;
    }
  }
  std::vector<std::string> names;
  if (link_.ListReaders(&names) != kOk) return kInitNoReader;
  const Choice chosen = ChooseReader(names, config.reader);
  trace_.Readers(Trace::Clock::now(), names, chosen.index, chosen.why);
  if (!chosen.index) return kInitNoReader;
  link_.UseReader(names[*chosen.index]);
  handle_ = ++lastHandle_;
  return handle_;
}

void Reader::DescribeOpen(int32_t result, std::string* more, std::string* reason) const {
  *more = result > 0 ? readerName() : "-";
  if (result <= 0) *reason = problem_;
}

Identity* Reader::Card() {
  if (!link_.connected()) {
    card_.reset();
    selected_ = false;
  }
  return card_ ? &*card_ : nullptr;
}

int16_t Reader::Beep(int32_t handle) {
  // PC/SC has no buzzer command; contactless readers sound on their own
  // when a card arrives.
  return IsOpen(handle) ? kOk : kBadHandle;
}

int16_t Reader::Reset(int32_t handle, uint16_t milliseconds) {
  if (!IsOpen(handle)) return kBadHandle;
  link_.Disconnect(SCARD_UNPOWER_CARD);
  card_.reset();
  selected_ = false;
  std::this_thread::sleep_for(
      std::chrono::milliseconds(std::min(milliseconds, kLongestFieldPause)));
  return kOk;
}

int16_t Reader::ConfigCard(int32_t handle, uint8_t type) {
  if (!IsOpen(handle)) return kBadHandle;
  return type == 'A' ? kOk : kBadArgument;
}

bool Reader::ProbeGetData(Identity* card) {
  const Exchange atqa = link_.Transmit(kGetAtqa, 2, 2);
  if (atqa.status != kOk) return false;
  const Exchange sak = link_.Transmit(kGetSak, 1, 1);
  if (sak.status != kOk) return false;
  card->atqa = *AtqaFromGetData(atqa.data);
  card->sak = *SakFromGetData(sak.data);
  return true;
}

bool Reader::ProbePn53x(Identity* card) {
  Exchange answer = link_.Transmit(kInListPassiveTarget, 3, 256);
  // Some PN53x readers hold the answer back: 61 xx says how much to fetch.
  if (answer.refused && answer.data.empty() && (answer.sw >> 8) == 0x61)
    answer = link_.Transmit({0xFF, 0xC0, 0x00, 0x00, static_cast<uint8_t>(answer.sw & 0xFF)}, 3,
                            256);
  if (answer.status != kOk) return false;
  const auto target = ParseInListPassiveTarget(answer.data);
  // Another card than the one GET DATA named is no answer about this one.
  if (!target || target->uid != card->uid) return false;
  // The PN53x sent RATS, and a composite card in ISO 14443-4 no longer
  // takes MIFARE commands: the reader activates it afresh.
  if (target->ats && link_.ResetCard() != kOk) return false;
  card->atqa = target->atqa;
  card->sak = target->sak;
  card->ats = target->ats;
  return true;
}

int16_t Reader::Identify() {
  card_.reset();
  selected_ = false;
  atsAsked_ = false;
  Identity card;
  const Exchange uid = link_.Transmit(kGetUid, 4, 10);
  if (uid.status != kOk) return Outcome(uid, kUnknownCard);
  if (!ValidUid(uid.data)) return kBadResponse;
  card.uid = uid.data;
  if (ProbeGetData(&card) || ProbePn53x(&card)) {
    card.exact = true;
  } else {
    if (!link_.connected()) return link_.NoConnection();
    const auto derived = DeriveFromAtr(link_.atr());
    if (!derived) return kUnknownCard;
    card.atqa = derived->atqa;
    card.sak = derived->sak;
  }
  if (!link_.connected()) return link_.NoConnection();
  card_ = std::move(card);
  return kOk;
}

int16_t Reader::Request(int32_t handle, uint8_t mode, uint16_t* atqa) {
  if (!IsOpen(handle)) return kBadHandle;
  if (mode > 1) return kBadArgument;
  card_.reset();
  selected_ = false;
  const bool fresh = !link_.connected();
  if (const int16_t status = link_.Connect()) return status;
  // A reader may drop its volatile keys with the card, or have been
  // unplugged in between: once per connection they are loaded again.
  const std::optional<KeyForm> form = FormInUse();
  if (fresh && !(form && NonVolatile(*form))) slots_.Clear();
  const int16_t status = Identify();
  if (status != kOk) {
    // Half an identification is none: the next request starts over.
    link_.Disconnect(SCARD_LEAVE_CARD);
    return status;
  }
  *atqa = card_->atqa;
  return kOk;
}

int16_t Reader::Anticollision(int32_t handle, uint8_t bitCount, uint32_t* serial) {
  if (!IsOpen(handle)) return kBadHandle;
  if (bitCount != 0) return kBadArgument;
  const Identity* card = Card();
  if (card == nullptr) return link_.NoConnection();
  // What is known of the card comes from its activation; whether it is
  // still there, only PC/SC can say.
  if (const int16_t status = link_.CheckCard()) return status;
  // A 7- or 10-byte UID does not fit: its first four bytes stand for it.
  const Bytes& uid = card->uid;
  *serial = static_cast<uint32_t>(uid[0]) | static_cast<uint32_t>(uid[1]) << 8 |
            static_cast<uint32_t>(uid[2]) << 16 | static_cast<uint32_t>(uid[3]) << 24;
  return kOk;
}

int16_t Reader::Select(int32_t handle, uint32_t serial, uint8_t* sak) {
  if (!IsOpen(handle)) return kBadHandle;
  selected_ = false;
  const Identity* card = Card();
  if (card == nullptr) return link_.NoConnection();
  if (const int16_t status = link_.CheckCard()) return status;
  const Bytes& uid = card->uid;
  const uint32_t own = static_cast<uint32_t>(uid[0]) | static_cast<uint32_t>(uid[1]) << 8 |
                       static_cast<uint32_t>(uid[2]) << 16 | static_cast<uint32_t>(uid[3]) << 24;
  if (serial != own) return kNoCard;  // no card with that serial answers
  selected_ = true;
  *sak = card->sak;
  return kOk;
}

int16_t Reader::Ats(int32_t handle, Bytes* ats) {
  if (!IsOpen(handle)) return kBadHandle;
  Identity* card = Card();
  if (card == nullptr) return link_.NoConnection();
  if (!selected_) return kNoCard;
  if (const int16_t status = link_.CheckCard()) return status;
  if ((card->sak & 0x20) == 0) return kNoIso14443_4;
  if (!card->ats && !atsAsked_) {
    atsAsked_ = true;
    const Exchange answer = link_.Transmit(kGetAts, 1, 254);
    if (answer.status == kOk && WellFormedAts(answer.data)) card->ats = answer.data;
    if (!link_.connected()) return link_.NoConnection();
  }
  if (!card->ats) return kNotReported;
  *ats = *card->ats;
  return kOk;
}

int16_t Reader::LoadKey(int32_t handle, uint8_t mode, uint8_t sector, const Key& key) {
  if (!IsOpen(handle)) return kBadHandle;
  if (!keys_.Load(mode, sector, key)) return kBadArgument;
  return kOk;
}

std::optional<KeyForm> Reader::FormInUse() const {
  if (forced_) return forced_;
  const auto known = found_.find(link_.reader());
  if (known == found_.end()) return std::nullopt;
  return known->second;
}

void Reader::NameForm(KeyForm form, const char* how) {
  if (formNamed_) return;
  formNamed_ = true;
  trace_.KeyForm(Trace::Clock::now(), KeyFormName(form), how);
}

Exchange Reader::LoadInto(KeyForm form, uint8_t keyType, const Key& key, KeySlot* slot) {
  const KeySlots::Place place = slots_.For(form, keyType, key);
  *slot = place.slot;
  if (!place.load) return Exchange{};
  const Exchange loaded = link_.Transmit(LoadKeysCommand(place.slot, key), 0, 0);
  if (loaded.status == kOk) slots_.Loaded(place.slot, key);
  else slots_.Forget(place.slot);
  return loaded;
}

int16_t Reader::PutKey(uint8_t keyType, const Key& key, KeySlot* slot) {
  std::optional<KeyForm> refusedForm;
  if (const std::optional<KeyForm> form = FormInUse()) {
    const Exchange loaded = LoadInto(*form, keyType, key, slot);
    if (forced_ || !loaded.refused) {
      NameForm(*form, forced_ ? "set by DCRF32_PCSC_KEYFORM" : "found earlier");
      return Outcome(loaded, kAuthFailed);
    }
    // Another reader under the same name, or one whose firmware changed:
    // found afresh.
    found_.erase(link_.reader());
    formNamed_ = false;
    refusedForm = form;
  }
  // A reader refuses a form it does not know with a status word; anything
  // else (the card gone, PC/SC failing) says nothing about the form.
  for (const KeyForm form : ProbeOrder(link_.reader())) {
    if (form == refusedForm) continue;
    const Exchange loaded = LoadInto(form, keyType, key, slot);
    if (loaded.status == kOk) {
      found_[link_.reader()] = form;
      NameForm(form, "found");
      return kOk;
    }
    if (!loaded.refused) return loaded.status;
  }
  return kAuthFailed;
}

int16_t Reader::Authenticate(int32_t handle, uint8_t mode, uint8_t sector) {
  if (!IsOpen(handle)) return kBadHandle;
  if (!dcrf32::KeyStore::Valid(mode, sector)) return kBadArgument;
  const std::optional<Key>& key = keys_.Find(mode, sector);
  if (!key) return kNoKey;
  if (Card() == nullptr) return link_.NoConnection();
  const uint8_t keyType = mode <= 2 ? kKeyTypeA : kKeyTypeB;
  KeySlot slot;
  if (const int16_t status = PutKey(keyType, *key, &slot)) return status;
  // A 4K card's sectors 32-39 start past block 127; below them every size
  // puts a sector where the 4K card does.
  const Exchange answer =
      link_.Transmit(GeneralAuthenticateCommand(static_cast<uint8_t>(k4KLayout.FirstBlock(sector)), keyType, slot), 0, 0);
  // Readers word a wrong key differently: 63 00 (most), 69 82 (SCM's),
  // 69 84 or 69 86. Every refusal is read as one; the slot still holds
  // what it was given, and the card is woken for the next try as usual.
  if (answer.status != kOk) return Outcome(answer, kAuthFailed);
  return kOk;
}

int16_t Reader::Read(int32_t handle, uint8_t block, Block* out) {
  if (!IsOpen(handle)) return kBadHandle;
  if (Card() == nullptr) return link_.NoConnection();
  const Exchange answer = link_.Transmit({0xFF, 0xB0, 0x00, block, 0x10}, kBlockSize, kBlockSize);
  if (answer.status != kOk) return Outcome(answer, kAccessDenied);
  std::copy(answer.data.begin(), answer.data.end(), out->begin());
  return kOk;
}

int16_t Reader::Write(int32_t handle, uint8_t block, const Block& data) {
  if (!IsOpen(handle)) return kBadHandle;
  if (Card() == nullptr) return link_.NoConnection();
  Bytes update(5 + kBlockSize);
  const uint8_t header[] = {0xFF, 0xD6, 0x00, block, 0x10};
  std::copy(std::begin(header), std::end(header), update.begin());
  std::copy(data.begin(), data.end(), update.begin() + 5);
  const Exchange answer = link_.Transmit(update, 0, 0);
  if (answer.status != kOk) return Outcome(answer, kAccessDenied);
  return kOk;
}

}  // namespace pcsc
