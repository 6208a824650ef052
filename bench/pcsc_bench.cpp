// The read-out through the whole virtual PC/SC stack (the PC/SC library,
// pcscd, vpcd, the responder) with the real 10 ms pause, against its pause
// floor: 80 paused calls, 0.80 s. Also how many APDUs it sends and what one
// APDU costs, from the library's own trace. Not a test; run it inside
// tests/pcsc/with-pcscd:
//   tests/pcsc/with-pcscd build/native/bin/pcsc_bench [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cardtest/card_test_dlg.h"
#include "res/resource.h"
#include "dialog/memory_backend.h"
#include "reader/reader.h"
#include "stack.h"

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const std::string trace = "/tmp/quillon-pcsc-bench-" + std::to_string(getpid()) + ".log";
  setenv("DCRF32_PCSC_READER", stack::kReader, 1);
  setenv("DCRF32_PCSC_TRACE", trace.c_str(), 1);
  ReaderLoadResult loaded = LoadReaderLibrary(PCSC_LIBRARY_PATH);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n", loaded.Message().c_str());
    return 1;
  }
  std::string problem;
  if (!stack::InsertCard({"--card", "m1"}, &problem)) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
  dlg.Session() = ReaderSession(*loaded.api);
  dlg.AttachBackend(&ui);
  dlg.OnInitDialog();
  dlg.OnOpenReader();

  using Clock = std::chrono::steady_clock;
  std::vector<double> findMs, readoutMs, apduMs;
  int apdus = 0;
  // First with the trace, to count and time the APDUs; then timed without
  // it, as a user runs the library.
  for (int i = 0; i < runs; ++i) {
    dlg.OnFindCard();
    dlg.OnLoadKeyA();
    // The library keeps the log open: only what the read-out appends counts.
    std::ifstream before(trace, std::ios::ate);
    const std::streamoff offset = before ? static_cast<std::streamoff>(before.tellg()) : 0;
    dlg.OnReadCard();
    std::ifstream in(trace);
    in.seekg(offset);
    apdus = 0;
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string time, what, arguments, took;
      std::getline(fields, time, '\t');
      std::getline(fields, what, '\t');
      std::getline(fields, arguments, '\t');
      std::getline(fields, took, '\t');
      if (what != "apdu") continue;
      ++apdus;
      apduMs.push_back(std::stod(took));
    }
  }
  unsetenv("DCRF32_PCSC_TRACE");
  dlg.OnOpenReader();
  for (int i = 0; i < runs; ++i) {
    const auto findStart = Clock::now();
    dlg.OnFindCard();
    findMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - findStart).count());
    dlg.OnLoadKeyA();
    const auto start = Clock::now();
    dlg.OnReadCard();
    readoutMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (ui.ListCount(IDC_READ_LIST) != 80) {
      std::fprintf(stderr, "read-out gave %d lines instead of 80\n", ui.ListCount(IDC_READ_LIST));
      return 1;
    }
  }
  std::remove(trace.c_str());
  stack::RemoveCard();

  const double readout = Median(readoutMs);
  std::printf("read-out: %d APDUs, median %.1f ms over %d runs (best %.1f, worst %.1f); "
              "floor 800 ms, ratio %.4f\n",
              apdus, readout, runs, *std::min_element(readoutMs.begin(), readoutMs.end()),
              *std::max_element(readoutMs.begin(), readoutMs.end()), readout / 800.0);
  std::printf("one APDU through pcscd and vpcd: median %.3f ms, worst %.3f ms\n", Median(apduMs),
              *std::max_element(apduMs.begin(), apduMs.end()));
  std::printf("find card (M1, ends at the ATS step): median %.1f ms\n", Median(findMs));
  return 0;
}
