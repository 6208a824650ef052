// The library's functions called directly on readers and cards that do
// what a well-behaved pair never does: a card pulled between commands, a
// reader that never answers, a second card in the field, an ATS longer
// than any card sends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "reader/reader.h"
#include "stack.h"

namespace {

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DCRF32_PCSC_TRACE");
    setenv("DCRF32_PCSC_READER", stack::kReader, 1);
    ReaderLoadResult loaded = LoadReaderLibrary(PCSC_LIBRARY_PATH);
    ASSERT_TRUE(loaded.ok()) << loaded.Message();
    api = *loaded.api;
  }
  void TearDown() override {
    unsetenv("DCRF32_PCSC_TRACE");
    stack::RemoveCard();
  }

  // The responder with these arguments, the reader opened, the card found
  // (request, anticollision, select) and sector 0 authenticated with the
  // factory key when it has MIFARE memory.
  void FindCard(const std::vector<std::string>& responder, bool mifare = true) {
    std::string problem;
    ASSERT_TRUE(stack::InsertCard(responder, &problem)) << problem;
    h = api.dc_init(100, 115200);
    ASSERT_GT(h, 0);
    ASSERT_EQ(0, api.dc_request(h, 1, &tag));
    ASSERT_EQ(0, api.dc_anticoll(h, 0, &serial));
    ASSERT_EQ(0, api.dc_select(h, serial, &sak));
    if (!mifare) return;
    uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(0, api.dc_load_key(h, 0, 0, key));
    ASSERT_EQ(0, api.dc_authentication(h, 0, 0));
  }

  ReaderApi api{};  // the library's table, once loaded
  int32_t h = 0;
  uint32_t tag = 0;
  uint32_t serial = 0;
  uint8_t sak = 0;
};

std::string TemporaryPath() { return stack::TemporaryFile("quillon-pcsc-faults"); }

std::string FileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

// Whatever the command, a card that left the field between two of them is
// the no-card status (3), the one the program tells the user to put the
// card back for; that includes the commands the library answers from what
// it learnt when it connected.
TEST_F(Faults, CardPulledBetweenAnyTwoCommandsIsNoCard) {
  uint8_t length = 0;
  char ats[256] = {};
  char text[33] = {};
  uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const std::function<int16_t()> steps[] = {
      [&] { return api.dc_request(h, 1, &tag); },
      [&] { return api.dc_anticoll(h, 0, &serial); },
      [&] { return api.dc_select(h, serial, &sak); },
      [&] { return api.dc_pro_resethex(h, &length, ats); },
      [&] { return api.dc_authentication(h, 0, 0); },
      [&] { return api.dc_read_hex(h, 1, text); }};
  for (size_t pulled = 1; pulled < 6; ++pulled) {
    std::string problem;
    ASSERT_TRUE(stack::InsertCard({"--card", "composite"}, &problem)) << problem;
    h = api.dc_init(100, 115200);
    ASSERT_EQ(0, api.dc_load_key(h, 0, 0, key));
    for (size_t step = 0; step < pulled; ++step) ASSERT_EQ(0, steps[step]()) << step;
    stack::RemoveCard();
    EXPECT_EQ(3, steps[pulled]()) << "step " << pulled;
  }
}

// The trace shows which readers PC/SC listed and which one was taken, and
// no key a program passes for a trailer, however it is written, and
// whether the card has the block or not (a 4K card's trailer 143).
TEST_F(Faults, TraceListsTheReadersAndNeverShowsTrailerKeys) {
  const std::string path = TemporaryPath();
  setenv("DCRF32_PCSC_TRACE", path.c_str(), 1);
  setenv("DCRF32_PCSC_READER", "No Such Reader", 1);
  EXPECT_EQ(-1, api.dc_init(100, 115200));
  unsetenv("DCRF32_PCSC_READER");
  h = api.dc_init(100, 115200);
  ASSERT_GT(h, 0);
  const std::string keys = "A0B1C2D3E4F5FF078069B0B1B2B3B4B5";
  for (std::string text : {keys.substr(0, 31), "0x" + keys, std::string("A0 B1 C2 D3 E4 F5 FF 07")}) {
    EXPECT_EQ(2, api.dc_write_hex(h, 7, &text[0])) << text;
  }
  std::string whole = keys;
  EXPECT_NE(0, api.dc_write_hex(h, 143, &whole[0]));
  char key[] = "\xA0\xB1\xC2\xD3\xE4\xF5";
  EXPECT_EQ(0, api.dc_load_key(h, 0, 1, reinterpret_cast<uint8_t*>(key)));
  unsetenv("DCRF32_PCSC_TRACE");
  const std::string log = FileText(path);
  std::remove(path.c_str());
  EXPECT_NE(std::string::npos, log.find("\treader\t0,Virtual PCD 00 00\t-\n")) << log;
  EXPECT_NE(std::string::npos, log.find("\treader\t1,Virtual PCD 00 01\t-\n")) << log;
  EXPECT_NE(std::string::npos, log.find("\treader\t-\tnone chosen: none named so\n")) << log;
  EXPECT_NE(std::string::npos, log.find("\treader\t0,Virtual PCD 00 00\tchosen: contactless by its name\n"))
      << log;
  for (const char* secret : {"A0B1", "B1C2", "C2D3", "D3E4", "E4F5", "B0B1", "B3B4", "B4B5"})
    EXPECT_EQ(std::string::npos, log.find(secret)) << secret << " in\n" << log;
  EXPECT_NE(std::string::npos, log.find("\tdc_write_hex\t" + std::to_string(h) +
                                        ",143,************FF078069************\t"))
      << log;
}

