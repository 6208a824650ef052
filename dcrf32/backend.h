#pragma once
// What a reader library supplies behind the exports of dcrf32/exports.cpp:
// the reader itself (the virtual one, or PC/SC) and its call log. The
// front end checks handles and pointers, converts between the C types and
// hex texts of the interface, logs every call and keeps exceptions in; the
// back end does the reader's work and says what a call means for the card.

#include <cstdint>
#include <string>
#include <vector>

#include "dcrf32/key_store.h"
#include "dcrf32/status.h"
#include "dcrf32/trace_file.h"

namespace dcrf32 {

using Block = std::array<uint8_t, 16>;

class Backend {
 public:
  // name: who reports a problem on standard error; traceVariable: the
  // environment variable naming the call log; masksKeys: whether the log
  // shows keys and the key fields of sector trailers as "*".
  Backend(const char* name, const char* traceVariable, bool masksKeys)
      : name_(name), traceVariable_(traceVariable), masksKeys_(masksKeys) {}
  virtual ~Backend() = default;
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  const char* name() const { return name_; }
  const char* traceVariable() const { return traceVariable_; }
  bool masksKeys() const { return masksKeys_; }
  virtual TraceFile& Log() = 0;

  // Before the work of each function.
  virtual void StartCall() {}
  // Starts over with the settings the environment holds now: the new
  // handle (> 0), or a negative value when no reader opens.
  virtual int32_t Open() = 0;
  // What dc_init's log line adds: arguments after port and baud, and a
  // reason after the result; empty for none.
  virtual void DescribeOpen(int32_t result, std::string* moreArguments, std::string* reason) const = 0;
  virtual bool IsOpen(int32_t handle) const = 0;

  virtual int16_t Beep(int32_t handle) = 0;
  virtual int16_t Reset(int32_t handle, uint16_t milliseconds) = 0;
  virtual int16_t ConfigCard(int32_t handle, uint8_t type) = 0;
  virtual int16_t Request(int32_t handle, uint8_t mode, uint16_t* atqa) = 0;
  // The UID's first four bytes, byte 0 in the low byte.
  virtual int16_t Anticollision(int32_t handle, uint8_t bitCount, uint32_t* serial) = 0;
  virtual int16_t Select(int32_t handle, uint32_t serial, uint8_t* sak) = 0;
  virtual int16_t Ats(int32_t handle, std::vector<uint8_t>* ats) = 0;
  virtual int16_t LoadKey(int32_t handle, uint8_t mode, uint8_t sector, const Key& key) = 0;
  virtual int16_t Authenticate(int32_t handle, uint8_t mode, uint8_t sector) = 0;
  virtual int16_t Read(int32_t handle, uint8_t block, Block* out) = 0;
  virtual int16_t Write(int32_t handle, uint8_t block, const Block& data) = 0;

 private:
  const char* name_;
  const char* traceVariable_;
  bool masksKeys_;
};

// The back end of the library being built; each library defines it once.
Backend& LibraryBackend();

}  // namespace dcrf32
