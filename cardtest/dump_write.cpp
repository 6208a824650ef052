// Writing a saved dump onto the card. Nothing is written before the whole
// dump has been checked, the card's sectors have been opened and their
// access bits read, and the user has confirmed what the card will and will
// not take. Each block is written with a known key the card lets write it;
// a sector's data blocks go before its trailer, and a sector whose data
// could not all be written keeps its old trailer, so that no sector is left
// with new keys over old data. Sector 0 goes last, block 0 (only when asked)
// before its trailer. A cancel waits for the sector in hand to be complete,
// except that it is also heard before block 0.
#include <cstring>

#include "cardtest/card_test_dlg.h"
#include "cardtest/dump_plan.h"
#include "cardtest/mifare.h"
#include "cardtest/texts.h"
#include "cards/access.h"
#include "cards/dump_reader.h"
#include "dialog/file.h"
#include "reader/session.h"
#include "txtconv/txtconv.h"

namespace {

std::string BlockHex(const std::array<uint8_t, 16>& block) {
  std::string hex;
  for (uint8_t b : block) hex += Format("%02X", b);
  return hex;
}

std::string DumpUid(const CardImage& dump) {
  if (!dump.read[0]) return "（转储文件中没有块0）";
  return Format("%02X%02X%02X%02X", dump.blocks[0][0], dump.blocks[0][1], dump.blocks[0][2], dump.blocks[0][3]);
}

int ModeOfKey(int key) { return key == 1 ? kKeyModeB : kKeyModeA; }

}  // namespace

struct CCardTestDlg::DumpWrite {
  const CardImage& dump;
  const CardImage* found;  // the last dictionary read, when it read this card
  Key typed;
  bool typedValid;
  std::array<SectorOnCard, kSectors> card{};
  bool block0 = false;
  int planned = 0;
  int written = 0;
  int refused = 0;
};

