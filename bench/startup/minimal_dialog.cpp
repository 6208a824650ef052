// The smallest dialog program the same toolchain makes: the baseline that
// QUILLON.exe's start-up time and memory are compared with. Built twice: with
// a two-control template of its own, and with QUILLON's own resources
// (TEMPLATE_ID 102), which separates the cost of the window's layout from
// the cost of the program's code.
#include <windows.h>

#ifndef TEMPLATE_ID
#define TEMPLATE_ID 1
#endif

static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK)) {
    EndDialog(hwnd, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  DialogBoxParamW(instance, MAKEINTRESOURCEW(TEMPLATE_ID), nullptr, Proc, 0);
  return 0;
}
