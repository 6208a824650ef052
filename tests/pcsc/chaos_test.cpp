// The library against a reader whose answers are spoiled at random: cut
// short, oversized, with a wrong status word, replaced by noise, or the
// card pulled mid-command. It must never crash, never write past a
// caller's buffer, never call a spoiled answer a success, and never report
// data or an identity the card does not have.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "reader/reader.h"
#include "stack.h"

namespace {

constexpr unsigned char kCanary = 0xA5;

std::vector<std::string> LinesFrom(const char* path, size_t skip) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; std::getline(file, line); ++i)
    if (i >= skip) lines.push_back(line);
  return lines;
}

bool UpperHex(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (!std::isdigit(static_cast<unsigned char>(text[i])) && !(text[i] >= 'A' && text[i] <= 'F'))
      return false;
  return true;
}

std::string FactoryBlock(int block) {
  if (block == 0) return "3A5C7E9189080400" "5155494C4C53494D";  // UID BCC SAK ATQA "QUILLSIM"
  if (block % 4 == 3) return "000000000000FF078069FFFFFFFFFFFF";
  return std::string(32, '0');
}

class Chaos : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DCRF32_PCSC_TRACE");
    setenv("DCRF32_PCSC_READER", stack::kReader, 1);
    ReaderLoadResult loaded = LoadReaderLibrary(PCSC_LIBRARY_PATH);
    ASSERT_TRUE(loaded.ok()) << loaded.Message();
    api_ = loaded.api;
  }
  void TearDown() override { stack::RemoveCard(); }
  const ReaderApi* api_ = nullptr;
};

}  // namespace

