#include "cards/mad.h"

#include <cstdio>

namespace {

std::string Hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
  return text;
}

Mad Decode(const uint8_t* bytes, size_t size, int firstSector) {
  Mad mad;
  mad.firstSector = firstSector;
  mad.crcOnCard = bytes[0];
  // The CRC covers everything after itself: the info byte and the AIDs.
  mad.crcComputed = MadCrc(bytes + 1, size - 1);
  mad.publisherSector = bytes[1] & 0x3F;
  for (size_t i = 2; i + 1 < size; i += 2)
    mad.aids.push_back(static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8));
  return mad;
}

}  // namespace

uint8_t MadCrc(const uint8_t* bytes, size_t size) {
  uint8_t crc = 0xC7;
  for (size_t i = 0; i < size; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x1D : crc << 1);
  }
  return crc;
}

bool Mad::AidOf(int sector, uint16_t* aid) const {
  const int index = sector - firstSector;
  if (index < 0 || index >= static_cast<int>(aids.size())) return false;
  *aid = aids[static_cast<size_t>(index)];
  return true;
}

Mad DecodeMad1(const uint8_t bytes[32]) { return Decode(bytes, 32, 1); }
Mad DecodeMad2(const uint8_t bytes[48]) { return Decode(bytes, 48, 17); }

std::string AidText(uint16_t aid) {
  static const char* const kAdministration[] = {"空闲", "损坏", "保留", "附加目录信息", "持卡人信息", "不适用"};
  char number[8];
  std::snprintf(number, sizeof number, "0x%04X", aid);
  if (aid < 6) return std::string(number) + " " + kAdministration[aid];
  if (aid == kAidNdef) return std::string(number) + " NDEF";
  return number;
}

std::vector<std::string> MadLines(const Mad& mad, int version) {
  std::vector<std::string> lines;
  const int last = mad.firstSector + static_cast<int>(mad.aids.size()) - 1;
  char title[96];
  std::snprintf(title, sizeof title, "MAD%d（应用目录，扇区[%02d]-[%02d]）：", version, mad.firstSector, last);
  lines.push_back(title + (mad.CrcCorrect() ? std::string("CRC 正确")
                                            : "CRC 错误（卡上 " + Hex2(mad.crcOnCard) + ", 应为 " +
                                                  Hex2(mad.crcComputed) + "）"));
  lines.push_back(mad.publisherSector == 0 ? std::string("发卡方信息扇区：无")
                                           : "发卡方信息扇区：扇区[" + std::string(mad.publisherSector < 10 ? "0" : "") +
                                                 std::to_string(mad.publisherSector) + "]");
  for (size_t i = 0; i < mad.aids.size(); ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "扇区[%02d]：", mad.firstSector + static_cast<int>(i));
    lines.push_back(line + AidText(mad.aids[i]));
  }
  return lines;
}
