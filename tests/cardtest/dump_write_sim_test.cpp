// Writing a dump onto the virtual reader's cards, with every block write
// sent recorded: the write itself, surveyed and run as the menu command runs
// it once confirmed, and the command's file, checks and confirmation.
#include <gtest/gtest.h>

#include "cardtest/confirm_write_dlg.h"
#include "cardtest/dictionary_read.h"
#include "cardtest/dump_plan.h"
#include "cardtest/dump_write_run.h"
#include "cardtest/read_out.h"
#include "cards/dump_reader.h"
#include "cards/dump_writer.h"
#include "cards/hex.h"
#include "tests/cardtest/virtual_card_fixture.h"

namespace {

using namespace virtual_card;

// The blocks written, in the order sent.
decltype(ReaderApi::dc_write_hex) g_write = nullptr;
std::vector<int> g_writes;
int16_t RecordedWrite(int32_t handle, uint8_t block, char* hex) {
  g_writes.push_back(block);
  return g_write(handle, block, hex);
}

std::string Sample() { return Slurp(Doc("dictionary-demo.mct")); }

// The sample with `block` of `sector` replaced.
std::string SampleWith(int sector, int block, const std::string& hex) {
  std::string sample = Sample();
  const size_t at = sample.find("+Sector: " + std::to_string(sector) + "\n") + 11 + (sector > 9) + 33 * block;
  sample.replace(at, 32, hex);
  return sample;
}

// A fresh card whose memory lives in a file of the test's own, each block
// write to it recorded.
template <typename Base>
class WritesRecorded : public Base {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Base::SetUp());
    g_write = this->api_.dc_write_hex;
    this->api_.dc_write_hex = RecordedWrite;
    g_writes.clear();
  }
  void OpenAndFind(const char* preset, const fs::path& dump) { Base::OpenAndFind(preset, dump); }
  void OpenAndFind(const char* preset) { Base::OpenAndFind(preset, this->dir_ / "card.mfd"); }
};

class DumpWriteRunOnVirtualReader : public WritesRecorded<VirtualCardOperation> {
 protected:
  // Surveys the card for the dump `text`, then writes it, with block 0 when
  // `block0`, as the command does once confirmed.
  void WriteDump(const std::string& text, bool block0) {
    CardImage dump;
    std::string problem;
    ASSERT_TRUE(ParseCardDump(text, &dump, &problem)) << problem;
    DumpWriteRun run(link_, progress_, dump, nullptr, nullptr);
    ASSERT_TRUE(run.Survey()) << (progress_.status.empty() ? "" : progress_.status.back());
    warnings_.clear();
    for (const std::string& warning : run.Warnings()) warnings_ += (warnings_.empty() ? "" : "\n") + warning;
    run.Write(block0);
  }
  // Reads the whole card with the sample's keys, as MCT text.
  std::string ReadBack() {
    const CardSize size = SizeOfSak(link_.Sak()).size;
    CardImage image(size);
    const std::vector<Key> keys = {0xFFFFFFFFFFFF, 0xA0A1A2A3A4A5, 0xB0B1B2B3B4B5,
                                   0xD3F7D3F7D3F7, 0x3B7E4F1C2A90, 0x3B7E4F1C2A91};
    DictionaryRead(link_, progress_, keys).Run(shown_.csn, size, image);
    std::string text, problem;
    EXPECT_TRUE(RenderCardDump(image, DumpFormat::Mct, &text, &problem)) << problem;
    return text;
  }
  // The read-out, with the keys the reader holds, opens every sector.
  void ReadOutOpensEverySector() {
    Recorded read;
    CardImage image;
    ReadOut(link_, read, kKeyModeA).Run(shown_.csn, image);
    EXPECT_EQ(80u, read.readLines.size());
    for (const std::string& line : read.ReadTexts()) EXPECT_EQ(std::string::npos, line.find("失败")) << line;
  }

  // The card's memory, as the virtual reader keeps it in its raw file.
  std::string Block(int address) {
    const std::string card = Slurp(dir_ / "card.mfd");
    return HexText(reinterpret_cast<const uint8_t*>(card.data()) + address * 16, 16);
  }
  void SetBlock(int address, const std::string& hex) {
    std::string card = Slurp(dir_ / "card.mfd");
    HexBytes(hex.c_str(), reinterpret_cast<uint8_t*>(&card[address * 16]), 16);
    Spit(dir_ / "card.mfd", card);
  }

  // What the survey found the card will not take, one a line.
  std::string warnings_;
};

class DumpWriteOnVirtualReader : public WritesRecorded<VirtualCardWindow> {
 protected:
  // Chooses `dump` in the open dialog and answers the confirmation: write
  // (with block 0 when `block0`) or cancel.
  void WriteDump(const std::string& dump, bool write, bool block0 = false) {
    ui.fileAnswers.push_back({dump, 0});
    ui.onModal = [&, write, block0](dlg::CDialog& dialog, dlg::MemoryBackend& box) {
      uids = box.GetText(IDC_CONFIRM_UIDS);
      locked = box.GetText(IDC_CONFIRM_LOCKED);
      checkedAtStart = box.GetCheck(IDC_CONFIRM_BLOCK0);
      if (!write) return static_cast<int>(dlg::kIdCancel);
      box.SetCheck(IDC_CONFIRM_BLOCK0, block0);
      dialog.RunCommand(IDC_CONFIRM_WRITE, dlg::kButtonClicked);
      return box.EndResult();
    };
    dlg.OnWriteDump();
  }

