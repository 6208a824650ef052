// The compares and explain's card contents on the virtual reader, with the
// sample NDEF card under docs/ as the card's memory.
#include <gtest/gtest.h>

#include "cardtest/compare_result_dlg.h"
#include "tests/cardtest/virtual_card_fixture.h"

namespace {

using namespace virtual_card;

class CompareOnVirtualReader : public VirtualCardWindow {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(VirtualCardWindow::SetUp());
    sample_ = Slurp(Doc("ndef-sample.mct"));
    ASSERT_FALSE(sample_.empty());
    // The compare dialog's lines, and what its "复制全部" put on the clipboard.
    ui.onModal = [this](dlg::CDialog& shown, dlg::MemoryBackend& inner) {
      shown.RunCommand(IDC_COMPARE_COPY, dlg::kButtonClicked);
      result_ = inner.ListOf(IDC_COMPARE_LIST).lines;
      copied_ = inner.Clipboard();
      copiedNote_ = inner.GetText(IDC_COMPARE_COPIED);
      return dlg::kIdCancel;
    };
  }

  std::string Save(const char* name, const std::string& text) {
    Spit(dir_ / name, text);
    return (dir_ / name).string();
  }
  std::string sample_;
  std::vector<std::string> result_;
  std::string copied_, copiedNote_;
};

}  // namespace

TEST_F(CompareOnVirtualReader, CardAgainstAChangedCopyListsExactlyTheDifferingBlocks) {
  OpenAndFind("m1", Save("card.mct", sample_));
  // Nothing read yet: the card compare says why and asks for no file.
  dlg.OnCompareCard();
  EXPECT_EQ("还没有读取卡片：请先读取M1数据或用密钥字典读取，再与转储文件比较", ui.MessageBoxes().back().text);
  EXPECT_TRUE(ui.FileRequests().empty());

  dlg.OnDictionaryRead();
  ASSERT_EQ("字典读取完成：16/16 个扇区已读取", ui.GetText(IDC_STATUS));
  std::string changed = sample_;
  changed.replace(changed.find("72672F51"), 8, "72672F52");     // sector 1, block 1
  changed.replace(changed.find("7F078840", changed.find("+Sector: 2")), 8, "7F078843");  // read-only NDEF
  ui.fileAnswers.push_back({Save("changed.mct", changed), 0});
  dlg.OnCompareCard();
  const std::vector<std::string> expected = {
      "62/64 个块相同，2 个块不同，0 个块无法比较",
      "扇区[01] 块[1]",
      "卡片：72672F51014354027A685155494C4C4F",
      "文件：72672F52014354027A685155494C4C4F",
      "            ^^",
      "扇区[02] 块[3]",
      "卡片：D3F7D3F7D3F77F078840FFFFFFFFFFFF",
      "文件：D3F7D3F7D3F77F078843FFFFFFFFFFFF",
      "                        ^^",
      "字节9不同：卡片 0x40，文件 0x43"};
  EXPECT_EQ(expected, result_);
  std::string all;
  for (const std::string& line : expected) all += line + "\n";
  EXPECT_EQ(all, copied_);
  EXPECT_EQ("已复制全部 10 行", copiedNote_);
  EXPECT_EQ("比较完成：62/64 个块相同，2 个块不同，0 个块无法比较", ui.GetText(IDC_STATUS));
}

TEST_F(CompareOnVirtualReader, TwoDumpsNeedNoCardAndABadOneChangesNothing) {
  const size_t boxes = ui.MessageBoxes().size();
  ui.fileAnswers.push_back({Save("a.mct", sample_), 0});
  ui.fileAnswers.push_back({Save("b.mct", "+Sector: 0\nnot hex\n"), 0});
  dlg.OnCompareDumps();
  ASSERT_EQ(boxes + 1, ui.MessageBoxes().size());
  EXPECT_EQ("转储文件 " + (dir_ / "b.mct").string() + " 无法使用：第2行不是32位十六进制的块\n没有比较。",
            ui.MessageBoxes().back().text);
  EXPECT_TRUE(result_.empty());
  EXPECT_EQ("", ui.GetText(IDC_STATUS));

  ui.fileAnswers.push_back({(dir_ / "a.mct").string(), 0});
  ui.fileAnswers.push_back({Save("c.mct", sample_), 0});
  dlg.OnCompareDumps();
  EXPECT_EQ(std::vector<std::string>{"全部 64 个块相同"}, result_);
  EXPECT_EQ("选择第一个转储文件", ui.FileRequests()[2].title);
  EXPECT_EQ("选择第二个转储文件", ui.FileRequests()[3].title);
}
