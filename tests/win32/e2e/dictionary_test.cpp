// End to end through the read list's context menu: the real QUILLON.exe on
// the virtual reader with the sample card, its menu opened as Shift+F10
// opens it and its items picked with the keyboard.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>

#include "app_driver.h"
#include "dialog/win32/win32_backend.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

// Menu entries, separators not counted.
enum { kDictionary = 0, kSaveDump = 2, kSaveKeys = 3, kCopyAll = 5, kExplain = 6 };

// A key pressed or released on the keyboard, to the focused window.
void Key(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    const auto* wide = static_cast<const wchar_t*>(GlobalLock(data));
    if (wide) text = dlg::Narrow(std::wstring(wide));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

class ContextMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    card_ = Path(L"card.mct");
    ASSERT_TRUE(CopyFileW(BesideMe(L"dictionary-demo.mct").c_str(), card_.c_str(), FALSE));
    ASSERT_TRUE(app_.Start(BesideMe(L"QUILLON.exe"), {{L"DCRF32_SIM_CARD", L"m1"}, {L"DCRF32_SIM_DUMP", card_}}));
  }
  void TearDown() override { app_.Close(); }

  std::wstring Path(const wchar_t* name) const { return folder_.Path(name); }

  TempFolder folder_{L"menu"};
  AppDriver app_;
  std::wstring card_;
};

// QUILLON.exe on the virtual reader with a `kind` card kept in `dump`, the
// reader opened, the card found with SAK `sak` and read with the built-in keys.
::testing::AssertionResult DictionaryRead(AppDriver& app, const wchar_t* kind, const std::wstring& dump,
                                          const std::string& sak) {
  if (!app.Start(BesideMe(L"QUILLON.exe"), {{L"DCRF32_SIM_CARD", kind}, {L"DCRF32_SIM_DUMP", dump}}))
    return ::testing::AssertionFailure() << "QUILLON.exe did not show its window";
  app.Click(IDC_OPEN_READER);
  if (app.Text(IDC_STATUS) != "打开成功了") return ::testing::AssertionFailure() << app.Text(IDC_STATUS);
  app.Click(IDC_FIND_CARD);
  if (app.Text(IDC_SAK) != sak) return ::testing::AssertionFailure() << "SAK " << app.Text(IDC_SAK);
  if (!app.ChooseFromContextMenu(IDC_READ_LIST, kDictionary) || !app.WaitForStatus("字典读取完成"))
    return ::testing::AssertionFailure() << app.Text(IDC_STATUS);
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(ContextMenu, DictionaryReadOfTheSampleCardThenExplainCopyAndSave) {
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  ASSERT_EQ("5D8E2B4C", app_.Text(IDC_CSN));

  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kDictionary));
  ASSERT_TRUE(app_.WaitForStatus("字典读取完成")) << app_.Text(IDC_STATUS);
  EXPECT_EQ("字典读取完成：15/16 个扇区已读取", app_.Text(IDC_STATUS));
  std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  ASSERT_EQ(76u, lines.size());
  EXPECT_EQ("扇区[00]:密钥A[FFFFFFFFFFFF] 密钥B[FFFFFFFFFFFF]", lines[0]);
  EXPECT_EQ("扇区[04]:密钥A[A0A1A2A3A4A5] 密钥B[B0B1B2B3B4B5]", lines[20]);
  EXPECT_EQ("扇区[08]:密钥A[D3F7D3F7D3F7] 密钥B[B0B1B2B3B4B5]", lines[40]);
  EXPECT_EQ("扇区[15]:字典中没有可用的密钥", lines[75]);

  // Sector 8's block 1 is a value block under the value-block conditions.
  app_.Select(IDC_READ_LIST, 42);
  EXPECT_EQ("8", app_.Text(IDC_WRITE_SECTOR));
  EXPECT_EQ("E803000017FCFFFFE803000021DE21DE", app_.Text(IDC_BLOCK_DATA));
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kExplain));
  const std::string explained = app_.AnswerMessageBox();
  EXPECT_NE(std::string::npos, explained.find("块[1]（数据块，C1C2C3=110）：读 密钥A或B，写 密钥B，加值 密钥B")) << explained;
  EXPECT_NE(std::string::npos, explained.find("块[3]（尾块，C1C2C3=011）")) << explained;
  EXPECT_NE(std::string::npos, explained.find("值 1000，地址 33")) << explained;

  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kCopyAll));
  ASSERT_TRUE(app_.WaitForStatus("已复制全部")) << app_.Text(IDC_STATUS);
  std::string all;
  for (const std::string& line : lines) all += line + "\r\n";
  EXPECT_EQ(all, ClipboardText());

  // Raw cannot hold sector 15's unknowns; MCT text can.
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kSaveDump));
  ASSERT_TRUE(app_.AnswerFileDialog(Path(L"saved.mfd"), 1));
  EXPECT_EQ(0u, app_.AnswerMessageBox().rfind("扇区 15 有未读出的块或未知的密钥", 0));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Path(L"saved.mfd").c_str()));
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kSaveDump));
  ASSERT_TRUE(app_.AnswerFileDialog(Path(L"saved"), 0));
  ASSERT_TRUE(app_.WaitForStatus("读取结果已保存")) << app_.Text(IDC_STATUS);
  const std::string mct = Slurp(Path(L"saved.mct"));
  EXPECT_NE(std::string::npos, mct.find("+Sector: 4\n")) << mct;
  EXPECT_NE(std::string::npos, mct.find("A0A1A2A3A4A57F078869B0B1B2B3B4B5\n")) << mct;

  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kSaveKeys));
  ASSERT_TRUE(app_.AnswerFileDialog(Path(L"found.keys"), 0));
  ASSERT_TRUE(app_.WaitForStatus("找到的密钥已保存")) << app_.Text(IDC_STATUS);
  EXPECT_EQ("# keys found on the card with UID 5D8E2B4C\nFFFFFFFFFFFF\nA0A1A2A3A4A5\nB0B1B2B3B4B5\nD3F7D3F7D3F7\n",
            Slurp(Path(L"found.keys")));
}

