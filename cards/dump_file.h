#pragma once
// The dump files people keep MIFARE Classic cards in (Mini, 1K and 4K),
// read and written with one grammar for the program and the virtual reader.
// Three formats, told apart by content, each saying the card's size:
//   raw  320, 1024 or 4096 bytes, the blocks in order (.bin, .mfd)
//   MCT  text: "+Sector: N" lines, each followed by its blocks (4, or 16 in
//        a 4K card's sectors 32-39) as 32 hex digits; "#" comments
//   eml  text: 20, 64 or 256 lines of 32 hex digits
// In text, "--" stands for a byte the tool did not know: 12 dashes over a
// trailer's key bytes for a key it never learnt, 32 for a block it never
// read. A UTF-8 byte order mark, CR LF line ends, blank lines and blanks
// around a line are accepted, and a text dump is written back line for
// line: comments, line ends and unchanged blocks stay exactly as they were.
//
// What a file may leave unknown is its reader's business: the virtual
// reader needs every block, the program takes a partial MCT dump.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/layout.h"

enum class DumpFormat { Raw, Mct, Eml };

struct DumpFile {
  // Every vector sized for a card of that size.
  explicit DumpFile(CardSize size = CardSize::k1K);

  DumpFormat format = DumpFormat::Raw;
  CardSize size;
  std::vector<uint8_t> bytes;
  // "--" bytes, held as zeros; also every byte of a block the file leaves out.
  std::vector<bool> unknown;
  // Blocks of the sectors an MCT file leaves out.
  std::vector<bool> missing;
  // Text: the file split at '\n', each line as it was, and the line that
  // holds each block. Without lines, a text format is written fresh.
  std::vector<std::string> lines;
  std::vector<int> blockLine;

  Layout layout() const { return LayoutOf(size); }
  int Blocks() const { return layout().blocks; }
  // Cut to a smaller card's size, keeping its first blocks.
  void Resize(CardSize smaller);

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
    kWrongSize,       // no text, and not a raw image's size
    kCrLineEnds,      // old Mac line ends
    kNotSectorLine,   // `line` starts with '+' but is no "+Sector: N"
    kSectorPastCard,  // `line` names sector `number`, past a 4K card's
    kSectorTwice,     // `line` names sector `number` again
    kDataBeforeSector,
    kSectorTooLong,   // `line` is one block more than sector `number` has
    kSectorShort,     // sector `number` has `count` blocks, the last at `line`
    kBadDigit,        // `line` (block `block`) holds `digit`
    kBadLength,       // `line` (block `block`) has `count` characters
    kHalfDash,        // `line` (block `block`), byte `number` is "-" and a digit
    kPastLastBlock,   // eml: `line` is a 257th block
    kTooFewBlocks,    // eml: `count` blocks, short of the `number` of a size
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
