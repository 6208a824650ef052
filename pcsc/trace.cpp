#include "pcsc/trace.h"

#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

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
  return "************" + dcrf32::ToHex(block + 6, 4) + "************";
}

}  // namespace

std::string Trace::ShownCommand(const uint8_t* command, size_t length) {
  // Header and length byte as they are; everything after them is the key.
  if (IsLoadKeys(command, length) && length > 5)
    return dcrf32::ToHex(command, 5) + std::string(2 * (length - 5), '*');
  // Where the keys sit in a trailer of any other length is anyone's guess:
  // none of it is shown.
  if (IsTrailerAccess(command, length, 0xD6) && length > 5)
    return dcrf32::ToHex(command, 5) +
           (length == 21 ? MaskedBlock(command + 5) : std::string(2 * (length - 5), '*'));
  return dcrf32::ToHex(command, length);
}

std::string Trace::ShownAnswer(const uint8_t* command, size_t commandLength,
                               const uint8_t* answer, size_t answerLength) {
  // Two bytes are the status word alone; 18 a trailer and its status word.
  // A short or oversized answer may hold keys anywhere.
  if (IsTrailerAccess(command, commandLength, 0xB0) && answerLength != 2)
    return answerLength == 18 ? MaskedBlock(answer) + dcrf32::ToHex(answer + 16, 2)
                              : std::string(2 * answerLength, '*');
  return dcrf32::ToHex(answer, answerLength);
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

void Trace::KeyForm(Clock::time_point start, const char* form, const char* how) {
  if (!enabled()) return;
  Line(start, "keyform", form, how);
}

}  // namespace pcsc
