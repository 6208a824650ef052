// A winscard.dll for the Windows tests: the WinSCard functions the PC/SC
// library imports, declared by the SDK's own header (WINAPI, 32-bit DWORDs,
// pointer-sized handles, the narrow A functions, the protocol control
// records as exported data), answered in-process by the reader firmware the
// native tests play behind pcscd and vpcd. Wine's own winscard has no
// readers; this one has vpcd's two, the card in the first.
//
// QUILLON_WINSCARD holds the responder's reader switches (firmware.h), for
// example "--card composite --flavour getdata --keys scm"; unset, an m1
// card on a PN53x reader of the acs family. With --chaos a pulled card
// fails its APDU with SCARD_W_REMOVED_CARD and is back for the next
// connection. A setting it cannot take makes
// SCardEstablishContext fail with SCARD_E_NO_SERVICE, the reason in the log
// and on standard error. QUILLON_WINSCARD_LOG names a file that gets one
// line per call: function, arguments, what came back, the result.
//
// TestReaderRestart(), exported for tests that load the library in their
// own process, reads both variables again and puts a fresh card (or none)
// in the field: every earlier card handle then answers SCARD_W_REMOVED_CARD,
// and an APDU left unanswered returns, as when a hung reader is unplugged.
// It waits for that APDU's return, not for the caller's thread to notice.
#define WINSCARDAPI __declspec(dllexport)
#define WINSCARDDATA __declspec(dllexport)
#include <windows.h>
#include <winscard.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "chaos.h"
#include "firmware.h"

