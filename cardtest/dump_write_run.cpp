#include "cardtest/dump_write_run.h"

#include <cstring>

#include "cardtest/texts.h"
#include "cards/access.h"
#include "cards/hex.h"
#include "txtconv/txtconv.h"

namespace {

std::string BlockHex(const std::array<uint8_t, 16>& block) { return HexText(block.data(), block.size()); }

int ModeOfKey(int key) { return key == 1 ? kKeyModeB : kKeyModeA; }

}  // namespace

DumpWriteRun::DumpWriteRun(CardLink& link, Progress& progress, const CardImage& dump, const CardImage* found,
                           const Key* typed)
    : CardOperation(link, progress), dump_(dump), found_(found), typedValid_(typed != nullptr), card_(dump.Sectors()) {
  if (typed) typed_ = *typed;
}

int DumpWriteRun::GroupOf(int address) const {
  return dump_.layout.AccessGroup(dump_.layout.SectorOf(address), dump_.layout.IndexInSector(address));
}

bool DumpWriteRun::Survey() {
  bool going = true;
  for (int sector : SectorOrder(dump_.Sectors())) {
    going = SurveySector(sector);
    if (!going) break;
  }
  KeepOpeningKeys();
  if (going) {
    progress_.Status("卡片已检查，请确认是否写入");
  } else if (cancelled_) {
    progress_.Status("已取消，未写入任何块");
  }
  return going;
}

bool DumpWriteRun::SurveySector(int sector) {
  const std::vector<int> blocks = SectorWriteOrder(dump_, sector, dump_.read[0]);
  if (blocks.empty()) return true;
  progress_.Working(Format("检查卡片：扇区[%02d]（Esc取消）", sector));
  if (Cancelled()) return false;
  SectorOnCard& card = card_[sector];
  Key key = 0;
  const TryResult a = Open(sector, kKeyModeA, &key);
  if (a == kStopped) return false;
  if (a == kOpened) {
    card.opens[0] = true;
    card.keys[0] = key;
    ReadTrailer(sector, 0, card);
    if (!NeedsKeyB(card, dump_.layout, blocks)) return true;
  }
  const TryResult b = Open(sector, kKeyModeB, &key);
  if (b == kStopped) return false;
  if (b != kOpened) return true;
  card.opens[1] = true;
  card.keys[1] = card.keyB = key;
  card.keyBKnown = true;
  if (!card.opens[0]) ReadTrailer(sector, 1, card);
  return true;
}

void DumpWriteRun::ReadTrailer(int sector, int key, SectorOnCard& card) {
  char hex[33] = {};
  uint8_t bytes[16];
  if (!link_.ReadBlock(dump_.layout.Trailer(sector), hex) || !HexToBytes(hex, bytes, 32)) return;
  std::memcpy(card.trailer.data(), bytes, 16);
  // Bits this key may not read come back as zeros, which never decode.
  card.conditionsKnown = DecodeAccessBits(bytes, card.conditions);
  if (card.conditionsKnown && key == 0 && KeyBReadable(card.conditions[3])) {
    card.keyB = KeyFromBytes(bytes + 10);
    card.keyBKnown = true;
  }
}

// What the reader is left holding for each sector surveyed: the key that
// opened it, whatever was tried after it.
void DumpWriteRun::KeepOpeningKeys() {
  for (int sector = 0; sector < dump_.Sectors(); ++sector) {
    const SectorOnCard& card = card_[sector];
    if (card.opens[0])
      link_.NoteKey(sector, kKeyModeA, card.keys[0]);
    else if (card.opens[1])
      link_.NoteKey(sector, kKeyModeB, card.keys[1]);
  }
}

// Loads the sector's candidate keys in turn until one opens it.
DumpWriteRun::TryResult DumpWriteRun::Open(int sector, int keyMode, Key* opened) {
  const std::vector<Key> keys = SectorKeyOrder(found_, sector, typedValid_ ? &typed_ : nullptr, dump_);
  for (Key candidate : keys) {
    if (Cancelled() || !Wake()) return kStopped;
    link_.UseSectorKeys();
    if (!link_.LoadKey(keyMode, sector, candidate)) {
      progress_.Status(Format("装载第%d扇区%c密钥失败", sector, KeyLetter(keyMode)));
      return kStopped;
    }
    if (link_.Authenticate(sector, keyMode)) {
      *opened = candidate;
      return kOpened;
    }
  }
  return kRefused;
}

