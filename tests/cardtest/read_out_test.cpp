// The read-out and the key load against the recording fake.
#include "cardtest/read_out.h"
#include "operation_fixture.h"

namespace {

std::string Auth(int sector, int mode = 0) {
  return "dc_authentication(7," + std::to_string(mode) + "," + std::to_string(sector) + ")";
}
std::string Read(int block) { return "dc_read_hex(7," + std::to_string(block) + ")"; }

class ReadOutOperation : public OperationTest {
 protected:
  void Run(int formKeyMode = kKeyModeA) {
    progress.Clear();
    ReadOut(link, progress, formKeyMode).Run("3A5C7E91", image);
  }
  void LoadKey(int keyMode) {
    const uint8_t ff[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    KeyLoad(link, progress).Run(keyMode, ff);
  }
  CardImage image;
};

}  // namespace

TEST_F(ReadOutOperation, EverySectorReadsIntoEightyLinesEachCarryingItsSectorAndBlock) {
  Run();
  std::vector<std::string> expected;
  for (int s = 0; s < 16; ++s) {
    expected.push_back(Auth(s));
    for (int b = 0; b < 4; ++b) expected.push_back(Read(s * 4 + b));
  }
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());

  const std::vector<std::string> lines = progress.ReadTexts();
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", lines[0]);
  EXPECT_EQ("块[0]:" + FakeReader::BlockText(0), lines[1]);
  EXPECT_EQ("扇区[12]:校验密码[A]成功！", lines[60]);
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(50), lines[63]);
  EXPECT_EQ("块[3]:" + FakeReader::BlockText(63), lines[79]);
  EXPECT_EQ(kAuthOk, progress.readLines[60].kind);
  EXPECT_EQ(12, progress.readLines[63].sector);
  EXPECT_EQ(2, progress.readLines[63].block);
  EXPECT_EQ(kBlockLine, progress.readLines[63].kind);
  EXPECT_TRUE(progress.status.empty()) << "a read-out without failures leaves the status as it was";
}

TEST_F(ReadOutOperation, NoSectorAuthenticatesLeavesSixteenFailureLinesWakingTheCardBeforeEach) {
  FindTheCard();
  reader.Fail("dc_authentication");
  Run();
  std::vector<std::string> expected{Auth(0)};
  for (int s = 1; s < 16; ++s) {
    expected.insert(expected.end(), {"dc_request(7,1)", "dc_anticoll(7,0)", "dc_select(7,2440977466)", Auth(s)});
  }
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());

  const std::vector<std::string> lines = progress.ReadTexts();
  ASSERT_EQ(16u, lines.size());
  EXPECT_EQ("扇区[00]:校验密码[A]失败！", lines[0]);
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", lines[15]);
  EXPECT_EQ("扇区[15]:校验密码[A]失败！", progress.status.back());
  // The last line reports sector 15, so a selection of it points there, not
  // at the sector its index would give in a five-line layout.
  EXPECT_EQ(kAuthFailed, progress.readLines[15].kind);
  EXPECT_EQ(15, progress.readLines[15].sector);
  EXPECT_EQ(0, progress.readLines[15].block);
}

TEST_F(ReadOutOperation, AnotherCardOrNoneAnsweringStopsTheReadOut) {
  FindTheCard();
  reader.Fail(Auth(2));
  reader.serial = 0x01020304;
  Run();
  EXPECT_EQ(11u, progress.readLines.size());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", progress.status.back());
  EXPECT_TRUE(reader.CallsOf("dc_select").empty());
  EXPECT_EQ(3u, reader.CallsOf("dc_authentication").size());

  // The card that went idle is still idle: the next command tries again,
  // and an empty field stops it the same way.
  reader.Fail("dc_request");
  Mark();
  progress.Clear();
  char data[33] = "00000000000000000000000000000000";
  EXPECT_FALSE(BlockWrite(link, progress).Run(0, 1, kKeyModeA, data));
  EXPECT_EQ((std::vector<std::string>{"dc_request(7,1)"}), reader.Calls());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", progress.status.back());
  EXPECT_TRUE(progress.writeLines.empty());
}

TEST_F(ReadOutOperation, FailedBlockReadIsReportedAndTheSectorGoesOn) {
  FindTheCard();
  reader.Fail(Read(5));
  Run();
  const std::vector<std::string> lines = progress.ReadTexts();
  ASSERT_EQ(80u, lines.size());
  EXPECT_EQ("读扇区[01]第[1]块失败！", lines[7]);
  EXPECT_EQ("块[2]:" + FakeReader::BlockText(6), lines[8]);
  EXPECT_EQ("读扇区[01]第[1]块失败！", progress.status.back());
  // The sector is authenticated again for the blocks after the refusal.
  EXPECT_EQ(17u, reader.CallsOf("dc_authentication").size());
  EXPECT_EQ(64u, reader.CallsOf("dc_read_hex").size());
}

TEST_F(ReadOutOperation, PartialReadOutHasSixteenPlusFourLinesPerAuthenticatedSector) {
  FindTheCard();
  reader.Fail(Auth(2));
  reader.Fail(Auth(9));
  Run();
  const std::vector<std::string> lines = progress.ReadTexts();
  ASSERT_EQ(16u + 4 * 14, lines.size());
  EXPECT_EQ("扇区[02]:校验密码[A]失败！", lines[10]);
  EXPECT_EQ("扇区[03]:校验密码[A]成功！", lines[11]);
  EXPECT_TRUE(reader.CallsOf("dc_read_hex(7,8)").empty());
  EXPECT_EQ("扇区[09]:校验密码[A]失败！", progress.status.back());
  EXPECT_EQ(15, progress.readLines.back().sector);
  EXPECT_EQ(3, progress.readLines.back().block);
}

TEST_F(ReadOutOperation, KeyLetterFollowsTheKeyMode) {
  LoadKey(kKeyModeB);
  Mark();
  Run(kKeyModeB);
  EXPECT_EQ(Auth(0, 4), reader.Calls().at(0));
  for (const std::string& line : progress.ReadTexts())
    if (line.rfind("扇区", 0) == 0) {
      EXPECT_NE(std::string::npos, line.find("[B]")) << line;
    }
  LoadKey(kKeyModeA);
  Run();
  EXPECT_EQ("扇区[00]:校验密码[A]成功！", progress.readLines.at(0).text);
}

TEST_F(ReadOutOperation, KeyLoadStopsAtTheFailingSectorWithoutBeep) {
  reader.Fail("dc_load_key(7,0,9,");
  LoadKey(kKeyModeA);
  std::vector<std::string> expected;
  for (int s = 0; s < 10; ++s) expected.push_back("dc_load_key(7,0," + std::to_string(s) + ",FFFFFFFFFFFF)");
  EXPECT_EQ(expected, reader.Calls());
  EXPECT_TRUE(reader.PausedAfterEveryCall());
  EXPECT_EQ(std::vector<std::string>{"装载第9扇区A密钥失败"}, progress.status);
}
