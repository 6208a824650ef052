#pragma once
// The library's one PC/SC session: the context, the chosen reader, the
// connection to the card in its field, and the one function every APDU
// goes through. PC/SC results become statuses here and nowhere else.

#include <cstdint>
#include <string>
#include <vector>

#include "pcsc/identity.h"
#include "pcsc/scard.h"
#include "pcsc/status.h"
#include "pcsc/trace.h"

namespace pcsc {

// One APDU's outcome. kOk: a well-formed answer ending in 90 00 whose data
// has the expected length. refused: well formed, but another status word;
// the caller says what that means for its function.
struct Exchange {
  int16_t status = kOk;
  bool refused = false;
  Bytes data;  // without the status word
  uint16_t sw = 0;
};

class Link {
 public:
  explicit Link(Trace* trace) : trace_(trace) {}
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // A context that PC/SC still knows, established anew when it was lost
  // (the service restarted, say).
  int16_t Establish();
  int16_t ListReaders(std::vector<std::string>* names);
  void UseReader(const std::string& name);
  const std::string& reader() const { return reader_; }

  bool connected() const { return connected_; }
  // Connects to the card in the field, or when already connected resets
  // it, so the card starts over as the reader activates it.
  int16_t Connect();
  int16_t ResetCard();
  // SCARD_UNPOWER_CARD switches the field off, SCARD_LEAVE_CARD does not.
  void Disconnect(DWORD disposition);
  const Bytes& atr() const { return atr_; }

  // Sends one APDU and checks the answer: at least the status word, data of
  // minData to maxData bytes when it is 90 00. A PC/SC failure ends the
  // connection: whatever went wrong, the card's state is unknown.
  Exchange Transmit(const Bytes& command, size_t minData, size_t maxData);

 private:
  int16_t AfterConnect(LONG result, const char* function, Trace::Clock::time_point start);
  int16_t Fail(LONG error);

  Trace* trace_;
  SCARDCONTEXT context_ = 0;
  bool haveContext_ = false;
  std::string reader_;
  SCARDHANDLE card_ = 0;
  bool connected_ = false;
  DWORD protocol_ = 0;
  Bytes atr_;
};

// Every PC/SC error as one of the library's statuses.
int16_t StatusFromSCard(LONG error);

}  // namespace pcsc
