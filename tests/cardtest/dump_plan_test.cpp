// What is decided before a dump is written: the keys tried on a sector,
// and which blocks a dump lets the command write.
#include <gtest/gtest.h>

#include "cardtest/dump_plan.h"
#include "cards/dump_reader.h"

namespace {

const Key kFound = 0x111111111111, kFoundB = 0x222222222222, kTyped = 0x333333333333;
const Key kDumpA = 0x444444444444, kDumpB = 0x555555555555;

}  // namespace

TEST(DumpPlan, KeysTriedAreTheCardsFirstThenTypedThenTheDumpsThenTheDefaultsEachOnce) {
  CardImage found, dump;
  found.keyA[3] = kFound;
  found.keyAKnown[3] = true;
  found.keyB[3] = kFoundB;
  found.keyBKnown[3] = true;
  dump.keyA[3] = kDumpA;
  dump.keyAKnown[3] = true;
  dump.keyB[3] = kDumpB;
  dump.keyBKnown[3] = true;
  const std::vector<Key> order = SectorKeyOrder(&found, 3, &kTyped, dump);
  ASSERT_EQ(5 + BuiltInKeys().size(), order.size());
  EXPECT_EQ((std::vector<Key>{kFound, kFoundB, kTyped, kDumpA, kDumpB}), std::vector<Key>(order.begin(), order.begin() + 5));
  EXPECT_EQ(BuiltInKeys().front(), order[5]);

  // Another sector's knowledge is not this one's; a default the dump also
  // holds is tried once, where the dump puts it.
  dump.keyA[4] = BuiltInKeys()[1];
  dump.keyAKnown[4] = true;
  const std::vector<Key> other = SectorKeyOrder(nullptr, 4, nullptr, dump);
  EXPECT_EQ(BuiltInKeys().size(), other.size());
  EXPECT_EQ(BuiltInKeys()[1], other[0]);
}

TEST(DumpPlan, MctDashesLeaveOutWhatTheDumpDoesNotKnowAndRawGivesItsTrailersKeys) {
  std::string mct = "# a comment\n+Sector: 1\n";
  mct += "000102030405060708090A0B0C0D0E0F\n" + std::string(32, '-') + "\n" + std::string(32, '0') + "\n";
  mct += "------------FF078069B0B1B2B3B4B5\r\n+Sector: 2\n";
  for (int b = 0; b < 3; ++b) mct += std::string(32, '0') + "\n";
  mct += "A0A1A2A3A4A5778788697F078869B0B1\n";
  CardImage dump;
  std::string problem;
  ASSERT_TRUE(ParseCardDump(mct, &dump, &problem)) << problem;
  // Sector 1's trailer would give the card zeros for key A: not written.
  // Sector 2's access bits (trailer 111) can never be changed again.
  EXPECT_EQ((std::vector<int>{4, 6}), SectorWriteOrder(dump, 1, false));
  EXPECT_EQ((std::vector<int>{8, 9, 10, 11}), SectorWriteOrder(dump, 2, false));
  const DumpCheck check = CheckDump(dump);
  EXPECT_EQ(6, check.blocks);
  EXPECT_EQ((std::vector<int>{2}), check.lockedForGood);
  EXPECT_EQ((std::vector<int>{0, 3, 4}), check.skipped) << "sectors 1 and 2 fit a Mini card";
  EXPECT_EQ(0x0F, dump.blocks[4][15]);

  std::string raw(1024, '\0');
  raw.replace(7 * 16, 16, "\xA0\xA1\xA2\xA3\xA4\xA5\xFF\x07\x80\x69\xB0\xB1\xB2\xB3\xB4\xB5", 16);
  ASSERT_TRUE(ParseCardDump(raw, &dump, &problem)) << problem;
  EXPECT_EQ(0xA0A1A2A3A4A5u, dump.keyA[1]);
  EXPECT_EQ(0xB0B1B2B3B4B5u, dump.keyB[1]);
  // Block 0 of zeros has a right BCC; the trailers of zeros other than
  // sector 1's have access bits whose copies disagree.
  EXPECT_EQ(15u, CheckDump(dump).malformedTrailers.size());
  EXPECT_EQ(63, CheckDump(dump).blocks);
}

TEST(DumpPlan, LockedForGoodIsWhereNoKeyMayWriteTheAccessBitsAndAnUnknownKeyBKeepsTheTrailer) {
  // Trailer settings 000, 100, 101 and 110 in sectors 1 to 4; sector 5's key B unknown.
  const char* trailers[] = {"FF0F00", "F78F00", "F78780", "778F08"};
  std::string mct;
  for (int s = 1; s <= 5; ++s) {
    mct += "+Sector: " + std::to_string(s) + "\n";
    for (int b = 0; b < 3; ++b) mct += std::string(32, '0') + "\n";
    mct += s == 5 ? "FFFFFFFFFFFFFF078069------------\n" : "FFFFFFFFFFFF" + std::string(trailers[s - 1]) + "69FFFFFFFFFFFF\n";
  }
  CardImage dump;
  std::string problem;
  ASSERT_TRUE(ParseCardDump(mct, &dump, &problem)) << problem;
  EXPECT_EQ((std::vector<int>{1, 2, 4}), CheckDump(dump).lockedForGood);
  EXPECT_EQ((std::vector<int>{20, 21, 22}), SectorWriteOrder(dump, 5, false)) << "key B would become zeros";
}
