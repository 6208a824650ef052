#include "reader/session.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

#ifdef _WIN32

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

double CounterMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
}

// A high-resolution waitable timer (Windows 10 1803 on) wakes within a
// fraction of a millisecond; older systems refuse the flag and get null.
HANDLE HighResolutionTimer() {
  static HANDLE timer =
      CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  return timer;
}

// winmm is looked up only on systems without that timer: importing it
// would load it, and the audio stack behind it, at every start.
using TimePeriodFn = UINT(WINAPI*)(UINT);
struct TimePeriod {
  TimePeriodFn begin = nullptr, end = nullptr;
  TimePeriod() {
    if (HMODULE winmm = LoadLibraryW(L"winmm.dll")) {
      begin = reinterpret_cast<TimePeriodFn>(reinterpret_cast<void*>(GetProcAddress(winmm, "timeBeginPeriod")));
      end = reinterpret_cast<TimePeriodFn>(reinterpret_cast<void*>(GetProcAddress(winmm, "timeEndPeriod")));
    }
  }
};

}  // namespace

static void SleepTenMilliseconds() {
  const double end = CounterMs() + 10.0;
  if (HANDLE timer = HighResolutionTimer()) {
    LARGE_INTEGER due;
    // 9 ms, relative, in 100 ns units: the timer wakes up to a millisecond
    // late (0.7 ms under Wine), and the loop below spins the rest of the
    // exact 10 ms, a fraction of a millisecond of a thread that waits anyway.
    due.QuadPart = -90000;
    if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) WaitForSingleObject(timer, INFINITE);
  } else {
    // A plain Sleep(10) lasts a whole 15.6 ms tick on the default timer.
    static const TimePeriod period;
    if (period.begin) period.begin(1);
    Sleep(10);
    if (period.end) period.end(1);
  }
  // Never shorter than asked: a card may need the whole pause.
  while (CounterMs() < end) YieldProcessor();
}

#else

static void SleepTenMilliseconds() {
  // The scheduler wakes a sleeper 50-100 us late: sleep most of the pause,
  // then yield until the exact 10 ms.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
  std::this_thread::sleep_until(end - std::chrono::microseconds(300));
  while (std::chrono::steady_clock::now() < end) std::this_thread::yield();
}

#endif

void ReaderPause() { SleepTenMilliseconds(); }
