// The built library driven through its twelve functions, as the program
// calls them, with its settings in the environment.
#include "library_fixture.h"

#include <regex>
#include <sstream>
#include <vector>

namespace {

// ------------------------------------------------------------ identification

TEST_F(Library, M1CardEndsAtTheAtsStepAndIsStillSelectedForReading) {
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  uint32_t tagType = 0;
  ASSERT_EQ(0, dc_request(h, 0, &tagType));
  EXPECT_EQ(0x0004u, tagType);
  uint32_t serial = 0;
  ASSERT_EQ(0, dc_anticoll(h, 0, &serial));
  EXPECT_EQ(0x917E5C3Au, serial);
  uint8_t sak = 0;
  ASSERT_EQ(0, dc_select(h, serial, &sak));
  EXPECT_EQ(0x08, sak);
  uint8_t len = 77;
  char ats[256];
  std::memset(ats, '#', sizeof ats);
  EXPECT_NE(0, dc_pro_resethex(h, &len, ats));
  EXPECT_EQ(77, len);
  EXPECT_EQ('#', ats[0]);
  AuthenticateWithFactoryKeyA(h, 0);
  EXPECT_EQ("3A5C7E91", ReadBlock(h, 0).substr(0, 8));
}

TEST_F(Library, CpuAndCompositeCardsAnswerRats) {
  struct Case {
    const char* card;
    uint32_t tagType, serial;
    uint8_t sak;
    const char* ats;
  };
  const Case cases[] = {{"cpu", 0x0008, 0x142F6B08, 0x20, "0578807002"},
                        {"composite", 0x0004, 0x079C215E, 0x28, "067777710280"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.card);
    const int32_t h = Open(c.card);
    ASSERT_GT(h, 0);
    uint32_t tagType = 0;
    ASSERT_EQ(0, dc_request(h, 0, &tagType));
    EXPECT_EQ(c.tagType, tagType);
    uint8_t sak = 0;
    const uint32_t serial = Activate(h, &sak);
    EXPECT_EQ(c.serial, serial);
    EXPECT_EQ(c.sak, sak);
    uint8_t len = 0;
    char ats[256];
    std::memset(ats, '#', sizeof ats);
    ASSERT_EQ(0, dc_pro_resethex(h, &len, ats));
    EXPECT_STREQ(c.ats, ats);
    EXPECT_EQ(std::strlen(c.ats) / 2, len);
    EXPECT_EQ('#', ats[std::strlen(c.ats) + 1]);
    // In the ISO 14443-4 state the MIFARE commands fail.
    ASSERT_EQ(0, dc_load_key(h, 0, 0, kFactoryKey));
    EXPECT_NE(0, dc_authentication(h, 0, 0));
  }
  // The composite card's MIFARE side again after a re-activation without RATS.
  const int32_t h = Open("composite");
  Activate(h);
  AuthenticateWithFactoryKeyA(h, 0);
  EXPECT_EQ("5E219C07", ReadBlock(h, 0).substr(0, 8));
}

TEST_F(Library, NoCardOrNoReader) {
  const int32_t h = Open("none");
  ASSERT_GT(h, 0);
  uint32_t tagType = 0;
  EXPECT_NE(0, dc_request(h, 1, &tagType));

  setenv("DCRF32_SIM_READER", "absent", 1);
  EXPECT_EQ(-1, Open("m1"));
  EXPECT_NE(0, dc_beep(h, 10));
  EXPECT_NE(0, dc_config_card(-1, 'A'));
}

TEST_F(Library, EveryFunctionRefusesAHandleThatIsNotTheOpenOne) {
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  const int32_t stale = h + 1000;
  uint32_t v = 0;
  uint8_t b = 0;
  char text[256] = "00000000000000000000000000000000";
  EXPECT_NE(0, dc_beep(stale, 10));
  EXPECT_NE(0, dc_reset(stale, 10));
  EXPECT_NE(0, dc_config_card(stale, 'A'));
  EXPECT_NE(0, dc_request(stale, 1, &v));
  EXPECT_NE(0, dc_anticoll(stale, 0, &v));
  EXPECT_NE(0, dc_select(stale, 0x917E5C3A, &b));
  EXPECT_NE(0, dc_pro_resethex(stale, &b, text));
  EXPECT_NE(0, dc_load_key(stale, 0, 0, kFactoryKey));
  EXPECT_NE(0, dc_authentication(stale, 0, 0));
  EXPECT_NE(0, dc_read_hex(stale, 1, text));
  EXPECT_NE(0, dc_write_hex(stale, 1, text));
  // The reader itself was not disturbed.
  Activate(h);
}

TEST_F(Library, InitForgetsKeysAndLeavesTheCardIdle) {
  const int32_t first = Open("m1");
  Activate(first);
  AuthenticateWithFactoryKeyA(first, 1);
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  uint32_t serial = 0;
  EXPECT_NE(0, dc_anticoll(h, 0, &serial));  // idle: needs a request first
  Activate(h);
  EXPECT_NE(0, dc_authentication(h, 0, 1));
}

// ---------------------------------------------------------- reads and writes

TEST_F(Library, AFailedAuthenticationNeedsReactivation) {
  const int32_t h = Open("m1");
  Activate(h);
  uint8_t wrong[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(0, dc_load_key(h, 0, 2, wrong));
  EXPECT_NE(0, dc_authentication(h, 0, 2));
  ASSERT_EQ(0, dc_load_key(h, 1, 2, kFactoryKey));
  EXPECT_NE(0, dc_authentication(h, 1, 2));
  Activate(h);
  EXPECT_EQ(0, dc_authentication(h, 1, 2));
  EXPECT_EQ("00000000000000000000000000000000", ReadBlock(h, 8));
}

TEST_F(Library, WriteTakesExactly32HexDigitsInEitherCase) {
  const int32_t h = Open("m1");
  Activate(h);
  AuthenticateWithFactoryKeyA(h, 1);
  char shortText[] = "0123456789ABCDEF0123456789ABCDE";
  char longText[] = "0123456789ABCDEF0123456789ABCDEF0";
  char notHex[] = "0123456789ABCDEF0123456789ABCDEG";
  EXPECT_NE(0, dc_write_hex(h, 4, shortText));
  EXPECT_NE(0, dc_write_hex(h, 4, longText));
  EXPECT_NE(0, dc_write_hex(h, 4, notHex));
  // Nothing was sent, so the card is still authenticated.
  char lower[] = "0123456789abcdef0123456789abcdef";
  ASSERT_EQ(0, dc_write_hex(h, 4, lower));
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", ReadBlock(h, 4));
  char any[] = "00000000000000000000000000000000";
  EXPECT_NE(0, dc_write_hex(h, 0, any));
  Activate(h);
  AuthenticateWithFactoryKeyA(h, 0);
  EXPECT_EQ("3A5C7E91", ReadBlock(h, 0).substr(0, 8));
}

// ------------------------------------------------------- a writable block 0

TEST_F(Library, CuidCardAnswersTheNextActivationWithItsNewBlock0) {
  const fs::path dump = dir_ / "cuid.mfd";
  setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
  const int32_t h = Open("cuid");
  ASSERT_GT(h, 0);
  uint8_t sak = 0;
  EXPECT_EQ(0xA8621F4Du, Activate(h, &sak));
  EXPECT_EQ(0x08, sak);
  AuthenticateWithFactoryKeyA(h, 0);
  EXPECT_EQ("4D1F62A898080400", ReadBlock(h, 0).substr(0, 16));
  // UID 01 02 03 04, BCC 04, SAK 28, ATQA 0044.
  char block0[] = "01020304042844006263646566676869";
  ASSERT_EQ(0, dc_write_hex(h, 0, block0));
  // The running activation goes on as it began.
  EXPECT_EQ(block0, ReadBlock(h, 0));
  EXPECT_EQ(block0, HexOf(Slurp(dump).substr(0, 16)));

  uint32_t tagType = 0;
  ASSERT_EQ(0, dc_reset(h, 10));
  ASSERT_EQ(0, dc_request(h, 1, &tagType));
  EXPECT_EQ(0x0044u, tagType);
  EXPECT_EQ(0x04030201u, Activate(h, &sak));
  EXPECT_EQ(0x28, sak);

  const int32_t again = dc_init(100, 115200);
  EXPECT_EQ(0x04030201u, Activate(again));
}

TEST_F(Library, ABlock0WithAWrongBccMakesTheCardImpossibleToFind) {
  const fs::path dump = dir_ / "cuid.mfd";
  setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
  const int32_t h = Open("cuid");
  Activate(h);
  AuthenticateWithFactoryKeyA(h, 0);
  // The card takes it, as a real one does: only the program guards.
  char bricking[] = "010203040F0804006263646566676869";
  ASSERT_EQ(0, dc_write_hex(h, 0, bricking));

  for (const char* card : {"cuid", "m1"}) {
    SCOPED_TRACE(card);
    const int32_t again = Open(card);
    ASSERT_GT(again, 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
      uint32_t tagType = 0, serial = 0;
      uint8_t sak = 0;
      ASSERT_EQ(0, dc_reset(again, 10));
      EXPECT_EQ(0, dc_request(again, 1, &tagType));  // it still answers the request
      EXPECT_NE(0, dc_anticoll(again, 0, &serial));
      EXPECT_NE(0, dc_select(again, 0x04030201, &sak));
    }
  }
}

// ------------------------------------------------------------------ the dump

TEST_F(Library, AMissingDumpIsCreatedWithTheFactoryImageAndEveryWriteIsSaved) {
  const fs::path dump = dir_ / "card.mfd";
  setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  std::string image = Slurp(dump);
  ASSERT_EQ(1024u, image.size());
  // BCC 3A^5C^7E^91 = 89, SAK 08, ATQA 0004 low byte first.
  EXPECT_EQ("3A5C7E9189080400", HexOf(image.substr(0, 8)));
  EXPECT_EQ("FFFFFFFFFFFFFF078069FFFFFFFFFFFF", HexOf(image.substr(63 * 16, 16)));

  Activate(h);
  AuthenticateWithFactoryKeyA(h, 15);
  char data[] = "CAFEBABE000000000000000000000001";
  ASSERT_EQ(0, dc_write_hex(h, 61, data));
  image = Slurp(dump);
  ASSERT_EQ(1024u, image.size());
  EXPECT_EQ(data, HexOf(image.substr(61 * 16, 16)));
  EXPECT_FALSE(fs::exists(dir_ / "card.mfd.tmp"));

  // And it is what the next session starts from.
  const int32_t again = dc_init(100, 115200);
  Activate(again);
  AuthenticateWithFactoryKeyA(again, 15);
  EXPECT_EQ(data, ReadBlock(again, 61));
}

TEST_F(Library, ADumpBringsItsOwnIdentity) {
  std::string image(1024, '\0');
  const std::string block0 = "\x11\x22\x33\x44\x44\x18\x02\x00";
  image.replace(0, block0.size(), block0);
  image.replace(4 * 16, 3, "abc");
  for (int sector = 0; sector < 16; ++sector)
    image.replace((sector * 4 + 3) * 16, 16,
                  "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x07\x80\x69\xFF\xFF\xFF\xFF\xFF\xFF", 16);
  const fs::path dump = dir_ / "theirs.bin";
  Spit(dump, image);
  setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  uint32_t tagType = 0;
  ASSERT_EQ(0, dc_request(h, 0, &tagType));
  EXPECT_EQ(0x0002u, tagType);
  uint8_t sak = 0;
  EXPECT_EQ(0x44332211u, Activate(h, &sak));
  EXPECT_EQ(0x18, sak);
  AuthenticateWithFactoryKeyA(h, 1);
  EXPECT_EQ("61626300000000000000000000000000", ReadBlock(h, 4));
}

TEST_F(Library, BadSettingsAreRefusedWithOneLineNamingTheProblem) {
  const fs::path shortDump = dir_ / "short.mfd";
  Spit(shortDump, std::string(1000, '\0'));
  struct Case {
    const char* card;
    fs::path dump;
    std::string named;
  };
  const Case cases[] = {
      {"m4", {}, "m4"},
      {"m1", shortDump, "short.mfd"},
      {"composite", dir_, dir_.filename().string() + " is a folder"},
      {"m1", dir_ / "no such folder" / "card.mfd", "card.mfd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    if (c.dump.empty())
      unsetenv("DCRF32_SIM_DUMP");
    else
      setenv("DCRF32_SIM_DUMP", c.dump.c_str(), 1);
    ::testing::internal::CaptureStderr();
    const int32_t h = Open(c.card);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_LT(h, 0);
    EXPECT_EQ(1u, LineCount(said)) << said;
    EXPECT_NE(std::string::npos, said.find(c.named)) << said;
    uint32_t tagType = 0;
    EXPECT_NE(0, dc_request(h, 1, &tagType));
  }
  EXPECT_EQ(1000u, fs::file_size(shortDump));
}

TEST_F(Library, AWriteThatCannotBeSavedIsUndoneAndTheDumpLeftWhole) {
  struct Case {
    const char* name;
    void (*prevent)(const fs::path& dump);
    const char* why;
  };
  const Case cases[] = {
      // The temporary file cannot be created where a folder of that name is.
      {"blocked.mfd", [](const fs::path& dump) { fs::create_directory(fs::path(dump) += ".tmp"); },
       "cannot create"},
      // Only the mode says no: a rename would replace the file, on Linux and
      // under Wine, and root may write whatever the mode.
      {"read-only.mfd",
       [](const fs::path& dump) {
         fs::permissions(dump, fs::perms::owner_read | fs::perms::group_read |
                                   fs::perms::others_read);
       },
       "read-only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path dump = dir_ / c.name;
    setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
    const int32_t h = Open("m1");
    ASSERT_GT(h, 0);
    c.prevent(dump);
    const std::string before = Slurp(dump);
    const fs::perms mode = fs::status(dump).permissions();
    Activate(h);
    AuthenticateWithFactoryKeyA(h, 1);
    char data[] = "11111111111111111111111111111111";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(8, dc_write_hex(h, 5, data));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(1u, LineCount(said)) << said;
    EXPECT_NE(std::string::npos, said.find(c.why)) << said;
    EXPECT_EQ(before, Slurp(dump));
    EXPECT_EQ(mode, fs::status(dump).permissions());
    EXPECT_EQ("00000000000000000000000000000000", ReadBlock(h, 5));
  }
}

// ------------------------------------------------------------------- the log

TEST_F(Library, EveryCallIsLoggedOnOneWellFormedLine) {
  const fs::path log = dir_ / "calls.log";
  setenv("DCRF32_SIM_TRACE", log.c_str(), 1);
  const int32_t h = Open("m1");
  ASSERT_GT(h, 0);
  const uint32_t serial = Activate(h);
  uint8_t len = 0;
  char ats[256];
  dc_pro_resethex(h, &len, ats);
  AuthenticateWithFactoryKeyA(h, 0);
  const std::string block1 = ReadBlock(h, 1);
  char bad[] = "12,4\tZ";
  dc_write_hex(h, 1, bad);
  dc_beep(h, 10);

  const std::string H = std::to_string(h);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"dc_init", "100,115200\t" + H},
      {"dc_reset", H + ",10\t0"},
      {"dc_config_card", H + ",65\t0"},
      {"dc_request", H + ",1,4\t0"},
      {"dc_anticoll", H + ",0," + std::to_string(serial) + "\t0"},
      {"dc_select", H + "," + std::to_string(serial) + ",8\t0"},
      {"dc_pro_resethex", H + ",-,-\t4"},
      {"dc_load_key", H + ",0,0,FFFFFFFFFFFF\t0"},
      {"dc_authentication", H + ",0,0\t0"},
      {"dc_read_hex", H + ",1," + block1 + "\t0"},
      {"dc_write_hex", H + ",1,12?4?Z\t2"},
      {"dc_beep", H + ",10\t0"},
  };
  std::istringstream lines(Slurp(log));
  const std::regex shape(R"(^(\d+\.\d{3})\t(dc_[a-z_]+)\t([^\t]*\t-?\d+)$)");
  std::string line;
  double previous = 0;
  size_t n = 0;
  while (std::getline(lines, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
    ASSERT_LT(n, expected.size()) << line;
    EXPECT_EQ(expected[n].first, m[2].str());
    EXPECT_EQ(expected[n].second, m[3].str());
    const double ms = std::stod(m[1].str());
    EXPECT_GE(ms, previous) << line;
    previous = ms;
    ++n;
  }
  EXPECT_EQ(expected.size(), n);
}

}  // namespace

// A Mini and a 4K card's missing dump is created at the card's size.
TEST_F(Library, MiniAnd4KDumpsAreCreatedAtTheirSize) {
  for (const auto& c : {std::make_pair("mini", 320u), std::make_pair("4k", 4096u)}) {
    const fs::path dump = dir_ / (std::string(c.first) + ".mfd");
    setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
    ASSERT_GT(Open(c.first), 0);
    const std::string image = Slurp(dump);
    ASSERT_EQ(c.second, image.size());
    EXPECT_EQ("FFFFFFFFFFFFFF078069FFFFFFFFFFFF", HexOf(image.substr(image.size() - 16)));
  }
}
