#include "cards/dump_text.h"

#include "cards/hex.h"

namespace dump_text {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

Span ContentOf(const std::string& line) {
  size_t begin = line.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (begin < line.size() && IsBlank(line[begin])) ++begin;
  size_t end = line.size();
  while (end > begin && IsBlank(line[end - 1])) --end;
  return {begin, end};
}

std::string Content(const std::string& line) {
  const Span s = ContentOf(line);
  return line.substr(s.begin, s.end - s.begin);
}

bool ParseBlock(const std::string& content, BlockBytes* out, DumpProblem* problem) {
  for (size_t i = 0; i < content.size() && i < 2 * kBlockSize; ++i) {
    if (HexDigitValue(content[i]) < 0 && content[i] != '-') {
      problem->kind = DumpProblem::kBadDigit;
      problem->digit = content[i];
      return false;
    }
  }
  if (content.size() != 2 * kBlockSize) {
    problem->kind = DumpProblem::kBadLength;
    problem->count = static_cast<int>(content.size());
    return false;
  }
  for (int byte = 0; byte < kBlockSize; ++byte) {
    const char high = content[2 * byte], low = content[2 * byte + 1];
    if (high == '-' && low == '-') {
      out->unknown[byte] = true;
      out->data[byte] = 0;
    } else if (high == '-' || low == '-') {
      problem->kind = DumpProblem::kHalfDash;
      problem->number = byte;
      return false;
    } else {
      HexBytes(&content[2 * byte], &out->data[byte], 1);
    }
  }
  return true;
}

std::string BlockText(const uint8_t* data, const std::bitset<kBlockSize>& unknown) {
  std::string text;
  for (int i = 0; i < kBlockSize; ++i) text += unknown[i] ? std::string("--") : HexText(&data[i], 1);
  return text;
}

}  // namespace dump_text
