#include "pcsc/link.h"

#include "pcsc/support.h"

namespace pcsc {

namespace {

using Clock = Trace::Clock;

// Room beyond the largest short APDU answer (256 + 2), so that an oversized
// answer arrives and is refused as such rather than failing as a buffer
// error inside PC/SC.
constexpr DWORD kAnswerRoom = 1024;

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

int16_t Link::Establish() {
  if (haveContext_ && SCardIsValidContext(context_) == SCARD_S_SUCCESS) return kOk;
  if (haveContext_) {
    // The service behind it is gone, and every handle with it.
    connected_ = false;
    SCardReleaseContext(context_);
    haveContext_ = false;
  }
  const auto start = Clock::now();
  const LONG result = SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context_);
  trace_->SCard(start, "SCardEstablishContext", "", result);
  if (result != SCARD_S_SUCCESS) return kReaderError;
  haveContext_ = true;
  return kOk;
}

int16_t Link::ListReaders(std::vector<std::string>* names) {
  names->clear();
  if (const int16_t status = Establish()) return status;
  const auto start = Clock::now();
  DWORD length = 0;
  LONG result = PCSC_NARROW(SCardListReaders)(context_, nullptr, nullptr, &length);
  std::string list;
  if (result == SCARD_S_SUCCESS) {
    list.assign(length, '\0');
    result = PCSC_NARROW(SCardListReaders)(context_, nullptr, &list[0], &length);
    list.resize(result == SCARD_S_SUCCESS ? length : 0);
  }
  trace_->SCard(start, "SCardListReaders", "", result);
  if (result == SCARD_E_NO_READERS_AVAILABLE) return kOk;
  if (result != SCARD_S_SUCCESS) return kReaderError;
  // A multi-string: names each ended by NUL, the list by one more.
  for (size_t at = 0; at < list.size() && list[at] != '\0';) {
    const size_t end = list.find('\0', at);
    names->push_back(list.substr(at, end - at));
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
  BYTE atr[64];
  DWORD atrLength = sizeof atr;
  DWORD state = 0;
  DWORD protocol = 0;
  DWORD nameLength = 0;
  const auto statusStart = Clock::now();
  const LONG status = PCSC_NARROW(SCardStatus)(card_, nullptr, &nameLength, &state, &protocol,
                                               atr, &atrLength);
  trace_->SCard(statusStart, "SCardStatus", ToHex(atr, status == SCARD_S_SUCCESS ? atrLength : 0),
                status);
  if (status != SCARD_S_SUCCESS) return Fail(status);
  atr_.assign(atr, atr + atrLength);
  return kOk;
}

int16_t Link::Connect() {
  if (connected_) return ResetCard();
  if (const int16_t status = Establish()) return status;
  if (reader_.empty()) return kReaderError;
  atr_.clear();
  const auto start = Clock::now();
  const LONG result = PCSC_NARROW(SCardConnect)(context_, reader_.c_str(), SCARD_SHARE_SHARED,
                                                SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card_,
                                                &protocol_);
  return AfterConnect(result, "SCardConnect", start);
}

int16_t Link::ResetCard() {
  atr_.clear();
  const auto start = Clock::now();
  const LONG result = SCardReconnect(card_, SCARD_SHARE_SHARED,
                                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, SCARD_RESET_CARD,
                                     &protocol_);
  if (result != SCARD_S_SUCCESS) {
    // Free the handle; the card may be gone, the next Connect starts afresh.
    trace_->SCard(start, "SCardReconnect", reader_, result);
    Disconnect(SCARD_LEAVE_CARD);
    return StatusFromSCard(result);
  }
  return AfterConnect(result, "SCardReconnect", start);
}

void Link::Disconnect(DWORD disposition) {
  if (!connected_) return;
  connected_ = false;
  const auto start = Clock::now();
  const LONG result = SCardDisconnect(card_, disposition);
  trace_->SCard(start, "SCardDisconnect", disposition == SCARD_UNPOWER_CARD ? "unpower" : "leave",
                result);
}

int16_t Link::Fail(LONG error) {
  Disconnect(SCARD_LEAVE_CARD);
  return StatusFromSCard(error);
}

Exchange Link::Transmit(const Bytes& command, size_t minData, size_t maxData) {
  Exchange exchange;
  if (!connected_) {
    exchange.status = kNoCard;
    return exchange;
  }
  BYTE answer[kAnswerRoom];
  DWORD answerLength = sizeof answer;
  const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
  const auto start = Clock::now();
  const LONG result = SCardTransmit(card_, pci, command.data(), static_cast<DWORD>(command.size()),
                                    nullptr, answer, &answerLength);
  if (result == SCARD_S_SUCCESS && answerLength > sizeof answer) answerLength = 0;
  trace_->Apdu(start, command.data(), command.size(), answer, answerLength, result);
  if (result != SCARD_S_SUCCESS) {
    exchange.status = Fail(result);
    return exchange;
  }
  if (answerLength < 2) {
    exchange.status = kBadResponse;
    return exchange;
  }
  exchange.sw = static_cast<uint16_t>(answer[answerLength - 2] << 8 | answer[answerLength - 1]);
  const size_t dataLength = answerLength - 2;
  if (exchange.sw != 0x9000) {
    exchange.refused = true;
    exchange.status = kBadResponse;  // until the caller names the refusal
    return exchange;
  }
  if (dataLength < minData || dataLength > maxData) {
    exchange.status = kBadResponse;
    return exchange;
  }
  exchange.data.assign(answer, answer + dataLength);
  return exchange;
}

}  // namespace pcsc
