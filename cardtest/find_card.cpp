#include "cardtest/find_card.h"

#include <cstring>
#include <utility>

#include "cardtest/texts.h"
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

bool Failed(CardIdentity& shown, const char* message) {
  shown.status = message;
  return false;
}

}  // namespace

bool FindCard::Activate(Activation& a, const char* unknownFormat, CardIdentity& shown) {
  ReaderSession& reader = link_.Reader();
  link_.Activating();
  if (reader.Call(&ReaderApi::dc_reset, 10) != 0) return Failed(shown, "dc_reset卡片复位失败");
  if (reader.Call(&ReaderApi::dc_config_card, 'A') != 0) return Failed(shown, "dc_config_card设置卡片失败");
  if (reader.Call(&ReaderApi::dc_request, 1, &a.tagType) != 0) return Failed(shown, "dc_request获取ATQA失败");
  // Deliberately decimal in four digits, as testers know it: ATQA 0x0004
  // reads "0004", but 0x0044 reads "0068".
  shown.atqa = Format("%04d", static_cast<int>(a.tagType & 0xFFFF));
  shown.status = "获取ATQA成功";
  if (reader.Call(&ReaderApi::dc_anticoll, 0, &a.serial) != 0) return Failed(shown, "dc_anticoll获取CSN失败");
  shown.csn = SerialText(a.serial, &a.conversions);
  shown.status = "获取CSN成功";
  uint8_t sak = 0;
  if (reader.Call(&ReaderApi::dc_select, a.serial, &sak) != 0) return Failed(shown, "dc_select获取SAK失败");
  shown.sak = SakText(sak, &a.conversions);
  shown.status = "获取SAK成功";
  shown.type = CardType(sak, unknownFormat);
  link_.Selected(a.serial, sak);
  return true;
}

bool FindCard::Run(CardIdentity& shown) {
  // Tag type and serial are preset once: the second activation reuses them.
  Activation activation;
  uint8_t atsLength = 0;
  // Room for the longest ATS a card may send (254 bytes) as hex and a NUL.
  char ats[2 * 254 + 2];

  shown.status.clear();
  shown.type.clear();
  link_.StartFinding();
  // First activation and identification.
  // The first pass's unknown-type text has four spaces before "不识别" and
  // the second pass's none: users see which pass met the unknown SAK.
  if (!Activate(activation, "sak:%x    不识别", shown)) return false;

  // Asked whatever the SAK says: an M1-only card ends the command here.
  std::memset(ats, 0, sizeof ats);
  if (link_.Reader().Call(&ReaderApi::dc_pro_resethex, &atsLength, ats) != 0)
    return Failed(shown, "dc_pro_resethex获取ATS失败");
  ats[sizeof ats - 1] = '\0';
  shown.ats = ats;
  shown.status = "获取ATS成功";

  // The ISO 14443-4 activation would refuse the sector commands: a field
  // reset and a new selection bring the card back to level 3.
  return Activate(activation, "sak:%x不识别", shown);
}
