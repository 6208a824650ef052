#pragma once
// The compare's result on Win32: a list box scrolls sideways only as far
// as it is told (LB_SETHORIZONTALEXTENT), so the widest line, a trailer's
// access rights in words, is measured in the list's own font.

#include "dialog/win32/windows_h.h"

#include <algorithm>

#include "cardtest/compare_result_dlg.h"
#include "dialog/win32/win32_backend.h"

class CCompareResultWindow : public CCompareResultDlg {
 public:
  bool OnInitDialog() override {
    CCompareResultDlg::OnInitDialog();
    HWND list = GetDlgItem(dlg::DialogWindow(*this), IDC_COMPARE_LIST);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::string& line : m_lines) {
      const std::wstring text = dlg::Widen(line);
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      widest = std::max(widest, size.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
    return true;
  }
};