const SCARD_IO_REQUEST g_rgSCardT0Pci = {SCARD_PROTOCOL_T0, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardT1Pci = {SCARD_PROTOCOL_T1, sizeof(SCARD_IO_REQUEST)};
const SCARD_IO_REQUEST g_rgSCardRawPci = {SCARD_PROTOCOL_RAW, sizeof(SCARD_IO_REQUEST)};

namespace {

using responder::Bytes;

// vpcd's names: the card is in the first, the second stays empty.
const char* const kReaders[] = {"Virtual PCD 00 00", "Virtual PCD 00 01"};

// Handles far from small numbers, and on 64-bit ones whose upper half is
// not zero: a caller that keeps one in a DWORD loses it.
#ifdef _WIN64
constexpr ULONG_PTR kHandleBase = 0x5C4D000000000000ull;
#else
constexpr ULONG_PTR kHandleBase = 0x5C400000u;
#endif

struct Connection {
  SCARDCONTEXT context;
  int reader;
  DWORD protocol;
  unsigned generation;  // the card it was made to; another since: removed
};

struct State {
  std::mutex mutex;
  std::condition_variable changed;  // a new card, or a context released
  bool configured = false;
  std::string problem;
  responder::ReaderOptions options;
  std::unique_ptr<responder::Firmware> firmware;
  std::unique_ptr<responder::Chaos> chaos;
  bool powered = false;  // a card left powered keeps its state for the next connection
  unsigned generation = 0;
  ULONG_PTR next = 1;
  std::set<SCARDCONTEXT> contexts;
  std::map<SCARDHANDLE, Connection> connections;
  int unanswered = 0;  // APDUs waiting for an answer that never comes
  std::FILE* log = nullptr;
};

State& Global() {
  static State* state = new State;  // never destroyed: abandoned calls may outlive the process's exit
  return *state;
}

std::string Hex(const BYTE* data, size_t length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < length; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
}

std::string Handle(ULONG_PTR handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(handle));
  return text;
}

void Log(State& state, const std::string& function, const std::string& arguments,
         const std::string& outcome, LONG result) {
  if (state.log == nullptr) return;
  std::fprintf(state.log, "%s\t%s\t%s\t%08lX\n", function.c_str(), arguments.c_str(), outcome.c_str(),
               static_cast<unsigned long>(result));
  std::fflush(state.log);
}

std::optional<std::wstring> Environment(const wchar_t* name) {
  const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring value(length, L'\0');
  value.resize(GetEnvironmentVariableW(name, &value[0], length));
  return value;
}

// Reads the settings and puts their card in the field; the caller holds the mutex.
void Configure(State& state) {
  if (state.log != nullptr) std::fclose(state.log);
  state.log = nullptr;
  if (const auto path = Environment(L"QUILLON_WINSCARD_LOG")) state.log = _wfopen(path->c_str(), L"a");
  state.problem.clear();
  state.options = responder::ReaderOptions();
  std::string switches;
  if (const auto value = Environment(L"QUILLON_WINSCARD"))
    switches.assign(value->begin(), value->end());
  std::istringstream words(switches);
  for (std::string flag; words >> flag;) {
    std::string value;
    if (!(words >> value)) {
      state.problem = "no value after " + flag;
      break;
    }
    const responder::Taken taken = responder::TakeReaderOption(flag, value, &state.options, &state.problem);
    if (taken == responder::Taken::NotAReaderSwitch) state.problem = "unknown switch " + flag;
    if (taken != responder::Taken::Yes) break;
  }
  if (!state.problem.empty()) {
    state.problem = "QUILLON_WINSCARD: " + state.problem;
    std::fprintf(stderr, "test winscard.dll: %s\n", state.problem.c_str());
    Log(state, "settings", switches, state.problem, SCARD_E_NO_SERVICE);
  }
  state.firmware.reset();
  state.chaos.reset();
  state.powered = false;
  if (state.problem.empty() && state.options.card) {
    state.firmware = std::make_unique<responder::Firmware>(responder::MakeFirmware(state.options));
    state.chaos = std::make_unique<responder::Chaos>(state.options);
  }
  ++state.generation;
  state.configured = true;
  state.changed.notify_all();
}

// The state, configured on first use, locked.
struct Locked {
  Locked() : state(Global()), lock(state.mutex) {
    if (!state.configured) Configure(state);
  }
  State& state;
  std::unique_lock<std::mutex> lock;
};

int ReaderNamed(LPCSTR name) {
  for (int i = 0; i < 2; ++i)
    if (name != nullptr && std::string(name) == kReaders[i]) return i;
  return -1;
}

// The connection behind a card handle, or the error it gets.
LONG Find(State& state, SCARDHANDLE card, Connection** connection) {
  const auto found = state.connections.find(card);
  if (found == state.connections.end()) return SCARD_E_INVALID_HANDLE;
  if (state.contexts.count(found->second.context) == 0) return SCARD_E_INVALID_HANDLE;
  *connection = &found->second;
  if (found->second.generation != state.generation) return SCARD_W_REMOVED_CARD;
  if (found->second.reader != 0 || !state.firmware) return SCARD_W_REMOVED_CARD;
  return SCARD_S_SUCCESS;
}

// Copies `data` into a caller's buffer of *length units (no buffer: the
// length is only asked), and says how long it is.
template <typename Data, typename Unit>
LONG GiveBack(const Data& data, Unit* buffer, LPDWORD length) {
  if (length == nullptr) return SCARD_S_SUCCESS;
  const bool fits = buffer == nullptr || *length >= data.size();
  if (buffer != nullptr && fits) std::copy(data.begin(), data.end(), buffer);
  *length = static_cast<DWORD>(data.size());
  return fits ? SCARD_S_SUCCESS : SCARD_E_INSUFFICIENT_BUFFER;
}

DWORD ProtocolFor(DWORD preferred) {
  if (preferred & SCARD_PROTOCOL_T1) return SCARD_PROTOCOL_T1;
  if (preferred & SCARD_PROTOCOL_T0) return SCARD_PROTOCOL_T0;
  return 0;
}

const char* DispositionName(DWORD disposition) {
  switch (disposition) {
    case SCARD_LEAVE_CARD: return "leave";
    case SCARD_RESET_CARD: return "reset";
    case SCARD_UNPOWER_CARD: return "unpower";
    case SCARD_EJECT_CARD: return "eject";
  }
  return "?";
}

// A call that only checks its context.
LONG ContextKnown(const char* function, SCARDCONTEXT context) {
  Locked locked;
  const LONG result = locked.state.contexts.count(context) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
  Log(locked.state, function, Handle(context), "", result);
  return result;
}

}  // namespace

