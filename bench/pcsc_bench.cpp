// The read-out through the whole virtual PC/SC stack (the PC/SC library,
// pcscd, vpcd, the responder) with the real 10 ms pause, against its pause
// floor: 80 paused calls, 0.80 s. Once per reader family, as each takes its
// keys; also how many APDUs a read-out sends (the first, which finds the
// family's LOAD KEYS form, and the later ones) and what one APDU costs,
// from the library's own trace. Not a test; run it inside
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

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Count {
  int apdus = 0;
  int refusedLoads = 0;  // LOAD KEYS not answered 90 00: forms tried in vain
  int loads = 0;
};

// The APDU lines the trace got from `offset` on, their times added to `ms`.
Count CountApdus(const std::string& trace, std::streamoff offset, std::vector<double>* ms) {
  std::ifstream in(trace);
  in.seekg(offset);
  Count count;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string time, what, arguments, took;
    std::getline(fields, time, '\t');
    std::getline(fields, what, '\t');
    std::getline(fields, arguments, '\t');
    std::getline(fields, took, '\t');
    if (what != "apdu") continue;
    ++count.apdus;
    if (arguments.rfind("FF82", 0) == 0) {
      ++count.loads;
      if (arguments.find(",9000") == std::string::npos) ++count.refusedLoads;
    }
    ms->push_back(std::stod(took));
  }
  return count;
}

std::streamoff TraceSize(const std::string& trace) {
  std::ifstream file(trace, std::ios::ate);
  return file ? static_cast<std::streamoff>(file.tellg()) : 0;
}

// One family: the first read-out and the later ones counted with the
// trace, then timed without it, as a user runs the library.
bool RunFamily(const ReaderApi& api, const char* family, int runs, const std::string& trace) {
  std::string problem;
  if (!stack::InsertCard({"--card", "m1", "--keys", family}, &problem)) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return false;
  }
  setenv("DCRF32_PCSC_TRACE", trace.c_str(), 1);
  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
  dlg.Session() = ReaderSession(api);
  dlg.AttachBackend(&ui);
  dlg.OnInitDialog();
  dlg.OnOpenReader();

  std::vector<double> findMs, readoutMs, apduMs;
  Count first, later;
  for (int i = 0; i < runs; ++i) {
    dlg.OnFindCard();
    dlg.OnLoadKeyA();
    // The library keeps the log open: only what the read-out appends counts.
    const std::streamoff offset = TraceSize(trace);
    dlg.OnReadCard();
    (i == 0 ? first : later) = CountApdus(trace, offset, &apduMs);
  }
  unsetenv("DCRF32_PCSC_TRACE");
  dlg.OnOpenReader();
  for (int i = 0; i < runs; ++i) {
    const auto findStart = Clock::now();
    dlg.OnFindCard();
    findMs.push_back(MsSince(findStart));
    dlg.OnLoadKeyA();
    const auto start = Clock::now();
    dlg.OnReadCard();
    readoutMs.push_back(MsSince(start));
    if (ui.ListCount(IDC_READ_LIST) != 80) {
      std::fprintf(stderr, "%s: read-out gave %d lines instead of 80\n", family,
                   ui.ListCount(IDC_READ_LIST));
      return false;
    }
  }
  stack::RemoveCard();

  const double readout = Median(readoutMs);
  std::printf("%-8s read-out: first %d APDUs (%d LOAD KEYS, %d refused), later %d (%d LOAD KEYS); "
              "median %.1f ms over %d runs (best %.1f, worst %.1f); floor 800 ms, ratio %.4f\n",
              family, first.apdus, first.loads, first.refusedLoads, later.apdus, later.loads, readout,
              runs, *std::min_element(readoutMs.begin(), readoutMs.end()),
              *std::max_element(readoutMs.begin(), readoutMs.end()), readout / 800.0);
  std::printf("%-8s one APDU through pcscd and vpcd: median %.3f ms, worst %.3f ms; "
              "find card (M1, ends at the ATS step): median %.1f ms\n",
              family, Median(apduMs), *std::max_element(apduMs.begin(), apduMs.end()),
              Median(findMs));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
  const std::string trace = "/tmp/quillon-pcsc-bench-" + std::to_string(getpid()) + ".log";
  setenv("DCRF32_PCSC_READER", stack::kReader, 1);
  unsetenv("DCRF32_PCSC_KEYFORM");
  ReaderLoadResult loaded = LoadReaderLibrary(PCSC_LIBRARY_PATH);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n", loaded.Message().c_str());
    return 1;
  }
  // The same reader name throughout, as a reader swapped on one port: each
  // family after the first is tried first with the form the one before
  // took. In this order that costs the refusals a fresh library's trying
  // would: acs 0, session 1, scm 2, omnikey 3.
  bool ok = true;
  for (const char* family : {"acs", "session", "scm", "omnikey"})
    ok = ok && RunFamily(*loaded.api, family, runs, trace);
  std::remove(trace.c_str());
  return ok ? 0 : 1;
}
