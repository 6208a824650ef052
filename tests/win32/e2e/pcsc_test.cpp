// The PC/SC reader library under Wine: the real QUILLON.exe in a folder
// with pcsc/dcrf32.dll beside it as its dcrf32.dll. With Wine's own
// winscard, which has no reader, the program must start, report that the
// reader did not open, and take every later command without a crash. With
// the test winscard.dll beside them (tests/pcsc/winscard.cpp) the library's
// Windows build meets a reader and a card, and the window is driven through
// whole sessions.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app_driver.h"
#include "dialog/win32/win32_backend.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

class PcscFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileW(BesideMe(L"QUILLON.exe").c_str(), (dir_ + L"QUILLON.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(BesideMe(L"pcsc\\dcrf32.dll").c_str(), (dir_ + L"dcrf32.dll").c_str(), FALSE));
  }
  // A log file in the folder, as text.
  std::string Log(const wchar_t* name) const {
    std::ifstream in((dir_ + name).c_str());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Trace() const { return Log(L"trace.log"); }

  TempFolder folder_{L"pcsc"};
  const std::wstring dir_ = folder_.Dir() + L"\\";
  AppDriver app_;
};

}  // namespace

TEST_F(PcscFolder, OpeningFailsCleanlyAndEveryCommandStillAnswers) {
  ASSERT_TRUE(app_.Start(dir_ + L"QUILLON.exe", {{L"DCRF32_PCSC_TRACE", dir_ + L"trace.log"}}))
      << "QUILLON.exe did not show its window";
  app_.Click(IDC_OPEN_READER);
  EXPECT_EQ(0u, app_.Text(IDC_STATUS).rfind("读卡器打开失败了", 0)) << app_.Text(IDC_STATUS);
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("dc_reset卡片复位失败", app_.Text(IDC_STATUS));
  app_.Click(IDC_LOAD_KEY_A);
  EXPECT_EQ("装载第0扇区A密钥失败", app_.Text(IDC_STATUS));
  app_.Click(IDC_READ_CARD);
  EXPECT_EQ(0u, app_.Lines(IDC_READ_LIST).size());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", app_.Text(IDC_STATUS));
  app_.Click(IDC_WRITE_CARD);
  EXPECT_EQ(0u, app_.Close());

  // The library says what PC/SC answered, and that it opened nothing.
  const std::string trace = Trace();
  EXPECT_NE(std::string::npos, trace.find("\tSCardEstablishContext\t")) << trace;
  EXPECT_NE(std::string::npos, trace.find("\tdc_init\t100,115200,-\t-")) << trace;
}

namespace {

int Count(const std::string& text, const std::string& what, size_t from = 0) {
  int count = 0;
  for (size_t at = text.find(what, from); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// LOAD KEYS the reader refused, in the test winscard.dll's log.
int RefusedLoads(const std::string& calls) {
  std::istringstream in(calls);
  int refused = 0;
  for (std::string line; std::getline(in, line);)
    refused += line.rfind("SCardTransmit\t", 0) == 0 && line.find(",FF82") != std::string::npos &&
               line.find("9000\t") == std::string::npos;
  return refused;
}

// The test winscard.dll beside the program and its library. Wine prefers
// its builtin winscard to a DLL of that name in the program's folder;
// WINEDLLOVERRIDES=winscard=n,b makes it take the one in the folder where
// there is one (here) and its own elsewhere (PcscFolder above). Wine hands
// a child process its WINE* variables from its own Unix environment, not
// from the environment block CreateProcess is given, so ctest sets it for
// this whole program (tests/win32/e2e/CMakeLists.txt).
class PcscReaderWindow : public PcscFolder {
 protected:
  void SetUp() override {
    PcscFolder::SetUp();
    ASSERT_TRUE(CopyFileW(BesideMe(L"pcsc-test\\winscard.dll").c_str(), (dir_ + L"winscard.dll").c_str(), FALSE));
  }

  // QUILLON.exe with a reader whose card and firmware the responder's
  // switches choose, the reader opened.
  void Start(const std::wstring& switches) {
    ASSERT_TRUE(app_.Start(dir_ + L"QUILLON.exe", {{L"QUILLON_WINSCARD", switches},
                                                    {L"QUILLON_WINSCARD_LOG", dir_ + L"winscard.log"},
                                                    {L"DCRF32_PCSC_TRACE", dir_ + L"trace.log"}}))
        << "QUILLON.exe did not show its window";
    app_.Click(IDC_OPEN_READER);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir_ + L"winscard.log").c_str()))
        << "Wine loaded its own winscard: run with WINEDLLOVERRIDES=winscard=n,b in the environment";
    ASSERT_EQ("打开成功了", app_.Text(IDC_STATUS));
  }
  void LoadKeyA() {
    app_.Click(IDC_LOAD_KEY_A);
    ASSERT_EQ("装载A密钥成功", app_.Text(IDC_STATUS));
  }
  // The test winscard.dll's own log: every APDU as it was sent, keys too.
  std::string CallLog() const { return Log(L"winscard.log"); }
  // The card the window shows once found: ATQA, CSN, SAK, type, ATS | status.
  std::string Found() {
    app_.Click(IDC_FIND_CARD);
    std::string shown;
    for (int id : {IDC_ATQA, IDC_CSN, IDC_SAK, IDC_CARD_TYPE, IDC_ATS}) shown += app_.Text(id) + " ";
    return shown + "| " + app_.Text(IDC_STATUS);
  }
  void Write(int sector, int block, const std::string& data) {
    app_.Type(IDC_WRITE_SECTOR, std::to_string(sector));
    app_.Type(IDC_WRITE_BLOCK, std::to_string(block));
    app_.Type(IDC_WRITE_DATA, data);
    app_.Click(IDC_WRITE_CARD);
  }
  // The window answers a message at once: it is not stuck in a reader call.
  bool Responsive() const {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(app_.Window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
  }
};

const std::string kFactoryTrailer = "000000000000FF078069FFFFFFFFFFFF";

}  // namespace