  std::string uids, locked;
  bool checkedAtStart = true;
};

}  // namespace

TEST_F(DumpWriteRunOnVirtualReader, SampleOntoACuidCardReadsBackAsTheSameFile) {
  // The sample as the program saves it, read from a card that holds it.
  fs::copy_file(Doc("dictionary-demo.mct"), dir_ / "sample.mct");
  OpenAndFind("m1", dir_ / "sample.mct");
  const std::string saved = ReadBack();
  ASSERT_NE(std::string::npos, saved.find("+Sector: 15")) << saved;

  OpenAndFind("cuid");
  ASSERT_EQ("4D1F62A8", shown_.csn);
  WriteDump(saved, true);
  EXPECT_EQ("写入完成：64/64 个块已写入，0 个块被拒绝", progress_.status.back());
  // Each sector's data blocks before its trailer; sector 0 last of all,
  // with block 0 before the trailer whose bits could forbid it.
  std::vector<int> order;
  for (int s = 1; s < 16; ++s)
    for (int b = 0; b < 4; ++b) order.push_back(s * 4 + b);
  order.insert(order.end(), {1, 2, 0, 3});
  EXPECT_EQ(order, g_writes);
  // The reader now holds the keys just written: the read-out opens every
  // sector.
  ReadOutOpensEverySector();

  Find();
  EXPECT_EQ("5D8E2B4C", shown_.csn);
  EXPECT_EQ(saved, ReadBack());
}

TEST_F(DumpWriteRunOnVirtualReader, M1CardRefusesBlock0AndOnlyBlock0) {
  OpenAndFind("m1");
  WriteDump(Sample(), true);
  EXPECT_EQ("写入完成：63/64 个块已写入，1 个块被拒绝", progress_.status.back());
  // The card went deaf after refusing block 0; it was woken for the trailer.
  EXPECT_EQ((std::vector<int>{1, 2, 0, 3}), std::vector<int>(g_writes.end() - 4, g_writes.end()));
  EXPECT_EQ("写扇区[00]第[0]块失败！", progress_.writeLines[progress_.writeLines.size() - 3]);

  // Again without block 0: the card now has the sample's keys and access
  // bits, so the dump's own keys open it, key B where only B may write.
  g_writes.clear();
  OpenAndFind("m1");
  WriteDump(Sample(), false);
  EXPECT_EQ("写入完成：63/63 个块已写入，0 个块被拒绝", progress_.status.back());
  EXPECT_EQ(63u, g_writes.size());
}

TEST_F(DumpWriteRunOnVirtualReader, CancelTakesEffectBetweenSectorsAndBeforeBlock0) {
  // Esc during the first sector: it is finished, trailer included, and
  // nothing after it; the write kept polling, so the window kept answering,
  // meanwhile.
  OpenAndFind("m1");
  int askedAfter = 0;
  progress_.cancelWhen = [&] {
    if (g_writes.empty()) return false;
    ++askedAfter;
    return true;
  };
  WriteDump(Sample(), false);
  EXPECT_EQ("写入已取消：4/63 个块已写入，0 个块被拒绝", progress_.status.back());
  EXPECT_EQ((std::vector<int>{4, 5, 6, 7}), g_writes);
  EXPECT_GT(askedAfter, 3);

  // Esc during the last sector, with block 0 asked for: block 0 is a step
  // of its own, and neither it nor anything after it is written.
  g_writes.clear();
  OpenAndFind("cuid");
  const std::string before = Slurp(dir_ / "card.mfd");
  progress_.cancelWhen = [&] { return !g_writes.empty() && g_writes.back() == 2; };
  WriteDump(Sample(), true);
  EXPECT_EQ("写入已取消：62/64 个块已写入，0 个块被拒绝", progress_.status.back());
  EXPECT_EQ(2, g_writes.back());
  EXPECT_EQ(before.substr(0, 16), Slurp(dir_ / "card.mfd").substr(0, 16));
}

TEST_F(DumpWriteRunOnVirtualReader, Block0GoesBeforeTheTrailerThatForbidsIt) {
  // The dump's sector 0: block 0 read-only (010) under bits no key can
  // change again (110).
  OpenAndFind("cuid");
  WriteDump(SampleWith(0, 3, "FFFFFFFFFFFF078F0F69FFFFFFFFFFFF"), true);
  EXPECT_EQ("写入完成：64/64 个块已写入，0 个块被拒绝", progress_.status.back());
  EXPECT_EQ("5D8E2B4CB40804005155494C4C4F4E21", Block(0));
  EXPECT_EQ("000000000000078F0F69FFFFFFFFFFFF", Block(3).replace(0, 12, "000000000000"));

  // Onto that card again: its own bits now forbid block 0, and the survey
  // says so before anything is written.
  OpenAndFind("cuid");
  WriteDump(Sample(), true);
  EXPECT_NE(std::string::npos, warnings_.find("卡上扇区[00]现在的控制位不允许用已知的密钥写块0，勾选“写入块0”也不会写入。"))
      << warnings_;
  EXPECT_EQ("5D8E2B4CB40804005155494C4C4F4E21", Block(0));
}

