#include "pcsc/key_form.h"

#include <algorithm>
#include <cctype>

namespace pcsc {

namespace {

constexpr KeyForm kFixedOrder[] = {KeyForm::Acs, KeyForm::Session, KeyForm::Scm, KeyForm::Omnikey};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Mentions(const std::string& lowerName, std::initializer_list<const char*> words) {
  for (const char* word : words)
    if (lowerName.find(word) != std::string::npos) return true;
  return false;
}

// What a reader's name says of its family, if anything.
std::optional<KeyForm> SuggestedBy(const std::string& readerName) {
  const std::string name = Lower(readerName);
  if (Mentions(name, {"omnikey"})) return KeyForm::Omnikey;
  if (Mentions(name, {"acr1281"})) return KeyForm::Session;
  if (Mentions(name, {"scm ", "scl3711", "identiv", "utrust"})) return KeyForm::Scm;
  if (Mentions(name, {"acr122", "acr1252", "feitian", "r502"})) return KeyForm::Acs;
  return std::nullopt;
}

}  // namespace

const char* KeyFormName(KeyForm form) {
  switch (form) {
    case KeyForm::Acs: return "acs";
    case KeyForm::Session: return "session";
    case KeyForm::Scm: return "scm";
    case KeyForm::Omnikey: return "omnikey";
  }
  return "?";
}

std::optional<KeyForm> KeyFormNamed(const std::string& name) {
  for (KeyForm form : kFixedOrder)
    if (Lower(name) == KeyFormName(form)) return form;
  return std::nullopt;
}

bool NonVolatile(KeyForm form) { return form == KeyForm::Omnikey; }

std::vector<KeyForm> ProbeOrder(const std::string& readerName) {
  std::vector<KeyForm> order(std::begin(kFixedOrder), std::end(kFixedOrder));
  if (const auto first = SuggestedBy(readerName)) {
    order.erase(std::find(order.begin(), order.end(), *first));
    order.insert(order.begin(), *first);
  }
  return order;
}

std::vector<KeySlot> SlotsFor(KeyForm form, uint8_t keyType) {
  switch (form) {
    case KeyForm::Acs:
      return {{0x00, 0x00, 0x00}, {0x00, 0x01, 0x01}};
    case KeyForm::Session:
      return {{0x00, 0x20, 0x20}};
    case KeyForm::Scm:
      return {{0x00, keyType, keyType}};
    case KeyForm::Omnikey: {
      // Every slot the reader has: a key once written stays there, so a
      // few keys used in turn never wear the same cell.
      std::vector<KeySlot> slots;
      for (uint8_t slot = 0; slot < 0x20; ++slot) slots.push_back({0x20, slot, slot});
      return slots;
    }
  }
  return {};
}

Bytes LoadKeysCommand(const KeySlot& slot, const dcrf32::Key& key) {
  Bytes command(5 + key.size());
  const uint8_t header[] = {0xFF, 0x82, slot.p1, slot.p2, 0x06};
  std::copy(std::begin(header), std::end(header), command.begin());
  std::copy(key.begin(), key.end(), command.begin() + 5);
  return command;
}

Bytes GeneralAuthenticateCommand(uint8_t block, uint8_t keyType, const KeySlot& slot) {
  return {0xFF, 0x86, 0x00, 0x00, 0x05, 0x01, 0x00, block, keyType, slot.number};
}

}  // namespace pcsc
