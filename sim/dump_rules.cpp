#include "sim/dump_rules.h"

namespace sim {

namespace {

std::string LineName(int line) { return "line " + std::to_string(line); }

std::string BlockLineName(const DumpProblem& p) {
  return LineName(p.line) + " (block " + std::to_string(p.block) + ")";
}

std::string ProblemText(const DumpProblem& p) {
  const std::string n = std::to_string(p.number);
  switch (p.kind) {
    case DumpProblem::kUtf16:
      return "is UTF-16 text; save it as ASCII or UTF-8";
    case DumpProblem::kWrongSize:
      return "has " + std::to_string(p.size) +
             " bytes and is not text; a raw MIFARE Classic image has 320 (Mini), 1024 (1K) or 4096 (4K)";
    case DumpProblem::kCrLineEnds:
      return "has CR-only line ends; save it with LF or CR LF line ends";
    case DumpProblem::kNotSectorLine:
      return LineName(p.line) + " is not a sector line \"+Sector: N\" with N from 0 to 39";
    case DumpProblem::kSectorPastCard:
      return LineName(p.line) + ": sector " + n + " is past the 40 sectors of a MIFARE Classic 4K card";
    case DumpProblem::kSectorTwice:
      return LineName(p.line) + ": sector " + n + " appears twice";
    case DumpProblem::kDataBeforeSector:
      return LineName(p.line) + " holds data before the first \"+Sector\" line";
    case DumpProblem::kSectorTooLong:
      return LineName(p.line) + ": sector " + n + " has more than " + std::to_string(k4KLayout.BlocksIn(p.number)) +
             " blocks";
    case DumpProblem::kSectorShort:
      return "sector " + n + " has " + std::to_string(p.count) + " of its " +
             std::to_string(k4KLayout.BlocksIn(p.number)) + " blocks";
    case DumpProblem::kBadDigit:
    case DumpProblem::kBadLength:
    case DumpProblem::kHalfDash:
      break;
    case DumpProblem::kPastLastBlock:
      return LineName(p.line) + " is past the 256 blocks of a MIFARE Classic 4K card";
    case DumpProblem::kTooFewBlocks:
      return "has " + std::to_string(p.count) + " of " + n + " blocks";
  }
  const std::string detail =
      p.kind == DumpProblem::kBadDigit    ? BlockLineName(p) + ": '" + std::string(1, p.digit) + "' is not a hex digit"
      : p.kind == DumpProblem::kBadLength ? BlockLineName(p) + " has " + std::to_string(p.count) +
                                                " characters; a block is 32 hex digits"
                                          : BlockLineName(p) + ": byte " + n + " is half a dash";
  return (p.noDump ? "is neither a raw image (320, 1024 or 4096 bytes) nor MCT or .eml text: " : "") + detail;
}

// A card may keep its keys to itself; everything else a dump must know.
bool MayBeUnknown(const Layout& layout, int block, int byte) {
  return layout.IsTrailer(block) && (byte < 6 || byte >= 10);
}

}  // namespace

bool ParseDump(const std::string& bytes, DumpFile* dump, std::string* problem) {
  DumpFile file;
  DumpProblem why;
  if (!ReadDump(bytes, &file, &why)) {
    *problem = ProblemText(why);
    return false;
  }
  const Layout layout = file.layout();
  for (int block = 0; block < layout.blocks; ++block) {
    for (int byte = 0; byte < kBlockSize && !file.missing[block]; ++byte) {
      if (!file.unknown[block * kBlockSize + byte] || MayBeUnknown(layout, block, byte)) continue;
      why.line = file.blockLine[block] + 1;
      why.block = block;
      *problem = BlockLineName(why) + ": byte " + std::to_string(byte) +
                 " is \"--\"; only the key bytes of a sector trailer may be unknown";
      return false;
    }
  }
  int present = 0, firstMissing = -1;
  for (int sector = 0; sector < layout.sectors; ++sector) {
    if (!file.missing[layout.FirstBlock(sector)]) ++present;
    else if (firstMissing < 0) firstMissing = sector;
  }
  if (firstMissing >= 0) {
    *problem = "has " + std::to_string(present) + " of " + std::to_string(layout.sectors) + " sectors; sector " +
               std::to_string(firstMissing) + " is missing";
    return false;
  }
  *dump = file;
  return true;
}

}  // namespace sim
