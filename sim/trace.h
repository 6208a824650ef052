#pragma once
// The call log: one line per library call, written and flushed as the call
// returns, so a crash of the program still leaves every call before it.
//   <ms since load>\t<function>\t<arguments, comma-separated>\t<result>
// A call that failed for a reason the caller cannot see (dc_init refusing a
// setting or a dump) adds it after one more tab.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace sim {

class Trace {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Trace(Clock::time_point origin) : origin_(origin) {}
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  // Switches to another log (or none); appends to an existing file so that
  // several runs of the program can be compared in one log.
  void SetPath(const std::optional<std::filesystem::path>& path);
  bool enabled() const { return file_ != nullptr; }

  void Write(Clock::time_point start, const char* function, const std::string& arguments,
             long result, const std::string& reason = {});

  // Milliseconds since the origin with three decimals, e.g. "12.034".
  static std::string FormatMilliseconds(Clock::duration elapsed);

 private:
  Clock::time_point origin_;
  std::optional<std::filesystem::path> path_;
  std::FILE* file_ = nullptr;
};

}  // namespace sim
