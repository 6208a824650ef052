#pragma once
// Drives a running QUILLON.exe from outside, with window messages, the way a
// user's clicks and typing reach it.
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "processes.h"

class AppDriver {
 public:
  ~AppDriver();
  // Starts the program with extra environment variables; false if it ends
  // or hangs before its main window shows.
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

  // Each wait below ends when its condition holds, or fails at once when the
  // program has ended; only a hung program makes it last kPatienceMs.
  bool WaitUntil(const std::function<bool()>& done) const;
  // A dialog window owned by the program's dialog (a message box, a file
  // dialog, a confirmation) once one shows, or null.
  HWND FindMessageBox() const;
  // Waits until `window` is destroyed; false when it stays, or opens a box
  // of its own instead (a file dialog's "already exists").
  bool WaitGone(HWND window) const;
  // The text of the message box the program shows, answered with `button`
  // once it is found, and gone when this returns; a note in brackets when
  // there was none or it stayed.
  std::string AnswerMessageBox(int button = IDOK) const;

  // Opens control `id`'s context menu as Shift+F10 does (a WM_CONTEXTMENU
  // from the control, without a point) and picks its `item`-th entry (from
  // 0, separators not counted) with the arrow keys and Enter; true once the
  // command it starts shows a window or changes the status line (one that
  // does neither cannot be told from a menu that closed by itself).
  bool ChooseFromContextMenu(int id, int item);
  // A pop-up menu the program shows, once it shows, or null.
  HWND FindMenu() const;
  // Waits until the status line starts with `prefix`; false when the program
  // stops at a box first.
  bool WaitForStatus(const std::string& prefix) const;

  // Answers the program's open or save dialog with `path` (and, unless -1,
  // the type list's entry `type`) and waits for it to go; false when no such
  // dialog came or it stayed.
  bool AnswerFileDialog(const std::wstring& path, int type = -1) const;

  // Ends the program as the close box does; returns its exit code, or
  // STILL_ACTIVE at once when a box it shows would keep it from closing.
  DWORD Close();
  // Leaves the program running when the driver goes.
  void Detach();

 private:
  HWND Item(int id) const { return GetDlgItem(dlg_, id); }
  // Waits until the last context menu and the command chosen in it are over.
  bool MenuOver();
  PROCESS_INFORMATION pi_{};
  HWND dlg_ = nullptr;
  // Sends the last WM_CONTEXTMENU, and sets menuOver_ when it returns.
  std::thread menu_;
  std::shared_ptr<std::atomic<bool>> menuOver_;
};
