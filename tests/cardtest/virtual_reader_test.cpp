// Whole scenarios against the virtual reader (libdcrf32.so), one preset
// card per test. The pause is recorded instead of slept: what is checked
// here is what the card and the window end up with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cardtest/card_test_dlg.h"
#include "cardtest/resource.h"
#include "dialog/memory_backend.h"
#include "reader/reader.h"

namespace {

void NoPause() {}

const std::string kZeros(32, '0');
const std::string kFactoryTrailer = "000000000000FF078069FFFFFFFFFFFF";  // key A reads as zeros

class VirtualReader : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DCRF32_SIM_DUMP");
    unsetenv("DCRF32_SIM_TRACE");
    unsetenv("DCRF32_SIM_READER");
    ReaderLoadResult loaded = LoadReaderLibrary();
    ASSERT_TRUE(loaded.ok()) << loaded.Message();
    InstallReaderPause(NoPause);
    dlg.AttachBackend(&ui);
    dlg.OnInitDialog();
  }
  void TearDown() override {
    InstallReaderApi(nullptr);
    InstallReaderPause(nullptr);
    g_hReader = 0;
  }

  // dc_init reads the card preset, so opening puts a fresh card in the field.
  void Open(const char* card) {
    setenv("DCRF32_SIM_CARD", card, 1);
    dlg.OnOpenReader();
    ASSERT_EQ("打开成功了", ui.GetText(IDC_STATUS));
  }
  void Write(int sector, int block, const std::string& data) {
    ui.Type(IDC_WRITE_SECTOR, std::to_string(sector));
    ui.Type(IDC_WRITE_BLOCK, std::to_string(block));
    ui.Type(IDC_WRITE_DATA, data);
    dlg.OnWriteCard();
  }
  const std::vector<std::string>& ReadLines() const { return ui.ListOf(IDC_READ_LIST).lines; }
  const std::vector<std::string>& WriteLines() const { return ui.ListOf(IDC_WRITE_LIST).lines; }

  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
};

}  // namespace

