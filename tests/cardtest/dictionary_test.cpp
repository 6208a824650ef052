// The dictionary read and the read list's context menu against the
// recording fake, on cards whose sectors have keys of their own.
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "card_test_fixture.h"

namespace {

std::string Load(int mode, int sector, const std::string& key) {
  return "dc_load_key(7," + std::to_string(mode) + "," + std::to_string(sector) + "," + key + ")";
}
std::string Auth(int mode, int sector) {
  return "dc_authentication(7," + std::to_string(mode) + "," + std::to_string(sector) + ")";
}
std::string Read(int block) { return "dc_read_hex(7," + std::to_string(block) + ")"; }
const std::vector<std::string> kWake = {"dc_request(7,1)", "dc_anticoll(7,0)", "dc_select(7,2440977466)"};

const std::string kFF = "FFFFFFFFFFFF";
const std::string kA0 = "A0A1A2A3A4A5";
const std::string kB0 = "B0B1B2B3B4B5";

class Dictionary : public CardTest {
 protected:
  // Every trailer in the transport configuration, key B readable with key A.
  void TransportTrailers(const std::string& keyB) {
    for (int s = 0; s < 16; ++s) reader.blocks[s * 4 + 3] = "000000000000FF078069" + keyB;
  }
  // Sector by sector: key A FFFFFFFFFFFF, but A0A1A2A3A4A5 in sector 5 and
  // one in no list in sector 9; key B B0B1B2B3B4B5, readable with key A
  // only in sector 0.
  void MixedCard() {
    for (int s = 0; s < 16; ++s) {
      reader.keysA[s] = kFF;
      reader.keysB[s] = kB0;
      reader.blocks[s * 4 + 3] = "0000000000007F078869000000000000";
    }
    reader.keysA[5] = kA0;
    reader.keysA[9] = "123456123456";
    reader.blocks[3] = "000000000000FF078069" + kB0;
  }
  std::vector<std::string> CallsFrom(size_t first) const {
    std::vector<std::string> calls = reader.Calls();
    return std::vector<std::string>(calls.begin() + static_cast<long>(std::min(first, calls.size())), calls.end());
  }
  std::vector<std::string> LoadsOf(int mode, int sector) const {
    std::vector<std::string> keys;
    const std::string prefix = "dc_load_key(7," + std::to_string(mode) + "," + std::to_string(sector) + ",";
    for (const std::string& call : reader.CallsOf("dc_load_key"))
      if (call.rfind(prefix, 0) == 0) keys.push_back(call.substr(prefix.size(), 12));
    return keys;
  }
  std::string KeyFile(const std::string& text) {
    path_ = ::testing::TempDir() + "quillon_keys_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::ofstream(path_, std::ios::binary) << text;
    return path_;
  }
  void TearDown() override {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  std::string path_;
};

}  // namespace

TEST_F(Dictionary, FoundKeysComeFirstEachKeyIsSearchedUntilFoundAndTheTrailerGivesKeyB) {
  MixedCard();
  FindTheCard();
  dlg.OnDictionaryRead();

  // Sector 0: the typed key opens it; key B comes from the trailer.
  // Sector 1: key B is searched among the keys found so far, first FF (refused,
  // so the card is woken once), then B0 from sector 0's trailer.
  std::vector<std::string> expected = {Load(0, 0, kFF), Auth(0, 0), Read(0), Read(1), Read(2), Read(3),
                                       Load(0, 1, kFF), Auth(0, 1), Read(4), Read(5), Read(6), Read(7),
                                       Load(4, 1, kFF), Auth(4, 1)};
  expected.insert(expected.end(), kWake.begin(), kWake.end());
  expected.insert(expected.end(), {Load(4, 1, kB0), Auth(4, 1)});
  std::vector<std::string> calls = reader.Calls();
  ASSERT_GT(calls.size(), expected.size());
  EXPECT_EQ(expected, std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())));
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_TRUE(LoadsOf(4, 0).empty()) << "key B of sector 0 was in its trailer";

  // Sector 5: the card's keys first, then the list without them.
  EXPECT_EQ((std::vector<std::string>{kFF, kB0, kA0}), LoadsOf(0, 5));
  // Sector 9: every key once, then key B at the second try.
  std::vector<std::string> tried = LoadsOf(0, 9);
  EXPECT_EQ(13u, tried.size());
  std::sort(tried.begin(), tried.end());
  EXPECT_EQ(tried.end(), std::adjacent_find(tried.begin(), tried.end())) << "a key tried twice";
  EXPECT_EQ((std::vector<std::string>{kFF, kB0}), LoadsOf(4, 9));

  // One try is one load and one authentication; the card is woken after each
  // refusal and at no other time: 30 keys were found by trying.
  const size_t tries = reader.CallsOf("dc_load_key").size();
  EXPECT_EQ(tries, reader.CallsOf("dc_authentication").size());
  EXPECT_EQ(tries - 30, reader.CallsOf("dc_select").size());

  const auto& lines = Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:密钥A[FFFFFFFFFFFF] 密钥B[B0B1B2B3B4B5]", lines[0]);
  EXPECT_EQ("块[0]:" + FakeReader::BlockText(0), lines[1]);
  EXPECT_EQ("扇区[05]:密钥A[A0A1A2A3A4A5] 密钥B[B0B1B2B3B4B5]", lines[25]);
  EXPECT_EQ("扇区[09]:密钥A[未找到] 密钥B[B0B1B2B3B4B5]", lines[45]);
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(38), lines[48]);
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", ui.GetText(IDC_STATUS));
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));

  // Each sector is then written with the key found for it, until a key load.
  Mark();
  ui.Type(IDC_WRITE_SECTOR, "9");
  ui.Type(IDC_WRITE_BLOCK, "1");
  dlg.OnWriteCard();
  EXPECT_EQ("扇区[09],块[1]:写卡成功  00000000000000000000000000000000", Lines(IDC_WRITE_LIST).at(1));
  ui.Type(IDC_WRITE_SECTOR, "5");
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{Auth(4, 9), "dc_write_hex(7,37,00000000000000000000000000000000)", Auth(0, 5),
                                      "dc_write_hex(7,21,00000000000000000000000000000000)"}),
            reader.Calls());
  dlg.OnLoadKeyA();
  Mark();
  ui.Type(IDC_WRITE_SECTOR, "9");
  dlg.OnWriteCard();
  EXPECT_EQ(Auth(0, 9), reader.Calls().at(0));
}

