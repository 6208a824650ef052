#pragma once
// One session with the reader library: the table of its functions, the
// handle the last open returned, and the pause after each call. The card
// test dialog owns one; a test makes its own from a fake's table.

#include <cstdint>
#include <type_traits>

#include "reader/dcrf32_api.h"

// Sleeps 10 ms, as accurately as the platform allows.
void ReaderPause();

class ReaderSession {
 public:
  using PauseFn = void (*)();
  // The arguments take the slot's own types, converted as in a direct call.
  template <typename T>
  struct Exactly {
    using type = T;
  };

  // Until a library is installed every function fails (dc_init returns -1)
  // instead of crashing; the handle is 0 until the first open attempt.
  ReaderSession();
  // `api` must outlive the session; a null pause is the real 10 ms one.
  explicit ReaderSession(const ReaderApi& api, PauseFn pause = nullptr, int32_t handle = 0)
      : api_(&api), pause_(pause ? pause : ReaderPause), handle_(handle) {}

  // The result of the last open attempt, success or not.
  int32_t handle() const { return handle_; }
  const ReaderApi& api() const { return *api_; }

  // dc_init; the handle is kept whatever it is, and no pause follows.
  int32_t Open(int16_t port, int32_t baud) { return handle_ = api_->dc_init(port, baud); }

  // Every other function, called with the session's handle and followed by
  // the pause: a card needs the time between two commands. Sounding the
  // beeper is the one call that needs none.
  template <typename R, typename... P>
  R Call(R(DCRF32_CALL* ReaderApi::*slot)(int32_t, P...), typename Exactly<P>::type... args) const {
    const R result = (api_->*slot)(handle_, args...);
    if (!IsBeep(slot)) pause_();
    return result;
  }

 private:
  template <typename Slot>
  static bool IsBeep(Slot slot) {
    if constexpr (std::is_same_v<Slot, decltype(&ReaderApi::dc_beep)>) return slot == &ReaderApi::dc_beep;
    return false;
  }

  const ReaderApi* api_;
  PauseFn pause_;
  int32_t handle_;
};
