#pragma once
// The dump files people keep MIFARE Classic 1K cards in, read and written
// with one grammar for the program and the virtual reader. Three formats,
// told apart by content:
//   raw  1024 bytes, blocks 0-63 in order (.bin, .mfd)
//   MCT  text: "+Sector: N" lines, each followed by its four blocks as 32
//        hex digits; "#" comments
//   eml  text: 64 lines of 32 hex digits
// In text, "--" stands for a byte the tool did not know: 12 dashes over a
// trailer's key bytes for a key it never learnt, 32 for a block it never
// read. A UTF-8 byte order mark, CR LF line ends, blank lines and blanks
// around a line are accepted, and a text dump is written back line for
// line: comments, line ends and unchanged blocks stay exactly as they were.
//
// What a file may leave unknown is its reader's business: the virtual
// reader needs every block, the program takes a partial MCT dump.

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/layout.h"

constexpr int kDumpBlocks = k1KLayout.blocks;
constexpr int kDumpSectors = k1KLayout.sectors;
constexpr int kDumpBytes = k1KLayout.BytesTotal();

enum class DumpFormat { Raw, Mct, Eml };

struct DumpFile {
  DumpFormat format = DumpFormat::Raw;
  std::array<uint8_t, kDumpBytes> bytes{};
  // "--" bytes, held as zeros; also every byte of a block the file leaves out.
  std::bitset<kDumpBytes> unknown;
  // Blocks of the sectors an MCT file leaves out.
  std::bitset<kDumpBlocks> missing;
  // Text: the file split at '\n', each line as it was, and the line that
  // holds each block. Without lines, a text format is written fresh.
  std::vector<std::string> lines;
  std::array<int, kDumpBlocks> blockLine{};

  // How many of the block's bytes `from` to `from + count - 1` are unknown.
  int UnknownIn(int block, int from, int count) const {
    int n = 0;
    for (int i = from; i < from + count; ++i) n += unknown[block * kBlockSize + i];
    return n;
  }
};

// Why a file is no dump. Line numbers count from 1.
struct DumpProblem {
  enum Kind {
    kUtf16,           // a UTF-16 text
    k4KImage,         // 4096 bytes of no text: a 4K card's raw image
    kWrongSize,       // no text, and not 1024 bytes
    kCrLineEnds,      // old Mac line ends
    kNotSectorLine,   // `line` starts with '+' but is no "+Sector: N"
    kSectorPastCard,  // `line` names sector `number`, past a 1K card's
    kSectorTwice,     // `line` names sector `number` again
    kDataBeforeSector,
    kSectorTooLong,   // `line` is a fifth block of sector `number`
    kSectorShort,     // sector `number` has `count` blocks, the last at `line`
    kBadDigit,        // `line` (block `block`) holds `digit`
    kBadLength,       // `line` (block `block`) has `count` characters
    kHalfDash,        // `line` (block `block`), byte `number` is "-" and a digit
    kPastLastBlock,   // eml: `line` is a 65th block
    kTooFewBlocks,    // eml: `count` blocks
  };
  Kind kind = kWrongSize;
  int line = 0;
  int block = 0;
  int number = 0;
  int count = 0;
  char digit = 0;
  size_t size = 0;  // the file's, in bytes
  // The bad block line is a text file's first: the file is no dump at all.
  bool noDump = false;
};

bool ReadDump(const std::string& bytes, DumpFile* dump, DumpProblem* problem);

// The file's bytes: raw as the image, text in place of the lines it was
// read from, or fresh when it has none.
std::string WriteDump(const DumpFile& dump);
