// The dictionary read and saving on the virtual reader (libdcrf32.so):
// the sample card under docs/, and dumps the program saves, loaded back as
// the card's memory. The program and the virtual reader share no code, only
// the formats.
#include <gtest/gtest.h>

#include <set>

#include "tests/cardtest/virtual_card_fixture.h"

namespace {

using namespace virtual_card;

class DictionaryOnVirtualReader : public VirtualCardWindow {
 protected:
  // Saves the read-out through the menu with the save dialog's type `type`.
  void SaveAs(const fs::path& path, int type) {
    ui.fileAnswers.push_back({path.string(), type});
    dlg.OnSaveDump();
  }
};

}  // namespace

TEST_F(DictionaryOnVirtualReader, SampleCardShowsItsKeyMapAndEveryReadableBlock) {
  const fs::path card = dir_ / "card.mct";
  fs::copy_file(Doc("dictionary-demo.mct"), card);
  OpenAndFind("m1", card);
  dlg.OnDictionaryRead();
  EXPECT_EQ("字典读取完成：15/16 个扇区已读取", ui.GetText(IDC_STATUS));
  const std::vector<std::string>& lines = ReadLines();
  ASSERT_EQ(15u * 5 + 1, lines.size());
  EXPECT_EQ("扇区[00]:密钥A[FFFFFFFFFFFF] 密钥B[FFFFFFFFFFFF]", lines[0]);
  EXPECT_EQ("块[0]:5D8E2B4CB40804005155494C4C4F4E21", lines[1]);
  EXPECT_EQ("扇区[04]:密钥A[A0A1A2A3A4A5] 密钥B[B0B1B2B3B4B5]", lines[20]);
  EXPECT_EQ("扇区[08]:密钥A[D3F7D3F7D3F7] 密钥B[B0B1B2B3B4B5]", lines[40]);
  EXPECT_EQ("块[1]:E803000017FCFFFFE803000021DE21DE", lines[42]);
  EXPECT_EQ("扇区[14]:密钥A[A0A1A2A3A4A5] 密钥B[B0B1B2B3B4B5]", lines[70]);
  EXPECT_EQ("扇区[15]:字典中没有可用的密钥", lines[75]);

  // Raw and .eml refuse the unread sector and create nothing.
  SaveAs(dir_ / "demo.mfd", 1);
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("扇区 15 有未读出的块或未知的密钥，原始格式和 .eml 格式无法记录，请保存为 MCT 文本格式（.mct）",
            ui.MessageBoxes()[0].text);
  EXPECT_FALSE(fs::exists(dir_ / "demo.mfd"));
  SaveAs(dir_ / "demo", 0);
  const std::string mct = Slurp(dir_ / "demo.mct");
  EXPECT_NE(std::string::npos, mct.find("+Sector: 15\n" + std::string(32, '-') + "\n")) << mct;
  EXPECT_NE(std::string::npos, mct.find("A0A1A2A3A4A57F078869B0B1B2B3B4B5\n")) << "keys written into the trailer";

  // Keys: each once, in the order the sectors gave them.
  ui.fileAnswers.push_back({(dir_ / "demo").string(), 0});
  dlg.OnSaveKeys();
  EXPECT_EQ("# keys found on the card with UID 5D8E2B4C\nFFFFFFFFFFFF\nA0A1A2A3A4A5\nB0B1B2B3B4B5\nD3F7D3F7D3F7\n",
            Slurp(dir_ / "demo.keys"));
}

TEST_F(DictionaryOnVirtualReader, EveryDumpFormatSavedLoadsBackAsTheSameCardAtEverySize) {
  for (const char* preset : {"m1", "mini", "4k"}) {
    SCOPED_TRACE(preset);
    OpenAndFind(preset);
    dlg.OnLoadKeyA();
    Write(1, 2, "0123456789ABCDEF0123456789ABCDEF");
    dlg.OnDictionaryRead();
    ASSERT_EQ(0u, ui.GetText(IDC_STATUS).rfind("字典读取完成：", 0)) << ui.GetText(IDC_STATUS);
    const std::vector<std::string> first = ReadLines();
    struct Format {
      const char* name;
      int type;
    } formats[] = {{"card.mct", 0}, {"card.mfd", 1}, {"card.eml", 2}};
    for (const Format& f : formats) SaveAs(dir_ / f.name, f.type);
    ASSERT_TRUE(ui.MessageBoxes().empty()) << ui.MessageBoxes()[0].text;
    // Key A is written where the card read zeros.
    EXPECT_EQ(std::string(6, '\xFF'), Slurp(dir_ / "card.mfd").substr(3 * 16, 6));

    for (const Format& f : formats) {
      OpenAndFind(preset, dir_ / f.name);
      dlg.OnDictionaryRead();
      EXPECT_EQ(first, ReadLines()) << f.name;
    }
  }
}

