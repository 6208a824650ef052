// Reading what readers say about a card: GET DATA answers, the PN53x's
// InListPassiveTarget answer, and the ATR PC/SC builds.
#include <gtest/gtest.h>

#include "pcsc/identity.h"

using pcsc::Bytes;

TEST(GetData, AtqaLowByteFirstAndSakOneByteNothingElse) {
  EXPECT_EQ(0x0004, pcsc::AtqaFromGetData({0x04, 0x00}));
  EXPECT_EQ(0x0344, pcsc::AtqaFromGetData({0x44, 0x03}));
  EXPECT_EQ(std::nullopt, pcsc::AtqaFromGetData({0x04}));
  EXPECT_EQ(std::nullopt, pcsc::AtqaFromGetData({0x04, 0x00, 0x00}));
  EXPECT_EQ(0x28, pcsc::SakFromGetData({0x28}));
  EXPECT_EQ(std::nullopt, pcsc::SakFromGetData({}));
  EXPECT_EQ(std::nullopt, pcsc::SakFromGetData({0x08, 0x00}));
}

TEST(GetData, AtsOnlyWhenItsLengthByteCountsItExactly) {
  EXPECT_TRUE(pcsc::WellFormedAts({0x05, 0x78, 0x80, 0x70, 0x02}));
  // Historical bytes only, as some readers give for P1 01.
  EXPECT_FALSE(pcsc::WellFormedAts({0x80, 0x70, 0x02}));
  EXPECT_FALSE(pcsc::WellFormedAts({0x06, 0x78, 0x80, 0x70, 0x02}));
  // A length byte short of the answer: what follows it would be shown as
  // part of an ATS the card never sent.
  EXPECT_FALSE(pcsc::WellFormedAts({0x03, 0x78, 0x80, 0x70, 0x02}));
  EXPECT_FALSE(pcsc::WellFormedAts({0x00, 0x31, 0xC1}));
  EXPECT_FALSE(pcsc::WellFormedAts({}));
}

TEST(GetData, UidOfFourSevenOrTenBytes) {
  EXPECT_TRUE(pcsc::ValidUid(Bytes(4)));
  EXPECT_TRUE(pcsc::ValidUid(Bytes(7)));
  EXPECT_TRUE(pcsc::ValidUid(Bytes(10)));
  EXPECT_FALSE(pcsc::ValidUid(Bytes(0)));
  EXPECT_FALSE(pcsc::ValidUid(Bytes(5)));
  EXPECT_FALSE(pcsc::ValidUid(Bytes(11)));
}

TEST(InListPassiveTarget, MifareTargetWithoutAts) {
  const auto target = pcsc::ParseInListPassiveTarget(
      {0xD5, 0x4B, 0x01, 0x01, 0x00, 0x04, 0x08, 0x04, 0x3A, 0x5C, 0x7E, 0x91});
  ASSERT_TRUE(target);
  EXPECT_EQ(0x0004, target->atqa);  // SENS_RES high byte first
  EXPECT_EQ(0x08, target->sak);
  EXPECT_EQ((Bytes{0x3A, 0x5C, 0x7E, 0x91}), target->uid);
  EXPECT_FALSE(target->ats);
}

TEST(InListPassiveTarget, Iso14443_4TargetWithSevenByteUidAndAts) {
  const auto target = pcsc::ParseInListPassiveTarget(
      {0xD5, 0x4B, 0x01, 0x01, 0x03, 0x44, 0x20, 0x07, 1, 2, 3, 4, 5, 6, 7,
       0x06, 0x77, 0x77, 0x71, 0x02, 0x80});
  ASSERT_TRUE(target);
  EXPECT_EQ(0x0344, target->atqa);
  EXPECT_EQ(7u, target->uid.size());
  EXPECT_EQ((Bytes{0x06, 0x77, 0x77, 0x71, 0x02, 0x80}), target->ats);
}

