#include "pcsc/identity.h"

#include <algorithm>

namespace pcsc {

bool ValidUid(const Bytes& uid) {
  return uid.size() == 4 || uid.size() == 7 || uid.size() == 10;
}

std::optional<uint16_t> AtqaFromGetData(const Bytes& answer) {
  if (answer.size() != 2) return std::nullopt;
  return static_cast<uint16_t>(answer[0] | answer[1] << 8);
}

std::optional<uint8_t> SakFromGetData(const Bytes& answer) {
  if (answer.size() != 1) return std::nullopt;
  return answer[0];
}

bool WellFormedAts(const Bytes& ats) {
  return !ats.empty() && ats[0] == ats.size();
}

std::optional<Pn53xTarget> ParseInListPassiveTarget(const Bytes& answer) {
  // Asked for at most one target; zero means the field is empty.
  if (answer.size() < 3 || answer[0] != 0xD5 || answer[1] != 0x4B || answer[2] != 1)
    return std::nullopt;
  size_t at = 3;
  if (answer.size() < at + 5) return std::nullopt;
  Pn53xTarget target;
  target.atqa = static_cast<uint16_t>(answer[at + 1] << 8 | answer[at + 2]);
  target.sak = answer[at + 3];
  const size_t uidLength = answer[at + 4];
  at += 5;
  if (answer.size() < at + uidLength) return std::nullopt;
  target.uid.assign(answer.begin() + at, answer.begin() + at + uidLength);
  if (!ValidUid(target.uid)) return std::nullopt;
  at += uidLength;
  if (target.sak & 0x20) {
    if (at >= answer.size()) return std::nullopt;
    const size_t atsLength = answer[at];
    if (atsLength == 0 || answer.size() < at + atsLength) return std::nullopt;
    target.ats = Bytes(answer.begin() + at, answer.begin() + at + atsLength);
    at += atsLength;
  }
  if (at != answer.size()) return std::nullopt;
  return target;
}

namespace {

// The historical bytes of an ATR, found by walking its interface bytes.
std::optional<Bytes> HistoricalBytes(const Bytes& atr) {
  if (atr.size() < 2 || (atr[0] != 0x3B && atr[0] != 0x3F)) return std::nullopt;
  const size_t historical = atr[1] & 0x0F;
  size_t at = 2;
  uint8_t indicator = atr[1];
  bool checksum = false;
  for (;;) {
    const int present = (indicator & 0x10 ? 1 : 0) + (indicator & 0x20 ? 1 : 0) +
                        (indicator & 0x40 ? 1 : 0);
    const bool next = indicator & 0x80;
    at += present;
    if (!next) break;
    if (at >= atr.size()) return std::nullopt;
    indicator = atr[at++];
    if ((indicator & 0x0F) != 0) checksum = true;  // any protocol but T=0
  }
  if (atr.size() != at + historical + (checksum ? 1 : 0)) return std::nullopt;
  return Bytes(atr.begin() + at, atr.begin() + at + historical);
}

}  // namespace

std::optional<Derived> DeriveFromAtr(const Bytes& atr) {
  const auto historical = HistoricalBytes(atr);
  if (!historical) return std::nullopt;
  static const uint8_t kStorage[] = {0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06};
  const Bytes& h = *historical;
  if (h.size() >= 11 && std::equal(std::begin(kStorage), std::end(kStorage), h.begin())) {
    const int name = h[9] << 8 | h[10];
    switch (name) {
      case 0x0001:
        return Derived{0x0004, 0x08};
      case 0x0002:
        return Derived{0x0002, 0x18};
      case 0x0026:
        return Derived{0x0004, 0x09};
      default:
        return std::nullopt;  // a storage card this program does not test
    }
  }
  // 3B 8n 80 01 <historical> TCK: the contactless ATR built from an ATS.
  if (atr.size() >= 4 && (atr[1] & 0xF0) == 0x80 && atr[2] == 0x80 && atr[3] == 0x01)
    return Derived{0x0000, 0x20};
  return std::nullopt;
}

}  // namespace pcsc
