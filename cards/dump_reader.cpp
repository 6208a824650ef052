#include "cards/dump_reader.h"

#include <algorithm>
#include <cstdio>

#include "cards/dump_file.h"

namespace {

std::string LineProblem(int line, const char* what) {
  char text[96];
  std::snprintf(text, sizeof text, "第%d行%s", line, what);
  return text;
}

std::string NotADump(size_t size) {
  return "文件有" + std::to_string(size) + "字节，既不是320、1024或4096字节的原始转储，也不是MCT或.eml文本";
}

const char kNoBlock[] = "不是32位十六进制的块";

std::string ProblemText(const DumpProblem& p) {
  switch (p.kind) {
    case DumpProblem::kUtf16:
      return "文件是UTF-16编码的文本，请另存为ASCII或UTF-8编码";
    case DumpProblem::kWrongSize:
      return NotADump(p.size);
    case DumpProblem::kCrLineEnds:
      return "文件的行尾只有CR（回车），请另存为LF或CR LF行尾";
    case DumpProblem::kNotSectorLine:
    case DumpProblem::kDataBeforeSector:
    case DumpProblem::kSectorTooLong:
      return LineProblem(p.line, "不是“+Sector: 扇区号”");
    case DumpProblem::kSectorPastCard:
      return LineProblem(p.line, ("的扇区号" + std::to_string(p.number) + "超出了4K卡的扇区0至39").c_str());
    case DumpProblem::kSectorTwice:
      return LineProblem(p.line, "重复了前面的扇区");
    case DumpProblem::kSectorShort:
      return LineProblem(p.line, "之后缺少扇区的块，文件不完整");
    case DumpProblem::kBadDigit:
    case DumpProblem::kBadLength:
    case DumpProblem::kHalfDash:
      return (p.noDump ? NotADump(p.size) + "：" : std::string()) + LineProblem(p.line, kNoBlock);
    case DumpProblem::kPastLastBlock:
      return LineProblem(p.line, "超出了4K卡的256个块");
    case DumpProblem::kTooFewBlocks:
      return "文件只有" + std::to_string(p.count) + "个块，不足" + std::to_string(p.number) + "个块";
  }
  return NotADump(p.size);
}

// A block of the dump into the image: false where its dashes are neither
// the whole block nor a trailer's whole key.
bool TakeBlock(const DumpFile& dump, int block, CardImage* image) {
  const int unknown = dump.UnknownIn(block, 0, kBlockSize);
  if (unknown == kBlockSize) return true;
  const bool trailer = image->layout.IsTrailer(block);
  const int sector = image->layout.SectorOf(block);
  if (!trailer && unknown > 0) return false;
  if (trailer) {
    if (dump.UnknownIn(block, 6, 4) > 0) return false;
    for (int from : {0, 10}) {
      const int keyUnknown = dump.UnknownIn(block, from, 6);
      if (keyUnknown != 0 && keyUnknown != 6) return false;
      const bool known = keyUnknown == 0;
      const Key key = KeyFromBytes(&dump.bytes[block * kBlockSize + from]);
      (from == 0 ? image->keyA : image->keyB)[sector] = key;
      (from == 0 ? image->keyAKnown : image->keyBKnown)[sector] = known;
    }
  }
  std::copy(dump.bytes.begin() + block * kBlockSize, dump.bytes.begin() + (block + 1) * kBlockSize,
            image->blocks[block].begin());
  image->read[block] = true;
  return true;
}

}  // namespace

bool ParseCardDump(const std::string& bytes, CardImage* image, std::string* problem) {
  DumpFile dump;
  DumpProblem why;
  if (!ReadDump(bytes, &dump, &why)) {
    *problem = ProblemText(why);
    return false;
  }
  CardImage parsed(dump.size);
  for (int block = 0; block < parsed.Blocks(); ++block) {
    if (dump.missing[block]) continue;
    if (!TakeBlock(dump, block, &parsed)) {
      *problem = LineProblem(dump.blockLine[block] + 1, kNoBlock);
      return false;
    }
  }
  *image = parsed;
  return true;
}
