// End to end: writing a dump onto the virtual reader's card from the read
// list's context menu, through the open dialog and the confirmation.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "app_driver.h"
#include "dialog/win32/win32_backend.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

const int kWriteDump = 7;  // the menu's last entry, separators not counted

// The 1024 bytes an MCT dump without dashes stands for.
std::string MctBytes(const std::string& mct) {
  std::string bytes;
  size_t start = 0;
  while (start < mct.size()) {
    size_t end = mct.find('\n', start);
    if (end == std::string::npos) end = mct.size();
    const std::string line = mct.substr(start, end - start);
    if (line.size() >= 32 && line[0] != '#' && line[0] != '+')
      for (int i = 0; i < 32; i += 2) bytes.push_back(static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16)));
    start = end + 1;
  }
  return bytes;
}

std::string ItemText(HWND box, int id) {
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, id, text, 1024);
  return dlg::Narrow(std::wstring(text));
}

class DumpWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    sample_ = Slurp(BesideMe(L"dictionary-demo.mct"));
    ASSERT_FALSE(sample_.empty());
    ASSERT_TRUE(app_.Start(BesideMe(L"QUILLON.exe"), {{L"DCRF32_SIM_CARD", L"cuid"}, {L"DCRF32_SIM_DUMP", Path(L"card.mfd")}}));
    app_.Click(IDC_OPEN_READER);
    app_.Click(IDC_FIND_CARD);
    ASSERT_EQ("4D1F62A8", app_.Text(IDC_CSN));
  }
  void TearDown() override { app_.Close(); }
  std::wstring Path(const wchar_t* name) const { return folder_.Path(name); }

  // Picks the menu entry and answers the open dialog with `name`; the
  // next window of the program is then returned.
  HWND ChooseDump(const wchar_t* name, const std::string& text) {
    std::ofstream(Path(name).c_str(), std::ios::binary) << text;
    if (!app_.ChooseFromContextMenu(IDC_READ_LIST, kWriteDump)) return nullptr;
    if (!app_.AnswerFileDialog(Path(name))) return nullptr;
    return app_.FindMessageBox();
  }

  TempFolder folder_{L"write"};
  AppDriver app_;
  std::string sample_;
};

}  // namespace

TEST_F(DumpWrite, SampleWritesOntoACuidCardBlock0IncludedAndReadsBackAsTheDump) {
  HWND confirm = ChooseDump(L"dump.mct", sample_);
  ASSERT_TRUE(confirm);
  EXPECT_EQ("卡片UID：4D1F62A8\n转储文件UID：5D8E2B4C", ItemText(confirm, IDC_CONFIRM_UIDS));
  EXPECT_EQ("将写入 63 个块（不含块0）。没有跳过的扇区。", ItemText(confirm, IDC_CONFIRM_PLAN));
  EXPECT_EQ(BST_UNCHECKED, SendMessageW(GetDlgItem(confirm, IDC_CONFIRM_BLOCK0), BM_GETCHECK, 0, 0));
  EXPECT_EQ(IDCANCEL, LOWORD(SendMessageW(confirm, DM_GETDEFID, 0, 0)));
  PostMessageW(GetDlgItem(confirm, IDC_CONFIRM_BLOCK0), BM_CLICK, 0, 0);
  PostMessageW(GetDlgItem(confirm, IDC_CONFIRM_WRITE), BM_CLICK, 0, 0);
  ASSERT_TRUE(app_.WaitGone(confirm));
  ASSERT_TRUE(app_.WaitForStatus("写入完成")) << app_.Text(IDC_STATUS);
  EXPECT_EQ("写入完成：64/64 个块已写入，0 个块被拒绝", app_.Text(IDC_STATUS));
  // Sector 0 last: block 0 before the trailer.
  const std::vector<std::string> lines = app_.Lines(IDC_WRITE_LIST);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("扇区[00],块[0]:写卡成功  5D8E2B4CB40804005155494C4C4F4E21", lines[lines.size() - 2]);
  EXPECT_EQ("扇区[00],块[3]:写卡成功  FFFFFFFFFFFFFF078069FFFFFFFFFFFF", lines.back());

  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("5D8E2B4C", app_.Text(IDC_CSN));
  EXPECT_EQ(MctBytes(sample_), Slurp(Path(L"card.mfd")));
}

TEST_F(DumpWrite, ABadDumpIsRefusedAndALockedSectorNamedBeforeAnythingIsWritten) {
  const std::string factory = Slurp(Path(L"card.mfd"));
  std::string bad = sample_;
  bad.replace(bad.find("5D8E2B4CB4"), 10, "5D8E2B4CB5");
  // A wrong BCC is refused once block 0 is to be written.
  HWND checked = ChooseDump(L"bad.mct", bad);
  ASSERT_TRUE(checked);
  PostMessageW(GetDlgItem(checked, IDC_CONFIRM_BLOCK0), BM_CLICK, 0, 0);
  PostMessageW(GetDlgItem(checked, IDC_CONFIRM_WRITE), BM_CLICK, 0, 0);
  ASSERT_TRUE(app_.WaitGone(checked));
  EXPECT_EQ("扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡\n整个转储文件未写入，卡片没有改动。", app_.AnswerMessageBox());

  std::string locked = sample_;
  locked.replace(locked.find("7F078869", locked.find("+Sector: 5")), 8, "77878869");
  HWND confirm = ChooseDump(L"dump.mct", locked);
  ASSERT_TRUE(confirm);
  EXPECT_EQ("警告：扇区[05]写入后控制位将永久锁死，任何密钥都不能再修改。", ItemText(confirm, IDC_CONFIRM_LOCKED));
  // Enter takes the default button: 取消.
  PostMessageW(confirm, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(app_.WaitGone(confirm));
  ASSERT_TRUE(app_.WaitForStatus("已取消")) << app_.Text(IDC_STATUS);
  EXPECT_EQ(factory, Slurp(Path(L"card.mfd")));
}

TEST_F(DumpWrite, DumpsAsEditorsLeaveThemWriteAsTheVirtualReaderReadsThem) {
  std::string crlf, indented, eml = "\xEF\xBB\xBF";
  for (size_t start = 0, end; start < sample_.size(); start = end + 1) {
    end = sample_.find('\n', start);
    if (end == std::string::npos) end = sample_.size();
    const std::string line = sample_.substr(start, end - start);
    crlf += line + "\r\n";
    indented += "  " + line + " \n";
  }
  const std::string bytes = MctBytes(sample_);
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(bytes[i]));
    eml += hex + std::string(i % 16 == 15 ? "\r\n" : "");
  }
  const std::pair<const wchar_t*, std::string> dumps[] = {
      {L"bom.mct", "\xEF\xBB\xBF" + crlf}, {L"indented.mct", indented}, {L"bom.eml", eml}};
  for (const auto& [name, text] : dumps) {
    SCOPED_TRACE(dlg::Narrow(name));
    HWND confirm = ChooseDump(name, text);
    ASSERT_TRUE(confirm);
    PostMessageW(GetDlgItem(confirm, IDC_CONFIRM_WRITE), BM_CLICK, 0, 0);
    ASSERT_TRUE(app_.WaitGone(confirm));
    ASSERT_TRUE(app_.WaitForStatus("写入完成")) << app_.Text(IDC_STATUS);
    EXPECT_EQ("写入完成：63/63 个块已写入，0 个块被拒绝", app_.Text(IDC_STATUS));
    EXPECT_EQ(bytes.substr(16), Slurp(Path(L"card.mfd")).substr(16));
    DeleteFileW(Path(name).c_str());
  }
}
