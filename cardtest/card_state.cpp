// The card's side of the sector commands: a MIFARE Classic card that refuses
// an authentication, a read or a write falls back to idle, and stays deaf
// until it is activated again. The commands go through these steps so that
// one refusal costs one block or one sector, not everything after it.
#include <cstdint>

#include "cardtest/card_test_dlg.h"
#include "reader/session.h"

bool CCardTestDlg::Authenticate(int sector, int keyMode) {
  const int16_t status = m_reader.Call(&ReaderApi::dc_authentication, keyMode, sector);
  if (status != 0) m_bCardIdle = true;
  return status == 0;
}

bool CCardTestDlg::ReadBlock(int address, char* hex) {
  const int16_t status = m_reader.Call(&ReaderApi::dc_read_hex, address, hex);
  if (status != 0) m_bCardIdle = true;
  return status == 0;
}

bool CCardTestDlg::WakeCardIfIdle() {
  if (!m_bCardIdle) return true;
  uint32_t tagType = 0;
  uint32_t serial = 0;
  uint8_t sak = 0;
  // Without a card found there is nothing to compare an answer with.
  bool awake = m_bCardFound;
  // WUPA, as find card sends it: an idle card answers it as well as REQA.
  if (awake) {
    awake = m_reader.Call(&ReaderApi::dc_request, 1, &tagType) == 0;
  }
  if (awake) {
    awake = m_reader.Call(&ReaderApi::dc_anticoll, 0, &serial) == 0;
  }
  // Never select another card: the keys and the write target were meant
  // for the one the user found.
  if (awake) awake = serial == m_nFoundSerial;
  if (awake) {
    awake = m_reader.Call(&ReaderApi::dc_select, serial, &sak) == 0;
  }
  if (!awake) {
    m_strStatus = "卡片已更换或已离开，请重新寻卡";
    UpdateData(false);
    return false;
  }
  m_bCardIdle = false;
  return true;
}
