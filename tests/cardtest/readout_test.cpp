// The read-out as the window shows it, and read-list selection, against
// the recording fake.
#include "card_test_fixture.h"

namespace {

using ReadCard = CardTest;
using SelectLine = CardTest;

std::string Auth(int sector, int mode = 0) {
  return "dc_authentication(7," + std::to_string(mode) + "," + std::to_string(sector) + ")";
}
std::string Read(int block) { return "dc_read_hex(7," + std::to_string(block) + ")"; }

}  // namespace

TEST_F(ReadCard, ReadOutSelectsItsLastLineAndTheFormTakesItLeavingTheStatus) {
  FindTheCard();
  reader.Fail(Auth(9), 1);
  dlg.OnReadCard();
  EXPECT_EQ(76u, Lines(IDC_READ_LIST).size());
  EXPECT_EQ(75, Selected(IDC_READ_LIST));
  EXPECT_EQ("扇区[09]:校验密码[A]失败！", ui.GetText(IDC_STATUS));
  EXPECT_EQ("15", ui.GetText(IDC_WRITE_SECTOR));
  EXPECT_EQ("3", ui.GetText(IDC_WRITE_BLOCK));
  EXPECT_EQ(FakeReader::BlockText(63), ui.GetText(IDC_BLOCK_DATA));
  dlg.OnReadCard();
  EXPECT_EQ(80u, Lines(IDC_READ_LIST).size());
  EXPECT_EQ("扇区[09]:校验密码[A]失败！", ui.GetText(IDC_STATUS)) << "a clean read-out leaves the status as it was";
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
