// The PC/SC reader library under Wine: the real QUILLON.exe in a folder
// with pcsc/dcrf32.dll beside it. Wine has no working PC/SC, so there is no
// reader to find: the program must start, report that the reader did not
// open, and take every later command without a crash.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app_driver.h"
#include "res/resource.h"

namespace {

class PcscFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    dir_ = std::wstring(tmp) + L"quillon-pcsc-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(dir_.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(BesideMe(L"QUILLON.exe").c_str(), (dir_ + L"QUILLON.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(BesideMe(L"pcsc\\dcrf32.dll").c_str(), (dir_ + L"dcrf32.dll").c_str(), FALSE));
  }
  void TearDown() override {
    for (const wchar_t* name : {L"QUILLON.exe", L"dcrf32.dll", L"trace.log"})
      DeleteFileW((dir_ + name).c_str());
    RemoveDirectoryW(dir_.c_str());
  }
  std::string Trace() const {
    std::ifstream in((dir_ + L"trace.log").c_str());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::wstring dir_;
  AppDriver app_;
};

}  // namespace

TEST_F(PcscFolder, OpeningFailsCleanlyAndEveryCommandStillAnswers) {
  ASSERT_TRUE(app_.Start(dir_ + L"QUILLON.exe", {{L"DCRF32_PCSC_TRACE", dir_ + L"trace.log"}}))
      << "QUILLON.exe did not show its window";
  app_.Click(IDC_OPEN_READER);
  EXPECT_EQ(0u, app_.Text(IDC_STATUS).rfind("读卡器打开失败了", 0)) << app_.Text(IDC_STATUS);
  app_.Click(IDC_FIND_CARD);
  EXPECT_EQ("dc_reset卡片复位失败", app_.Text(IDC_STATUS));
  app_.Click(IDC_LOAD_KEY_A);
  EXPECT_EQ("装载第0扇区A密钥失败", app_.Text(IDC_STATUS));
  app_.Click(IDC_READ_CARD);
  EXPECT_EQ(0u, app_.Lines(IDC_READ_LIST).size());
  EXPECT_EQ("卡片已更换或已离开，请重新寻卡", app_.Text(IDC_STATUS));
  app_.Click(IDC_WRITE_CARD);
  EXPECT_EQ(0u, app_.Close());

  // The library says what PC/SC answered, and that it opened nothing.
  const std::string trace = Trace();
  EXPECT_NE(std::string::npos, trace.find("\tSCardEstablishContext\t")) << trace;
  EXPECT_NE(std::string::npos, trace.find("\tdc_init\t100,115200,-\t-")) << trace;
}
