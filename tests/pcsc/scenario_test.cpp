// The card-command scenarios of the virtual reader, run through the PC/SC
// library, a real pcscd, vpcd and the responder playing a reader with the
// same preset cards. The window is the in-memory one and the pause is
// skipped: what is checked is what the card and the window end up with.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "stack.h"
#include "tests/cardtest/card_scenarios.h"

namespace {

void NoPause() {}

class PcscReader : public CardTestWindow {
 protected:
  void SetUp() override {
    unsetenv("DCRF32_PCSC_TRACE");
    unsetenv("DCRF32_PCSC_KEYFORM");
    setenv("DCRF32_PCSC_READER", stack::kReader, 1);
    ReaderLoadResult loaded = LoadReaderLibrary(PCSC_LIBRARY_PATH);
    ASSERT_TRUE(loaded.ok()) << loaded.Message();
    dlg.Session() = ReaderSession(*loaded.api, NoPause);
    ShowWindow();
  }
  void TearDown() override {
    stack::RemoveCard();
    unsetenv("DCRF32_PCSC_KEYFORM");
  }

  // A card of that preset ("none": no card) in the field of a reader of
  // that flavour and of the fixture's family, then the reader opened.
  void Open(const char* card, const char* flavour = "pn53x") {
    std::string problem;
    if (std::string(card) != "none") {
      ASSERT_TRUE(stack::InsertCard({"--card", card, "--flavour", flavour, "--keys", family}, &problem))
          << problem;
    }
    dlg.OnOpenReader();
    ASSERT_EQ("打开成功了", ui.GetText(IDC_STATUS));
  }
  void MakeReaderAbsent() { setenv("DCRF32_PCSC_READER", "No Such Reader", 1); }

  // How the reader takes keys: the responder's --keys.
  const char* family = "acs";
};

// On a PN53x reader, the flavour Open takes by default, of each family.
INSTANTIATE_TYPED_TEST_SUITE_P(PcscReader, CardScenarios, PcscReader);
struct SessionKeyReader : PcscReader {
  SessionKeyReader() { family = "session"; }
};
struct OmnikeyReader : PcscReader {
  OmnikeyReader() { family = "omnikey"; }
};
struct ScmReader : PcscReader {
  ScmReader() { family = "scm"; }
};
using OtherFamilies = ::testing::Types<SessionKeyReader, OmnikeyReader, ScmReader>;
INSTANTIATE_TYPED_TEST_SUITE_P(Family, CardScenarios, OtherFamilies);

// Every flavour of reader identifies an M1 card exactly: a storage card's
// ATR names it.
class EveryFlavour : public PcscReader, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Reader, EveryFlavour, ::testing::Values("pn53x", "acr122", "getdata", "atr"));

}  // namespace

TEST_P(EveryFlavour, M1CardIsFoundLoadedReadAndSelected) {
  Open("m1", GetParam());
  M1CardIsFoundLoadedReadAndSelected();
}

// A 4K and a Mini card by every flavour, by the ATR's card name (00 02,
// 00 26) where the reader has no exact way.
TEST_P(EveryFlavour, FourKAndMiniCardsAreFoundWithTheirSak) {
  for (const auto& c : {std::make_pair("4k", "0002 18"), std::make_pair("mini", "0004 09")}) {
    Open(c.first, GetParam());
    dlg.OnFindCard();
    EXPECT_EQ(c.second, ui.GetText(IDC_ATQA) + " " + ui.GetText(IDC_SAK));
  }
}

TEST_F(PcscReader, CpuCardIsIdentifiedWithItsAtsByEitherExactWay) {
  for (const char* flavour : {"pn53x", "acr122", "getdata"}) {
    SCOPED_TRACE(flavour);
    Open("cpu", flavour);
    CpuCardIsIdentifiedWithItsAtsAndHasNoSectors();
    stack::RemoveCard();
  }
}

TEST_F(PcscReader, CompositeCardIsIdentifiedExactlyAndTakesSectorCommands) {
  for (const char* flavour : {"pn53x", "acr122", "getdata"}) {
    SCOPED_TRACE(flavour);
    Open("composite", flavour);
    CompositeCardIsReactivatedForTheSectorCommands();
    stack::RemoveCard();
  }
}