TEST_F(Dictionary, AllDefaultCardCostsNoMoreCallsThanAKeyLoadAndARead) {
  TransportTrailers(kFF);
  FindTheCard();
  dlg.OnLoadKeyA();
  dlg.OnReadCard();
  const size_t plain = reader.Calls().size() - 1;  // without the key load's beep
  Mark();
  dlg.OnDictionaryRead();
  EXPECT_EQ(plain, reader.Calls().size());
  EXPECT_TRUE(reader.CallsOf("dc_request").empty());
  EXPECT_EQ("扇区[15]:密钥A[FFFFFFFFFFFF] 密钥B[FFFFFFFFFFFF]", Lines(IDC_READ_LIST).at(75));
}

TEST_F(Dictionary, CancelStopsBeforeTheNextCallAndKeepsWhatWasFound) {
  MixedCard();
  FindTheCard();
  size_t callsAtCancel = 0;
  ui.onKeepResponsive = [&] {
    if (callsAtCancel == 0 && reader.CallsOf("dc_read_hex").size() == 6) callsAtCancel = reader.Calls().size();
    return callsAtCancel != 0;
  };
  dlg.OnDictionaryRead();
  EXPECT_EQ(callsAtCancel, reader.Calls().size());
  const auto& lines = Lines(IDC_READ_LIST);
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ("扇区[01]:密钥A[FFFFFFFFFFFF] 密钥B[未找到]", lines[5]);
  EXPECT_EQ("块[1]:" + FakeReader::BlockText(5), lines[7]);
  EXPECT_EQ("字典读取已取消：2/16 个扇区已读取", ui.GetText(IDC_STATUS));

  // The next read starts afresh; a block the card refuses costs that block
  // alone: the card is woken and the sector opened again for the next.
  ui.onKeepResponsive = [] { return false; };
  reader.Fail(Read(5), 1);
  dlg.OnDictionaryRead();
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", ui.GetText(IDC_STATUS));
  EXPECT_EQ("读扇区[01]第[1]块失败！", lines.at(7));
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(6), lines.at(8));
}

TEST_F(Dictionary, KeyFileIsRefusedWholeBeforeAnythingIsSent) {
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
    ASSERT_FALSE(ui.MessageBoxes().empty());
    EXPECT_EQ(0u, ui.MessageBoxes().back().text.rfind(c.message, 0)) << ui.MessageBoxes().back().text;
    EXPECT_TRUE(reader.Calls().empty());
  }
  EXPECT_EQ("密钥文件 (*.keys;*.dic;*.txt)", ui.FileRequests().at(0).filters.at(0).label);
  EXPECT_EQ("*.*", ui.FileRequests().at(0).filters.at(1).patterns);
}

TEST_F(Dictionary, HundredThousandKeyFileFindsTheLastKey) {
  std::string text;
  char key[16];
  for (uint64_t k = 1; k <= 100000; ++k) {
    std::snprintf(key, sizeof key, "%012llX\n", static_cast<unsigned long long>(k * 0x10001));
    text += key;
  }
  const std::string last(key, 12);
  for (int s = 0; s < 16; ++s) reader.keysA[s] = last;
  TransportTrailers(last);
  FindTheCard();
  ui.fileAnswers.push_back({KeyFile(text), 0});
  dlg.OnDictionaryReadFile();
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", ui.GetText(IDC_STATUS));
  EXPECT_EQ(100000u, LoadsOf(0, 0).size());
  EXPECT_EQ(std::vector<std::string>{last}, LoadsOf(0, 15));
}

TEST_F(Dictionary, ContextMenuGreysWhatHasNothingToActOnAndRunsTheRest) {
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

  TransportTrailers(kFF);
  reader.Fail(Read(11));  // sector 2's trailer
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
