#include "dcrf32/trace_file.h"

#include "dcrf32/platform.h"

namespace dcrf32 {

TraceFile::~TraceFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void TraceFile::SetPath(const std::optional<std::filesystem::path>& path) {
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
    ReportProblem(library_, "call log " + DisplayPath(*path) + " cannot be opened; calls are not logged");
}

void TraceFile::Call(Clock::time_point start, const char* function, const std::string& arguments,
                     long result, const std::string& reason) {
  std::string shown = std::to_string(result);
  if (!reason.empty()) shown += "\t" + OneField(reason);
  Line(start, function, arguments, shown);
}

void TraceFile::Line(Clock::time_point start, const char* what, const std::string& arguments,
                     const std::string& result) {
  if (file_ == nullptr) return;
  std::fprintf(file_, "%s\t%s\t%s\t%s\n", FormatMilliseconds(start - origin_).c_str(), what,
               arguments.c_str(), result.c_str());
  std::fflush(file_);
}

std::string TraceFile::FormatMilliseconds(Clock::duration elapsed) {
  const long long micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", micros / 1000, micros % 1000);
  return text;
}

std::string TraceFile::OneField(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace dcrf32
