// The library's exported functions, the same for every dcrf32 built here:
// check the handle and pointers, convert between the C types and hex texts
// of the interface and the back end, and log each call. No exception may
// leave here: the caller is C (or Pascal) code.

#define DCRF32_BUILDING
#include "dcrf32/dcrf32.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "dcrf32/backend.h"
#include "dcrf32/call_text.h"
#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

namespace {

using dcrf32::Backend;
using dcrf32::Join;
using dcrf32::Num;
using dcrf32::Received;
using dcrf32::ShownText;
using dcrf32::TraceFile;

Backend& g_backend = dcrf32::LibraryBackend();
bool g_traceConfigured = false;

TraceFile& TraceLog() {
  // Calls before the first dc_init are logged too, to wherever the
  // environment says at that moment.
  if (!g_traceConfigured) {
    g_backend.Log().SetPath(dcrf32::PathFromEnvironment(g_backend.traceVariable()));
    g_traceConfigured = true;
  }
  return g_backend.Log();
}

template <typename Body>
int16_t Guarded(Body body) {
  try {
    TraceLog();  // before the body, whose own lines (a PC/SC exchange) are logged too
    g_backend.StartCall();
    return body();
  } catch (...) {
    dcrf32::ReportProblem(g_backend.name(), "internal error; the call did nothing");
    return dcrf32::kInternalError;
  }
}

// Arguments are only formatted when a log is open: the program's benchmark
// measures what each call costs.
template <typename Arguments>
void Log(TraceFile::Clock::time_point start, const char* function, long result, Arguments arguments,
         const std::string& reason = {}) {
  TraceFile& trace = TraceLog();
  if (!trace.enabled()) return;
  std::string text;
  try {
    text = arguments();
  } catch (...) {
    text = "?";
  }
  trace.Call(start, function, text, result, reason);
}

// Key bytes and the block data of sector trailers, as the log may show them.
std::string ShownKey(const uint8_t* key6) {
  if (key6 == nullptr) return "-";
  return g_backend.masksKeys() ? std::string(12, '*') : dcrf32::ToHex(key6, 6);
}
std::string ShownBlock(uint8_t block, const std::string& text) {
  return g_backend.masksKeys() ? dcrf32::MaskedBlockText(block, text) : text;
}

int16_t Precheck(int32_t h, std::initializer_list<const void*> pointers) {
  if (!g_backend.IsOpen(h)) return dcrf32::kBadHandle;
  for (const void* p : pointers)
    if (p == nullptr) return dcrf32::kBadArgument;
  return dcrf32::kOk;
}

constexpr int32_t kInitInternalError = -2;

}  // namespace

