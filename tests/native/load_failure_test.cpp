#include <gtest/gtest.h>

#include <vector>

#include "reader/load_failure.h"

namespace {

// 512 bytes: a DOS stub whose e_lfanew points at `pe`, with the PE signature
// and `machine` there when they fit.
std::vector<unsigned char> Image(uint32_t pe, uint16_t machine) {
  std::vector<unsigned char> b(0x200, 0);
  b[0] = 'M', b[1] = 'Z';
  for (int i = 0; i < 4; ++i) b[0x3c + i] = static_cast<unsigned char>(pe >> 8 * i);
  if (std::size_t{pe} + 6 <= b.size()) {
    b[pe] = 'P', b[pe + 1] = 'E';
    b[pe + 4] = static_cast<unsigned char>(machine), b[pe + 5] = static_cast<unsigned char>(machine >> 8);
  }
  return b;
}

}  // namespace

TEST(PeMachine, ReadsTheFieldOnlyWhereTheHeadHoldsIt) {
  auto i386 = Image(0x80, kMachineI386);
  EXPECT_EQ(kMachineI386, PeMachine(i386.data(), i386.size()));
  EXPECT_EQ(0, PeMachine(i386.data(), 0x3f));
  auto late = Image(0x1f8, kMachineAmd64);
  EXPECT_EQ(kMachineAmd64, PeMachine(late.data(), 0x1fe));  // the field in the very last bytes read
  EXPECT_EQ(0, PeMachine(late.data(), 0x1fd));
  auto wild = Image(0xFFFFFFFCu, kMachineI386);  // an e_lfanew that wraps a sum
  EXPECT_EQ(0, PeMachine(wild.data(), wild.size()));
  i386[0x81] = 'X';
  EXPECT_EQ(0, PeMachine(i386.data(), i386.size()));
}

TEST(LoadFailure, TheCauseTheUserCanActOn) {
  EXPECT_EQ("找不到读卡器库 dcrf32.dll，请把它放在程序所在的文件夹里",
            ClassifyLoadFailure("dcrf32.dll", {false, 126, 0, kMachineAmd64, ""}).Message());
  // The flavour wins over whatever code the system chose for it.
  for (unsigned long code : {193ul, 126ul})
    EXPECT_EQ("读卡器库 dcrf32.dll 是32位的，本程序是64位的，请换用64位的 dcrf32.dll，或改用32位的本程序",
              ClassifyLoadFailure("dcrf32.dll", {true, code, kMachineI386, kMachineAmd64, ""}).Message());
  EXPECT_EQ(ReaderLoadResult::kDependencyMissing,
            ClassifyLoadFailure("dcrf32.dll", {true, 126, kMachineI386, kMachineI386, ""}).error);
  // A file that is no DLL at all, or one for another processor.
  for (uint16_t machine : {uint16_t{0}, uint16_t{0xAA64}})
    EXPECT_EQ("读卡器库 dcrf32.dll 加载失败，错误代码 193",
              ClassifyLoadFailure("dcrf32.dll", {true, 193, machine, kMachineAmd64, ""}).Message());
}
