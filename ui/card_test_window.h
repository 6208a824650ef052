#pragma once
// The main dialog's window side: icon, system menu with the About entry,
// the minimised window's painting and the red status and card-type texts.
// The card commands and their routing are CCardTestDlg's.

#include "dialog/win32/windows_h.h"

#include "cardtest/card_test_dlg.h"
#include "dialog/win32/win32_backend.h"

class CCardTestWindow : public CCardTestDlg, public dlg::WindowMessageHandler {
 public:
  CCardTestWindow();

  bool OnInitDialog() override;
  bool OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t* result) override;

  // Shared by the system: loaded once, never destroyed.
  HICON m_hIcon;

 protected:
  HWND Hwnd() const { return dlg::DialogWindow(*this); }

  bool OnSysCommand(UINT id);
  bool OnPaint();
  HCURSOR OnQueryDragIcon() const { return m_hIcon; }
  HBRUSH OnCtlColor(UINT message, HDC dc, HWND control);
  std::unique_ptr<CConfirmWriteDlg> NewConfirmWriteDialog() override;
  std::unique_ptr<CCompareResultDlg> NewCompareResultDialog() override;
};

// Where the minimised window draws its icon: centred, with the halves
// truncated toward zero as C++ divides, also when the client area is
// smaller than the icon.
POINT CenteredIconOrigin(const RECT& client, int iconWidth, int iconHeight);
