#include "cards/card_contents.h"

#include <cstdio>

#include "cards/layout.h"
#include "cards/mad.h"
#include "cards/ndef.h"

namespace {

class Contents {
 public:
  explicit Contents(const CardImage& image)
      : image_(image), layout_(LayoutOfBlocks(static_cast<int>(image.blocks.size()))) {}

  std::vector<std::string> For(int sector) {
    const int trailer = layout_.Trailer(0);
    if (sector < 0 || sector >= layout_.sectors || !Read(trailer)) return {};
    const uint8_t gpb = image_.blocks[static_cast<size_t>(trailer)][9];
    if (!(gpb & kMadExists)) return {};
    version_ = MadVersionOf(gpb);
    hasMad1_ = Gather(1, 2, mad1Bytes_);
    hasMad2_ = Mad2Sector() && Gather(layout_.FirstBlock(kMad2Sector), 3, mad2Bytes_);
    if (hasMad1_) mad1_ = DecodeMad1(mad1Bytes_);
    if (hasMad2_) mad2_ = DecodeMad2(mad2Bytes_);
    if (sector == 0) return Mad1Lines(gpb);
    if (sector == kMad2Sector && Mad2Sector()) return Mad2Lines();
    uint16_t aid = 0;
    if (!AidOf(sector, &aid) || aid != kAidNdef) return {};
    return NdefOf(sector);
  }

 private:
  bool Read(int block) const {
    return static_cast<size_t>(block) < image_.read.size() && image_.read[static_cast<size_t>(block)];
  }
  bool Mad2Sector() const { return version_ == 2 && layout_.sectors > kMad2Sector; }

  bool Gather(int first, int count, uint8_t* out) const {
    for (int i = 0; i < count; ++i) {
      if (!Read(first + i)) return false;
      const auto& block = image_.blocks[static_cast<size_t>(first + i)];
      std::copy(block.begin(), block.end(), out + 16 * i);
    }
    return true;
  }

  bool AidOf(int sector, uint16_t* aid) const {
    return (hasMad1_ && mad1_.AidOf(sector, aid)) || (hasMad2_ && mad2_.AidOf(sector, aid));
  }

  std::vector<std::string> Mad1Lines(uint8_t gpb) const {
    char line[160];
    std::snprintf(line, sizeof line, "尾块字节9 = 0x%02X：有 MAD，%s，MAD 版本位 %d%s", gpb,
                  gpb & kMadMultiApplication ? "多应用卡" : "单应用卡", version_,
                  version_ == 1 || version_ == 2 ? "" : "（未定义，按 MAD1 解读）");
    std::vector<std::string> lines = {line};
    if (!hasMad1_) {
      lines.push_back("MAD1 所在的块[1]、块[2]没有全部读出，无法解读");
      return lines;
    }
    const std::vector<std::string> mad = MadLines(mad1_, 1);
    lines.insert(lines.end(), mad.begin(), mad.end());
    return lines;
  }

  std::vector<std::string> Mad2Lines() const {
    if (!hasMad2_) return {"MAD2 所在的块[0]-块[2]没有全部读出，无法解读"};
    return MadLines(mad2_, 2);
  }

  // The next sector of the NFC sectors' run: a card over 1K keeps its MAD2
  // in sector 16, which the run steps over.
  int Next(int sector) const { return sector + 1 == kMad2Sector && Mad2Sector() ? sector + 2 : sector + 1; }
  int Previous(int sector) const { return sector - 1 == kMad2Sector && Mad2Sector() ? sector - 2 : sector - 1; }
  bool Ndef(int sector) const {
    uint16_t aid = 0;
    return sector > 0 && sector < layout_.sectors && AidOf(sector, &aid) && aid == kAidNdef;
  }

  std::vector<std::string> NdefOf(int sector) const {
    int first = sector;
    while (Ndef(Previous(first))) first = Previous(first);
    int last = sector;
    while (Ndef(Next(last))) last = Next(last);
    std::vector<uint8_t> bytes;
    std::string unread;
    for (int s = first; s <= last && unread.empty(); s = Next(s)) {
      for (int block = layout_.FirstBlock(s); block < layout_.Trailer(s); ++block) {
        if (!Read(block)) {
          char where[48];
          std::snprintf(where, sizeof where, "%s 块[%d]", SectorName(s).c_str(), layout_.IndexInSector(block));
          unread = where;
          break;
        }
        const auto& data = image_.blocks[static_cast<size_t>(block)];
        bytes.insert(bytes.end(), data.begin(), data.end());
      }
    }
    std::vector<std::string> lines;
    const std::string run = first == last ? SectorName(first) : SectorName(first) + "-" + SectorName(last).substr(6);
    lines.push_back("NDEF（" + run + " 的数据块，偏移从" + SectorName(first) + " 块[0]起算）：");
    if ((hasMad1_ && !mad1_.CrcCorrect()) || (hasMad2_ && !mad2_.CrcCorrect()))
      lines.push_back("注意：MAD 的 CRC 错误，扇区的 NDEF 标记可能不可靠");
    const std::vector<std::string> ndef = NdefLines(bytes.data(), bytes.size(), unread);
    lines.insert(lines.end(), ndef.begin(), ndef.end());
    return lines;
  }

  const CardImage& image_;
  const Layout layout_;
  int version_ = 0;
  bool hasMad1_ = false, hasMad2_ = false;
  uint8_t mad1Bytes_[32] = {}, mad2Bytes_[48] = {};
  Mad mad1_, mad2_;
};

}  // namespace

std::vector<std::string> ContentLines(const CardImage& image, int sector) { return Contents(image).For(sector); }