TEST_F(ContextMenu, EscCancelsTheDictionaryReadAndKeepsWhatWasFound) {
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kDictionary));
  // The window keeps answering while the read runs, and shows its progress.
  ASSERT_TRUE(app_.WaitForStatus("字典读取：扇区[0")) << app_.Text(IDC_STATUS);
  HWND list = GetDlgItem(app_.Window(), IDC_READ_LIST);
  PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(app_.WaitForStatus("字典读取已取消")) << app_.Text(IDC_STATUS);
  const std::vector<std::string> lines = app_.Lines(IDC_READ_LIST);
  EXPECT_LT(lines.size(), 76u);
  if (!lines.empty()) {
    EXPECT_EQ("扇区[00]:密钥A[FFFFFFFFFFFF] 密钥B[FFFFFFFFFFFF]", lines[0]);
  }
  // Esc went to the command, not to the dialog, which stays open.
  EXPECT_TRUE(IsWindowVisible(app_.Window()));
}

TEST_F(ContextMenu, ShiftF10TheMenuKeyAndCtrlCWorkFromTheKeyboard) {
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kDictionary));
  ASSERT_TRUE(app_.WaitForStatus("字典读取完成")) << app_.Text(IDC_STATUS);
  app_.Select(IDC_READ_LIST, 1);
  SetForegroundWindow(app_.Window());
  SendMessageW(app_.Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(app_.Window(), IDC_READ_LIST)), TRUE);
  // Each opens the menu once; Esc closes it.
  for (WORD modifier : {WORD(VK_SHIFT), WORD(0)}) {
    const WORD key = modifier ? VK_F10 : VK_APPS;
    if (modifier) Key(modifier, false);
    Key(key, false);
    Key(key, true);
    if (modifier) Key(modifier, true);
    HWND menu = app_.FindMenu();
    ASSERT_NE(nullptr, menu) << (modifier ? "Shift+F10" : "the menu key");
    Key(VK_ESCAPE, false);
    Key(VK_ESCAPE, true);
    EXPECT_TRUE(app_.WaitUntil([&] { return !IsWindowVisible(menu); }));
  }
  Key(VK_CONTROL, false);
  Key('C', false);
  Key('C', true);
  Key(VK_CONTROL, true);
  ASSERT_TRUE(app_.WaitForStatus("已复制选中行")) << app_.Text(IDC_STATUS);
  EXPECT_EQ("块[0]:5D8E2B4CB40804005155494C4C4F4E21", ClipboardText());
}

