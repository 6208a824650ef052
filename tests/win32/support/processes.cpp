#include "processes.h"

namespace {

struct Search {
  DWORD pid;
  const wchar_t* windowClass;
  const HWND* owner;  // null: any owner
  HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t cls[16] = L"";
  GetClassNameW(window, cls, 16);
  if (pid != s->pid || !IsWindowVisible(window) || wcscmp(cls, s->windowClass) != 0 ||
      (s->owner && GetWindow(window, GW_OWNER) != *s->owner))
    return TRUE;
  s->found = window;
  return FALSE;
}

}  // namespace

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::wstring BesideMe(const wchar_t* name) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring dir(exe);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

HWND FindProcessWindow(DWORD pid, const wchar_t* windowClass, const HWND* owner) {
  Search s{pid, windowClass, owner, nullptr};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND FindProcessDialog(DWORD pid, HWND owner) { return FindProcessWindow(pid, L"#32770", &owner); }
