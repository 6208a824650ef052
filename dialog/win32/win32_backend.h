#pragma once
// The Win32 back end: the framework's controls are the real controls of one
// dialog window, addressed by identifier. Only wide functions are used, so
// the UTF-8 texts of the framework read the same on any ANSI code page.

#include "dialog/win32/windows_h.h"

#include <map>
#include <string>
#include <vector>

#include "dialog/buffered_backend.h"
#include "dialog/dialog.h"

namespace dlg {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const wchar_t* utf16, int units);
inline std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), static_cast<int>(utf16.size())); }

class Win32Backend : public BufferedBackend {
 public:
  explicit Win32Backend(HWND dialog = nullptr) : hDlg_(dialog) {}
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;
  void SetWindow(HWND dialog) {
    hDlg_ = dialog;
    items_.clear();
  }
  HWND Window() const { return hDlg_; }

  void EndDialog(int result) override;
  int ListAdd(int id, const std::string& line) override;
  int ListCount(int id) const override;
  std::string ListGetText(int id, int index) const override;
  bool SetClipboardText(const std::string& text) override;
  bool KeepResponsive() override;
  // One message to the control each.
  void SetTextLimit(int id, int chars) override { Send(id, EM_LIMITTEXT, static_cast<WPARAM>(chars)); }
  void ListSetData(int id, int index, intptr_t data) override {
    Send(id, LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
  }
  intptr_t ListGetData(int id, int index) const override {
    return static_cast<intptr_t>(Send(id, LB_GETITEMDATA, static_cast<WPARAM>(index)));
  }
  bool GetCheck(int id) const override { return Send(id, BM_GETCHECK) == BST_CHECKED; }
  void SetCheck(int id, bool checked) override { Send(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }

 protected:
  std::string ControlText(int id) const override;
  void PutText(int id, const std::string& text) override;
  void PutSelection(int id, int index) override { Send(id, LB_SETCURSEL, static_cast<WPARAM>(index)); }
  int ControlSelection(int id) const override { return static_cast<int>(Send(id, LB_GETCURSEL)); }
  void ClearList(int id) override;
  void PutFocus(int id) override;
  int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  int ShowPopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) override;
  bool ShowFileDialog(FileRequest& request) override;
  int ShowModal(CDialog& dialog) override;

  // A command running on the window's thread: the wait cursor is up, and
  // what it changes reaches the controls through the command buffer: the
  // texts it set last, the lines it added, its last selection of each list,
  // scrolled into view as usual. Windows paints a busy thread's controls
  // only after it anyway; Wine paints a static text or list line at once,
  // and each such change costs a few round trips to the Wine server and X,
  // together about as long as the reader's 10 ms pause for every line of a
  // read-out. So the lists it fills do not repaint until the buffer
  // settles, and while something modal shows, the user has the cursor back.
  void CommandBegun() override;
  void CommandEnded() override { SetCursor(cursorBefore_); }
  void ModalOpening() override { SetCursor(cursorBefore_); }
  void ModalClosed() override;
  void Settled() override;

 private:
  // A control's window; looked up once, as finding it asks the Wine server.
  HWND Item(int id) const;
  LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return SendMessageW(Item(id), message, wParam, lParam);
  }
  // Within a command: stops list `id` repainting until the buffer settles.
  void Quiet(int id);

  HWND hDlg_;
  mutable std::map<int, HWND> items_;
  HCURSOR cursorBefore_ = nullptr;
  std::vector<HWND> quiet_;
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
