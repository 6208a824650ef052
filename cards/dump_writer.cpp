#include "cards/dump_writer.h"

#include <cstdio>

namespace {

std::string Hex(const uint8_t* bytes, int count) {
  std::string text;
  char pair[3];
  for (int i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += pair;
  }
  return text;
}

std::string MctBlock(const CardImage& image, int sector, int block) {
  const int address = sector * 4 + block;
  if (block != 3) return image.read[address] ? Hex(image.blocks[address].data(), 16) : std::string(32, '-');
  // An unread trailer still has keys the tool may know; its access bytes
  // are unknown too, and a dash there is no valid dump: the whole line
  // stays dashes unless the trailer itself was read.
  if (!image.read[address]) return std::string(32, '-');
  const std::array<uint8_t, 16> trailer = image.TrailerWithKeys(sector);
  const std::string a = image.keyAKnown[sector] ? Hex(&trailer[0], 6) : std::string(12, '-');
  const std::string b = image.keyBKnown[sector] ? Hex(&trailer[10], 6) : std::string(12, '-');
  return a + Hex(&trailer[6], 4) + b;
}

std::string IncompleteSectors(const CardImage& image) {
  std::string list;
  for (int s = 0; s < kCardSectors; ++s) {
    if (image.SectorComplete(s)) continue;
    char name[8];
    std::snprintf(name, sizeof name, "%02d", s);
    list += (list.empty() ? "" : "、") + std::string(name);
  }
  return list;
}

}  // namespace

bool RenderCardDump(const CardImage& image, DumpKind kind, std::string* out, std::string* problem) {
  std::string text;
  if (kind == DumpKind::Mct) {
    for (int s = 0; s < kCardSectors; ++s) {
      text += "+Sector: " + std::to_string(s) + "\n";
      for (int b = 0; b < 4; ++b) text += MctBlock(image, s, b) + "\n";
    }
    *out = text;
    return true;
  }
  if (!image.Complete()) {
    *problem = "扇区 " + IncompleteSectors(image) +
               " 有未读出的块或未知的密钥，原始格式和 .eml 格式无法记录，请保存为 MCT 文本格式（.mct）";
    return false;
  }
  for (int address = 0; address < kCardBlocks; ++address) {
    const int sector = address / 4;
    const std::array<uint8_t, 16> block =
        address % 4 == 3 ? image.TrailerWithKeys(sector) : image.blocks[address];
    if (kind == DumpKind::Raw)
      text.append(reinterpret_cast<const char*>(block.data()), block.size());
    else
      text += Hex(block.data(), 16) + "\n";
  }
  *out = text;
  return true;
}
