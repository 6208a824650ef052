// The reader stack going away under an open reader, as when a USB reader is
// unplugged or the PC/SC service stops: every call fails with a status, at
// once, and opening again finds no reader. This program stops the pcscd
// that with-pcscd started for it, so it runs as a ctest entry of its own.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "reader/reader.h"
#include "stack.h"

namespace {

// The pcscd of this test's private namespace, from the file it keeps.
pid_t OurPcscd() {
  std::ifstream in("/run/pcscd/pcscd.pid");
  long pid = 0;
  in >> pid;
  return static_cast<pid_t>(pid);
}

bool Gone(pid_t pid) {
  for (int i = 0; i < 100; ++i) {
    if (kill(pid, 0) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST(ServiceGone, EveryCallFailsQuicklyAndReopeningFindsNoReader) {
  setenv("DCRF32_PCSC_READER", stack::kReader, 1);
  ReaderLoadResult loaded = LoadReaderLibrary(PCSC_LIBRARY_PATH);
  ASSERT_TRUE(loaded.ok()) << loaded.Message();
  std::string problem;
  ASSERT_TRUE(stack::InsertCard({"--card", "m1"}, &problem)) << problem;
  const ReaderApi& api = *loaded.api;
  const int32_t h = api.dc_init(100, 115200);
  ASSERT_GT(h, 0);
  uint32_t tag = 0, serial = 0;
  uint8_t sak = 0;
  uint8_t key[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ASSERT_EQ(0, api.dc_request(h, 1, &tag));
  ASSERT_EQ(0, api.dc_anticoll(h, 0, &serial));
  ASSERT_EQ(0, api.dc_select(h, serial, &sak));
  ASSERT_EQ(0, api.dc_load_key(h, 0, 0, key));
  ASSERT_EQ(0, api.dc_authentication(h, 0, 0));

  const pid_t pcscd = OurPcscd();
  ASSERT_GT(pcscd, 1);
  ASSERT_EQ(0, kill(pcscd, SIGTERM));
  ASSERT_TRUE(Gone(pcscd));

  const auto start = std::chrono::steady_clock::now();
  char text[33] = {};
  char data[] = "00112233445566778899AABBCCDDEEFF";
  EXPECT_NE(0, api.dc_read_hex(h, 1, text));
  EXPECT_EQ('\0', text[0]);
  EXPECT_NE(0, api.dc_write_hex(h, 1, data));
  EXPECT_NE(0, api.dc_authentication(h, 0, 0));
  EXPECT_EQ(0, api.dc_reset(h, 10));  // the field off: nothing to fail
  EXPECT_NE(0, api.dc_request(h, 1, &tag));
  EXPECT_NE(0, api.dc_anticoll(h, 0, &serial));
  EXPECT_EQ(-1, api.dc_init(100, 115200));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seven calls after the service stopped: %.3f s\n", seconds);
  stack::RemoveCard();
}
