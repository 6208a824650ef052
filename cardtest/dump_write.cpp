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
  // Until the write knows every size, a dump of another one goes nowhere.
  const bool read = dlg::ReadWholeFile(request.path, &bytes, &problem) && ParseCardDump(bytes, &dump, &problem);
  if (read && dump.size != CardSize::k1K)
    problem = std::string("文件是MIFARE Classic ") + SizeName(dump.size) + "卡的转储；本程序只能写入1K卡的转储（1024字节）";
  if (!read || dump.size != CardSize::k1K) {
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
  DumpWriteRun run(m_link, m_shown, dump, sameCard ? &m_image : nullptr, typedValid ? &typed : nullptr);
  if (!run.Survey()) return;
  bool block0 = false;
  if (!ConfirmDumpWrite(dump, check, run.Warnings(), &block0)) {
    m_strStatus = "已取消，未写入任何块";
    UpdateData(false);
    return;
  }
  m_lstWrite.ResetContent();
  run.Write(block0, check.blocks + (block0 ? 1 : 0));
  NoteUnknownSize();
}

bool CCardTestDlg::ConfirmDumpWrite(const CardImage& dump, const DumpCheck& check,
                                    const std::vector<std::string>& cardWarnings, bool* block0) {
  std::unique_ptr<CConfirmWriteDlg> confirm = NewConfirmWriteDialog();
  confirm->m_strUids = "卡片UID：" + m_strCsn + "\n转储文件UID：" + DumpUid(dump);
  confirm->m_strPlan = Format("将写入 %d 个块（不含块0）。", check.blocks);
  confirm->m_strPlan += check.skipped.empty() ? std::string("没有跳过的扇区。")
                                              : "跳过转储文件中没有的扇区：" + SectorList(check.skipped) + "。";
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