TEST_F(VirtualReader, M1CardIsFoundLoadedReadAndSelected) {
  Open("m1");
  dlg.OnFindCard();
  EXPECT_EQ("dc_pro_resethex获取ATS失败", ui.GetText(IDC_STATUS));
  EXPECT_EQ("0004", ui.GetText(IDC_ATQA));
  EXPECT_EQ("3A5C7E91", ui.GetText(IDC_CSN));
  EXPECT_EQ("08", ui.GetText(IDC_SAK));
  EXPECT_EQ("纯M1卡", ui.GetText(IDC_CARD_TYPE));
  EXPECT_EQ("", ui.GetText(IDC_ATS));

  dlg.OnLoadKeyA();
  EXPECT_EQ("装载A密钥成功", ui.GetText(IDC_STATUS));
  dlg.OnReadCard();
  ASSERT_EQ(80u, ReadLines().size());
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", ReadLines()[0]);
  // UID, BCC, SAK, ATQA low byte first, then the maker's bytes.
  EXPECT_EQ(0u, ReadLines()[1].rfind("块[0]:3A5C7E918908" "0400", 0)) << ReadLines()[1];
  EXPECT_EQ("块[1]:" + kZeros, ReadLines()[2]);
  EXPECT_EQ("块[3]:" + kFactoryTrailer, ReadLines()[79]);
  EXPECT_EQ("装载A密钥成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(kFactoryTrailer, ui.GetText(IDC_BLOCK_DATA));

  ui.ListSetSel(IDC_READ_LIST, 0);
  dlg.OnCommand(IDC_READ_LIST, dlg::kListSelChange);
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(ReadLines()[1].substr(ReadLines()[1].size() - 32), ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(VirtualReader, WrittenBlockReadsBack) {
  Open("m1");
  dlg.OnFindCard();
  dlg.OnLoadKeyA();
  Write(2, 1, "0123456789abcdef0123456789ABCDEF");
  EXPECT_EQ((std::vector<std::string>{"扇区[02]:校验密码[A]成功！",
                                      "扇区[02],块[1]:写卡成功  0123456789abcdef0123456789ABCDEF"}),
            WriteLines());
  dlg.OnReadCard();
  ASSERT_EQ(80u, ReadLines().size());
  EXPECT_EQ("块[1]:0123456789ABCDEF0123456789ABCDEF", ReadLines()[12]);
  ui.ListSetSel(IDC_READ_LIST, 12);
  dlg.OnSelchangeReadList();
  EXPECT_EQ("2", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("1", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(VirtualReader, ManufacturerBlockRefusesTheWrite) {
  Open("m1");
  dlg.OnFindCard();
  dlg.OnLoadKeyA();
  Write(0, 0, kZeros);
  EXPECT_EQ((std::vector<std::string>{"扇区[00]:校验密码[A]成功！", "写扇区[00]第[0]块失败！"}), WriteLines());
  EXPECT_EQ("写扇区[00]第[0]块失败！", ui.GetText(IDC_STATUS));
}

TEST_F(VirtualReader, KeyBFailsWhereTheTransportConfigurationMakesItReadable) {
  Open("m1");
  dlg.OnFindCard();
  dlg.OnLoadKeyB();
  EXPECT_EQ("装载B密钥成功", ui.GetText(IDC_STATUS));
  dlg.OnReadCard();
  ASSERT_EQ(16u, ReadLines().size());
  EXPECT_EQ("扇区[00]:校验密码[B]失败！", ReadLines()[0]);
  EXPECT_EQ("扇区[15]:校验密码[B]失败！", ui.GetText(IDC_STATUS));
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("扇区[15]:校验密码[B]失败！", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(VirtualReader, TrailerWriteChangesKeyAAndTheOldKeyFailsFromThatSectorOn) {
  Open("m1");
  dlg.OnFindCard();
  dlg.OnLoadKeyA();
  Write(1, 3, "A0A1A2A3A4A5FF078069FFFFFFFFFFFF");
  EXPECT_EQ("扇区[01],块[3]:写卡成功  A0A1A2A3A4A5FF078069FFFFFFFFFFFF", WriteLines().at(1));

  dlg.OnReadCard();
  // The failed authentication leaves the card idle, so every later sector
  // fails as well: 16 lines plus four for sector 0.
  ASSERT_EQ(20u, ReadLines().size());
  EXPECT_EQ("扇区[01]:校验密码[A]失败！", ReadLines()[5]);
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", ReadLines()[19]);

  // With the new key the sector takes writes again once the card is found.
  dlg.OnFindCard();
  ui.Type(IDC_KEY, "A0A1A2A3A4A5");
  dlg.OnLoadKeyA();
  Write(1, 1, "11111111111111111111111111111111");
  EXPECT_EQ("扇区[01],块[1]:写卡成功  11111111111111111111111111111111", WriteLines().at(1));
}

TEST_F(VirtualReader, MalformedTrailerNeverReachesTheCard) {
  Open("m1");
  dlg.OnFindCard();
  dlg.OnLoadKeyA();
  Write(4, 3, "FFFFFFFFFFFF000000FFFFFFFFFFFFFF");
  EXPECT_EQ("扇区[04]控制位格式错误，写入会永久锁死该扇区", ui.GetText(IDC_STATUS));
  dlg.OnReadCard();
  ASSERT_EQ(80u, ReadLines().size());
  EXPECT_EQ("块[3]:" + kFactoryTrailer, ReadLines()[24]);
}

TEST_F(VirtualReader, CpuCardIsIdentifiedWithItsAtsAndHasNoSectors) {
  Open("cpu");
  dlg.OnFindCard();
  EXPECT_EQ("获取SAK成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ("0008", ui.GetText(IDC_ATQA));
  EXPECT_EQ("086B2F14", ui.GetText(IDC_CSN));
  EXPECT_EQ("20", ui.GetText(IDC_SAK));
  EXPECT_EQ("0578807002", ui.GetText(IDC_ATS));
  EXPECT_EQ("纯CPU卡", ui.GetText(IDC_CARD_TYPE));
  dlg.OnLoadKeyA();
  dlg.OnReadCard();
  EXPECT_EQ(16u, ReadLines().size());
}

TEST_F(VirtualReader, CompositeCardIsReactivatedForTheSectorCommands) {
  Open("composite");
  dlg.OnFindCard();
  EXPECT_EQ("获取SAK成功", ui.GetText(IDC_STATUS));
  EXPECT_EQ("0004", ui.GetText(IDC_ATQA));
  EXPECT_EQ("5E219C07", ui.GetText(IDC_CSN));
  EXPECT_EQ("067777710280", ui.GetText(IDC_ATS));
  EXPECT_EQ("CPU+M1复合卡", ui.GetText(IDC_CARD_TYPE));
  dlg.OnLoadKeyA();
  dlg.OnReadCard();
  EXPECT_EQ(80u, ReadLines().size());
  Write(3, 2, "22222222222222222222222222222222");
  EXPECT_EQ("扇区[03],块[2]:写卡成功  22222222222222222222222222222222", WriteLines().at(1));
}

TEST_F(VirtualReader, EmptyFieldFailsAtTheRequest) {
  Open("none");
  dlg.OnFindCard();
  EXPECT_EQ("dc_request获取ATQA失败", ui.GetText(IDC_STATUS));
  dlg.OnLoadKeyA();
  EXPECT_EQ("装载A密钥成功", ui.GetText(IDC_STATUS));
  dlg.OnReadCard();
  EXPECT_EQ(16u, ReadLines().size());
  dlg.OnWriteCard();
  EXPECT_TRUE(WriteLines().empty());
}

TEST_F(VirtualReader, AbsentReaderFailsToOpenAndLaterCommandsFailCleanly) {
  setenv("DCRF32_SIM_READER", "absent", 1);
  dlg.OnOpenReader();
  EXPECT_EQ("读卡器打开失败了，自己找找问题哦", ui.GetText(IDC_STATUS));
  EXPECT_LE(g_hReader, 0);
  dlg.OnFindCard();
  EXPECT_EQ("dc_reset卡片复位失败", ui.GetText(IDC_STATUS));
  dlg.OnLoadKeyA();
  EXPECT_EQ("装载第0扇区A密钥失败", ui.GetText(IDC_STATUS));
}
