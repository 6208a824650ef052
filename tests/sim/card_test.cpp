#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cards/access.h"
#include "sim/card.h"
#include "dcrf32/hex.h"

namespace {

using sim::Block;
using sim::Card;
using sim::Key;
using sim::KeyKind;
using State = sim::Card::State;
using Reply = sim::Card::Reply;

const Key kFactoryKey = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const Key kKeyA = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
const Key kKeyB = {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5};

const Block kData = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                     0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

std::string Hex(const Block& b) { return dcrf32::ToHex(b.data(), b.size()); }

Block BlockOf(const std::string& hex) {
  Block b{};
  EXPECT_TRUE(dcrf32::ParseHexExact(hex.c_str(), b.data(), b.size())) << hex;
  return b;
}

Block Trailer(const Key& a, const sim::AccessConditions& conditions, const Key& b,
              uint8_t byte9 = 0x69) {
  Block t{};
  std::copy(a.begin(), a.end(), t.begin());
  EncodeAccessBits(conditions.data(), t.data() + 6);
  t[9] = byte9;
  std::copy(b.begin(), b.end(), t.begin() + 10);
  return t;
}

void Put(sim::Memory& m, int block, const Block& data) {
  std::copy(data.begin(), data.end(), m.begin() + block * sim::kBlockSize);
}

Block At(const sim::Memory& m, int block) {
  Block b;
  std::copy_n(m.begin() + block * sim::kBlockSize, sim::kBlockSize, b.begin());
  return b;
}

Card FactoryCard(sim::Preset preset = sim::Preset::M1) {
  const auto profile = sim::PresetProfile(preset);
  return Card(profile, sim::FactoryImage(profile));
}

// An M1 card whose sector 1 uses the given access conditions and the keys
// kKeyA / kKeyB; every other sector is as from the factory.
Card CardWithSector1(const sim::AccessConditions& conditions) {
  const auto profile = sim::PresetProfile(sim::Preset::M1);
  sim::Memory memory = sim::FactoryImage(profile);
  Put(memory, 4, BlockOf("0102030405060708090A0B0C0D0E0F10"));
  Put(memory, 7, Trailer(kKeyA, conditions, kKeyB));
  return Card(profile, memory);
}

void Activate(Card& card) {
  ASSERT_TRUE(card.Request(false).has_value());
  const auto uid = card.Anticollision();
  ASSERT_TRUE(uid.has_value());
  ASSERT_TRUE(card.Select(*uid).has_value());
  ASSERT_EQ(State::Active, card.state());
}

void ActivateAndAuthenticate(Card& card, KeyKind kind, int sector, const Key& key) {
  Activate(card);
  ASSERT_EQ(Reply::Ok, card.Authenticate(kind, sector, key));
}

// ---------------------------------------------------------------- identity

TEST(CardIdentity, PresetsAnswerWithTheirValues) {
  struct Expected {
    sim::Preset preset;
    uint16_t atqa;
    sim::Uid uid;
    uint8_t sak;
    std::string ats;
  };
  const Expected cases[] = {
      {sim::Preset::M1, 0x0004, {0x3A, 0x5C, 0x7E, 0x91}, 0x08, ""},
      {sim::Preset::Cpu, 0x0008, {0x08, 0x6B, 0x2F, 0x14}, 0x20, "0578807002"},
      {sim::Preset::Composite, 0x0004, {0x5E, 0x21, 0x9C, 0x07}, 0x28, "067777710280"},
      {sim::Preset::Mini, 0x0004, {0x6E, 0x09, 0x3B, 0xD4}, 0x09, ""},
      {sim::Preset::Classic4K, 0x0002, {0x2B, 0x84, 0xC5, 0x17}, 0x18, ""},
  };
  for (const Expected& e : cases) {
    Card card = FactoryCard(e.preset);
    EXPECT_EQ(e.atqa, card.Request(false).value_or(0));
    EXPECT_EQ(e.uid, card.Anticollision().value_or(sim::Uid{}));
    EXPECT_EQ(e.sak, card.Select(e.uid).value_or(0));
    const auto ats = card.Rats();
    EXPECT_EQ(e.ats, ats ? dcrf32::ToHex(ats->data(), ats->size()) : "");
  }
}

TEST(CardIdentity, FactoryImageBlock0AndTrailersAtEverySize) {
  // UID, BCC (XOR of the UID), SAK, ATQA low byte first; the memory of the
  // card's size, trailers where its layout has them.
  const struct {
    sim::Preset preset;
    const char* block0;
    size_t bytes;
    std::vector<int> trailers;  // a few, the last one last
  } expected[] = {
      {sim::Preset::Composite, "5E219C07E4280400", 1024, {3, 7, 63}},
      {sim::Preset::Mini, "6E093BD488090400", 320, {3, 15, 19}},
      {sim::Preset::Classic4K, "2B84C5177D180200", 4096, {3, 127, 143, 159, 239, 255}},
  };
  for (const auto& e : expected) {
    const auto profile = sim::PresetProfile(e.preset);
    const auto memory = sim::FactoryImage(profile);
    const Layout layout = LayoutOf(profile.size);
    ASSERT_EQ(e.bytes, memory.size());
    EXPECT_EQ(e.block0, Hex(At(memory, 0)).substr(0, 16));
    std::vector<int> trailers;
    for (int block = 1; block < layout.blocks; ++block) {
      const bool trailer = Hex(At(memory, block)) == "FFFFFFFFFFFFFF078069FFFFFFFFFFFF";
      EXPECT_TRUE(trailer || Hex(At(memory, block)) == std::string(32, '0')) << block;
      if (trailer) trailers.push_back(block);
    }
    EXPECT_EQ(static_cast<size_t>(layout.sectors), trailers.size());
    for (int t : e.trailers) EXPECT_NE(trailers.end(), std::find(trailers.begin(), trailers.end(), t)) << t;
    EXPECT_EQ(e.trailers.back(), trailers.back());
  }
}

TEST(CardIdentity, TakenFromBlock0OfADump) {
  auto profile = sim::PresetProfile(sim::Preset::M1);
  sim::Memory memory = sim::FactoryImage(profile);
  // UID 11 22 33 44, BCC, SAK 18, ATQA 0002.
  Put(memory, 0, BlockOf("11223344001802000000000000000000"));
  sim::TakeIdentityFromBlock0(memory, &profile);
  EXPECT_EQ((sim::Uid{0x11, 0x22, 0x33, 0x44}), profile.uid);
  EXPECT_EQ(0x18, profile.sak);
  EXPECT_EQ(0x0002, profile.atqa);
}

// ------------------------------------------------------------------ states

TEST(CardStates, ReqaLeavesAHaltedCardAloneWupaWakesIt) {
  Card card = FactoryCard();
  Activate(card);
  card.Halt();
  EXPECT_EQ(State::Halt, card.state());
  EXPECT_FALSE(card.Request(false).has_value());
  EXPECT_EQ(State::Halt, card.state());
  EXPECT_EQ(0x0004, card.Request(true).value_or(0));
  EXPECT_EQ(State::Ready, card.state());
  EXPECT_TRUE(card.Select(card.Anticollision().value()).has_value());
}

TEST(CardStates, WupaAlsoWakesAnIdleCard) {
  Card card = FactoryCard();
  EXPECT_TRUE(card.Request(true).has_value());
  EXPECT_EQ(State::Ready, card.state());
}

TEST(CardStates, ARequestToAnActiveCardIsAProtocolErrorThatDropsItToIdle) {
  Card card = FactoryCard();
  Activate(card);
  EXPECT_FALSE(card.Request(false).has_value());
  EXPECT_EQ(State::Idle, card.state());
  EXPECT_TRUE(card.Request(false).has_value());
}

TEST(CardStates, SelectWithAnotherUidIsNotAnswered) {
  Card card = FactoryCard();
  ASSERT_TRUE(card.Request(false).has_value());
  EXPECT_FALSE(card.Select(sim::Uid{0x91, 0x7E, 0x5C, 0x3A}).has_value());
  EXPECT_NE(State::Active, card.state());
}

TEST(CardStates, FieldResetReturnsEveryStateToIdle) {
  Card halted = FactoryCard();
  Activate(halted);
  halted.Halt();
  Card protocol = FactoryCard(sim::Preset::Composite);
  Activate(protocol);
  ASSERT_TRUE(protocol.Rats().has_value());
  Card authenticated = FactoryCard();
  ActivateAndAuthenticate(authenticated, KeyKind::A, 0, kFactoryKey);
  for (Card* card : {&halted, &protocol, &authenticated}) {
    card->FieldReset();
    EXPECT_EQ(State::Idle, card->state());
    EXPECT_TRUE(card->Request(false).has_value());
  }
}

TEST(CardStates, FailedAuthenticationNeedsReactivation) {
  Card card = FactoryCard();
  Activate(card);
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::A, 0, kKeyA));
  EXPECT_EQ(State::Idle, card.state());
  Block out{};
  EXPECT_EQ(Reply::Silent, card.Authenticate(KeyKind::A, 0, kFactoryKey));
  EXPECT_EQ(Reply::Silent, card.Read(1, &out));
  ActivateAndAuthenticate(card, KeyKind::A, 0, kFactoryKey);
  EXPECT_EQ(Reply::Ok, card.Read(1, &out));
}

