#pragma once
// The log DCRF32_PCSC_TRACE names: one line per library call as the virtual
// reader writes them, and between them one line per PC/SC call the library
// made, APDUs included, with what came back and how long it took. Each line
// is flushed as written, so a crash still leaves everything before it.
//   <ms since load>\t<function>\t<arguments, comma-separated>\t<result>
//   <ms since load>\tapdu\t<command>,<answer or SCARD:code>\t<ms taken>
//   <ms since load>\t<SCard function>\t<arguments>\t<PC/SC result, hex>
// Key bytes never reach the file: those of LOAD KEYS, and key A and key B
// in a sector trailer read or written, show as "**".

#include <cstddef>
#include <cstdint>
#include <string>

#include "dcrf32/trace_file.h"

namespace pcsc {

// Blocks 3, 7, ... 127 (every fourth in MIFARE Classic's 4-block sectors).
bool IsTrailerBlock(uint8_t block);

class Trace : public dcrf32::TraceFile {
 public:
  explicit Trace(Clock::time_point origin) : TraceFile("PC/SC", origin) {}

  void Call(Clock::time_point start, const char* function, const std::string& arguments,
            long result);
  // error 0: the answer arrived; otherwise the PC/SC error, answer ignored.
  void Apdu(Clock::time_point start, const uint8_t* command, size_t commandLength,
            const uint8_t* answer, size_t answerLength, long error);
  void SCard(Clock::time_point start, const char* function, const std::string& arguments,
             long result);

  // As hex, keys masked: LOAD KEYS, UPDATE BINARY of a trailer.
  static std::string ShownCommand(const uint8_t* command, size_t length);
  // The answer to a READ BINARY of a trailer, keys masked; others as hex.
  static std::string ShownAnswer(const uint8_t* command, size_t commandLength,
                                 const uint8_t* answer, size_t answerLength);
  // 32 hex digits of a block as the library's callers pass them.
  static std::string ShownBlockText(uint8_t block, const std::string& hex);
};

}  // namespace pcsc
