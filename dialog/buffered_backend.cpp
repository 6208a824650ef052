#include "dialog/buffered_backend.h"

namespace dlg {

std::string BufferedBackend::GetText(int id) const {
  auto pending = pendingTexts_.find(id);
  return pending != pendingTexts_.end() ? pending->second : ControlText(id);
}

void BufferedBackend::SetText(int id, const std::string& text) {
  if (InCommand())
    pendingTexts_[id] = text;
  else
    PutText(id, text);
}

void BufferedBackend::SetFocus(int id) {
  Settle();  // an edit selects its whole text when it gets the focus: its final text
  PutFocus(id);
}

void BufferedBackend::BeginCommand() {
  if (commands_++ == 0) CommandBegun();
}

void BufferedBackend::EndCommand() {
  if (--commands_ > 0) return;
  Settle();
  CommandEnded();
}

void BufferedBackend::SettleTexts() {
  std::map<int, std::string> texts;
  texts.swap(pendingTexts_);
  for (const auto& text : texts) PutText(text.first, text.second);
}

void BufferedBackend::Settle() {
  SettleTexts();
  std::map<int, int> selections;
  selections.swap(pendingSelections_);
  for (const auto& selection : selections) PutSelection(selection.first, selection.second);
  Settled();
}

void BufferedBackend::ListReset(int id) {
  pendingSelections_.erase(id);
  ClearList(id);
}

void BufferedBackend::ListSetSel(int id, int index) {
  if (!InCommand()) {
    PutSelection(id, index);
    return;
  }
  // Only the command's last selection reaches the list: on Win32 each one
  // scrolls and tells accessibility tools, a few round trips to the Wine
  // server even unpainted. Like the list, an index past the end changes
  // nothing.
  if (index != -1 && (index < 0 || index >= ListCount(id))) return;
  pendingSelections_[id] = index;
}

int BufferedBackend::ListGetSel(int id) const {
  auto pending = pendingSelections_.find(id);
  return pending != pendingSelections_.end() ? pending->second : ControlSelection(id);
}

// The user reads what opens over a window that is up to date; a command
// then goes on where it was.
template <typename Show>
auto BufferedBackend::Modal(Show show) {
  Settle();
  const bool during = InCommand();
  if (during) ModalOpening();
  auto result = show();
  if (during) ModalClosed();
  return result;
}

int BufferedBackend::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  return Modal([&] { return ShowMessageBox(text, caption, type); });
}

int BufferedBackend::PopupMenu(int id, int x, int y, const std::vector<MenuItem>& items) {
  return Modal([&] { return ShowPopupMenu(id, x, y, items); });
}

bool BufferedBackend::AskFile(FileRequest& request) {
  return Modal([&] { return ShowFileDialog(request); });
}

int BufferedBackend::RunModal(CDialog& dialog) {
  return Modal([&] { return ShowModal(dialog); });
}

}  // namespace dlg