// A read-out is one LOAD KEYS, then per sector GENERAL AUTHENTICATE and
// four READ BINARY: 81 APDUs on a reader that takes the first form tried.
// The card got the key; the library's trace shows it nowhere. A block
// written is then read back. Each card is found as the virtual reader shows
// it: an M1 card on a PN53x reader, which has no ATS to give, and a
// composite card on a reader answering GET DATA, whose ATS it reports.
TEST_F(PcscReaderWindow, CardsAreFoundAndAReadOutSends81ApdusWithKeysMaskedAndAWrittenBlockReadsBack) {
  Start(L"--card composite --flavour getdata");
  EXPECT_EQ("0004 5E219C07 28 CPU+M1复合卡 067777710280 | 获取SAK成功", Found());
  EXPECT_EQ(0u, app_.Close());

  Start(L"--card m1 --keys acs");
  EXPECT_EQ("0004 3A5C7E91 08 纯M1卡  | dc_pro_resethex获取ATS失败", Found());
  LoadKeyA();
  const size_t before = CallLog().size();
  app_.Click(IDC_READ_CARD);
  std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", lines[0]);
  EXPECT_EQ(0u, lines[1].rfind("块[0]:3A5C7E918908" "0400", 0)) << lines[1];
  EXPECT_EQ("块[3]:" + kFactoryTrailer, lines[79]);
  const std::string calls = CallLog();
  EXPECT_EQ(81, Count(calls, "SCardTransmit\t", before)) << calls.substr(before);
  EXPECT_EQ(1, Count(calls, ",FF82000006FFFFFFFFFFFF\t9000\t", before)) << calls.substr(before);

  const std::string trace = Trace();
  const size_t readout = trace.rfind("\tdc_load_key\t");
  ASSERT_NE(std::string::npos, readout) << trace;
  EXPECT_EQ(81, Count(trace, "\tapdu\t", readout)) << trace.substr(readout);
  EXPECT_EQ(1, Count(trace, "\tapdu\tFF82000006************,9000\t", readout));
  EXPECT_EQ(16, Count(trace, "************FF078069************9000\t", readout));
  EXPECT_EQ(std::string::npos, trace.find("FFFFFFFFFFFF")) << trace;

  Write(2, 1, "0123456789abcdef0123456789ABCDEF");
  EXPECT_EQ("扇区[02],块[1]:写卡成功  0123456789abcdef0123456789ABCDEF", app_.Lines(IDC_WRITE_LIST).at(1));
  app_.Click(IDC_READ_CARD);
  lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("块[1]:0123456789ABCDEF0123456789ABCDEF", lines[12]);
  EXPECT_EQ(0u, app_.Close());
}

// The read list's dictionary read on a factory card: every sector opens
// with the first built-in key, with the reader calls of a plain read-out.
TEST_F(PcscReaderWindow, DictionaryReadFromTheContextMenu) {
  Start(L"--card m1");
  app_.Click(IDC_FIND_CARD);
  const size_t before = CallLog().size();
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, 0));
  ASSERT_TRUE(app_.WaitForStatus("字典读取完成")) << app_.Text(IDC_STATUS);
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", app_.Text(IDC_STATUS));
  const std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:密钥A[FFFFFFFFFFFF] 密钥B[FFFFFFFFFFFF]", lines[0]);
  EXPECT_EQ("块[3]:" + kFactoryTrailer, lines[79]);
  const std::string calls = CallLog();
  EXPECT_EQ(81, Count(calls, "SCardTransmit\t", before)) << calls.substr(before);
  EXPECT_EQ(0u, app_.Close());
}

