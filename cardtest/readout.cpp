// Reading every sector into the read list, and turning a selected line back
// into a write target.
#include <cstdint>
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/mifare.h"
#include "cardtest/texts.h"

namespace {

// Each read-list line carries what it reports as item data, so a selection
// finds its sector and block even when an earlier sector failed and took one
// line instead of five. Kind 0 never occurs: a line without data is no line
// of ours.
enum LineKind { kAuthOk = 1, kAuthFailed = 2, kBlockLine = 3 };

intptr_t LineData(LineKind kind, int sector, int block) {
  return static_cast<intptr_t>(kind) << 8 | BlockAddress(sector, block);
}

void AppendLine(dlg::CListBox& list, const std::string& text, LineKind kind, int sector, int block) {
  int index = list.AddString(text);
  list.SetItemData(index, LineData(kind, sector, block));
  list.SetCurSel(list.GetCount() - 1);
}

}  // namespace

void CCardTestDlg::OnReadCard() {
  const char letter = KeyLetter(m_nKeyMode);
  m_lstRead.ResetContent();
  for (int sector = 0; sector < kSectors; ++sector)
    if (!ReadSector(sector, letter)) break;
  OnSelchangeReadList();
}

bool CCardTestDlg::ReadSector(int sector, char letter) {
  char data[33];
  std::memset(data, 0, sizeof data);

  if (!WakeCardIfIdle()) return false;
  if (!Authenticate(sector)) {
    m_strStatus = Format("扇区[%02d]:校验密码[%c]失败！", sector, letter);
    AppendLine(m_lstRead, m_strStatus, kAuthFailed, sector, 0);
    UpdateData(false);
    return true;
  }
  AppendLine(m_lstRead, Format("扇区[%02d]:校验密码[%c]成功！", sector, letter), kAuthOk, sector, 0);
  for (int block = 0; block < kBlocksPerSector; ++block) {
    // A block the key may not read leaves the card idle: the sector's other
    // blocks need the card back and the sector authenticated again.
    bool read = true;
    if (m_bCardIdle) {
      if (!WakeCardIfIdle()) return false;
      read = Authenticate(sector);
    }
    if (!read || !ReadBlock(BlockAddress(sector, block), data)) {
      m_strStatus = Format("读扇区[%02d]第[%d]块失败！", sector, block);
      AppendLine(m_lstRead, m_strStatus, kBlockLine, sector, block);
      UpdateData(false);
      continue;
    }
    data[32] = '\0';
    AppendLine(m_lstRead, Format("块[%d]:%s", block, data), kBlockLine, sector, block);
  }
  return true;
}

void CCardTestDlg::OnSelchangeReadList() {
  const int index = m_lstRead.GetCurSel();
  if (index < 0) return;
  const intptr_t line = m_lstRead.GetItemData(index);
  const int kind = static_cast<int>(line >> 8);
  if (kind != kAuthOk && kind != kAuthFailed && kind != kBlockLine) return;
  // Fields after a failed validation would hold stale values; showing them
  // would throw away what the user typed.
  if (!UpdateData(true)) return;

  const int address = static_cast<int>(line & 0xFF);
  m_nSector = address / kBlocksPerSector;
  m_nBlock = address % kBlocksPerSector;
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
