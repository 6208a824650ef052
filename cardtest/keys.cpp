// Loading one key into the reader's key memory for every sector.
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/mifare.h"
#include "cardtest/texts.h"
#include "reader/session.h"
#include "txtconv/txtconv.h"

void CCardTestDlg::OnLoadKeyA() { LoadKey(kKeyModeA); }

void CCardTestDlg::OnLoadKeyB() { LoadKey(kKeyModeB); }

void CCardTestDlg::LoadKey(int keyMode) {
  uint8_t key[8];
  std::memset(key, 0, sizeof key);

  // A failed collect has told the user already; loading stale or half-typed
  // fields would load a key nobody asked for.
  if (!UpdateData(true)) return;
  if (dlg::TextLength(m_strKey) < 12) {
    MessageBox("密钥长度不够6字节", "", dlg::kMbOk);
    return;
  }
  // Checked before the key mode switches, so a refused key changes nothing.
  if (!HexToBytes(m_strKey.c_str(), key, 12)) {
    MessageBox("密钥必须是12位十六进制数字", "", dlg::kMbOk);
    return;
  }
  m_nKeyMode = keyMode;
  m_bPerSectorKeys = false;
  const Key loaded = KeyFromBytes(key);

  const char letter = KeyLetter(keyMode);
  for (int sector = 0; sector < kSectors; ++sector) {
    const int16_t status = m_reader.Call(&ReaderApi::dc_load_key, m_nKeyMode, sector, key);
    if (status != 0) {
      m_strStatus = Format("装载第%d扇区%c密钥失败", sector, letter);
      UpdateData(false);
      return;
    }
    m_sectorKeyMode[sector] = keyMode;
    m_sectorKey[sector] = loaded;
    m_sectorKeyLoaded[sector] = true;
  }
  m_strStatus = Format("装载%c密钥成功", letter);
  UpdateData(false);
  m_reader.Call(&ReaderApi::dc_beep, 10);
}
