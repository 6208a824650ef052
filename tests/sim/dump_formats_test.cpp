// Dumps in the formats the common card tools export, through the built
// library: read, written back in place, or refused with the file untouched.
#include "library_fixture.h"
#include "tests/cards/dump_corpus.h"

#include <sstream>
#include <vector>

namespace {

class Dumps : public Library {
 protected:
  fs::path Use(const std::string& name, const std::string& content) {
    const fs::path path = dir_ / name;
    Spit(path, content);
    setenv("DCRF32_SIM_DUMP", path.c_str(), 1);
    return path;
  }
  static void Authenticate(int32_t h, uint8_t mode, uint8_t sector, const uint8_t key[6]) {
    uint8_t copy[6];
    std::memcpy(copy, key, 6);
    ASSERT_EQ(0, dc_load_key(h, mode, sector, copy));
    ASSERT_EQ(0, dc_authentication(h, mode, sector));
  }
  // Reads the card's last data block as the dump has it, writes another
  // value, and finds it again after opening the saved file afresh.
  void ReplayLastDataBlock(int32_t h, const dump_corpus::Case& c) {
    const auto& last = c.blocks[1];
    const uint8_t sector = static_cast<uint8_t>(c.preset == std::string("4k") ? 39 : c.preset == std::string("mini") ? 4 : 15);
    Activate(h);
    Authenticate(h, 0, sector, kFactoryKey);
    EXPECT_EQ(last.second, ReadBlock(h, static_cast<uint8_t>(last.first)));
    char data[] = "0000000000000000000000000000BEEF";
    ASSERT_EQ(0, dc_write_hex(h, static_cast<uint8_t>(last.first), data));
    const std::string saved = Slurp(dir_ / c.name);
    EXPECT_EQ(c.content.size(), saved.size());
    const int32_t again = Open(c.preset);
    ASSERT_GT(again, 0);
    Activate(again);
    Authenticate(again, 0, sector, kFactoryKey);
    EXPECT_EQ(data, ReadBlock(again, static_cast<uint8_t>(last.first)));
  }
  // A refusal leaves the card idle, so it is found again afterwards.
  static bool Refused(int32_t h, uint8_t mode, uint8_t sector, const uint8_t key[6]) {
    uint8_t copy[6];
    std::memcpy(copy, key, 6);
    dc_load_key(h, mode, sector, copy);
    const bool refused = dc_authentication(h, mode, sector) != 0;
    Activate(h);
    return refused;
  }
};

using dump_corpus::CardBlocks;
using dump_corpus::Join;
using dump_corpus::MctLineOf;
using dump_corpus::MctLines;

std::string LastLine(const std::string& text) {
  std::string last;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) last = line;
  return last;
}

const uint8_t kKeyA[6] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
const uint8_t kKeyB[6] = {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5};
const uint8_t kZeroKey[6] = {0, 0, 0, 0, 0, 0};

}  // namespace

TEST_F(Dumps, MctTextIsReadAndWrittenBackLineForLineWithUnknownKeysKeptUnknown) {
  std::vector<std::string> blocks = CardBlocks();
  blocks[4] = "0123456789abcdef0123456789abcdef";
  // Key A unknown; key B may change both keys (access bits 7F0788: the
  // trailer under C1C2C3 = 011, data blocks free).
  blocks[11] = "------------7F078869B0B1B2B3B4B5";
  // Key B unknown under the transport bits, where it reads as data.
  blocks[15] = "FFFFFFFFFFFFFF078069------------";
  std::vector<std::string> lines = MctLines(blocks);
  lines.insert(lines.begin() + 1, "# the card of the front door  ");
  const std::string original = Join(lines, "\r\n");
  const fs::path dump = Use("door.mct", original);

  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  uint8_t sak = 0;
  EXPECT_EQ(0x44332211u, Activate(h, &sak));
  AuthenticateWithFactoryKeyA(h, 1);
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", ReadBlock(h, 4));
  char data[] = "CAFEBABE000000000000000000000001";
  ASSERT_EQ(0, dc_write_hex(h, 5, data));

  // The unknown key A matches neither the factory key nor the zeros it is
  // held as; key B works and sets it.
  EXPECT_TRUE(Refused(h, 0, 2, kFactoryKey));
  EXPECT_TRUE(Refused(h, 0, 2, kZeroKey));
  Authenticate(h, 4, 2, kKeyB);
  EXPECT_EQ("0000000000007F078869000000000000", ReadBlock(h, 11));
  char trailer[] = "A0A1A2A3A4A57F078869B0B1B2B3B4B5";
  ASSERT_EQ(0, dc_write_hex(h, 11, trailer));
  Activate(h);
  Authenticate(h, 0, 2, kKeyA);

  // Key B of sector 3 is readable, so it shows, as zeros.
  Activate(h);
  AuthenticateWithFactoryKeyA(h, 3);
  EXPECT_EQ("000000000000FF078069000000000000", ReadBlock(h, 15));

  // Only the two written blocks changed; the comments, the line ends, the
  // lower-case block and the unknown key B are as they were.
  lines[MctLineOf(5) + 1] = data;
  lines[MctLineOf(11) + 1] = trailer;
  EXPECT_EQ(Join(lines, "\r\n"), Slurp(dump));
  EXPECT_FALSE(fs::exists(dir_ / "door.mct.tmp"));

  // The next session starts from the saved text.
  const int32_t again = dc_init(100, 115200);
  Activate(again);
  Authenticate(again, 0, 2, kKeyA);
}

