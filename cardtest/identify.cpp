// Opening the reader and identifying the card in its field.
#include "cardtest/card_test_dlg.h"
#include "cardtest/find_card.h"
#include "reader/session.h"

void CCardTestDlg::OnOpenReader() {
  if (m_reader.Open(100, 115200) > 0) {
    m_strStatus = "打开成功了";
  } else {
    m_strStatus = "读卡器打开失败了，自己找找问题哦";
    // Shown here and again below: a failed open shows the form twice, as
    // it always has; the second show changes nothing the user can see.
    UpdateData(false);
  }
  // Beeps even after a failed open, with the failed handle.
  m_reader.Call(&ReaderApi::dc_beep, 10);
  UpdateData(false);
}

void CCardTestDlg::OnFindCard() {
  CardIdentity shown{m_strAtqa, m_strCsn, m_strSak, m_strCardType, m_strAts, m_strStatus};
  FindCard(m_link).Run(shown);
  m_strAtqa = shown.atqa;
  m_strCsn = shown.csn;
  m_strSak = shown.sak;
  m_strCardType = shown.type;
  m_strAts = shown.ats;
  m_strStatus = shown.status;
  UpdateData(false);
}
