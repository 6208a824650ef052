#pragma once
// The built library driven through its twelve functions, with its settings
// in the environment and a fresh folder per test for dumps and logs.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/dcrf32.h"

namespace {

namespace fs = std::filesystem;

uint8_t kFactoryKey[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

inline std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Spit(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

inline size_t LineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("dcrf32_sim_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    ClearSettings();
    dc_init(100, 115200);  // lets go of any log file before it is removed
    fs::remove_all(dir_);
  }
  static void ClearSettings() {
    for (const char* name :
         {"DCRF32_SIM_CARD", "DCRF32_SIM_DUMP", "DCRF32_SIM_READER", "DCRF32_SIM_TRACE"})
      unsetenv(name);
  }
  static int32_t Open(const char* card) {
    setenv("DCRF32_SIM_CARD", card, 1);
    return dc_init(100, 115200);
  }
  // The program's find-card sequence up to the select; returns the serial.
  static uint32_t Activate(int32_t h, uint8_t* sak = nullptr) {
    uint32_t tagType = 0, serial = 0;
    uint8_t selected = 0;
    EXPECT_EQ(0, dc_reset(h, 10));
    EXPECT_EQ(0, dc_config_card(h, 'A'));
    EXPECT_EQ(0, dc_request(h, 1, &tagType));
    EXPECT_EQ(0, dc_anticoll(h, 0, &serial));
    EXPECT_EQ(0, dc_select(h, serial, &selected));
    if (sak != nullptr) *sak = selected;
    return serial;
  }
  static std::string ReadBlock(int32_t h, uint8_t block) {
    char hex[40];
    std::memset(hex, '#', sizeof hex);
    if (dc_read_hex(h, block, hex) != 0) return "refused";
    // 32 digits and a NUL, and not a byte more.
    EXPECT_EQ('\0', hex[32]);
    EXPECT_EQ('#', hex[33]);
    return hex;
  }
  static void AuthenticateWithFactoryKeyA(int32_t h, uint8_t sector) {
    ASSERT_EQ(0, dc_load_key(h, 0, sector, kFactoryKey));
    ASSERT_EQ(0, dc_authentication(h, 0, sector));
  }

  fs::path dir_;
};

}  // namespace
