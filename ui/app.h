#pragma once
// The application object: loads the reader library, runs the main dialog
// modally, and ends the program when it closes.

#include <string>

class CCardTestWindow;

class CCardTestApp {
 public:
  // Exit codes of the process.
  enum : int { kExitOk = 0, kExitReaderLibraryMissing = 1 };

  // Start-up in order; false, as there is no message loop after the dialog.
  bool InitInstance();
  int ExitCode() const { return m_nExitCode; }

  // The running main dialog, null before and after it.
  CCardTestWindow* m_pMainWnd = nullptr;

 private:
  int m_nExitCode = kExitOk;
};

// The program file's name without folder and extension: the caption of the
// program's message boxes.
std::string ProgramName();
