// Reading every sector into the read list, and turning a selected line back
// into a write target.
#include <cstdint>

#include "cardtest/card_test_dlg.h"
#include "cardtest/read_list.h"
#include "cardtest/read_out.h"
#include "cardtest/texts.h"


void CCardTestDlg::OnReadCard() {
  m_lstRead.ResetContent();
  ReadOut(m_link, m_shown, m_nKeyMode).Run(m_strCsn, m_image);
  OnSelchangeReadList();
}

void CCardTestDlg::OnSelchangeReadList() {
  const int index = m_lstRead.GetCurSel();
  if (index < 0) return;
  const intptr_t line = m_lstRead.GetItemData(index);
  const int kind = LineKindOf(line);
  if (kind == 0) return;
  // The write form takes a 1K card's sectors: a line of a 4K card's later
  // sectors leaves it as it is.
  if (LineSectorOf(line) >= kSectors) return;
  // Fields after a failed validation would hold stale values; showing them
  // would throw away what the user typed.
  if (!UpdateData(true)) return;

  m_nSector = LineSectorOf(line);
  m_nBlock = LineBlockOf(line);
  std::string text = m_lstRead.GetText(index);
  switch (kind) {
    case kAuthOk:
      // The sector's first block line follows its authentication line.
      if (index + 1 < m_lstRead.GetCount()) text = m_lstRead.GetText(index + 1);
      m_strBlockData = LastChars(text, 32);
      break;
    case kAuthFailed:
      m_strBlockData = text;
      break;
    default:
      // A data line ends in the block's 32 digits; a read-failure message is
      // shorter and comes whole.
      m_strBlockData = LastChars(text, 32);
      break;
  }
  UpdateData(false);
}
