#include "fake_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FakeReader* FakeReader::current = nullptr;

namespace {

std::string Hex(const uint8_t* bytes, int count) {
  std::string out;
  char pair[3];
  for (int i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    out += pair;
  }
  return out;
}

std::string Args(std::initializer_list<long long> values) {
  std::string out;
  for (long long v : values) {
    if (!out.empty()) out += ',';
    out += std::to_string(v);
  }
  return out;
}

int16_t Record(const std::string& call, bool refused = false) {
  FakeReader::current->log.push_back(call);
  return FakeReader::current->Status(call, refused);
}

// Whether the card refuses the key the reader holds for the sector.
bool WrongKey(uint8_t mode, uint8_t sector) {
  FakeReader& fake = *FakeReader::current;
  const auto& keys = mode == 0 ? fake.keysA : fake.keysB;
  auto key = keys.find(sector);
  if (key == keys.end()) return false;
  auto held = fake.loaded.find({mode, sector});
  return held == fake.loaded.end() || held->second != key->second;
}

// The fake's functions, by the names of the library's.
struct Fake {
  static int32_t DCRF32_CALL dc_init(int16_t port, int32_t baud) {
    FakeReader::current->log.push_back("dc_init(" + Args({port, baud}) + ")");
    return FakeReader::current->initResult;
  }
  static int16_t DCRF32_CALL dc_beep(int32_t h, uint16_t t) { return Record("dc_beep(" + Args({h, t}) + ")"); }
  static int16_t DCRF32_CALL dc_reset(int32_t h, uint16_t t) { return Record("dc_reset(" + Args({h, t}) + ")"); }
  static int16_t DCRF32_CALL dc_config_card(int32_t h, uint8_t type) {
    return Record("dc_config_card(" + Args({h, type}) + ")");
  }
  static int16_t DCRF32_CALL dc_request(int32_t h, uint8_t mode, uint32_t* tag) {
    int16_t s = Record("dc_request(" + Args({h, mode}) + ")");
    if (s == 0) *tag = FakeReader::current->tagType;
    return s;
  }
  static int16_t DCRF32_CALL dc_anticoll(int32_t h, uint8_t bcnt, uint32_t* serial) {
    int16_t s = Record("dc_anticoll(" + Args({h, bcnt}) + ")");
    if (s == 0) *serial = FakeReader::current->serial;
    return s;
  }
  static int16_t DCRF32_CALL dc_select(int32_t h, uint32_t serial, uint8_t* sak) {
    int16_t s = Record("dc_select(" + Args({h, serial}) + ")");
    if (s == 0) *sak = FakeReader::current->sak;
    return s;
  }
  static int16_t DCRF32_CALL dc_pro_resethex(int32_t h, uint8_t* len, char* ats) {
    int16_t s = Record("dc_pro_resethex(" + Args({h}) + ")");
    if (s == 0) {
      const std::string& text = FakeReader::current->ats;
      std::memcpy(ats, text.c_str(), text.size() + 1);
      *len = static_cast<uint8_t>(text.size() / 2);
    }
    return s;
  }
  static int16_t DCRF32_CALL dc_load_key(int32_t h, uint8_t mode, uint8_t sector, uint8_t* key) {
    const int16_t s = Record("dc_load_key(" + Args({h, mode, sector}) + "," + Hex(key, 6) + ")");
    if (s == 0) FakeReader::current->loaded[{mode, sector}] = Hex(key, 6);
    return s;
  }
  static int16_t DCRF32_CALL dc_authentication(int32_t h, uint8_t mode, uint8_t sector) {
    return Record("dc_authentication(" + Args({h, mode, sector}) + ")", WrongKey(mode, sector));
  }
  static int16_t DCRF32_CALL dc_read_hex(int32_t h, uint8_t block, char* hex) {
    int16_t s = Record("dc_read_hex(" + Args({h, block}) + ")");
    if (s == 0) {
      auto it = FakeReader::current->blocks.find(block);
      std::string text = it != FakeReader::current->blocks.end() ? it->second : FakeReader::BlockText(block);
      std::snprintf(hex, 33, "%s", text.c_str());
    }
    return s;
  }
  static int16_t DCRF32_CALL dc_write_hex(int32_t h, uint8_t block, char* hex) {
    return Record("dc_write_hex(" + Args({h, block}) + "," + hex + ")");
  }
};

const ReaderApi kFake = ReaderApiOf<Fake>();

void Pause() { FakeReader::current->log.push_back("pause"); }

}  // namespace

FakeReader::FakeReader() { current = this; }

FakeReader::~FakeReader() { current = nullptr; }

ReaderSession FakeReader::Session(int32_t handle) const { return ReaderSession(kFake, Pause, handle); }

void FakeReader::Fail(const std::string& prefix, int occurrence) { rules_.push_back({prefix, occurrence, 0}); }

int16_t FakeReader::Status(const std::string& call, bool refused) {
  bool fails = refused;
  for (Rule& rule : rules_) {
    if (call.compare(0, rule.prefix.size(), rule.prefix) != 0) continue;
    ++rule.seen;
    if (rule.occurrence == 0 || rule.occurrence == rule.seen) fails = true;
  }
  if (failIf && failIf(call)) fails = true;
  auto is = [&call](const char* function) { return call.rfind(function, 0) == 0; };
  // The argument after the handle (the block read or written), or after
  // the key mode (the sector authenticated).
  size_t at = call.find(',');
  if (at != std::string::npos && is("dc_authentication(")) at = call.find(',', at + 1);
  const int target = at == std::string::npos ? -1 : std::atoi(call.c_str() + at + 1);
  if (is("dc_read_hex(") || is("dc_write_hex(")) fails = fails || target / 4 != authenticated;
  if (is("dc_authentication(") || is("dc_read_hex(") || is("dc_write_hex(")) {
    fails = fails || idle;
    if (fails) idle = true;
  } else if (is("dc_reset(")) {
    idle = true;
  } else if (is("dc_select(") && !fails) {
    idle = false;
  }
  if (idle || is("dc_select(")) authenticated = -1;
  if (is("dc_authentication(") && !fails) authenticated = target;
  return fails ? -3 : 0;
}

std::string FakeReader::BlockText(int block) {
  char pair[3];
  std::snprintf(pair, sizeof pair, "%02X", block);
  std::string out;
  for (int i = 0; i < 16; ++i) out += pair;
  return out;
}

std::vector<std::string> FakeReader::Calls() const {
  std::vector<std::string> out;
  for (const std::string& entry : log)
    if (entry != "pause") out.push_back(entry);
  return out;
}

std::vector<std::string> FakeReader::CallsOf(const std::string& function) const {
  std::vector<std::string> out;
  for (const std::string& entry : log)
    if (entry.compare(0, function.size() + 1, function + "(") == 0) out.push_back(entry);
  return out;
}

bool FakeReader::PausedAfterEveryCall() const {
  for (size_t i = 0; i < log.size(); ++i) {
    const std::string& entry = log[i];
    bool next = i + 1 < log.size() && log[i + 1] == "pause";
    if (entry == "pause") {
      if (i == 0 || log[i - 1] == "pause") return false;  // a pause after no call
      continue;
    }
    bool unpaused = entry.rfind("dc_init(", 0) == 0 || entry.rfind("dc_beep(", 0) == 0;
    if (next == unpaused) return false;
  }
  return true;
}
