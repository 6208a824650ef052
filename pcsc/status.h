#pragma once
// Statuses the PC/SC library's functions return. 0 is success; 1-7 and 9
// mean what they mean in the virtual reader, so a trace from either reads
// the same; the rest are failures only a real reader stack produces.

#include <cstdint>

namespace pcsc {

enum Status : int16_t {
  kOk = 0,
  kBadHandle = 1,      // not the handle the last successful dc_init returned
  kBadArgument = 2,    // mode, sector, block, card type or text not valid; nothing sent
  kNoCard = 3,         // no card in the field, or it left
  kNoIso14443_4 = 4,   // the card's SAK has no ISO 14443-4 bit; nothing sent
  kNoKey = 5,          // that key slot was never loaded; nothing sent
  kAuthFailed = 6,     // the card (or reader) refused the authentication
  kAccessDenied = 7,   // the card (or reader) refused the read or write
  kInternalError = 9,  // out of memory and the like; the call did nothing
  kReaderError = 10,   // PC/SC failed: service stopped, reader unplugged or busy
  kBadResponse = 11,   // an answer too short, too long or malformed; refused
  kNotReported = 12,   // the reader does not report the ATS of this card
  kUnknownCard = 13,   // the card could not be identified from what the reader says
};

// What dc_init returns when it does not open a reader: -1 whatever the
// cause (no PC/SC service, no reader, none matching); the trace says which.
constexpr int32_t kInitNoReader = -1;
constexpr int32_t kInitInternalError = -2;

}  // namespace pcsc
