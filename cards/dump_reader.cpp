#include "cards/dump_reader.h"

#include <cstdio>
#include <vector>

#include "txtconv/txtconv.h"

namespace {

bool AllDashes(const std::string& text, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i)
    if (text[i] != '-') return false;
  return true;
}

// `count` bytes from the hex digits at `from`; false, and `out` untouched,
// when they are not all hex digits.
bool Bytes(const std::string& text, size_t from, size_t count, uint8_t* out) {
  return HexToBytes(text.c_str() + from, out, static_cast<int>(2 * count));
}

std::string LineProblem(int line, const char* what) {
  char text[96];
  std::snprintf(text, sizeof text, "第%d行%s", line, what);
  return text;
}

// The file's lines without their line ends and trailing blanks, and
// without the UTF-8 byte order mark Notepad may put before the first.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// Raw images hold access bytes such as 07 and 80 and nearly always zeros;
// text dumps hold none of the control characters.
bool LooksBinary(const std::string& bytes) {
  for (unsigned char c : bytes) {
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// Notepad's "Unicode" and PowerShell's redirections write UTF-16: a byte
// order mark, then every ASCII character beside a zero byte. A raw image's
// trailers hold non-zero bytes at odd and even offsets alike, so only the
// mark needs the zeros to go with it at the raw size.
bool LooksUtf16(const std::string& bytes) {
  const bool mark = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
  const size_t from = mark ? 2 : 0;
  bool alternating = false;
  if (bytes.size() >= from + 2 && bytes.size() % 2 == 0) {
    bool evenZero = true, oddZero = true;
    for (size_t i = from; i < bytes.size(); i += 2) {
      evenZero = evenZero && bytes[i] == '\0';
      oddZero = oddZero && bytes[i + 1] == '\0';
    }
    alternating = evenZero != oddZero;
  }
  return alternating || (mark && bytes.size() != kCardBlocks * 16);
}

bool IsBlockText(const std::string& line) {
  if (line.size() != 32) return false;
  uint8_t ignored[16];
  return Bytes(line, 0, 16, ignored);
}

std::string NotADump(size_t size) {
  return "文件有" + std::to_string(size) + "字节，既不是1024字节的原始转储，也不是MCT或.eml文本";
}

// One MCT block line at `address`; false when it is neither hex nor the
// dashes a dump may hold there.
bool MctBlock(const std::string& line, int address, CardImage* image) {
  if (line.size() != 32) return false;
  if (AllDashes(line, 0, 32)) return true;
  const int sector = address / 4;
  if (address % 4 != 3) {
    if (!Bytes(line, 0, 16, image->blocks[address].data())) return false;
    image->read[address] = true;
    return true;
  }
  if (!Bytes(line, 12, 4, &image->blocks[address][6])) return false;
  image->read[address] = true;
  if (Bytes(line, 0, 6, &image->blocks[address][0])) {
    image->keyA[sector] = KeyFromBytes(&image->blocks[address][0]);
    image->keyAKnown[sector] = true;
  } else if (!AllDashes(line, 0, 12)) {
    return false;
  }
  if (Bytes(line, 20, 6, &image->blocks[address][10])) {
    image->keyB[sector] = KeyFromBytes(&image->blocks[address][10]);
    image->keyBKnown[sector] = true;
  } else if (!AllDashes(line, 20, 12)) {
    return false;
  }
  return true;
}

bool ParseMct(const std::vector<std::string>& lines, CardImage* image, std::string* problem) {
  bool seen[kCardSectors] = {};
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '#') continue;
    int sector = -1;
    char rest = 0;
    if (std::sscanf(line.c_str(), "+Sector: %d%c", &sector, &rest) != 1 || sector < 0) {
      *problem = LineProblem(static_cast<int>(i) + 1, "不是“+Sector: 扇区号”");
      return false;
    }
    // A 4K card's dump goes on to sector 39.
    if (sector >= kCardSectors) {
      *problem = LineProblem(static_cast<int>(i) + 1,
                             ("的扇区号" + std::to_string(sector) + "超出了1K卡的扇区0至15").c_str());
      return false;
    }
    if (seen[sector]) {
      *problem = LineProblem(static_cast<int>(i) + 1, "重复了前面的扇区");
      return false;
    }
    seen[sector] = true;
    for (int block = 0; block < 4; ++block) {
      ++i;
      if (i >= lines.size()) {
        *problem = LineProblem(static_cast<int>(i), "之后缺少扇区的块，文件不完整");
        return false;
      }
      if (!MctBlock(lines[i], sector * 4 + block, image)) {
        *problem = LineProblem(static_cast<int>(i) + 1, "不是32位十六进制的块");
        return false;
      }
    }
  }
  return true;
}

