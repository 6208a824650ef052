#pragma once
// What the dialog framework needs of a window system: the controls of one
// dialog, addressed by identifier, and its message boxes. The Win32 back end
// drives real controls; the in-memory one records everything for tests.
// Texts are UTF-8 throughout.

#include <cstdint>
#include <string>
#include <vector>

namespace dlg {

class CDialog;

// Message-box types and results, with the values Win32 gives them.
enum : unsigned {
  kMbOk = 0x0000,
  kMbIconError = 0x0010,
  kMbIconExclamation = 0x0030,
};
enum : int { kIdOk = 1, kIdCancel = 2 };

// Notification codes the commands route on (BN_CLICKED, LBN_SELCHANGE).
enum : int { kButtonClicked = 0, kListSelChange = 1 };

// One line of a pop-up menu; id 0 is a separator.
struct MenuItem {
  int id;
  std::string text;
  bool enabled;
};

// A standard open or save dialog: what it offers, and what the user chose.
struct FileFilter {
  std::string label;     // "密钥文件 (*.keys;*.dic;*.txt)"
  std::string patterns;  // "*.keys;*.dic;*.txt"
};
struct FileRequest {
  bool save = false;
  std::string title;
  std::vector<FileFilter> filters;
  int filter = 0;    // in: the type offered first; out: the one chosen (from 0)
  std::string path;  // in: the name proposed; out: the file chosen
};

class Backend {
 public:
  virtual ~Backend() = default;

  virtual std::string GetText(int id) const = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  // Most characters (UTF-16 units) the user may type into an edit.
  virtual void SetTextLimit(int id, int chars) = 0;
  virtual void SetFocus(int id) = 0;
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  virtual void EndDialog(int result) = 0;

  // A command runs between these two calls, which nest. Meanwhile what it
  // changes reaches the controls once: when it ends, or before a message
  // box or a focus change, so the user reads the box over an up-to-date
  // window. Reading a control in between gives what the command set; a
  // list's lines are there at once, only its selection waits.
  virtual void BeginCommand() = 0;
  virtual void EndCommand() = 0;

  // List boxes. Indexes from 0; ListGetSel answers -1 with no selection.
  virtual void ListReset(int id) = 0;
  virtual int ListAdd(int id, const std::string& line) = 0;
  virtual int ListCount(int id) const = 0;
  virtual void ListSetSel(int id, int index) = 0;
  virtual int ListGetSel(int id) const = 0;
  virtual std::string ListGetText(int id, int index) const = 0;
  virtual void ListSetData(int id, int index, intptr_t data) = 0;
  virtual intptr_t ListGetData(int id, int index) const = 0;

  // A pop-up menu for control `id` at screen point (x, y), or beside the
  // control's selection when both are -1 (opened from the keyboard); the
  // chosen item's id, 0 when none was.
  virtual int PopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) = 0;
  // The standard open or save dialog; false when the user cancelled it.
  virtual bool AskFile(FileRequest& request) = 0;
  // Puts Unicode text on the clipboard, lines split at '\n'; false when
  // the clipboard could not be had.
  virtual bool SetClipboardText(const std::string& text) = 0;
  // Called by a long command between two steps: puts what it changed so far
  // on screen now and then, and handles the window's waiting messages
  // (painting, moving) while the user's clicks and keys wait out the
  // command. True once the user has asked to cancel it (Esc).
  virtual bool KeepResponsive() = 0;

  // Check boxes.
  virtual bool GetCheck(int id) const = 0;
  virtual void SetCheck(int id, bool checked) = 0;
  // Runs another dialog modally over this one; its EndDialog result.
  virtual int RunModal(CDialog& dialog) = 0;
};

// Caption of the program's message boxes: the program file's name without its
// extension. The Win32 start-up sets it; tests see the default.
const std::string& AppName();
void SetAppName(const std::string& name);

}  // namespace dlg
