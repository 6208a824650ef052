// How close each card command comes to its pause floor on the virtual
// reader: every paused call costs at least 10 ms, so a command that makes n
// such calls cannot take less than n x 10 ms. The ratio of its wall time to
// that floor shows what the command itself, the exchange and the library
// add. Target: 1.03 or less for every command.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "cardtest/card_test_dlg.h"
#include "cardtest/resource.h"
#include "dialog/memory_backend.h"
#include "reader/reader.h"

namespace {

// The loaded library's table, and a counting one in front of it: the floor
// counts the calls a command pauses after (all but dc_init and dc_beep).
ReaderApi g_real;
int g_paused = 0;

int32_t DCRF32_CALL Init(int16_t port, int32_t baud) { return g_real.dc_init(port, baud); }
int16_t DCRF32_CALL Beep(int32_t h, uint16_t t) { return g_real.dc_beep(h, t); }
int16_t DCRF32_CALL Reset(int32_t h, uint16_t t) { return ++g_paused, g_real.dc_reset(h, t); }
int16_t DCRF32_CALL Config(int32_t h, uint8_t type) { return ++g_paused, g_real.dc_config_card(h, type); }
int16_t DCRF32_CALL Request(int32_t h, uint8_t m, uint32_t* t) { return ++g_paused, g_real.dc_request(h, m, t); }
int16_t DCRF32_CALL Anticoll(int32_t h, uint8_t b, uint32_t* s) { return ++g_paused, g_real.dc_anticoll(h, b, s); }
int16_t DCRF32_CALL Select(int32_t h, uint32_t s, uint8_t* k) { return ++g_paused, g_real.dc_select(h, s, k); }
int16_t DCRF32_CALL ResetHex(int32_t h, uint8_t* l, char* a) { return ++g_paused, g_real.dc_pro_resethex(h, l, a); }
int16_t DCRF32_CALL LoadKey(int32_t h, uint8_t m, uint8_t s, uint8_t* k) {
  return ++g_paused, g_real.dc_load_key(h, m, s, k);
}
int16_t DCRF32_CALL Auth(int32_t h, uint8_t m, uint8_t s) { return ++g_paused, g_real.dc_authentication(h, m, s); }
int16_t DCRF32_CALL Read(int32_t h, uint8_t b, char* x) { return ++g_paused, g_real.dc_read_hex(h, b, x); }
int16_t DCRF32_CALL Write(int32_t h, uint8_t b, char* x) { return ++g_paused, g_real.dc_write_hex(h, b, x); }

const ReaderApi kCounting = {Init, Beep, Reset, Config, Request, Anticoll, Select, ResetHex, LoadKey, Auth, Read, Write};

struct Result {
  std::string name;
  int calls = 0;
  std::vector<double> ratios;
};

// Runs `command` `runs` times, each after `prepare`, and records its ratios.
Result Measure(const std::string& name, int runs, const std::function<void()>& prepare,
               const std::function<void()>& command) {
  using Clock = std::chrono::steady_clock;
  Result result{name, 0, {}};
  for (int i = 0; i < runs; ++i) {
    prepare();
    g_paused = 0;
    auto start = Clock::now();
    command();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    result.calls = g_paused;
    result.ratios.push_back(ms / (g_paused * 10.0));
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  unsetenv("DCRF32_SIM_DUMP");
  unsetenv("DCRF32_SIM_TRACE");
  unsetenv("DCRF32_SIM_READER");
  ReaderLoadResult loaded = LoadReaderLibrary(DCRF32_SIM_PATH);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n", loaded.Message().c_str());
    return 1;
  }
  g_real = Reader();
  InstallReaderApi(&kCounting);

  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
  dlg.AttachBackend(&ui);
  dlg.OnInitDialog();
  auto open = [&](const char* card) {
    setenv("DCRF32_SIM_CARD", card, 1);
    dlg.OnOpenReader();
  };
  auto nothing = [] {};

  std::vector<Result> results;
  open("m1");
  results.push_back(Measure("find card, M1 card", runs, nothing, [&] { dlg.OnFindCard(); }));
  results.push_back(Measure("load key A", runs, nothing, [&] { dlg.OnLoadKeyA(); }));
  results.push_back(Measure("read-out, all sectors", runs, [&] { dlg.OnFindCard(); }, [&] { dlg.OnReadCard(); }));
  if (ui.ListCount(IDC_READ_LIST) != 80) {
    std::fprintf(stderr, "read-out gave %d lines instead of 80\n", ui.ListCount(IDC_READ_LIST));
    return 1;
  }
  open("composite");
  results.push_back(Measure("find card, composite card", runs, nothing, [&] { dlg.OnFindCard(); }));

  bool met = true;
  std::printf("%-28s %6s %10s %8s %8s %8s\n", "command", "calls", "floor ms", "best", "mean", "worst");
  for (const Result& r : results) {
    double best = *std::min_element(r.ratios.begin(), r.ratios.end());
    double worst = *std::max_element(r.ratios.begin(), r.ratios.end());
    double mean = 0;
    for (double x : r.ratios) mean += x;
    mean /= r.ratios.size();
    met = met && mean <= 1.03;
    std::printf("%-28s %6d %10d %8.4f %8.4f %8.4f\n", r.name.c_str(), r.calls, r.calls * 10, best, mean, worst);
  }
  std::printf("target: mean ratio <= 1.03 for every command: %s\n", met ? "met" : "MISSED");
  return 0;
}
