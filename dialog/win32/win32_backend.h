#pragma once
// The Win32 back end: the framework's controls are the real controls of one
// dialog window, addressed by identifier. Only wide functions are used, so
// the UTF-8 texts of the framework read the same on any ANSI code page.

#include "dialog/win32/windows_h.h"

#include <string>

#include "dialog/backend.h"
#include "dialog/dialog.h"

namespace dlg {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, int units);
inline std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), static_cast<int>(utf16.size())); }

class Win32Backend : public Backend {
 public:
  explicit Win32Backend(HWND dialog = nullptr) : hDlg_(dialog) {}
  void SetWindow(HWND dialog) { hDlg_ = dialog; }
  HWND Window() const { return hDlg_; }

  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  void SetTextLimit(int id, int chars) override;
  void SetFocus(int id) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void EndDialog(int result) override;

  void ListReset(int id) override;
  int ListAdd(int id, const std::string& line) override;
  int ListCount(int id) const override;
  void ListSetSel(int id, int index) override;
  int ListGetSel(int id) const override;
  std::string ListGetText(int id, int index) const override;
  void ListSetData(int id, int index, intptr_t data) override;
  intptr_t ListGetData(int id, int index) const override;

 private:
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendDlgItemMessageW(hDlg_, id, message, wParam, lParam);
  }
  HWND hDlg_;
};

// A control asking its parent for its colours (WM_CTLCOLORMSGBOX through
// WM_CTLCOLORSTATIC, one contiguous range).
inline bool IsCtlColorMessage(UINT message) {
  return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// The window of a dialog while DoModal runs it, null otherwise.
inline HWND DialogWindow(const CDialog& dialog) { return static_cast<HWND>(dialog.m_hWnd); }

// The module DoModal loads dialog templates from; the executable by default.
void SetResourceModule(HINSTANCE module);
HINSTANCE ResourceModule();

// Places a dialog window centred on its owner, or on the work area of its
// monitor when it has no visible owner; never partly off that work area.
void CenterDialog(HWND dialog);

}  // namespace dlg
