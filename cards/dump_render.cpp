#include "cards/dump_file.h"
#include "cards/dump_text.h"

namespace {

std::bitset<kBlockSize> UnknownOf(const DumpFile& dump, int block) {
  std::bitset<kBlockSize> unknown;
  for (int i = 0; i < kBlockSize; ++i) unknown[i] = dump.unknown[block * kBlockSize + i];
  return unknown;
}

std::string BlockText(const DumpFile& dump, int block) {
  return dump_text::BlockText(&dump.bytes[block * kBlockSize], UnknownOf(dump, block));
}

std::string Fresh(const DumpFile& dump) {
  std::string text;
  const Layout layout = dump.layout();
  for (int sector = 0; sector < layout.sectors; ++sector) {
    if (dump.format == DumpFormat::Mct) text += "+Sector: " + std::to_string(sector) + "\n";
    for (int b = layout.FirstBlock(sector); b <= layout.Trailer(sector); ++b) text += BlockText(dump, b) + "\n";
  }
  return text;
}

}  // namespace

std::string WriteDump(const DumpFile& dump) {
  if (dump.format == DumpFormat::Raw) return std::string(dump.bytes.begin(), dump.bytes.end());
  if (dump.lines.empty()) return Fresh(dump);
  std::vector<std::string> lines = dump.lines;
  for (int block = 0; block < dump.Blocks(); ++block) {
    if (dump.missing[block]) continue;
    std::string& line = lines[dump.blockLine[block]];
    const dump_text::Span s = dump_text::ContentOf(line);
    const std::string text = BlockText(dump, block);
    // Unchanged blocks keep their text, lower-case digits included.
    dump_text::BlockBytes was;
    DumpProblem ignored;
    if (dump_text::ParseBlock(line.substr(s.begin, s.end - s.begin), &was, &ignored) &&
        dump_text::BlockText(was.data, was.unknown) == text)
      continue;
    line = line.substr(0, s.begin) + text + line.substr(s.end);
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += lines[i];
  }
  return out;
}
