// End to end: the sample NDEF card read with the built-in dictionary, then
// compared against a changed copy of its dump and explained, in the real
// window on the virtual reader.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "app_driver.h"
#include "dialog/win32/win32_backend.h"
#include "res/resource.h"
#include "temp_folder.h"

namespace {

// Menu entries, separators not counted.
enum { kDictionary = 0, kExplain = 6, kCompareCard = 8 };

std::vector<std::string> ListLines(HWND list) {
  std::vector<std::string> lines;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(wcslen(text.c_str()));
    lines.push_back(dlg::Narrow(text));
  }
  return lines;
}

std::string ItemText(HWND box, int id) {
  wchar_t text[8192] = {};
  GetDlgItemTextW(box, id, text, 8192);
  return dlg::Narrow(std::wstring(text));
}

class CompareAndDecode : public ::testing::Test {
 protected:
  void SetUp() override {
    sample_ = Slurp(BesideMe(L"ndef-sample.mct"));
    ASSERT_FALSE(sample_.empty());
    std::ofstream(Path(L"card.mct").c_str(), std::ios::binary) << sample_;
    ASSERT_TRUE(app_.Start(BesideMe(L"QUILLON.exe"), {{L"DCRF32_SIM_CARD", L"m1"}, {L"DCRF32_SIM_DUMP", Path(L"card.mct")}}));
  }
  void TearDown() override { app_.Close(); }
  std::wstring Path(const wchar_t* name) const { return folder_.Path(name); }

  // The explanation of the read list's line `index`, its box then closed.
  std::string Explain(int index) {
    app_.Select(IDC_READ_LIST, index);
    if (!app_.ChooseFromContextMenu(IDC_READ_LIST, kExplain)) return "(no menu)";
    HWND box = app_.FindMessageBox();
    if (!box) return "(no message box)";
    const std::string text = ItemText(box, 0xFFFF);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    app_.WaitGone(box);
    return text;
  }

  TempFolder folder_{L"compare"};
  AppDriver app_;
  std::string sample_;
};

}  // namespace

TEST_F(CompareAndDecode, DictionaryReadCompareWithAChangedCopyAndExplainMadAndNdef) {
  app_.Click(IDC_OPEN_READER);
  app_.Click(IDC_FIND_CARD);
  ASSERT_EQ("7B3E9C51", app_.Text(IDC_CSN));
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kDictionary));
  ASSERT_TRUE(app_.WaitForStatus("字典读取完成")) << app_.Text(IDC_STATUS);
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", app_.Text(IDC_STATUS));

  std::string changed = sample_;
  changed.replace(changed.find("72672F51"), 8, "72672F52");
  changed.replace(changed.find("00000000000000000000000000000000", changed.find("+Sector: 9")), 4, "1234");
  std::ofstream(Path(L"changed.mct").c_str(), std::ios::binary) << changed;
  ASSERT_TRUE(app_.ChooseFromContextMenu(IDC_READ_LIST, kCompareCard));
  ASSERT_TRUE(app_.AnswerFileDialog(Path(L"changed.mct")));
  HWND result = app_.FindMessageBox();
  ASSERT_TRUE(result);
  EXPECT_EQ("比较结果", [&] {
    wchar_t caption[64] = {};
    GetWindowTextW(result, caption, 64);
    return dlg::Narrow(caption);
  }());
  const std::vector<std::string> expected = {"62/64 个块相同，2 个块不同，0 个块无法比较",
                                             "扇区[01] 块[1]",
                                             "卡片：72672F51014354027A685155494C4C4F",
                                             "文件：72672F52014354027A685155494C4C4F",
                                             "            ^^",
                                             "扇区[09] 块[0]",
                                             "卡片：00000000000000000000000000000000",
                                             "文件：12340000000000000000000000000000",
                                             "      ^^^^"};
  EXPECT_EQ(expected, ListLines(GetDlgItem(result, IDC_COMPARE_LIST)));
  PostMessageW(GetDlgItem(result, IDC_COMPARE_COPY), BM_CLICK, 0, 0);
  EXPECT_TRUE(app_.WaitUntil([&] { return ItemText(result, IDC_COMPARE_COPIED) == "已复制全部 9 行"; }))
      << ItemText(result, IDC_COMPARE_COPIED);
  PostMessageW(GetDlgItem(result, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(app_.WaitGone(result));
  EXPECT_EQ("比较完成：62/64 个块相同，2 个块不同，0 个块无法比较", app_.Text(IDC_STATUS));

  const std::string mad = Explain(0);
  EXPECT_NE(std::string::npos, mad.find("MAD1（应用目录，扇区[01]-[15]）：CRC 正确")) << mad;
  EXPECT_NE(std::string::npos, mad.find("扇区[01]：0xE103 NDEF")) << mad;
  const std::string ndef = Explain(7);  // sector 1, block 1
  EXPECT_NE(std::string::npos, ndef.find("URI：https://example.org/")) << ndef;
  EXPECT_NE(std::string::npos, ndef.find("文本（zh）：QUILLON 示例卡：一条 URI 记录和一条中文文本记录")) << ndef;
}
