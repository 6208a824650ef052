#pragma once
// The call log both reader libraries keep: a file of tab-separated lines,
// each starting with the milliseconds since the library was loaded, each
// written and flushed at once so that a crash of the program still leaves
// every line before it. Appended to, so that runs can be compared.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace dcrf32 {

class TraceFile {
 public:
  using Clock = std::chrono::steady_clock;

  // `library` names the library in a report that the file cannot be opened.
  TraceFile(const char* library, Clock::time_point origin) : library_(library), origin_(origin) {}
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // Switches to another log (or none).
  void SetPath(const std::optional<std::filesystem::path>& path);
  bool enabled() const { return file_ != nullptr; }

  // <ms since load>\t<what>\t<arguments>\t<result>
  void Line(Clock::time_point start, const char* what, const std::string& arguments,
            const std::string& result);
  // One library call's line; a call that failed for a reason the caller
  // cannot see (dc_init refusing a setting or a dump) adds it after one
  // more tab.
  void Call(Clock::time_point start, const char* function, const std::string& arguments, long result,
            const std::string& reason = {});

  // Milliseconds with three decimals, e.g. "12.034".
  static std::string FormatMilliseconds(Clock::duration elapsed);
  // A text that may hold anything (a path, a reader's name) kept on one
  // line and in its column.
  static std::string OneField(std::string text);

 private:
  const char* library_;
  Clock::time_point origin_;
  std::optional<std::filesystem::path> path_;
  std::FILE* file_ = nullptr;
};

}  // namespace dcrf32
