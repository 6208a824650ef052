#pragma once
// Running a real dialog in a test: the dialog runs modally on the test's
// thread, exactly as in the program, while a second thread plays the user
// with window messages. Checks that need the dialog's own thread (its focus,
// its back end) run there through OnUi.

#include <functional>
#include <string>
#include <type_traits>

#include "dialog/dialog.h"
#include "dialog/win32/win32_backend.h"
#include "processes.h"

// Polls `done` until it holds or `timeoutMs` pass; true when it held.
bool WaitFor(const std::function<bool()>& done, double timeoutMs = kPatienceMs);

// A visible dialog window of `thread` whose owner is `owner`, or null.
HWND FindDialog(DWORD thread, HWND owner);
HWND WaitForDialog(DWORD thread, HWND owner, double timeoutMs = kPatienceMs);

std::wstring WindowText(HWND window);

// Runs `dialog` modally on this thread; `user` runs meanwhile on another
// thread with the dialog's window once it shows. A dialog still running when
// `user` returns is cancelled, nested boxes first, so a failed check never
// leaves the test hanging. Returns DoModal's result.
intptr_t RunModal(dlg::CDialog& dialog, const std::function<void(HWND)>& user);

// Runs `fn` on the thread that owns the dialog `window` of a Scripted<> dialog.
enum : UINT { kRunOnUiMessage = WM_APP + 0x51 };
void OnUi(HWND window, const std::function<void()>& fn);

// A dialog class that also runs OnUi's functions.
struct NoExtraBase {};
template <class Base>
class Scripted : public Base,
                 public std::conditional_t<std::is_base_of_v<dlg::WindowMessageHandler, Base>, NoExtraBase,
                                           dlg::WindowMessageHandler> {
 public:
  using Base::Base;
  bool OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t* result) override {
    if (message != kRunOnUiMessage) {
      if constexpr (std::is_base_of_v<dlg::WindowMessageHandler, Base>)
        return Base::OnWindowMessage(message, wParam, lParam, result);
      return false;
    }
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    *result = 0;
    return true;
  }
};
