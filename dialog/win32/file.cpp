// The file functions over the wide Win32 calls: a path with Chinese in it
// must open whatever the system's ANSI code page is.
#include "dialog/win32/windows_h.h"

#include <atomic>

#include "dialog/file.h"

namespace dlg {

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ')) w.pop_back();
  if (w.empty()) return "error " + std::to_string(code);
  const int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(m, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &out[0], m, nullptr, nullptr);
  return out;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    *error = SystemText(GetLastError());
    return false;
  }
  std::string data;
  char buffer[65536];
  DWORD n = 0;
  BOOL ok;
  while ((ok = ReadFile(f, buffer, sizeof buffer, &n, nullptr)) && n > 0) data.append(buffer, n);
  const DWORD code = GetLastError();
  CloseHandle(f);
  if (!ok) {
    *error = SystemText(code);
    return false;
  }
  bytes->swap(data);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  // The temporary name must be no user's file: CREATE_NEW passes over an
  // existing file of that name instead of truncating it.
  static std::atomic<unsigned> counter{0};
  const std::wstring target = Wide(path);
  std::wstring temporary;
  HANDLE f = INVALID_HANDLE_VALUE;
  DWORD code = ERROR_FILE_EXISTS;
  for (int attempt = 0; f == INVALID_HANDLE_VALUE && code == ERROR_FILE_EXISTS && attempt < 100; ++attempt) {
    temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L".tmp";
    f = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) code = GetLastError();
  }
  if (f == INVALID_HANDLE_VALUE) {
    *error = SystemText(code);
    return false;
  }
  DWORD written = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size() && FlushFileBuffers(f);
  code = ok ? 0 : GetLastError();
  if (!CloseHandle(f) && ok) {
    ok = FALSE;
    code = GetLastError();
  }
  if (ok && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = FALSE;
    code = GetLastError();
  }
  if (!ok) {
    DeleteFileW(temporary.c_str());
    *error = SystemText(code ? code : ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

}  // namespace dlg
