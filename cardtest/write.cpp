// Writing one block from the 32 hex digits typed into the form.
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/mifare.h"
#include "cardtest/texts.h"
#include "reader/session.h"
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

  // After a dictionary read each sector has its own key and key type.
  const int keyMode = KeyModeOf(m_nSector);
  const char letter = KeyLetter(keyMode);
  if (!WakeCardIfIdle()) return;
  if (!Authenticate(m_nSector, keyMode)) {
    m_strStatus = Format("扇区[%02d]:校验密码[%c]失败！", m_nSector, letter);
    UpdateData(false);
    return;
  }
  m_lstWrite.AddString(Format("扇区[%02d]:校验密码[%c]成功！", m_nSector, letter));
  m_lstWrite.SetCurSel(m_lstWrite.GetCount() - 1);

  const int16_t status = m_reader.Call(&ReaderApi::dc_write_hex, BlockAddress(m_nSector, m_nBlock), data);
  if (status != 0) {
    m_bCardIdle = true;
    m_strStatus = Format("写扇区[%02d]第[%d]块失败！", m_nSector, m_nBlock);
    m_lstWrite.AddString(m_strStatus);
  } else {
    m_lstWrite.AddString(Format("扇区[%02d],块[%d]:写卡成功  %s", m_nSector, m_nBlock, data));
    m_lstWrite.SetCurSel(m_lstWrite.GetCount() - 1);
  }
  UpdateData(false);
}
