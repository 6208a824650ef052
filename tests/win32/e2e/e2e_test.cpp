// End to end: the real QUILLON.exe with the virtual reader beside it, driven
// from this separate program with window messages, one whole session per
// virtual card, checked through what the window shows, the card's dump file
// and the reader's call trace.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app_driver.h"
#include "dialog/win32/win32_backend.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

// A fresh folder per session for the dump and the trace.
class Session : public ::testing::Test {
 protected:

  void Launch(const std::wstring& card, const std::wstring& reader = L"") {
    ASSERT_TRUE(app_.Start(BesideMe(L"QUILLON.exe"), {{L"DCRF32_SIM_CARD", card},
                                                     {L"DCRF32_SIM_DUMP", dump_},
                                                     {L"DCRF32_SIM_TRACE", trace_},
                                                     {L"DCRF32_SIM_READER", reader}}))
        << "QUILLON.exe did not show its window";
  }

  std::vector<std::string> TraceLines() const {
    std::ifstream in(trace_.c_str());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Every call but opening and beeping is followed by the 10 ms pause
  // before the next call starts.
  void ExpectPausesInTrace() const {
    std::vector<std::string> lines = TraceLines();
    ASSERT_FALSE(lines.empty());
    double previous = -1;
    std::string previousFn;
    int checked = 0;
    for (const std::string& line : lines) {
      std::istringstream in(line);
      std::string time, fn;
      ASSERT_TRUE(std::getline(in, time, '\t') && std::getline(in, fn, '\t')) << line;
      double t = std::stod(time);
      if (previous >= 0 && previousFn != "dc_init" && previousFn != "dc_beep") {
        EXPECT_GE(t - previous, 9.999) << previousFn << " then " << fn << " at " << time;
        ++checked;
      }
      previous = t;
      previousFn = fn;
    }
    EXPECT_GT(checked, 10);
  }

  std::string ReadDump() const { return Slurp(dump_); }

  TempFolder folder_{L"e2e-" + dlg::Widen(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  std::wstring dump_ = folder_.Path(L"card.mfd"), trace_ = folder_.Path(L"trace.log");
  AppDriver app_;
};

const char kTrailer[] = "000000000000FF078069FFFFFFFFFFFF";
const char kZeros[] = "00000000000000000000000000000000";

}  // namespace

TEST_F(Session, M1CardOpenFindLoadReadSelectWriteReadBack) {
  Launch(L"m1");
  EXPECT_EQ("FFFFFFFFFFFF", app_.Text(IDC_KEY));
  EXPECT_EQ("0", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("1", app_.Text(IDC_WRITE_BLOCK));
  EXPECT_EQ(kZeros, app_.Text(IDC_WRITE_DATA));

  app_.Click(IDC_OPEN_READER);
  EXPECT_EQ("打开成功了", app_.Text(IDC_STATUS));

  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("0004", app_.Text(IDC_ATQA));
  EXPECT_EQ("3A5C7E91", app_.Text(IDC_CSN));
  EXPECT_EQ("08", app_.Text(IDC_SAK));
  EXPECT_EQ("纯M1卡", app_.Text(IDC_CARD_TYPE));
  EXPECT_EQ("", app_.Text(IDC_ATS));
  EXPECT_EQ("dc_pro_resethex获取ATS失败", app_.Text(IDC_STATUS));

  app_.Click(IDC_LOAD_KEY_A);
  EXPECT_EQ("装载A密钥成功", app_.Text(IDC_STATUS));

  app_.Click(IDC_READ_CARD);
  std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", lines[0]);
  EXPECT_EQ("块[0]:3A5C7E91", lines[1].substr(0, 15));
  EXPECT_EQ("扇区[15]:校验密码[A]成功！", lines[75]);
  EXPECT_EQ(std::string("块[3]:") + kTrailer, lines[79]);
  EXPECT_EQ(79, app_.Selected(IDC_READ_LIST));
  EXPECT_EQ("15", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", app_.Text(IDC_WRITE_BLOCK));
  EXPECT_EQ(kTrailer, app_.Text(IDC_BLOCK_DATA));
  EXPECT_EQ("装载A密钥成功", app_.Text(IDC_STATUS));  // a clean read-out reports nothing

  app_.Select(IDC_READ_LIST, 15);  // sector 3's authentication line
  EXPECT_EQ("3", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", app_.Text(IDC_WRITE_BLOCK));
  EXPECT_EQ(kZeros, app_.Text(IDC_BLOCK_DATA));

  app_.SetText(IDC_WRITE_SECTOR, "1");
  app_.SetText(IDC_WRITE_BLOCK, "2");
  app_.Type(IDC_WRITE_DATA, "00112233445566778899aabbccddeeff");
  app_.Click(IDC_WRITE_CARD);
  std::vector<std::string> written = app_.Lines(IDC_WRITE_LIST);
  ASSERT_EQ(2u, written.size());
  EXPECT_EQ("扇区[01]:校验密码[A]成功！", written[0]);
  EXPECT_EQ("扇区[01],块[2]:写卡成功  00112233445566778899aabbccddeeff", written[1]);
  EXPECT_EQ(1, app_.Selected(IDC_WRITE_LIST));

  std::string dump = ReadDump();
  ASSERT_EQ(1024u, dump.size());
  EXPECT_EQ(std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16), dump.substr(6 * 16, 16));

  app_.Click(IDC_READ_CARD);
  lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("块[2]:00112233445566778899AABBCCDDEEFF", lines[8]);

  app_.Select(IDC_READ_LIST, 8);
  EXPECT_EQ("1", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("2", app_.Text(IDC_WRITE_BLOCK));
  EXPECT_EQ("00112233445566778899AABBCCDDEEFF", app_.Text(IDC_BLOCK_DATA));

  EXPECT_EQ(0u, app_.Close());
  ExpectPausesInTrace();
}

TEST_F(Session, ShortKeyIsRefusedInAMessageBoxAndNothingIsLoaded) {
  Launch(L"m1");
  app_.Click(IDC_OPEN_READER);
  app_.Type(IDC_KEY, "FFFFFFFFFFFFFF");  // the edit takes twelve
  EXPECT_EQ("FFFFFFFFFFFF", app_.Text(IDC_KEY));
  app_.Type(IDC_KEY, "FFFF");
  size_t callsBefore = TraceLines().size();
  app_.ClickAsync(IDC_LOAD_KEY_A);
  HWND box = app_.FindMessageBox();
  ASSERT_NE(nullptr, box);
  wchar_t caption[64] = {}, text[128] = {};
  GetWindowTextW(box, caption, 64);
  GetDlgItemTextW(box, 0xFFFF, text, 128);
  EXPECT_EQ("QUILLON", dlg::Narrow(std::wstring(caption)));
  EXPECT_EQ("密钥长度不够6字节", dlg::Narrow(std::wstring(text)));
  SendMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ("打开成功了", app_.Text(IDC_STATUS));
  EXPECT_EQ(callsBefore, TraceLines().size());  // no reader call
  EXPECT_EQ(0u, app_.Close());
}

TEST_F(Session, CpuCardShowsItsAtsAndHasNoM1Sectors) {
  Launch(L"cpu");
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("0008", app_.Text(IDC_ATQA));
  EXPECT_EQ("086B2F14", app_.Text(IDC_CSN));
  EXPECT_EQ("20", app_.Text(IDC_SAK));
  EXPECT_EQ("纯CPU卡", app_.Text(IDC_CARD_TYPE));
  EXPECT_EQ("0578807002", app_.Text(IDC_ATS));
  EXPECT_EQ("获取SAK成功", app_.Text(IDC_STATUS));

  app_.Click(IDC_LOAD_KEY_A);
  app_.Click(IDC_READ_CARD);
  std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(16u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]失败！", lines[0]);
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", lines[15]);
  EXPECT_EQ(lines[15], app_.Text(IDC_STATUS));
  // The last line names sector 15: the write target follows the line itself.
  EXPECT_EQ("15", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", app_.Text(IDC_WRITE_BLOCK));
  EXPECT_EQ(lines[15], app_.Text(IDC_BLOCK_DATA));

  app_.Click(IDC_WRITE_CARD);
  EXPECT_TRUE(app_.Lines(IDC_WRITE_LIST).empty());
  EXPECT_EQ(0u, app_.Close());
  ExpectPausesInTrace();
}

TEST_F(Session, CompositeCardWithKeyBThenKeyA) {
  Launch(L"composite");
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("0004", app_.Text(IDC_ATQA));
  EXPECT_EQ("5E219C07", app_.Text(IDC_CSN));
  EXPECT_EQ("28", app_.Text(IDC_SAK));
  EXPECT_EQ("CPU+M1复合卡", app_.Text(IDC_CARD_TYPE));
  EXPECT_EQ("067777710280", app_.Text(IDC_ATS));
  EXPECT_EQ("获取SAK成功", app_.Text(IDC_STATUS));

  // Key B is readable under the factory access bits, so it cannot
  // authenticate; the first refusal leaves the card idle.
  app_.Click(IDC_LOAD_KEY_B);
  EXPECT_EQ("装载B密钥成功", app_.Text(IDC_STATUS));
  app_.Click(IDC_READ_CARD);
  std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(16u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[B]失败！", lines[0]);

  app_.Click(IDC_LOAD_KEY_A);
  app_.Click(IDC_FIND_CARD);
  app_.Click(IDC_READ_CARD);
  lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[07]:校验密码[A]成功！", lines[35]);
  EXPECT_EQ("块[0]:5E219C07", lines[1].substr(0, 15));
  EXPECT_EQ(0u, app_.Close());
  ExpectPausesInTrace();
}

TEST_F(Session, NoCardAndNoReader) {
  Launch(L"none");
  app_.Click(IDC_OPEN_READER);
  EXPECT_EQ("打开成功了", app_.Text(IDC_STATUS));
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("dc_request获取ATQA失败", app_.Text(IDC_STATUS));
  EXPECT_EQ("", app_.Text(IDC_CARD_TYPE));
  EXPECT_EQ(0u, app_.Close());

  AppDriver absent;
  ASSERT_TRUE(absent.Start(BesideMe(L"QUILLON.exe"), {{L"DCRF32_SIM_READER", L"absent"}}));
  absent.Click(IDC_OPEN_READER);
  EXPECT_EQ("读卡器打开失败了，自己找找问题哦", absent.Text(IDC_STATUS));
  absent.Click(IDC_FIND_CARD);
  EXPECT_EQ("dc_reset卡片复位失败", absent.Text(IDC_STATUS));
  EXPECT_EQ(0u, absent.Close());
}

namespace {

// A key pressed in a list box, handled by the time this returns.
void PressIn(HWND list, WPARAM key) { SendMessageW(list, WM_KEYDOWN, key, 1); }

}  // namespace

TEST_F(Session, KeysMoveThroughBothListsAndTheReadListSetsTheWriteTarget) {
  Launch(L"m1");
  for (int button : {IDC_OPEN_READER, IDC_FIND_CARD, IDC_LOAD_KEY_A, IDC_READ_CARD}) app_.Click(button);
  const std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  HWND list = GetDlgItem(app_.Window(), IDC_READ_LIST);
  // The last line is selected and in view.
  EXPECT_EQ(79, app_.Selected(IDC_READ_LIST));
  RECT client;
  GetClientRect(list, &client);
  const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
  const int rows = client.bottom / static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  EXPECT_GT(top, 0);
  EXPECT_GE(top + rows, 80);

  // Every sector read: line i is sector i / 5, an authentication line at
  // each multiple of five (block 0, the next line's data), then blocks 0-3.
  auto expectTarget = [&](int line) {
    SCOPED_TRACE(line);
    ASSERT_EQ(line, app_.Selected(IDC_READ_LIST));
    EXPECT_EQ(std::to_string(line / 5), app_.Text(IDC_WRITE_SECTOR));
    EXPECT_EQ(std::to_string(line % 5 == 0 ? 0 : line % 5 - 1), app_.Text(IDC_WRITE_BLOCK));
    const std::string& data = lines[line % 5 == 0 ? line + 1 : line];
    EXPECT_EQ(data.substr(data.size() - 32), app_.Text(IDC_BLOCK_DATA));
  };
  PressIn(list, VK_UP);
  expectTarget(78);
  PressIn(list, VK_DOWN);
  expectTarget(79);
  PressIn(list, VK_HOME);
  expectTarget(0);
  PressIn(list, VK_DOWN);
  expectTarget(1);
  PressIn(list, VK_NEXT);
  const int pageDown = app_.Selected(IDC_READ_LIST);
  EXPECT_GT(pageDown, 1);
  expectTarget(pageDown);
  PressIn(list, VK_END);
  expectTarget(79);
  PressIn(list, VK_PRIOR);
  const int pageUp = app_.Selected(IDC_READ_LIST);
  EXPECT_LT(pageUp, 78);
  EXPECT_GT(pageUp, 0);
  expectTarget(pageUp);

  app_.Type(IDC_WRITE_SECTOR, "1");
  app_.Type(IDC_WRITE_BLOCK, "2");
  app_.Click(IDC_WRITE_CARD);
  ASSERT_EQ(2u, app_.Lines(IDC_WRITE_LIST).size());
  HWND written = GetDlgItem(app_.Window(), IDC_WRITE_LIST);
  PressIn(written, VK_UP);
  EXPECT_EQ(0, app_.Selected(IDC_WRITE_LIST));
  PressIn(written, VK_END);
  EXPECT_EQ(1, app_.Selected(IDC_WRITE_LIST));
  PressIn(written, VK_HOME);
  EXPECT_EQ(0, app_.Selected(IDC_WRITE_LIST));
  // Keys in the write list leave the write target alone.
  EXPECT_EQ("1", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("2", app_.Text(IDC_WRITE_BLOCK));
  EXPECT_EQ(0u, app_.Close());
}

TEST_F(Session, TypedKeySectorAndDataSurviveFindCardAndAreWhatTheNextCommandsUse) {
  Launch(L"m1");
  app_.Click(IDC_OPEN_READER);
  app_.Type(IDC_KEY, "A0A1A2A3A4A5");
  app_.Type(IDC_WRITE_SECTOR, "5");
  app_.Type(IDC_WRITE_DATA, "00112233445566778899AABBCCDDEEFF");
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("08", app_.Text(IDC_SAK));
  EXPECT_EQ("纯M1卡", app_.Text(IDC_CARD_TYPE));
  EXPECT_EQ("A0A1A2A3A4A5", app_.Text(IDC_KEY));
  EXPECT_EQ("5", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("00112233445566778899AABBCCDDEEFF", app_.Text(IDC_WRITE_DATA));
  app_.Click(IDC_LOAD_KEY_A);
  bool loadedTypedKey = false;
  for (const std::string& line : TraceLines())
    loadedTypedKey |= line.find("\tdc_load_key\t") != std::string::npos &&
                      line.find("A0A1A2A3A4A5") != std::string::npos;
  EXPECT_TRUE(loadedTypedKey);
  EXPECT_EQ(0u, app_.Close());
}

TEST_F(Session, CuidCardRefusesABadBccAndShowsItsNewUidAfterAGoodOne) {
  Launch(L"cuid");
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("4D1F62A8", app_.Text(IDC_CSN));
  app_.Click(IDC_LOAD_KEY_A);
  app_.Click(IDC_WRITE_CARD);  // leaves two lines in the write list
  ASSERT_EQ(2u, app_.Lines(IDC_WRITE_LIST).size());

  const std::string dumpBefore = ReadDump();
  ASSERT_EQ(1024u, dumpBefore.size());
  const size_t callsBefore = TraceLines().size();
  app_.SetText(IDC_WRITE_BLOCK, "0");
  app_.Type(IDC_WRITE_DATA, "1234567800080400C1C2C3C4C5C6C7C8");  // BCC 12^34^56^78 is 08
  app_.Click(IDC_WRITE_CARD);
  EXPECT_EQ("扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡", app_.Text(IDC_STATUS));
  EXPECT_TRUE(app_.Lines(IDC_WRITE_LIST).empty());
  EXPECT_EQ(callsBefore, TraceLines().size());  // no reader call
  EXPECT_EQ(dumpBefore, ReadDump());
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("4D1F62A8", app_.Text(IDC_CSN));

  app_.Type(IDC_WRITE_DATA, "1234567808080400C1C2C3C4C5C6C7C8");
  app_.Click(IDC_WRITE_CARD);
  EXPECT_EQ((std::vector<std::string>{"扇区[00]:校验密码[A]成功！",
                                      "扇区[00],块[0]:写卡成功  1234567808080400C1C2C3C4C5C6C7C8"}),
            app_.Lines(IDC_WRITE_LIST));
  EXPECT_EQ(std::string("\x12\x34\x56\x78\x08\x08\x04\x00", 8), ReadDump().substr(0, 8));
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("12345678", app_.Text(IDC_CSN));
  EXPECT_EQ("0004", app_.Text(IDC_ATQA));
  EXPECT_EQ("纯M1卡", app_.Text(IDC_CARD_TYPE));
  EXPECT_EQ(0u, app_.Close());
  ExpectPausesInTrace();
}