TEST_F(Dumps, AKeyBWrittenWhereTheDumpHadNoneIsSavedAndAuthenticates) {
  std::vector<std::string> lines = MctLines(CardBlocks());
  // Key B unknown under the transport bits, where key A may set it.
  lines[MctLineOf(15)] = "FFFFFFFFFFFFFF078069------------";
  const fs::path dump = Use("no key B.mct", Join(lines, "\n"));
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  Activate(h);
  AuthenticateWithFactoryKeyA(h, 3);
  // Access bits 011 hide key B, so that it may authenticate.
  char trailer[] = "FFFFFFFFFFFF7F078869B0B1B2B3B4B5";
  ASSERT_EQ(0, dc_write_hex(h, 15, trailer));
  lines[MctLineOf(15)] = trailer;
  EXPECT_EQ(Join(lines, "\n"), Slurp(dump));
  Activate(h);
  Authenticate(h, 4, 3, kKeyB);
  const int32_t again = dc_init(100, 115200);
  Activate(again);
  Authenticate(again, 4, 3, kKeyB);
}

TEST_F(Dumps, EmlTextIsReadAndWrittenBackInPlace) {
  std::vector<std::string> blocks = CardBlocks();
  blocks[0] = "4D1F62A8980804006263646566676869";
  blocks[62] = "00112233445566778899aabbccddeeff";
  // As an editor may leave it: a byte order mark, no line end at the end.
  auto text = [&] {
    const std::string joined = Join(blocks, "\n");
    return "\xEF\xBB\xBF" + joined.substr(0, joined.size() - 1);
  };
  const fs::path dump = Use("card.eml", text());

  const int32_t h = Open("composite");
  ASSERT_GT(h, 0);
  uint8_t sak = 0;
  EXPECT_EQ(0xA8621F4Du, Activate(h, &sak));
  EXPECT_EQ(0x08, sak);
  AuthenticateWithFactoryKeyA(h, 15);
  EXPECT_EQ("00112233445566778899AABBCCDDEEFF", ReadBlock(h, 62));
  char data[] = "0000000000000000000000000000BEEF";
  ASSERT_EQ(0, dc_write_hex(h, 61, data));
  blocks[61] = data;
  EXPECT_EQ(text(), Slurp(dump));
}

TEST_F(Dumps, EachCorpusFileIsTakenOrRefusedUntouchedAndTheLogSaysWhy) {
  const fs::path log = dir_ / "calls.log";
  setenv("DCRF32_SIM_TRACE", log.c_str(), 1);
  for (const dump_corpus::Case& c : dump_corpus::Cases()) {
    SCOPED_TRACE(c.name);
    const fs::path dump = Use(c.name, c.content);
    ::testing::internal::CaptureStderr();
    const int32_t h = Open(c.preset);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.content, Slurp(dump));
    if (!c.reader) {
      EXPECT_GT(h, 0) << said;
      if (!c.saved.empty()) ReplayLastDataBlock(h, c);
      continue;
    }
    EXPECT_EQ(-1, h);
    EXPECT_NE(std::string::npos, said.find(c.reader)) << said;
    const std::string logged = LastLine(Slurp(log));
    EXPECT_NE(std::string::npos, logged.find("\tdc_init\t100,115200\t-1\tcard dump ")) << logged;
    EXPECT_NE(std::string::npos, logged.find(c.name + " ")) << logged;
    EXPECT_NE(std::string::npos, logged.find(c.reader)) << logged;
    EXPECT_FALSE(fs::exists(dir_ / (c.name + ".tmp")));
  }
}
