#include "sim/dump_format.h"

#include <algorithm>
#include <bitset>
#include <cstring>

#include "dcrf32/hex.h"
#include "dcrf32/platform.h"

namespace sim {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

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
// order mark, then every ASCII character beside a zero byte.
bool LooksUtf16(const std::string& bytes) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return true;
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
  bool evenZero = true, oddZero = true;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    evenZero = evenZero && bytes[i] == '\0';
    oddZero = oddZero && bytes[i + 1] == '\0';
  }
  return evenZero != oddZero;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Where a line's content starts and ends: around it only blanks, and on the
// first line a UTF-8 byte order mark, which some editors put there.
struct Span {
  size_t begin, end;
};

Span ContentOf(const std::string& line) {
  size_t begin = line.compare(0, 3, kBom) == 0 ? 3 : 0;
  while (begin < line.size() && IsBlank(line[begin])) ++begin;
  size_t end = line.size();
  while (end > begin && IsBlank(line[end - 1])) --end;
  return {begin, end};
}

std::string Content(const std::string& line) {
  const Span s = ContentOf(line);
  return line.substr(s.begin, s.end - s.begin);
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A card may keep its keys to itself; everything else a dump must know.
bool MayBeUnknown(int block, int byte) {
  return block % 4 == 3 && (byte < 6 || byte >= 10);
}

std::string LineName(size_t index) { return "line " + std::to_string(index + 1); }

struct ParsedBlock {
  Block data{};
  std::bitset<kBlockSize> unknown;
};

bool ParseBlockLine(const std::string& line, size_t index, int block, ParsedBlock* out,
                    std::string* problem) {
  const std::string text = Content(line);
  const std::string where = LineName(index) + " (block " + std::to_string(block) + ")";
  for (size_t i = 0; i < text.size() && i < 2 * kBlockSize; ++i) {
    if (DigitValue(text[i]) < 0 && text[i] != '-') {
      *problem = where + ": '" + text.substr(i, 1) + "' is not a hex digit";
      return false;
    }
  }
  if (text.size() != 2 * kBlockSize) {
    *problem = where + " has " + std::to_string(text.size()) +
               " characters; a block is 32 hex digits";
    return false;
  }
  for (int byte = 0; byte < kBlockSize; ++byte) {
    const char high = text[2 * byte], low = text[2 * byte + 1];
    if (high == '-' && low == '-') {
      if (!MayBeUnknown(block, byte)) {
        *problem = where + ": byte " + std::to_string(byte) +
                   " is \"--\"; only the key bytes of a sector trailer may be unknown";
        return false;
      }
      out->unknown[byte] = true;
      out->data[byte] = 0;
    } else if (high == '-' || low == '-') {
      *problem = where + ": byte " + std::to_string(byte) + " is half a dash";
      return false;
    } else {
      out->data[byte] = static_cast<uint8_t>(DigitValue(high) << 4 | DigitValue(low));
    }
  }
  return true;
}

void Store(const ParsedBlock& parsed, int block, DumpImage* image) {
  std::copy(parsed.data.begin(), parsed.data.end(), image->memory.begin() + block * kBlockSize);
  for (int i = 0; i < kBlockSize; ++i) image->unknown[block * kBlockSize + i] = parsed.unknown[i];
}

// "+Sector: N", N decimal, as MIFARE Classic Tool writes it.
bool ParseSectorHeader(const std::string& text, int* sector) {
  static const char kHeader[] = "+Sector:";
  if (text.compare(0, std::strlen(kHeader), kHeader) != 0) return false;
  size_t i = std::strlen(kHeader);
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i == text.size() || text.size() - i > 2) return false;
  int n = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + (text[i] - '0');
  }
  *sector = n;
  return true;
}

bool ParseMct(const std::vector<std::string>& lines, DumpImage* image, DumpLayout* layout,
              std::string* problem) {
  std::bitset<kSectorCount> seen;
  int sector = -1, blocks = 0;
  auto sectorComplete = [&] {
    if (sector < 0 || blocks == 4) return true;
    *problem = "sector " + std::to_string(sector) + " has " + std::to_string(blocks) +
               " of its 4 blocks";
    return false;
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string text = Content(lines[i]);
    if (text.empty() || text[0] == '#') continue;
    if (text[0] == '+') {
      if (!sectorComplete()) return false;
      int n = 0;
      if (!ParseSectorHeader(text, &n)) {
        *problem = LineName(i) + " is not a sector line \"+Sector: N\" with N from 0 to 15";
        return false;
      }
      // A 4K card's dump goes on to sector 39.
      if (n >= kSectorCount) {
        *problem = LineName(i) + ": sector " + std::to_string(n) +
                   " is past the 16 sectors of a MIFARE Classic 1K card";
        return false;
      }
      if (seen[n]) {
        *problem = LineName(i) + ": sector " + std::to_string(n) + " appears twice";
        return false;
      }
      seen[n] = true;
      sector = n;
      blocks = 0;
      continue;
    }
    if (sector < 0) {
      *problem = LineName(i) + " holds data before the first \"+Sector\" line";
      return false;
    }
    if (blocks == 4) {
      *problem = LineName(i) + ": sector " + std::to_string(sector) + " has more than 4 blocks";
      return false;
    }
    const int block = sector * 4 + blocks;
    ParsedBlock parsed;
    if (!ParseBlockLine(lines[i], i, block, &parsed, problem)) return false;
    Store(parsed, block, image);
    layout->blockLine[block] = i;
    ++blocks;
  }
  if (!sectorComplete()) return false;
  if (!seen.all()) {
    int missing = 0;
    while (seen[missing]) ++missing;
    *problem = "has " + std::to_string(seen.count()) + " of 16 sectors; sector " +
               std::to_string(missing) + " is missing";
    return false;
  }
  return true;
}

