#pragma once
// The command buffer both back ends share. While a command runs, the texts
// it sets and the selections it makes wait here, and reach the controls
// once: when the outermost command ends, or before anything the user must
// read over the window (a message box, a menu, a file or modal dialog, a
// focus change). A back end supplies the primitives that touch its
// controls directly, and refines what it needs around them.

#include <map>
#include <string>

#include "dialog/backend.h"

namespace dlg {

class BufferedBackend : public Backend {
 public:
  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  void SetFocus(int id) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void BeginCommand() override;
  void EndCommand() override;
  void ListReset(int id) override;
  void ListSetSel(int id, int index) override;
  int ListGetSel(int id) const override;
  int PopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) override;
  bool AskFile(FileRequest& request) override;
  int RunModal(CDialog& dialog) override;

 protected:
  bool InCommand() const { return commands_ > 0; }
  // Puts everything waiting on the controls.
  void Settle();
  // Puts only the waiting texts on the controls.
  void SettleTexts();

  // The primitives: each acts on the controls at once.
  virtual std::string ControlText(int id) const = 0;
  virtual void PutText(int id, const std::string& text) = 0;
  // As a list box: -1 clears the selection, an index past the end changes
  // nothing.
  virtual void PutSelection(int id, int index) = 0;
  virtual int ControlSelection(int id) const = 0;
  virtual void ClearList(int id) = 0;
  virtual void PutFocus(int id) = 0;
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  virtual int ShowPopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) = 0;
  virtual bool ShowFileDialog(FileRequest& request) = 0;
  virtual int ShowModal(CDialog& dialog) = 0;

  // Refinements. The outermost command begins and ends (after its changes
  // are on the controls); something modal opens and closes during a command;
  // everything waiting has just been put on the controls.
  virtual void CommandBegun() {}
  virtual void CommandEnded() {}
  virtual void ModalOpening() {}
  virtual void ModalClosed() {}
  virtual void Settled() {}

 private:
  template <typename Show>
  auto Modal(Show show);

  int commands_ = 0;  // nested depth
  std::map<int, std::string> pendingTexts_;
  std::map<int, int> pendingSelections_;
};

}  // namespace dlg
