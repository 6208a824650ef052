#pragma once
// Card-command scenarios that must come out the same on any dcrf32. The
// virtual reader's and the PC/SC library's test programs each run them
// with a fixture derived from CardTestWindow whose Open(card) opens the
// reader with a card of that preset ("none": an empty field) in its field,
// and whose MakeReaderAbsent() makes the next opening find no reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cardtest/card_test_dlg.h"
#include "cards/hex.h"
#include "res/resource.h"
#include "dialog/memory_backend.h"
#include "reader/reader.h"

// The main dialog on the in-memory window.
class CardTestWindow : public ::testing::Test {
 protected:
  void ShowWindow() {
    dlg.AttachBackend(&ui);
    dlg.OnInitDialog();
  }
  void Write(int sector, int block, const std::string& data) {
    ui.Type(IDC_WRITE_SECTOR, std::to_string(sector));
    ui.Type(IDC_WRITE_BLOCK, std::to_string(block));
    ui.Type(IDC_WRITE_DATA, data);
    dlg.OnWriteCard();
  }
  const std::vector<std::string>& ReadLines() const { return ui.ListOf(IDC_READ_LIST).lines; }
  const std::vector<std::string>& WriteLines() const { return ui.ListOf(IDC_WRITE_LIST).lines; }

  // An M1 card, the reader opened on it: found, key A loaded, read out, and
  // the lines select their blocks, the same on any dcrf32.
  void M1CardIsFoundLoadedReadAndSelected() {
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
    EXPECT_EQ("块[1]:" + std::string(32, '0'), ReadLines()[2]);
    EXPECT_EQ("块[3]:000000000000FF078069FFFFFFFFFFFF", ReadLines()[79]);
    EXPECT_EQ("装载A密钥成功", ui.GetText(IDC_STATUS));
    EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
    EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));
    EXPECT_EQ("000000000000FF078069FFFFFFFFFFFF", ui.GetText(IDC_BLOCK_DATA));

    ui.ListSetSel(IDC_READ_LIST, 0);
    dlg.OnCommand(IDC_READ_LIST, dlg::kListSelChange);
    EXPECT_EQ("0", ui.GetText(IDC_WRITE_SECTOR));
    EXPECT_EQ("0", ui.GetText(IDC_WRITE_BLOCK));
    EXPECT_EQ(ReadLines()[1].substr(ReadLines()[1].size() - 32), ui.GetText(IDC_BLOCK_DATA));
  }

  // A CPU card, the reader opened on it: found with its ATS; it has no
  // sectors to read.
  void CpuCardIsIdentifiedWithItsAtsAndHasNoSectors() {
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

  // A CPU+M1 composite card, the reader opened on it: found with its ATS,
  // then activated again so that it takes the sector commands.
  void CompositeCardIsReactivatedForTheSectorCommands() {
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

  dlg::MemoryBackend ui;
  CCardTestDlg dlg;
};

const std::string kZeros(32, '0');
const std::string kFactoryTrailer = "000000000000FF078069FFFFFFFFFFFF";  // key A reads as zeros

template <typename Fixture>
class CardScenarios : public Fixture {};
TYPED_TEST_SUITE_P(CardScenarios);

TYPED_TEST_P(CardScenarios, WrittenBlockReadsBack) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyA();
  this->Write(2, 1, "0123456789abcdef0123456789ABCDEF");
  EXPECT_EQ((std::vector<std::string>{"扇区[02]:校验密码[A]成功！",
                                      "扇区[02],块[1]:写卡成功  0123456789abcdef0123456789ABCDEF"}),
            this->WriteLines());
  this->dlg.OnReadCard();
  ASSERT_EQ(80u, this->ReadLines().size());
  EXPECT_EQ("块[1]:0123456789ABCDEF0123456789ABCDEF", this->ReadLines()[12]);
  this->ui.ListSetSel(IDC_READ_LIST, 12);
  this->dlg.OnSelchangeReadList();
  EXPECT_EQ("2", this->ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("1", this->ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", this->ui.GetText(IDC_BLOCK_DATA));
}

TYPED_TEST_P(CardScenarios, ManufacturerBlockRefusesTheWrite) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyA();
  this->Write(0, 0, kZeros);
  EXPECT_EQ((std::vector<std::string>{"扇区[00]:校验密码[A]成功！", "写扇区[00]第[0]块失败！"}),
            this->WriteLines());
  EXPECT_EQ("写扇区[00]第[0]块失败！", this->ui.GetText(IDC_STATUS));
  // The refusal left the card idle, and it is found again unchanged.
  this->dlg.OnFindCard();
  this->dlg.OnReadCard();
  ASSERT_EQ(80u, this->ReadLines().size());
  EXPECT_EQ(0u, this->ReadLines()[1].rfind("块[0]:3A5C7E91", 0)) << this->ReadLines()[1];
}

TYPED_TEST_P(CardScenarios, KeyBFailsWhereTheTransportConfigurationMakesItReadable) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyB();
  EXPECT_EQ("装载B密钥成功", this->ui.GetText(IDC_STATUS));
  this->dlg.OnReadCard();
  ASSERT_EQ(16u, this->ReadLines().size());
  EXPECT_EQ("扇区[00]:校验密码[B]失败！", this->ReadLines()[0]);
  EXPECT_EQ("扇区[15]:校验密码[B]失败！", this->ui.GetText(IDC_STATUS));
  EXPECT_EQ("15", this->ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", this->ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("扇区[15]:校验密码[B]失败！", this->ui.GetText(IDC_BLOCK_DATA));
}

TYPED_TEST_P(CardScenarios, SectorWithAnotherKeyFailsAloneAndTheNewKeyWritesIt) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyA();
  this->Write(1, 3, "A0A1A2A3A4A5FF078069FFFFFFFFFFFF");
  EXPECT_EQ("扇区[01],块[3]:写卡成功  A0A1A2A3A4A5FF078069FFFFFFFFFFFF", this->WriteLines().at(1));

  // The refusal leaves the card idle; it is woken before sector 2.
  this->dlg.OnReadCard();
  ASSERT_EQ(16u + 4 * 15, this->ReadLines().size());
  EXPECT_EQ("扇区[01]:校验密码[A]失败！", this->ReadLines()[5]);
  EXPECT_EQ("扇区[02]:校验密码[A]成功！", this->ReadLines()[6]);
  EXPECT_EQ("块[3]:" + kFactoryTrailer, this->ReadLines()[75]);

  // A write refused for the wrong key, then the right key: no find card between.
  this->Write(1, 1, "11111111111111111111111111111111");
  EXPECT_EQ("扇区[01]:校验密码[A]失败！", this->ui.GetText(IDC_STATUS));
  this->ui.Type(IDC_KEY, "A0A1A2A3A4A5");
  this->dlg.OnLoadKeyA();
  this->Write(1, 1, "11111111111111111111111111111111");
  EXPECT_EQ("扇区[01],块[1]:写卡成功  11111111111111111111111111111111", this->WriteLines().at(1));

  // The first key again: on a reader with one slot per key type, the slot
  // that held it has since taken the other one.
  this->ui.Type(IDC_KEY, "FFFFFFFFFFFF");
  this->dlg.OnLoadKeyA();
  this->Write(2, 1, "22222222222222222222222222222222");
  EXPECT_EQ("扇区[02],块[1]:写卡成功  22222222222222222222222222222222", this->WriteLines().at(1));
}

