// The library's exported functions: check pointers, convert between the
// C types and hex texts of the interface and the reader model, and log each
// call. No exception may leave here: the caller is C (or Pascal) code.

#define DCRF32_BUILDING
#include "dcrf32/dcrf32.h"

#include <cstring>
#include <string>
#include <vector>

#include "dcrf32/call_text.h"
#include "sim/reader.h"
#include "sim/support.h"
#include "sim/trace.h"

namespace {

using sim::Trace;

// Before anything else in this library, so the log's times count from load.
const Trace::Clock::time_point g_loaded = Trace::Clock::now();
Trace g_trace(g_loaded);
bool g_traceConfigured = false;
sim::Reader g_reader;

// An unexpected failure inside the library (out of memory and the like).
constexpr int16_t kInternalError = 9;

Trace& TraceLog() {
  // Calls before the first dc_init are logged too, to wherever the
  // environment says at that moment.
  if (!g_traceConfigured) {
    g_trace.SetPath(sim::PathFromEnvironment("DCRF32_SIM_TRACE"));
    g_traceConfigured = true;
  }
  return g_trace;
}

template <typename Body>
int16_t Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    sim::ReportProblem("internal error; the call did nothing");
    return kInternalError;
  }
}

// Arguments are only formatted when a log is open: the program's benchmark
// measures what each call costs.
template <typename Arguments>
void Log(Trace::Clock::time_point start, const char* function, long result,
         Arguments arguments, const std::string& reason = {}) {
  Trace& trace = TraceLog();
  if (!trace.enabled()) return;
  std::string text;
  try {
    text = arguments();
  } catch (...) {
    text = "?";
  }
  trace.Write(start, function, text, result, reason);
}

using dcrf32::Join;
using dcrf32::Num;
using dcrf32::Received;
using dcrf32::ShownText;

int16_t Precheck(int32_t h, std::initializer_list<const void*> pointers) {
  if (!g_reader.IsOpen(h)) return sim::kBadHandle;
  for (const void* p : pointers)
    if (p == nullptr) return sim::kBadArgument;
  return sim::kOk;
}

sim::Uid UidFromSerial(uint32_t serial) {
  return {static_cast<uint8_t>(serial), static_cast<uint8_t>(serial >> 8),
          static_cast<uint8_t>(serial >> 16), static_cast<uint8_t>(serial >> 24)};
}

uint32_t SerialFromUid(const sim::Uid& uid) {
  return static_cast<uint32_t>(uid[0]) | static_cast<uint32_t>(uid[1]) << 8 |
         static_cast<uint32_t>(uid[2]) << 16 | static_cast<uint32_t>(uid[3]) << 24;
}

}  // namespace