// A reader whose firmware never answers READ BINARY: the read gives up with
// the reader-error status (10) instead of freezing the program, the trace
// says which APDU went unanswered, every call fails at once while the
// reader still holds it, and once the reader is back all works again.
TEST_F(Faults, ReaderThatNeverAnswersIsGivenUpOnAndRecoveredFrom) {
  const std::string path = TemporaryPath();
  setenv("DCRF32_PCSC_TRACE", path.c_str(), 1);
  FindCard({"--card", "m1", "--unanswered", "B0"});
  char text[33 + 16];
  std::memset(text, 'x', sizeof text);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(10, api.dc_read_hex(h, 1, text));
  std::printf("an unanswered READ BINARY was given up after %.3f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  EXPECT_EQ(std::string(sizeof text, 'x'), std::string(text, sizeof text));
  EXPECT_EQ(10, api.dc_read_hex(h, 2, text));
  EXPECT_EQ(10, api.dc_request(h, 1, &tag));

  // The reader comes back (here the responder ends, and a sound one takes
  // its place): the abandoned APDU returns, the card is found afresh.
  stack::RemoveCard();
  std::string problem;
  ASSERT_TRUE(stack::InsertCard({"--card", "m1"}, &problem)) << problem;
  ASSERT_EQ(0, api.dc_request(h, 1, &tag));
  ASSERT_EQ(0, api.dc_anticoll(h, 0, &serial));
  ASSERT_EQ(0, api.dc_select(h, serial, &sak));
  ASSERT_EQ(0, api.dc_authentication(h, 0, 0));
  ASSERT_EQ(0, api.dc_read_hex(h, 1, text));
  EXPECT_EQ(std::string(32, '0'), text);

  unsetenv("DCRF32_PCSC_TRACE");
  const std::string log = FileText(path);
  std::remove(path.c_str());
  EXPECT_NE(std::string::npos, log.find("\tapdu\tFFB0000110,no answer, abandoned\t4")) << log;
  EXPECT_NE(std::string::npos, log.find("\tapdu\tFFB0000110,still no answer, reader busy\t"))
      << log;
  EXPECT_NE(std::string::npos, log.find("\tapdu\tFFB0000110,answered at last\t")) << log;
}

// Two cards in the field, and the PN53x lists the other one: its ATQA and
// SAK are not this card's. The library falls back on the ATR, which PC/SC
// built for the card it connected to.
TEST_F(Faults, PnTargetWithAnotherUidSaysNothingAboutThisCard) {
  FindCard({"--card", "m1", "--second-card", "cpu"});
  EXPECT_EQ(0x0004u, tag);
  EXPECT_EQ(0x917E5C3Au, serial);
  EXPECT_EQ(0x08, sak);
}

// An ATS longer than any card sends (200 and 240 bytes, by GET DATA and by
// the PN53x) fills at most the 256 characters the caller's buffer holds,
// NUL included, and says how many bytes of it the text shows.
TEST_F(Faults, LongAtsNeverOverrunsTheCallersBuffer) {
  for (const char* flavour : {"getdata", "pn53x"}) {
    for (const char* length : {"200", "240"}) {
      SCOPED_TRACE(std::string(flavour) + " " + length);
      FindCard({"--card", "cpu", "--flavour", flavour, "--ats-length", length}, false);
      char ats[256 + 64];
      std::memset(ats, 'x', sizeof ats);
      uint8_t shown = 0;
      ASSERT_EQ(0, api.dc_pro_resethex(h, &shown, ats));
      EXPECT_EQ(std::string(64, 'x'), std::string(ats + 256, 64));
      const size_t text = strnlen(ats, 256);
      ASSERT_LT(text, 256u);
      EXPECT_EQ(2u * shown, text);
      char tl[3];
      std::snprintf(tl, sizeof tl, "%02X", std::atoi(length));
      EXPECT_EQ(std::string(tl) + "788070025A5A", std::string(ats, 14));
    }
  }
}