TEST_F(DumpWriteRunOnVirtualReader, TheCardsOwnAccessBitsDecideWhatIsWrittenAndTheSurveySaysSoFirst) {
  OpenAndFind("cuid");
  // Sector 3: key A unknown, key B known, either key may write the data
  // (000), key B the trailer (011). Sector 4: access bits frozen, keys
  // writable with key A (000). Sector 5: keys frozen, access bits
  // writable with key B (101).
  SetBlock(15, "123456789ABC7F078869FFFFFFFFFFFF");
  SetBlock(19, "FFFFFFFFFFFFFF0F0069FFFFFFFFFFFF");
  SetBlock(23, "FFFFFFFFFFFFF7878069FFFFFFFFFFFF");
  OpenAndFind("cuid");
  WriteDump(SampleWith(3, 0, "0123456789ABCDEF0123456789ABCDEF"), false);
  EXPECT_EQ("扇区[04]的尾块不能按转储文件写入：控制位将保持卡上原样。\n"
            "扇区[05]的尾块不能按转储文件写入：密钥A、密钥B将保持卡上原样。",
            warnings_);
  EXPECT_EQ("写入完成：61/63 个块已写入，2 个块被拒绝", progress_.status.back());
  // Key B wrote sector 3 whole, data and trailer; what the card took of
  // sectors 4 and 5 is what it was told it would.
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", Block(12));
  EXPECT_EQ("FFFFFFFFFFFFFF078069FFFFFFFFFFFF", Block(15));
  EXPECT_EQ("A0A1A2A3A4A5FF0F0069B0B1B2B3B4B5", Block(19));
  EXPECT_EQ("FFFFFFFFFFFF7F078869FFFFFFFFFFFF", Block(23));

  // The reader holds the keys the card now has: the read-out opens all.
  ReadOutOpensEverySector();
}

TEST_F(DumpWriteOnVirtualReader, TheConfirmationNamesBothUidsAndTheDumpsOwnLocksWithBlock0LeftUnchecked) {
  // The dump's sector 0: block 0 read-only (010) under bits no key can
  // change again (110).
  Spit(dir_ / "frozen.mct", SampleWith(0, 3, "FFFFFFFFFFFF078F0F69FFFFFFFFFFFF"));
  OpenAndFind("cuid");
  WriteDump((dir_ / "frozen.mct").string(), false);
  EXPECT_FALSE(checkedAtStart) << "block 0 is written only when asked";
  EXPECT_EQ("卡片UID：4D1F62A8\n转储文件UID：5D8E2B4C", uids);
  EXPECT_EQ("警告：扇区[00]写入后控制位将永久锁死，任何密钥都不能再修改。\n警告：写入后块0（卡号）将永远不能再写。", locked);
}

TEST_F(DumpWriteOnVirtualReader, RefusedDumpsAndACancelledConfirmationSendNoWrite) {
  OpenAndFind("m1");
  std::string sample = Sample();
  // Sector 2's access bits with one inverted copy wrong, and a block 0
  // whose BCC no longer matches its UID.
  std::string bad = sample;
  const size_t trailer2 = bad.find("FFFFFFFFFFFFFF078069FFFFFFFFFFFF", bad.find("+Sector: 2"));
  bad.replace(trailer2 + 12, 8, "FF078169");
  bad.replace(bad.find("5D8E2B4CB4"), 10, "5D8E2B4CB5");
  Spit(dir_ / "bad.mct", bad);
  WriteDump((dir_ / "bad.mct").string(), true, true);
  ASSERT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("扇区[02]的控制位格式错误，写入会永久锁死这些扇区\n整个转储文件未写入，卡片没有改动。", ui.MessageBoxes()[0].text);

  // A block 0 without its check byte, as a card with a 7-byte UID has it,
  // refuses the dump only when block 0 is to be written.
  Spit(dir_ / "uid7.mct", sample.replace(sample.find("5D8E2B4CB4"), 10, "5D8E2B4CB5"));
  WriteDump((dir_ / "uid7.mct").string(), true, true);
  ASSERT_EQ(2u, ui.MessageBoxes().size());
  EXPECT_EQ("扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡\n整个转储文件未写入，卡片没有改动。", ui.MessageBoxes()[1].text);
  EXPECT_TRUE(g_writes.empty());

  WriteDump(Doc("dictionary-demo.mct").string(), false);
  EXPECT_EQ("已取消，未写入任何块", ui.GetText(IDC_STATUS));
  EXPECT_TRUE(g_writes.empty());

  WriteDump((dir_ / "uid7.mct").string(), true, false);
  EXPECT_EQ("写入完成：63/63 个块已写入，0 个块被拒绝", ui.GetText(IDC_STATUS));
}
