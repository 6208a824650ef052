// Writing a saved dump onto the card. Nothing is sent before the whole dump
// has been checked and the user has confirmed it. Each sector is opened
// with the card's current keys, its data blocks are written before its
// trailer, and a cancel waits for the sector in hand to be complete, so
// that no sector is left with new keys over old data or the reverse.
// Block 0 goes last of all, and only when asked for.
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

}  // namespace

struct CCardTestDlg::DumpWrite {
  const CardImage& dump;
  const CardImage* found;  // the last dictionary read, when it read this card
  Key typed;
  bool typedValid;
  int planned;
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

  std::unique_ptr<CConfirmWriteDlg> confirm = NewConfirmWriteDialog();
  confirm->m_strUids = "卡片UID：" + m_strCsn + "\n转储文件UID：" + DumpUid(dump);
  confirm->m_strPlan = Format("将写入 %d 个块（不含块0）。", check.blocks);
  confirm->m_strPlan += check.skipped.empty() ? std::string("没有跳过的扇区。")
                                              : "跳过转储文件中没有的扇区：" + SectorList(check.skipped) + "。";
  if (!check.lockedForGood.empty())
    confirm->m_strLocked = "警告：扇区[" + SectorList(check.lockedForGood) +
                           "]写入后控制位将永久锁死，任何密钥都不能再修改。";
  if (GetBackend()->RunModal(*confirm) != IDC_CONFIRM_WRITE) {
    m_strStatus = "已取消，未写入任何块";
    UpdateData(false);
    return;
  }

  Key typed = 0;
  const bool typedValid = ParseKey(m_strKey, &typed);
  const bool block0 = confirm->m_bBlock0 && dump.read[0];
  const bool sameCard = !m_image.uid.empty() && m_image.uid == m_strCsn;
  DumpWrite run{dump, sameCard ? &m_image : nullptr, typed, typedValid, check.blocks + (block0 ? 1 : 0)};
  m_lstWrite.ResetContent();
  m_bCancelled = false;
  bool going = true;
  for (int sector = 0; sector < kSectors && going; ++sector) {
    const std::vector<int> blocks = SectorWriteOrder(dump, sector);
    if (blocks.empty()) continue;
    m_strStatus = Format("写入转储：扇区[%02d]，已写入%d/%d个块（Esc在扇区之间取消）", sector, run.written, run.planned);
    UpdateData(false);
    KeepAliveWithinSector();
    going = !m_bCancelled && WriteDumpSector(run, sector, blocks);
  }
  if (going && block0) going = WriteDumpSector(run, 0, {0});

  if (going)
    m_strStatus = Format("写入完成：%d/%d 个块已写入，%d 个块被拒绝", run.written, run.planned, run.refused);
  else if (m_bCancelled)
    m_strStatus = Format("写入已取消：%d/%d 个块已写入，%d 个块被拒绝", run.written, run.planned, run.refused);
  // Otherwise the status says why the card was lost.
  UpdateData(false);
}

void CCardTestDlg::KeepAliveWithinSector() {
  if (!m_bCancelled && GetBackend() && GetBackend()->KeepResponsive()) m_bCancelled = true;
}

CCardTestDlg::TryResult CCardTestDlg::OpenForWrite(DumpWrite& run, int sector, int keyMode) {
  const std::vector<Key> keys = SectorKeyOrder(run.found, sector, run.typedValid ? &run.typed : nullptr, run.dump);
  for (Key candidate : keys) {
    KeepAliveWithinSector();
    if (!WakeCardIfIdle()) return kStopped;
    uint8_t bytes[6];
    KeyBytes(candidate, bytes);
    if (m_reader.Call(&ReaderApi::dc_load_key, keyMode, sector, bytes) != 0) {
      m_strStatus = Format("装载第%d扇区%c密钥失败", sector, KeyLetter(keyMode));
      return kStopped;
    }
    m_sectorKeyMode[sector] = keyMode;
    m_sectorKey[sector] = candidate;
    m_sectorKeyLoaded[sector] = true;
    if (Authenticate(sector, keyMode)) {
      m_lstWrite.AddString(Format("扇区[%02d]:校验密码[%c]成功！", sector, KeyLetter(keyMode)));
      return kOpened;
    }
  }
  return kRefused;
}

