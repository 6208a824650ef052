// Block write against the recording fake.
#include "card_test_fixture.h"

namespace {

using WriteCard = CardTest;

const std::string kZeros(32, '0');
// Key A A0..A5, transport access bits FF0780, user byte 69, key B all FF.
const std::string kTrailer = "A0A1A2A3A4A5FF078069FFFFFFFFFFFF";

}  // namespace

TEST_F(WriteCard, DefaultFormWritesZerosIntoSectorZeroBlockOne) {
  dlg.m_strStatus = "before";
  ShowFields();
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{"dc_authentication(7,0,0)", "dc_write_hex(7,1," + kZeros + ")"}),
            reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_EQ((std::vector<std::string>{"扇区[00]:校验密码[A]成功！", "扇区[00],块[1]:写卡成功  " + kZeros}),
            Lines(IDC_WRITE_LIST));
  EXPECT_EQ(1, Selected(IDC_WRITE_LIST));
  EXPECT_EQ("before", ui.GetText(IDC_STATUS));
}

TEST_F(WriteCard, TypedTargetAndDataAreWrittenAsTyped) {
  dlg.OnLoadKeyB();
  ui.Type(IDC_WRITE_SECTOR, "12");
  ui.Type(IDC_WRITE_BLOCK, "2");
  ui.Type(IDC_WRITE_DATA, "0123456789abcdefABCDEF0123456789");
  Mark();
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{"dc_authentication(7,4,12)",
                                      "dc_write_hex(7,50,0123456789abcdefABCDEF0123456789)"}),
            reader.Calls());
  EXPECT_EQ("扇区[12]:校验密码[B]成功！", Lines(IDC_WRITE_LIST).at(0));
  EXPECT_EQ("扇区[12],块[2]:写卡成功  0123456789abcdefABCDEF0123456789", Lines(IDC_WRITE_LIST).at(1));
}

TEST_F(WriteCard, FailedAuthenticationLeavesAnEmptyWriteList) {
  dlg.OnWriteCard();  // leaves two lines
  dlg.m_nKeyMode = kKeyModeB;
  ui.Type(IDC_WRITE_SECTOR, "5");
  reader.Fail("dc_authentication");
  Mark();
  dlg.OnWriteCard();
  EXPECT_EQ(std::vector<std::string>{"dc_authentication(7,4,5)"}, reader.Calls());
  EXPECT_TRUE(Lines(IDC_WRITE_LIST).empty());
  EXPECT_EQ("扇区[05]:校验密码[B]失败！", ui.GetText(IDC_STATUS));
}

TEST_F(WriteCard, FailedWriteListsBothLinesWithTheFirstSelected) {
  reader.Fail("dc_write_hex");
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{"扇区[00]:校验密码[A]成功！", "写扇区[00]第[1]块失败！"}), Lines(IDC_WRITE_LIST));
  EXPECT_EQ(0, Selected(IDC_WRITE_LIST));
  EXPECT_EQ("写扇区[00]第[1]块失败！", ui.GetText(IDC_STATUS));
}

TEST_F(WriteCard, DataThatIsNotThirtyTwoHexDigitsIsNotSent) {
  for (const std::string& data : {std::string(31, '0'), std::string(), std::string(31, '0') + "G",
                                  std::string("0000000000000000 000000000000000")}) {
    SCOPED_TRACE(data);
    dlg.OnWriteCard();  // two lines from a good write
    dlg.m_strWriteData = data;
    ShowFields();
    dlg.OnWriteCard();
    EXPECT_TRUE(reader.log.empty());
    EXPECT_EQ("写入数据必须是32位十六进制数字", ui.GetText(IDC_STATUS));
    EXPECT_TRUE(Lines(IDC_WRITE_LIST).empty());
    dlg.m_strWriteData = kZeros;
    dlg.UpdateData(false);
  }
}

TEST_F(WriteCard, TrailerWithWellFormedAccessBitsIsWritten) {
  ui.Type(IDC_WRITE_SECTOR, "15");
  ui.Type(IDC_WRITE_BLOCK, "3");
  ui.Type(IDC_WRITE_DATA, kTrailer);
  dlg.OnWriteCard();
  EXPECT_EQ("dc_write_hex(7,63," + kTrailer + ")", reader.Calls().at(1));
  EXPECT_EQ("扇区[15],块[3]:写卡成功  " + kTrailer, Lines(IDC_WRITE_LIST).at(1));
}

