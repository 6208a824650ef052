#pragma once
// The data behind the card test window: every value a command reads or shows,
// the two line lists, and the key mode the sector commands authenticate with.
// Commands work on these fields and move them to and from the controls only
// through the exchange below.

#include <string>

#include "cardtest/key_mode.h"
#include "dialog/controls.h"
#include "dialog/dialog.h"

struct CardTestForm {
  dlg::CStatic m_ctlStatus;
  dlg::CStatic m_ctlCardType;
  dlg::CListBox m_lstWrite;
  dlg::CListBox m_lstRead;

  std::string m_strAtqa;
  std::string m_strAts;
  std::string m_strCsn;
  std::string m_strSak;
  std::string m_strStatus;
  std::string m_strKey = "FFFFFFFFFFFF";
  int m_nBlock = 1;
  int m_nSector = 0;
  std::string m_strWriteData = "00000000000000000000000000000000";
  std::string m_strBlockData;
  std::string m_strCardType;

  // Never exchanged: only key loading sets it.
  int m_nKeyMode = kKeyModeA;
};

// One routine for both directions, visiting the bindings in a fixed order;
// a failed collect leaves every field after the failing one as it was.
void ExchangeCardTestForm(dlg::CDataExchange* pDX, CardTestForm& form);
