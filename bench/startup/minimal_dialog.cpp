// The smallest dialog program the same toolchain makes: the baseline that
// QUILLON.exe's start-up time and memory are compared with.
#include <windows.h>

static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK)) {
    EndDialog(hwnd, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(1), nullptr, Proc, 0);
  return 0;
}
