#pragma once
// The in-memory back end: a dialog's controls as plain data, so a test can
// type into a control, press a command and read what the user would see.

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog/buffered_backend.h"

namespace dlg {

class MemoryBackend : public BufferedBackend {
 public:
  struct MessageBoxCall {
    std::string text, caption;
    unsigned type;
    std::map<int, std::string> texts;  // the controls' texts while it showed
  };
  struct List {
    std::vector<std::string> lines;
    std::vector<intptr_t> data;
    int selected = -1;
  };

  struct MenuCall {
    int id;
    std::vector<MenuItem> items;
  };

  // What the user does: typing respects the edit's limit, as a real edit does.
  void Type(int id, const std::string& text);
  // The item the next pop-up menu is answered with (0: none), once.
  int menuChoice = 0;
  // The answers to the next file dialogs, in turn: the path and the type
  // chosen; a dialog with no answer left is cancelled.
  struct FileAnswer {
    std::string path;
    int filter;
  };
  std::deque<FileAnswer> fileAnswers;
  // Asked at every KeepResponsive: true asks the command to cancel.
  std::function<bool()> onKeepResponsive;
  bool clipboardFails = false;
  // Plays the user of a dialog run over this one: gets the dialog after its
  // OnInitDialog on a back end of its own, returns what it ends with. With
  // none, the dialog is cancelled.
  std::function<int(CDialog&, MemoryBackend&)> onModal;

  // What the user sees.
  const std::vector<MessageBoxCall>& MessageBoxes() const { return messageBoxes_; }
  int Focus() const { return focus_; }
  int Limit(int id) const;  // -1: none set
  int SetTextCount(int id) const;
  bool Ended() const { return ended_; }
  int EndResult() const { return endResult_; }
  const List& ListOf(int id) const;
  const std::vector<MenuCall>& Menus() const { return menus_; }
  const std::vector<FileRequest>& FileRequests() const { return fileRequests_; }
  const std::string& Clipboard() const { return clipboard_; }
  int KeepResponsiveCalls() const { return keepResponsiveCalls_; }

  // Backend
  void SetTextLimit(int id, int chars) override { limits_[id] = chars; }
  void EndDialog(int result) override;
  int ListAdd(int id, const std::string& line) override;
  int ListCount(int id) const override { return static_cast<int>(ListOf(id).lines.size()); }
  std::string ListGetText(int id, int index) const override;
  void ListSetData(int id, int index, intptr_t data) override;
  intptr_t ListGetData(int id, int index) const override;
  bool SetClipboardText(const std::string& text) override;
  bool KeepResponsive() override;
  bool GetCheck(int id) const override;
  void SetCheck(int id, bool checked) override { checks_[id] = checked; }

 protected:
  std::string ControlText(int id) const override;
  void PutText(int id, const std::string& text) override;
  void PutSelection(int id, int index) override;
  int ControlSelection(int id) const override { return ListOf(id).selected; }
  void ClearList(int id) override { lists_[id] = List(); }
  void PutFocus(int id) override { focus_ = id; }
  int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  int ShowPopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) override;
  bool ShowFileDialog(FileRequest& request) override;
  int ShowModal(CDialog& dialog) override;

 private:
  std::map<int, bool> checks_;
  std::vector<MenuCall> menus_;
  std::vector<FileRequest> fileRequests_;
  std::string clipboard_;
  int keepResponsiveCalls_ = 0;
  std::map<int, std::string> texts_;
  std::map<int, int> limits_;
  std::map<int, int> setTextCounts_;
  std::map<int, List> lists_;
  std::vector<MessageBoxCall> messageBoxes_;
  int focus_ = 0;
  bool ended_ = false;
  int endResult_ = 0;
};

}  // namespace dlg
