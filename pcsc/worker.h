#pragma once
// A PC/SC call on a thread of its own, so that the library can stop
// waiting for it. PC/SC takes no timeout for a card command: a reader whose
// firmware hangs holds SCardTransmit (and with it the caller's window) for
// as long as it likes.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "pcsc/scard.h"
#include "pcsc/trace.h"

namespace pcsc {

class Call {
 public:
  // Starts `body` on a new thread. `body` must own everything it touches
  // (handles by value, buffers by shared_ptr, never the caller's memory):
  // once abandoned, it returns whenever PC/SC lets it, or never.
  static std::shared_ptr<Call> Start(std::function<LONG()> body);
  ~Call();

  // Waits until the call returned or `deadline` passed; true when it
  // returned in time, and then result() is what it returned.
  bool WaitUntil(Trace::Clock::time_point deadline);
  LONG result() const { return result_; }
  // Leaves the thread to finish on its own.
  void Abandon();
  bool Returned();

 private:
  std::function<LONG()> body_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable returned_;
  bool done_ = false;
  LONG result_ = 0;
};

// Keeps this library loaded for the rest of the process: an abandoned
// call's thread returns into its code, even after the program unloaded it.
void PinLibrary();

}  // namespace pcsc