TEST(CardStates, ACardWokenFromHaltFallsBackToHalt) {
  Card card = FactoryCard();
  Activate(card);
  card.Halt();
  ASSERT_TRUE(card.Request(true).has_value());
  ASSERT_TRUE(card.Select(card.Anticollision().value()).has_value());
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::A, 0, kKeyA));
  EXPECT_EQ(State::Halt, card.state());
  EXPECT_FALSE(card.Request(false).has_value());
  EXPECT_TRUE(card.Request(true).has_value());
}

TEST(CardStates, AfterRatsMifareCommandsFailUntilReactivation) {
  Card card = FactoryCard(sim::Preset::Composite);
  Activate(card);
  ASSERT_TRUE(card.Rats().has_value());
  EXPECT_EQ(State::Protocol, card.state());
  EXPECT_NE(Reply::Ok, card.Authenticate(KeyKind::A, 0, kFactoryKey));
  EXPECT_FALSE(card.Rats().has_value());
  card.FieldReset();
  ActivateAndAuthenticate(card, KeyKind::A, 0, kFactoryKey);
}

TEST(CardStates, ACpuCardHasNoMifareMemory) {
  Card card = FactoryCard(sim::Preset::Cpu);
  Activate(card);
  EXPECT_EQ(Reply::Silent, card.Authenticate(KeyKind::A, 0, kFactoryKey));
  EXPECT_EQ(State::Idle, card.state());
}

