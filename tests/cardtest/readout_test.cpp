// Sector read-out and read-list selection against the recording fake.
#include "card_test_fixture.h"

namespace {

using ReadCard = CardTest;
using SelectLine = CardTest;

std::string Auth(int sector, int mode = 0) {
  return "dc_authentication(7," + std::to_string(mode) + "," + std::to_string(sector) + ")";
}
std::string Read(int block) { return "dc_read_hex(7," + std::to_string(block) + ")"; }

}  // namespace

TEST_F(ReadCard, EverySectorReadsIntoEightyLinesAndSelectsTheLastBlock) {
  dlg.m_strStatus = "before";
  ShowFields();
  dlg.OnReadCard();

  std::vector<std::string> expected;
  for (int s = 0; s < 16; ++s) {
    expected.push_back(Auth(s));
    for (int b = 0; b < 4; ++b) expected.push_back(Read(s * 4 + b));
  }
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());

  const auto& lines = Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", lines[0]);
  EXPECT_EQ("块[0]:" + FakeReader::BlockText(0), lines[1]);
  EXPECT_EQ("扇区[12]:校验密码[A]成功！", lines[60]);
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(50), lines[63]);
  EXPECT_EQ("块[3]:" + FakeReader::BlockText(63), lines[79]);
  EXPECT_EQ(79, Selected(IDC_READ_LIST));

  EXPECT_EQ("before", ui.GetText(IDC_STATUS));
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(FakeReader::BlockText(63), ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(ReadCard, NoSectorAuthenticatesLeavesSixteenFailureLinesWakingTheCardBeforeEach) {
  FindTheCard();
  reader.Fail("dc_authentication");
  dlg.OnReadCard();
  std::vector<std::string> expected{Auth(0)};
  for (int s = 1; s < 16; ++s) {
    expected.insert(expected.end(), {"dc_request(7,1)", "dc_anticoll(7,0)", "dc_select(7,2440977466)", Auth(s)});
  }
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());

  const auto& lines = Lines(IDC_READ_LIST);
  ASSERT_EQ(16u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]失败！", lines[0]);
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", lines[15]);
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", ui.GetText(IDC_STATUS));
  // The last line reports sector 15, so the selection points there, not at
  // the sector its index would give in a five-line layout.
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(ReadCard, AnotherCardOrNoneAnsweringStopsTheReadOut) {
  FindTheCard();
  reader.Fail(Auth(2));
  reader.serial = 0x01020304;
  dlg.OnReadCard();
  EXPECT_EQ(11u, Lines(IDC_READ_LIST).size());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", ui.GetText(IDC_STATUS));
  EXPECT_TRUE(reader.CallsOf("dc_select").empty());
  EXPECT_EQ(3u, reader.CallsOf("dc_authentication").size());

  // The card that went idle is still idle: the next command tries again,
  // and an empty field stops it the same way.
  reader.Fail("dc_request");
  Mark();
  dlg.OnWriteCard();
  EXPECT_EQ((std::vector<std::string>{"dc_request(7,1)"}), reader.Calls());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", ui.GetText(IDC_STATUS));
}

TEST_F(ReadCard, FailedBlockReadIsReportedAndTheSectorGoesOn) {
  FindTheCard();
  reader.Fail(Read(5));
  dlg.OnReadCard();
  const auto& lines = Lines(IDC_READ_LIST);
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("读扇区[01]第[1]块失败！", lines[7]);
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(6), lines[8]);
  EXPECT_EQ("读扇区[01]第[1]块失败！", ui.GetText(IDC_STATUS));
  // The sector is authenticated again for the blocks after the refusal.
  EXPECT_EQ(17u, reader.CallsOf("dc_authentication").size());
  EXPECT_EQ(64u, reader.CallsOf("dc_read_hex").size());
}

TEST_F(ReadCard, PartialReadOutHasSixteenPlusFourLinesPerAuthenticatedSector) {
  FindTheCard();
  reader.Fail(Auth(2));
  reader.Fail(Auth(9));
  dlg.OnReadCard();
  const auto& lines = Lines(IDC_READ_LIST);
  ASSERT_EQ(16u + 4 * 14, lines.size());
  EXPECT_EQ("扇区[02]:校验密码[A]失败！", lines[10]);
  EXPECT_EQ("扇区[03]:校验密码[A]成功！", lines[11]);
  EXPECT_TRUE(reader.CallsOf("dc_read_hex(7,8)").empty());
  EXPECT_EQ("扇区[09]:校验密码[A]失败！", ui.GetText(IDC_STATUS));
  EXPECT_EQ(71, Selected(IDC_READ_LIST));
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));
}