std::vector<std::string> DumpWriteRun::Warnings() const {
  std::vector<int> closed, dataLocked;
  std::vector<std::string> warnings;
  for (int sector : SectorOrder(dump_.Sectors())) {
    const SectorOnCard& card = card_[sector];
    const std::vector<int> blocks = SectorWriteOrder(dump_, sector, false);
    if (blocks.empty()) continue;
    if (!card.opens[0] && !card.opens[1]) {
      closed.push_back(sector);
      continue;
    }
    bool dataWritable = true;
    for (int address : blocks)
      if (!dump_.layout.IsTrailer(address) && WriterOf(card, GroupOf(address), 0) < 0) dataWritable = false;
    if (!dataWritable) {
      dataLocked.push_back(sector);
    } else if (blocks.back() == dump_.layout.Trailer(sector)) {
      const TrailerPlan plan = PlanTrailer(card, dump_.TrailerWithKeys(sector));
      if (plan.stays != 0)
        warnings.push_back(Format("扇区[%02d]的尾块不能按转储文件写入：%s将保持卡上原样。", sector,
                                  FieldList(plan.stays).c_str()));
    }
  }
  if (!closed.empty()) warnings.insert(warnings.begin(), "扇区[" + SectorList(closed) + "]没有能打开的已知密钥，不会写入。");
  if (!dataLocked.empty())
    warnings.push_back("扇区[" + SectorList(dataLocked) + "]的数据块不能用已知的密钥写入，这些扇区的尾块也不会写入。");
  const SectorOnCard& card0 = card_[0];
  if (dump_.read[0] && card0.conditionsKnown && WriterOf(card0, 0, 0) < 0)
    warnings.push_back("卡上扇区[00]现在的控制位不允许用已知的密钥写块0，勾选“写入块0”也不会写入。");
  return warnings;
}

void DumpWriteRun::Write(bool block0) {
  block0 = block0 && dump_.read[0];
  for (int sector = 0; sector < dump_.Sectors(); ++sector)
    planned_ += static_cast<int>(SectorWriteOrder(dump_, sector, block0).size());
  bool going = true;
  for (int sector : SectorOrder(dump_.Sectors())) {
    const std::vector<int> blocks = SectorWriteOrder(dump_, sector, block0);
    if (blocks.empty()) continue;
    progress_.Working(Format("写入转储：扇区[%02d]，已写入%d/%d个块（Esc在扇区之间取消）", sector, written_, planned_));
    going = !Cancelled() && WriteSector(sector, blocks);
    if (!going) break;
  }
  // Otherwise the status says why the card was lost.
  if (going)
    progress_.Status(Format("写入完成：%d/%d 个块已写入，%d 个块被拒绝", written_, planned_, refused_));
  else if (cancelled_)
    progress_.Status(Format("写入已取消：%d/%d 个块已写入，%d 个块被拒绝", written_, planned_, refused_));
}

bool DumpWriteRun::WriteSector(int sector, const std::vector<int>& blocks) {
  const SectorOnCard& card = card_[sector];
  if (!card.opens[0] && !card.opens[1]) {
    Line(Format("扇区[%02d]:没有能打开的密钥，%d个块未写入", sector, static_cast<int>(blocks.size())));
    refused_ += static_cast<int>(blocks.size());
    return true;
  }
  int mode = -1;  // the key the sector is open with in this pass: 0 A, 1 B
  bool dataMissed = false;
  for (int address : blocks) {
    const bool trailer = dump_.layout.IsTrailer(address);
    if (address == 0 && Cancelled()) return false;
    if (trailer && dataMissed) {
      Refused(BlockLine(address, "数据块没有全部写入，尾块未写，密钥和控制位保持不变"));
      continue;
    }
    const WriteResult result = trailer ? WriteTrailer(sector, mode) : WriteBlock(sector, address, mode);
    if (result == kWriteStopped) return false;
    if (result == kWriteRefused && address != 0) dataMissed = true;
  }
  return true;
}

DumpWriteRun::WriteResult DumpWriteRun::WriteBlock(int sector, int address, int& mode) {
  const SectorOnCard& card = card_[sector];
  const int key = WriterOf(card, GroupOf(address), mode >= 0 ? mode : (card.opens[0] ? 0 : 1));
  if (key < 0) return Refused(BlockLine(address, "卡上的控制位不允许用已知的密钥写入，未写"));
  const std::string text = BlockHex(dump_.blocks[address]);
  const WriteResult sent = Send(sector, address, key, mode, text);
  if (sent != kWritten) return sent;
  // Read back where the key may: a block the card did not take as sent is
  // not written.
  char hex[33] = {};
  if (card.conditionsKnown && ReadableWith(card.conditions, GroupOf(address), key == 1)) {
    Cancelled();
    if (!link_.ReadBlock(address, hex) || text != std::string(hex, 32))
      return Refused(BlockLine(address, "读回的数据与写入的不同  " + std::string(hex)));
  }
  return Written(address, text);
}

std::string DumpWriteRun::BlockLine(int address, const std::string& what) const {
  return Format("扇区[%02d],块[%d]:", dump_.layout.SectorOf(address), dump_.layout.IndexInSector(address)) + what;
}

