// The dump write's command: nothing is written before the whole dump has
// been checked, the card surveyed and the user has confirmed what the card
// will and will not take.
#include "cardtest/card_test_dlg.h"
#include "cardtest/dump_plan.h"
#include "cardtest/dump_write_run.h"
#include "cardtest/texts.h"
#include "cards/dump_reader.h"
#include "cards/hex.h"
#include "dialog/file.h"

namespace {

std::string DumpUid(const CardImage& dump) {
  if (!dump.read[0]) return "（转储文件中没有块0）";
  return HexText(dump.blocks[0].data(), 4);
}

}  // namespace

void CCardTestDlg::OnWriteDump() {
  if (!CardCommandStarts("请先打开读卡器并寻卡，再写入转储文件")) return;
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
  const CardSize cardSize = SizeOfSak(m_link.Sak()).size;
  if (dump.Sectors() > LayoutOf(cardSize).sectors) {
    m_strStatus = "转储文件比卡片大，未写入";
    UpdateData(false);
    MessageBox(Format("转储文件是%s卡的（%d个扇区），这张卡是%s卡（%d个扇区），整个转储文件未写入，卡片没有改动。",
                      SizeName(dump.size), dump.Sectors(), SizeName(cardSize), LayoutOf(cardSize).sectors),
               "", dlg::kMbOk | dlg::kMbIconError);
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
  DumpWriteRun run(m_link, m_shown, dump, sameCard ? &m_image : nullptr, typedValid ? &typed : nullptr);
  if (!run.Survey()) return;
  bool block0 = false;
  if (!ConfirmDumpWrite(dump, check, run.Warnings(), LayoutOf(cardSize).sectors, &block0)) {
    m_strStatus = "已取消，未写入任何块";
    UpdateData(false);
    return;
  }
  // A block 0 without its check byte is fine to leave out (a card with a
  // 7-byte UID has none), never to write: the card could not be found again.
  if (block0 && check.badBlock0) {
    m_strStatus = "转储文件有错误，未写入";
    UpdateData(false);
    MessageBox("扇区[00]块[0]BCC校验错误，写入会使卡片无法寻卡\n整个转储文件未写入，卡片没有改动。", "",
               dlg::kMbOk | dlg::kMbIconError);
    return;
  }
  m_lstWrite.ResetContent();
  run.Write(block0);
  NoteUnknownSize();
}

bool CCardTestDlg::ConfirmDumpWrite(const CardImage& dump, const DumpCheck& check,
                                    const std::vector<std::string>& cardWarnings, int cardSectors, bool* block0) {
  std::unique_ptr<CConfirmWriteDlg> confirm = NewConfirmWriteDialog();
  confirm->m_strUids = "卡片UID：" + m_strCsn + "\n转储文件UID：" + DumpUid(dump);
  confirm->m_strPlan = Format("将写入 %d 个块（不含块0）。", check.blocks);
  confirm->m_strPlan += check.skipped.empty() ? std::string("没有跳过的扇区。")
                                              : "跳过转储文件中没有的扇区：" + SectorList(check.skipped) + "。";
  if (dump.Sectors() < cardSectors)
    confirm->m_strPlan += Format("转储文件只有%d个扇区，卡片的扇区[%02d-%02d]保持不变。", dump.Sectors(), dump.Sectors(),
                                 cardSectors - 1);
  if (check.badBlock0) confirm->m_strPlan += "块0没有正确的BCC（例如7字节卡号的卡），不会写入。";
  std::vector<std::string> warnings;
  if (!check.lockedForGood.empty())
    warnings.push_back("警告：扇区[" + SectorList(check.lockedForGood) +
                       "]写入后控制位将永久锁死，任何密钥都不能再修改。");
  if (check.uidFrozen) warnings.push_back("警告：写入后块0（卡号）将永远不能再写。");
  warnings.insert(warnings.end(), cardWarnings.begin(), cardWarnings.end());
  for (const std::string& warning : warnings)
    confirm->m_strLocked += (confirm->m_strLocked.empty() ? "" : "\n") + warning;
  if (GetBackend()->RunModal(*confirm) != IDC_CONFIRM_WRITE) return false;
  *block0 = confirm->m_bBlock0 && dump.read[0];
  return true;
}