// ---------------------------------------------------------- authentication

TEST(CardAuthentication, ChecksKeyAAndKeyBAgainstTheTrailer) {
  // Trailer 011: key B is secret, so it may authenticate.
  Card card = CardWithSector1({0, 0, 0, 3});
  ActivateAndAuthenticate(card, KeyKind::A, 1, kKeyA);
  EXPECT_EQ(1, card.authenticatedSector());
  EXPECT_EQ(Reply::Ok, card.Authenticate(KeyKind::B, 1, kKeyB));
  EXPECT_EQ(KeyKind::B, card.authenticatedKey());
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::A, 1, kKeyB));
  Activate(card);
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::B, 1, kKeyA));
  Activate(card);
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::A, 1, kFactoryKey));
}

TEST(CardAuthentication, KeyBIsRefusedWhereTheAccessBitsMakeItReadable) {
  Card card = FactoryCard();
  Activate(card);
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::B, 0, kFactoryKey));
  Card same = CardWithSector1({0, 0, 0, 0});
  Activate(same);
  EXPECT_EQ(Reply::Refused, same.Authenticate(KeyKind::B, 1, kKeyB));
}

// ------------------------------------------------------------------- reads

TEST(CardRead, TrailerHidesKeyAAndShowsKeyBOnlyWhereReadable) {
  Card transport = FactoryCard();
  ActivateAndAuthenticate(transport, KeyKind::A, 0, kFactoryKey);
  Block out{};
  ASSERT_EQ(Reply::Ok, transport.Read(3, &out));
  EXPECT_EQ("000000000000FF078069FFFFFFFFFFFF", Hex(out));

  Card secret = CardWithSector1({0, 0, 0, 3});
  ActivateAndAuthenticate(secret, KeyKind::A, 1, kKeyA);
  ASSERT_EQ(Reply::Ok, secret.Read(7, &out));
  EXPECT_EQ("0000000000007F078869000000000000", Hex(out));
  ASSERT_EQ(Reply::Ok, secret.Authenticate(KeyKind::B, 1, kKeyB));
  ASSERT_EQ(Reply::Ok, secret.Read(7, &out));
  EXPECT_EQ("0000000000007F078869000000000000", Hex(out));
}

