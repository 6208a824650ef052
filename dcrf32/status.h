#pragma once
// What the libraries' functions return, one list for both, so that a trace
// from either reads the same. 0 is success, as with the vendor's library.

#include <cstdint>

namespace dcrf32 {
namespace statuses {

enum Status : int16_t {
  kOk = 0,
  kBadHandle = 1,      // not the handle the last successful dc_init returned
  kBadArgument = 2,    // mode, sector, block, card type or text not valid; nothing sent
  kNoCard = 3,         // no card answered, or it left
  kNoIso14443_4 = 4,   // the selected card's SAK has no ISO 14443-4 bit; RATS not sent
  kNoKey = 5,          // that key slot was never loaded; nothing sent
  kAuthFailed = 6,     // the card (or reader) refused the authentication
  kAccessDenied = 7,   // the card (or reader) refused the read or write
  kSaveFailed = 8,     // virtual reader: the card took the write, its dump could not be saved; undone
  kInternalError = 9,  // out of memory and the like; the call did nothing
  kReaderError = 10,   // PC/SC failed: service stopped, reader unplugged, busy or silent
  kBadResponse = 11,   // an answer too short, too long or malformed; refused
  kNotReported = 12,   // the reader does not report the ATS of this card
  kUnknownCard = 13,   // the card could not be identified from what the reader says
};

}  // namespace statuses
using namespace statuses;
}  // namespace dcrf32