extern "C" {

DCRF32_API int32_t DCRF32_CALL dc_init(int16_t port, int32_t baud) {
  const auto start = Trace::Clock::now();
  g_traceConfigured = false;
  int32_t result = sim::kInitBadConfiguration;
  try {
    result = g_reader.Open(sim::ConfigFromEnvironment());
  } catch (...) {
    sim::ReportProblem("internal error while opening the reader");
  }
  Log(start, "dc_init", result, [&] { return Join({Num(port), Num(baud)}); },
      result > 0 ? std::string() : g_reader.problem());
  return result;
}

DCRF32_API int16_t DCRF32_CALL dc_beep(int32_t h, uint16_t time) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] { return g_reader.Beep(h); });
  Log(start, "dc_beep", status, [&] { return Join({Num(h), Num(time)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_reset(int32_t h, uint16_t time) {
  const auto start = Trace::Clock::now();
  // No sleep for the off time: the program waits after each call itself.
  const int16_t status = Guarded([&] { return g_reader.Reset(h); });
  Log(start, "dc_reset", status, [&] { return Join({Num(h), Num(time)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_config_card(int32_t h, uint8_t type) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] { return g_reader.ConfigCard(h, type); });
  Log(start, "dc_config_card", status, [&] { return Join({Num(h), Num(type)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_request(int32_t h, uint8_t mode, uint32_t* tag_type) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {tag_type})) return bad;
    uint16_t atqa = 0;
    const int16_t s = g_reader.Request(h, mode, &atqa);
    if (s == sim::kOk) *tag_type = atqa;
    return s;
  });
  Log(start, "dc_request", status, [&] {
    return Join({Num(h), Num(mode), Received(status == sim::kOk, tag_type ? *tag_type : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_anticoll(int32_t h, uint8_t bcnt, uint32_t* serial) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {serial})) return bad;
    sim::Uid uid{};
    const int16_t s = g_reader.Anticollision(h, bcnt, &uid);
    if (s == sim::kOk) *serial = SerialFromUid(uid);
    return s;
  });
  Log(start, "dc_anticoll", status, [&] {
    return Join({Num(h), Num(bcnt), Received(status == sim::kOk, serial ? *serial : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_select(int32_t h, uint32_t serial, uint8_t* sak) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {sak})) return bad;
    uint8_t answer = 0;
    const int16_t s = g_reader.Select(h, UidFromSerial(serial), &answer);
    if (s == sim::kOk) *sak = answer;
    return s;
  });
  Log(start, "dc_select", status, [&] {
    return Join({Num(h), Num(serial), Received(status == sim::kOk, sak ? *sak : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_pro_resethex(int32_t h, uint8_t* len, char* ats_hex) {
  const auto start = Trace::Clock::now();
  std::string hex;
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {len, ats_hex})) return bad;
    std::vector<uint8_t> ats;
    const int16_t s = g_reader.Rats(h, &ats);
    if (s != sim::kOk) return s;
    // An ATS is at most 254 bytes, and the caller's buffer holds 256
    // characters: the hex text is cut there rather than overrunning.
    hex = sim::ToHex(ats.data(), ats.size() > 127 ? 127 : ats.size());
    std::memcpy(ats_hex, hex.c_str(), hex.size() + 1);
    *len = static_cast<uint8_t>(hex.size() / 2);
    return s;
  });
  Log(start, "dc_pro_resethex", status, [&] {
    const bool ok = status == sim::kOk;
    return Join({Num(h), Received(ok, len ? *len : 0), ok ? hex : std::string("-")});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_load_key(int32_t h, uint8_t mode, uint8_t sector,
                                           uint8_t* key6) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {key6})) return bad;
    sim::Key key;
    std::memcpy(key.data(), key6, key.size());
    return g_reader.LoadKey(h, mode, sector, key);
  });
  Log(start, "dc_load_key", status, [&] {
    return Join({Num(h), Num(mode), Num(sector), key6 ? sim::ToHex(key6, 6) : "-"});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_authentication(int32_t h, uint8_t mode, uint8_t sector) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] { return g_reader.Authenticate(h, mode, sector); });
  Log(start, "dc_authentication", status,
      [&] { return Join({Num(h), Num(mode), Num(sector)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_read_hex(int32_t h, uint8_t block, char* hex33) {
  const auto start = Trace::Clock::now();
  std::string hex;
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {hex33})) return bad;
    sim::Block data{};
    const int16_t s = g_reader.Read(h, block, &data);
    if (s != sim::kOk) return s;
    hex = sim::ToHex(data.data(), data.size());
    std::memcpy(hex33, hex.c_str(), hex.size() + 1);
    return s;
  });
  Log(start, "dc_read_hex", status, [&] {
    return Join({Num(h), Num(block), status == sim::kOk ? hex : std::string("-")});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_write_hex(int32_t h, uint8_t block, char* hex) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {hex})) return bad;
    sim::Block data{};
    if (!sim::ParseHexExact(hex, data.data(), data.size())) return int16_t{sim::kBadArgument};
    return g_reader.Write(h, block, data);
  });
  Log(start, "dc_write_hex", status,
      [&] { return Join({Num(h), Num(block), ShownText(hex)}); });
  return status;
}

}  // extern "C"
