#pragma once
// The confirmation before a dump is written onto the card: the two UIDs,
// what will be written and skipped, the sectors that will be locked for
// good, and whether block 0 is written too (unchecked until the user
// checks it). Only "写入" ends it with IDC_CONFIRM_WRITE; Enter, Esc and
// the close box cancel.

#include <string>

#include "dialog/dialog.h"
#include "res/resource.h"

class CConfirmWriteDlg : public dlg::CDialog {
 public:
  CConfirmWriteDlg() : dlg::CDialog(IDD_CONFIRM_WRITE) {}

  std::string m_strUids;
  std::string m_strPlan;
  std::string m_strLocked;  // shown in red
  bool m_bBlock0 = false;

  bool OnCommand(int id, int notifyCode) override {
    if (id != IDC_CONFIRM_WRITE || notifyCode != dlg::kButtonClicked) return false;
    if (UpdateData(true)) EndDialog(IDC_CONFIRM_WRITE);
    return true;
  }

 protected:
  void DoDataExchange(dlg::CDataExchange* pDX) override {
    dlg::DDX_Text(pDX, IDC_CONFIRM_UIDS, m_strUids);
    dlg::DDX_Text(pDX, IDC_CONFIRM_PLAN, m_strPlan);
    dlg::DDX_Text(pDX, IDC_CONFIRM_LOCKED, m_strLocked);
    dlg::DDX_Check(pDX, IDC_CONFIRM_BLOCK0, m_bBlock0);
  }
};