TEST(CardRead, DataBlocksFollowTheAccessBits) {
  // Block 4: 011 (key B only), block 5: 111 (never), block 6: 100.
  Card card = CardWithSector1({3, 7, 4, 3});
  ActivateAndAuthenticate(card, KeyKind::B, 1, kKeyB);
  Block out{};
  EXPECT_EQ(Reply::Ok, card.Read(4, &out));
  EXPECT_EQ("0102030405060708090A0B0C0D0E0F10", Hex(out));
  EXPECT_EQ(Reply::Ok, card.Read(6, &out));
  EXPECT_EQ(Reply::Refused, card.Read(5, &out));
  EXPECT_EQ(State::Idle, card.state());
  ActivateAndAuthenticate(card, KeyKind::A, 1, kKeyA);
  EXPECT_EQ(Reply::Ok, card.Read(6, &out));
  EXPECT_EQ(Reply::Refused, card.Read(4, &out));
}

// A 16-block sector's access bits govern blocks 0-4, 5-9, 10-14 and the
// trailer: sector 39 (blocks 240-255) with 011 (key B only), 111 (never),
// 100 (either reads, key B writes) and 011 for the trailer, under which key
// B is no data and so authenticates.
TEST(CardRead, SixteenBlockSectorsFollowTheirFourAccessGroups) {
  const auto profile = sim::PresetProfile(sim::Preset::Classic4K);
  sim::Memory memory = sim::FactoryImage(profile);
  for (int block = 240; block < 255; ++block) Put(memory, block, kData);
  Put(memory, 255, Trailer(kKeyA, {3, 7, 4, 3}, kKeyB));
  Card card(profile, memory);
  Block out{};
  ActivateAndAuthenticate(card, KeyKind::B, 39, kKeyB);
  for (int block : {240, 244, 250, 254}) {
    EXPECT_EQ(Reply::Ok, card.Read(block, &out)) << block;
    EXPECT_EQ(Hex(kData), Hex(out));
  }
  EXPECT_EQ(Reply::Ok, card.Write(254, kData));
  EXPECT_EQ(Reply::Refused, card.Read(245, &out));
  ActivateAndAuthenticate(card, KeyKind::B, 39, kKeyB);
  EXPECT_EQ(Reply::Refused, card.Read(249, &out));
  ActivateAndAuthenticate(card, KeyKind::A, 39, kKeyA);
  EXPECT_EQ(Reply::Ok, card.Read(250, &out));
  EXPECT_EQ(Reply::Refused, card.Write(250, kData));
  ActivateAndAuthenticate(card, KeyKind::A, 39, kKeyA);
  EXPECT_EQ(Reply::Refused, card.Read(244, &out));
  // Sector 32, still factory-fresh, starts at block 128 and ends at 143.
  ActivateAndAuthenticate(card, KeyKind::A, 32, kFactoryKey);
  EXPECT_EQ(Reply::Ok, card.Read(143, &out));
  EXPECT_EQ("000000000000FF078069FFFFFFFFFFFF", Hex(out));
  EXPECT_EQ(Reply::Refused, card.Read(144, &out));
}

// Sectors and blocks past a card's memory are refused, never reached.
TEST(CardRead, NothingPastTheCardsLastSector) {
  for (const auto& c : {std::make_pair(sim::Preset::Mini, 5), std::make_pair(sim::Preset::M1, 16),
                        std::make_pair(sim::Preset::Classic4K, 40)}) {
    Card card = FactoryCard(c.first);
    Activate(card);
    EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::A, c.second, kFactoryKey)) << c.second;
    ActivateAndAuthenticate(card, KeyKind::A, c.second - 1, kFactoryKey);
    Block out{};
    const int last = card.layout().blocks - 1;
    EXPECT_EQ(Reply::Ok, card.Read(last, &out));
    EXPECT_EQ(Reply::Refused, card.Read(last + 1, &out));
    ActivateAndAuthenticate(card, KeyKind::A, c.second - 1, kFactoryKey);
    EXPECT_EQ(Reply::Refused, card.Write(last + 1, kData));
    EXPECT_EQ(static_cast<size_t>(last + 1) * 16, card.memory().size());
  }
}

TEST(CardRead, OnlyTheAuthenticatedSector) {
  Card card = FactoryCard();
  ActivateAndAuthenticate(card, KeyKind::A, 0, kFactoryKey);
  Block out{};
  EXPECT_EQ(Reply::Refused, card.Read(4, &out));
  EXPECT_EQ(State::Idle, card.state());
}

