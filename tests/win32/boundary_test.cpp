// Under Wine: the boundary loads dcrf32.dll from beside this program and
// drives a whole find-card sequence on the virtual reader through it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "processes.h"
#include "reader/reader.h"
#include "reader/session.h"

namespace {

class Boundary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The library reads its settings from the process environment when the
    // reader is opened.
    SetEnvironmentVariableW(L"DCRF32_SIM_CARD", L"composite");
    SetEnvironmentVariableW(L"DCRF32_SIM_DUMP", nullptr);
    SetEnvironmentVariableW(L"DCRF32_SIM_TRACE", nullptr);
    SetEnvironmentVariableW(L"DCRF32_SIM_READER", nullptr);
    result = LoadReaderLibrary();
  }
  static ReaderLoadResult result;
};
ReaderLoadResult Boundary::result;

}  // namespace

TEST_F(Boundary, LoadsTheLibraryBesideTheProgram) {
  ASSERT_TRUE(result.ok()) << result.Message();
  HMODULE loaded = GetModuleHandleW(L"dcrf32.dll");
  ASSERT_NE(nullptr, loaded);
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(loaded, path, MAX_PATH);
  EXPECT_EQ(0, _wcsicmp(BesideMe(L"dcrf32.dll").c_str(), path));
}

TEST_F(Boundary, DrivesAFindCardSequence) {
  ASSERT_TRUE(result.ok()) << result.Message();
  // Each call is followed by the pause, as in the program.
  ReaderSession r(*result.api);
  ASSERT_GT(r.Open(100, 115200), 0);
  EXPECT_EQ(0, r.Call(&ReaderApi::dc_beep, 10));
  for (int pass = 0; pass < 2; ++pass) {
    uint32_t tagType = 0, serial = 0;
    uint8_t sak = 0;
    ASSERT_EQ(0, r.Call(&ReaderApi::dc_reset, 10));
    ASSERT_EQ(0, r.Call(&ReaderApi::dc_config_card, 'A'));
    ASSERT_EQ(0, r.Call(&ReaderApi::dc_request, 1, &tagType));
    EXPECT_EQ(0x0004u, tagType & 0xFFFF);
    ASSERT_EQ(0, r.Call(&ReaderApi::dc_anticoll, 0, &serial));
    EXPECT_EQ(0x079C215Eu, serial);
    ASSERT_EQ(0, r.Call(&ReaderApi::dc_select, serial, &sak));
    EXPECT_EQ(0x28, sak);
    if (pass == 0) {
      uint8_t len = 0;
      char ats[2 * 254 + 2] = {};
      ASSERT_EQ(0, r.Call(&ReaderApi::dc_pro_resethex, &len, ats));
      EXPECT_STREQ("067777710280", ats);
    }
  }
  // Selected again after the re-activation: the sector commands work.
  uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(0, r.Call(&ReaderApi::dc_load_key, 0, 1, key));
  ASSERT_EQ(0, r.Call(&ReaderApi::dc_authentication, 0, 1));
  char block[33] = {};
  ASSERT_EQ(0, r.Call(&ReaderApi::dc_read_hex, 4, block));
  EXPECT_STREQ("00000000000000000000000000000000", block);
}

// Only the floor is tested: how far above 10 ms a pause ends depends on the
// machine's load (bench/pause measures it).
TEST(Pause, NeverEndsBeforeTenMilliseconds) {
  for (int i = 0; i < 20; ++i) {
    double t0 = NowMs();
    ReaderPause();
    EXPECT_GE(NowMs() - t0, 10.0) << "pause " << i;
  }
}
