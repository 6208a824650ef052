// Start-up cost of QUILLON.exe against minimal dialog programs, all started
// the same way in one run: time from CreateProcess to a shown and painted
// window, and the process's peak memory once it is up. The baselines: a
// two-control dialog, and a do-nothing dialog procedure on QUILLON's own
// template and resources.
//
//   startup_bench [rounds]     (both programs beside this one)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "processes.h"

namespace {

struct Sample {
  double ms = 0;
  double peakKiB = 0;
  bool ok = false;
};

Sample StartOnce(const std::wstring& exe) {
  Sample s;
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  double t0 = NowMs();
  if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return s;
  HWND window = nullptr;
  // Up means: the window is visible and has nothing left to paint.
  while (NowMs() - t0 < 20000) {
    if (!window) window = FindProcessDialog(pi.dwProcessId, nullptr);
    if (window && !GetUpdateRect(window, nullptr, FALSE)) {
      SendMessageW(window, WM_NULL, 0, 0);
      if (!GetUpdateRect(window, nullptr, FALSE)) break;
    }
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  s.ms = NowMs() - t0;
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  if (window && GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) {
    s.peakKiB = static_cast<double>(pmc.PeakWorkingSetSize) / 1024.0;
    s.ok = true;
  }
  if (window) PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int rounds = argc > 1 ? _wtoi(argv[1]) : 9;
  const int n = 3;
  const std::wstring programs[n] = {BesideMe(L"QUILLON.exe"), BesideMe(L"minimal_dialog.exe"),
                                    BesideMe(L"template_dialog.exe")};
  const char* names[n] = {"QUILLON", "minimal dialog", "same template"};
  std::vector<double> ms[n], kib[n];
  for (int p = 0; p < n; ++p) StartOnce(programs[p]);  // warm the file cache and the Wine server
  for (int r = 0; r < rounds; ++r) {
    for (int p = 0; p < n; ++p) {  // interleaved, so drift hits all alike
      Sample s = StartOnce(programs[p]);
      if (!s.ok) {
        std::fwprintf(stderr, L"no window from %ls\n", programs[p].c_str());
        return 1;
      }
      ms[p].push_back(s.ms);
      kib[p].push_back(s.peakKiB);
    }
  }
  const double t0 = Median(ms[0]), m0 = Median(kib[0]);
  std::printf("median of %d starts: QUILLON %.1f ms to a painted window, peak working set %.0f KiB\n", rounds, t0, m0);
  for (int p = 1; p < n; ++p) {
    const double t = Median(ms[p]), m = Median(kib[p]);
    std::printf("against %s: %.1f ms, %.0f KiB; ratios: time %.2f, memory %.2f\n", names[p], t, m, t0 / t, m0 / m);
  }
  return 0;
}