extern "C" {

DCRF32_API int32_t DCRF32_CALL dc_init(int16_t port, int32_t baud) {
  const auto start = TraceFile::Clock::now();
  g_traceConfigured = false;
  int32_t result = kInitInternalError;
  try {
    TraceLog();
    g_backend.StartCall();
    result = g_backend.Open();
  } catch (...) {
    dcrf32::ReportProblem(g_backend.name(), "internal error while opening the reader");
  }
  std::string more, reason;
  try {
    g_backend.DescribeOpen(result, &more, &reason);
  } catch (...) {
  }
  Log(start, "dc_init", result,
      [&] { return more.empty() ? Join({Num(port), Num(baud)}) : Join({Num(port), Num(baud), more}); }, reason);
  return result;
}

DCRF32_API int16_t DCRF32_CALL dc_beep(int32_t h, uint16_t time) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] { return g_backend.Beep(h); });
  Log(start, "dc_beep", status, [&] { return Join({Num(h), Num(time)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_reset(int32_t h, uint16_t time) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] { return g_backend.Reset(h, time); });
  Log(start, "dc_reset", status, [&] { return Join({Num(h), Num(time)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_config_card(int32_t h, uint8_t type) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] { return g_backend.ConfigCard(h, type); });
  Log(start, "dc_config_card", status, [&] { return Join({Num(h), Num(type)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_request(int32_t h, uint8_t mode, uint32_t* tag_type) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {tag_type})) return bad;
    uint16_t atqa = 0;
    const int16_t s = g_backend.Request(h, mode, &atqa);
    if (s == dcrf32::kOk) *tag_type = atqa;
    return s;
  });
  Log(start, "dc_request", status, [&] {
    return Join({Num(h), Num(mode), Received(status == dcrf32::kOk, tag_type ? *tag_type : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_anticoll(int32_t h, uint8_t bcnt, uint32_t* serial) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {serial})) return bad;
    uint32_t value = 0;
    const int16_t s = g_backend.Anticollision(h, bcnt, &value);
    if (s == dcrf32::kOk) *serial = value;
    return s;
  });
  Log(start, "dc_anticoll", status, [&] {
    return Join({Num(h), Num(bcnt), Received(status == dcrf32::kOk, serial ? *serial : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_select(int32_t h, uint32_t serial, uint8_t* sak) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {sak})) return bad;
    uint8_t answer = 0;
    const int16_t s = g_backend.Select(h, serial, &answer);
    if (s == dcrf32::kOk) *sak = answer;
    return s;
  });
  Log(start, "dc_select", status, [&] {
    return Join({Num(h), Num(serial), Received(status == dcrf32::kOk, sak ? *sak : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_pro_resethex(int32_t h, uint8_t* len, char* ats_hex) {
  const auto start = TraceFile::Clock::now();
  std::string hex;
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {len, ats_hex})) return bad;
    std::vector<uint8_t> ats;
    const int16_t s = g_backend.Ats(h, &ats);
    if (s != dcrf32::kOk) return s;
    // An ATS is at most 254 bytes, and the caller's buffer holds 256
    // characters: the hex text is cut there rather than overrunning.
    hex = dcrf32::ToHex(ats.data(), ats.size() > 127 ? 127 : ats.size());
    std::memcpy(ats_hex, hex.c_str(), hex.size() + 1);
    *len = static_cast<uint8_t>(hex.size() / 2);
    return s;
  });
  Log(start, "dc_pro_resethex", status, [&] {
    const bool ok = status == dcrf32::kOk;
    return Join({Num(h), Received(ok, len ? *len : 0), ok ? hex : std::string("-")});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_load_key(int32_t h, uint8_t mode, uint8_t sector, uint8_t* key6) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {key6})) return bad;
    dcrf32::Key key;
    std::memcpy(key.data(), key6, key.size());
    return g_backend.LoadKey(h, mode, sector, key);
  });
  Log(start, "dc_load_key", status, [&] { return Join({Num(h), Num(mode), Num(sector), ShownKey(key6)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_authentication(int32_t h, uint8_t mode, uint8_t sector) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] { return g_backend.Authenticate(h, mode, sector); });
  Log(start, "dc_authentication", status, [&] { return Join({Num(h), Num(mode), Num(sector)}); });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_read_hex(int32_t h, uint8_t block, char* hex33) {
  const auto start = TraceFile::Clock::now();
  std::string hex;
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {hex33})) return bad;
    dcrf32::Block data{};
    const int16_t s = g_backend.Read(h, block, &data);
    if (s != dcrf32::kOk) return s;
    hex = dcrf32::ToHex(data.data(), data.size());
    std::memcpy(hex33, hex.c_str(), hex.size() + 1);
    return s;
  });
  Log(start, "dc_read_hex", status, [&] {
    return Join({Num(h), Num(block), status == dcrf32::kOk ? ShownBlock(block, hex) : std::string("-")});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_write_hex(int32_t h, uint8_t block, char* hex) {
  const auto start = TraceFile::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {hex})) return bad;
    dcrf32::Block data{};
    if (!dcrf32::ParseHexExact(hex, data.data(), data.size())) return int16_t{dcrf32::kBadArgument};
    return g_backend.Write(h, block, data);
  });
  Log(start, "dc_write_hex", status,
      [&] { return Join({Num(h), Num(block), hex ? ShownBlock(block, ShownText(hex)) : std::string("-")}); });
  return status;
}

}  // extern "C"
