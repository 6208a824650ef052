// Reading every sector into the read list, and turning a selected line back
// into a write target.
#include <cstdint>
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/mifare.h"
#include "cardtest/read_list.h"
#include "cardtest/texts.h"
#include "cards/access.h"
#include "txtconv/txtconv.h"


void CCardTestDlg::OnReadCard() {
  m_lstRead.ResetContent();
  m_image = CardImage();
  m_image.uid = m_strCsn;
  for (int sector = 0; sector < kSectors; ++sector)
    if (!ReadSector(sector)) break;
  OnSelchangeReadList();
}

void CCardTestDlg::NoteBlock(int address, const char* hex) {
  const int sector = address / kBlocksPerSector;
  uint8_t* block = m_image.blocks[address].data();
  if (!HexToBytes(hex, block, 32)) return;
  m_image.read[address] = true;
  // The key that opened the sector, when it is the one the reader was given.
  if (m_sectorKeyLoaded[sector] && m_sectorKeyMode[sector] == KeyModeOf(sector)) {
    if (KeyModeOf(sector) == kKeyModeA) {
      m_image.keyA[sector] = m_sectorKey[sector];
      m_image.keyAKnown[sector] = true;
    } else {
      m_image.keyB[sector] = m_sectorKey[sector];
      m_image.keyBKnown[sector] = true;
    }
  }
  // Where key A may read key B, the trailer holds it as it is.
  int conditions[4];
  if (address % kBlocksPerSector == kTrailerBlock && KeyModeOf(sector) == kKeyModeA &&
      DecodeAccessBits(block, conditions) && KeyBReadable(conditions[kTrailerBlock])) {
    m_image.keyB[sector] = KeyFromBytes(block + 10);
    m_image.keyBKnown[sector] = true;
  }
}

bool CCardTestDlg::ReadSector(int sector) {
  char data[33];
  std::memset(data, 0, sizeof data);
  const int keyMode = KeyModeOf(sector);
  const char letter = KeyLetter(keyMode);

  if (!WakeCardIfIdle()) return false;
  if (!Authenticate(sector, keyMode)) {
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
      read = Authenticate(sector, keyMode);
    }
    if (!read || !ReadBlock(BlockAddress(sector, block), data)) {
      m_strStatus = Format("读扇区[%02d]第[%d]块失败！", sector, block);
      AppendLine(m_lstRead, m_strStatus, kBlockLine, sector, block);
      UpdateData(false);
      continue;
    }
    data[32] = '\0';
    NoteBlock(BlockAddress(sector, block), data);
    AppendLine(m_lstRead, Format("块[%d]:%s", block, data), kBlockLine, sector, block);
  }
  return true;
}

void CCardTestDlg::OnSelchangeReadList() {
  const int index = m_lstRead.GetCurSel();
  if (index < 0) return;
  const intptr_t line = m_lstRead.GetItemData(index);
  const int kind = LineKindOf(line);
  if (kind == 0) return;
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
