#pragma once
// The confirmation before a dump is written, on Win32: the sectors that
// will be locked for good are painted red, as the main window paints its
// status line.

#include "dialog/win32/windows_h.h"

#include "cardtest/confirm_write_dlg.h"
#include "dialog/win32/win32_backend.h"

class CConfirmWriteWindow : public CConfirmWriteDlg, public dlg::WindowMessageHandler {
 public:
  bool OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t* result) override {
    if (!dlg::IsCtlColorMessage(message)) return false;
    HWND self = dlg::DialogWindow(*this);
    auto dc = reinterpret_cast<HDC>(wParam);
    auto control = reinterpret_cast<HWND>(lParam);
    *result = static_cast<intptr_t>(DefWindowProcW(self, message, wParam, lParam));
    if (GetDlgCtrlID(control) == IDC_CONFIRM_LOCKED) SetTextColor(dc, RGB(255, 0, 0));
    return true;
  }
};
