#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include <type_traits>

#include "dcrf32/dcrf32.h"
#include "reader/reader.h"
#include "reader/session.h"

namespace {

void NoPause() {}

// Pauses counted, and a library that answers every call with 0.
int g_pauses = 0;
void CountPause() { ++g_pauses; }
template <typename Slot>
struct Answering;
template <typename R, typename... P>
struct Answering<R(DCRF32_CALL*)(P...)> {
  static R DCRF32_CALL Call(P...) { return 0; }
};
#define DCRF32_ANSWER(ret, name, params) &Answering<decltype(ReaderApi::name)>::Call,
const ReaderApi kAnswers{DCRF32_FUNCTIONS(DCRF32_ANSWER)};
#undef DCRF32_ANSWER

// The program's table and the libraries' exports come from one list, each
// under its own calling-convention macro: they must agree, slot by slot.
#define DCRF32_SAME_TYPE(ret, name, params) \
  static_assert(std::is_same_v<decltype(ReaderApi::name), decltype(&::name)>, #name " differs");
DCRF32_FUNCTIONS(DCRF32_SAME_TYPE)
#undef DCRF32_SAME_TYPE

}  // namespace

TEST(ReaderSession, FailsEveryCallWithHandleZeroUntilALibraryIsGiven) {
  uint32_t v = 0;
  uint8_t b = 0;
  char text[256] = {};
  uint8_t key[6] = {};
  ReaderSession none;
  EXPECT_EQ(0, none.handle());
  EXPECT_LE(none.Open(100, 115200), 0);
  EXPECT_NE(0, none.Call(&ReaderApi::dc_beep, 10));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_reset, 10));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_config_card, 'A'));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_request, 1, &v));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_anticoll, 0, &v));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_select, v, &b));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_pro_resethex, &b, text));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_load_key, 0, 0, key));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_authentication, 0, 0));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_read_hex, 1, text));
  EXPECT_NE(0, none.Call(&ReaderApi::dc_write_hex, 1, text));
}

TEST(ReaderSession, PausesAfterEveryCallButOpeningAndTheBeep) {
  ReaderSession session(kAnswers, CountPause);
  g_pauses = 0;
  session.Open(100, 115200);
  session.Call(&ReaderApi::dc_beep, 10);
  EXPECT_EQ(0, g_pauses);
  uint32_t v = 0;
  session.Call(&ReaderApi::dc_reset, 10);
  session.Call(&ReaderApi::dc_request, 1, &v);
  EXPECT_EQ(2, g_pauses);
}

TEST(ReaderBoundary, LoadsTheVirtualReaderByName) {
  ReaderLoadResult r = LoadReaderLibrary();
  ASSERT_TRUE(r.ok()) << r.Message();
  EXPECT_TRUE(r.Message().empty());
  ReaderSession session(*r.api, NoPause);
  EXPECT_GT(session.Open(100, 115200), 0);
  EXPECT_EQ(0, session.Call(&ReaderApi::dc_config_card, 'A'));
}

TEST(ReaderBoundary, MissingLibraryIsNamed) {
  ReaderLoadResult r = LoadReaderLibrary("libno-such-reader.so");
  EXPECT_EQ(ReaderLoadResult::kLibraryMissing, r.error);
  EXPECT_EQ("libno-such-reader.so", r.missing);
  EXPECT_NE(std::string::npos, r.Message().find("libno-such-reader.so"));
  EXPECT_EQ(nullptr, r.api);
}

TEST(ReaderBoundary, AFileThatIsNoLibraryIsNotCalledMissing) {
  std::string path = ::testing::TempDir() + "quillon-not-a-library.so";
  std::ofstream(path) << "not an ELF file\n";
  ReaderLoadResult r = LoadReaderLibrary(path.c_str());
  std::remove(path.c_str());
  EXPECT_EQ(ReaderLoadResult::kLoadFailed, r.error);
  // The rest is the system loader's own words on the file.
  EXPECT_EQ(0u, r.Message().find("读卡器库 " + path + " 加载失败：" + path + ": ")) << r.Message();
  EXPECT_EQ(nullptr, r.api);
}

TEST(ReaderBoundary, MissingFunctionIsNamed) {
  ReaderLoadResult r = LoadReaderLibrary("libpartial_dcrf32.so");
  EXPECT_EQ(ReaderLoadResult::kFunctionMissing, r.error);
  EXPECT_EQ("dc_read_hex", r.missing);
  EXPECT_NE(std::string::npos, r.Message().find("dc_read_hex"));
  EXPECT_EQ(nullptr, r.api);  // nothing half-loaded
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
