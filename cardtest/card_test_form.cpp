#include "cardtest/card_test_form.h"

#include "res/resource.h"

void ExchangeCardTestForm(dlg::CDataExchange* pDX, CardTestForm& form) {
  dlg::DDX_Control(pDX, IDC_STATUS, form.m_ctlStatus);
  dlg::DDX_Control(pDX, IDC_CARD_TYPE, form.m_ctlCardType);
  dlg::DDX_Control(pDX, IDC_WRITE_LIST, form.m_lstWrite);
  dlg::DDX_Control(pDX, IDC_READ_LIST, form.m_lstRead);
  dlg::DDX_Text(pDX, IDC_ATQA, form.m_strAtqa);
  dlg::DDX_Text(pDX, IDC_ATS, form.m_strAts);
  dlg::DDX_Text(pDX, IDC_CSN, form.m_strCsn);
  dlg::DDX_Text(pDX, IDC_SAK, form.m_strSak);
  dlg::DDX_Text(pDX, IDC_STATUS, form.m_strStatus);
  dlg::DDX_Text(pDX, IDC_KEY, form.m_strKey);
  dlg::DDV_MaxChars(pDX, form.m_strKey, 12);
  dlg::DDX_Text(pDX, IDC_WRITE_BLOCK, form.m_nBlock);
  dlg::DDV_MinMaxInt(pDX, form.m_nBlock, 0, 3);
  dlg::DDX_Text(pDX, IDC_WRITE_SECTOR, form.m_nSector);
  dlg::DDV_MinMaxInt(pDX, form.m_nSector, 0, 15);
  dlg::DDX_Text(pDX, IDC_WRITE_DATA, form.m_strWriteData);
  dlg::DDV_MaxChars(pDX, form.m_strWriteData, 32);
  dlg::DDX_Text(pDX, IDC_BLOCK_DATA, form.m_strBlockData);
  dlg::DDX_Text(pDX, IDC_CARD_TYPE, form.m_strCardType);
}
