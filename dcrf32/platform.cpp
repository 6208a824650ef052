#include "dcrf32/platform.h"

#include <cstdlib>

#ifdef _WIN32
#include <io.h>

#include <vector>

// The one kernel32 function needed, declared here rather than pulling in
// <windows.h>. The C runtime's getenv and _wgetenv read the runtime's own
// copy of the environment, taken at start: a program (or test) that sets a
// variable with SetEnvironmentVariableW before dc_init would not be seen.
extern "C" __declspec(dllimport) unsigned long __stdcall GetEnvironmentVariableW(
    const wchar_t* name, wchar_t* buffer, unsigned long size);
#else
#include <unistd.h>
#endif

namespace dcrf32 {

#ifdef _WIN32
namespace {

std::optional<std::wstring> WideFromEnvironment(const char* name) {
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  std::vector<wchar_t> buffer(256);
  for (;;) {
    const unsigned long length =
        GetEnvironmentVariableW(wideName.c_str(), buffer.data(),
                                static_cast<unsigned long>(buffer.size()));
    if (length == 0) return std::nullopt;  // unset or empty
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length);  // too small: length is the size needed
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
#endif

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool SyncFile(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return fsync(fileno(file)) == 0;
#endif
}

std::string DisplayPath(const std::filesystem::path& path) {
  return path.u8string();
}

void ReportProblem(const char* library, const std::string& line) {
  std::fprintf(stderr, "dcrf32 (%s): %s\n", library, line.c_str());
  std::fflush(stderr);
}

}  // namespace dcrf32
