#include "pcsc/link.h"

#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

namespace pcsc {

namespace {

using Clock = Trace::Clock;

// Room beyond the largest short APDU answer (256 + 2), so that an oversized
// answer arrives and is refused as such rather than failing as a buffer
// error inside PC/SC.
constexpr DWORD kAnswerRoom = 1024;

// What the worker writes for SCardConnect, SCardReconnect and SCardStatus:
// the call's own memory, never the Link's, which it may outlive.
struct Connection {
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
};

struct CardStatus {
  BYTE atr[64];
  DWORD atrLength = sizeof atr;
  DWORD state = 0;
  DWORD protocol = 0;
  DWORD nameLength = 0;
};

struct TransmitIo {
  Bytes command;
  BYTE answer[kAnswerRoom];
  DWORD answerLength = kAnswerRoom;
};

std::function<LONG()> StatusBody(SCARDHANDLE card, const std::shared_ptr<CardStatus>& out) {
  return [card, out] {
    return PCSC_NARROW(SCardStatus)(card, nullptr, &out->nameLength, &out->state, &out->protocol,
                                    out->atr, &out->atrLength);
  };
}

}  // namespace

int16_t StatusFromSCard(LONG error) {
  switch (error) {
    case SCARD_S_SUCCESS:
      return kOk;
    case SCARD_E_NO_SMARTCARD:
    case SCARD_W_REMOVED_CARD:
    case SCARD_W_UNPOWERED_CARD:
    case SCARD_W_UNRESPONSIVE_CARD:
    case SCARD_W_UNSUPPORTED_CARD:
    case SCARD_W_RESET_CARD:
    case SCARD_E_NOT_TRANSACTED:
    case SCARD_E_PROTO_MISMATCH:
    case SCARD_E_CARD_UNSUPPORTED:
      return kNoCard;
    case SCARD_E_INSUFFICIENT_BUFFER:
      return kBadResponse;
    default:
      // Service stopped, reader unplugged or in another program's exclusive
      // use, out of memory: nothing the card did.
      return kReaderError;
  }
}

void Link::StartCall() { deadline_ = Clock::now() + kCallBound; }

bool Link::Run(Clock::time_point start, const char* function, const std::string& shown,
               std::function<LONG()> body, LONG* result) {
  if (StillWaiting()) return false;
  const std::shared_ptr<Call> call = Call::Start(std::move(body));
  if (call->WaitUntil(deadline_)) {
    *result = call->result();
    return true;
  }
  trace_->Waited(start, start, function, shown, "no answer, abandoned");
  Abandon(call, start, function, shown);
  return false;
}

void Link::Abandon(const std::shared_ptr<Call>& call, Clock::time_point start,
                   const char* function, const std::string& shown) {
  call->Abandon();
  PinLibrary();
  abandoned_ = call;
  abandonedStart_ = start;
  abandonedFunction_ = function;
  abandonedShown_ = shown;
  if (haveContext_) {
    // Releasing its context makes a call blocked in winscard return.
    // pcsc-lite's SCardReleaseContext waits for that call to return first
    // (SCardCancel does not end it either), so it gets a thread of its own.
    const SCARDCONTEXT context = context_;
    std::thread([context] {
      SCardCancel(context);
      SCardReleaseContext(context);
    }).detach();
  }
  // A context abandoned while being established is never released: the
  // call may return one at any time, and nothing waits for it.
  haveContext_ = false;
  connected_ = false;
}

bool Link::StillWaiting() {
  if (!abandoned_) return false;
  const bool returned = abandoned_->Returned();
  trace_->Waited(Clock::now(), abandonedStart_, abandonedFunction_, abandonedShown_,
                 returned ? "answered at last" : "still no answer, reader busy");
  if (!returned) return true;
  abandoned_.reset();
  return false;
}

int16_t Link::NoConnection() const {
  return abandoned_ && !abandoned_->Returned() ? kReaderError : kNoCard;
}

int16_t Link::Establish() {
  if (haveContext_) {
    LONG valid = SCARD_S_SUCCESS;
    if (!Run(Clock::now(), "SCardIsValidContext", "",
             [context = context_] { return SCardIsValidContext(context); }, &valid))
      return kReaderError;
    if (valid == SCARD_S_SUCCESS) return kOk;
    // The service behind it is gone, and every handle with it.
    connected_ = false;
    LONG released = SCARD_S_SUCCESS;
    if (!Run(Clock::now(), "SCardReleaseContext", "",
             [context = context_] { return SCardReleaseContext(context); }, &released))
      return kReaderError;
    haveContext_ = false;
  }
  const auto start = Clock::now();
  auto context = std::make_shared<SCARDCONTEXT>(0);
  LONG result = SCARD_S_SUCCESS;
  if (!Run(start, "SCardEstablishContext", "",
           [context] {
             return SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, context.get());
           },
           &result))
    return kReaderError;
  trace_->SCard(start, "SCardEstablishContext", "", result);
  if (result != SCARD_S_SUCCESS) return kReaderError;
  context_ = *context;
  haveContext_ = true;
  return kOk;
}

