#pragma once
// One block of a text dump, read and written the same way by every format.

#include <bitset>
#include <cstdint>
#include <string>

#include "cards/dump_file.h"

namespace dump_text {

// Where a line's content lies: around it only blanks (CR included), and
// before it a UTF-8 byte order mark, which some editors put there.
struct Span {
  size_t begin, end;
};
Span ContentOf(const std::string& line);
std::string Content(const std::string& line);

struct BlockBytes {
  uint8_t data[kBlockSize] = {};
  std::bitset<kBlockSize> unknown;
};

// The block a line's content holds; false, with problem's kind, number,
// count and digit set, when it holds none.
bool ParseBlock(const std::string& content, BlockBytes* out, DumpProblem* problem);

// 32 characters: upper-case hex digits, "--" for unknown bytes.
std::string BlockText(const uint8_t* data, const std::bitset<kBlockSize>& unknown);

}  // namespace dump_text