// Without an exact way the ATR is all there is: an ISO 14443-4 ATR gives
// SAK 20 and no ATQA, so a composite card reads as a CPU card, and the
// reader gives no ATS.
TEST_F(PcscReader, WithTheAtrOnlyCpuAndCompositeCardsReadAsCpuCards) {
  for (const char* card : {"cpu", "composite"}) {
    SCOPED_TRACE(card);
    Open(card, "atr");
    dlg.OnFindCard();
    EXPECT_EQ("dc_pro_resethex获取ATS失败", ui.GetText(IDC_STATUS));
    EXPECT_EQ("0000", ui.GetText(IDC_ATQA));
    EXPECT_EQ("20", ui.GetText(IDC_SAK));
    EXPECT_EQ("纯CPU卡", ui.GetText(IDC_CARD_TYPE));
    stack::RemoveCard();
  }
  // The composite card's sectors answer all the same.
  Open("composite", "atr");
  dlg.OnFindCard();
  EXPECT_EQ("5E219C07", ui.GetText(IDC_CSN));
  dlg.OnLoadKeyA();
  dlg.OnReadCard();
  EXPECT_EQ(80u, ReadLines().size());
}

TEST_F(PcscReader, CardPulledBetweenCommandsFailsThemUntilItIsFoundAgain) {
  Open("m1");
  dlg.OnFindCard();
  dlg.OnLoadKeyA();
  stack::RemoveCard();
  // Sector 0 fails, and the card does not answer when woken for sector 1.
  dlg.OnReadCard();
  EXPECT_EQ(1u, ReadLines().size());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", ui.GetText(IDC_STATUS));
  dlg.OnFindCard();
  EXPECT_EQ("dc_request获取ATQA失败", ui.GetText(IDC_STATUS));
  std::string problem;
  ASSERT_TRUE(stack::InsertCard({"--card", "m1"}, &problem)) << problem;
  dlg.OnFindCard();
  EXPECT_EQ("dc_pro_resethex获取ATS失败", ui.GetText(IDC_STATUS));
  dlg.OnReadCard();
  EXPECT_EQ(80u, ReadLines().size());
}

