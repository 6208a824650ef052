#pragma once
// Dump files, accepted and refused, as both readers of the dump module take
// them: the program's dump write (its refusal word for word) and the
// virtual reader (a part of the reason it logs). Where a file is taken,
// some of its blocks as the program reads them; a file in the form the
// program saves is also rendered back to the same bytes, and replayed on the
// virtual reader's card of its size.

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
  // The virtual reader's card it is played on.
  const char* preset = "m1";
  // "raw", "mct" or "eml": the program saves the image it reads as exactly
  // this file, and the virtual reader's card writes its last data block.
  std::string saved = {};
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

// A whole card of `sectors` (5, 16 or 40) as the program saves it: the
// factory state with SAK and ATQA of the size, and the last data block
// filled.
struct SizedCard {
  std::vector<std::string> blocks;
  std::vector<int> trailers;
};
inline SizedCard CardOfSectors(int sectors) {
  SizedCard card;
  const int blockCount = sectors == 40 ? 256 : sectors * 4;
  card.blocks.assign(blockCount, std::string(32, '0'));
  card.blocks[0] = sectors == 5 ? "11223344440904006263646566676869"
                   : sectors == 16 ? "11223344440804006263646566676869"
                                   : "11223344441802006263646566676869";
  for (int s = 0; s < sectors; ++s) card.trailers.push_back(s < 32 ? s * 4 + 3 : 128 + (s - 32) * 16 + 15);
  for (int t : card.trailers) card.blocks[t] = "FFFFFFFFFFFFFF078069FFFFFFFFFFFF";
  card.blocks[blockCount - 2] = "00112233445566778899AABBCCDDEEFF";
  return card;
}
inline std::string Saved(const SizedCard& card, const std::string& format) {
  std::string text;
  if (format == "raw") {
    for (const std::string& block : card.blocks)
      for (size_t i = 0; i < 32; i += 2) text += static_cast<char>(std::stoi(block.substr(i, 2), nullptr, 16));
    return text;
  }
  size_t block = 0;
  for (size_t s = 0; s < card.trailers.size(); ++s) {
    if (format == "mct") text += "+Sector: " + std::to_string(s) + "\n";
    for (; block <= static_cast<size_t>(card.trailers[s]); ++block) text += card.blocks[block] + "\n";
  }
  return text;
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
  // A 4K card's dump: the program takes it, the 1K card cannot.
  cases.push_back({"4K card.mct", mct(lines), nullptr,
                   "is a MIFARE Classic 4K card's (4096 bytes); the m1 card is a MIFARE Classic 1K (1024 bytes)",
                   {{63, blocks[63]}, {64, std::string(32, '0')}, {255, std::string(32, '0')}}});
  lines.push_back("+Sector: 40");
  cases.push_back({"41 sectors.mct", mct(lines), "第298行的扇区号40超出了4K卡的扇区0至39",
                   "line 298: sector 40 is past the 40 sectors of a MIFARE Classic 4K card"});
  lines = MctLines(blocks);
  lines.push_back("+Sector: 33");
  lines.insert(lines.end(), 4, std::string(32, '0'));
  cases.push_back({"short sector 33.mct", mct(lines), "第86行之后缺少扇区的块，文件不完整",
                   "sector 33 has 4 of its 16 blocks"});
  // Sectors 0-4 only: as much as a Mini card holds, so taken as one.
  lines = MctLines(blocks);
  cases.push_back({"five sectors.mct", mct({lines.begin(), lines.begin() + 26}), nullptr,
                   "is a MIFARE Classic Mini card's (320 bytes); the m1 card", {{19, blocks[19]}}});

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
  cases.push_back({"65 blocks.eml", Join(eml, "\n"), "文件只有65个块，不足256个块", "has 65 of 256 blocks"});
  cases.push_back({"19 blocks.eml", Join({blocks.begin(), blocks.begin() + 19}, "\n"), "文件只有19个块，不足20个块",
                   "has 19 of 20 blocks"});
  eml = CardOfSectors(40).blocks;
  eml.push_back(blocks[0]);
  cases.push_back({"257 blocks.eml", Join(eml, "\n"), "第257行超出了4K卡的256个块",
                   "line 257 is past the 256 blocks"});

  cases.push_back({"notes.csv", "UID,ATQA\n3A5C7E91,0004\n",
                   "文件有23字节，既不是320、1024或4096字节的原始转储，也不是MCT或.eml文本：第1行不是32位十六进制的块",
                   "neither a raw image (320, 1024 or 4096 bytes) nor MCT or .eml"});
  const char* utf16 = "文件是UTF-16编码的文本，请另存为ASCII或UTF-8编码";
  cases.push_back({"unicode.mct", Utf16(Join(MctLines(blocks), "\r\n"), false), utf16, "is UTF-16 text"});
  cases.push_back({"unicode.eml", Utf16(Join(blocks, "\n"), true), utf16, "is UTF-16 text"});
  const char* cr = "文件的行尾只有CR（回车），请另存为LF或CR LF行尾";
  cases.push_back({"classic mac.mct", Join(MctLines(blocks), "\r"), cr, "has CR-only line ends"});
  cases.push_back({"classic mac.eml", Join(blocks, "\r"), cr, "has CR-only line ends"});
  cases.push_back({"empty.bin", "", "文件只有0个块，不足64个块", "has 0 of 64 blocks"});
  cases.push_back({"1025.bin", std::string(1024, '\x07') + "\n",
                   "文件有1025字节，既不是320、1024或4096字节的原始转储，也不是MCT或.eml文本",
                   "has 1025 bytes and is not text"});
  cases.push_back({"4K card.bin", std::string(4096, '\0'), nullptr, "4K card's (4096 bytes); the m1 card",
                   {{255, std::string(32, '0')}}});
  cases.push_back({"4K card.bin", std::string(4096, '\0'), nullptr, "the mini card is a MIFARE Classic Mini (320 bytes)",
                   {}, "mini"});

  // Each format at each size, as the program saves it and the virtual
  // reader's card of that size plays it.
  const struct {
    int sectors;
    const char* preset;
  } sizes[] = {{5, "mini"}, {16, "m1"}, {40, "4k"}};
  for (const auto& size : sizes) {
    const SizedCard card = CardOfSectors(size.sectors);
    const int last = static_cast<int>(card.blocks.size()) - 1;
    for (const char* format : {"raw", "mct", "eml"}) {
      cases.push_back({std::to_string(size.sectors) + " sectors." + format, Saved(card, format), nullptr, nullptr,
                       {{0, card.blocks[0]}, {last - 1, card.blocks[last - 1]}, {last, card.blocks[last]}},
                       size.preset, format});
    }
  }
  return cases;
}

}  // namespace dump_corpus