// ------------------------------------------------------------------ writes

TEST(CardWrite, TransportSettingLetsKeyAWriteEverything) {
  Card card = FactoryCard();
  ActivateAndAuthenticate(card, KeyKind::A, 1, kFactoryKey);
  ASSERT_EQ(Reply::Ok, card.Write(5, kData));
  EXPECT_EQ(kData, At(card.memory(), 5));
  const Block trailer = Trailer(kKeyA, {0, 0, 0, 3}, kKeyB, 0x42);
  ASSERT_EQ(Reply::Ok, card.Write(7, trailer));
  EXPECT_EQ(trailer, At(card.memory(), 7));
  // The new keys are in force at the next authentication.
  card.FieldReset();
  Activate(card);
  EXPECT_EQ(Reply::Refused, card.Authenticate(KeyKind::A, 1, kFactoryKey));
  ActivateAndAuthenticate(card, KeyKind::B, 1, kKeyB);
}

TEST(CardWrite, KeyBOnlySettingRefusesKeyA) {
  // Data 100: both read, only key B writes.
  Card card = CardWithSector1({4, 4, 4, 3});
  ActivateAndAuthenticate(card, KeyKind::A, 1, kKeyA);
  EXPECT_EQ(Reply::Refused, card.Write(4, kData));
  EXPECT_EQ(State::Idle, card.state());
  EXPECT_EQ("0102030405060708090A0B0C0D0E0F10", Hex(At(card.memory(), 4)));
  ActivateAndAuthenticate(card, KeyKind::B, 1, kKeyB);
  EXPECT_EQ(Reply::Ok, card.Write(4, kData));
  EXPECT_EQ(kData, At(card.memory(), 4));
}

TEST(CardWrite, ReadOnlySettingRefusesBothKeys) {
  // Data 010 under a trailer 011, so both keys can authenticate.
  Card card = CardWithSector1({2, 2, 2, 3});
  for (KeyKind kind : {KeyKind::A, KeyKind::B}) {
    ActivateAndAuthenticate(card, kind, 1, kind == KeyKind::A ? kKeyA : kKeyB);
    Block out{};
    EXPECT_EQ(Reply::Ok, card.Read(4, &out));
    EXPECT_EQ(Reply::Refused, card.Write(4, kData));
  }
  EXPECT_EQ("0102030405060708090A0B0C0D0E0F10", Hex(At(card.memory(), 4)));
}

TEST(CardWrite, TrailerFieldsAreWrittenOnlyWhereTheKeyMay) {
  // 011: key A may change nothing in the trailer, key B everything.
  Card owned = CardWithSector1({0, 0, 0, 3});
  ActivateAndAuthenticate(owned, KeyKind::A, 1, kKeyA);
  EXPECT_EQ(Reply::Refused, owned.Write(7, Trailer(kFactoryKey, {0, 0, 0, 1}, kFactoryKey)));
  ActivateAndAuthenticate(owned, KeyKind::B, 1, kKeyB);
  const Block all = Trailer(kFactoryKey, {0, 0, 0, 1}, kFactoryKey);
  EXPECT_EQ(Reply::Ok, owned.Write(7, all));
  EXPECT_EQ(all, At(owned.memory(), 7));

  // 100: key B may change both keys but not the access bits.
  Card keysOnly = CardWithSector1({0, 0, 0, 4});
  const Block before = At(keysOnly.memory(), 7);
  ActivateAndAuthenticate(keysOnly, KeyKind::B, 1, kKeyB);
  EXPECT_EQ(Reply::Ok, keysOnly.Write(7, Trailer(kFactoryKey, {0, 0, 0, 1}, kFactoryKey, 0)));
  const Block after = At(keysOnly.memory(), 7);
  EXPECT_EQ("FFFFFFFFFFFF", Hex(after).substr(0, 12));
  EXPECT_EQ(Hex(before).substr(12, 8), Hex(after).substr(12, 8));
  EXPECT_EQ("FFFFFFFFFFFF", Hex(after).substr(20));
}

TEST(CardWrite, ManufacturerBlockIsReadOnlyWhateverTheAccessBits) {
  Card card = FactoryCard();
  ActivateAndAuthenticate(card, KeyKind::A, 0, kFactoryKey);
  const Block before = At(card.memory(), 0);
  EXPECT_EQ(Reply::Refused, card.Write(0, kData));
  EXPECT_EQ(before, At(card.memory(), 0));
}