bool ParseEml(const std::vector<std::string>& lines, DumpImage* image, DumpLayout* layout,
              std::string* problem) {
  int block = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (Content(lines[i]).empty()) continue;
    if (block == kBlockCount) {
      *problem = LineName(i) + " is past the 64 blocks of the card";
      return false;
    }
    ParsedBlock parsed;
    if (!ParseBlockLine(lines[i], i, block, &parsed, problem)) {
      // A first line that is no block at all says more about the file than
      // about the line.
      const std::string text = Content(lines[i]);
      const bool blockShaped = text.size() == 2 * kBlockSize &&
                               std::all_of(text.begin(), text.end(), [](char c) {
                                 return c == '-' || DigitValue(c) >= 0;
                               });
      if (block == 0 && !blockShaped)
        *problem = "is neither a 1024-byte image nor MCT or .eml text: " + *problem;
      return false;
    }
    Store(parsed, block, image);
    layout->blockLine[block] = i;
    ++block;
  }
  if (block < kBlockCount) {
    *problem = "has " + std::to_string(block) + " of 64 blocks";
    return false;
  }
  return true;
}

std::string BlockText(const DumpImage& image, int block) {
  std::string text;
  for (int i = 0; i < kBlockSize; ++i) {
    const int at = block * kBlockSize + i;
    text += image.unknown[at] ? std::string("--") : dcrf32::ToHex(&image.memory[at], 1);
  }
  return text;
}

}  // namespace

const char* FormatName(DumpFormat format) {
  switch (format) {
    case DumpFormat::Raw:
      return "raw image";
    case DumpFormat::Mct:
      return "MCT text";
    case DumpFormat::Eml:
      return ".eml text";
  }
  return "?";
}

bool ParseDump(const std::string& bytes, DumpImage* image, DumpLayout* layout,
               std::string* problem) {
  *image = DumpImage{};
  *layout = DumpLayout{};
  if (LooksBinary(bytes)) {
    if (bytes.size() != static_cast<size_t>(kMemorySize) && LooksUtf16(bytes)) {
      *problem = "is UTF-16 text; save it as ASCII or UTF-8";
      return false;
    }
    if (bytes.size() != static_cast<size_t>(kMemorySize)) {
      *problem = "has " + std::to_string(bytes.size()) +
                 " bytes and is not text; a raw MIFARE Classic 1K image has 1024";
      return false;
    }
    std::memcpy(image->memory.data(), bytes.data(), kMemorySize);
    layout->format = DumpFormat::Raw;
    return true;
  }
  // Lines are split at LF, which leaves CR LF files as they are; a file of
  // old Mac line ends would be one long line.
  if (bytes.find('\n') == std::string::npos && bytes.find('\r') != std::string::npos) {
    *problem = "has CR-only line ends; save it with LF or CR LF line ends";
    return false;
  }
  layout->lines = SplitLines(bytes);
  const bool mct = std::any_of(layout->lines.begin(), layout->lines.end(),
                               [](const std::string& line) {
                                 const std::string text = Content(line);
                                 return !text.empty() && text[0] == '+';
                               });
  layout->format = mct ? DumpFormat::Mct : DumpFormat::Eml;
  return mct ? ParseMct(layout->lines, image, layout, problem)
             : ParseEml(layout->lines, image, layout, problem);
}

std::string RenderDump(const DumpImage& image, const DumpLayout& layout) {
  if (layout.format == DumpFormat::Raw)
    return std::string(image.memory.begin(), image.memory.end());
  std::vector<std::string> lines = layout.lines;
  for (int block = 0; block < kBlockCount; ++block) {
    std::string& line = lines[layout.blockLine[block]];
    const Span s = ContentOf(line);
    const std::string text = BlockText(image, block);
    // Unchanged blocks keep their text, lower-case digits included.
    ParsedBlock was;
    std::string ignored;
    if (ParseBlockLine(line, 0, block, &was, &ignored)) {
      DumpImage old;
      Store(was, block, &old);
      if (BlockText(old, block) == text) continue;
    }
    line = line.substr(0, s.begin) + text + line.substr(s.end);
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += lines[i];
  }
  return out;
}

}  // namespace sim