// A reader whose name says nothing of its family: the library tries the
// forms until one is taken, refusals first (three for OMNIKEY's, which is
// tried last, two for SCM's). On the SCM-style reader a key B the card
// keeps to itself then opens its sector, loaded as key B.
TEST_F(PcscReaderWindow, OmnikeyAndScmKeyFormsAreFoundByProbing) {
  for (const auto& [family, refused] : {std::pair<const char*, int>{"omnikey", 3}, {"scm", 2}}) {
    SCOPED_TRACE(family);
    Start(L"--card m1 --keys " + dlg::Widen(family));
    app_.Click(IDC_FIND_CARD);
    LoadKeyA();
    app_.Click(IDC_READ_CARD);
    EXPECT_EQ(80u, app_.Lines(IDC_READ_LIST).size());
    const std::string trace = Trace();
    EXPECT_EQ(1, Count(trace, std::string("\tkeyform\t") + family + "\tfound\n")) << trace;
    const std::string calls = CallLog();
    EXPECT_EQ(refused, RefusedLoads(calls)) << calls;
    if (std::string(family) == "scm") {
      Write(6, 3, "FFFFFFFFFFFF7F078869B0B1B2B3B4B5");
      app_.Type(IDC_KEY, "B0B1B2B3B4B5");
      app_.Click(IDC_LOAD_KEY_B);
      app_.Click(IDC_READ_CARD);
      const std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
      ASSERT_EQ(15u + 5, lines.size());
      EXPECT_EQ("扇区[06]:校验密码[B]成功！", lines[6]);
      EXPECT_EQ("块[3]:0000000000007F078869000000000000", lines[10]);
      EXPECT_EQ(1, Count(CallLog(), ",FF82006106B0B1B2B3B4B5\t9000\t"));
    }
    EXPECT_EQ(0u, app_.Close());
    DeleteFileW((dir_ + L"trace.log").c_str());
    DeleteFileW((dir_ + L"winscard.log").c_str());
  }
}

// Firmware that never answers READ BINARY: the read-out gives up within
// the library's bound instead of freezing the window, and shows the read
// failed; the library abandoned the APDU with its context (SCardCancel,
// SCardReleaseContext) from another thread. The window's thread makes the
// reader calls, so the whole command must end well before Windows calls a
// window that has not looked at its messages for 5 s hung ("未响应"; and
// SendMessageTimeout with SMTO_ABORTIFHUNG gives up on it at once).
TEST_F(PcscReaderWindow, ReaderThatNeverAnswersFailsWithinTheBoundAndTheWindowStaysResponsive) {
  Start(L"--card m1 --unanswered B0");
  app_.Click(IDC_FIND_CARD);
  LoadKeyA();
  const double start = NowMs();
  app_.Click(IDC_READ_CARD);
  const double took = NowMs() - start;
  std::printf("the read-out on a reader that never answers returned after %.0f ms\n", took);
  EXPECT_GE(took, 3900);
  EXPECT_LT(took, 4700);
  EXPECT_TRUE(Responsive());
  // The read stops at the next wake-up, which the busy reader fails at once
  // (status 10): the program's words for a card it cannot reach.
  EXPECT_EQ((std::vector<std::string>{"扇区[00]:校验密码[A]成功！", "读扇区[00]第[0]块失败！"}),
            app_.Lines(IDC_READ_LIST));
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", app_.Text(IDC_STATUS));
  const std::string trace = Trace();
  EXPECT_NE(std::string::npos, trace.find("\tapdu\tFFB0000010,no answer, abandoned\t4")) << trace;
  const std::string calls = CallLog();
  const size_t hung = calls.find("FFB0000010\tno answer\t");
  ASSERT_NE(std::string::npos, hung) << calls;
  EXPECT_NE(std::string::npos, calls.find("SCardCancel\t", hung)) << calls.substr(hung);
  EXPECT_NE(std::string::npos, calls.find("SCardReleaseContext\t", hung)) << calls.substr(hung);
  // Further commands fail at once while the reader still holds the APDU.
  const double again = NowMs();
  app_.Click(IDC_FIND_CARD);
  EXPECT_LT(NowMs() - again, 1000);
  EXPECT_EQ("dc_request获取ATQA失败", app_.Text(IDC_STATUS));
  EXPECT_EQ(0u, app_.Close());
}
