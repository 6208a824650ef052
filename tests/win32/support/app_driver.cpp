#include "app_driver.h"

#include <cstdio>
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

BOOL CALLBACK PrintWindow(HWND window, LPARAM pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != static_cast<DWORD>(pid) || !IsWindowVisible(window)) return TRUE;
  wchar_t cls[64] = L"", title[256] = L"", text[256] = L"";
  GetClassNameW(window, cls, 64);
  GetWindowTextW(window, title, 256);
  GetDlgItemTextW(window, 0xFFFF, text, 256);  // a message box's text
  std::fprintf(stderr, "  %s \"%s\" %s\n", dlg::Narrow(cls).c_str(), dlg::Narrow(title).c_str(),
               dlg::Narrow(text).c_str());
  return TRUE;
}

}  // namespace

AppDriver::~AppDriver() {
  if (pi_.hProcess) {
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  // A message sent to a thread that has ended returns.
  if (menu_.joinable()) menu_.join();
}

bool AppDriver::Start(const std::wstring& exe, const std::map<std::wstring, std::wstring>& env) {
  std::vector<wchar_t> block = EnvironmentWith(env);
  std::wstring cmd = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                      nullptr, &si, &pi_))
    return false;
  return WaitUntil([&] { return (dlg_ = FindProcessDialog(pi_.dwProcessId, nullptr)) != nullptr; });
}

bool AppDriver::WaitUntil(const std::function<bool()>& done) const {
  const double end = NowMs() + kPatienceMs;
  while (!done()) {
    if (WaitForSingleObject(pi_.hProcess, 10) != WAIT_TIMEOUT) return done();
    if (NowMs() > end) {
      // Checked once more: the last thing it did may be it.
      if (done()) return true;
      std::fprintf(stderr, "gave up waiting after %.0f s; the program shows:\n", kPatienceMs / 1000);
      EnumWindows(PrintWindow, static_cast<LPARAM>(pi_.dwProcessId));
      return false;
    }
  }
  return true;
}

HWND AppDriver::FindMessageBox() const {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindProcessDialog(pi_.dwProcessId, dlg_)) != nullptr; });
  return box;
}

bool AppDriver::WaitGone(HWND window) const {
  WaitUntil([&] { return !IsWindow(window) || FindProcessDialog(pi_.dwProcessId, window); });
  return !IsWindow(window);
}

std::string AppDriver::AnswerMessageBox(int button) const {
  HWND box = FindMessageBox();
  if (!box) return "(no message box)";
  wchar_t text[2048] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 2048);
  PostMessageW(box, WM_COMMAND, button, 0);
  return dlg::Narrow(std::wstring(text)) + (WaitGone(box) ? "" : " (the box stayed open)");
}

bool AppDriver::ChooseFromContextMenu(int id, int item) {
  // Wine hands the program some X focus events late, at times only once a
  // menu's loop reads them; a focus change long past then cancels the menu,
  // before or after it shows, and the keys are lost with it. So the message
  // is sent, by a thread of its own: its return says the menu and what was
  // chosen in it are over. A menu that ended without starting its command
  // is opened again.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!MenuOver()) return false;
    const std::string status = Text(IDC_STATUS);
    auto over = menuOver_ = std::make_shared<std::atomic<bool>>(false);
    menu_ = std::thread([over, dlg = dlg_, control = Item(id)] {
      SendMessageW(dlg, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control), MAKELPARAM(0xFFFF, 0xFFFF));
      *over = true;
    });
    HWND menu = nullptr;
    if (!WaitUntil([&] { return (menu = FindProcessWindow(pi_.dwProcessId, L"#32768", nullptr)) || *over; }))
      return false;
    // The menu's own loop reads the keys of its thread; those posted to a
    // menu window that is gone are dropped with it.
    for (int i = 0; i <= item && menu; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    if (menu) PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    auto started = [&] { return FindProcessDialog(pi_.dwProcessId, dlg_) || Text(IDC_STATUS) != status; };
    if (!WaitUntil([&] { return started() || *over; })) return false;
    if (started()) return true;
  }
  return false;
}

bool AppDriver::MenuOver() {
  if (!menu_.joinable()) return true;
  if (!WaitUntil([&] { return menuOver_->load(); })) return false;
  menu_.join();
  return true;
}

HWND AppDriver::FindMenu() const {
  // A pop-up menu is a window of the system's menu class.
  HWND menu = nullptr;
  WaitUntil([&] { return (menu = FindProcessWindow(pi_.dwProcessId, L"#32768", nullptr)) != nullptr; });
  return menu;
}

bool AppDriver::WaitForStatus(const std::string& prefix) const {
  // A box holds the command that would set the status: no point waiting.
  auto done = [&] { return Text(IDC_STATUS).rfind(prefix, 0) == 0; };
  WaitUntil([&] { return done() || FindProcessDialog(pi_.dwProcessId, dlg_); });
  return done();
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
  // The thread holds nothing of the driver's.
  if (menu_.joinable()) menu_.detach();
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
  pi_ = PROCESS_INFORMATION{};
}

DWORD AppDriver::Close() {
  // An answered box is hidden at once (EndDialog), so one still showing
  // waits for the user, and the close would wait behind it.
  if (FindProcessDialog(pi_.dwProcessId, dlg_)) return STILL_ACTIVE;
  PostMessageW(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
  DWORD code = STILL_ACTIVE;
  if (WaitUntil([&] { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; }))
    GetExitCodeProcess(pi_.hProcess, &code);
  return code;
}

bool AppDriver::AnswerFileDialog(const std::wstring& path, int type) const {
  HWND box = FindMessageBox();
  if (!box) return false;
  HWND edit = GetDlgItem(box, 0x480);  // edt1, the file name
  if (!edit) edit = GetDlgItem(box, 0x47C);
  if (!edit) return false;
  // cmb1, the type list; the dialog takes a choice on CBN_SELENDOK.
  HWND types = GetDlgItem(box, 0x470);
  if (type >= 0 && types) {
    SendMessageW(types, CB_SETCURSEL, type, 0);
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
  }
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  return WaitGone(box);
}
