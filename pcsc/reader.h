#pragma once
// The reader behind the library's functions: which PC/SC reader is open,
// what is known of the card in its field for the current connection, and
// the keys the program loaded. Keys stay in this memory; the reader gets
// one just before it authenticates with it, in the form it takes keys, and
// only when none of its slots holds that key already.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "cards/layout.h"
#include "dcrf32/backend.h"
#include "dcrf32/key_store.h"
#include "pcsc/identity.h"
#include "pcsc/key_form.h"
#include "pcsc/key_slots.h"
#include "pcsc/link.h"
#include "pcsc/trace.h"

namespace pcsc {

using ::kBlockSize;

using Key = dcrf32::Key;
using Block = std::array<uint8_t, kBlockSize>;

struct Config {
  std::optional<std::string> reader;  // DCRF32_PCSC_READER: part of a reader's name
  std::optional<std::string> keyForm;  // DCRF32_PCSC_KEYFORM: a KeyFormName
};

Config ConfigFromEnvironment();

// The library's back end, with a call log that shows no key.
class Reader : public dcrf32::Backend {
 public:
  // The trace first, so the log's times count from the library's load.
  Reader() : Backend("PC/SC", "DCRF32_PCSC_TRACE", true), trace_(Trace::Clock::now()), link_(&trace_) {}

  dcrf32::TraceFile& Log() override { return trace_; }
  // Starts over: forgets the card, every key and what the reader's slots
  // hold, picks a reader. Returns the new handle (> 0) or kInitNoReader;
  // problem() then says why when the cause was a setting.
  int32_t Open(const Config& config);
  int32_t Open() override { return Open(ConfigFromEnvironment()); }
  // Port and baud rate mean nothing to PC/SC; the log names the reader.
  void DescribeOpen(int32_t result, std::string* moreArguments, std::string* reason) const override;
  const std::string& problem() const { return problem_; }
  bool IsOpen(int32_t handle) const override { return handle_ > 0 && handle == handle_; }
  const std::string& readerName() const { return link_.reader(); }
  // Called as each library call begins: PC/SC gets kCallBound for it.
  void StartCall() override { link_.StartCall(); }

  int16_t Beep(int32_t handle) override;
  int16_t Reset(int32_t handle, uint16_t milliseconds) override;
  int16_t ConfigCard(int32_t handle, uint8_t type) override;
  int16_t Request(int32_t handle, uint8_t mode, uint16_t* atqa) override;
  int16_t Anticollision(int32_t handle, uint8_t bitCount, uint32_t* serial) override;
  int16_t Select(int32_t handle, uint32_t serial, uint8_t* sak) override;
  int16_t Ats(int32_t handle, Bytes* ats) override;
  // mode 0-2 key A sets, 4-6 key B sets, as the virtual reader has them.
  int16_t LoadKey(int32_t handle, uint8_t mode, uint8_t sector, const Key& key) override;
  int16_t Authenticate(int32_t handle, uint8_t mode, uint8_t sector) override;
  int16_t Read(int32_t handle, uint8_t block, Block* out) override;
  int16_t Write(int32_t handle, uint8_t block, const Block& data) override;

 private:

  // Fills card_ for a fresh connection: UID, then ATQA and SAK by the
  // exact ways first, the ATR last.
  int16_t Identify();
  bool ProbeGetData(Identity* card);
  bool ProbePn53x(Identity* card);
  // The card of the current connection; nothing once the connection ended.
  Identity* Card();
  // Has the key of that type in one of the reader's slots, loading it when
  // none holds it, and says which. On the reader's first load, tries the
  // forms until one is taken.
  int16_t PutKey(uint8_t keyType, const Key& key, KeySlot* slot);
  Exchange LoadInto(KeyForm form, uint8_t keyType, const Key& key, KeySlot* slot);
  // The form set or found for the open reader, if any.
  std::optional<KeyForm> FormInUse() const;
  // The trace names the form once per opening.
  void NameForm(KeyForm form, const char* how);

  Trace trace_;
  Link link_;
  int32_t handle_ = 0;
  int32_t lastHandle_ = 0;
  std::optional<Identity> card_;
  bool selected_ = false;   // the program's select step answered
  bool atsAsked_ = false;   // GET DATA P1 01 already tried on this connection
  dcrf32::KeyStore keys_;
  std::optional<KeyForm> forced_;
  // The form each reader took, by name, for the library's lifetime.
  std::map<std::string, KeyForm> found_;
  KeySlots slots_;
  bool formNamed_ = false;
  std::string problem_;
};

}  // namespace pcsc
