#pragma once
// The three dump formats people keep MIFARE Classic 1K cards in, told apart
// by content:
//   raw   1024 bytes, blocks 0-63 in order (.bin, .mfd)
//   MCT   text: "+Sector: N" lines, each followed by its four blocks as 32
//         hex digits; "#" comments; "--" for a byte the tool could not read
//   eml   text: 64 lines of 32 hex digits
// A text dump is written back line for line: comments, line ends and the
// lines of unchanged blocks stay exactly as they were.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "sim/card.h"

namespace sim {

enum class DumpFormat { Raw, Mct, Eml };

struct DumpImage {
  Memory memory{};
  ByteMask unknown;  // "--" bytes; only ever in a trailer's key bytes
};

// How the file was laid out, so that a save keeps its shape.
struct DumpLayout {
  DumpFormat format = DumpFormat::Raw;
  std::vector<std::string> lines;  // text formats: the file split at '\n'
  std::array<size_t, kBlockCount> blockLine{};  // which line holds each block
};

// False, with *problem saying why (line numbers from 1), for a file that is
// none of the formats or is incomplete.
bool ParseDump(const std::string& bytes, DumpImage* image, DumpLayout* layout,
               std::string* problem);

std::string RenderDump(const DumpImage& image, const DumpLayout& layout);

const char* FormatName(DumpFormat format);

}  // namespace sim
