// What a command asks of the window system beyond its controls: the
// pop-up menu, the standard file dialogs, the clipboard, and keeping the
// window alive during a long command.
#include "dialog/win32/win32_backend.h"

#include <commdlg.h>

#include <vector>

namespace dlg {

namespace {

// Input the user aims at the window while a command holds it: kept from
// the controls, so that no second command starts inside the first.
bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

int Win32Backend::ShowPopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return 0;
  for (const MenuItem& item : items) {
    if (item.id == 0)
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuW(menu, MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(item.id),
                  Widen(item.text).c_str());
  }
  POINT at{x, y};
  if (x == -1 && y == -1) {
    // From the keyboard: beside the selected line, or the control's corner.
    HWND control = Item(id);
    RECT rc{};
    const LRESULT selected = SendMessageW(control, LB_GETCURSEL, 0, 0);
    if (selected < 0 || SendMessageW(control, LB_GETITEMRECT, static_cast<WPARAM>(selected),
                                     reinterpret_cast<LPARAM>(&rc)) == LB_ERR)
      rc = RECT{0, 0, 0, 0};
    at = POINT{rc.left + 8, rc.bottom};
    ClientToScreen(control, &at);
  }
  // TPM_RETURNCMD: the choice comes back here instead of as a WM_COMMAND
  // posted after the menu, so the command it starts runs in order.
  const int chosen = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, hDlg_, nullptr));
  DestroyMenu(menu);
  return chosen;
}

bool Win32Backend::ShowFileDialog(FileRequest& request) {
  std::wstring filter;
  for (const FileFilter& f : request.filters) {
    filter += Widen(f.label);
    filter.push_back(L'\0');
    filter += Widen(f.patterns);
    filter.push_back(L'\0');
  }
  filter.push_back(L'\0');
  std::vector<wchar_t> path(32768, L'\0');
  const std::wstring proposed = Widen(request.path);
  proposed.copy(path.data(), path.size() - 1);
  const std::wstring title = Widen(request.title);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hDlg_;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(request.filter + 1);
  ofn.lpstrFile = path.data();
  ofn.nMaxFile = static_cast<DWORD>(path.size());
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY |
              (request.save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
  const BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) return false;
  request.path = Narrow(path.data(), static_cast<int>(wcslen(path.data())));
  request.filter = ofn.nFilterIndex > 0 ? static_cast<int>(ofn.nFilterIndex) - 1 : 0;
  return true;
}

bool Win32Backend::SetClipboardText(const std::string& text) {
  // The clipboard's text ends its lines in CR LF.
  std::wstring wide;
  for (wchar_t c : Widen(text)) {
    if (c == L'\n') wide.push_back(L'\r');
    wide.push_back(c);
  }
  if (!OpenClipboard(hDlg_)) return false;
  bool ok = EmptyClipboard() != FALSE;
  HGLOBAL memory = ok ? GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t)) : nullptr;
  if (memory) {
    auto* target = static_cast<wchar_t*>(GlobalLock(memory));
    wide.copy(target, wide.size());
    target[wide.size()] = L'\0';
    GlobalUnlock(memory);
    // On success the clipboard owns the memory.
    ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!ok) GlobalFree(memory);
  } else {
    ok = false;
  }
  CloseClipboard();
  return ok;
}

bool Win32Backend::KeepResponsive() {
  // Under Wine every look at the message queue and every repaint costs a
  // round trip to the Wine server and the X server, as much as a tenth of
  // the reader's pause, so each is done only as often as a user notices:
  // a key press (Esc) at once, painting and moving every 50 ms, the status
  // texts every 250 ms and the lists' new lines every second.
  const ULONGLONG now = GetTickCount64();
  const bool keyWaiting = HIWORD(GetQueueStatus(QS_KEY)) != 0;
  if (!keyWaiting && now - lastPumped_ < 50) return cancelAsked_;
  lastPumped_ = now;
  if (now - lastShown_ >= 1000) {
    Settle();
    lastShown_ = lastTextsShown_ = now;
  } else if (now - lastTextsShown_ >= 250) {
    SettleTexts();
    lastTextsShown_ = now;
  }
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (IsUserInput(msg.message)) {
      if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) cancelAsked_ = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return cancelAsked_;
}

}  // namespace dlg