void CCardTestDlg::OnWriteDump() {
  if (!m_bCardFound) {
    MessageBox("请先打开读卡器并寻卡，再写入转储文件", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  // A failed collect has told the user already.
  if (!UpdateData(true)) return;
  dlg::FileRequest request;
  request.title = "选择要写入卡片的转储文件";
  request.filters = {{"转储文件 (*.mct;*.bin;*.mfd;*.eml)", "*.mct;*.bin;*.mfd;*.eml"}, {"所有文件 (*.*)", "*.*"}};
  if (!GetBackend()->AskFile(request)) return;
  std::string bytes, problem;
  CardImage dump;
  if (!dlg::ReadWholeFile(request.path, &bytes, &problem) || !ParseCardDump(bytes, &dump, &problem)) {
    MessageBox("转储文件 " + request.path + " 无法使用：" + problem + "\n未写入任何块。", "",
               dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  const DumpCheck check = CheckDump(dump);
  const std::string refusal = RefusalOf(check);
  if (!refusal.empty()) {
    m_strStatus = "转储文件有错误，未写入";
    UpdateData(false);
    MessageBox(refusal, "", dlg::kMbOk | dlg::kMbIconError);
    return;
  }

  Key typed = 0;
  const bool typedValid = ParseKey(m_strKey, &typed);
  const bool sameCard = !m_image.uid.empty() && m_image.uid == m_strCsn;
  DumpWrite run{dump, sameCard ? &m_image : nullptr, typed, typedValid};
  m_bCancelled = false;
  const bool surveyed = SurveyCard(run);
  KeepOpeningKeys(run);
  if (!surveyed) {
    if (m_bCancelled) m_strStatus = "已取消，未写入任何块";
    UpdateData(false);
    return;
  }
  m_strStatus = "卡片已检查，请确认是否写入";
  UpdateData(false);
  if (!ConfirmDumpWrite(run, check)) {
    m_strStatus = "已取消，未写入任何块";
    UpdateData(false);
    return;
  }
  run.planned = check.blocks + (run.block0 ? 1 : 0);
  WriteDump(run);
}

bool CCardTestDlg::ConfirmDumpWrite(DumpWrite& run, const DumpCheck& check) {
  std::unique_ptr<CConfirmWriteDlg> confirm = NewConfirmWriteDialog();
  confirm->m_strUids = "卡片UID：" + m_strCsn + "\n转储文件UID：" + DumpUid(run.dump);
  confirm->m_strPlan = Format("将写入 %d 个块（不含块0）。", check.blocks);
  confirm->m_strPlan += check.skipped.empty() ? std::string("没有跳过的扇区。")
                                              : "跳过转储文件中没有的扇区：" + SectorList(check.skipped) + "。";
  std::vector<std::string> warnings;
  if (!check.lockedForGood.empty())
    warnings.push_back("警告：扇区[" + SectorList(check.lockedForGood) +
                       "]写入后控制位将永久锁死，任何密钥都不能再修改。");
  if (check.uidFrozen) warnings.push_back("警告：写入后块0（卡号）将永远不能再写。");
  for (const std::string& warning : CardWarnings(run)) warnings.push_back(warning);
  for (const std::string& warning : warnings)
    confirm->m_strLocked += (confirm->m_strLocked.empty() ? "" : "\n") + warning;
  if (GetBackend()->RunModal(*confirm) != IDC_CONFIRM_WRITE) return false;
  run.block0 = confirm->m_bBlock0 && run.dump.read[0];
  return true;
}

std::vector<std::string> CCardTestDlg::CardWarnings(const DumpWrite& run) {
  std::vector<int> closed, dataLocked;
  std::vector<std::string> warnings;
  for (int sector : SectorOrder()) {
    const SectorOnCard& card = run.card[sector];
    const std::vector<int> blocks = SectorWriteOrder(run.dump, sector, false);
    if (blocks.empty()) continue;
    if (!card.opens[0] && !card.opens[1]) {
      closed.push_back(sector);
      continue;
    }
    bool dataWritable = true;
    for (int address : blocks)
      if (address % kBlocksPerSector != kTrailerBlock && WriterOf(card, address % kBlocksPerSector, 0) < 0)
        dataWritable = false;
    const int trailer = BlockAddress(sector, kTrailerBlock);
    if (!dataWritable) {
      dataLocked.push_back(sector);
    } else if (blocks.back() == trailer) {
      const TrailerPlan plan = PlanTrailer(card, run.dump.TrailerWithKeys(sector));
      if (!plan.stays.empty())
        warnings.push_back(Format("扇区[%02d]的尾块不能按转储文件写入：%s将保持卡上原样。", sector,
                                  FieldList(plan.stays).c_str()));
    }
  }
  if (!closed.empty()) warnings.insert(warnings.begin(), "扇区[" + SectorList(closed) + "]没有能打开的已知密钥，不会写入。");
  if (!dataLocked.empty())
    warnings.push_back("扇区[" + SectorList(dataLocked) + "]的数据块不能用已知的密钥写入，这些扇区的尾块也不会写入。");
  const SectorOnCard& card0 = run.card[0];
  if (run.dump.read[0] && card0.conditionsKnown && WriterOf(card0, 0, 0) < 0)
    warnings.push_back("卡上扇区[00]现在的控制位不允许用已知的密钥写块0，勾选“写入块0”也不会写入。");
  return warnings;
}

// Before anything is written: opens each sector with the known keys and
// reads its trailer, so the confirmation can say what the card will take.
bool CCardTestDlg::SurveyCard(DumpWrite& run) {
  for (int sector : SectorOrder()) {
    std::vector<int> blocks = SectorWriteOrder(run.dump, sector, run.dump.read[0]);
    if (blocks.empty()) continue;
    m_strStatus = Format("检查卡片：扇区[%02d]（Esc取消）", sector);
    UpdateData(false);
    if (!Proceed()) return false;
    SectorOnCard& card = run.card[sector];
    Key key = 0;
    const TryResult a = OpenForWrite(run, sector, kKeyModeA, &key);
    if (a == kStopped) return false;
    if (a == kOpened) {
      card.opens[0] = true;
      card.keys[0] = key;
      ReadCardTrailer(sector, 0, card);
      if (!NeedsKeyB(card, blocks)) continue;
    }
    const TryResult b = OpenForWrite(run, sector, kKeyModeB, &key);
    if (b == kStopped) return false;
    if (b != kOpened) continue;
    card.opens[1] = true;
    card.keys[1] = card.keyB = key;
    card.keyBKnown = true;
    if (!card.opens[0]) ReadCardTrailer(sector, 1, card);
  }
  return true;
}

// What the reader is left holding for each sector surveyed: the key that
// opened it, whatever was tried after it.
void CCardTestDlg::KeepOpeningKeys(const DumpWrite& run) {
  for (int sector = 0; sector < kSectors; ++sector) {
    const SectorOnCard& card = run.card[sector];
    if (card.opens[0])
      NoteKeyLoaded(sector, kKeyModeA, card.keys[0]);
    else if (card.opens[1])
      NoteKeyLoaded(sector, kKeyModeB, card.keys[1]);
  }
}

void CCardTestDlg::ReadCardTrailer(int sector, int key, SectorOnCard& card) {
  char hex[33] = {};
  uint8_t bytes[16];
  if (!ReadBlock(BlockAddress(sector, kTrailerBlock), hex) || !HexToBytes(hex, bytes, 32)) return;
  std::memcpy(card.trailer.data(), bytes, 16);
  // Bits this key may not read come back as zeros, which never decode.
  card.conditionsKnown = DecodeAccessBits(bytes, card.conditions);
  if (card.conditionsKnown && key == 0 && KeyBReadable(card.conditions[kTrailerBlock])) {
    card.keyB = KeyFromBytes(bytes + 10);
    card.keyBKnown = true;
  }
}

void CCardTestDlg::WriteDump(DumpWrite& run) {
  m_lstWrite.ResetContent();
  bool going = true;
  for (int sector : SectorOrder()) {
    const std::vector<int> blocks = SectorWriteOrder(run.dump, sector, run.block0);
    if (blocks.empty()) continue;
    m_strStatus = Format("写入转储：扇区[%02d]，已写入%d/%d个块（Esc在扇区之间取消）", sector, run.written, run.planned);
    UpdateData(false);
    KeepAliveWithinSector();
    going = !m_bCancelled && WriteDumpSector(run, sector, blocks);
    if (!going) break;
  }
  if (going)
    m_strStatus = Format("写入完成：%d/%d 个块已写入，%d 个块被拒绝", run.written, run.planned, run.refused);
  else if (m_bCancelled)
    m_strStatus = Format("写入已取消：%d/%d 个块已写入，%d 个块被拒绝", run.written, run.planned, run.refused);
  // Otherwise the status says why the card was lost.
  UpdateData(false);
}

void CCardTestDlg::KeepAliveWithinSector() {
  // The window keeps answering after a cancel too, while the sector in
  // hand is finished.
  if (GetBackend() && GetBackend()->KeepResponsive()) m_bCancelled = true;
}

CCardTestDlg::TryResult CCardTestDlg::OpenForWrite(DumpWrite& run, int sector, int keyMode, Key* opened) {
  const std::vector<Key> keys = SectorKeyOrder(run.found, sector, run.typedValid ? &run.typed : nullptr, run.dump);
  for (Key candidate : keys) {
    if (!Proceed() || !WakeCardIfIdle()) return kStopped;
    uint8_t bytes[6];
    KeyBytes(candidate, bytes);
    if (m_reader.Call(&ReaderApi::dc_load_key, keyMode, sector, bytes) != 0) {
      m_strStatus = Format("装载第%d扇区%c密钥失败", sector, KeyLetter(keyMode));
      return kStopped;
    }
    NoteKeyLoaded(sector, keyMode, candidate);
    if (Authenticate(sector, keyMode)) {
      *opened = candidate;
      return kOpened;
    }
  }
  return kRefused;
}

void CCardTestDlg::NoteKeyLoaded(int sector, int keyMode, Key key) {
  m_bPerSectorKeys = true;
  m_sectorKeyMode[sector] = keyMode;
  m_sectorKey[sector] = key;
  m_sectorKeyLoaded[sector] = true;
}

bool CCardTestDlg::WriteDumpSector(DumpWrite& run, int sector, const std::vector<int>& blocks) {
  const SectorOnCard& card = run.card[sector];
  if (!card.opens[0] && !card.opens[1]) {
    m_lstWrite.AddString(Format("扇区[%02d]:没有能打开的密钥，%d个块未写入", sector, static_cast<int>(blocks.size())));
    run.refused += static_cast<int>(blocks.size());
    return true;
  }
  int mode = -1;  // the key the sector is open with in this pass: 0 A, 1 B
  bool dataMissed = false;
  for (int address : blocks) {
    const int block = address % kBlocksPerSector;
    if (address == 0) {
      KeepAliveWithinSector();
      if (m_bCancelled) return false;
    }
    if (block == kTrailerBlock && dataMissed) {
      ++run.refused;
      m_lstWrite.AddString(Format("扇区[%02d],块[3]:数据块没有全部写入，尾块未写，密钥和控制位保持不变", sector));
      continue;
    }
    const WriteResult result = block == kTrailerBlock ? WriteDumpTrailer(run, sector, mode)
                                                      : WriteDumpBlock(run, sector, address, mode);
    if (result == kWriteStopped) return false;
    if (result == kWriteRefused && address != 0) dataMissed = true;
  }
  return true;
}

CCardTestDlg::WriteResult CCardTestDlg::WriteDumpBlock(DumpWrite& run, int sector, int address, int& mode) {
  const int block = address % kBlocksPerSector;
  const SectorOnCard& card = run.card[sector];
  const int key = WriterOf(card, block, mode >= 0 ? mode : (card.opens[0] ? 0 : 1));
  if (key < 0) {
    ++run.refused;
    m_lstWrite.AddString(Format("扇区[%02d],块[%d]:卡上的控制位不允许用已知的密钥写入，未写", sector, block));
    return kWriteRefused;
  }
  const std::string text = BlockHex(run.dump.blocks[address]);
  const WriteResult sent = SendDumpBlock(run, sector, address, key, mode, text);
  if (sent != kWritten) return sent;
  // Read back where the key may: a block the card did not take as sent is
  // not written.
  char hex[33] = {};
  if (card.conditionsKnown && ReadableWith(card.conditions, block, key == 1)) {
    KeepAliveWithinSector();
    if (!ReadBlock(address, hex) || text != std::string(hex, 32)) {
      ++run.refused;
      m_lstWrite.AddString(Format("扇区[%02d],块[%d]:读回的数据与写入的不同  %s", sector, block, hex));
      return kWriteRefused;
    }
  }
  ++run.written;
  m_lstWrite.AddString(Format("扇区[%02d],块[%d]:写卡成功  %s", sector, block, text.c_str()));
  m_lstWrite.SetCurSel(m_lstWrite.GetCount() - 1);
  return kWritten;
}

// Opens the sector with `key` unless it is open with it already, then
// writes: kWritten once the card took the frame.
CCardTestDlg::WriteResult CCardTestDlg::SendDumpBlock(DumpWrite& run, int sector, int address, int key, int& mode,
                                                      const std::string& text) {
  const int block = address % kBlocksPerSector;
  if (m_bCardIdle || key != mode) {
    KeepAliveWithinSector();
    if (!WakeCardIfIdle()) return kWriteStopped;
    mode = -1;
    if (!Authenticate(sector, ModeOfKey(key))) {
      ++run.refused;
      m_lstWrite.AddString(Format("扇区[%02d]:校验密码[%c]失败！", sector, KeyLetter(ModeOfKey(key))));
      return kWriteRefused;
    }
    mode = key;
    m_lstWrite.AddString(Format("扇区[%02d]:校验密码[%c]成功！", sector, KeyLetter(ModeOfKey(key))));
  }
  std::string sent = text;
  KeepAliveWithinSector();
  if (m_reader.Call(&ReaderApi::dc_write_hex, address, &sent[0]) != 0) {
    m_bCardIdle = true;
    ++run.refused;
    m_lstWrite.AddString(Format("写扇区[%02d]第[%d]块失败！", sector, block));
    return kWriteRefused;
  }
  return kWritten;
}

CCardTestDlg::WriteResult CCardTestDlg::WriteDumpTrailer(DumpWrite& run, int sector, int& mode) {
  const SectorOnCard& card = run.card[sector];
  const std::array<uint8_t, 16> wanted = run.dump.TrailerWithKeys(sector);
  const TrailerPlan plan = PlanTrailer(card, wanted);
  if (plan.key < 0) {
    ++run.refused;
    m_lstWrite.AddString(Format("扇区[%02d],块[3]:卡上的控制位不允许用已知的密钥写入，未写", sector));
    return kWriteRefused;
  }
  const std::string text = BlockHex(wanted);
  const WriteResult sent = SendDumpBlock(run, sector, BlockAddress(sector, kTrailerBlock), plan.key, mode, text);
  if (sent != kWritten) return sent;
  std::vector<const char*> stays = plan.stays;
  if (stays.empty() && !TrailerReadsBack(sector, mode, wanted, &stays)) return kWriteStopped;
  UseKeysOnCard(run, sector, stays);
  if (!stays.empty()) {
    ++run.refused;
    m_lstWrite.AddString(Format("扇区[%02d],块[3]:卡片只接受了部分尾块，%s保持原样", sector, FieldList(stays).c_str()));
    return kWriteRefused;
  }
  ++run.written;
  m_lstWrite.AddString(Format("扇区[%02d],块[3]:写卡成功  %s", sector, text.c_str()));
  m_lstWrite.SetCurSel(m_lstWrite.GetCount() - 1);
  return kWritten;
}

// Reads the trailer back where the new access bits let the key read them,
// and names in `stays` what differs (key A always reads as zeros, and key B
// reads only where the bits let it). False when the card was lost.
bool CCardTestDlg::TrailerReadsBack(int sector, int mode, const std::array<uint8_t, 16>& wanted,
                                    std::vector<const char*>* stays) {
  int conditions[4];
  if (!DecodeAccessBits(wanted.data(), conditions)) return true;
  const TrailerRule rule = TrailerRuleOf(conditions[kTrailerBlock]);
  if (!Allows(rule.accessRead, mode == 1)) return true;
  char hex[33] = {};
  uint8_t bytes[16];
  KeepAliveWithinSector();
  if (!ReadBlock(BlockAddress(sector, kTrailerBlock), hex) || !HexToBytes(hex, bytes, 32)) {
    m_lstWrite.AddString(Format("扇区[%02d],块[3]:写入后读回失败，无法确认", sector));
    return true;
  }
  if (std::memcmp(bytes + 6, &wanted[6], 4) != 0) stays->push_back("控制位");
  if (Allows(rule.keyBRead, mode == 1) && std::memcmp(bytes + 10, &wanted[10], 6) != 0) stays->push_back("密钥B");
  return true;
}

// After a trailer write the reader is given the keys the card now holds,
// so that a read-out opens the sector with them.
void CCardTestDlg::UseKeysOnCard(const DumpWrite& run, int sector, const std::vector<const char*>& stays) {
  auto stayed = [&stays](const char* field) {
    for (const char* s : stays)
      if (std::strcmp(s, field) == 0) return true;
    return false;
  };
  const SectorOnCard& card = run.card[sector];
  int conditions[4];
  std::memcpy(conditions, card.conditions, sizeof conditions);
  if (!stayed("控制位")) DecodeAccessBits(run.dump.TrailerWithKeys(sector).data(), conditions);
  const bool useB = ReadsWithKeyB(conditions) && (!stayed("密钥B") || card.opens[1]);
  const int mode = useB ? kKeyModeB : kKeyModeA;
  const bool newKey = !stayed(useB ? "密钥B" : "密钥A");
  if (!newKey && !card.opens[useB ? 1 : 0]) return;
  const Key key = newKey ? (useB ? run.dump.keyB[sector] : run.dump.keyA[sector]) : card.keys[useB ? 1 : 0];
  if (m_sectorKeyLoaded[sector] && m_sectorKeyMode[sector] == mode && m_sectorKey[sector] == key) return;
  uint8_t bytes[6];
  KeyBytes(key, bytes);
  if (m_reader.Call(&ReaderApi::dc_load_key, mode, sector, bytes) == 0) NoteKeyLoaded(sector, mode, key);
}
