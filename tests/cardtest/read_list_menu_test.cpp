// The read list's context menu against the recording fake: what it offers,
// the key file it refuses, copying and explaining.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "card_test_fixture.h"

namespace {

using ReadListMenu = CardTest;

std::string KeyFile(const std::string& text) {
  const std::string path =
      ::testing::TempDir() + "quillon_keys_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

}  // namespace

TEST_F(ReadListMenu, KeyFileIsRefusedWholeBeforeAnythingIsSent) {
  FindTheCard();
  struct Case {
    std::string text;  // empty: no such file
    const char* message;
  } cases[] = {{"FFFFFFFFFFFF\n# depot\n  A0A1A2A3A4A5 canteen\nA0A1A2A3A4\nB0B1B2B3B4B5\n",
                "密钥文件第4行不是12位十六进制的密钥，整个文件未使用，未读卡"},
               {"# nothing but comments\n\n", "密钥文件中没有密钥，未读卡"},
               {"FFFFFFFFFFFF\rA0A1A2A3A4A5\r", "密钥文件的行尾只有CR（回车），请另存为LF或CR LF行尾，整个文件未使用，未读卡"},
               {"", "无法读取密钥文件 "}};
  for (const Case& c : cases) {
    const std::string path = c.text.empty() ? ::testing::TempDir() + "no/such/file.keys" : KeyFile(c.text);
    ui.fileAnswers.push_back({path, 0});
    dlg.OnDictionaryReadFile();
    std::remove(path.c_str());
    ASSERT_FALSE(ui.MessageBoxes().empty());
    EXPECT_EQ(0u, ui.MessageBoxes().back().text.rfind(c.message, 0)) << ui.MessageBoxes().back().text;
    EXPECT_TRUE(reader.Calls().empty());
  }
  EXPECT_EQ("密钥文件 (*.keys;*.dic;*.txt)", ui.FileRequests().at(0).filters.at(0).label);
  EXPECT_EQ("*.*", ui.FileRequests().at(0).filters.at(1).patterns);
}

TEST_F(ReadListMenu, ContextMenuGreysWhatHasNothingToActOnAndRunsTheRest) {
  auto menu = [&](int choice) {
    ui.menuChoice = choice;
    EXPECT_TRUE(dlg.OnContextMenu(IDC_READ_LIST, -1, -1));
    return ui.Menus().back().items;
  };
  std::vector<dlg::MenuItem> items = menu(IDM_COPY_ALL);
  std::vector<std::string> texts, enabled;
  for (const auto& item : items) {
    if (item.id == 0) continue;
    texts.push_back(item.text);
    if (item.enabled) enabled.push_back(item.text);
  }
  EXPECT_EQ((std::vector<std::string>{"用内置密钥字典读取", "用密钥文件读取…", "保存读取结果…", "保存找到的密钥…",
                                      "复制选中行 (Ctrl+C)", "复制全部", "解释此块…", "把转储文件写入卡片…",
                                      "与转储文件比较…", "比较两个转储文件…"}),
            texts);
  EXPECT_EQ((std::vector<std::string>{"用内置密钥字典读取", "用密钥文件读取…", "把转储文件写入卡片…",
                                      "比较两个转储文件…"}),
            enabled);
  EXPECT_TRUE(ui.MessageBoxes().empty()) << "a greyed item does nothing";
  EXPECT_FALSE(dlg.OnContextMenu(IDC_WRITE_LIST, -1, -1));

  // Without a card the dictionary read says so and sends nothing.
  menu(IDM_DICTIONARY_READ);
  EXPECT_EQ("请先打开读卡器并寻卡，再用字典读取", ui.MessageBoxes().at(0).text);
  EXPECT_TRUE(reader.Calls().empty());

  for (int s = 0; s < 16; ++s) reader.blocks[s * 4 + 3] = "000000000000FF078069FFFFFFFFFFFF";
  reader.Fail("dc_read_hex(7,11)");  // sector 2's trailer
  FindTheCard();
  menu(IDM_DICTIONARY_READ);
  ASSERT_EQ(80u, Lines(IDC_READ_LIST).size());
  items = menu(IDM_COPY_ALL);
  for (const auto& item : items) EXPECT_TRUE(item.enabled) << item.text;
  std::string all;
  for (const std::string& line : Lines(IDC_READ_LIST)) all += line + "\n";
  EXPECT_EQ(all, ui.Clipboard());

  ui.ListSetSel(IDC_READ_LIST, 6);
  menu(IDM_COPY_LINE);
  EXPECT_EQ("块[0]:" + FakeReader::BlockText(4), ui.Clipboard());
  menu(IDM_EXPLAIN_BLOCK);
  const std::string explained = ui.MessageBoxes().back().text;
  EXPECT_EQ(0u, explained.find("扇区[01] 块[0]")) << explained;
  EXPECT_NE(std::string::npos, explained.find("块[3]（尾块，C1C2C3=001）")) << explained;
  // Its zeros would read as malformed access bits.
  ui.ListSetSel(IDC_READ_LIST, 11);
  menu(IDM_EXPLAIN_BLOCK);
  EXPECT_EQ("扇区[02] 块[0]\n\n此扇区的尾块（块3）没有读出，无法知道它的访问条件。", ui.MessageBoxes().back().text);
}

TEST_F(ReadListMenu, KeysFoundOnlyInA4KCardsUpperSectorsCanBeSaved) {
  reader.sak = 0x18;
  for (int s = 0; s < 16; ++s) reader.keysA[s] = reader.keysB[s] = "123456123456";
  FindTheCard();
  ui.menuChoice = IDM_DICTIONARY_READ;
  ASSERT_TRUE(dlg.OnContextMenu(IDC_READ_LIST, -1, -1));
  ASSERT_EQ("字典读取完成：24/40 个扇区已读取", ui.GetText(IDC_STATUS));
  ui.menuChoice = 0;
  dlg.OnContextMenu(IDC_READ_LIST, -1, -1);
  const auto& items = ui.Menus().back().items;
  const auto save = std::find_if(items.begin(), items.end(), [](const auto& i) { return i.id == IDM_SAVE_KEYS; });
  ASSERT_NE(items.end(), save);
  EXPECT_TRUE(save->enabled);
}