// Access bits 7F0788: data blocks open to either key, key B unreadable and
// so usable. Readers that name keys by type must get it as key B.
TYPED_TEST_P(CardScenarios, KeyBTheCardKeepsToItselfOpensItsSector) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyA();
  this->Write(6, 3, "FFFFFFFFFFFF7F078869B0B1B2B3B4B5");
  EXPECT_EQ("扇区[06],块[3]:写卡成功  FFFFFFFFFFFF7F078869B0B1B2B3B4B5", this->WriteLines().at(1));

  this->ui.Type(IDC_KEY, "B0B1B2B3B4B5");
  this->dlg.OnLoadKeyB();
  this->Write(6, 2, "66666666666666666666666666666666");
  EXPECT_EQ((std::vector<std::string>{"扇区[06]:校验密码[B]成功！",
                                      "扇区[06],块[2]:写卡成功  66666666666666666666666666666666"}),
            this->WriteLines());
  // Every other sector's key B is readable, hence refused.
  this->dlg.OnReadCard();
  ASSERT_EQ(15u + 5, this->ReadLines().size());
  EXPECT_EQ("扇区[05]:校验密码[B]失败！", this->ReadLines()[5]);
  EXPECT_EQ("扇区[06]:校验密码[B]成功！", this->ReadLines()[6]);
  EXPECT_EQ("块[2]:66666666666666666666666666666666", this->ReadLines()[9]);
  EXPECT_EQ("块[3]:0000000000007F078869000000000000", this->ReadLines()[10]);
  EXPECT_EQ("扇区[07]:校验密码[B]失败！", this->ReadLines()[11]);
}

