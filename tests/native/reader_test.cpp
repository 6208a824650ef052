#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "reader/reader.h"

namespace {

int32_t DCRF32_CALL FakeInit(int16_t port, int32_t baud) { return port == 100 && baud == 115200 ? 42 : -5; }

class ReaderBoundary : public ::testing::Test {
 protected:
  void TearDown() override { InstallReaderApi(nullptr); }
};

}  // namespace

TEST_F(ReaderBoundary, HandleStartsAtZero) { EXPECT_EQ(0, g_hReader); }

TEST_F(ReaderBoundary, EveryCallFailsBeforeALibraryIsInstalled) {
  uint32_t v = 0;
  uint8_t b = 0;
  char text[256] = {};
  uint8_t key[6] = {};
  const ReaderApi& r = Reader();
  EXPECT_LE(r.dc_init(100, 115200), 0);
  EXPECT_NE(0, r.dc_beep(0, 10));
  EXPECT_NE(0, r.dc_reset(0, 10));
  EXPECT_NE(0, r.dc_config_card(0, 'A'));
  EXPECT_NE(0, r.dc_request(0, 1, &v));
  EXPECT_NE(0, r.dc_anticoll(0, 0, &v));
  EXPECT_NE(0, r.dc_select(0, v, &b));
  EXPECT_NE(0, r.dc_pro_resethex(0, &b, text));
  EXPECT_NE(0, r.dc_load_key(0, 0, 0, key));
  EXPECT_NE(0, r.dc_authentication(0, 0, 0));
  EXPECT_NE(0, r.dc_read_hex(0, 1, text));
  EXPECT_NE(0, r.dc_write_hex(0, 1, text));
}

TEST_F(ReaderBoundary, InstalledTableIsCalledAndNullRestoresTheFailingOne) {
  ReaderApi fake = Reader();
  fake.dc_init = FakeInit;
  InstallReaderApi(&fake);
  EXPECT_EQ(42, Reader().dc_init(100, 115200));
  InstallReaderApi(nullptr);
  EXPECT_EQ(-1, Reader().dc_init(100, 115200));
}

TEST_F(ReaderBoundary, LoadsTheVirtualReaderByName) {
  ReaderLoadResult r = LoadReaderLibrary();
  ASSERT_TRUE(r.ok()) << r.Message();
  EXPECT_TRUE(r.Message().empty());
  int32_t h = Reader().dc_init(100, 115200);
  EXPECT_GT(h, 0);
  EXPECT_EQ(0, Reader().dc_config_card(h, 'A'));
}

TEST_F(ReaderBoundary, MissingLibraryIsNamedAndChangesNothing) {
  ReaderApi fake = Reader();
  fake.dc_init = FakeInit;
  InstallReaderApi(&fake);
  ReaderLoadResult r = LoadReaderLibrary("libno-such-reader.so");
  EXPECT_EQ(ReaderLoadResult::kLibraryMissing, r.error);
  EXPECT_EQ("libno-such-reader.so", r.missing);
  EXPECT_NE(std::string::npos, r.Message().find("libno-such-reader.so"));
  EXPECT_EQ(42, Reader().dc_init(100, 115200));  // the table in force stays
}

TEST_F(ReaderBoundary, AFileThatIsNoLibraryIsNotCalledMissing) {
  std::string path = ::testing::TempDir() + "quillon-not-a-library.so";
  std::ofstream(path) << "not an ELF file\n";
  ReaderLoadResult r = LoadReaderLibrary(path.c_str());
  std::remove(path.c_str());
  EXPECT_EQ(ReaderLoadResult::kLoadFailed, r.error);
  // The rest is the system loader's own words on the file.
  EXPECT_EQ(0u, r.Message().find("读卡器库 " + path + " 加载失败：" + path + ": ")) << r.Message();
  EXPECT_EQ(-1, Reader().dc_init(100, 115200));
}

TEST_F(ReaderBoundary, MissingFunctionIsNamed) {
  ReaderLoadResult r = LoadReaderLibrary("libpartial_dcrf32.so");
  EXPECT_EQ(ReaderLoadResult::kFunctionMissing, r.error);
  EXPECT_EQ("dc_read_hex", r.missing);
  EXPECT_NE(std::string::npos, r.Message().find("dc_read_hex"));
  EXPECT_EQ(-1, Reader().dc_init(100, 115200));  // nothing half-installed
}

// Only the floor is tested: how far above 10 ms a pause ends depends on the
// machine's load (bench/pause measures it).
TEST(ReaderPause, NeverEndsBeforeTenMilliseconds) {
  using Clock = std::chrono::steady_clock;
  for (int i = 0; i < 20; ++i) {
    auto t0 = Clock::now();
    ReaderPause();
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    EXPECT_GE(ms, 10.0) << "pause " << i;
  }
}
