#include "cards/compare.h"

#include <algorithm>
#include <cstdio>

#include "cards/access.h"
#include "cards/hex.h"
#include "cards/layout.h"

namespace {

int SectorsIn(size_t blocks) {
  const Layout layout = LayoutOfBlocks(static_cast<int>(blocks));
  int sectors = 0;
  while (sectors < layout.sectors && static_cast<size_t>(layout.Trailer(sectors)) < blocks) ++sectors;
  return sectors;
}

// Width on screen in half-width cells: the list box's Song font draws CJK
// characters twice as wide as digits and blanks.
size_t Cells(const std::string& text) {
  size_t cells = 0;
  for (unsigned char c : text)
    if ((c & 0xC0) != 0x80) cells += c >= 0xE0 ? 2 : 1;
  return cells;
}

class Comparer {
 public:
  Comparer(const CompareSide& a, const CompareSide& b)
      : a_(a), b_(b), layout_(LayoutOfBlocks(static_cast<int>(std::max(a.blocks.size(), b.blocks.size())))) {
    const size_t width = std::max(Cells(a.label), Cells(b.label));
    labelA_ = a.label + std::string(width - Cells(a.label), ' ') + "：";
    labelB_ = b.label + std::string(width - Cells(b.label), ' ') + "：";
  }

  std::vector<std::string> Run() {
    for (int sector = 0; sector < layout_.sectors; ++sector)
      for (int block = layout_.FirstBlock(sector); block <= layout_.Trailer(sector); ++block) Block(sector, block);
    std::vector<std::string> lines;
    const int total = same_ + differ_ + unknown_;
    char count[128];
    if (differ_ == 0 && unknown_ == 0)
      std::snprintf(count, sizeof count, "全部 %d 个块相同", total);
    else
      std::snprintf(count, sizeof count, "%d/%d 个块相同，%d 个块不同，%d 个块无法比较", same_, total, differ_,
                    unknown_);
    lines.push_back(count);
    const int sectorsA = SectorsIn(a_.blocks.size()), sectorsB = SectorsIn(b_.blocks.size());
    if (sectorsA != sectorsB) {
      const CompareSide& larger = sectorsA > sectorsB ? a_ : b_;
      const CompareSide& smaller = sectorsA > sectorsB ? b_ : a_;
      char only[160];
      std::snprintf(only, sizeof only, "扇区[%02d]-[%02d] 只有%s有（%s只有 %d 个扇区）", std::min(sectorsA, sectorsB),
                    std::max(sectorsA, sectorsB) - 1, larger.label.c_str(), smaller.label.c_str(),
                    std::min(sectorsA, sectorsB));
      lines.push_back(only);
    }
    lines.insert(lines.end(), body_.begin(), body_.end());
    return lines;
  }

 private:
  static bool Knows(const CompareSide& side, size_t block) {
    return block < side.blocks.size() && block < side.known.size() && side.known[block];
  }
  static bool KeyKnown(const std::vector<bool>& known, int sector) {
    return static_cast<size_t>(sector) < known.size() && known[static_cast<size_t>(sector)];
  }

  void Block(int sector, int block) {
    const size_t at = static_cast<size_t>(block);
    if (!Knows(a_, at) || !Knows(b_, at)) {
      ++unknown_;
      return;
    }
    const bool trailer = layout_.IsTrailer(block);
    const bool keyA = !trailer || (KeyKnown(a_.keyAKnown, sector) && KeyKnown(b_.keyAKnown, sector));
    const bool keyB = !trailer || (KeyKnown(a_.keyBKnown, sector) && KeyKnown(b_.keyBKnown, sector));
    const uint8_t* x = a_.blocks[at].data();
    const uint8_t* y = b_.blocks[at].data();
    bool differs[16] = {};
    bool any = false;
    for (int i = 0; i < 16; ++i) {
      const bool compared = (i < 6 && keyA) || (i >= 10 && keyB) || (i >= 6 && i < 10);
      differs[i] = compared && x[i] != y[i];
      any = any || differs[i];
    }
    if (!any) {
      ++same_;
      return;
    }
    ++differ_;
    char header[48];
    std::snprintf(header, sizeof header, "%s 块[%d]", SectorName(sector).c_str(), layout_.IndexInSector(block));
    body_.push_back(header);
    body_.push_back(labelA_ + Shown(a_, sector, x, trailer));
    body_.push_back(labelB_ + Shown(b_, sector, y, trailer));
    std::string marks(Cells(labelA_), ' ');
    for (int i = 0; i < 16; ++i) marks += differs[i] ? "^^" : "  ";
    marks.erase(marks.find_last_not_of(' ') + 1);
    body_.push_back(marks);
    if (trailer) TrailerParts(sector, x, y, differs);
  }

