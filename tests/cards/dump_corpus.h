#pragma once
// Dump files, accepted and refused, as both readers of the dump module take
// them: the program's dump write (its refusal word for word) and the
// virtual reader (a part of the reason it logs). Where a file is taken,
// some of its blocks as the program reads them.

#include <string>
#include <utility>
#include <vector>

namespace dump_corpus {

struct Case {
  std::string name;
  std::string content;
  const char* program;  // null: taken
  const char* reader;   // null: taken
  // Taken by the program: blocks as read, 32 dashes for one not read,
  // 12 dashes for an unknown key.
  std::vector<std::pair<int, std::string>> blocks = {};
};

inline std::string Join(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// A card's 64 blocks: UID 11 22 33 44, BCC 44, SAK 08, ATQA 0004.
inline std::vector<std::string> CardBlocks() {
  std::vector<std::string> blocks(64, std::string(32, '0'));
  blocks[0] = "11223344440804006263646566676869";
  for (int sector = 0; sector < 16; ++sector) blocks[sector * 4 + 3] = "FFFFFFFFFFFFFF078069FFFFFFFFFFFF";
  return blocks;
}

inline std::vector<std::string> MctLines(const std::vector<std::string>& blocks) {
  std::vector<std::string> lines = {"# read with MIFARE Classic Tool"};
  for (int sector = 0; sector < 16; ++sector) {
    lines.push_back("+Sector: " + std::to_string(sector));
    for (int block = 0; block < 4; ++block) lines.push_back(blocks[sector * 4 + block]);
  }
  return lines;
}

// Index of block b in MctLines: one comment line, then 5 lines per sector.
inline size_t MctLineOf(int block) { return 1 + (block / 4) * 5 + 1 + block % 4; }

// As Notepad saves "Unicode" (little-endian, with its byte order mark), and
// big-endian without the mark.
inline std::string Utf16(const std::string& text, bool bigEndian) {
  std::string wide = bigEndian ? "" : "\xFF\xFE";
  for (char c : text) wide += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return wide;
}

inline std::vector<Case> Cases() {
  const std::vector<std::string> blocks = CardBlocks();
  const std::string dashes(32, '-');
  std::vector<Case> cases;
  auto mct = [&](std::vector<std::string> lines) { return Join(lines, "\n"); };
  std::vector<std::string> lines;

  // As editors leave text: a UTF-8 mark, CR LF, indented blocks, blank
  // lines and lower-case digits; no line end at the end.
  lines = MctLines(blocks);
  lines[MctLineOf(4)] = "  0123456789abcdef0123456789abcdef";
  lines[MctLineOf(8) - 1] = "\t+Sector: 2  ";
  lines.insert(lines.begin() + MctLineOf(9), "");
  std::string text = "\xEF\xBB\xBF" + Join(lines, "\r\n");
  cases.push_back({"edited.mct", text.substr(0, text.size() - 2), nullptr, nullptr,
                   {{4, "0123456789ABCDEF0123456789ABCDEF"}, {63, "FFFFFFFFFFFFFF078069FFFFFFFFFFFF"}}});
  std::vector<std::string> eml = blocks;
  eml[2] = " 00112233445566778899aabbccddeeff";
  cases.push_back({"edited.eml", "\xEF\xBB\xBF" + Join(eml, "\r\n"), nullptr, nullptr,
                   {{2, "00112233445566778899AABBCCDDEEFF"}, {0, blocks[0]}}});

  // Seven sectors, and a comment up to a raw image's size: the program
  // writes what a dump holds, the virtual reader needs a whole card.
  text = "\xEF\xBB\xBF";
  for (int s = 0; s < 7; ++s) {
    text += "+Sector: " + std::to_string(s) + "\n";
    for (int b = 0; b < 3; ++b) text += std::string(32, '0' + s) + "\n";
    text += "A0A1A2A3A4A5FF078069B0B1B2B3B4B5\n";
  }
  text += "#" + std::string(1024 - text.size() - 2, '-') + "\n";
  cases.push_back({"seven sectors.mct", text, nullptr, "has 7 of 16 sectors; sector 7 is missing",
                   {{24, std::string(32, '6')}, {27, "A0A1A2A3A4A5FF078069B0B1B2B3B4B5"}, {28, dashes}}});
  lines = MctLines(blocks);
  cases.push_back({"no sector 15.mct", mct({lines.begin(), lines.end() - 5}), nullptr,
                   "15 of 16 sectors; sector 15 is missing", {{59, blocks[59]}, {60, dashes}}});
  lines = MctLines(blocks);
  lines[MctLineOf(5)] = dashes;
  cases.push_back({"unread block.mct", mct(lines), nullptr, "block 5): byte 0 is \"--\"", {{5, dashes}}});

  lines = MctLines(blocks);
  lines.erase(lines.begin() + MctLineOf(29));
  cases.push_back({"three blocks.mct", mct(lines), "第40行之后缺少扇区的块，文件不完整", "sector 7 has 3 of its 4 blocks"});
  lines = MctLines(blocks);
  lines[MctLineOf(8) - 1] = "+Sector: 1";
  cases.push_back({"twice.mct", mct(lines), "第12行重复了前面的扇区", "sector 1 appears twice"});
  lines = MctLines(blocks);
  lines[MctLineOf(7)] = "FFFFFFFFFFFF--078069FFFFFFFFFFFF";
  cases.push_back({"dashed access bits.mct", mct(lines), "第11行不是32位十六进制的块", "block 7): byte 6 is \"--\""});
  lines = MctLines(blocks);
  lines[MctLineOf(11)] = "FFFFFFFFFFFFFF078069----FFFFFFFF";
  cases.push_back({"half a key.mct", mct(lines), "第16行不是32位十六进制的块", nullptr});
  lines = MctLines(blocks);
  lines[MctLineOf(2)] = std::string(31, '0') + "G";
  cases.push_back({"not hex.mct", mct(lines), "第5行不是32位十六进制的块", "line 5 (block 2): 'G' is not a hex digit"});
  lines = MctLines(blocks);
  for (int sector = 16; sector < 40; ++sector) {
    lines.push_back("+Sector: " + std::to_string(sector));
    lines.insert(lines.end(), sector < 32 ? 4 : 16, std::string(32, '0'));
  }
  cases.push_back({"4K card.mct", mct(lines), "第82行的扇区号16超出了1K卡的扇区0至15",
                   "line 82: sector 16 is past the 16 sectors"});

  eml = blocks;
  cases.push_back({"63 blocks.eml", Join({blocks.begin(), blocks.end() - 1}, "\n"), "文件只有63个块，不足64个块",
                   "has 63 of 64 blocks"});
  eml[9] = eml[9].substr(0, 30);
  cases.push_back({"short line.eml", Join(eml, "\n"), "第10行不是32位十六进制的块", "line 10 (block 9) has 30 characters"});
  eml = blocks;
  eml[2][17] = 'G';
  cases.push_back({"not hex.eml", Join(eml, "\n"), "第3行不是32位十六进制的块", "line 3 (block 2): 'G' is not a hex digit"});
  eml = blocks;
  eml.push_back(blocks[0]);
  cases.push_back({"65 blocks.eml", Join(eml, "\n"), "第65行超出了1K卡的64个块", "line 65 is past the 64 blocks"});

  cases.push_back({"notes.csv", "UID,ATQA\n3A5C7E91,0004\n",
                   "文件有23字节，既不是1024字节的原始转储，也不是MCT或.eml文本：第1行不是32位十六进制的块",
                   "neither a 1024-byte image nor MCT or .eml"});
  const char* utf16 = "文件是UTF-16编码的文本，请另存为ASCII或UTF-8编码";
  cases.push_back({"unicode.mct", Utf16(Join(MctLines(blocks), "\r\n"), false), utf16, "is UTF-16 text"});
  cases.push_back({"unicode.eml", Utf16(Join(blocks, "\n"), true), utf16, "is UTF-16 text"});
  const char* cr = "文件的行尾只有CR（回车），请另存为LF或CR LF行尾";
  cases.push_back({"classic mac.mct", Join(MctLines(blocks), "\r"), cr, "has CR-only line ends"});
  cases.push_back({"classic mac.eml", Join(blocks, "\r"), cr, "has CR-only line ends"});
  cases.push_back({"empty.bin", "", "文件只有0个块，不足64个块", "has 0 of 64 blocks"});
  cases.push_back({"1025.bin", std::string(1024, '\x07') + "\n",
                   "文件有1025字节，既不是1024字节的原始转储，也不是MCT或.eml文本", "has 1025 bytes and is not text"});
  cases.push_back({"4K card.bin", std::string(4096, '\0'),
                   "文件有4096字节，是MIFARE Classic 4K卡的转储；本程序只能写入1K卡的转储（1024字节）",
                   "has 4096 bytes and is not text"});
  return cases;
}

}  // namespace dump_corpus
