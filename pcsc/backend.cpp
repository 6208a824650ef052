// The PC/SC library behind the exports every dcrf32 shares: a PC/SC
// reader, and a call log that shows no key.
#include "dcrf32/backend.h"

#include "pcsc/reader.h"
#include "pcsc/trace.h"

namespace pcsc {
namespace {

class PcscBackend : public dcrf32::Backend {
 public:
  // The trace first, so the log's times count from the library's load.
  PcscBackend() : Backend("PC/SC", "DCRF32_PCSC_TRACE", true), trace_(Trace::Clock::now()), reader_(&trace_) {}

  dcrf32::TraceFile& Log() override { return trace_; }
  void StartCall() override { reader_.StartCall(); }
  int32_t Open() override { return reader_.Open(ConfigFromEnvironment()); }
  // Port and baud rate mean nothing to PC/SC; the log names the reader.
  void DescribeOpen(int32_t result, std::string* more, std::string* reason) const override {
    *more = result > 0 ? reader_.readerName() : "-";
    if (result <= 0) *reason = reader_.problem();
  }
  bool IsOpen(int32_t h) const override { return reader_.IsOpen(h); }

  int16_t Beep(int32_t h) override { return reader_.Beep(h); }
  int16_t Reset(int32_t h, uint16_t ms) override { return reader_.Reset(h, ms); }
  int16_t ConfigCard(int32_t h, uint8_t type) override { return reader_.ConfigCard(h, type); }
  int16_t Request(int32_t h, uint8_t mode, uint16_t* atqa) override { return reader_.Request(h, mode, atqa); }
  int16_t Anticollision(int32_t h, uint8_t bits, uint32_t* serial) override {
    return reader_.Anticollision(h, bits, serial);
  }
  int16_t Select(int32_t h, uint32_t serial, uint8_t* sak) override { return reader_.Select(h, serial, sak); }
  int16_t Ats(int32_t h, std::vector<uint8_t>* ats) override { return reader_.Ats(h, ats); }
  int16_t LoadKey(int32_t h, uint8_t mode, uint8_t sector, const dcrf32::Key& key) override {
    return reader_.LoadKey(h, mode, sector, key);
  }
  int16_t Authenticate(int32_t h, uint8_t mode, uint8_t sector) override {
    return reader_.Authenticate(h, mode, sector);
  }
  int16_t Read(int32_t h, uint8_t block, dcrf32::Block* out) override { return reader_.Read(h, block, out); }
  int16_t Write(int32_t h, uint8_t block, const dcrf32::Block& data) override {
    return reader_.Write(h, block, data);
  }

 private:
  Trace trace_;
  Reader reader_;
};

}  // namespace
}  // namespace pcsc

dcrf32::Backend& dcrf32::LibraryBackend() {
  static pcsc::PcscBackend backend;
  return backend;
}
