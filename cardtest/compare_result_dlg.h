#pragma once
// The compare's result: its lines in a list box, "复制全部" to put them on
// the clipboard, "关闭" (and Enter, Esc, the close box) to end it.

#include <string>
#include <vector>

#include "dialog/dialog.h"
#include "res/resource.h"

class CCompareResultDlg : public dlg::CDialog {
 public:
  CCompareResultDlg() : dlg::CDialog(IDD_COMPARE_RESULT) {}

  std::vector<std::string> m_lines;

  bool OnInitDialog() override {
    dlg::CDialog::OnInitDialog();
    m_lstResult.ResetContent();
    for (const std::string& line : m_lines) m_lstResult.AddString(line);
    return true;
  }

  bool OnCommand(int id, int notifyCode) override {
    if (id != IDC_COMPARE_COPY || notifyCode != dlg::kButtonClicked) return false;
    std::string text;
    for (const std::string& line : m_lines) text += line + "\n";
    if (GetBackend()->SetClipboardText(text)) {
      m_strCopied = "已复制全部 " + std::to_string(m_lines.size()) + " 行";
    } else {
      m_strCopied.clear();
      MessageBox("剪贴板正被其它程序占用，没有复制", "", dlg::kMbOk | dlg::kMbIconExclamation);
    }
    UpdateData(false);
    return true;
  }

 protected:
  void DoDataExchange(dlg::CDataExchange* pDX) override {
    dlg::DDX_Control(pDX, IDC_COMPARE_LIST, m_lstResult);
    dlg::DDX_Text(pDX, IDC_COMPARE_COPIED, m_strCopied);
  }

 private:
  dlg::CListBox m_lstResult;
  std::string m_strCopied;
};
