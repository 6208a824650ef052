#include "cards/dump_writer.h"

#include <algorithm>
#include <cstdio>

#include "cards/dump_file.h"

namespace {

std::string IncompleteSectors(const CardImage& image) {
  std::string list;
  for (int s = 0; s < image.Sectors(); ++s) {
    if (image.SectorComplete(s)) continue;
    char name[12];
    std::snprintf(name, sizeof name, "%02d", s);
    list += (list.empty() ? "" : "、") + std::string(name);
  }
  return list;
}

void MarkUnknown(DumpFile* dump, int block, int from, int count) {
  for (int i = from; i < from + count; ++i) dump->unknown[block * kBlockSize + i] = true;
}

// The trailers with their known keys written over the key bytes. An unread
// trailer still has keys the tool may know; its access bytes are unknown
// too, and a dash there is no valid dump: the whole line stays dashes
// unless the trailer itself was read.
DumpFile FileOf(const CardImage& image, DumpKind kind) {
  DumpFile dump(image.size);
  dump.format = kind;
  for (int block = 0; block < image.Blocks(); ++block) {
    const int sector = image.layout.SectorOf(block);
    const bool trailer = image.layout.IsTrailer(block);
    const std::array<uint8_t, 16> bytes = trailer ? image.TrailerWithKeys(sector) : image.blocks[block];
    std::copy(bytes.begin(), bytes.end(), dump.bytes.begin() + block * kBlockSize);
    if (!image.read[block]) {
      MarkUnknown(&dump, block, 0, kBlockSize);
    } else if (trailer) {
      if (!image.keyAKnown[sector]) MarkUnknown(&dump, block, 0, 6);
      if (!image.keyBKnown[sector]) MarkUnknown(&dump, block, 10, 6);
    }
  }
  return dump;
}

}  // namespace

bool RenderCardDump(const CardImage& image, DumpKind kind, std::string* out, std::string* problem) {
  if (kind != DumpKind::Mct && !image.Complete()) {
    *problem = "扇区 " + IncompleteSectors(image) +
               " 有未读出的块或未知的密钥，原始格式和 .eml 格式无法记录，请保存为 MCT 文本格式（.mct）";
    return false;
  }
  *out = WriteDump(FileOf(image, kind));
  return true;
}
