#include "harness.h"

#include <gtest/gtest.h>

#include <exception>
#include <thread>
#include <vector>

bool WaitFor(const std::function<bool()>& done, double timeoutMs) {
  const double end = NowMs() + timeoutMs;
  while (!done()) {
    if (NowMs() > end) return false;
    Sleep(1);
  }
  return true;
}

namespace {

struct Search {
  HWND owner;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  wchar_t cls[16] = L"";
  GetClassNameW(window, cls, 16);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != s->owner)
    return TRUE;
  s->found = window;
  return FALSE;
}

}  // namespace

HWND FindDialog(DWORD thread, HWND owner) {
  Search s{owner, nullptr};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND WaitForDialog(DWORD thread, HWND owner, double timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindDialog(thread, owner)) != nullptr; }, timeoutMs);
  return found;
}

std::wstring WindowText(HWND window) {
  std::vector<wchar_t> text(GetWindowTextLengthW(window) + 1);
  int n = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return std::wstring(text.data(), n);
}

void OnUi(HWND window, const std::function<void()>& fn) {
  SendMessageW(window, kRunOnUiMessage, 0, reinterpret_cast<LPARAM>(&fn));
}

intptr_t RunModal(dlg::CDialog& dialog, const std::function<void(HWND)>& user) {
  const DWORD ui = GetCurrentThreadId();
  std::thread person([&] {
    HWND main = WaitForDialog(ui, nullptr);
    if (!main) {
      ADD_FAILURE() << "the dialog did not show";
      return;
    }
    user(main);
    double next = 0;
    WaitFor([&] {
      if (!IsWindow(main)) return true;
      if (NowMs() < next) return false;
      HWND innermost = main;
      while (HWND owned = FindDialog(ui, innermost)) innermost = owned;
      PostMessageW(innermost, WM_COMMAND, IDCANCEL, 0);
      next = NowMs() + 50;
      return false;
    });
  });
  std::exception_ptr error;
  intptr_t result = -1;
  try {
    result = dlg::DoModal(dialog);
  } catch (...) {
    error = std::current_exception();
  }
  person.join();
  if (error) std::rethrow_exception(error);
  return result;
}
