#include "dialog/win32/windows_h.h"

#include "ui/app.h"

namespace {
CCardTestApp theApp;
}

// The command line is accepted and ignored.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  theApp.InitInstance();
  return theApp.ExitCode();
}
