// The dump write on its own, against the recording fake.
#include "cardtest/dump_write_run.h"
#include "cards/dump_reader.h"
#include "operation_fixture.h"

namespace {

class DumpWriteOperation : public OperationTest {
 protected:
  // Found, as find card leaves it: selected, awake.
  void SetUp() override { link.Selected(reader.serial, reader.sak); }
};

}  // namespace

TEST_F(DumpWriteOperation, DumpBlockThatReadsBackOtherwiseIsNotWrittenAndItsSectorKeepsItsTrailer) {
  // The fake takes every write and keeps none: read back, each block still
  // holds its address.
  reader.blocks[7] = "000000000000FF078069FFFFFFFFFFFF";
  std::string mct = "+Sector: 1\n";
  for (int b = 0; b < 3; ++b) mct += std::string(32, 'A') + "\n";
  CardImage dump;
  std::string problem;
  ASSERT_TRUE(ParseCardDump(mct + "A0A1A2A3A4A5FF078069B0B1B2B3B4B5\n", &dump, &problem)) << problem;
  DumpWriteRun run(link, progress, dump, nullptr, nullptr);
  ASSERT_TRUE(run.Survey());
  EXPECT_TRUE(run.Warnings().empty());
  run.Write(false);
  EXPECT_EQ("写入完成：0/4 个块已写入，4 个块被拒绝", progress.status.back());
  EXPECT_EQ("扇区[01],块[0]:读回的数据与写入的不同  " + FakeReader::BlockText(4), progress.writeLines.at(1));
  EXPECT_EQ(3u, reader.CallsOf("dc_write_hex").size()) << "no trailer over data not written";
}
