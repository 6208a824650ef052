#include "firmware.h"

#include <algorithm>
#include <cstdio>

namespace responder {

namespace {

const Bytes kOk = {0x90, 0x00};
const Bytes kFailed = {0x63, 0x00};
const Bytes kWrongLength = {0x67, 0x00};
const Bytes kNotSupported = {0x6A, 0x81};
const Bytes kWrongParameters = {0x6B, 0x00};
const Bytes kNoSuchInstruction = {0x6D, 0x00};
const Bytes kNoSuchClass = {0x6E, 0x00};
const Bytes kSecurityNotSatisfied = {0x69, 0x82};
const Bytes kCommandNotAllowed = {0x69, 0x86};

Bytes WithStatus(Bytes data, const Bytes& status) {
  data.insert(data.end(), status.begin(), status.end());
  return data;
}

Bytes Historical(const Bytes& ats) {
  if (ats.size() < 2) return {};
  const uint8_t format = ats[1];
  size_t at = 2 + ((format & 0x10) ? 1 : 0) + ((format & 0x20) ? 1 : 0) + ((format & 0x40) ? 1 : 0);
  at = std::min(at, ats.size());
  return Bytes(ats.begin() + at, ats.end());
}

}  // namespace

Bytes AtrFor(const sim::CardProfile& profile) {
  Bytes atr;
  if (profile.sak & 0x20) {
    // An ATR has room for 15 historical bytes; a longer ATS's are cut.
    Bytes historical = Historical(profile.ats);
    historical.resize(std::min<size_t>(historical.size(), 15));
    atr = {0x3B, static_cast<uint8_t>(0x80 | historical.size()), 0x80, 0x01};
    atr.insert(atr.end(), historical.begin(), historical.end());
  } else {
    // Standard 03 (ISO 14443-3 type A), then the card name: 00 01 MIFARE
    // Classic 1K, 00 02 4K, 00 26 Mini.
    const uint8_t name = profile.size == CardSize::k4K ? 0x02 : profile.size == CardSize::kMini ? 0x26 : 0x01;
    atr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
           0x03, 0x06, 0x03, 0x00, name, 0x00, 0x00, 0x00, 0x00};
  }
  uint8_t check = 0;
  for (size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  atr.push_back(check);
  return atr;
}

bool Firmware::Activate() {
  card_.FieldReset();
  active_ = card_.Request(true) && card_.Anticollision() &&
            card_.Select(card_.profile().uid).has_value();
  return active_;
}

void Firmware::PowerOn() {
  powered_ = true;
  Activate();
}

void Firmware::PowerOff() {
  powered_ = false;
  active_ = false;
  card_.FieldReset();
}

Bytes Firmware::Atr() const { return AtrFor(card_.profile()); }

Bytes Firmware::Apdu(const Bytes& command) {
  if (command.size() < 4) return kWrongLength;
  if (command[0] != 0xFF) return kNoSuchClass;
  if (!powered_) return kFailed;
  switch (command[1]) {
    case 0xCA:
      if (command.size() != 5 || command[3] != 0x00) return kWrongParameters;
      return GetData(command[2]);
    case 0x82:
      return LoadKeys(command);
    case 0x86:
      return Authenticate(command);
    case 0xB0:
      return ReadBinary(command);
    case 0xD6:
      return UpdateBinary(command);
    case 0x00:
      return DirectTransmit(command);
    case 0xC0:
      return GetResponse(command);
    default:
      return kNoSuchInstruction;
  }
}

Bytes Firmware::GetData(uint8_t p1) {
  const sim::CardProfile& profile = card_.profile();
  switch (p1) {
    case 0x00:
      return WithStatus(Bytes(profile.uid.begin(), profile.uid.end()), kOk);
    case 0x01:
      if (flavour_ != Flavour::GetData || profile.ats.empty()) return kNotSupported;
      return WithStatus(profile.ats, kOk);
    case 0x02:
      if (flavour_ != Flavour::GetData) return kNotSupported;
      return WithStatus({profile.sak}, kOk);
    case 0x03:
      if (flavour_ != Flavour::GetData) return kNotSupported;
      // As the card sends it: low byte first.
      return WithStatus({static_cast<uint8_t>(profile.atqa & 0xFF),
                         static_cast<uint8_t>(profile.atqa >> 8)},
                        kOk);
    default:
      return kWrongParameters;
  }
}

std::optional<Bytes> Firmware::RefusedKeySlot(uint8_t p1, uint8_t p2) const {
  switch (family_) {
    case Family::Acs:
      if (p1 == 0x00 && p2 <= 0x01) return std::nullopt;
      break;
    case Family::Session:
      if ((p1 == 0x00 && p2 == 0x20) || (p1 == 0x20 && p2 < 0x20)) return std::nullopt;
      break;
    case Family::Omnikey:
      if (p1 == 0x00) return kCommandNotAllowed;
      if (p1 == 0x20 && p2 < 0x20) return std::nullopt;
      break;
    case Family::Scm:
      if (p1 == 0x00 && (p2 == 0x60 || p2 == 0x61)) return std::nullopt;
      break;
  }
  return kWrongParameters;
}

Bytes Firmware::LoadKeys(const Bytes& command) {
  if (command.size() != 11 || command[4] != 6) return kWrongLength;
  if (const auto refusal = RefusedKeySlot(command[2], command[3])) return *refusal;
  sim::Key key;
  std::copy(command.begin() + 5, command.end(), key.begin());
  slots_[command[3]] = key;
  return kOk;
}

Bytes Firmware::Authenticate(const Bytes& command) {
  if (command.size() != 10 || command[4] != 5 || command[5] != 0x01) return kWrongLength;
  const uint8_t block = command[7];
  const uint8_t type = command[8];
  const uint8_t number = command[9];
  if (type != 0x60 && type != 0x61) return kWrongParameters;
  // An SCM reader names the key by its type: any other number is none.
  if (family_ == Family::Scm && number != type) return kWrongParameters;
  const auto slot = slots_.find(number);
  if (slot == slots_.end()) return kSecurityNotSatisfied;
  const auto reply = card_.Authenticate(type == 0x60 ? sim::KeyKind::A : sim::KeyKind::B,
                                        sim::SectorOf(block), slot->second);
  if (reply == sim::Card::Reply::Ok) return kOk;
  return family_ == Family::Scm ? kSecurityNotSatisfied : kFailed;
}

Bytes Firmware::ReadBinary(const Bytes& command) {
  if (command.size() != 5 || command[4] != 0x10) return kWrongLength;
  sim::Block data;
  if (card_.Read(command[3], &data) != sim::Card::Reply::Ok) return kFailed;
  return WithStatus(Bytes(data.begin(), data.end()), kOk);
}

Bytes Firmware::UpdateBinary(const Bytes& command) {
  if (command.size() != 21 || command[4] != 0x10) return kWrongLength;
  sim::Block data;
  std::copy(command.begin() + 5, command.end(), data.begin());
  return card_.Write(command[3], data) == sim::Card::Reply::Ok ? kOk : kFailed;
}

Bytes Firmware::GetResponse(const Bytes& command) {
  Bytes held;
  held.swap(heldBack_);
  if (command.size() != 5 || held.empty()) return kNotSupported;
  if (command[4] != held.size() - 2) return kWrongLength;
  return held;
}

Bytes Firmware::DirectTransmit(const Bytes& command) {
  if (flavour_ != Flavour::Pn53x && flavour_ != Flavour::Acr122) return kNotSupported;
  if (command.size() < 5 || command.size() != 5u + command[4]) return kWrongLength;
  const Bytes frame(command.begin() + 5, command.end());
  // InListPassiveTarget, one target, 106 kbps type A: the PN53x activates
  // the card afresh, and sends RATS when the SAK says ISO 14443-4.
  if (frame != Bytes{0xD4, 0x4A, 0x01, 0x00}) return kNotSupported;
  if (second_) {
    const sim::CardProfile& other = *second_;
    Bytes answer = {0xD5, 0x4B, 0x01, 0x01, static_cast<uint8_t>(other.atqa >> 8),
                    static_cast<uint8_t>(other.atqa & 0xFF), other.sak,
                    static_cast<uint8_t>(other.uid.size())};
    answer.insert(answer.end(), other.uid.begin(), other.uid.end());
    answer.insert(answer.end(), other.ats.begin(), other.ats.end());
    return DirectAnswer(answer, kOk);
  }
  card_.FieldReset();
  const auto atqa = card_.Request(true);
  const auto uid = atqa ? card_.Anticollision() : std::nullopt;
  const auto sak = uid ? card_.Select(*uid) : std::nullopt;
  active_ = sak.has_value();
  if (!sak) return DirectAnswer({0xD5, 0x4B, 0x00}, kOk);
  Bytes answer = {0xD5, 0x4B, 0x01, 0x01, static_cast<uint8_t>(*atqa >> 8),
                  static_cast<uint8_t>(*atqa & 0xFF), *sak, static_cast<uint8_t>(uid->size())};
  answer.insert(answer.end(), uid->begin(), uid->end());
  if (*sak & 0x20) {
    const auto ats = card_.Rats();
    if (ats) answer.insert(answer.end(), ats->begin(), ats->end());
  }
  return DirectAnswer(answer, kOk);
}

Bytes Firmware::DirectAnswer(const Bytes& data, const Bytes& status) {
  if (flavour_ != Flavour::Acr122 || data.empty()) return WithStatus(data, status);
  heldBack_ = WithStatus(data, status);
  return {0x61, static_cast<uint8_t>(data.size())};
}

namespace {

std::optional<sim::Preset> PresetNamed(const std::string& name) {
  if (name == "m1") return sim::Preset::M1;
  if (name == "cpu") return sim::Preset::Cpu;
  if (name == "composite") return sim::Preset::Composite;
  if (name == "mini") return sim::Preset::Mini;
  if (name == "4k") return sim::Preset::Classic4K;
  return std::nullopt;
}

}  // namespace

Taken TakeReaderOption(const std::string& flag, const std::string& value, ReaderOptions* options,
                       std::string* problem) {
  const auto bad = [&](const char* takes) {
    *problem = flag + " takes " + takes + ", not \"" + value + "\"";
    return Taken::BadValue;
  };
  if (flag == "--card") {
    if (value == "none") options->card.reset();
    else if (const auto preset = PresetNamed(value)) options->card = preset;
    else return bad("m1, cpu, composite, mini, 4k or none");
  } else if (flag == "--second-card") {
    options->secondCard = PresetNamed(value);
    if (!options->secondCard) return bad("m1, cpu, composite, mini or 4k");
  } else if (flag == "--flavour") {
    if (value == "pn53x") options->flavour = Flavour::Pn53x;
    else if (value == "acr122") options->flavour = Flavour::Acr122;
    else if (value == "getdata") options->flavour = Flavour::GetData;
    else if (value == "atr") options->flavour = Flavour::Atr;
    else return bad("pn53x, acr122, getdata or atr");
  } else if (flag == "--keys") {
    if (value == "acs") options->family = Family::Acs;
    else if (value == "session") options->family = Family::Session;
    else if (value == "omnikey") options->family = Family::Omnikey;
    else if (value == "scm") options->family = Family::Scm;
    else return bad("acs, session, omnikey or scm");
  } else if (flag == "--unanswered") {
    unsigned instruction = 0;
    char rest = 0;
    if (std::sscanf(value.c_str(), "%2x%c", &instruction, &rest) != 1) return bad("an instruction byte in hex");
    options->unanswered = static_cast<uint8_t>(instruction);
  } else if (flag == "--ats-length") {
    int length = 0;
    char rest = 0;
    if (std::sscanf(value.c_str(), "%d%c", &length, &rest) != 1 || length < 5 || length > 254)
      return bad("5 to 254");
    options->atsLength = length;
  } else if (flag == "--chaos") {
    unsigned seed = 0;
    int percent = 0;
    char rest = 0;
    if (std::sscanf(value.c_str(), "%u,%d%c", &seed, &percent, &rest) != 2 || percent < 0 || percent > 100)
      return bad("SEED,PERCENT");
    options->chaosSeed = seed;
    options->chaosPercent = percent;
  } else if (flag == "--chaos-log") {
    options->chaosLog = value;
  } else {
    return Taken::NotAReaderSwitch;
  }
  return Taken::Yes;
}

Firmware MakeFirmware(const ReaderOptions& options) {
  sim::CardProfile profile = sim::PresetProfile(*options.card);
  if (options.atsLength > 0 && !profile.ats.empty()) {
    profile.ats.resize(static_cast<size_t>(options.atsLength), 0x5A);
    profile.ats[0] = static_cast<uint8_t>(options.atsLength);
  }
  const sim::Memory memory = sim::FactoryImage(profile);
  Firmware firmware(sim::Card(profile, memory), options.flavour, options.family);
  if (options.secondCard) firmware.AddSecondCard(sim::PresetProfile(*options.secondCard));
  return firmware;
}

}  // namespace responder