TEST_F(ReadCard, KeyLetterFollowsTheKeyMode) {
  dlg.OnLoadKeyB();
  Mark();
  dlg.OnReadCard();
  EXPECT_EQ(Auth(0, 4), reader.Calls().at(0));
  for (const std::string& line : Lines(IDC_READ_LIST))
    if (line.rfind("扇区", 0) == 0) {
      EXPECT_NE(std::string::npos, line.find("[B]")) << line;
    }
  dlg.OnLoadKeyA();
  dlg.OnReadCard();
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", Lines(IDC_READ_LIST).at(0));
}

TEST_F(ReadCard, EachReadOutStartsWithAnEmptyList) {
  dlg.OnReadCard();
  dlg.OnReadCard();
  EXPECT_EQ(80u, Lines(IDC_READ_LIST).size());
}

TEST_F(ReadCard, FinalSelectionIsSkippedWhenTheFormDoesNotCollect) {
  ui.Type(IDC_WRITE_BLOCK, "4");
  ui.Type(IDC_WRITE_DATA, "typed");
  dlg.OnReadCard();
  EXPECT_EQ(80u, Lines(IDC_READ_LIST).size());
  EXPECT_EQ("typed", ui.GetText(IDC_WRITE_DATA));
  EXPECT_EQ(1u, ui.MessageBoxes().size());
  EXPECT_EQ("4", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("typed", ui.GetText(IDC_WRITE_DATA));
  EXPECT_EQ("", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(SelectLine, AuthenticationLineTakesBlockZeroWithTheNextLinesData) {
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, 15);
  Mark();
  dlg.OnSelchangeReadList();
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(FakeReader::BlockText(12), ui.GetText(IDC_BLOCK_DATA));
  EXPECT_TRUE(reader.log.empty());
}

TEST_F(SelectLine, BlockLineTakesItsBlockAndItsLastThirtyTwoCharacters) {
  reader.blocks[22] = "00112233445566778899aabbccddeeff";
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, 28);  // sector 5, block 2
  dlg.OnSelchangeReadList();
  EXPECT_EQ("5", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("2", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("00112233445566778899aabbccddeeff", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(SelectLine, ReadFailureLineTakesTheWholeMessage) {
  reader.Fail(Read(41));
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, 52);
  dlg.OnSelchangeReadList();
  EXPECT_EQ("10", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("1", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("读扇区[10]第[1]块失败！", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(SelectLine, AuthenticationLineWhoseFirstBlockFailedTakesThatMessage) {
  reader.Fail(Read(12));
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, 15);
  dlg.OnSelchangeReadList();
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("0", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ("读扇区[03]第[0]块失败！", ui.GetText(IDC_BLOCK_DATA));
}

TEST_F(SelectLine, LinesAfterAFailedSectorReportTheirOwnPosition) {
  FindTheCard();
  reader.Fail(Auth(0));
  dlg.OnReadCard();
  // Line 1 is sector 1's authentication, line 5 its block 3, line 6 sector
  // 2's authentication: five-line arithmetic would say 0/0, 1/-1->0, 1/0.
  struct Case {
    int index;
    const char* sector;
    const char* block;
    std::string data;
  } cases[] = {{0, "0", "0", "扇区[00]:校验密码[A]失败！"},
               {1, "1", "0", FakeReader::BlockText(4)},
               {5, "1", "3", FakeReader::BlockText(7)},
               {6, "2", "0", FakeReader::BlockText(8)},
               {9, "2", "2", FakeReader::BlockText(10)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    ui.ListSetSel(IDC_READ_LIST, c.index);
    dlg.OnSelchangeReadList();
    EXPECT_EQ(c.sector, ui.GetText(IDC_WRITE_SECTOR));
    EXPECT_EQ(c.block, ui.GetText(IDC_WRITE_BLOCK));
    EXPECT_EQ(c.data, ui.GetText(IDC_BLOCK_DATA));
  }
}

TEST_F(SelectLine, NothingSelectedDoesNothing) {
  ui.Type(IDC_WRITE_SECTOR, "16");  // would fail a collect
  dlg.OnSelchangeReadList();
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, -1);
  ui.Type(IDC_WRITE_SECTOR, "7");
  Mark();
  size_t boxes = ui.MessageBoxes().size();
  dlg.OnSelchangeReadList();
  EXPECT_EQ(boxes, ui.MessageBoxes().size());
  EXPECT_EQ("7", ui.GetText(IDC_WRITE_SECTOR));
}

TEST_F(SelectLine, FailedCollectLeavesWhatTheUserTyped) {
  dlg.OnReadCard();
  ui.ListSetSel(IDC_READ_LIST, 3);
  ui.Type(IDC_WRITE_SECTOR, "x");
  ui.Type(IDC_WRITE_DATA, "typed");
  Mark();
  dlg.OnSelchangeReadList();
  EXPECT_EQ("x", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("typed", ui.GetText(IDC_WRITE_DATA));
  EXPECT_EQ("typed", ui.GetText(IDC_WRITE_DATA));
  EXPECT_EQ(FakeReader::BlockText(63), ui.GetText(IDC_BLOCK_DATA));
}
