#include "pcsc/platform.h"

#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pcsc {

#ifdef _WIN32
namespace {

std::optional<std::wstring> WideFromEnvironment(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  std::vector<wchar_t> buffer(256);
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length);
  }
}

}  // namespace

std::optional<std::string> TextFromEnvironment(const char* name) {
  const auto value = WideFromEnvironment(name);
  if (!value) return std::nullopt;
  return std::filesystem::path(*value).u8string();
}

std::optional<std::filesystem::path> PathFromEnvironment(const char* name) {
  const auto value = WideFromEnvironment(name);
  if (!value) return std::nullopt;
  return std::filesystem::path(*value);
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
}
#else
std::optional<std::string> TextFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::optional<std::filesystem::path> PathFromEnvironment(const char* name) {
  const auto value = TextFromEnvironment(name);
  if (!value) return std::nullopt;
  return std::filesystem::path(*value);
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}
#endif

void ReportProblem(const std::string& line) {
  std::fprintf(stderr, "dcrf32 (PC/SC): %s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace pcsc