bool CCardTestDlg::WriteDumpSector(DumpWrite& run, int sector, const std::vector<int>& blocks) {
  // Open with key A where any key opens it, else with key B; then learn
  // the sector's current access conditions from its trailer.
  int mode = kKeyModeA;
  TryResult opened = OpenForWrite(run, sector, kKeyModeA);
  if (opened == kRefused) {
    mode = kKeyModeB;
    opened = OpenForWrite(run, sector, kKeyModeB);
  }
  if (opened == kStopped) return false;
  if (opened == kRefused) {
    m_lstWrite.AddString(Format("扇区[%02d]:没有能打开的密钥，%d个块未写入", sector, static_cast<int>(blocks.size())));
    run.refused += static_cast<int>(blocks.size());
    return true;
  }
  m_bPerSectorKeys = true;
  char hex[33] = {};
  int conditions[4] = {0, 0, 0, 1};  // as shipped, when the trailer cannot be read
  uint8_t trailer[16];
  if (ReadBlock(BlockAddress(sector, kTrailerBlock), hex) && HexToBytes(hex, trailer, 32))
    DecodeAccessBits(trailer, conditions);
  bool opens[2] = {mode == kKeyModeA, mode == kKeyModeB};  // by key A, by key B
  bool searchedB = mode == kKeyModeB;

  for (size_t i = 0; i < blocks.size(); ++i) {
    const int address = blocks[i];
    const int block = address % kBlocksPerSector;
    // Key A where it may write, else key B where only B may.
    const bool useB = !WritableWith(conditions, block, false);
    if (useB && !searchedB && WritableWith(conditions, block, true)) {
      searchedB = true;
      const TryResult b = OpenForWrite(run, sector, kKeyModeB);
      if (b == kStopped) return false;
      opens[1] = b == kOpened;
      if (opens[1]) mode = kKeyModeB;
    }
    if (!WritableWith(conditions, block, useB) || !opens[useB]) {
      ++run.refused;
      m_lstWrite.AddString(Format("扇区[%02d],块[%d]:卡上的控制位不允许用已知的密钥写入，未写", sector, block));
      continue;
    }
    // Back to the other key, or back from idle after a refused write.
    const int wanted = useB ? kKeyModeB : kKeyModeA;
    if (m_bCardIdle || wanted != mode) {
      KeepAliveWithinSector();
      if (!WakeCardIfIdle()) return false;
      mode = wanted;
      if (!Authenticate(sector, mode)) {
        m_lstWrite.AddString(Format("扇区[%02d]:校验密码[%c]失败！", sector, KeyLetter(mode)));
        run.refused += static_cast<int>(blocks.size() - i);
        return true;
      }
    }
    const std::array<uint8_t, 16> data =
        block == kTrailerBlock ? run.dump.TrailerWithKeys(sector) : run.dump.blocks[address];
    std::string text = BlockHex(data);
    KeepAliveWithinSector();
    if (m_reader.Call(&ReaderApi::dc_write_hex, address, &text[0]) != 0) {
      m_bCardIdle = true;
      ++run.refused;
      m_lstWrite.AddString(Format("写扇区[%02d]第[%d]块失败！", sector, block));
      continue;
    }
    ++run.written;
    m_lstWrite.AddString(Format("扇区[%02d],块[%d]:写卡成功  %s", sector, block, text.c_str()));
    m_lstWrite.SetCurSel(m_lstWrite.GetCount() - 1);
    if (!ReadableWith(conditions, block, mode == kKeyModeB)) continue;
    KeepAliveWithinSector();
    std::memset(hex, 0, sizeof hex);
    if (!ReadBlock(address, hex) || text != std::string(hex, 32))
      m_lstWrite.AddString(Format("扇区[%02d],块[%d]:读回的数据与写入的不同  %s", sector, block, hex));
  }
  return true;
}
