#include <gtest/gtest.h>

#include "sim/reader.h"

namespace {

using sim::Reader;

const sim::Key kFactoryKey = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

sim::Config CardConfig(const std::string& card) {
  sim::Config config;
  config.card = card;
  return config;
}

void Activate(Reader& reader, int32_t h) {
  uint16_t atqa = 0;
  uint32_t serial = 0;
  uint8_t sak = 0;
  ASSERT_EQ(sim::kOk, reader.Request(h, 0, &atqa));
  ASSERT_EQ(sim::kOk, reader.Anticollision(h, 0, &serial));
  ASSERT_EQ(sim::kOk, reader.Select(h, serial, &sak));
}

TEST(ReaderKeys, AuthenticationUsesTheSlotOfItsModeAndSector) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("m1"));
  ASSERT_GT(h, 0);
  Activate(reader, h);
  // Nothing is sent without a key, so the card stays selected.
  EXPECT_EQ(sim::kNoKey, reader.Authenticate(h, 0, 1));
  ASSERT_EQ(sim::kOk, reader.LoadKey(h, 0, 1, kFactoryKey));
  EXPECT_EQ(sim::kNoKey, reader.Authenticate(h, 1, 1));
  EXPECT_EQ(sim::kNoKey, reader.Authenticate(h, 0, 2));
  EXPECT_EQ(sim::kOk, reader.Authenticate(h, 0, 1));
  ASSERT_EQ(sim::kOk, reader.LoadKey(h, 2, 1, kFactoryKey));
  EXPECT_EQ(sim::kOk, reader.Authenticate(h, 2, 1));
  // Key B slot with the right value, refused by the transport access bits.
  ASSERT_EQ(sim::kOk, reader.LoadKey(h, 4, 1, kFactoryKey));
  EXPECT_EQ(sim::kAuthFailed, reader.Authenticate(h, 4, 1));
}

TEST(ReaderKeys, OnlyModes0To2And4To6AndSectors0To39) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("m1"));
  for (uint8_t mode : {3, 7, 255})
    EXPECT_EQ(sim::kBadArgument, reader.LoadKey(h, mode, 0, kFactoryKey)) << int(mode);
  EXPECT_EQ(sim::kBadArgument, reader.LoadKey(h, 0, 40, kFactoryKey));
  EXPECT_EQ(sim::kBadArgument, reader.Authenticate(h, 3, 0));
  EXPECT_EQ(sim::kOk, reader.LoadKey(h, 6, 39, kFactoryKey));
}

TEST(ReaderOpen, StartsOverWithANewHandleNoKeysAndAnIdleFactoryCard) {
  Reader reader;
  const int32_t first = reader.Open(CardConfig(""));
  ASSERT_GT(first, 0);
  Activate(reader, first);
  ASSERT_EQ(sim::kOk, reader.LoadKey(first, 0, 1, kFactoryKey));
  ASSERT_EQ(sim::kOk, reader.Authenticate(first, 0, 1));
  sim::Block data;
  data.fill(0x5A);
  ASSERT_EQ(sim::kOk, reader.Write(first, 4, data));

  const int32_t second = reader.Open(CardConfig(""));
  ASSERT_GT(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(sim::kBadHandle, reader.Beep(first));
  EXPECT_EQ(sim::Card::State::Idle, reader.card()->state());
  Activate(reader, second);
  EXPECT_EQ(sim::kNoKey, reader.Authenticate(second, 0, 1));
  ASSERT_EQ(sim::kOk, reader.LoadKey(second, 0, 1, kFactoryKey));
  ASSERT_EQ(sim::kOk, reader.Authenticate(second, 0, 1));
  sim::Block out;
  ASSERT_EQ(sim::kOk, reader.Read(second, 4, &out));
  EXPECT_EQ(sim::Block{}, out);
}

TEST(ReaderOpen, AbsentReaderAndBadSettingsCloseTheHandle) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("m1"));
  sim::Config absent;
  absent.reader = "absent";
  EXPECT_EQ(sim::kInitReaderAbsent, reader.Open(absent));
  EXPECT_FALSE(reader.IsOpen(h));
  EXPECT_EQ(sim::kBadHandle, reader.ConfigCard(h, 'A'));

  sim::Config typo;
  typo.reader = "absnet";
  EXPECT_EQ(sim::kInitBadConfiguration, reader.Open(typo));
  EXPECT_EQ(sim::kInitBadConfiguration, reader.Open(CardConfig("m2")));
  EXPECT_EQ(nullptr, reader.card());
}

TEST(ReaderOpen, NoCardInTheField) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("none"));
  ASSERT_GT(h, 0);
  uint16_t atqa = 0;
  EXPECT_EQ(sim::kOk, reader.ConfigCard(h, 'A'));
  EXPECT_EQ(sim::kNoCard, reader.Request(h, 1, &atqa));
  EXPECT_EQ(sim::kOk, reader.Reset(h, 10));
}

TEST(ReaderRats, NotSentToACardWithoutIso14443_4) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("m1"));
  Activate(reader, h);
  std::vector<uint8_t> ats;
  EXPECT_EQ(sim::kNoIso14443_4, reader.Ats(h, &ats));
  EXPECT_TRUE(ats.empty());
  EXPECT_EQ(sim::Card::State::Active, reader.card()->state());
}

TEST(ReaderRats, NeedsASelectedCard) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("cpu"));
  std::vector<uint8_t> ats;
  EXPECT_EQ(sim::kNoCard, reader.Ats(h, &ats));
  Activate(reader, h);
  EXPECT_EQ(sim::kOk, reader.Ats(h, &ats));
  EXPECT_EQ(5u, ats.size());
  ASSERT_EQ(sim::kOk, reader.Reset(h, 10));
  EXPECT_EQ(sim::kNoCard, reader.Ats(h, &ats));
}

TEST(ReaderConfigCard, OnlyTypeA) {
  Reader reader;
  const int32_t h = reader.Open(CardConfig("m1"));
  EXPECT_EQ(sim::kOk, reader.ConfigCard(h, 'A'));
  EXPECT_EQ(sim::kBadArgument, reader.ConfigCard(h, 'B'));
}

}  // namespace
