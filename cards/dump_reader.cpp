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

// The file's lines without their line ends and trailing blanks.
std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
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
    if (std::sscanf(line.c_str(), "+Sector: %d%c", &sector, &rest) != 1 || sector < 0 || sector >= kCardSectors) {
      *problem = LineProblem(static_cast<int>(i) + 1, "不是“+Sector: 扇区号”");
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
    if (address == kCardBlocks || lines[i].size() != 32 || !Bytes(lines[i], 0, 16, image->blocks[address].data())) {
      *problem = LineProblem(static_cast<int>(i) + 1, "不是32位十六进制的块");
      return false;
    }
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
  CardImage parsed;
  const bool raw = bytes.size() == kCardBlocks * 16;
  const bool mct = !raw && bytes.find("+Sector") != std::string::npos;
  bool ok = true;
  if (raw) {
    for (int b = 0; b < kCardBlocks; ++b) {
      for (int i = 0; i < 16; ++i) parsed.blocks[b][i] = static_cast<uint8_t>(bytes[b * 16 + i]);
      parsed.read[b] = true;
    }
  } else if (mct) {
    ok = ParseMct(Lines(bytes), &parsed, problem);
  } else {
    ok = ParseEml(Lines(bytes), &parsed, problem);
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