bool ParseEml(const std::vector<std::string>& lines, CardImage* image, std::string* problem) {
  int address = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    if (address == kCardBlocks) {
      *problem = LineProblem(static_cast<int>(i) + 1, "超出了1K卡的64个块");
      return false;
    }
    if (!IsBlockText(lines[i])) {
      *problem = LineProblem(static_cast<int>(i) + 1, "不是32位十六进制的块");
      return false;
    }
    Bytes(lines[i], 0, 16, image->blocks[address].data());
    image->read[address++] = true;
  }
  if (address != kCardBlocks) {
    *problem = "文件只有" + std::to_string(address) + "个块，不足64个块";
    return false;
  }
  return true;
}

}  // namespace

bool ParseCardDump(const std::string& bytes, CardImage* image, std::string* problem) {
  if (LooksUtf16(bytes)) {
    *problem = "文件是UTF-16编码的文本，请另存为ASCII或UTF-8编码";
    return false;
  }
  const bool text = !LooksBinary(bytes);
  // Lines are split at LF, which leaves CR LF files as they are; a file of
  // old Mac line ends would be one long line.
  if (text && bytes.find('\n') == std::string::npos && bytes.find('\r') != std::string::npos) {
    *problem = "文件的行尾只有CR（回车），请另存为LF或CR LF行尾";
    return false;
  }
  const std::vector<std::string> lines = text ? Lines(bytes) : std::vector<std::string>();
  const bool mct = text && bytes.find("+Sector") != std::string::npos;
  size_t first = 0;
  while (first < lines.size() && lines[first].empty()) ++first;
  const bool blank = text && first == lines.size();
  const bool eml = text && !mct && !blank && IsBlockText(lines[first]);
  // A partial MCT file may be exactly as long as a raw image; the size
  // decides only for what is no text dump.
  const bool raw = !mct && !eml && bytes.size() == kCardBlocks * 16;
  if (!raw && !text) {
    *problem = bytes.size() == 4 * kCardBlocks * 16
                   ? "文件有4096字节，是MIFARE Classic 4K卡的转储；本程序只能写入1K卡的转储（1024字节）"
                   : NotADump(bytes.size());
    return false;
  }
  if (!raw && text && !mct && !eml && !blank) {
    *problem = NotADump(bytes.size()) + "：" + LineProblem(static_cast<int>(first) + 1, "不是32位十六进制的块");
    return false;
  }
  CardImage parsed;
  bool ok = true;
  if (raw) {
    for (int b = 0; b < kCardBlocks; ++b) {
      for (int i = 0; i < 16; ++i) parsed.blocks[b][i] = static_cast<uint8_t>(bytes[b * 16 + i]);
      parsed.read[b] = true;
    }
  } else if (mct) {
    ok = ParseMct(lines, &parsed, problem);
  } else {
    ok = ParseEml(lines, &parsed, problem);
  }
  if (!ok) return false;
  // Raw and .eml hold every trailer whole: its keys are the dump's keys.
  for (int s = 0; s < kCardSectors && !mct; ++s) {
    parsed.keyA[s] = KeyFromBytes(&parsed.blocks[s * 4 + 3][0]);
    parsed.keyB[s] = KeyFromBytes(&parsed.blocks[s * 4 + 3][10]);
    parsed.keyAKnown[s] = parsed.keyBKnown[s] = true;
  }
  *image = parsed;
  return true;
}
