#include "dialog/win32/win32_backend.h"

#include <vector>

namespace dlg {

namespace {

HCURSOR WaitCursor() { return LoadCursorW(nullptr, IDC_WAIT); }

}  // namespace

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
  return out;
}

std::string Narrow(const wchar_t* utf16, int units) {
  if (units <= 0) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, utf16, units, nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16, units, &out[0], n, nullptr, nullptr);
  return out;
}

HWND Win32Backend::Item(int id) const {
  auto known = items_.find(id);
  if (known != items_.end()) return known->second;
  HWND item = GetDlgItem(hDlg_, id);
  if (item) items_[id] = item;
  return item;
}

std::string Win32Backend::ControlText(int id) const {
  HWND item = Item(id);
  if (!item) return std::string();
  // The length is an upper bound (it may count a DBCS text twice), so the
  // copy's own count is what gets used.
  std::vector<wchar_t> buffer(GetWindowTextLengthW(item) + 1);
  int n = GetWindowTextW(item, buffer.data(), static_cast<int>(buffer.size()));
  return Narrow(buffer.data(), n);
}

void Win32Backend::PutText(int id, const std::string& text) {
  SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void Win32Backend::PutFocus(int id) {
  // WM_NEXTDLGCTL rather than SetFocus: the dialog manager then moves the
  // default-button highlight and selects an edit's whole text, as a user
  // tabbing there would see it.
  if (HWND item = Item(id)) SendMessageW(hDlg_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

void Win32Backend::CommandBegun() {
  cancelAsked_ = false;
  lastPumped_ = lastTextsShown_ = lastShown_ = GetTickCount64();
  HCURSOR before = SetCursor(WaitCursor());
  // A thread that never had a cursor set has none to go back to.
  cursorBefore_ = before ? before : LoadCursorW(nullptr, IDC_ARROW);
}

void Win32Backend::ModalClosed() { SetCursor(WaitCursor()); }

void Win32Backend::Quiet(int id) {
  if (!InCommand()) return;
  HWND list = Item(id);
  if (!list) return;
  for (HWND q : quiet_)
    if (q == list) return;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  quiet_.push_back(list);
}

void Win32Backend::Settled() {
  for (HWND list : quiet_) {
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    // Turning redrawing back on repaints nothing by itself; the frame holds
    // the scroll bar.
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  quiet_.clear();
}

int Win32Backend::ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  return ::MessageBoxW(hDlg_, Widen(text).c_str(), Widen(caption).c_str(), type);
}

void Win32Backend::EndDialog(int result) { ::EndDialog(hDlg_, result); }

void Win32Backend::ClearList(int id) {
  Quiet(id);
  Send(id, LB_RESETCONTENT);
}

int Win32Backend::ListAdd(int id, const std::string& line) {
  Quiet(id);
  LRESULT index = Send(id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(line).c_str()));
  return index < 0 ? -1 : static_cast<int>(index);
}

int Win32Backend::ListCount(int id) const {
  LRESULT n = Send(id, LB_GETCOUNT);
  return n < 0 ? 0 : static_cast<int>(n);
}

std::string Win32Backend::ListGetText(int id, int index) const {
  LRESULT len = Send(id, LB_GETTEXTLEN, static_cast<WPARAM>(index));
  if (len == LB_ERR) return std::string();
  std::vector<wchar_t> buffer(len + 1);
  LRESULT n = Send(id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return n == LB_ERR ? std::string() : Narrow(buffer.data(), static_cast<int>(n));
}

}  // namespace dlg