DumpWriteRun::WriteResult DumpWriteRun::Refused(const std::string& line) {
  ++refused_;
  Line(line);
  return kWriteRefused;
}

DumpWriteRun::WriteResult DumpWriteRun::Written(int address, const std::string& hex) {
  ++written_;
  Line(BlockLine(address, "写卡成功  " + hex), true);
  return kWritten;
}

// Opens the sector with `key` unless it is open with it already, then
// writes: kWritten once the card took the frame.
DumpWriteRun::WriteResult DumpWriteRun::Send(int sector, int address, int key, int& mode, const std::string& text) {
  if (link_.Idle() || key != mode) {
    Cancelled();
    if (!Wake()) return kWriteStopped;
    mode = -1;
    if (!link_.Authenticate(sector, ModeOfKey(key)))
      return Refused(Format("扇区[%02d]:校验密码[%c]失败！", sector, KeyLetter(ModeOfKey(key))));
    mode = key;
    Line(Format("扇区[%02d]:校验密码[%c]成功！", sector, KeyLetter(ModeOfKey(key))));
  }
  std::string sent = text;
  Cancelled();
  if (!link_.WriteBlock(address, &sent[0]))
    return Refused(Format("写扇区[%02d]第[%d]块失败！", sector, dump_.layout.IndexInSector(address)));
  return kWritten;
}

DumpWriteRun::WriteResult DumpWriteRun::WriteTrailer(int sector, int& mode) {
  const std::array<uint8_t, 16> wanted = dump_.TrailerWithKeys(sector);
  const TrailerPlan plan = PlanTrailer(card_[sector], wanted);
  const int address = dump_.layout.Trailer(sector);
  if (plan.key < 0) return Refused(BlockLine(address, "卡上的控制位不允许用已知的密钥写入，未写"));
  const std::string text = BlockHex(wanted);
  const WriteResult sent = Send(sector, address, plan.key, mode, text);
  if (sent != kWritten) return sent;
  unsigned stays = plan.stays;
  if (stays == 0) stays = TrailerReadsBack(sector, mode, wanted);
  UseKeysOnCard(sector, stays);
  if (stays != 0) return Refused(BlockLine(address, "卡片只接受了部分尾块，" + FieldList(stays) + "保持原样"));
  return Written(address, text);
}

// Reads the trailer back where the new access bits let the key read them,
// and gives the fields that differ (key A always reads as zeros, and key B
// reads only where the bits let it).
unsigned DumpWriteRun::TrailerReadsBack(int sector, int mode, const std::array<uint8_t, 16>& wanted) {
  int conditions[4];
  if (!DecodeAccessBits(wanted.data(), conditions)) return 0;
  const TrailerRule rule = TrailerRuleOf(conditions[3]);
  if (!Allows(rule.accessRead, mode == 1)) return 0;
  char hex[33] = {};
  uint8_t bytes[16];
  Cancelled();
  if (!link_.ReadBlock(dump_.layout.Trailer(sector), hex) || !HexToBytes(hex, bytes, 32)) {
    Line(BlockLine(dump_.layout.Trailer(sector), "写入后读回失败，无法确认"));
    return 0;
  }
  unsigned differ = 0;
  if (std::memcmp(bytes + 6, &wanted[6], 4) != 0) differ |= kAccessField;
  if (Allows(rule.keyBRead, mode == 1) && std::memcmp(bytes + 10, &wanted[10], 6) != 0) differ |= kKeyBField;
  return differ;
}

// After a trailer write the reader is given the keys the card now holds,
// so that a read-out opens the sector with them.
void DumpWriteRun::UseKeysOnCard(int sector, unsigned stays) {
  auto stayed = [stays](TrailerField field) { return (stays & field) != 0; };
  const SectorOnCard& card = card_[sector];
  int conditions[4];
  std::memcpy(conditions, card.conditions, sizeof conditions);
  if (!stayed(kAccessField)) DecodeAccessBits(dump_.TrailerWithKeys(sector).data(), conditions);
  const bool useB = ReadsWithKeyB(conditions) && (!stayed(kKeyBField) || card.opens[1]);
  const int mode = useB ? kKeyModeB : kKeyModeA;
  const bool newKey = !stayed(useB ? kKeyBField : kKeyAField);
  if (!newKey && !card.opens[useB ? 1 : 0]) return;
  const Key key = newKey ? (useB ? dump_.keyB[sector] : dump_.keyA[sector]) : card.keys[useB ? 1 : 0];
  const CardLink::SectorKey& held = link_.KeyOf(sector);
  if (held.loaded && held.mode == mode && held.key == key) return;
  link_.LoadKey(mode, sector, key);
}
