#include "sim/trace.h"

#include "sim/platform.h"

namespace sim {

Trace::~Trace() {
  if (file_ != nullptr) std::fclose(file_);
}

void Trace::SetPath(const std::optional<std::filesystem::path>& path) {
  if (path == path_ && (file_ != nullptr || !path)) return;
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  path_ = path;
  if (!path) return;
  // Binary mode: the same "\n" line ends on every system.
  file_ = OpenFile(*path, "ab");
  if (file_ == nullptr)
    ReportProblem("call log " + DisplayPath(*path) + " cannot be opened; calls are not logged");
}

std::string Trace::FormatMilliseconds(Clock::duration elapsed) {
  const long long micros =
      std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", micros / 1000, micros % 1000);
  return text;
}

void Trace::Write(Clock::time_point start, const char* function, const std::string& arguments,
                  long result, const std::string& reason) {
  if (file_ == nullptr) return;
  std::fprintf(file_, "%s\t%s\t%s\t%ld", FormatMilliseconds(start - origin_).c_str(),
               function, arguments.c_str(), result);
  if (!reason.empty()) {
    // A path in the reason may hold anything; the line must stay one line
    // of tab-separated fields.
    std::string shown = reason;
    for (char& c : shown)
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    std::fprintf(file_, "\t%s", shown.c_str());
  }
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace sim
