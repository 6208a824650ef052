#include "dialog/memory_backend.h"

#include "dialog/dialog.h"

namespace dlg {

namespace {

bool InRange(const MemoryBackend::List& list, int index) {
  return index >= 0 && index < static_cast<int>(list.lines.size());
}

// Cuts a UTF-8 text after `units` UTF-16 units, never inside a character.
std::string Truncate(const std::string& text, int units) {
  size_t i = 0;
  int used = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    int need = len == 4 ? 2 : 1;
    if (used + need > units) break;
    used += need;
    i += len;
  }
  return text.substr(0, i);
}

}  // namespace

void MemoryBackend::Type(int id, const std::string& text) {
  auto limit = limits_.find(id);
  texts_[id] = limit == limits_.end() ? text : Truncate(text, limit->second);
}

int MemoryBackend::Limit(int id) const {
  auto it = limits_.find(id);
  return it == limits_.end() ? -1 : it->second;
}

int MemoryBackend::SetTextCount(int id) const {
  auto it = setTextCounts_.find(id);
  return it == setTextCounts_.end() ? 0 : it->second;
}

const MemoryBackend::List& MemoryBackend::ListOf(int id) const {
  static const List empty;
  auto it = lists_.find(id);
  return it == lists_.end() ? empty : it->second;
}

std::string MemoryBackend::ControlText(int id) const {
  auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : it->second;
}

void MemoryBackend::PutText(int id, const std::string& text) {
  texts_[id] = text;
  ++setTextCounts_[id];
}

int MemoryBackend::ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  messageBoxes_.push_back({text, caption, type, texts_});
  return kIdOk;
}

void MemoryBackend::EndDialog(int result) {
  ended_ = true;
  endResult_ = result;
}

int MemoryBackend::ListAdd(int id, const std::string& line) {
  List& list = lists_[id];
  list.lines.push_back(line);
  list.data.push_back(0);
  return static_cast<int>(list.lines.size()) - 1;
}

void MemoryBackend::PutSelection(int id, int index) {
  List& list = lists_[id];
  if (index == -1 || InRange(list, index)) list.selected = index;
}

std::string MemoryBackend::ListGetText(int id, int index) const {
  const List& list = ListOf(id);
  return InRange(list, index) ? list.lines[index] : std::string();
}

void MemoryBackend::ListSetData(int id, int index, intptr_t data) {
  List& list = lists_[id];
  if (InRange(list, index)) list.data[index] = data;
}

intptr_t MemoryBackend::ListGetData(int id, int index) const {
  const List& list = ListOf(id);
  return InRange(list, index) ? list.data[index] : -1;
}

int MemoryBackend::ShowPopupMenu(int id, int, int, const std::vector<MenuItem>& items) {
  menus_.push_back({id, items});
  const int choice = menuChoice;
  menuChoice = 0;
  for (const MenuItem& item : items)
    if (item.id == choice && item.enabled) return choice;
  return 0;
}

bool MemoryBackend::GetCheck(int id) const {
  auto it = checks_.find(id);
  return it != checks_.end() && it->second;
}

int MemoryBackend::ShowModal(CDialog& dialog) {
  MemoryBackend inner;
  dialog.AttachBackend(&inner);
  dialog.OnInitDialog();
  const int result = onModal ? onModal(dialog, inner) : kIdCancel;
  dialog.AttachBackend(nullptr);
  return result;
}

bool MemoryBackend::ShowFileDialog(FileRequest& request) {
  fileRequests_.push_back(request);
  if (fileAnswers.empty()) return false;
  request.path = fileAnswers.front().path;
  request.filter = fileAnswers.front().filter;
  fileAnswers.pop_front();
  return true;
}

bool MemoryBackend::SetClipboardText(const std::string& text) {
  if (clipboardFails) return false;
  clipboard_ = text;
  return true;
}

bool MemoryBackend::KeepResponsive() {
  ++keepResponsiveCalls_;
  Settle();
  return onKeepResponsive && onKeepResponsive();
}

}  // namespace dlg
