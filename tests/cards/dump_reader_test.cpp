// Dump files read back for writing: what each file is, told by its content,
// and the reason a file that is no 1K dump is refused.
#include <gtest/gtest.h>

#include <string>

#include "cards/dump_reader.h"

namespace {

std::string MctSector(int sector) {
  std::string text = "+Sector: " + std::to_string(sector) + "\n";
  for (int b = 0; b < 3; ++b) text += std::string(32, '0' + sector % 10) + "\n";
  return text + "A0A1A2A3A4A5FF078069B0B1B2B3B4B5\n";
}

std::string Utf16(const std::string& ascii, bool littleEndian) {
  std::string out;
  for (char c : ascii) out += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
  return out;
}

}  // namespace

TEST(DumpReader, FilesAreToldByContentAndEachNoOneKDumpGetsItsOwnReasonAndChangesNothing) {
  // Seven sectors after a UTF-8 mark, and a comment up to a raw image's size.
  std::string mct = "\xEF\xBB\xBF";
  for (int s = 0; s < 7; ++s) mct += MctSector(s);
  mct += "#" + std::string(1024 - mct.size() - 2, '-') + "\n";
  CardImage dump;
  std::string problem;
  ASSERT_TRUE(ParseCardDump(mct, &dump, &problem)) << problem;
  EXPECT_TRUE(dump.read[27] && !dump.read[28] && dump.blocks[24][0] == 0x66 && dump.keyA[6] == 0xA0A1A2A3A4A5u);

  std::string eml;
  for (int b = 0; b < 65; ++b) eml += std::string(32, 'F') + "\n";
  const struct {
    std::string bytes;
    const char* problem;
  } cases[] = {
      {"\xFF\xFE" + Utf16(mct, true), "文件是UTF-16编码的文本，请另存为ASCII或UTF-8编码"},
      {Utf16(MctSector(0), false), "文件是UTF-16编码的文本，请另存为ASCII或UTF-8编码"},
      {std::string(4096, '\0'), "文件有4096字节，是MIFARE Classic 4K卡的转储；本程序只能写入1K卡的转储（1024字节）"},
      {std::string(1024, '\x07') + "\n", "文件有1025字节，既不是1024字节的原始转储，也不是MCT或.eml文本"},
      {"UID,ATQA\n3A5C7E91,0004\n", "文件有23字节，既不是1024字节的原始转储，也不是MCT或.eml文本：第1行不是32位十六进制的块"},
      {"+Sector: 0\r" + std::string(32, '0') + "\r", "文件的行尾只有CR（回车），请另存为LF或CR LF行尾"},
      {"+Sector: 16\n" + MctSector(1).substr(11), "第1行的扇区号16超出了1K卡的扇区0至15"},
      {eml, "第65行超出了1K卡的64个块"},
  };
  for (const auto& c : cases) {
    dump = CardImage();
    dump.uid = "untouched";
    EXPECT_FALSE(ParseCardDump(c.bytes, &dump, &problem)) << c.problem;
    EXPECT_EQ(c.problem, problem);
    EXPECT_TRUE(dump.uid == "untouched" && !dump.read[0]);
  }
}
