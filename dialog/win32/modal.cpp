// DoModal on Win32: one static dialog procedure for every dialog, which
// finds its C++ object through the window's DWLP_USER slot.
#include "dialog/win32/win32_backend.h"

#include <commctrl.h>

#include <exception>

namespace dlg {

namespace {

HINSTANCE g_resourceModule = nullptr;

// One modal run of one dialog; runs nest (the About box inside the main
// dialog) and the innermost one owns the next.
struct ModalRun {
  CDialog* dialog;
  WindowMessageHandler* handler;  // the dialog, when it handles window messages
  ModalRun* outer;
  Win32Backend backend;
  std::exception_ptr error;
};

thread_local ModalRun* t_innermost = nullptr;

// For these messages a dialog procedure returns the result itself; for all
// others the result goes into DWLP_MSGRESULT and the procedure says TRUE.
bool ReturnsResultDirectly(UINT message) {
  if (IsCtlColorMessage(message)) return true;
  switch (message) {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
  }
  return false;
}

INT_PTR Dispatch(ModalRun& run, HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog& dialog = *run.dialog;
  if (message == WM_INITDIALOG) {
    CenterDialog(hDlg);
    return dialog.OnInitDialog() ? TRUE : FALSE;
  }
  if (message == WM_COMMAND) {
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    // Enter and Esc arrive as clicks of IDOK and IDCANCEL (also from WM_CLOSE,
    // which the default dialog procedure turns into IDCANCEL), button or not.
    if (code == BN_CLICKED && id == IDOK) {
      dialog.OnOK();
      return TRUE;
    }
    if (code == BN_CLICKED && id == IDCANCEL) {
      dialog.OnCancel();
      return TRUE;
    }
    return dialog.RunCommand(id, code) ? TRUE : FALSE;
  }
  if (message == WM_CONTEXTMENU) {
    // From a control's right click, or Shift+F10 and the menu key, which
    // give the point (-1, -1).
    const HWND from = reinterpret_cast<HWND>(wParam);
    const int id = from == hDlg ? 0 : GetDlgCtrlID(from);
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    if (dialog.OnContextMenu(id, x, y)) return TRUE;
  }
  intptr_t result = 0;
  if (!run.handler || !run.handler->OnWindowMessage(message, wParam, lParam, &result)) {
    // A list box that passes its keys to the parent reads an unanswered
    // question (0) as "go to line 0"; -1 asks for its own handling.
    if (message == WM_VKEYTOITEM || message == WM_CHARTOITEM) return -1;
    return FALSE;
  }
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
  return TRUE;
}

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* run = reinterpret_cast<ModalRun*>(lParam);
    SetWindowLongPtrW(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
    run->backend.SetWindow(hDlg);
    run->dialog->AttachBackend(&run->backend);
  }
  // WM_SETFONT comes before WM_INITDIALOG, WM_NCDESTROY after the run ends.
  auto* run = reinterpret_cast<ModalRun*>(GetWindowLongPtrW(hDlg, DWLP_USER));
  if (!run) return FALSE;
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hDlg, DWLP_USER, 0);
  // After a failure the window only winds down, by default processing.
  if (run->error) return FALSE;
  // An exception must not unwind through USER32's frames: keep it, end the
  // dialog, and let DoModal throw it once the modal loop has returned.
  try {
    return Dispatch(*run, hDlg, message, wParam, lParam);
  } catch (...) {
    run->error = std::current_exception();
    ::EndDialog(hDlg, -1);
    return FALSE;
  }
}

void RegisterControlClasses() {
  // With the common-controls 6 manifest the standard controls are comctl32's;
  // registering them here spares every program the call.
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

}  // namespace

void SetResourceModule(HINSTANCE module) { g_resourceModule = module; }

HINSTANCE ResourceModule() { return g_resourceModule ? g_resourceModule : GetModuleHandleW(nullptr); }

void CenterDialog(HWND dialog) {
  RECT rc;
  GetWindowRect(dialog, &rc);
  HWND owner = GetWindow(dialog, GW_OWNER);
  const bool overOwner = owner && IsWindowVisible(owner) && !IsIconic(owner);
  MONITORINFO mi = {};
  mi.cbSize = sizeof(mi);
  GetMonitorInfoW(MonitorFromWindow(overOwner ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT around = mi.rcWork;
  if (overOwner) GetWindowRect(owner, &around);
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  int x = around.left + (around.right - around.left - w) / 2;
  int y = around.top + (around.bottom - around.top - h) / 2;
  // Keep the caption reachable on a small screen: left and top edges win.
  if (x + w > mi.rcWork.right) x = mi.rcWork.right - w;
  if (y + h > mi.rcWork.bottom) y = mi.rcWork.bottom - h;
  if (x < mi.rcWork.left) x = mi.rcWork.left;
  if (y < mi.rcWork.top) y = mi.rcWork.top;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

intptr_t DoModal(CDialog& dialog) {
  RegisterControlClasses();
  ModalRun run{&dialog, dynamic_cast<WindowMessageHandler*>(&dialog), t_innermost, Win32Backend(), nullptr};
  HWND owner = run.outer ? run.outer->backend.Window() : nullptr;
  t_innermost = &run;
  INT_PTR result = DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(dialog.TemplateId()), owner, DialogProc,
                                   reinterpret_cast<LPARAM>(&run));
  t_innermost = run.outer;
  dialog.AttachBackend(nullptr);
  if (run.error) std::rethrow_exception(run.error);
  return result;
}

int Win32Backend::ShowModal(CDialog& dialog) { return static_cast<int>(DoModal(dialog)); }

HWND DialogWindow(const CDialog& dialog) {
  for (ModalRun* run = t_innermost; run; run = run->outer)
    if (run->dialog == &dialog) return run->backend.Window();
  return nullptr;
}

}  // namespace dlg
