// Whole scenarios against the virtual reader (libdcrf32.so), one preset
// card per test. The pause is recorded instead of slept: what is checked
// here is what the card and the window end up with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "reader/reader.h"
#include "tests/cardtest/card_scenarios.h"

namespace {

void NoPause() {}

class VirtualReader : public CardTestWindow {
 protected:
  void SetUp() override {
    unsetenv("DCRF32_SIM_DUMP");
    unsetenv("DCRF32_SIM_TRACE");
    unsetenv("DCRF32_SIM_READER");
    ReaderLoadResult loaded = LoadReaderLibrary();
    ASSERT_TRUE(loaded.ok()) << loaded.Message();
    dlg.Session() = ReaderSession(*loaded.api, NoPause);
    ShowWindow();
  }

  // dc_init reads the card preset, so opening puts a fresh card in the field.
  void Open(const char* card) {
    setenv("DCRF32_SIM_CARD", card, 1);
    dlg.OnOpenReader();
    ASSERT_EQ("打开成功了", ui.GetText(IDC_STATUS));
  }
  void MakeReaderAbsent() { setenv("DCRF32_SIM_READER", "absent", 1); }
};

INSTANTIATE_TYPED_TEST_SUITE_P(VirtualReader, CardScenarios, VirtualReader);

}  // namespace

TEST_F(VirtualReader, M1CardIsFoundLoadedReadAndSelected) {
  Open("m1");
  M1CardIsFoundLoadedReadAndSelected();
}

TEST_F(VirtualReader, CpuCardIsIdentifiedWithItsAtsAndHasNoSectors) {
  Open("cpu");
  CpuCardIsIdentifiedWithItsAtsAndHasNoSectors();
}

TEST_F(VirtualReader, CompositeCardIsReactivatedForTheSectorCommands) {
  Open("composite");
  CompositeCardIsReactivatedForTheSectorCommands();
}