  // A trailer's hex with the keys the side does not know as dashes, as an
  // MCT dump writes them.
  static std::string Shown(const CompareSide& side, int sector, const uint8_t* bytes, bool trailer) {
    std::string hex = HexText(bytes, 16);
    if (trailer && !KeyKnown(side.keyAKnown, sector)) hex.replace(0, 12, 12, '-');
    if (trailer && !KeyKnown(side.keyBKnown, sector)) hex.replace(20, 12, 12, '-');
    return hex;
  }

  void TrailerParts(int sector, const uint8_t* x, const uint8_t* y, const bool differs[16]) {
    const std::string& la = a_.label;
    const std::string& lb = b_.label;
    auto keyLine = [&](const char* key, int from, const std::vector<bool>& knownA, const std::vector<bool>& knownB) {
      if (!KeyKnown(knownA, sector) || !KeyKnown(knownB, sector)) {
        body_.push_back(std::string(key) + "未比较（" + (KeyKnown(knownA, sector) ? lb : la) + "中未知）");
      } else if (std::any_of(differs + from, differs + from + 6, [](bool d) { return d; })) {
        body_.push_back(std::string(key) + "不同：" + la + " " + HexText(x + from, 6) + "，" + lb + " " + HexText(y + from, 6));
      }
    };
    keyLine("密钥A", 0, a_.keyAKnown, b_.keyAKnown);
    if (differs[6] || differs[7] || differs[8]) AccessParts(sector, x, y);
    if (differs[9]) {
      char line[96];
      std::snprintf(line, sizeof line, "字节9不同：%s 0x%02X，%s 0x%02X", la.c_str(), x[9], lb.c_str(), y[9]);
      body_.push_back(line);
    }
    keyLine("密钥B", 10, a_.keyBKnown, b_.keyBKnown);
  }

  void AccessParts(int sector, const uint8_t* x, const uint8_t* y) {
    int cx[4], cy[4];
    const bool okX = DecodeAccessBits(x, cx), okY = DecodeAccessBits(y, cy);
    body_.push_back("控制位不同：" + a_.label + " " + HexText(x + 6, 3) + (okX ? "" : "（格式错误）") + "，" + b_.label +
                    " " + HexText(y + 6, 3) + (okY ? "" : "（格式错误）"));
    if (!okX || !okY) return;
    const bool large = layout_.BlocksIn(sector) == Layout::kLargeBlocks;
    static const char* const kSmall[] = {"块[0]", "块[1]", "块[2]", "块[3]"};
    static const char* const kLarge[] = {"块[0-4]", "块[5-9]", "块[10-14]", "块[15]"};
    for (int group = 0; group < 4; ++group) {
      if (cx[group] == cy[group]) continue;
      const std::string name = std::string("  ") + (large ? kLarge[group] : kSmall[group]) + " ";
      body_.push_back(name + a_.label + "：" + Rights(group, cx[group]));
      body_.push_back(name + b_.label + "：" + Rights(group, cy[group]));
    }
  }

  static std::string Rights(int group, int condition) {
    if (group < 3) {
      const DataBlockRights r = DataBlockRightsOf(condition);
      return std::string("读 ") + r.read + "，写 " + r.write + "，加值 " + r.increment + "，减值/转存/恢复 " +
             r.decrement;
    }
    const TrailerRights t = TrailerRightsOf(condition);
    return std::string("密钥A 读 ") + t.keyARead + "、写 " + t.keyAWrite + "；控制位 读 " + t.accessRead + "、写 " +
           t.accessWrite + "；密钥B 读 " + t.keyBRead + "、写 " + t.keyBWrite;
  }

  const CompareSide& a_;
  const CompareSide& b_;
  const Layout layout_;
  std::string labelA_, labelB_;
  int same_ = 0, differ_ = 0, unknown_ = 0;
  std::vector<std::string> body_;
};

}  // namespace

CompareSide CompareSideOf(const CardImage& image, const std::string& label) {
  CompareSide side;
  side.label = label;
  const size_t blocks = image.blocks.size();
  const Layout layout = LayoutOfBlocks(static_cast<int>(blocks));
  side.blocks.assign(image.blocks.begin(), image.blocks.end());
  side.known.assign(image.read.begin(), image.read.end());
  side.keyAKnown.assign(image.keyAKnown.begin(), image.keyAKnown.end());
  side.keyBKnown.assign(image.keyBKnown.begin(), image.keyBKnown.end());
  for (int sector = 0; sector < layout.sectors && static_cast<size_t>(sector) < image.keyA.size(); ++sector) {
    const size_t trailer = static_cast<size_t>(layout.Trailer(sector));
    if (trailer >= blocks) break;
    if (image.keyAKnown[sector]) KeyBytes(image.keyA[sector], &side.blocks[trailer][0]);
    if (image.keyBKnown[sector]) KeyBytes(image.keyB[sector], &side.blocks[trailer][10]);
  }
  return side;
}

std::vector<std::string> CompareLines(const CompareSide& a, const CompareSide& b) { return Comparer(a, b).Run(); }
