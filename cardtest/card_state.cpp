// The card's side of the sector commands: a MIFARE Classic card that refuses
// an authentication, a read or a write falls back to idle, and stays deaf
// until it is activated again. The commands go through these steps so that
// one refusal costs one block or one sector, not everything after it.
#include <cstdint>

#include "cardtest/card_test_dlg.h"
#include "reader/reader.h"

bool CCardTestDlg::Authenticate(int sector) {
  int16_t status =
      Reader().dc_authentication(g_hReader, static_cast<uint8_t>(m_nKeyMode), static_cast<uint8_t>(sector));
  ReaderPause();
  if (status != 0) m_bCardIdle = true;
  return status == 0;
}

bool CCardTestDlg::ReadBlock(int address, char* hex) {
  int16_t status = Reader().dc_read_hex(g_hReader, static_cast<uint8_t>(address), hex);
  ReaderPause();
  if (status != 0) m_bCardIdle = true;
  return status == 0;
}

bool CCardTestDlg::WakeCardIfIdle() {
  if (!m_bCardIdle) return true;
  const ReaderApi& reader = Reader();
  uint32_t tagType = 0;
  uint32_t serial = 0;
  uint8_t sak = 0;
  // Without a card found there is nothing to compare an answer with.
  bool awake = m_bCardFound;
  // WUPA, as find card sends it: an idle card answers it as well as REQA.
  if (awake) {
    awake = reader.dc_request(g_hReader, 1, &tagType) == 0;
    ReaderPause();
  }
  if (awake) {
    awake = reader.dc_anticoll(g_hReader, 0, &serial) == 0;
    ReaderPause();
  }
  // Never select another card: the keys and the write target were meant
  // for the one the user found.
  if (awake) awake = serial == m_nFoundSerial;
  if (awake) {
    awake = reader.dc_select(g_hReader, serial, &sak) == 0;
    ReaderPause();
  }
  if (!awake) {
    m_strStatus = "卡片已更换或已离开，请重新寻卡";
    UpdateData(false);
    return false;
  }
  m_bCardIdle = false;
  return true;
}
