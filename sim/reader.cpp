#include "sim/reader.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "cards/card_image.h"
#include "sim/dump.h"
#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

namespace sim {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

Uid UidFromSerial(uint32_t serial) {
  return {static_cast<uint8_t>(serial), static_cast<uint8_t>(serial >> 8), static_cast<uint8_t>(serial >> 16),
          static_cast<uint8_t>(serial >> 24)};
}

uint32_t SerialFromUid(const Uid& uid) {
  return static_cast<uint32_t>(uid[0]) | static_cast<uint32_t>(uid[1]) << 8 | static_cast<uint32_t>(uid[2]) << 16 |
         static_cast<uint32_t>(uid[3]) << 24;
}

// The card DCRF32_SIM_CARD names, in lower case; unset is an M1 card.
bool PresetNamed(const std::string& name, Preset* preset) {
  static const std::pair<const char*, Preset> kNames[] = {
      {"", Preset::M1},     {"m1", Preset::M1},     {"cpu", Preset::Cpu},          {"composite", Preset::Composite},
      {"cuid", Preset::Cuid}, {"mini", Preset::Mini}, {"4k", Preset::Classic4K}};
  for (const auto& named : kNames) {
    if (name != named.first) continue;
    *preset = named.second;
    return true;
  }
  return false;
}

}  // namespace

Config ConfigFromEnvironment() {
  Config config;
  config.reader = dcrf32::TextFromEnvironment("DCRF32_SIM_READER").value_or("");
  config.card = dcrf32::TextFromEnvironment("DCRF32_SIM_CARD").value_or("");
  config.dump = dcrf32::PathFromEnvironment("DCRF32_SIM_DUMP");
  return config;
}

void Reader::Close() {
  handle_ = 0;
  card_.reset();
  dump_.reset();
  dumpFile_ = DumpFile{};
  problem_.clear();
  selectedSak_.reset();
  keys_.Clear();
}

int32_t Reader::Refuse(int32_t result, const std::string& problem) {
  problem_ = problem;
  dcrf32::ReportProblem("virtual reader", problem);
  return result;
}

int32_t Reader::Open(const Config& config) {
  Close();
  const std::string reader = Lower(config.reader);
  if (reader == "absent") return kInitReaderAbsent;
  if (!reader.empty() && reader != "present") {
    return Refuse(kInitBadConfiguration, "DCRF32_SIM_READER=\"" + config.reader +
                                             "\" is not understood; use \"absent\" or leave it unset");
  }

  const std::string card = Lower(config.card);
  if (card != "none") {
    Preset preset;
    if (!PresetNamed(card, &preset)) {
      return Refuse(kInitBadConfiguration, "DCRF32_SIM_CARD=\"" + config.card +
                                               "\" is not a card; use m1, cpu, composite, cuid, mini, 4k or none");
    }
    CardProfile profile = PresetProfile(preset);
    DumpFile file(profile.size);
    file.bytes = FactoryImage(profile);
    // A CPU card has no MIFARE memory, so a dump means nothing to it.
    if (profile.mifare && config.dump) {
      std::string problem;
      switch (LoadDump(*config.dump, &file, &problem)) {
        case DumpLoad::Loaded:
          // The card's memory is the file: a dump of another size would
          // leave sectors out or have nowhere to go.
          if (file.size != profile.size) {
            return Refuse(kInitBadDump, "card dump " + dcrf32::DisplayPath(*config.dump) + " is a MIFARE Classic " +
                                            SizeName(file.size) + " card's (" +
                                            std::to_string(file.layout().BytesTotal()) + " bytes); the " +
                                            (card.empty() ? "m1" : card) +
                                            " card is a MIFARE Classic " + SizeName(profile.size) + " (" +
                                            std::to_string(LayoutOf(profile.size).BytesTotal()) + " bytes)");
          }
          TakeIdentityFromBlock0(file.bytes, &profile);
          break;
        case DumpLoad::Missing:
          if (!SaveDump(*config.dump, file, &problem))
            return Refuse(kInitBadDump, problem);
          break;
        case DumpLoad::Failed:
          return Refuse(kInitBadDump, problem);
      }
      dump_ = config.dump;
      dumpFile_ = file;
    }
    card_.emplace(std::move(profile), file.bytes, file.unknown);
  }
  handle_ = ++lastHandle_;
  return handle_;
}

