// Opening the reader and identifying the card in its field.
#include <cstring>
#include <utility>

#include "cardtest/card_test_dlg.h"
#include "cardtest/texts.h"
#include "reader/session.h"
#include "txtconv/txtconv.h"

namespace {

// UIntToHex writes the most significant byte first, but a card sends its
// UID lowest byte first: the CSN reads in the card's own byte order.
std::string SerialText(uint32_t serial, uint32_t* conversions) {
  char text[9];
  std::memset(text, 0, sizeof text);
  UIntToHex(text, serial, conversions);
  std::swap(text[0], text[6]);
  std::swap(text[1], text[7]);
  std::swap(text[2], text[4]);
  std::swap(text[3], text[5]);
  return text;
}

// The SAK is one byte: its two digits, not UIntToHex's eight, of which the
// SAK field would show only the six leading zeros.
std::string SakText(uint8_t sak, uint32_t* conversions) {
  char text[9];
  std::memset(text, 0, sizeof text);
  UIntToHex(text, sak, conversions);
  return std::string(text + 6, 2);
}

std::string CardType(uint8_t sak, const char* unknownFormat) {
  switch (sak) {
    case 0x08:
      return "纯M1卡";
    case 0x20:
      return "纯CPU卡";
    case 0x28:
      return "CPU+M1复合卡";
    default:
      return Format(unknownFormat, static_cast<unsigned>(sak));
  }
}

}  // namespace

void CCardTestDlg::OnOpenReader() {
  if (m_reader.Open(100, 115200) > 0) {
    m_strStatus = "打开成功了";
  } else {
    m_strStatus = "读卡器打开失败了，自己找找问题哦";
    // Shown here and again below: a failed open shows the form twice, as
    // it always has; the second show changes nothing the user can see.
    UpdateData(false);
  }
  // Beeps even after a failed open, with the failed handle.
  m_reader.Call(&ReaderApi::dc_beep, 10);
  UpdateData(false);
}

bool CCardTestDlg::ActivateCard(Activation& a, const char* unknownFormat) {
  // Until the select below, the card is in no state to authenticate.
  m_bCardIdle = true;
  if (m_reader.Call(&ReaderApi::dc_reset, 10) != 0) return FindCardFailed("dc_reset卡片复位失败");
  if (m_reader.Call(&ReaderApi::dc_config_card, 'A') != 0) return FindCardFailed("dc_config_card设置卡片失败");
  if (m_reader.Call(&ReaderApi::dc_request, 1, &a.tagType) != 0) return FindCardFailed("dc_request获取ATQA失败");
  // Deliberately decimal in four digits, as testers know it: ATQA 0x0004
  // reads "0004", but 0x0044 reads "0068".
  m_strAtqa = Format("%04d", static_cast<int>(a.tagType & 0xFFFF));
  m_strStatus = "获取ATQA成功";
  if (m_reader.Call(&ReaderApi::dc_anticoll, 0, &a.serial) != 0) return FindCardFailed("dc_anticoll获取CSN失败");
  m_strCsn = SerialText(a.serial, &a.conversions);
  m_strStatus = "获取CSN成功";
  uint8_t sak = 0;
  if (m_reader.Call(&ReaderApi::dc_select, a.serial, &sak) != 0) return FindCardFailed("dc_select获取SAK失败");
  m_strSak = SakText(sak, &a.conversions);
  m_strStatus = "获取SAK成功";
  m_strCardType = CardType(sak, unknownFormat);
  m_bCardFound = true;
  m_nFoundSerial = a.serial;
  m_bCardIdle = false;
  return true;
}

bool CCardTestDlg::FindCardFailed(const char* message) {
  m_strStatus = message;
  UpdateData(false);
  return false;
}

void CCardTestDlg::OnFindCard() {
  // Tag type and serial are preset once: the second activation reuses them.
  Activation activation;
  uint8_t atsLength = 0;
  // Room for the longest ATS a card may send (254 bytes) as hex and a NUL.
  char ats[2 * 254 + 2];

  m_strStatus.clear();
  m_strCardType.clear();
  m_bCardFound = false;

  // First activation and identification.
  // The first pass's unknown-type text has four spaces before "不识别" and
  // the second pass's none: users see which pass met the unknown SAK.
  if (!ActivateCard(activation, "sak:%x    不识别")) return;

  // Asked whatever the SAK says: an M1-only card ends the command here.
  std::memset(ats, 0, sizeof ats);
  if (m_reader.Call(&ReaderApi::dc_pro_resethex, &atsLength, ats) != 0) {
    FindCardFailed("dc_pro_resethex获取ATS失败");
    return;
  }
  ats[sizeof ats - 1] = '\0';
  m_strAts = ats;
  m_strStatus = "获取ATS成功";

  // The ISO 14443-4 activation would refuse the sector commands: a field
  // reset and a new selection bring the card back to level 3.
  if (!ActivateCard(activation, "sak:%x不识别")) return;

  UpdateData(false);
}
