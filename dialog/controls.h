#pragma once
// Control objects bound to a dialog's controls by identifier.

#include <string>

#include "dialog/backend.h"

namespace dlg {

class CWndControl {
 public:
  virtual ~CWndControl() = default;
  void Attach(Backend* backend, int id) {
    backend_ = backend;
    id_ = id;
  }
  int GetDlgCtrlID() const { return id_; }
  bool IsAttached() const { return backend_ != nullptr; }

 protected:
  Backend* backend_ = nullptr;
  int id_ = 0;
};

// A static text; only its colour is special, and that is the window's business.
class CStatic : public CWndControl {};

// A single-selection list box, kept in insertion order. Each line can carry
// one integer of its own (the Win32 item data).
class CListBox : public CWndControl {
 public:
  void ResetContent() { backend_->ListReset(id_); }
  int AddString(const std::string& line) { return backend_->ListAdd(id_, line); }
  int GetCount() const { return backend_->ListCount(id_); }
  void SetCurSel(int index) { backend_->ListSetSel(id_, index); }
  int GetCurSel() const { return backend_->ListGetSel(id_); }
  std::string GetText(int index) const { return backend_->ListGetText(id_, index); }
  void SetItemData(int index, intptr_t data) { backend_->ListSetData(id_, index, data); }
  intptr_t GetItemData(int index) const { return backend_->ListGetData(id_, index); }
};

}  // namespace dlg
