#include "app_driver.h"

#include <vector>

#include "dialog/win32/win32_backend.h"
#include "res/resource.h"


namespace {

std::vector<wchar_t> EnvironmentWith(const std::map<std::wstring, std::wstring>& extra) {
  std::vector<wchar_t> block;
  wchar_t* env = GetEnvironmentStringsW();
  for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
    std::wstring entry(p);
    bool overridden = false;
    for (const auto& kv : extra) overridden |= _wcsnicmp(p, (kv.first + L"=").c_str(), kv.first.size() + 1) == 0;
    if (overridden) continue;
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(0);
  }
  FreeEnvironmentStringsW(env);
  for (const auto& kv : extra) {
    if (kv.second.empty()) continue;  // empty means: unset
    std::wstring entry = kv.first + L"=" + kv.second;
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(0);
  }
  block.push_back(0);
  return block;
}

}  // namespace

AppDriver::~AppDriver() {
  if (pi_.hProcess) {
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
}

bool AppDriver::Start(const std::wstring& exe, const std::map<std::wstring, std::wstring>& env) {
  std::vector<wchar_t> block = EnvironmentWith(env);
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                      nullptr, &si, &pi_))
    return false;
  WaitForInputIdle(pi_.hProcess, 10000);
  double end = NowMs() + 15000;
  while (NowMs() < end) {
    dlg_ = FindProcessDialog(pi_.dwProcessId, nullptr);
    if (dlg_) return true;
    if (WaitForSingleObject(pi_.hProcess, 20) == WAIT_OBJECT_0) return false;
  }
  return false;
}

HWND AppDriver::FindMessageBox(int timeoutMs) const {
  double end = NowMs() + timeoutMs;
  do {
    if (HWND box = FindProcessDialog(pi_.dwProcessId, dlg_)) return box;
    Sleep(10);
  } while (NowMs() < end);
  return nullptr;
}

bool AppDriver::ChooseFromContextMenu(int id, int item) {
  PostMessageW(dlg_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Item(id)), MAKELPARAM(0xFFFF, 0xFFFF));
  HWND menu = FindMenu(5000);
  if (!menu) return false;
  // The menu's own loop reads the keys of its thread, whichever window
  // they are posted to.
  for (int i = 0; i <= item; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  return true;
}

HWND AppDriver::FindMenu(int timeoutMs) const {
  // A pop-up menu is a window of the system's menu class.
  const double end = NowMs() + timeoutMs;
  HWND menu = nullptr;
  while (!(menu = FindProcessWindow(pi_.dwProcessId, L"#32768", nullptr)) && NowMs() < end) Sleep(10);
  return menu;
}

bool AppDriver::WaitForStatus(const std::string& prefix, int timeoutMs) const {
  const double end = NowMs() + timeoutMs;
  do {
    if (Text(IDC_STATUS).rfind(prefix, 0) == 0) return true;
    Sleep(20);
  } while (NowMs() < end);
  return false;
}

std::string AppDriver::Text(int id) const {
  HWND h = Item(id);
  int n = static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
  std::wstring w(n + 1, L'\0');
  SendMessageW(h, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&w[0]));
  w.resize(wcslen(w.c_str()));
  return dlg::Narrow(w);
}

void AppDriver::SetText(int id, const std::string& text) {
  std::wstring w = dlg::Widen(text);
  SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void AppDriver::Type(int id, const std::string& text) {
  HWND h = Item(id);
  SendMessageW(h, EM_SETSEL, 0, -1);
  SendMessageW(h, WM_CLEAR, 0, 0);
  for (wchar_t c : dlg::Widen(text)) SendMessageW(h, WM_CHAR, c, 1);
}

void AppDriver::Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }

void AppDriver::ClickAsync(int id) { PostMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }

std::vector<std::string> AppDriver::Lines(int id) const {
  HWND h = Item(id);
  std::vector<std::string> lines;
  int count = static_cast<int>(SendMessageW(h, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    int n = static_cast<int>(SendMessageW(h, LB_GETTEXTLEN, i, 0));
    std::wstring w(n + 1, L'\0');
    SendMessageW(h, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&w[0]));
    w.resize(wcslen(w.c_str()));
    lines.push_back(dlg::Narrow(w));
  }
  return lines;
}

int AppDriver::Selected(int id) const { return static_cast<int>(SendMessageW(Item(id), LB_GETCURSEL, 0, 0)); }

void AppDriver::Select(int id, int index) {
  HWND h = Item(id);
  SendMessageW(h, LB_SETCURSEL, index, 0);
  SendMessageW(dlg_, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
}

void AppDriver::Detach() {
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
  pi_ = PROCESS_INFORMATION{};
}

DWORD AppDriver::Close() {
  PostMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(pi_.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(pi_.hProcess, &code);
  return code;
}

bool AppDriver::AnswerOpenDialog(const std::wstring& path) {
  HWND open = FindMessageBox(10000);
  if (!open) return false;
  HWND edit = GetDlgItem(open, 0x480);  // edt1, the file name
  if (!edit) edit = GetDlgItem(open, 0x47C);
  if (!edit) return false;
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(open, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(open, IDOK)));
  const double end = NowMs() + 5000;
  while (IsWindow(open) && NowMs() < end) Sleep(10);
  return !IsWindow(open);
}
