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
  std::string card;    // DCRF32_SIM_CARD: "" (= m1), m1, cpu, composite, cuid, none
  std::optional<std::filesystem::path> dump;  // DCRF32_SIM_DUMP
};

Config ConfigFromEnvironment();

class Reader {
 public:
  // Starts over: closes any open handle, forgets every key, puts a fresh
  // card (idle, memory from the dump or the factory image) in the field.
  // Returns the new handle (> 0) or a negative kInit* value after one line
  // on standard error naming the problem (none for an absent reader), which
  // problem() then also returns.
  int32_t Open(const Config& config);
  const std::string& problem() const { return problem_; }
  bool IsOpen(int32_t handle) const { return handle_ > 0 && handle == handle_; }

  int16_t Beep(int32_t handle);
  int16_t Reset(int32_t handle);
  int16_t ConfigCard(int32_t handle, uint8_t type);
  // mode 0 REQA, 1 WUPA.
  int16_t Request(int32_t handle, uint8_t mode, uint16_t* atqa);
  int16_t Anticollision(int32_t handle, uint8_t bitCount, Uid* uid);
  int16_t Select(int32_t handle, const Uid& uid, uint8_t* sak);
  int16_t Rats(int32_t handle, std::vector<uint8_t>* ats);
  // mode 0-2 key A sets, 4-6 key B sets.
  int16_t LoadKey(int32_t handle, uint8_t mode, uint8_t sector, const Key& key);
  int16_t Authenticate(int32_t handle, uint8_t mode, uint8_t sector);
  int16_t Read(int32_t handle, uint8_t block, Block* out);
  int16_t Write(int32_t handle, uint8_t block, const Block& data);

  // Null when no card is in the field.
  Card* card() { return card_ ? &*card_ : nullptr; }

 private:
  void Close();
  int32_t Refuse(int32_t result, const std::string& problem);

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