TEST_F(Chaos, LibrarySurvivesSpoiledAnswersAndPulledCards) {
  const std::string file = stack::TemporaryFile("quillon-chaos");
  ASSERT_FALSE(file.empty());
  const char* log = file.c_str();
  std::string problem;
  ASSERT_TRUE(stack::InsertCard({"--card", "m1", "--chaos", "20261208,12", "--chaos-log", log},
                                &problem))
      << problem;
  const ReaderApi& api = *api_;
  const int32_t h = api.dc_init(100, 115200);
  ASSERT_GT(h, 0);
  uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  for (uint8_t sector = 0; sector < 16; ++sector) ASSERT_EQ(0, api.dc_load_key(h, 0, sector, key));

  std::array<std::optional<std::string>, 64> expected;
  for (int block = 0; block < 64; ++block) expected[block] = FactoryBlock(block);
  std::mt19937 random(4711);
  auto roll = [&](int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); };

  std::map<std::string, int> spoiled;
  int calls = 0, failed = 0, checkedReads = 0, apdus = 0, returned = 0, lastSector = -1;
  bool lastFailed = true;
  double longestMs = 0;
  size_t logLines = 0;
  using Clock = std::chrono::steady_clock;

  for (int i = 0; i < 1200; ++i) {
    // Mostly sector commands, on the sector last authenticated where there
    // is one, so that reads and writes get as far as the card.
    const int dice = roll(20);
    int op = dice < 3 ? 0 : dice < 4 ? 1 : dice < 8 ? 2 : dice < 16 ? 3 : 5;
    // After a failure the card is idle: mostly find it again, as a user would.
    if (lastFailed && roll(5) < 3) op = 0;
    auto pickBlock = [&] {
      return lastSector >= 0 && roll(5) > 0 ? lastSector * 4 + roll(4) : roll(64);
    };
    int16_t status = 0;
    const auto start = Clock::now();
    if (op == 0) {
      uint32_t tag = 0, serial = 0;
      uint8_t sak = 0;
      status = api.dc_request(h, 1, &tag);
      if (status == 0) {
        EXPECT_EQ(0x0004u, tag);
        status = api.dc_anticoll(h, 0, &serial);
      }
      if (status == 0) {
        EXPECT_EQ(0x917E5C3Au, serial);
        status = api.dc_select(h, serial, &sak);
      }
      if (status == 0) {
        EXPECT_EQ(0x08, sak);
      }
    } else if (op == 1) {
      // An M1 card has no ATS: the call fails without touching the buffer.
      unsigned char ats[256 + 16];
      std::memset(ats, kCanary, sizeof ats);
      uint8_t length = 0;
      status = api.dc_pro_resethex(h, &length, reinterpret_cast<char*>(ats));
      EXPECT_NE(0, status);
      for (unsigned char c : ats) ASSERT_EQ(kCanary, c);
    } else if (op == 2) {
      const int sector = roll(16);
      status = api.dc_authentication(h, 0, static_cast<uint8_t>(sector));
      lastSector = status == 0 ? sector : -1;
    } else if (op == 3) {
      const int block = pickBlock();
      unsigned char text[33 + 16];
      std::memset(text, kCanary, sizeof text);
      status = api.dc_read_hex(h, static_cast<uint8_t>(block), reinterpret_cast<char*>(text));
      for (size_t k = 33; k < sizeof text; ++k) ASSERT_EQ(kCanary, text[k]) << "past the buffer";
      if (status == 0) {
        ASSERT_EQ('\0', text[32]);
        ASSERT_TRUE(UpperHex(reinterpret_cast<char*>(text), 32));
        if (expected[block]) {
          EXPECT_EQ(*expected[block], std::string(reinterpret_cast<char*>(text))) << "block " << block;
          ++checkedReads;
        }
      }
    } else {
      int block = pickBlock();
      if (block % 4 == 3) --block;  // never a trailer, nor block 0
      if (block == 0) block = 1;
      char data[33];
      for (int k = 0; k < 32; ++k) data[k] = "0123456789ABCDEF"[roll(16)];
      data[32] = '\0';
      status = api.dc_write_hex(h, static_cast<uint8_t>(block), data);
      // A spoiled answer may come after the card wrote: unknown from here.
      if (status == 0) expected[block] = std::string(data);
      else expected[block].reset();
    }
    longestMs = std::max(longestMs,
                         std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    ++calls;
    if (status != 0) ++failed;
    lastFailed = status != 0 && op != 1;
    const std::vector<std::string> lines = LinesFrom(log, logLines);
    logLines += lines.size();
    apdus += static_cast<int>(lines.size());
    bool spoilt = false;
    bool pulled = false;
    for (const std::string& kind : lines) {
      if (kind == "clean") continue;
      ++spoiled[kind];
      spoilt = true;
      pulled = pulled || kind == "pulled";
    }
    // The card comes back a moment later, as a user would put it back.
    if (pulled) returned += stack::WaitForCard(false, 5000) && stack::WaitForCard(true, 5000);
    // Identification may get round a spoiled probe by the next way; a
    // sector command has no other way.
    if (spoilt && op >= 2) {
      EXPECT_NE(0, status) << "call " << i << " op " << op;
    }
    // A failure leaves the card idle; the ATS step on an M1 card sends nothing.
    if (op == 0 || (op != 1 && status != 0)) lastSector = -1;
  }
  std::remove(log);

  std::printf("random responses: %d calls, %d failed, %d APDUs; spoiled: %d short, %d oversized, "
              "%d wrong status, %d noise, %d pulled; %d reads checked against the card; "
              "longest call %.1f ms\n",
              calls, failed, apdus, spoiled["short"], spoiled["oversized"], spoiled["status"],
              spoiled["noise"], spoiled["pulled"], checkedReads, longestMs);
  EXPECT_GT(spoiled["pulled"], 0);
  EXPECT_EQ(spoiled["pulled"], returned);
  EXPECT_GT(checkedReads, 0);

  // Afterwards a sound reader and card work as if nothing had happened.
  ASSERT_TRUE(stack::InsertCard({"--card", "m1"}, &problem)) << problem;
  uint32_t tag = 0, serial = 0;
  uint8_t sak = 0;
  ASSERT_EQ(0, api.dc_reset(h, 10));
  ASSERT_EQ(0, api.dc_request(h, 1, &tag));
  ASSERT_EQ(0, api.dc_anticoll(h, 0, &serial));
  ASSERT_EQ(0, api.dc_select(h, serial, &sak));
  for (uint8_t sector = 0; sector < 16; ++sector) {
    ASSERT_EQ(0, api.dc_authentication(h, 0, sector));
    for (uint8_t block = sector * 4; block < sector * 4 + 4; ++block) {
      char text[33];
      ASSERT_EQ(0, api.dc_read_hex(h, block, text));
      EXPECT_EQ(FactoryBlock(block), text);
    }
  }
}
