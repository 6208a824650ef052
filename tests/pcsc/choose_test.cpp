// Which reader dc_init opens, on reader lists as real systems show them.
#include <gtest/gtest.h>

#include "pcsc/choose.h"

namespace {

std::optional<size_t> ChooseReader(const std::vector<std::string>& names,
                                   const std::optional<std::string>& wanted) {
  return pcsc::ChooseReader(names, wanted).index;
}

}  // namespace

TEST(ChooseReader, ContactlessSlotOfADualInterfaceReaderIsPreferredOverItsContactSlot) {
  const std::vector<std::string> names = {"ACS ACR1281 1S Dual Reader ICC 0",
                                          "ACS ACR1281 1S Dual Reader PICC 0",
                                          "ACS ACR1281 1S Dual Reader SAM 0"};
  EXPECT_EQ(1u, ChooseReader(names, std::nullopt));
}

TEST(ChooseReader, FirstContactlessReaderByItsName) {
  EXPECT_EQ(1u, ChooseReader({"Gemalto PC Twin Reader 00 00", "ACS ACR122U PICC Interface 00 00"},
                             std::nullopt));
  EXPECT_EQ(1u, ChooseReader({"HID Global OMNIKEY 5422 Smartcard Reader 0",
                              "HID Global OMNIKEY 5422CL Smartcard Reader 0"},
                             std::nullopt));
  EXPECT_EQ(0u, ChooseReader({"SCM Microsystems Inc. SCL011G Contactless Reader 0"}, std::nullopt));
  EXPECT_EQ(0u, ChooseReader({"Identiv uTrust 3700 F CL Reader 0"}, std::nullopt));
  EXPECT_EQ(0u, ChooseReader({"Virtual PCD 00 00", "Virtual PCD 00 01"}, std::nullopt));
}

// A name is only a hint: the one reader attached is used whatever it is
// called, and of several none of which says contactless, the first.
TEST(ChooseReader, OnlyReaderOrFirstOfSeveralWhenNoNameSaysContactless) {
  EXPECT_EQ(std::nullopt, ChooseReader({}, std::nullopt));
  EXPECT_EQ(0u, ChooseReader({"HID Global OMNIKEY 5022 Smart Card Reader"}, std::nullopt));
  EXPECT_EQ(0u, ChooseReader({"Gemalto PC Twin Reader 00 00", "Alcor Micro AU9540 00 00",
                              "Clever Reader 0"},
                             std::nullopt));
}

TEST(ChooseReader, NamedReaderWinsCaseInsensitivelyAndNeverFallsBack) {
  const std::vector<std::string> names = {"ACS ACR122U PICC Interface 00 00",
                                          "Gemalto PC Twin Reader 00 00"};
  EXPECT_EQ(1u, ChooseReader(names, std::string("gemalto")));
  EXPECT_EQ(0u, ChooseReader(names, std::string("acr122")));
  EXPECT_EQ(std::nullopt, ChooseReader(names, std::string("OMNIKEY")));
}