TEST(InListPassiveTarget, AnythingNotExactlyOneWholeTargetIsRefused) {
  const Bytes good = {0xD5, 0x4B, 0x01, 0x01, 0x00, 0x04, 0x08, 0x04, 0x3A, 0x5C, 0x7E, 0x91};
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget({0xD5, 0x4B, 0x00}));  // no target
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget({0xD5, 0x4B}));
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget({}));
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(pcsc::ParseInListPassiveTarget(Bytes(good.begin(), good.begin() + cut))) << cut;
  const Bytes longer = {0xD5, 0x4B, 0x01, 0x01, 0x00, 0x04, 0x08, 0x04, 0x3A, 0x5C, 0x7E, 0x91, 0x00};
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget(longer));
  Bytes wrongCode = good;
  wrongCode[1] = 0x4A;
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget(wrongCode));
  Bytes oddUid = good;
  oddUid[7] = 0x05;  // a 5-byte UID does not exist
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget(oddUid));
  // SAK says ISO 14443-4, and the ATS's length byte runs past the answer.
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget(
      {0xD5, 0x4B, 0x01, 0x01, 0x00, 0x04, 0x28, 0x04, 1, 2, 3, 4, 0x09, 0x77, 0x77}));
  EXPECT_FALSE(pcsc::ParseInListPassiveTarget(
      {0xD5, 0x4B, 0x01, 0x01, 0x00, 0x04, 0x28, 0x04, 1, 2, 3, 4, 0x00}));
}

namespace {

Bytes StorageAtr(uint8_t name0, uint8_t name1) {
  Bytes atr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
               0x03, 0x06, 0x03, name0, name1, 0x00, 0x00, 0x00, 0x00};
  uint8_t check = 0;
  for (size_t i = 1; i < atr.size(); ++i) check ^= atr[i];
  atr.push_back(check);
  return atr;
}

}  // namespace

TEST(DeriveFromAtr, StorageCardsByTheirPcscName) {
  auto d = pcsc::DeriveFromAtr(StorageAtr(0x00, 0x01));
  ASSERT_TRUE(d);
  EXPECT_EQ(0x0004, d->atqa);
  EXPECT_EQ(0x08, d->sak);
  d = pcsc::DeriveFromAtr(StorageAtr(0x00, 0x02));
  ASSERT_TRUE(d);
  EXPECT_EQ(0x0002, d->atqa);
  EXPECT_EQ(0x18, d->sak);
  d = pcsc::DeriveFromAtr(StorageAtr(0x00, 0x26));
  ASSERT_TRUE(d);
  EXPECT_EQ(0x0004, d->atqa);
  EXPECT_EQ(0x09, d->sak);
  // MIFARE Ultralight and the like are not cards this program tests.
  EXPECT_FALSE(pcsc::DeriveFromAtr(StorageAtr(0x00, 0x03)));
}

TEST(DeriveFromAtr, Iso14443_4AtrGivesSak20AndNoAtqa) {
  const auto d = pcsc::DeriveFromAtr({0x3B, 0x81, 0x80, 0x01, 0x80, 0x80});
  ASSERT_TRUE(d);
  EXPECT_EQ(0x0000, d->atqa);
  EXPECT_EQ(0x20, d->sak);
}

TEST(DeriveFromAtr, ContactCardsAndBrokenAtrsAreNotIdentified) {
  // A contact card's ATR (T=0, no TD bytes) in a dual reader's other slot.
  EXPECT_FALSE(pcsc::DeriveFromAtr({0x3B, 0x65, 0x00, 0x00, 0x9C, 0x11, 0x01, 0x01, 0x03}));
  EXPECT_FALSE(pcsc::DeriveFromAtr({}));
  EXPECT_FALSE(pcsc::DeriveFromAtr({0x3B}));
  Bytes cut = StorageAtr(0x00, 0x01);
  cut.resize(12);
  EXPECT_FALSE(pcsc::DeriveFromAtr(cut));
  EXPECT_FALSE(pcsc::DeriveFromAtr({0x3B, 0x8F}));  // TD1 announced, missing
}
