// Loading one key into the reader's key memory for every sector.
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/read_out.h"
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
  KeyLoad(m_link, m_shown).Run(keyMode, key);
}
