#include "cardtest/dump_plan.h"

#include <cstdio>
#include <cstring>

#include "cardtest/mifare.h"
#include "cards/access.h"

namespace {

const char kNever[] = "不允许";
const char kBOnly[] = "密钥B";

bool Allows(const char* right, bool keyB) {
  if (std::strcmp(right, kNever) == 0) return false;
  if (std::strcmp(right, kBOnly) == 0) return keyB;
  if (std::strcmp(right, "密钥A") == 0) return !keyB;
  return true;
}

bool SectorHeld(const CardImage& dump, int sector) {
  for (int b = 0; b < kBlocksPerSector; ++b)
    if (dump.read[BlockAddress(sector, b)]) return true;
  return false;
}

}  // namespace

DumpCheck CheckDump(const CardImage& dump) {
  DumpCheck check;
  for (int s = 0; s < kSectors; ++s) {
    if (!SectorHeld(dump, s)) {
      check.skipped.push_back(s);
      continue;
    }
    const int trailer = BlockAddress(s, kTrailerBlock);
    int conditions[4];
    if (dump.read[trailer]) {
      if (!DecodeAccessBits(dump.blocks[trailer].data(), conditions))
        check.malformedTrailers.push_back(s);
      else if (std::strcmp(TrailerRightsOf(conditions[3]).accessWrite, kNever) == 0)
        check.lockedForGood.push_back(s);
    }
    check.blocks += static_cast<int>(SectorWriteOrder(dump, s).size());
  }
  check.badBlock0 = dump.read[0] && !Block0BccValid(dump.blocks[0].data());
  return check;
}

std::string SectorList(const std::vector<int>& sectors) {
  std::string list;
  for (int s : sectors) {
    char name[8];
    std::snprintf(name, sizeof name, "%02d", s);
    list += (list.empty() ? "" : "、") + std::string(name);
  }
  return list;
}

std::string RefusalOf(const DumpCheck& check) {
  std::string reason;
  if (!check.malformedTrailers.empty())
    reason += "扇区[" + SectorList(check.malformedTrailers) + "]的控制位格式错误，写入会永久锁死这些扇区\n";
  if (check.badBlock0) reason += "扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡\n";
  if (!reason.empty()) reason += "整个转储文件未写入，卡片没有改动。";
  return reason;
}

std::vector<int> SectorWriteOrder(const CardImage& dump, int sector) {
  std::vector<int> order;
  for (int b = 0; b < kTrailerBlock; ++b) {
    const int address = BlockAddress(sector, b);
    if (address != 0 && dump.read[address]) order.push_back(address);
  }
  const int trailer = BlockAddress(sector, kTrailerBlock);
  if (dump.read[trailer] && dump.keyAKnown[sector] && dump.keyBKnown[sector]) order.push_back(trailer);
  return order;
}

std::vector<Key> SectorKeyOrder(const CardImage* found, int sector, const Key* typed, const CardImage& dump) {
  std::vector<Key> first;
  if (found && found->keyAKnown[sector]) first.push_back(found->keyA[sector]);
  if (found && found->keyBKnown[sector]) first.push_back(found->keyB[sector]);
  if (typed) first.push_back(*typed);
  if (dump.keyAKnown[sector]) first.push_back(dump.keyA[sector]);
  if (dump.keyBKnown[sector]) first.push_back(dump.keyB[sector]);
  first.insert(first.end(), BuiltInKeys().begin(), BuiltInKeys().end());
  return KeyList(nullptr, first);
}

bool WritableWith(const int conditions[4], int block, bool keyB) {
  if (block != kTrailerBlock) return Allows(DataBlockRightsOf(conditions[block]).write, keyB);
  const TrailerRights rights = TrailerRightsOf(conditions[3]);
  if (std::strcmp(rights.accessWrite, kNever) != 0) return Allows(rights.accessWrite, keyB);
  return Allows(rights.keyAWrite, keyB);
}

bool ReadableWith(const int conditions[4], int block, bool keyB) {
  return block != kTrailerBlock && Allows(DataBlockRightsOf(conditions[block]).read, keyB);
}
