#pragma once
// The virtual reader behind the library's functions: its open handle, its
// key memory, the card in its field and where that card's memory is saved.
// The exported functions only convert arguments and log; every rule lives
// here or in the card.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dcrf32/backend.h"
#include "dcrf32/key_store.h"
#include "dcrf32/status.h"
#include "sim/card.h"
#include "cards/dump_file.h"

namespace sim {

// Statuses the functions return: those of every dcrf32 built here.
using namespace dcrf32::statuses;

// What dc_init returns when it does not open the reader. A dump that cannot
// be used looks to the program like no reader at all.
constexpr int32_t kInitReaderAbsent = -1;
constexpr int32_t kInitBadConfiguration = -2;
constexpr int32_t kInitBadDump = -1;

// Settings as found in the environment, not yet checked.
struct Config {
  std::string reader;  // DCRF32_SIM_READER: "" or "present", or "absent"
  std::string card;    // DCRF32_SIM_CARD: "" (= m1), m1, cpu, composite, cuid, mini, 4k, none
  std::optional<std::filesystem::path> dump;  // DCRF32_SIM_DUMP
};

Config ConfigFromEnvironment();

// The library's back end, with a call log that shows keys as they are,
// for a card that is only rehearsed on.
class Reader : public dcrf32::Backend {
 public:
  Reader() : Backend("virtual reader", "DCRF32_SIM_TRACE", false), trace_("virtual reader", Clock::now()) {}

  dcrf32::TraceFile& Log() override { return trace_; }
  // Starts over: closes any open handle, forgets every key, puts a fresh
  // card (idle, memory from the dump or the factory image) in the field.
  // Returns the new handle (> 0) or a negative kInit* value after one line
  // on standard error naming the problem (none for an absent reader), which
  // problem() then also returns.
  int32_t Open(const Config& config);
  int32_t Open() override { return Open(ConfigFromEnvironment()); }
  // A dump or setting refused: the reason follows the result.
  void DescribeOpen(int32_t result, std::string*, std::string* reason) const override {
    if (result <= 0) *reason = problem_;
  }
  const std::string& problem() const { return problem_; }
  bool IsOpen(int32_t handle) const override { return handle_ > 0 && handle == handle_; }

  int16_t Beep(int32_t handle) override { return IsOpen(handle) ? kOk : kBadHandle; }
  // No sleep for the off time: the program waits after each call itself.
  int16_t Reset(int32_t handle, uint16_t milliseconds) override;
  int16_t ConfigCard(int32_t handle, uint8_t type) override;
  // mode 0 REQA, 1 WUPA.
  int16_t Request(int32_t handle, uint8_t mode, uint16_t* atqa) override;
  int16_t Anticollision(int32_t handle, uint8_t bitCount, uint32_t* serial) override;
  int16_t Select(int32_t handle, uint32_t serial, uint8_t* sak) override;
  int16_t Ats(int32_t handle, std::vector<uint8_t>* ats) override;
  // mode 0-2 key A sets, 4-6 key B sets.
  int16_t LoadKey(int32_t handle, uint8_t mode, uint8_t sector, const Key& key) override;
  int16_t Authenticate(int32_t handle, uint8_t mode, uint8_t sector) override;
  int16_t Read(int32_t handle, uint8_t block, Block* out) override;
  int16_t Write(int32_t handle, uint8_t block, const Block& data) override;

  // Null when no card is in the field.
  Card* card() { return card_ ? &*card_ : nullptr; }

 private:
  using Clock = dcrf32::TraceFile::Clock;

  void Close();
  int32_t Refuse(int32_t result, const std::string& problem);

  dcrf32::TraceFile trace_;
  int32_t handle_ = 0;
  int32_t lastHandle_ = 0;
  std::optional<Card> card_;
  std::optional<std::filesystem::path> dump_;
  // The file as read, so that a save keeps its format and its lines.
  DumpFile dumpFile_;
  std::string problem_;
  // What the last select answered; RATS is only sent when it says the card
  // speaks ISO 14443-4.
  std::optional<uint8_t> selectedSak_;
  dcrf32::KeyStore keys_;
};

}  // namespace sim
