// The compares of the read list's menu: the last read against a dump file,
// or two dump files with no card at all. Neither touches the card or the
// read list; the result shows in a dialog of its own.
#include "cardtest/card_test_dlg.h"
#include "cards/compare.h"
#include "cards/dump_reader.h"
#include "dialog/file.h"

bool CCardTestDlg::AskDump(const std::string& title, CardImage* dump) {
  dlg::FileRequest request;
  request.title = title;
  request.filters = {{"转储文件 (*.mct;*.bin;*.mfd;*.eml)", "*.mct;*.bin;*.mfd;*.eml"}, {"所有文件 (*.*)", "*.*"}};
  if (!GetBackend()->AskFile(request)) return false;
  std::string bytes, problem;
  if (!dlg::ReadWholeFile(request.path, &bytes, &problem) || !ParseCardDump(bytes, dump, &problem)) {
    MessageBox("转储文件 " + request.path + " 无法使用：" + problem + "\n没有比较。", "",
               dlg::kMbOk | dlg::kMbIconExclamation);
    return false;
  }
  return true;
}

void CCardTestDlg::ShowCompare(const CompareSide& a, const CompareSide& b) {
  std::unique_ptr<CCompareResultDlg> result = NewCompareResultDialog();
  result->m_lines = CompareLines(a, b);
  m_strStatus = "比较完成：" + result->m_lines.front();
  UpdateData(false);
  GetBackend()->RunModal(*result);
}

void CCardTestDlg::OnCompareCard() {
  if (m_image.Empty()) {
    MessageBox("还没有读取卡片：请先读取M1数据或用密钥字典读取，再与转储文件比较", "",
               dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  CardImage dump;
  if (!AskDump("选择要与卡片比较的转储文件", &dump)) return;
  ShowCompare(CompareSideOf(m_image, "卡片"), CompareSideOf(dump, "文件"));
}

void CCardTestDlg::OnCompareDumps() {
  CardImage first, second;
  if (!AskDump("选择第一个转储文件", &first) || !AskDump("选择第二个转储文件", &second)) return;
  ShowCompare(CompareSideOf(first, "文件1"), CompareSideOf(second, "文件2"));
}
