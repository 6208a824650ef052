#include "pcsc/trace.h"

#include "pcsc/support.h"

namespace pcsc {

namespace {

// CLA FF INS 82: the PC/SC pseudo-APDU that hands the reader a key.
bool IsLoadKeys(const uint8_t* command, size_t length) {
  return length >= 2 && command[0] == 0xFF && command[1] == 0x82;
}

// READ BINARY (B0) or UPDATE BINARY (D6) of a sector trailer, whose bytes
// 0-5 and 10-15 are key A and key B.
bool IsTrailerAccess(const uint8_t* command, size_t length, uint8_t instruction) {
  return length >= 5 && command[0] == 0xFF && command[1] == instruction && command[2] == 0x00 &&
         IsTrailerBlock(command[3]);
}

// A whole trailer: its access bytes shown, its keys not.
std::string MaskedBlock(const uint8_t* block) {
  return "************" + ToHex(block + 6, 4) + "************";
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

// MIFARE Classic 1K and the first 32 sectors of a 4K card have four blocks
// a sector; the 4K card's last eight sectors have sixteen.
bool IsTrailerBlock(uint8_t block) { return block < 128 ? block % 4 == 3 : block % 16 == 15; }

std::string Trace::ShownCommand(const uint8_t* command, size_t length) {
  // Header and length byte as they are; everything after them is the key.
  if (IsLoadKeys(command, length) && length > 5)
    return ToHex(command, 5) + std::string(2 * (length - 5), '*');
  // Where the keys sit in a trailer of any other length is anyone's guess:
  // none of it is shown.
  if (IsTrailerAccess(command, length, 0xD6) && length > 5)
    return ToHex(command, 5) +
           (length == 21 ? MaskedBlock(command + 5) : std::string(2 * (length - 5), '*'));
  return ToHex(command, length);
}

std::string Trace::ShownAnswer(const uint8_t* command, size_t commandLength,
                               const uint8_t* answer, size_t answerLength) {
  // Two bytes are the status word alone; 18 a trailer and its status word.
  // A short or oversized answer may hold keys anywhere.
  if (IsTrailerAccess(command, commandLength, 0xB0) && answerLength != 2)
    return answerLength == 18 ? MaskedBlock(answer) + ToHex(answer + 16, 2)
                              : std::string(2 * answerLength, '*');
  return ToHex(answer, answerLength);
}

std::string Trace::ShownBlockText(uint8_t block, const std::string& text) {
  if (!IsTrailerBlock(block)) return text;
  // Exactly 32 hex digits are a block whose key fields are known; any other
  // text (cut short, "0x" in front, spaces between bytes) is shown as
  // asterisks, one for each character.
  bool block32 = text.size() == 32;
  for (char c : text) block32 = block32 && IsHexDigit(c);
  if (!block32) return std::string(text.size(), '*');
  std::string shown = text;
  shown.replace(0, 12, 12, '*');
  shown.replace(20, 12, 12, '*');
  return shown;
}

void Trace::Call(Clock::time_point start, const char* function, const std::string& arguments,
                 long result) {
  Line(start, function, arguments, std::to_string(result));
}

void Trace::Apdu(Clock::time_point start, const uint8_t* command, size_t commandLength,
                 const uint8_t* answer, size_t answerLength, long error) {
  if (!enabled()) return;
  const auto took = Clock::now() - start;
  char code[32];
  std::snprintf(code, sizeof code, "SCARD:0x%08lX", static_cast<unsigned long>(error) & 0xFFFFFFFFul);
  const std::string shownAnswer =
      error == 0 ? ShownAnswer(command, commandLength, answer, answerLength) : std::string(code);
  Line(start, "apdu", ShownCommand(command, commandLength) + "," + shownAnswer,
       FormatMilliseconds(took));
}

void Trace::SCard(Clock::time_point start, const char* function, const std::string& arguments,
                  long result) {
  if (!enabled()) return;
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result) & 0xFFFFFFFFul);
  Line(start, function, OneField(arguments), code);
}

void Trace::Waited(Clock::time_point at, Clock::time_point start, const char* function,
                   const std::string& shown, const char* what) {
  if (!enabled()) return;
  Line(at, function, shown.empty() ? std::string(what) : OneField(shown) + "," + what,
       FormatMilliseconds(Clock::now() - start));
}

void Trace::Readers(Clock::time_point start, const std::vector<std::string>& names,
                    std::optional<size_t> chosen, const char* why) {
  if (!enabled()) return;
  for (size_t i = 0; i < names.size(); ++i)
    Line(start, "reader", std::to_string(i) + "," + OneField(names[i]),
         chosen == i ? std::string("chosen: ") + why : "-");
  if (!chosen) Line(start, "reader", "-", std::string("none chosen: ") + why);
}

}  // namespace pcsc
