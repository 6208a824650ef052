// Writing one block from the 32 hex digits typed into the form.
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/mifare.h"
#include "cardtest/read_out.h"
#include "cardtest/texts.h"
#include "txtconv/txtconv.h"

void CCardTestDlg::OnWriteCard() {
  char data[33];
  std::memset(data, 0, sizeof data);

  // After a failed collect the fields past the failing one are stale: writing
  // them could put old data into a block the user did not name.
  if (!UpdateData(true)) return;
  std::memcpy(data, m_strWriteData.data(), m_strWriteData.size() < 32 ? m_strWriteData.size() : 32);
  m_lstWrite.ResetContent();

  if (!IsHexDigits(m_strWriteData, 32)) {
    m_strStatus = "写入数据必须是32位十六进制数字";
    UpdateData(false);
    return;
  }
  if (m_nSector == 0 && m_nBlock == 0) {
    uint8_t block0[16];
    HexToBytes(data, block0, 32);
    if (!Block0BccValid(block0)) {
      m_strStatus = "扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡";
      UpdateData(false);
      return;
    }
  }
  if (m_nBlock == kTrailerBlock) {
    uint8_t trailer[16];
    HexToBytes(data, trailer, 32);
    if (!TrailerAccessBitsValid(trailer)) {
      m_strStatus = Format("扇区[%02d]控制位格式错误，写入会永久锁死该扇区", m_nSector);
      UpdateData(false);
      return;
    }
  }

  if (BlockWrite(m_link, m_shown).Run(m_nSector, m_nBlock, m_nKeyMode, data)) UpdateData(false);
}
