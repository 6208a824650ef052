// The library's exported functions: check pointers, convert between the C
// types and hex texts of the interface and the reader, and log each call.
// No exception may leave here: the caller is C (or Pascal) code.

#define DCRF32_BUILDING
#include "dcrf32/dcrf32.h"

#include <cstring>
#include <initializer_list>
#include <string>

#include "dcrf32/call_text.h"
#include "pcsc/reader.h"
#include "pcsc/support.h"
#include "pcsc/trace.h"

namespace {

using pcsc::Trace;

// Before anything else in this library, so the log's times count from load.
const Trace::Clock::time_point g_loaded = Trace::Clock::now();
Trace g_trace(g_loaded);
bool g_traceConfigured = false;
pcsc::Reader g_reader(&g_trace);

Trace& TraceLog() {
  if (!g_traceConfigured) {
    g_trace.SetPath(pcsc::PathFromEnvironment("DCRF32_PCSC_TRACE"));
    g_traceConfigured = true;
  }
  return g_trace;
}

template <typename Body>
int16_t Guarded(Body body) {
  try {
    TraceLog();  // before the body, whose PC/SC calls are logged too
    g_reader.StartCall();
    return body();
  } catch (...) {
    pcsc::ReportProblem("internal error; the call did nothing");
    return pcsc::kInternalError;
  }
}

template <typename Arguments>
void Log(Trace::Clock::time_point start, const char* function, long result,
         Arguments arguments) {
  Trace& trace = TraceLog();
  if (!trace.enabled()) return;
  std::string text;
  try {
    text = arguments();
  } catch (...) {
    text = "?";
  }
  trace.Call(start, function, text, result);
}

using dcrf32::Join;
using dcrf32::Num;
using dcrf32::Received;
using dcrf32::ShownText;

int16_t Precheck(int32_t h, std::initializer_list<const void*> pointers) {
  if (!g_reader.IsOpen(h)) return pcsc::kBadHandle;
  for (const void* p : pointers)
    if (p == nullptr) return pcsc::kBadArgument;
  return pcsc::kOk;
}

}  // namespace

extern "C" {

DCRF32_API int32_t DCRF32_CALL dc_init(int16_t port, int32_t baud) {
  const auto start = Trace::Clock::now();
  g_traceConfigured = false;
  TraceLog();
  int32_t result = pcsc::kInitInternalError;
  try {
    g_reader.StartCall();
    result = g_reader.Open(pcsc::ConfigFromEnvironment());
  } catch (...) {
    pcsc::ReportProblem("internal error while opening the reader");
  }
  // Port and baud rate mean nothing to PC/SC; the log names the reader.
  Log(start, "dc_init", result, [&] {
    return Join({Num(port), Num(baud), result > 0 ? g_reader.readerName() : "-"});
  });
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
  const int16_t status = Guarded([&] { return g_reader.Reset(h, time); });
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
    if (s == pcsc::kOk) *tag_type = atqa;
    return s;
  });
  Log(start, "dc_request", status, [&] {
    return Join({Num(h), Num(mode), Received(status == pcsc::kOk, tag_type ? *tag_type : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_anticoll(int32_t h, uint8_t bcnt, uint32_t* serial) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {serial})) return bad;
    uint32_t value = 0;
    const int16_t s = g_reader.Anticollision(h, bcnt, &value);
    if (s == pcsc::kOk) *serial = value;
    return s;
  });
  Log(start, "dc_anticoll", status, [&] {
    return Join({Num(h), Num(bcnt), Received(status == pcsc::kOk, serial ? *serial : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_select(int32_t h, uint32_t serial, uint8_t* sak) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {sak})) return bad;
    uint8_t answer = 0;
    const int16_t s = g_reader.Select(h, serial, &answer);
    if (s == pcsc::kOk) *sak = answer;
    return s;
  });
  Log(start, "dc_select", status, [&] {
    return Join({Num(h), Num(serial), Received(status == pcsc::kOk, sak ? *sak : 0)});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_pro_resethex(int32_t h, uint8_t* len, char* ats_hex) {
  const auto start = Trace::Clock::now();
  std::string hex;
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {len, ats_hex})) return bad;
    pcsc::Bytes ats;
    const int16_t s = g_reader.Ats(h, &ats);
    if (s != pcsc::kOk) return s;
    // An ATS is at most 254 bytes and the caller's buffer holds 256
    // characters: the text is cut there rather than overrunning it.
    hex = pcsc::ToHex(ats.data(), ats.size() > 127 ? 127 : ats.size());
    std::memcpy(ats_hex, hex.c_str(), hex.size() + 1);
    *len = static_cast<uint8_t>(hex.size() / 2);
    return s;
  });
  Log(start, "dc_pro_resethex", status, [&] {
    const bool ok = status == pcsc::kOk;
    return Join({Num(h), Received(ok, len ? *len : 0), ok ? hex : std::string("-")});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_load_key(int32_t h, uint8_t mode, uint8_t sector,
                                           uint8_t* key6) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {key6})) return bad;
    pcsc::Key key;
    std::memcpy(key.data(), key6, key.size());
    return g_reader.LoadKey(h, mode, sector, key);
  });
  // A log is no place for a key, not even the program's own.
  Log(start, "dc_load_key", status, [&] {
    return Join({Num(h), Num(mode), Num(sector), key6 ? std::string(12, '*') : "-"});
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
    pcsc::Block data{};
    const int16_t s = g_reader.Read(h, block, &data);
    if (s != pcsc::kOk) return s;
    hex = pcsc::ToHex(data.data(), data.size());
    std::memcpy(hex33, hex.c_str(), hex.size() + 1);
    return s;
  });
  Log(start, "dc_read_hex", status, [&] {
    return Join({Num(h), Num(block),
                 status == pcsc::kOk ? Trace::ShownBlockText(block, hex) : std::string("-")});
  });
  return status;
}

DCRF32_API int16_t DCRF32_CALL dc_write_hex(int32_t h, uint8_t block, char* hex) {
  const auto start = Trace::Clock::now();
  const int16_t status = Guarded([&] {
    if (const int16_t bad = Precheck(h, {hex})) return bad;
    pcsc::Block data{};
    if (!pcsc::ParseHexExact(hex, data.data(), data.size())) return int16_t{pcsc::kBadArgument};
    return g_reader.Write(h, block, data);
  });
  Log(start, "dc_write_hex", status,
      [&] {
        return Join({Num(h), Num(block),
                     hex ? Trace::ShownBlockText(block, ShownText(hex)) : std::string("-")});
      });
  return status;
}

}  // extern "C"