int16_t Link::ListReaders(std::vector<std::string>* names) {
  names->clear();
  if (const int16_t status = Establish()) return status;
  const auto start = Clock::now();
  auto list = std::make_shared<std::string>();
  LONG result = SCARD_S_SUCCESS;
  const auto body = [context = context_, list] {
    DWORD length = 0;
    LONG r = PCSC_NARROW(SCardListReaders)(context, nullptr, nullptr, &length);
    if (r == SCARD_S_SUCCESS && length > 0) {
      list->assign(length, '\0');
      r = PCSC_NARROW(SCardListReaders)(context, nullptr, &(*list)[0], &length);
      list->resize(r == SCARD_S_SUCCESS ? length : 0);
    }
    return r;
  };
  if (!Run(start, "SCardListReaders", "", body, &result)) return kReaderError;
  trace_->SCard(start, "SCardListReaders", "", result);
  if (result == SCARD_E_NO_READERS_AVAILABLE) return kOk;
  if (result != SCARD_S_SUCCESS) return kReaderError;
  // A multi-string: names each ended by NUL, the list by one more.
  for (size_t at = 0; at < list->size() && (*list)[at] != '\0';) {
    const size_t end = list->find('\0', at);
    names->push_back(list->substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return kOk;
}

void Link::UseReader(const std::string& name) {
  if (connected_) Disconnect(SCARD_LEAVE_CARD);
  reader_ = name;
}

int16_t Link::AfterConnect(LONG result, const char* function, Clock::time_point start) {
  trace_->SCard(start, function, reader_, result);
  if (result != SCARD_S_SUCCESS) {
    connected_ = false;
    return StatusFromSCard(result);
  }
  connected_ = true;
  // The ATR, which is all a reader without GET DATA variants tells.
  auto status = std::make_shared<CardStatus>();
  const auto statusStart = Clock::now();
  LONG statusResult = SCARD_S_SUCCESS;
  if (!Run(statusStart, "SCardStatus", "", StatusBody(card_, status), &statusResult))
    return kReaderError;
  const bool ok = statusResult == SCARD_S_SUCCESS && status->atrLength <= sizeof status->atr;
  trace_->SCard(statusStart, "SCardStatus", dcrf32::ToHex(status->atr, ok ? status->atrLength : 0),
                statusResult);
  if (statusResult != SCARD_S_SUCCESS) return Fail(statusResult);
  if (!ok) return Fail(SCARD_E_INSUFFICIENT_BUFFER);
  atr_.assign(status->atr, status->atr + status->atrLength);
  return kOk;
}

int16_t Link::Connect() {
  if (connected_) return ResetCard();
  if (const int16_t status = Establish()) return status;
  if (reader_.empty()) return kReaderError;
  atr_.clear();
  const auto start = Clock::now();
  auto connection = std::make_shared<Connection>();
  LONG result = SCARD_S_SUCCESS;
  const auto body = [context = context_, reader = reader_, connection] {
    return PCSC_NARROW(SCardConnect)(context, reader.c_str(), SCARD_SHARE_SHARED,
                                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &connection->card,
                                     &connection->protocol);
  };
  if (!Run(start, "SCardConnect", reader_, body, &result)) return kReaderError;
  card_ = connection->card;
  protocol_ = connection->protocol;
  return AfterConnect(result, "SCardConnect", start);
}

int16_t Link::ResetCard() {
  atr_.clear();
  const auto start = Clock::now();
  auto connection = std::make_shared<Connection>();
  LONG result = SCARD_S_SUCCESS;
  const auto body = [card = card_, connection] {
    return SCardReconnect(card, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                          SCARD_RESET_CARD, &connection->protocol);
  };
  if (!Run(start, "SCardReconnect", reader_, body, &result)) return kReaderError;
  if (result != SCARD_S_SUCCESS) {
    // Free the handle; the card may be gone, the next Connect starts afresh.
    trace_->SCard(start, "SCardReconnect", reader_, result);
    Disconnect(SCARD_LEAVE_CARD);
    return StatusFromSCard(result);
  }
  protocol_ = connection->protocol;
  return AfterConnect(result, "SCardReconnect", start);
}

void Link::Disconnect(DWORD disposition) {
  if (!connected_) return;
  connected_ = false;
  const auto start = Clock::now();
  const char* shown = disposition == SCARD_UNPOWER_CARD ? "unpower" : "leave";
  LONG result = SCARD_S_SUCCESS;
  if (!Run(start, "SCardDisconnect", shown,
           [card = card_, disposition] { return SCardDisconnect(card, disposition); }, &result))
    return;
  trace_->SCard(start, "SCardDisconnect", shown, result);
}

int16_t Link::CheckCard() {
  if (!connected_) return NoConnection();
  auto status = std::make_shared<CardStatus>();
  const auto start = Clock::now();
  LONG result = SCARD_S_SUCCESS;
  if (!Run(start, "SCardStatus", "", StatusBody(card_, status), &result)) return kReaderError;
  trace_->SCard(start, "SCardStatus", "", result);
  // A handle whose card left, even one put back since, answers
  // SCARD_W_REMOVED_CARD; winscard and pcsc-lite do not agree on the bits
  // of the state, so the result alone decides.
  const int16_t present = StatusFromSCard(result);
  if (present != kOk) Disconnect(SCARD_LEAVE_CARD);
  return present;
}

int16_t Link::Fail(LONG error) {
  int16_t status = StatusFromSCard(error);
  // A reader that lost the card mid-command may report anything: PC/SC's
  // own view of the field decides.
  if (status != kNoCard && connected_ && CheckCard() == kNoCard) status = kNoCard;
  Disconnect(SCARD_LEAVE_CARD);
  return status;
}

int16_t Link::UnlessCardLeft(int16_t otherwise) {
  return CheckCard() == kNoCard ? int16_t{kNoCard} : otherwise;
}

Exchange Link::Transmit(const Bytes& command, size_t minData, size_t maxData) {
  Exchange exchange;
  if (!connected_) {
    exchange.status = NoConnection();
    return exchange;
  }
  auto io = std::make_shared<TransmitIo>();
  io->command = command;
  const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
  const auto body = [card = card_, pci, io] {
    return SCardTransmit(card, pci, io->command.data(), static_cast<DWORD>(io->command.size()),
                         nullptr, io->answer, &io->answerLength);
  };
  const auto start = Clock::now();
  const std::string shown =
      trace_->enabled() ? Trace::ShownCommand(command.data(), command.size()) : std::string();
  LONG result = SCARD_S_SUCCESS;
  if (!Run(start, "apdu", shown, body, &result)) {
    exchange.status = kReaderError;
    return exchange;
  }
  DWORD answerLength = io->answerLength;
  const BYTE* answer = io->answer;
  if (result == SCARD_S_SUCCESS && answerLength > kAnswerRoom) answerLength = 0;
  trace_->Apdu(start, command.data(), command.size(), answer, answerLength, result);
  if (result != SCARD_S_SUCCESS) {
    exchange.status = Fail(result);
    return exchange;
  }
  if (answerLength < 2) {
    // Some drivers end a command whose card left with an empty answer.
    exchange.status = UnlessCardLeft(kBadResponse);
    return exchange;
  }
  exchange.sw = static_cast<uint16_t>(answer[answerLength - 2] << 8 | answer[answerLength - 1]);
  const size_t dataLength = answerLength - 2;
  if (exchange.sw != 0x9000) {
    // A reader answers for a card that left until PC/SC notices.
    exchange.status = UnlessCardLeft(kBadResponse);
    exchange.refused = exchange.status != kNoCard;  // the caller names the refusal
    return exchange;
  }
  if (dataLength < minData || dataLength > maxData) {
    exchange.status = UnlessCardLeft(kBadResponse);
    return exchange;
  }
  exchange.data.assign(answer, answer + dataLength);
  return exchange;
}

}  // namespace pcsc
