// Which LOAD KEYS form the library tries first on which reader, and what
// it remembers of the reader's key slots.
#include <gtest/gtest.h>

#include "pcsc/key_form.h"
#include "pcsc/key_slots.h"

namespace {

using pcsc::KeyForm;

const dcrf32::Key kDefault = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const dcrf32::Key kOther = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
const dcrf32::Key kThird = {0xD3, 0xF7, 0xD3, 0xF7, 0xD3, 0xF7};

}  // namespace

// A name only moves its family's form to the front; an unknown name gets
// the fixed order, the non-volatile form last; nothing is ever left out.
TEST(KeyForm, ReaderNameChoosesTheFirstFormOnly) {
  using V = std::vector<KeyForm>;
  EXPECT_EQ((V{KeyForm::Acs, KeyForm::Session, KeyForm::Scm, KeyForm::Omnikey}),
            pcsc::ProbeOrder("Virtual PCD 00 00"));
  EXPECT_EQ((V{KeyForm::Omnikey, KeyForm::Acs, KeyForm::Session, KeyForm::Scm}),
            pcsc::ProbeOrder("HID Global OMNIKEY 5422CL Smartcard Reader 0"));
  EXPECT_EQ((V{KeyForm::Session, KeyForm::Acs, KeyForm::Scm, KeyForm::Omnikey}),
            pcsc::ProbeOrder("ACS ACR1281 1S Dual Reader PICC 0"));
  EXPECT_EQ(KeyForm::Scm, pcsc::ProbeOrder("Identiv uTrust 3700 F CL Reader 0").front());

  EXPECT_EQ(KeyForm::Omnikey, pcsc::KeyFormNamed("OmniKey"));
  EXPECT_EQ(KeyForm::Session, pcsc::KeyFormNamed("session"));
  EXPECT_EQ(std::nullopt, pcsc::KeyFormNamed("acr122"));
  EXPECT_EQ(std::nullopt, pcsc::KeyFormNamed(""));
}

// Two volatile slots: a key held is used as it is, a new one goes to the
// free slot, then to the one used longest ago.
TEST(KeySlots, KeyHeldIsNotLoadedAgainAndNewOnesReplaceTheLeastRecentlyUsed) {
  pcsc::KeySlots slots;
  auto place = slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kDefault);
  EXPECT_TRUE(place.load);
  EXPECT_EQ(0x00, place.slot.p2);
  slots.Loaded(place.slot, kDefault);
  // Key B with the same bytes: the same slot, GENERAL AUTHENTICATE names the type.
  place = slots.For(KeyForm::Acs, pcsc::kKeyTypeB, kDefault);
  EXPECT_FALSE(place.load);
  EXPECT_EQ(0x00, place.slot.number);

  place = slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kOther);
  EXPECT_TRUE(place.load);
  EXPECT_EQ(0x01, place.slot.p2);
  slots.Loaded(place.slot, kOther);
  EXPECT_FALSE(slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kDefault).load);  // slot 0 used last
  place = slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kThird);
  EXPECT_TRUE(place.load);
  EXPECT_EQ(0x01, place.slot.p2);
  // Slot 1 now holds the third key, and the key it held before is gone.
  slots.Loaded(place.slot, kThird);
  place = slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kThird);
  EXPECT_FALSE(place.load);
  EXPECT_EQ(0x01, place.slot.number);
  place = slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kOther);
  EXPECT_TRUE(place.load);
  EXPECT_EQ(0x00, place.slot.p2);
  slots.Loaded(place.slot, kOther);
  // A slot whose load was not answered cleanly holds who knows what.
  slots.Forget(slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kThird).slot);
  EXPECT_TRUE(slots.For(KeyForm::Acs, pcsc::kKeyTypeA, kThird).load);
}

// SCM's readers keep one key per type: key B never lands in, or is taken
// from, key A's slot, and GENERAL AUTHENTICATE names it by its type.
TEST(KeySlots, ScmKeepsKeyAAndKeyBApart) {
  pcsc::KeySlots slots;
  auto place = slots.For(KeyForm::Scm, pcsc::kKeyTypeA, kDefault);
  EXPECT_EQ(0x60, place.slot.p2);
  slots.Loaded(place.slot, kDefault);
  place = slots.For(KeyForm::Scm, pcsc::kKeyTypeB, kDefault);
  EXPECT_TRUE(place.load);
  EXPECT_EQ(0x61, place.slot.p2);
  EXPECT_EQ(0x61, place.slot.number);
  EXPECT_EQ((pcsc::Bytes{0xFF, 0x86, 0x00, 0x00, 0x05, 0x01, 0x00, 0x18, 0x61, 0x61}),
            pcsc::GeneralAuthenticateCommand(0x18, pcsc::kKeyTypeB, place.slot));
}

// OMNIKEY's non-volatile slots each keep their key: keys used in turn are
// each written once, not over one another.
TEST(KeySlots, NonVolatileSlotsKeepEveryKeyWrittenOnce) {
  pcsc::KeySlots slots;
  for (int round = 0; round < 2; ++round)
    for (const auto& key : {kDefault, kOther, kThird}) {
      const auto place = slots.For(KeyForm::Omnikey, pcsc::kKeyTypeA, key);
      EXPECT_EQ(round == 0, place.load);
      EXPECT_EQ(0x20, place.slot.p1);
      if (place.load) slots.Loaded(place.slot, key);
    }
}
