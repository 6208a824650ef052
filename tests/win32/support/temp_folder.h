#pragma once
// A folder of a test's own under %TEMP%, emptied when made (Wine reuses
// process ids, so a run that stopped halfway may have left files in it) and
// removed with everything in it when the test is done.
#include <string>

class TempFolder {
 public:
  // %TEMP%\quillon-<tag>-<process id>
  explicit TempFolder(const std::wstring& tag);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Dir() const { return dir_; }
  std::wstring Path(const std::wstring& name) const { return dir_ + L"\\" + name; }

 private:
  void Empty() const;
  std::wstring dir_;
};

// A file's bytes, empty when it cannot be read.
std::string Slurp(const std::wstring& path);