extern "C" {

LONG WINAPI SCardEstablishContext(DWORD dwScope, LPCVOID, LPCVOID, LPSCARDCONTEXT phContext) {
  Locked locked;
  State& state = locked.state;
  LONG result = SCARD_S_SUCCESS;
  if (phContext == nullptr || (dwScope != SCARD_SCOPE_USER && dwScope != SCARD_SCOPE_SYSTEM)) {
    result = SCARD_E_INVALID_PARAMETER;
  } else if (!state.problem.empty()) {
    result = SCARD_E_NO_SERVICE;
  } else {
    *phContext = kHandleBase + state.next++;
    state.contexts.insert(*phContext);
  }
  Log(state, "SCardEstablishContext", std::to_string(dwScope),
      result == SCARD_S_SUCCESS ? Handle(*phContext) : state.problem, result);
  return result;
}

LONG WINAPI SCardReleaseContext(SCARDCONTEXT hContext) {
  Locked locked;
  State& state = locked.state;
  const LONG result = state.contexts.erase(hContext) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
  Log(state, "SCardReleaseContext", Handle(hContext), "", result);
  state.changed.notify_all();
  return result;
}

LONG WINAPI SCardIsValidContext(SCARDCONTEXT hContext) { return ContextKnown("SCardIsValidContext", hContext); }

// Nothing of this library waits for a card's arrival, the only wait it
// would end; a hung APDU is not ended by it, as on a real reader.
LONG WINAPI SCardCancel(SCARDCONTEXT hContext) { return ContextKnown("SCardCancel", hContext); }

LONG WINAPI SCardListReadersA(SCARDCONTEXT hContext, LPCSTR, LPSTR mszReaders, LPDWORD pcchReaders) {
  Locked locked;
  State& state = locked.state;
  std::string list;
  for (const char* name : kReaders) list.append(name).push_back('\0');
  list.push_back('\0');
  LONG result = SCARD_S_SUCCESS;
  if (state.contexts.count(hContext) == 0) {
    result = SCARD_E_INVALID_HANDLE;
  } else if (pcchReaders == nullptr || *pcchReaders == SCARD_AUTOALLOCATE) {
    result = SCARD_E_INVALID_PARAMETER;
  } else {
    result = GiveBack(list, mszReaders, pcchReaders);
  }
  Log(state, "SCardListReadersA", Handle(hContext) + (mszReaders ? ",buffer" : ",length"),
      std::to_string(list.size()), result);
  return result;
}

LONG WINAPI SCardConnectA(SCARDCONTEXT hContext, LPCSTR szReader, DWORD dwShareMode,
                          DWORD dwPreferredProtocols, LPSCARDHANDLE phCard, LPDWORD pdwActiveProtocol) {
  Locked locked;
  State& state = locked.state;
  const int reader = ReaderNamed(szReader);
  const DWORD protocol = ProtocolFor(dwPreferredProtocols);
  LONG result = SCARD_S_SUCCESS;
  if (state.contexts.count(hContext) == 0) result = SCARD_E_INVALID_HANDLE;
  else if (phCard == nullptr || pdwActiveProtocol == nullptr || dwShareMode != SCARD_SHARE_SHARED)
    result = SCARD_E_INVALID_PARAMETER;
  else if (reader < 0) result = SCARD_E_UNKNOWN_READER;
  else if (reader != 0 || !state.firmware) result = SCARD_E_NO_SMARTCARD;
  else if (protocol == 0) result = SCARD_E_PROTO_MISMATCH;
  std::string outcome;
  if (result == SCARD_S_SUCCESS) {
    if (!state.powered) state.firmware->PowerOn();
    state.powered = true;
    *phCard = kHandleBase + state.next++;
    *pdwActiveProtocol = protocol;
    state.connections[*phCard] = {hContext, reader, protocol, state.generation};
    outcome = Handle(*phCard) + (protocol == SCARD_PROTOCOL_T1 ? ",T1" : ",T0");
  }
  Log(state, "SCardConnectA", Handle(hContext) + "," + (szReader ? szReader : "(null)"), outcome, result);
  return result;
}

LONG WINAPI SCardReconnect(SCARDHANDLE hCard, DWORD dwShareMode, DWORD dwPreferredProtocols,
                           DWORD dwInitialization, LPDWORD pdwActiveProtocol) {
  Locked locked;
  State& state = locked.state;
  Connection* connection = nullptr;
  LONG result = Find(state, hCard, &connection);
  const DWORD protocol = ProtocolFor(dwPreferredProtocols);
  if (result == SCARD_S_SUCCESS && (pdwActiveProtocol == nullptr || dwShareMode != SCARD_SHARE_SHARED))
    result = SCARD_E_INVALID_PARAMETER;
  if (result == SCARD_S_SUCCESS && protocol == 0) result = SCARD_E_PROTO_MISMATCH;
  if (result == SCARD_S_SUCCESS) {
    if (dwInitialization == SCARD_RESET_CARD || dwInitialization == SCARD_UNPOWER_CARD)
      state.firmware->PowerOn();
    connection->protocol = protocol;
    *pdwActiveProtocol = protocol;
  }
  Log(state, "SCardReconnect", Handle(hCard) + "," + DispositionName(dwInitialization), "", result);
  return result;
}

LONG WINAPI SCardDisconnect(SCARDHANDLE hCard, DWORD dwDisposition) {
  Locked locked;
  State& state = locked.state;
  Connection* connection = nullptr;
  LONG result = Find(state, hCard, &connection);
  if (result == SCARD_S_SUCCESS) {
    if (dwDisposition == SCARD_UNPOWER_CARD) state.firmware->PowerOff();
    else if (dwDisposition == SCARD_RESET_CARD) state.firmware->PowerOn();
    state.powered = dwDisposition != SCARD_UNPOWER_CARD;
  }
  // A handle whose card left is still freed.
  if (result == SCARD_W_REMOVED_CARD) result = SCARD_S_SUCCESS;
  if (connection != nullptr) state.connections.erase(hCard);
  Log(state, "SCardDisconnect", Handle(hCard) + "," + DispositionName(dwDisposition), "", result);
  return result;
}

LONG WINAPI SCardStatusA(SCARDHANDLE hCard, LPSTR szReaderName, LPDWORD pcchReaderLen, LPDWORD pdwState,
                         LPDWORD pdwProtocol, LPBYTE pbAtr, LPDWORD pcbAtrLen) {
  Locked locked;
  State& state = locked.state;
  Connection* connection = nullptr;
  LONG result = Find(state, hCard, &connection);
  Bytes atr;
  if (result == SCARD_S_SUCCESS) {
    atr = state.firmware->Atr();
    const std::string name = std::string(kReaders[connection->reader]) + '\0' + '\0';
    const LONG named = GiveBack(name, szReaderName, pcchReaderLen);
    result = GiveBack(atr, pbAtr, pcbAtrLen);
    if (named != SCARD_S_SUCCESS) result = named;
    if (pdwState != nullptr) *pdwState = SCARD_SPECIFIC;
    if (pdwProtocol != nullptr) *pdwProtocol = connection->protocol;
  }
  Log(state, "SCardStatusA", Handle(hCard), result == SCARD_S_SUCCESS ? Hex(atr.data(), atr.size()) : "",
      result);
  return result;
}

LONG WINAPI SCardTransmit(SCARDHANDLE hCard, LPCSCARD_IO_REQUEST pioSendPci, LPCBYTE pbSendBuffer,
                          DWORD cbSendLength, LPSCARD_IO_REQUEST, LPBYTE pbRecvBuffer,
                          LPDWORD pcbRecvLength) {
  Locked locked;
  State& state = locked.state;
  Connection* connection = nullptr;
  LONG result = Find(state, hCard, &connection);
  const std::string call = Handle(hCard) + "," + (pbSendBuffer ? Hex(pbSendBuffer, cbSendLength) : "(null)");
  if (result == SCARD_S_SUCCESS &&
      (pioSendPci == nullptr || pioSendPci->dwProtocol != connection->protocol ||
       pioSendPci->cbPciLength != sizeof(SCARD_IO_REQUEST) || pbSendBuffer == nullptr ||
       cbSendLength == 0 || pbRecvBuffer == nullptr || pcbRecvLength == nullptr))
    result = SCARD_E_INVALID_PARAMETER;
  if (result != SCARD_S_SUCCESS) {
    Log(state, "SCardTransmit", call, "", result);
    return result;
  }
  const Bytes apdu(pbSendBuffer, pbSendBuffer + cbSendLength);
  if (state.options.unanswered && apdu.size() >= 2 && apdu[1] == *state.options.unanswered) {
    // Firmware that hangs: no answer until the card is replaced.
    Log(state, "SCardTransmit", call, "no answer", ERROR_IO_PENDING);
    const unsigned generation = state.generation;
    ++state.unanswered;
    state.changed.wait(locked.lock, [&] { return state.generation != generation; });
    --state.unanswered;
    state.changed.notify_all();
    Log(state, "SCardTransmit", call, "given up, card replaced", SCARD_W_REMOVED_CARD);
    return SCARD_W_REMOVED_CARD;
  }
  Bytes answer = state.firmware->Apdu(apdu);
  if (!state.chaos->Spoil(&answer)) {
    // Pulled mid-command: the card leaves the field, and is back (the
    // same card) for the next connection.
    state.firmware->PowerOff();
    state.powered = false;
    ++state.generation;
    state.changed.notify_all();
    Log(state, "SCardTransmit", call, "card pulled", SCARD_W_REMOVED_CARD);
    return SCARD_W_REMOVED_CARD;
  }
  result = GiveBack(answer, pbRecvBuffer, pcbRecvLength);
  Log(state, "SCardTransmit", call, Hex(answer.data(), answer.size()), result);
  return result;
}

// Not WinSCard: the tests' way to put another card in the field.
// Returns once every APDU left unanswered has returned: SCARD_S_SUCCESS,
// or SCARD_E_NO_SERVICE when the settings are refused.
__declspec(dllexport) LONG WINAPI TestReaderRestart() {
  State& state = Global();
  std::unique_lock<std::mutex> lock(state.mutex);
  Configure(state);
  state.changed.wait(lock, [&] { return state.unanswered == 0; });
  return state.problem.empty() ? SCARD_S_SUCCESS : SCARD_E_NO_SERVICE;
}

}  // extern "C"
