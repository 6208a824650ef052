// The read list's context menu and what it does with the list itself:
// copying lines and explaining a block, with what the card carries.

#include "cardtest/card_test_dlg.h"
#include "cardtest/read_list.h"
#include "cards/access.h"
#include "cards/card_contents.h"
#include "res/resource.h"

bool CCardTestDlg::OnContextMenu(int id, int x, int y) {
  if (id != IDC_READ_LIST || Busy() || !GetBackend()) return false;
  const bool selected = m_lstRead.GetCurSel() >= 0;
  const bool lines = m_lstRead.GetCount() > 0;
  const bool keys = !m_image.FoundKeys().empty();
  const std::vector<dlg::MenuItem> items = {
      {IDM_DICTIONARY_READ, "用内置密钥字典读取", true},
      {IDM_DICTIONARY_READ_FILE, "用密钥文件读取…", true},
      {0, "", true},
      {IDM_SAVE_DUMP, "保存读取结果…", !m_image.Empty()},
      {IDM_SAVE_KEYS, "保存找到的密钥…", keys},
      {0, "", true},
      {IDM_COPY_LINE, "复制选中行 (Ctrl+C)", selected},
      {IDM_COPY_ALL, "复制全部", lines},
      {0, "", true},
      {IDM_EXPLAIN_BLOCK, "解释此块…", selected && LineKindOf(m_lstRead.GetItemData(m_lstRead.GetCurSel())) != 0},
      {IDM_WRITE_DUMP, "把转储文件写入卡片…", true},
      {IDM_COMPARE_CARD, "与转储文件比较…", !m_image.Empty()},
      {IDM_COMPARE_DUMPS, "比较两个转储文件…", true},
  };
  const int chosen = GetBackend()->PopupMenu(id, x, y, items);
  if (chosen != 0) RunCommand(chosen, dlg::kButtonClicked);
  return true;
}

void CCardTestDlg::OnCopyLine() {
  const int index = m_lstRead.GetCurSel();
  if (index < 0) {
    MessageBox("读取列表中没有选中的行", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  if (!GetBackend()->SetClipboardText(m_lstRead.GetText(index))) {
    MessageBox("剪贴板正被其它程序占用，没有复制", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  m_strStatus = "已复制选中行";
  UpdateData(false);
}

void CCardTestDlg::OnCopyAll() {
  const int count = m_lstRead.GetCount();
  if (count == 0) {
    MessageBox("读取列表是空的", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  std::string text;
  for (int i = 0; i < count; ++i) text += m_lstRead.GetText(i) + "\n";
  if (!GetBackend()->SetClipboardText(text)) {
    MessageBox("剪贴板正被其它程序占用，没有复制", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  m_strStatus = "已复制全部 " + std::to_string(count) + " 行";
  UpdateData(false);
}

void CCardTestDlg::OnExplainBlock() {
  const int index = m_lstRead.GetCurSel();
  const int kind = index < 0 ? 0 : LineKindOf(m_lstRead.GetItemData(index));
  if (kind == 0) {
    MessageBox("请先在读取列表中选中一个扇区或块的行", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  const intptr_t line = m_lstRead.GetItemData(index);
  const int sector = LineSectorOf(line), block = LineBlockOf(line);
  const Layout& layout = m_image.layout;
  if (sector >= layout.sectors) return;
  const int trailer = layout.Trailer(sector), address = layout.FirstBlock(sector) + block;
  // A header line stands for its sector: no block of its own to decode.
  const bool blockLine = kind == kBlockLine;
  std::string text = ExplainSector(sector, blockLine ? block : -1,
                                   m_image.read[trailer] ? m_image.blocks[trailer].data() : nullptr,
                                   blockLine && m_image.read[address] ? m_image.blocks[address].data() : nullptr,
                                   layout.BlocksIn(sector));
  // Sector 0 (and 16) may hold the card's application directory, an NFC
  // sector its NDEF message: shown under the access conditions.
  const std::vector<std::string> contents = ContentLines(m_image, sector);
  if (!contents.empty()) text += "\n";
  for (const std::string& line : contents) text += "\n" + line;
  MessageBox(text, "", dlg::kMbOk);
}
