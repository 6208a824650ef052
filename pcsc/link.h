#pragma once
// The library's one PC/SC session: the context, the chosen reader, the
// connection to the card in its field, and the one function every APDU
// goes through. PC/SC results become statuses here and nowhere else.
//
// Every PC/SC call runs on a thread of its own (see worker.h), and the
// library call that made it waits for it until a deadline set when the
// library call began. A PC/SC call still running then is abandoned with
// its context: the library call fails with kReaderError, and so does every
// one after it at once, without waiting, until the abandoned call returned
// (the reader answered, or was unplugged). The next connection starts
// afresh.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pcsc/identity.h"
#include "pcsc/scard.h"
#include "pcsc/status.h"
#include "pcsc/trace.h"
#include "pcsc/worker.h"

namespace pcsc {

// How long one library call may wait for PC/SC. Card commands take
// milliseconds, reader commands not much more. Programs call from their
// window's thread, and Windows calls a window that has not looked at its
// messages for 5 s hung ("not responding", and SendMessageTimeout with
// SMTO_ABORTIFHUNG gives up on it): one call's wait, with the program's
// own work around it, must end well before that.
constexpr std::chrono::milliseconds kCallBound{4000};

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

  // Sets the deadline of every PC/SC call until the next StartCall: the
  // library call now beginning returns within kCallBound.
  void StartCall();

  // A context that PC/SC still knows, established anew when it was lost
  // (the service restarted, say, or a call was abandoned with it).
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
  // Whether the card of the connection is still in the field as PC/SC
  // knows it: kOk, kNoCard (and the connection ended) or kReaderError.
  int16_t CheckCard();
  // What a command needing the card gets without a connection: kReaderError
  // while an abandoned call has not returned, kNoCard otherwise.
  int16_t NoConnection() const;

  // Sends one APDU and checks the answer: at least the status word, data of
  // minData to maxData bytes when it is 90 00. A PC/SC failure ends the
  // connection: whatever went wrong, the card's state is unknown. Whatever
  // failed, a card PC/SC no longer sees in the field makes it kNoCard.
  Exchange Transmit(const Bytes& command, size_t minData, size_t maxData);

 private:
  // Runs `body` (see Call::Start for what it may touch) and waits for it
  // until the deadline. False when it did not return by then, or when an
  // earlier abandoned call still has not: the caller fails with
  // kReaderError. `shown` is what the trace says the call was.
  bool Run(Trace::Clock::time_point start, const char* function, const std::string& shown,
           std::function<LONG()> body, LONG* result);
  void Abandon(const std::shared_ptr<Call>& call, Trace::Clock::time_point start,
               const char* function, const std::string& shown);
  bool StillWaiting();
  int16_t AfterConnect(LONG result, const char* function, Trace::Clock::time_point start);
  int16_t Fail(LONG error);
  // The status of a well-formed exchange that was no success: kNoCard when
  // the card left, `otherwise` when it is still there.
  int16_t UnlessCardLeft(int16_t otherwise);

  Trace* trace_;
  Trace::Clock::time_point deadline_;
  // The call abandoned last, until it returns, and what the trace called it.
  std::shared_ptr<Call> abandoned_;
  Trace::Clock::time_point abandonedStart_;
  const char* abandonedFunction_ = "";
  std::string abandonedShown_;
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
