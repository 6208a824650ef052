// The dictionary read's commands: the built-in keys, or a key file's.
#include "cardtest/card_test_dlg.h"
#include "cardtest/dictionary_read.h"
#include "cardtest/texts.h"
#include "dialog/file.h"

void CCardTestDlg::OnDictionaryRead() {
  if (!CardCommandStarts("请先打开读卡器并寻卡，再用字典读取")) return;
  Key typed = 0;
  const bool typedValid = ParseKey(m_strKey, &typed);
  DictionaryRead(KeyList(typedValid ? &typed : nullptr, BuiltInKeys()));
}

void CCardTestDlg::OnDictionaryReadFile() {
  if (!CardCommandStarts("请先打开读卡器并寻卡，再用字典读取")) return;
  dlg::FileRequest request;
  request.title = "选择密钥文件";
  request.filters = {{"密钥文件 (*.keys;*.dic;*.txt)", "*.keys;*.dic;*.txt"}, {"所有文件 (*.*)", "*.*"}};
  if (!GetBackend()->AskFile(request)) return;
  std::string text, error;
  if (!dlg::ReadWholeFile(request.path, &text, &error)) {
    MessageBox("无法读取密钥文件 " + request.path + "：" + error, "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  std::vector<Key> keys;
  int badLine = 0;
  if (!ParseKeyFile(text, &keys, &badLine)) {
    MessageBox(badLine == 0                    ? "密钥文件中没有密钥，未读卡"
               : badLine == kKeyFileCrLineEnds ? "密钥文件的行尾只有CR（回车），请另存为LF或CR LF行尾，整个文件未使用，未读卡"
                                               : Format("密钥文件第%d行不是12位十六进制的密钥，整个文件未使用，未读卡", badLine),
               "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  DictionaryRead(KeyList(nullptr, keys));
}

bool CCardTestDlg::CardCommandStarts(const char* noCard) {
  if (!m_link.Found()) {
    MessageBox(noCard, "", dlg::kMbOk | dlg::kMbIconExclamation);
    return false;
  }
  if (!SizeOfSak(m_link.Sak()).classic) {
    MessageBox(Format("这张卡的SAK是%02X，不是MIFARE Classic卡，没有可读写的扇区", m_link.Sak()), "",
               dlg::kMbOk | dlg::kMbIconExclamation);
    return false;
  }
  // A failed collect has told the user already.
  return UpdateData(true);
}

void CCardTestDlg::NoteUnknownSize() {
  if (SizeOfSak(m_link.Sak()).known) return;
  m_strStatus += "（未知容量，按1K处理）";
  UpdateData(false);
}

void CCardTestDlg::DictionaryRead(const std::vector<Key>& keys) {
  m_lstRead.ResetContent();
  ::DictionaryRead(m_link, m_shown, keys).Run(m_strCsn, SizeOfSak(m_link.Sak()).size, m_image);
  NoteUnknownSize();
  // The status was shown before the selection fills the write form, which
  // collects the form first.
  OnSelchangeReadList();
}