TEST(CardWrite, MalformedAccessBitsBlockTheSectorForGood) {
  Card card = FactoryCard();
  ActivateAndAuthenticate(card, KeyKind::A, 2, kFactoryKey);
  // Access bytes 00 00 00: no bit agrees with its inverted copy.
  const Block broken = BlockOf("FFFFFFFFFFFF00000069FFFFFFFFFFFF");
  ASSERT_EQ(Reply::Ok, card.Write(11, broken));
  EXPECT_EQ(broken, At(card.memory(), 11));
  Block out{};
  EXPECT_EQ(Reply::Refused, card.Read(8, &out));
  for (KeyKind kind : {KeyKind::A, KeyKind::B}) {
    card.FieldReset();
    Activate(card);
    EXPECT_EQ(Reply::Refused, card.Authenticate(kind, 2, kFactoryKey));
  }
  // Only that sector.
  ActivateAndAuthenticate(card, KeyKind::A, 3, kFactoryKey);
}

// ------------------------------------------------------- the access tables

// The card's rules as the one table in cards/access.h gives them (checked
// there against the datasheet): whether a rule lets the key.
bool Lets(Who who, KeyKind key) { return Allows(who, key == KeyKind::B); }

// A trailer's three fields taken from `allowed` where the row's column
// (0 read, 1 write) lets the key, else from `otherwise`.
std::string Fields(const Block& allowed, const Block& otherwise, const Who row[6], int column, KeyKind key) {
  const int bounds[] = {0, 6, 10, 16};
  Block b = otherwise;
  for (int f = 0; f < 3; ++f)
    if (Lets(row[2 * f + column], key))
      std::copy(allowed.begin() + bounds[f], allowed.begin() + bounds[f + 1], b.begin() + bounds[f]);
  return Hex(b);
}

TEST(CardAccess, EverySettingForBothKeysAsTheAccessTableHasIt) {
  for (uint8_t setting = 0; setting < 8; ++setting) {
    for (KeyKind key : {KeyKind::A, KeyKind::B}) {
      SCOPED_TRACE("C1C2C3 " + std::to_string(setting >> 2) + std::to_string(setting >> 1 & 1) +
                   std::to_string(setting & 1) + (key == KeyKind::A ? " key A" : " key B"));
      const Key& value = key == KeyKind::A ? kKeyA : kKeyB;
      // Block 4 under the setting, the trailer under 011 where both keys work.
      Card data = CardWithSector1({setting, 0, 0, 3});
      Block out{};
      ActivateAndAuthenticate(data, key, 1, value);
      EXPECT_EQ(Lets(DataBlockRuleOf(setting).read, key), data.Read(4, &out) == Reply::Ok);
      data.FieldReset();
      ActivateAndAuthenticate(data, key, 1, value);
      const bool written = data.Write(4, kData) == Reply::Ok;
      EXPECT_EQ(Lets(DataBlockRuleOf(setting).write, key), written);
      EXPECT_EQ(written, At(data.memory(), 4) == kData);

      const TrailerRule rule = TrailerRuleOf(setting);
      const Who row[6] = {rule.keyARead, rule.keyAWrite, rule.accessRead, rule.accessWrite, rule.keyBRead, rule.keyBWrite};
      Card trailer = CardWithSector1({0, 0, 0, setting});
      Activate(trailer);
      if (key == KeyKind::B && row[4] != Who::kNever) {
        EXPECT_EQ(Reply::Refused, trailer.Authenticate(key, 1, value));
        continue;
      }
      ASSERT_EQ(Reply::Ok, trailer.Authenticate(key, 1, value));
      // What may not be read shows as zeros; what may not be written stays.
      const Block stored = At(trailer.memory(), 7);
      ASSERT_EQ(Reply::Ok, trailer.Read(7, &out));
      EXPECT_EQ(Fields(stored, Block{}, row, 0, key), Hex(out));
      const Block next = Trailer(kFactoryKey, {1, 1, 1, setting}, kFactoryKey, 0x42);
      const bool any = Lets(row[1], key) || Lets(row[3], key) || Lets(row[5], key);
      EXPECT_EQ(any ? Reply::Ok : Reply::Refused, trailer.Write(7, next));
      EXPECT_EQ(Fields(next, stored, row, 1, key), Hex(At(trailer.memory(), 7)));
    }
  }
}

}  // namespace
