#include "temp_folder.h"

#include <windows.h>

#include <fstream>
#include <iterator>

TempFolder::TempFolder(const std::wstring& tag) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  dir_ = std::wstring(tmp) + L"quillon-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir_.c_str(), nullptr);
  Empty();
}

TempFolder::~TempFolder() {
  Empty();
  RemoveDirectoryW(dir_.c_str());
}

void TempFolder::Empty() const {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir_ + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW(Path(found.cFileName).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::string Slurp(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
