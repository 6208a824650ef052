#pragma once
// Drives a running QUILLON.exe from outside, with window messages, the way a
// user's clicks and typing reach it.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "processes.h"

class AppDriver {
 public:
  ~AppDriver();
  // Starts the program with extra environment variables; false if its main
  // window does not appear within the time allowed.
  bool Start(const std::wstring& exe, const std::map<std::wstring, std::wstring>& env);
  HWND Window() const { return dlg_; }
  DWORD ProcessId() const { return pi_.dwProcessId; }
  HANDLE Process() const { return pi_.hProcess; }

  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  // Types character by character, as a keyboard does: edit limits apply.
  void Type(int id, const std::string& text);
  // Presses a button and returns when its command has been handled.
  void Click(int id);
  // Presses a button without waiting (the command may open a message box).
  void ClickAsync(int id);
  std::vector<std::string> Lines(int id) const;
  int Selected(int id) const;
  // Selects a line and notifies the dialog, as a click on the line does.
  void Select(int id, int index);

  // A message box owned by the program's dialog, or null.
  HWND FindMessageBox(int timeoutMs) const;

  // Opens control `id`'s context menu as Shift+F10 does (a WM_CONTEXTMENU
  // from the control, without a point) and picks its `item`-th entry (from
  // 0, separators not counted) with the arrow keys and Enter, without
  // waiting for the command; false when no menu appeared.
  bool ChooseFromContextMenu(int id, int item);
  // A pop-up menu the program shows, or null.
  HWND FindMenu(int timeoutMs) const;
  // Waits until the status line starts with `prefix`; false on timeout.
  bool WaitForStatus(const std::string& prefix, int timeoutMs) const;

  // Answers the program's open dialog with `path` and waits for it to go;
  // false when no such dialog came or it stayed.
  bool AnswerOpenDialog(const std::wstring& path);

  // Ends the program as the close box does; returns its exit code.
  DWORD Close();
  // Leaves the program running when the driver goes.
  void Detach();

 private:
  HWND Item(int id) const { return GetDlgItem(dlg_, id); }
  PROCESS_INFORMATION pi_{};
  HWND dlg_ = nullptr;
};