TYPED_TEST_P(CardScenarios, BlockTheKeyMayNotReadFailsAlone) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyA();
  // Block 0 of sector 5 readable with key B only.
  this->Write(5, 3, "FFFFFFFFFFFFEF069169FFFFFFFFFFFF");
  this->dlg.OnReadCard();
  ASSERT_EQ(80u, this->ReadLines().size());
  EXPECT_EQ("读扇区[05]第[0]块失败！", this->ReadLines()[26]);
  EXPECT_EQ("块[1]:" + kZeros, this->ReadLines()[27]);
  EXPECT_EQ("块[3]:000000000000EF069169FFFFFFFFFFFF", this->ReadLines()[29]);
  EXPECT_EQ("扇区[06]:校验密码[A]成功！", this->ReadLines()[30]);
}

TYPED_TEST_P(CardScenarios, MalformedTrailerNeverReachesTheCard) {
  this->Open("m1");
  this->dlg.OnFindCard();
  this->dlg.OnLoadKeyA();
  this->Write(4, 3, "FFFFFFFFFFFF000000FFFFFFFFFFFFFF");
  EXPECT_EQ("扇区[04]控制位格式错误，写入会永久锁死该扇区", this->ui.GetText(IDC_STATUS));
  this->dlg.OnReadCard();
  ASSERT_EQ(80u, this->ReadLines().size());
  EXPECT_EQ("块[3]:" + kFactoryTrailer, this->ReadLines()[24]);
}

// The window's own commands stay on sectors 0-15, so what lies past them is
// asked of the library directly, with the session's handle and pause.
struct Direct {
  const ReaderSession& r;
  int16_t Load(uint8_t sector, const char* key12) const {
    uint8_t key[6];
    HexBytes(key12, key, 6);
    return r.Call(&ReaderApi::dc_load_key, uint8_t{0}, sector, key);
  }
  int16_t Authenticate(uint8_t sector) const { return r.Call(&ReaderApi::dc_authentication, uint8_t{0}, sector); }
  std::string Read(uint8_t block) const {
    char hex[33] = {};
    const int16_t status = r.Call(&ReaderApi::dc_read_hex, block, hex);
    return status == 0 ? std::string(hex) : "failed " + std::to_string(status);
  }
  int16_t Write(uint8_t block, const std::string& data) const {
    std::string copy = data;
    return r.Call(&ReaderApi::dc_write_hex, block, &copy[0]);
  }
};

