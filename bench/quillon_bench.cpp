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
#include "res/resource.h"
#include "dialog/memory_backend.h"
#include "reader/reader.h"
#include "reader/session.h"

namespace {

// The floor counts the calls a command pauses after: the session's pause,
// the real 10 ms one, counted.
int g_paused = 0;
void CountedPause() {
  ++g_paused;
  ReaderPause();
}

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
  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
  dlg.Session() = ReaderSession(*loaded.api, CountedPause);
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