namespace {

std::string FileText(const char* path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

int Count(const std::string& text, const std::string& what, size_t from) {
  int count = 0;
  for (size_t at = text.find(what, from); at != std::string::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

// LOAD KEYS refused in the log from `from` on: the forms a reader does
// not take, tried before the one it does.
int RefusedLoads(const std::string& log, size_t from) {
  std::istringstream lines(log.substr(from));
  int refused = 0;
  for (std::string line; std::getline(lines, line);)
    refused += line.find("\tapdu\tFF82") != std::string::npos &&
               line.find(",9000\t") == std::string::npos;
  return refused;
}

}  // namespace

// The trace names every APDU, and keys appear in it only masked: neither
// the program's key nor new ones written into a trailer and used.
TEST_F(PcscReader, TraceLogsEveryApduWithKeysMasked) {
  const std::string file = stack::TemporaryFile("quillon-pcsc-trace");
  ASSERT_FALSE(file.empty());
  const char* path = file.c_str();
  setenv("DCRF32_PCSC_TRACE", path, 1);
  Open("m1");
  dlg.OnFindCard();
  ui.Type(IDC_KEY, "FFFFFFFFFFFF");
  dlg.OnLoadKeyA();
  dlg.OnReadCard();
  ASSERT_EQ(80u, ReadLines().size());
  const std::string afterReadout = FileText(path);

  // A full read-out: one LOAD KEYS, then per sector GENERAL AUTHENTICATE
  // and four READ BINARY; before them the forms this reader name does not
  // take, where an earlier test found another.
  const size_t readout = afterReadout.rfind("\tdc_load_key\t");
  ASSERT_NE(std::string::npos, readout);
  EXPECT_EQ(RefusedLoads(afterReadout, readout) + 1 + 16 * 5, Count(afterReadout, "\tapdu\t", readout))
      << afterReadout.substr(readout);
  EXPECT_EQ(1, Count(afterReadout, "\tapdu\tFF82000006************,9000\t", readout));
  EXPECT_EQ(1, Count(afterReadout, "\tapdu\tFFB0000010,3A5C7E91", readout));
  // The trailer as read: key fields masked, access bytes shown.
  EXPECT_EQ(16, Count(afterReadout, "************FF078069************9000\t", readout));

  Write(5, 3, "A0B1C2D3E4F5FF078069B0B1B2B3B4B5");
  ui.Type(IDC_KEY, "A0B1C2D3E4F5");
  dlg.OnLoadKeyA();
  Write(5, 1, "33333333333333333333333333333333");
  EXPECT_EQ("扇区[05],块[1]:写卡成功  33333333333333333333333333333333", WriteLines().at(1));
  unsetenv("DCRF32_PCSC_TRACE");
  const std::string log = FileText(path);
  std::remove(path);
  EXPECT_EQ(std::string::npos, log.find("A0B1C2D3E4F5")) << log.substr(afterReadout.size());
  EXPECT_EQ(std::string::npos, log.find("B0B1B2B3B4B5")) << log.substr(afterReadout.size());
  EXPECT_NE(std::string::npos, log.find("\tapdu\tFFD6001710************FF078069************,9000\t"))
      << log.substr(afterReadout.size());
}

namespace {

class TracedReader : public PcscReader {
 protected:
  void SetUp() override {
    PcscReader::SetUp();
    path_ = stack::TemporaryFile("quillon-pcsc-keys");
    ASSERT_FALSE(path_.empty());
    setenv("DCRF32_PCSC_TRACE", path_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("DCRF32_PCSC_TRACE");
    std::remove(path_.c_str());
    PcscReader::TearDown();
  }
  std::string Log() const { return FileText(path_.c_str()); }
  static int Apdus(const std::string& log, size_t from) { return Count(log, "\tapdu\t", from); }

  std::string path_;
};

class EveryFamily : public TracedReader, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Keys, EveryFamily, ::testing::Values("acs", "session", "scm", "omnikey"));

}  // namespace

// On a reader whose name says nothing, the forms are tried once, at most
// the other three refused (fewer when the form an earlier test found on
// this reader name is the one); after that a read-out loads its key once,
// not at all where the slot keeps it. (The card scenarios above check a
// wrong key and then the right one on each family.)
TEST_P(EveryFamily, FormIsFoundOnceAndAReadOutLoadsItsKeyAtMostOnce) {
  family = GetParam();
  const bool keepsKeys = std::string(family) == "omnikey";
  Open("m1");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    dlg.OnFindCard();
    dlg.OnLoadKeyA();
    const size_t before = Log().size();
    dlg.OnReadCard();
    ASSERT_EQ(80u, ReadLines().size());
    EXPECT_EQ("块[3]:" + kFactoryTrailer, ReadLines()[79]);
    const std::string log = Log();
    const int refused = RefusedLoads(log, before);
    EXPECT_LE(refused, round == 0 ? 3 : 0);
    const int loads = round == 0 ? 1 : keepsKeys ? 0 : 1;
    EXPECT_EQ(refused + loads + 16 * 5, Apdus(log, before)) << log.substr(before);
  }

  const std::string log = Log();
  EXPECT_EQ(1, Count(log, "\tkeyform\t", 0));
  EXPECT_EQ(1, Count(log, std::string("\tkeyform\t") + family + "\tfound", 0)) << log;
}

// DCRF32_PCSC_KEYFORM: a word that names no form keeps the reader closed
// and the trace says why; a form set is the only one tried.
TEST_F(TracedReader, KeyFormSettingIsTheOnlyFormTriedAndAnUnknownOneFailsTheOpening) {
  family = "scm";
  std::string problem;
  ASSERT_TRUE(stack::InsertCard({"--card", "m1", "--keys", family}, &problem)) << problem;
  setenv("DCRF32_PCSC_KEYFORM", "utrust", 1);
  dlg.OnOpenReader();
  EXPECT_EQ("读卡器打开失败了，自己找找问题哦", ui.GetText(IDC_STATUS));
  EXPECT_NE(std::string::npos,
            Log().find("\t-1\tDCRF32_PCSC_KEYFORM=utrust is none of acs, session, omnikey, scm\n"))
      << Log();

  setenv("DCRF32_PCSC_KEYFORM", "ACS", 1);
  dlg.OnOpenReader();
  ASSERT_EQ("打开成功了", ui.GetText(IDC_STATUS));
  dlg.OnFindCard();
  dlg.OnLoadKeyA();
  const size_t before = Log().size();
  dlg.OnReadCard();
  EXPECT_EQ("扇区[00]:校验密码[A]失败！", ReadLines().at(0));
  const std::string log = Log();
  EXPECT_EQ(Count(log, "\tapdu\tFF82000006", before), Count(log, "\tapdu\tFF82", before)) << log;
  EXPECT_EQ(1, Count(log, "\tkeyform\tacs\tset by DCRF32_PCSC_KEYFORM\n", 0));
}
