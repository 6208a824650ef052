// The virtual reader behind the exports every dcrf32 shares: the simulated
// reader and card, and a call log that shows keys as they are, for a card
// that is only rehearsed on.
#include "dcrf32/backend.h"

#include "sim/reader.h"

namespace sim {
namespace {

Uid UidFromSerial(uint32_t serial) {
  return {static_cast<uint8_t>(serial), static_cast<uint8_t>(serial >> 8), static_cast<uint8_t>(serial >> 16),
          static_cast<uint8_t>(serial >> 24)};
}

uint32_t SerialFromUid(const Uid& uid) {
  return static_cast<uint32_t>(uid[0]) | static_cast<uint32_t>(uid[1]) << 8 | static_cast<uint32_t>(uid[2]) << 16 |
         static_cast<uint32_t>(uid[3]) << 24;
}

class SimBackend : public dcrf32::Backend {
 public:
  SimBackend() : Backend("virtual reader", "DCRF32_SIM_TRACE", false), trace_("virtual reader", Clock::now()) {}

  dcrf32::TraceFile& Log() override { return trace_; }
  int32_t Open() override { return reader_.Open(ConfigFromEnvironment()); }
  // A dump or setting refused: the reason follows the result.
  void DescribeOpen(int32_t result, std::string*, std::string* reason) const override {
    if (result <= 0) *reason = reader_.problem();
  }
  bool IsOpen(int32_t h) const override { return reader_.IsOpen(h); }

  int16_t Beep(int32_t h) override { return reader_.Beep(h); }
  // No sleep for the off time: the program waits after each call itself.
  int16_t Reset(int32_t h, uint16_t) override { return reader_.Reset(h); }
  int16_t ConfigCard(int32_t h, uint8_t type) override { return reader_.ConfigCard(h, type); }
  int16_t Request(int32_t h, uint8_t mode, uint16_t* atqa) override { return reader_.Request(h, mode, atqa); }
  int16_t Anticollision(int32_t h, uint8_t bits, uint32_t* serial) override {
    Uid uid{};
    const int16_t status = reader_.Anticollision(h, bits, &uid);
    if (status == kOk) *serial = SerialFromUid(uid);
    return status;
  }
  int16_t Select(int32_t h, uint32_t serial, uint8_t* sak) override {
    return reader_.Select(h, UidFromSerial(serial), sak);
  }
  int16_t Ats(int32_t h, std::vector<uint8_t>* ats) override { return reader_.Rats(h, ats); }
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
  using Clock = dcrf32::TraceFile::Clock;
  dcrf32::TraceFile trace_;
  Reader reader_;
};

}  // namespace
}  // namespace sim

dcrf32::Backend& dcrf32::LibraryBackend() {
  static sim::SimBackend backend;
  return backend;
}
