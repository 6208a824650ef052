// How long the reader pause really lasts: shortest, mean and longest over
// many pauses. Its floor (never under 10 ms) is a test; how close it stays
// to 10 ms depends on the machine's load, so it is measured here instead.
//   build/native/bin/pause_bench [pauses]
//   tools/with-wine tools/wine-run build/win64/bin/pause_bench.exe [pauses]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "reader/session.h"

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  using Clock = std::chrono::steady_clock;
  std::vector<double> ms;
  ms.reserve(n);
  for (int i = 0; i < n; ++i) {
    auto t0 = Clock::now();
    ReaderPause();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  double total = 0;
  for (double x : ms) total += x;
  std::printf("reader pause over %d pauses: shortest %.3f ms, median %.3f ms, mean %.3f ms, longest %.3f ms\n", n,
              ms.front(), ms[n / 2], total / n, ms.back());
  return 0;
}
