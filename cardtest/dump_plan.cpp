#include "cardtest/dump_plan.h"

#include <cstdio>
#include <cstring>

#include "cardtest/mifare.h"
#include "cards/access.h"

namespace {

bool SectorHeld(const CardImage& dump, int sector) {
  for (int b = dump.layout.FirstBlock(sector); b <= dump.layout.Trailer(sector); ++b)
    if (dump.read[b]) return true;
  return false;
}

bool WritesData(const SectorOnCard& card, int block, int key) {
  if (!card.opens[key]) return false;
  return !card.conditionsKnown || Allows(DataBlockRuleOf(card.conditions[block]).write, key == 1);
}

// The trailer's fields: key A (bytes 0-5), access bits with byte 9 (6-9),
// key B (10-15).
struct Field {
  TrailerField bit;
  const char* name;
  int from, count;
  Who TrailerRule::*write;
};
const Field kFields[] = {{kKeyAField, "密钥A", 0, 6, &TrailerRule::keyAWrite},
                         {kAccessField, "控制位", 6, 4, &TrailerRule::accessWrite},
                         {kKeyBField, "密钥B", 10, 6, &TrailerRule::keyBWrite}};

int Count(unsigned fields) { return (fields & 1) + (fields >> 1 & 1) + (fields >> 2 & 1); }

// Whether the card may already hold the field as wanted: only a value
// known to be the same needs no write.
bool AlreadyHeld(const SectorOnCard& card, const Field& field, const std::array<uint8_t, 16>& wanted) {
  uint8_t current[6];
  if (field.from == 0) {
    if (!card.opens[0]) return false;
    KeyBytes(card.keys[0], current);
  } else if (field.from == 6) {
    if (!card.conditionsKnown) return false;
    std::memcpy(current, &card.trailer[6], 4);
  } else {
    if (!card.keyBKnown) return false;
    KeyBytes(card.keyB, current);
  }
  return std::memcmp(current, &wanted[field.from], field.count) == 0;
}

}  // namespace

DumpCheck CheckDump(const CardImage& dump) {
  DumpCheck check;
  for (int s = 0; s < dump.Sectors(); ++s) {
    if (!SectorHeld(dump, s)) {
      check.skipped.push_back(s);
      continue;
    }
    const int trailer = dump.layout.Trailer(s);
    int conditions[4];
    if (dump.read[trailer]) {
      if (!DecodeAccessBits(dump.blocks[trailer].data(), conditions)) {
        check.malformedTrailers.push_back(s);
      } else if (AccessBitsFrozen(conditions[3])) {
        check.lockedForGood.push_back(s);
        if (s == 0 && DataBlockRuleOf(conditions[0]).write == Who::kNever) check.uidFrozen = true;
      }
    }
    check.blocks += static_cast<int>(SectorWriteOrder(dump, s, false).size());
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
  if (!reason.empty()) reason += "整个转储文件未写入，卡片没有改动。";
  return reason;
}

std::vector<int> SectorOrder(int sectors) {
  std::vector<int> order;
  for (int s = 1; s < sectors; ++s) order.push_back(s);
  order.push_back(0);
  return order;
}

std::vector<int> SectorWriteOrder(const CardImage& dump, int sector, bool block0) {
  std::vector<int> order;
  const int first = dump.layout.FirstBlock(sector), trailer = dump.layout.Trailer(sector);
  for (int address = sector == 0 ? 1 : first; address < trailer; ++address)
    if (dump.read[address]) order.push_back(address);
  if (sector == 0 && block0 && dump.read[0]) order.push_back(0);
  if (dump.read[trailer] && dump.keyAKnown[sector] && dump.keyBKnown[sector]) order.push_back(trailer);
  return order;
}

std::vector<Key> SectorKeyOrder(const CardImage* found, int sector, const Key* typed, const CardImage& dump) {
  std::vector<Key> first;
  if (found && sector >= found->Sectors()) found = nullptr;
  if (found && found->keyAKnown[sector]) first.push_back(found->keyA[sector]);
  if (found && found->keyBKnown[sector]) first.push_back(found->keyB[sector]);
  if (typed) first.push_back(*typed);
  if (dump.keyAKnown[sector]) first.push_back(dump.keyA[sector]);
  if (dump.keyBKnown[sector]) first.push_back(dump.keyB[sector]);
  first.insert(first.end(), BuiltInKeys().begin(), BuiltInKeys().end());
  return KeyList(nullptr, first);
}

int WriterOf(const SectorOnCard& card, int group, int preferred) {
  if (WritesData(card, group, preferred)) return preferred;
  if (WritesData(card, group, 1 - preferred)) return 1 - preferred;
  return -1;
}

bool NeedsKeyB(const SectorOnCard& card, const Layout& layout, const std::vector<int>& blocks) {
  if (!card.conditionsKnown || KeyBReadable(card.conditions[3])) return false;
  for (int address : blocks) {
    const int sector = layout.SectorOf(address);
    const int group = layout.AccessGroup(sector, layout.IndexInSector(address));
    if (group != 3) {
      const DataBlockRule rule = DataBlockRuleOf(card.conditions[group]);
      if (!Allows(rule.write, false) && Allows(rule.write, true)) return true;
      continue;
    }
    const TrailerRule rule = TrailerRuleOf(card.conditions[3]);
    for (const Field& field : kFields)
      if (!Allows(rule.*field.write, false) && Allows(rule.*field.write, true)) return true;
  }
  return false;
}

TrailerPlan PlanTrailer(const SectorOnCard& card, const std::array<uint8_t, 16>& wanted) {
  TrailerPlan best;
  bool bestWritesAny = false;
  for (int key = 0; key < 2; ++key) {
    if (!card.opens[key]) continue;
    TrailerPlan plan;
    plan.key = key;
    bool writesAny = !card.conditionsKnown;
    for (const Field& field : kFields) {
      const bool writable = !card.conditionsKnown || Allows(TrailerRuleOf(card.conditions[3]).*field.write, key == 1);
      writesAny = writesAny || writable;
      if (!writable && !AlreadyHeld(card, field, wanted)) plan.stays |= field.bit;
    }
    // The first key that leaves the fewest fields as they were.
    if (best.key < 0 || (writesAny && (!bestWritesAny || Count(plan.stays) < Count(best.stays)))) {
      best = plan;
      bestWritesAny = writesAny;
    }
  }
  if (bestWritesAny) return best;
  best = TrailerPlan();
  for (const Field& field : kFields)
    if (!AlreadyHeld(card, field, wanted)) best.stays |= field.bit;
  return best;
}

std::string FieldList(unsigned fields) {
  std::string list;
  for (const Field& field : kFields)
    if (fields & field.bit) list += (list.empty() ? "" : "、") + std::string(field.name);
  return list;
}

bool ReadsWithKeyB(const int conditions[4]) {
  if (KeyBReadable(conditions[3])) return false;
  for (int b = 0; b < 3; ++b) {
    const Who read = DataBlockRuleOf(conditions[b]).read;
    if (!Allows(read, false) && Allows(read, true)) return true;
  }
  return false;
}

bool ReadableWith(const int conditions[4], int group, bool keyB) {
  return group != 3 && Allows(DataBlockRuleOf(conditions[group]).read, keyB);
}