TEST_F(DictionaryOnVirtualReader, SavingOverAFolderFailsAndLeavesItAsItWas) {
  OpenAndFind("m1");
  dlg.OnDictionaryRead();
  fs::create_directories(dir_ / "taken.mct" / "inside");
  SaveAs(dir_ / "taken.mct", 0);
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ(0u, ui.MessageBoxes()[0].text.rfind("保存失败：" + (dir_ / "taken.mct").string(), 0));
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.mct" / "inside"));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(dir_), fs::directory_iterator())) << "the temporary file is cleaned up";
}

TEST_F(DictionaryOnVirtualReader, TypedExtensionDecidesTheFormatAndTheUsersOwnFilesAreLeftAlone) {
  OpenAndFind("m1");
  dlg.OnDictionaryRead();
  std::ofstream(dir_ / "x.mct.tmp") << "mine";
  SaveAs(dir_ / "x.MFD", 0);         // the list says MCT
  SaveAs(dir_ / "x.mct", 1);         // the list says raw
  SaveAs(dir_ / "name.with.dots", 2);
  ui.fileAnswers.push_back({(dir_ / "k.with.dots").string(), 0});
  dlg.OnSaveKeys();
  ui.fileAnswers.push_back({(dir_ / "k.TXT").string(), 0});
  dlg.OnSaveKeys();
  ASSERT_TRUE(ui.MessageBoxes().empty()) << ui.MessageBoxes()[0].text;

  EXPECT_EQ(1024u, Slurp(dir_ / "x.MFD").size());
  EXPECT_EQ(0u, Slurp(dir_ / "x.mct").find("+Sector: 0\n"));
  EXPECT_EQ(64 * 33u, Slurp(dir_ / "name.with.dots.eml").size());
  EXPECT_EQ("mine", Slurp(dir_ / "x.mct.tmp"));
  std::set<std::string> names;  // and no temporary file left
  for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
  EXPECT_EQ((std::set<std::string>{"x.MFD", "x.mct", "x.mct.tmp", "name.with.dots.eml", "k.with.dots.keys", "k.TXT"}),
            names);
}

TEST_F(DictionaryOnVirtualReader, TypedKeyIsTriedAndBlocksOnlyKeyBMayReadAreReadWithIt) {
  // Sector 2 as a card issuer locks it: data blocks for key B only (0F00FF).
  std::string sample = Slurp(Doc("dictionary-demo.mct"));
  const size_t sector2 = sample.find("+Sector: 2\n") + 11;
  sample.replace(sector2, 33, "0123456789ABCDEF0123456789ABCDEF\n");
  sample.replace(sample.find("FFFFFFFFFFFFFF078069FFFFFFFFFFFF", sector2), 32, "FFFFFFFFFFFF0F00FF69B0B1B2B3B4B5");
  Spit(dir_ / "card.mct", sample);
  OpenAndFind("m1", dir_ / "card.mct");
  // Sector 15's key A is in no list, only in the KEY field.
  ui.SetText(IDC_KEY, "3B7E4F1C2A90");
  dlg.OnDictionaryRead();
  EXPECT_EQ("字典读取完成：16/16 个扇区已读取", ui.GetText(IDC_STATUS));
  const std::vector<std::string>& lines = ReadLines();
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[02]:密钥A[FFFFFFFFFFFF] 密钥B[B0B1B2B3B4B5]", lines[10]);
  EXPECT_EQ("块[0]:0123456789ABCDEF0123456789ABCDEF", lines[11]);
  EXPECT_EQ("块[2]:00000000000000000000000000000000", lines[13]);
  EXPECT_EQ("扇区[15]:密钥A[3B7E4F1C2A90] 密钥B[3B7E4F1C2A91]", lines[75]);

  // The window's read-out then opens sector 2 with the key that reads it.
  dlg.OnReadCard();
  EXPECT_EQ("扇区[02]:校验密码[B]成功！", ReadLines().at(10));
  EXPECT_EQ("块[0]:0123456789ABCDEF0123456789ABCDEF", ReadLines().at(11));
}
