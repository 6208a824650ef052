#include "cardtest/card_test_dlg.h"

#include "cardtest/read_list.h"
#include "res/resource.h"

CCardTestDlg::CCardTestDlg() : dlg::CDialog(IDD_CARDTEST_DIALOG) {}

void CCardTestDlg::DoDataExchange(dlg::CDataExchange* pDX) { ExchangeCardTestForm(pDX, *this); }

bool CCardTestDlg::OnCommand(int id, int notifyCode) {
  if (id == IDC_READ_LIST) {
    if (notifyCode != dlg::kListSelChange) return false;
    OnSelchangeReadList();
    return true;
  }
  if (notifyCode != dlg::kButtonClicked) return false;
  switch (id) {
    case IDC_OPEN_READER:
      OnOpenReader();
      return true;
    case IDC_FIND_CARD:
      OnFindCard();
      return true;
    case IDC_LOAD_KEY_A:
      OnLoadKeyA();
      return true;
    case IDC_LOAD_KEY_B:
      OnLoadKeyB();
      return true;
    case IDC_READ_CARD:
      OnReadCard();
      return true;
    case IDC_WRITE_CARD:
      OnWriteCard();
      return true;
    case IDM_DICTIONARY_READ:
      OnDictionaryRead();
      return true;
    case IDM_DICTIONARY_READ_FILE:
      OnDictionaryReadFile();
      return true;
    case IDM_SAVE_DUMP:
      OnSaveDump();
      return true;
    case IDM_SAVE_KEYS:
      OnSaveKeys();
      return true;
    case IDM_COPY_LINE:
      OnCopyLine();
      return true;
    case IDM_COPY_ALL:
      OnCopyAll();
      return true;
    case IDM_EXPLAIN_BLOCK:
      OnExplainBlock();
      return true;
    case IDM_WRITE_DUMP:
      OnWriteDump();
      return true;
    case IDM_COMPARE_CARD:
      OnCompareCard();
      return true;
    case IDM_COMPARE_DUMPS:
      OnCompareDumps();
      return true;
    default:
      return false;
  }
}

void CCardTestDlg::Shown::Status(const std::string& text) {
  dlg_.m_strStatus = text;
  dlg_.UpdateData(false);
}

void CCardTestDlg::Shown::Working(const std::string& text) {
  const auto now = std::chrono::steady_clock::now();
  if (now - shown_ < std::chrono::milliseconds(100)) {
    // Kept, so that the next show of the form has it.
    dlg_.m_strStatus = text;
    return;
  }
  shown_ = now;
  Status(text);
}

void CCardTestDlg::Shown::ReadLine(const std::string& text, LineKind kind, int sector, int block) {
  AppendLine(dlg_.m_lstRead, text, kind, sector, block);
}

void CCardTestDlg::Shown::WriteLine(const std::string& text, bool select) {
  dlg_.m_lstWrite.AddString(text);
  if (select) dlg_.m_lstWrite.SetCurSel(dlg_.m_lstWrite.GetCount() - 1);
}

bool CCardTestDlg::Shown::CancelAsked() { return dlg_.GetBackend() && dlg_.GetBackend()->KeepResponsive(); }