TEST(CardSizes, A4KCardReadWholeFromTheMenuSavesAsItsFourKilobytesAndWritesBack) {
  const TempFolder folder(L"4k");
  // Sectors 32-39 (16 blocks each) open with key A A0A1A2A3A4A5, from the
  // built-in list, and keep key B B0B1B2B3B4B5 to themselves (7F0788).
  std::string mct;
  for (int s = 0; s < 40; ++s) {
    mct += "+Sector: " + std::to_string(s) + "\n";
    for (int b = 0; b < (s < 32 ? 3 : 15); ++b)
      mct += s == 0 && b == 0 ? "4B1E7C2A031802004655494C4C4F4E21\n" : std::string(32, s < 32 ? '0' : '5') + "\n";
    mct += s < 32 ? "FFFFFFFFFFFFFF078069FFFFFFFFFFFF\n" : "A0A1A2A3A4A57F078869B0B1B2B3B4B5\n";
  }
  const std::wstring card = folder.Path(L"card.mct"), saved = folder.Path(L"saved.bin");
  std::ofstream(card.c_str(), std::ios::binary) << mct;
  AppDriver app;
  ASSERT_TRUE(DictionaryRead(app, L"4k", card, "18"));
  EXPECT_EQ("字典读取完成：40/40 个扇区已读取", app.Text(IDC_STATUS));
  EXPECT_EQ(32u * 5 + 8 * 17, app.Lines(IDC_READ_LIST).size());

  ASSERT_TRUE(app.ChooseFromContextMenu(IDC_READ_LIST, kSaveDump));
  ASSERT_TRUE(app.AnswerFileDialog(saved, 1));
  ASSERT_TRUE(app.WaitForStatus("读取结果已保存")) << app.Text(IDC_STATUS);
  const std::string raw = Slurp(saved);
  ASSERT_EQ(4096u, raw.size());
  EXPECT_EQ(std::string("\xA0\xA1\xA2\xA3\xA4\xA5\x7F\x07\x88\x69\xB0\xB1\xB2\xB3\xB4\xB5", 16), raw.substr(255 * 16));

  // The 4K dump writes back onto the card, every sector of it.
  ASSERT_TRUE(app.ChooseFromContextMenu(IDC_READ_LIST, 7));
  ASSERT_TRUE(app.AnswerFileDialog(saved));
  HWND confirm = app.FindMessageBox();
  ASSERT_TRUE(confirm);
  PostMessageW(GetDlgItem(confirm, IDC_CONFIRM_WRITE), BM_CLICK, 0, 0);
  ASSERT_TRUE(app.WaitGone(confirm));
  ASSERT_TRUE(app.WaitForStatus("写入完成")) << app.Text(IDC_STATUS);
  EXPECT_EQ("写入完成：255/255 个块已写入，0 个块被拒绝", app.Text(IDC_STATUS));
  app.Close();
}

TEST(CardSizes, AMiniCardReadWholeSavesInEachFormatAndEachLoadsBackAsTheSameCard) {
  const TempFolder folder(L"mini");
  const std::wstring card = folder.Path(L"card.mfd");
  std::vector<std::string> first;
  {
    AppDriver app;
    ASSERT_TRUE(DictionaryRead(app, L"mini", card, "09"));
    EXPECT_EQ("字典读取完成：5/5 个扇区已读取", app.Text(IDC_STATUS));
    first = app.Lines(IDC_READ_LIST);
    ASSERT_EQ(25u, first.size());
    for (const wchar_t* name : {L"saved.mct", L"saved.bin", L"saved.eml"}) {
      ASSERT_TRUE(app.ChooseFromContextMenu(IDC_READ_LIST, kSaveDump));
      ASSERT_TRUE(app.AnswerFileDialog(folder.Path(name)));
      ASSERT_TRUE(app.WaitForStatus("读取结果已保存")) << app.Text(IDC_STATUS);
    }
    EXPECT_EQ(320u, Slurp(folder.Path(L"saved.bin")).size());
    app.Close();
  }
  for (const wchar_t* name : {L"saved.mct", L"saved.bin", L"saved.eml"}) {
    SCOPED_TRACE(dlg::Narrow(name));
    AppDriver app;
    ASSERT_TRUE(DictionaryRead(app, L"mini", folder.Path(name), "09"));
    EXPECT_EQ(first, app.Lines(IDC_READ_LIST));
    app.Close();
  }
}