// Sector 39 is the 4K card's last 16-block sector: blocks 240-255. A
// library that authenticated it where a 4-block sector 39 would start
// (block 156, in sector 33) would find block 255 out of reach.
TYPED_TEST_P(CardScenarios, FourKCardsSectors32To39TakeTheirOwnBlocksUpTo255) {
  this->Open("4k");
  this->dlg.OnFindCard();
  EXPECT_EQ("0002", this->ui.GetText(IDC_ATQA));
  EXPECT_EQ("18", this->ui.GetText(IDC_SAK));
  const Direct card{this->dlg.Session()};
  ASSERT_EQ(0, card.Load(39, "FFFFFFFFFFFF"));
  ASSERT_EQ(0, card.Authenticate(39));
  EXPECT_EQ(kFactoryTrailer, card.Read(255));
  EXPECT_EQ(kZeros, card.Read(240));
  EXPECT_EQ(0, card.Write(254, "0123456789ABCDEF0123456789ABCDEF"));
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", card.Read(254));
  // A new key A for sector 33 (blocks 144-159): the old one no longer opens it.
  ASSERT_EQ(0, card.Load(33, "FFFFFFFFFFFF"));
  ASSERT_EQ(0, card.Authenticate(33));
  EXPECT_EQ(0, card.Write(159, "A0A1A2A3A4A5FF078069FFFFFFFFFFFF"));
  EXPECT_NE(0, card.Authenticate(33));
  this->dlg.OnFindCard();
  ASSERT_EQ(0, card.Load(33, "A0A1A2A3A4A5"));
  ASSERT_EQ(0, card.Authenticate(33));
  EXPECT_EQ(kFactoryTrailer, card.Read(159));
  EXPECT_EQ(kZeros, card.Read(144));
  // Sector 39 is where it was.
  ASSERT_EQ(0, card.Authenticate(39));
  EXPECT_EQ("0123456789ABCDEF0123456789ABCDEF", card.Read(254));
}

// A Mini card ends at sector 4, block 19: the card refuses what lies past.
TYPED_TEST_P(CardScenarios, MiniCardEndsAtSector4) {
  this->Open("mini");
  this->dlg.OnFindCard();
  EXPECT_EQ("0004", this->ui.GetText(IDC_ATQA));
  EXPECT_EQ("09", this->ui.GetText(IDC_SAK));
  const Direct card{this->dlg.Session()};
  ASSERT_EQ(0, card.Load(4, "FFFFFFFFFFFF"));
  ASSERT_EQ(0, card.Authenticate(4));
  EXPECT_EQ(kFactoryTrailer, card.Read(19));
  EXPECT_EQ(0u, card.Read(20).rfind("failed", 0));
  this->dlg.OnFindCard();
  ASSERT_EQ(0, card.Load(5, "FFFFFFFFFFFF"));
  EXPECT_NE(0, card.Authenticate(5));
}

TYPED_TEST_P(CardScenarios, EmptyFieldFailsAtTheRequest) {
  this->Open("none");
  this->dlg.OnFindCard();
  EXPECT_EQ("dc_request获取ATQA失败", this->ui.GetText(IDC_STATUS));
  this->dlg.OnLoadKeyA();
  EXPECT_EQ("装载A密钥成功", this->ui.GetText(IDC_STATUS));
  // No card was found: the sector commands ask for one and try nothing.
  this->dlg.OnReadCard();
  EXPECT_TRUE(this->ReadLines().empty());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", this->ui.GetText(IDC_STATUS));
  this->dlg.OnWriteCard();
  EXPECT_TRUE(this->WriteLines().empty());
}

TYPED_TEST_P(CardScenarios, AbsentReaderFailsToOpenAndLaterCommandsFailCleanly) {
  this->MakeReaderAbsent();
  this->dlg.OnOpenReader();
  EXPECT_EQ("读卡器打开失败了，自己找找问题哦", this->ui.GetText(IDC_STATUS));
  EXPECT_LE(this->dlg.Session().handle(), 0);
  this->dlg.OnFindCard();
  EXPECT_EQ("dc_reset卡片复位失败", this->ui.GetText(IDC_STATUS));
  this->dlg.OnLoadKeyA();
  EXPECT_EQ("装载第0扇区A密钥失败", this->ui.GetText(IDC_STATUS));
}

REGISTER_TYPED_TEST_SUITE_P(CardScenarios, WrittenBlockReadsBack, ManufacturerBlockRefusesTheWrite,
                            KeyBFailsWhereTheTransportConfigurationMakesItReadable,
                            SectorWithAnotherKeyFailsAloneAndTheNewKeyWritesIt,
                            KeyBTheCardKeepsToItselfOpensItsSector, BlockTheKeyMayNotReadFailsAlone,
                            MalformedTrailerNeverReachesTheCard, FourKCardsSectors32To39TakeTheirOwnBlocksUpTo255,
                            MiniCardEndsAtSector4, EmptyFieldFailsAtTheRequest,
                            AbsentReaderFailsToOpenAndLaterCommandsFailCleanly);
