#pragma once
// The log DCRF32_PCSC_TRACE names: one line per library call as the virtual
// reader writes them, and between them one line per PC/SC call the library
// made, APDUs included, with what came back and how long it took. Each line
// is flushed as written, so a crash still leaves everything before it.
//   <ms since load>\t<function>\t<arguments, comma-separated>\t<result>
//   <ms since load>\tapdu\t<command>,<answer or SCARD:code>\t<ms taken>
//   <ms since load>\t<SCard function>\t<arguments>\t<PC/SC result, hex>
//   <ms since load>\t<apdu or SCard function>\t<command or arguments>,<what
//       became of a call that did not return in time>\t<ms since it began>
//   <ms since load>\treader\t<index>,<name>\t<"chosen: " and why, or ->
//   <ms since load>\tkeyform\t<acs|session|scm|omnikey>\t<how it was known>
// Key bytes never reach the file: those of LOAD KEYS, and key A and key B
// in a sector trailer read or written, show as "**"; trailer data of any
// other shape than a whole block is masked whole.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dcrf32/call_text.h"
#include "dcrf32/trace_file.h"

namespace pcsc {

using dcrf32::IsTrailerBlock;

class Trace : public dcrf32::TraceFile {
 public:
  explicit Trace(Clock::time_point origin) : TraceFile("PC/SC", origin) {}

  // error 0: the answer arrived; otherwise the PC/SC error, answer ignored.
  void Apdu(Clock::time_point start, const uint8_t* command, size_t commandLength,
            const uint8_t* answer, size_t answerLength, long error);
  void SCard(Clock::time_point start, const char* function, const std::string& arguments,
             long result);
  // A PC/SC call that did not return by its deadline, at `at`: what became
  // of it, and for how long it has been waited for.
  void Waited(Clock::time_point at, Clock::time_point start, const char* function,
              const std::string& shown, const char* what);
  // One line per reader PC/SC listed, the chosen one saying why; one line
  // saying why when none was.
  void Readers(Clock::time_point start, const std::vector<std::string>& names,
               std::optional<size_t> chosen, const char* why);
  // The form LOAD KEYS takes on the open reader, once per opening.
  void KeyForm(Clock::time_point start, const char* form, const char* how);

  // As hex, keys masked: LOAD KEYS, UPDATE BINARY of a trailer (all of
  // its data when it is not 16 bytes).
  static std::string ShownCommand(const uint8_t* command, size_t length);
  // The answer to a READ BINARY of a trailer, keys masked (all of it when
  // it is neither 16 bytes and a status word nor a status word alone);
  // others as hex.
  static std::string ShownAnswer(const uint8_t* command, size_t commandLength,
                                 const uint8_t* answer, size_t answerLength);
  // A block's data as the library's callers pass it: of a trailer, the
  // keys of 32 hex digits masked, any other text masked whole.
  static std::string ShownBlockText(uint8_t block, const std::string& text) {
    return dcrf32::MaskedBlockText(block, text);
  }
};

}  // namespace pcsc
