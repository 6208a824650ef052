#pragma once
// The Win32 back end: the framework's controls are the real controls of one
// dialog window, addressed by identifier. Only wide functions are used, so
// the UTF-8 texts of the framework read the same on any ANSI code page.

#include "dialog/win32/windows_h.h"

#include <map>
#include <string>
#include <vector>

#include "dialog/backend.h"
#include "dialog/dialog.h"

namespace dlg {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, int units);
inline std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), static_cast<int>(utf16.size())); }

class Win32Backend : public Backend {
 public:
  explicit Win32Backend(HWND dialog = nullptr) : hDlg_(dialog) {}
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;
  void SetWindow(HWND dialog) {
    hDlg_ = dialog;
    items_.clear();
  }
  HWND Window() const { return hDlg_; }

  // A command running on the window's thread, from BeginCommand to
  // EndCommand: the wait cursor is up, and what the command changes reaches
  // the controls once, when it ends or before it shows a message box: the
  // texts it set last, the lines it added, its last selection of each list,
  // scrolled into view as usual. Windows paints a busy thread's controls
  // only after it anyway; Wine paints a static text or list line at once,
  // and each such change costs a few round trips to the Wine server and X,
  // together about as long as the reader's 10 ms pause for every line of a
  // read-out. Reading a control in between gives what the command set.
  void BeginCommand() override;
  void EndCommand() override;

  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  void SetTextLimit(int id, int chars) override;
  void SetFocus(int id) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void EndDialog(int result) override;

  void ListReset(int id) override;
  int ListAdd(int id, const std::string& line) override;
  int ListCount(int id) const override;
  void ListSetSel(int id, int index) override;
  int ListGetSel(int id) const override;
  std::string ListGetText(int id, int index) const override;
  void ListSetData(int id, int index, intptr_t data) override;
  intptr_t ListGetData(int id, int index) const override;
  int PopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) override;
  bool AskFile(FileRequest& request) override;
  bool SetClipboardText(const std::string& text) override;
  bool KeepResponsive() override;
  bool GetCheck(int id) const override;
  void SetCheck(int id, bool checked) override;
  int RunModal(CDialog& dialog) override;

 private:
  struct QuietList {
    HWND list;
    bool selectionPending;
    int selection;
  };

  // A control's window; looked up once, as finding it asks the Wine server.
  HWND Item(int id) const;
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageW(Item(id), message, wParam, lParam);
  }
  // Within a command: stops list `id` repainting until Settle; null outside
  // a command.
  QuietList* Quiet(int id);
  // Puts the pending texts and selections on screen and lets the lists
  // repaint themselves again.
  void Settle();
  // Puts only the pending texts on screen.
  void ShowPendingTexts();

  HWND hDlg_;
  mutable std::map<int, HWND> items_;
  int commands_ = 0;  // nested depth
  HCURSOR cursorBefore_ = nullptr;
  std::vector<QuietList> quiet_;
  std::map<int, std::string> pendingTexts_;
  // When KeepResponsive last looked at the queue, put the texts and
  // everything on screen.
  ULONGLONG lastPumped_ = 0, lastTextsShown_ = 0, lastShown_ = 0;
  bool cancelAsked_ = false;
};

// A control asking its parent for its colours (WM_CTLCOLORMSGBOX through
// WM_CTLCOLORSTATIC, one contiguous range).
inline bool IsCtlColorMessage(UINT message) {
  return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// What a dialog run on Win32 may handle beyond commands: colours, painting,
// the system menu. DoModal passes such messages to a dialog that is one.
class WindowMessageHandler {
 public:
  virtual ~WindowMessageHandler() = default;
  // True when handled, with the dialog procedure's result in *result.
  virtual bool OnWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t* result) = 0;
};

// Runs `dialog` modally on this thread; its result is EndDialog's. An
// exception from a handler ends the dialog and is thrown again here.
intptr_t DoModal(CDialog& dialog);

// The window of a dialog while DoModal runs it, null otherwise.
HWND DialogWindow(const CDialog& dialog);

// The module DoModal loads dialog templates from; the executable by default.
void SetResourceModule(HINSTANCE module);
HINSTANCE ResourceModule();

// Places a dialog window centred on its owner, or on the work area of its
// monitor when it has no visible owner; never partly off that work area.
void CenterDialog(HWND dialog);

}  // namespace dlg
