#include <algorithm>
#include <cstring>

#include "cards/dump_file.h"
#include "cards/dump_text.h"
#include "cards/hex.h"

using dump_text::Content;

namespace {

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
// trailers hold non-zero bytes at odd and even offsets alike, and at the
// raw size the file is taken as one.
bool LooksUtf16(const std::string& bytes) {
  if (bytes.size() == static_cast<size_t>(kDumpBytes)) return false;
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

// A problem at line index `index`.
bool Refuse(DumpProblem* problem, DumpProblem::Kind kind, size_t index, int number = 0) {
  problem->kind = kind;
  problem->line = static_cast<int>(index) + 1;
  problem->number = number;
  return false;
}

bool ReadBlock(size_t index, int block, DumpFile* dump, DumpProblem* problem) {
  dump_text::BlockBytes parsed;
  if (!dump_text::ParseBlock(Content(dump->lines[index]), &parsed, problem)) {
    problem->line = static_cast<int>(index) + 1;
    problem->block = block;
    return false;
  }
  std::copy(parsed.data, parsed.data + kBlockSize, dump->bytes.begin() + block * kBlockSize);
  for (int i = 0; i < kBlockSize; ++i) dump->unknown[block * kBlockSize + i] = parsed.unknown[i];
  dump->missing[block] = false;
  dump->blockLine[block] = static_cast<int>(index);
  return true;
}

// "+Sector: N", N decimal, as MIFARE Classic Tool writes it, read as
// leniently as scanf's "%d" would: any blanks, a sign, leading zeros.
bool ParseSectorHeader(const std::string& text, int* sector) {
  static const char kHeader[] = "+Sector:";
  if (text.compare(0, std::strlen(kHeader), kHeader) != 0) return false;
  size_t i = std::strlen(kHeader);
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
  const bool minus = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '+' || minus)) ++i;
  if (i == text.size() || text.size() - i > 9) return false;
  int n = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + (text[i] - '0');
  }
  *sector = n;
  return !minus || n == 0;
}

bool ReadMct(DumpFile* dump, DumpProblem* problem) {
  std::bitset<kDumpSectors> seen;
  int sector = -1, blocks = 0;
  size_t last = 0;  // the line of the sector's last block
  auto sectorComplete = [&] {
    if (sector < 0 || blocks == k1KLayout.BlocksIn(sector)) return true;
    problem->count = blocks;
    return Refuse(problem, DumpProblem::kSectorShort, last, sector);
  };
  for (size_t i = 0; i < dump->lines.size(); ++i) {
    const std::string text = Content(dump->lines[i]);
    if (text.empty() || text[0] == '#') continue;
    if (text[0] == '+') {
      if (!sectorComplete()) return false;
      int n = 0;
      if (!ParseSectorHeader(text, &n)) return Refuse(problem, DumpProblem::kNotSectorLine, i);
      // A 4K card's dump goes on to sector 39.
      if (n >= kDumpSectors) return Refuse(problem, DumpProblem::kSectorPastCard, i, n);
      if (seen[n]) return Refuse(problem, DumpProblem::kSectorTwice, i, n);
      seen[n] = true;
      sector = n;
      blocks = 0;
      last = i;
      continue;
    }
    if (sector < 0) return Refuse(problem, DumpProblem::kDataBeforeSector, i);
    if (blocks == k1KLayout.BlocksIn(sector)) return Refuse(problem, DumpProblem::kSectorTooLong, i, sector);
    if (!ReadBlock(i, k1KLayout.FirstBlock(sector) + blocks, dump, problem)) return false;
    ++blocks;
    last = i;
  }
  return sectorComplete();
}

// Whether the first line that holds anything is 32 hex digits.
bool StartsWithBlock(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string text = Content(line);
    uint8_t ignored[kBlockSize];
    if (!text.empty()) return text.size() == 2 * kBlockSize && HexBytes(text.c_str(), ignored, kBlockSize);
  }
  return false;
}

bool ReadEml(DumpFile* dump, DumpProblem* problem) {
  int block = 0;
  for (size_t i = 0; i < dump->lines.size(); ++i) {
    const std::string text = Content(dump->lines[i]);
    if (text.empty()) continue;
    if (block == kDumpBlocks) return Refuse(problem, DumpProblem::kPastLastBlock, i);
    if (!ReadBlock(i, block, dump, problem)) {
      // A first line that is no block at all says more about the file than
      // about the line.
      problem->noDump = block == 0 && (text.size() != 2 * kBlockSize ||
                                       !std::all_of(text.begin(), text.end(), [](char c) {
                                         return c == '-' || HexDigitValue(c) >= 0;
                                       }));
      return false;
    }
    ++block;
  }
  if (block < kDumpBlocks) {
    problem->kind = DumpProblem::kTooFewBlocks;
    problem->count = block;
    return false;
  }
  return true;
}

}  // namespace

bool ReadDump(const std::string& bytes, DumpFile* dump, DumpProblem* problem) {
  *problem = DumpProblem{};
  problem->size = bytes.size();
  DumpFile file;
  if (LooksUtf16(bytes)) {
    problem->kind = DumpProblem::kUtf16;
    return false;
  }
  const bool binary = LooksBinary(bytes);
  // Lines are split at LF, which leaves CR LF files as they are; a file of
  // old Mac line ends would be one long line.
  if (!binary && bytes.find('\n') == std::string::npos && bytes.find('\r') != std::string::npos) {
    problem->kind = DumpProblem::kCrLineEnds;
    return false;
  }
  if (!binary) file.lines = SplitLines(bytes);
  // "+Sector" anywhere made a file MCT text to the program, a line starting
  // with '+' to the virtual reader.
  const bool mct = !binary && (bytes.find("+Sector") != std::string::npos ||
                               std::any_of(file.lines.begin(), file.lines.end(), [](const std::string& line) {
                                 const std::string text = Content(line);
                                 return !text.empty() && text[0] == '+';
                               }));
  // 1024 bytes of text can hold no whole .eml dump: unless it starts like
  // one or names a sector, it is a raw image whose bytes all happen to be
  // printable (no zeros, access bytes such as 78 77 88).
  if (bytes.size() == static_cast<size_t>(kDumpBytes) &&
      (binary || (bytes.find("+Sector") == std::string::npos && !StartsWithBlock(file.lines)))) {
    file.lines.clear();
    std::memcpy(file.bytes.data(), bytes.data(), bytes.size());
    *dump = file;
    return true;
  }
  if (binary) {
    problem->kind = bytes.size() == static_cast<size_t>(k4KLayout.BytesTotal()) ? DumpProblem::k4KImage
                                                                                : DumpProblem::kWrongSize;
    return false;
  }
  file.missing.set();
  file.unknown.set();
  file.format = mct ? DumpFormat::Mct : DumpFormat::Eml;
  if (!(mct ? ReadMct(&file, problem) : ReadEml(&file, problem))) return false;
  *dump = file;
  return true;
}
