#include <algorithm>
#include <cstring>

#include "cards/dump_file.h"
#include "cards/dump_text.h"
#include "cards/hex.h"

using dump_text::Content;

DumpFile::DumpFile(CardSize size)
    : size(size),
      bytes(LayoutOf(size).BytesTotal()),
      unknown(LayoutOf(size).BytesTotal()),
      missing(LayoutOf(size).blocks),
      blockLine(LayoutOf(size).blocks) {}

void DumpFile::Resize(CardSize smaller) {
  size = smaller;
  const Layout l = layout();
  bytes.resize(l.BytesTotal());
  unknown.resize(l.BytesTotal());
  missing.resize(l.blocks);
  blockLine.resize(l.blocks);
}

namespace {

constexpr CardSize kSizes[] = {CardSize::kMini, CardSize::k1K, CardSize::k4K};

// The size whose raw image has that many bytes.
bool RawSize(size_t bytes, CardSize* size) {
  for (CardSize s : kSizes) {
    if (bytes != static_cast<size_t>(LayoutOf(s).BytesTotal())) continue;
    *size = s;
    return true;
  }
  return false;
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
// trailers hold non-zero bytes at odd and even offsets alike, and at the
// raw size the file is taken as one.
bool LooksUtf16(const std::string& bytes) {
  CardSize ignored;
  if (RawSize(bytes.size(), &ignored)) return false;
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

// Read as a 4K card's, then cut to the size of the highest sector present.
bool ReadMct(DumpFile* dump, DumpProblem* problem) {
  std::bitset<kMaxSectors> seen;
  int sector = -1, blocks = 0;
  size_t last = 0;  // the line of the sector's last block
  auto sectorComplete = [&] {
    if (sector < 0 || blocks == k4KLayout.BlocksIn(sector)) return true;
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
      if (n >= kMaxSectors) return Refuse(problem, DumpProblem::kSectorPastCard, i, n);
      if (seen[n]) return Refuse(problem, DumpProblem::kSectorTwice, i, n);
      seen[n] = true;
      sector = n;
      blocks = 0;
      last = i;
      continue;
    }
    if (sector < 0) return Refuse(problem, DumpProblem::kDataBeforeSector, i);
    if (blocks == k4KLayout.BlocksIn(sector)) return Refuse(problem, DumpProblem::kSectorTooLong, i, sector);
    if (!ReadBlock(i, k4KLayout.FirstBlock(sector) + blocks, dump, problem)) return false;
    ++blocks;
    last = i;
  }
  if (!sectorComplete()) return false;
  // A dump that leaves sectors out cannot say how many the card had. The
  // smallest card that holds its highest sector is the one claim it
  // supports: a dump of sectors 0-4 is taken as a Mini card's, though it may
  // be part of a 1K one; writing it onto a bigger card still fits.
  int highest = 0;
  for (int s = 0; s < kMaxSectors; ++s)
    if (seen[s]) highest = s;
  for (CardSize size : kSizes) {
    if (highest >= LayoutOf(size).sectors) continue;
    dump->Resize(size);
    break;
  }
  return true;
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

// Read as a 4K card's, then cut to the size the number of blocks names.
bool ReadEml(DumpFile* dump, DumpProblem* problem) {
  int block = 0;
  for (size_t i = 0; i < dump->lines.size(); ++i) {
    const std::string text = Content(dump->lines[i]);
    if (text.empty()) continue;
    if (block == k4KLayout.blocks) return Refuse(problem, DumpProblem::kPastLastBlock, i);
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
  for (CardSize size : kSizes) {
    if (block != LayoutOf(size).blocks) continue;
    dump->Resize(size);
    return true;
  }
  // Short of the next size up; an empty file, of the most common one.
  problem->kind = DumpProblem::kTooFewBlocks;
  problem->count = block;
  problem->number = block == 0 ? k1KLayout.blocks : k4KLayout.blocks;
  for (CardSize size : {CardSize::k1K, CardSize::kMini})
    if (block > 0 && block < LayoutOf(size).blocks) problem->number = LayoutOf(size).blocks;
  return false;
}

}  // namespace

bool ReadDump(const std::string& bytes, DumpFile* dump, DumpProblem* problem) {
  *problem = DumpProblem{};
  problem->size = bytes.size();
  DumpFile file(CardSize::k4K);
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
  // No whole .eml dump has a raw image's size: unless such a text starts
  // like one or names a sector, it is a raw image whose bytes all happen to
  // be printable (no zeros, access bytes such as 78 77 88).
  CardSize rawSize;
  if (RawSize(bytes.size(), &rawSize) &&
      (binary || (bytes.find("+Sector") == std::string::npos && !StartsWithBlock(file.lines)))) {
    DumpFile raw(rawSize);
    std::memcpy(raw.bytes.data(), bytes.data(), bytes.size());
    *dump = raw;
    return true;
  }
  if (binary) {
    problem->kind = DumpProblem::kWrongSize;
    return false;
  }
  file.missing.assign(file.missing.size(), true);
  file.unknown.assign(file.unknown.size(), true);
  file.format = mct ? DumpFormat::Mct : DumpFormat::Eml;
  if (!(mct ? ReadMct(&file, problem) : ReadEml(&file, problem))) return false;
  *dump = file;
  return true;
}