int16_t Reader::Reset(int32_t handle, uint16_t) {
  if (!IsOpen(handle)) return kBadHandle;
  selectedSak_.reset();
  if (card_) card_->FieldReset();
  return kOk;
}

int16_t Reader::ConfigCard(int32_t handle, uint8_t type) {
  if (!IsOpen(handle)) return kBadHandle;
  return type == 'A' ? kOk : kBadArgument;
}

int16_t Reader::Request(int32_t handle, uint8_t mode, uint16_t* atqa) {
  if (!IsOpen(handle)) return kBadHandle;
  if (mode > 1) return kBadArgument;
  selectedSak_.reset();
  if (!card_) return kNoCard;
  const auto answer = card_->Request(mode == 1);
  if (!answer) return kNoCard;
  *atqa = *answer;
  return kOk;
}

int16_t Reader::Anticollision(int32_t handle, uint8_t bitCount, uint32_t* serial) {
  if (!IsOpen(handle)) return kBadHandle;
  // Only the full cascade from the start is modelled; no known bits.
  if (bitCount != 0) return kBadArgument;
  if (!card_) return kNoCard;
  const auto answer = card_->Anticollision();
  if (!answer) return kNoCard;
  *serial = SerialFromUid(*answer);
  return kOk;
}

int16_t Reader::Select(int32_t handle, uint32_t serial, uint8_t* sak) {
  if (!IsOpen(handle)) return kBadHandle;
  selectedSak_.reset();
  if (!card_) return kNoCard;
  const auto answer = card_->Select(UidFromSerial(serial));
  if (!answer) return kNoCard;
  selectedSak_ = *answer;
  *sak = *answer;
  return kOk;
}

int16_t Reader::Ats(int32_t handle, std::vector<uint8_t>* ats) {
  if (!IsOpen(handle)) return kBadHandle;
  if (!card_ || !selectedSak_) return kNoCard;
  if ((*selectedSak_ & 0x20) == 0) return kNoIso14443_4;
  const auto answer = card_->Rats();
  if (!answer) return kNoCard;
  *ats = *answer;
  return kOk;
}

int16_t Reader::LoadKey(int32_t handle, uint8_t mode, uint8_t sector, const Key& key) {
  if (!IsOpen(handle)) return kBadHandle;
  return keys_.Load(mode, sector, key) ? kOk : kBadArgument;
}

int16_t Reader::Authenticate(int32_t handle, uint8_t mode, uint8_t sector) {
  if (!IsOpen(handle)) return kBadHandle;
  if (!dcrf32::KeyStore::Valid(mode, sector)) return kBadArgument;
  const std::optional<Key>& key = keys_.Find(mode, sector);
  if (!key) return kNoKey;
  if (!card_) return kNoCard;
  switch (card_->Authenticate(mode <= 2 ? KeyKind::A : KeyKind::B, sector, *key)) {
    case Card::Reply::Ok:
      return kOk;
    case Card::Reply::Refused:
      return kAuthFailed;
    case Card::Reply::Silent:
      break;
  }
  return kNoCard;
}

int16_t Reader::Read(int32_t handle, uint8_t block, Block* out) {
  if (!IsOpen(handle)) return kBadHandle;
  if (!card_) return kNoCard;
  switch (card_->Read(block, out)) {
    case Card::Reply::Ok:
      return kOk;
    case Card::Reply::Refused:
      return kAccessDenied;
    case Card::Reply::Silent:
      break;
  }
  return kNoCard;
}

int16_t Reader::Write(int32_t handle, uint8_t block, const Block& data) {
  if (!IsOpen(handle)) return kBadHandle;
  if (!card_) return kNoCard;
  const Memory before = card_->memory();
  const ByteMask beforeUnknown = card_->unknown();
  switch (card_->Write(block, data)) {
    case Card::Reply::Ok:
      break;
    case Card::Reply::Refused:
      return kAccessDenied;
    case Card::Reply::Silent:
      return kNoCard;
  }
  std::string problem;
  dumpFile_.bytes = card_->memory();
  dumpFile_.unknown = card_->unknown();
  if (dump_ && !SaveDump(*dump_, dumpFile_, &problem)) {
    // The card and its file must not disagree: what is not on disk did not
    // happen.
    card_->RestoreMemory(before, beforeUnknown);
    dcrf32::ReportProblem("virtual reader", problem);
    return kSaveFailed;
  }
  return kOk;
}

}  // namespace sim