TEST_F(WriteCard, TrailerThatWouldLockTheSectorIsRefused) {
  dlg.OnWriteCard();
  ui.Type(IDC_WRITE_SECTOR, "4");
  ui.Type(IDC_WRITE_BLOCK, "3");
  ui.Type(IDC_WRITE_DATA, "A0A1A2A3A4A5FF078869FFFFFFFFFFFF");
  Mark();
  dlg.OnWriteCard();
  EXPECT_TRUE(reader.log.empty());
  EXPECT_EQ("扇区[04]控制位格式错误，写入会永久锁死该扇区", ui.GetText(IDC_STATUS));
  EXPECT_TRUE(Lines(IDC_WRITE_LIST).empty());
  // The same bytes into a data block are just data.
  ui.Type(IDC_WRITE_BLOCK, "2");
  dlg.OnWriteCard();
  EXPECT_EQ("dc_write_hex(7,18,A0A1A2A3A4A5FF078869FFFFFFFFFFFF)", reader.Calls().at(1));
}

TEST_F(WriteCard, AfterAReadOutTheTargetIsTheLastTrailer) {
  dlg.OnReadCard();
  Mark();
  dlg.OnWriteCard();  // 32 zeros: access bytes 00 00 00 would lock sector 15
  EXPECT_TRUE(reader.log.empty());
  EXPECT_EQ("扇区[15]控制位格式错误，写入会永久锁死该扇区", ui.GetText(IDC_STATUS));
  ui.Type(IDC_WRITE_DATA, kTrailer);
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{"dc_authentication(7,0,15)", "dc_write_hex(7,63," + kTrailer + ")"}),
            reader.Calls());
}

TEST_F(WriteCard, FailedCollectStopsBeforeAnythingHappens) {
  dlg.OnWriteCard();
  for (const char* sector : {"16", "-1", "one"}) {
    SCOPED_TRACE(sector);
    ui.Type(IDC_WRITE_SECTOR, sector);
    ui.Type(IDC_WRITE_DATA, "typed");
    Mark();
    dlg.OnWriteCard();
    EXPECT_TRUE(reader.log.empty());
    EXPECT_EQ("typed", ui.GetText(IDC_WRITE_DATA));
    EXPECT_EQ(2u, Lines(IDC_WRITE_LIST).size());
    EXPECT_EQ(sector, ui.GetText(IDC_WRITE_SECTOR));
    EXPECT_EQ("typed", ui.GetText(IDC_WRITE_DATA));
    EXPECT_EQ(IDC_WRITE_SECTOR, ui.Focus());
  }
}

TEST_F(WriteCard, Block0WithAWrongBccNeverReachesTheCard) {
  dlg.OnWriteCard();  // two lines from a good write
  ui.Type(IDC_WRITE_BLOCK, "0");
  // UID 4D 1F 62 A8 has BCC 98; one bit off in any of the five bytes.
  for (const char* data : {"4D1F62A899080400C1C2C3C4C5C6C7C8", "4C1F62A898080400C1C2C3C4C5C6C7C8",
                           "4d1f62a800080400c1c2c3c4c5c6c7c8"}) {
    SCOPED_TRACE(data);
    ui.Type(IDC_WRITE_DATA, data);
    Mark();
    dlg.OnWriteCard();
    EXPECT_TRUE(reader.log.empty());
    EXPECT_EQ("扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡", ui.GetText(IDC_STATUS));
    EXPECT_TRUE(Lines(IDC_WRITE_LIST).empty());
  }
}

TEST_F(WriteCard, Block0WithTheRightBccAndOtherBlocksWithAnyBytesAreSent) {
  const std::string block0 = "4d1f62A898080400C1C2C3C4C5C6C7C8";
  const std::string wrongBcc = "4D1F62A899080400C1C2C3C4C5C6C7C8";
  ui.Type(IDC_WRITE_BLOCK, "0");
  ui.Type(IDC_WRITE_DATA, block0);
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{"dc_authentication(7,0,0)", "dc_write_hex(7,0," + block0 + ")"}),
            reader.Calls());
  EXPECT_EQ("扇区[00],块[0]:写卡成功  " + block0, Lines(IDC_WRITE_LIST).at(1));
  // Block 0 of any other sector, and block 1 of sector 0, hold plain data.
  struct Target {
    const char *sector, *block, *address;
  };
  for (const Target& t : {Target{"1", "0", "4"}, Target{"0", "1", "1"}}) {
    ui.Type(IDC_WRITE_SECTOR, t.sector);
    ui.Type(IDC_WRITE_BLOCK, t.block);
    ui.Type(IDC_WRITE_DATA, wrongBcc);
    Mark();
    dlg.OnWriteCard();
    ASSERT_EQ(2u, reader.Calls().size());
    EXPECT_EQ(std::string("dc_write_hex(7,") + t.address + "," + wrongBcc + ")", reader.Calls()[1]);
  }
}
