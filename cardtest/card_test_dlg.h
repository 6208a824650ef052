#pragma once
// The main dialog's card side: the card test form and the card commands.
// Platform-free: the window side (icon, system menu, painting, colours)
// derives from this class and adds only what a real window needs.
//
// Every command runs to completion on the caller's thread, calling the reader
// through the dialog's own reader session.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "cardtest/card_link.h"
#include "cardtest/card_test_form.h"
#include "cardtest/compare_result_dlg.h"
#include "cardtest/confirm_write_dlg.h"
#include "cardtest/dump_plan.h"
#include "cardtest/progress.h"
#include "cards/card_image.h"
#include "cards/compare.h"
#include "cards/keys.h"
#include "dialog/dialog.h"
#include "reader/session.h"

class CCardTestDlg : public dlg::CDialog, public CardTestForm {
 public:
  CCardTestDlg();

  // "打开读卡器": opens the reader, stores the handle, beeps.
  void OnOpenReader();
  // "寻卡": identifies the card in the field and leaves it selected.
  void OnFindCard();
  // "装载KEYA" / "装载KEYB": loads the typed key for all sectors.
  void OnLoadKeyA();
  void OnLoadKeyB();
  // "读取M1数据": authenticates and reads every sector into the read list.
  void OnReadCard();
  // A line of the read list was selected (and once after every read-out).
  void OnSelchangeReadList();
  // "写M1数据": writes the typed data into the block the form names.
  void OnWriteCard();

  // The read list's context menu.
  // "用内置密钥字典读取" / "用密钥文件读取…": finds each sector's keys among
  // the built-in defaults or a key file's, then reads what they open.
  void OnDictionaryRead();
  void OnDictionaryReadFile();
  // "保存读取结果…" / "保存找到的密钥…"
  void OnSaveDump();
  void OnSaveKeys();
  // "复制选中行 (Ctrl+C)" / "复制全部"
  void OnCopyLine();
  void OnCopyAll();
  // "解释此块…": the selected line's sector's access conditions, and the
  // application directory or NDEF message the sector holds.
  void OnExplainBlock();
  // "把转储文件写入卡片…": checks a dump file whole, asks for confirmation,
  // then writes it sector by sector with the card's current keys.
  void OnWriteDump();
  // "与转储文件比较…": the last read-out or dictionary read against a dump
  // file; "比较两个转储文件…": two dump files, no card needed.
  void OnCompareCard();
  void OnCompareDumps();
  bool OnContextMenu(int id, int x, int y) override;

  // The reader the commands talk to: none until the program (or a test)
  // gives the dialog a session of its own.
  ReaderSession& Session() { return m_reader; }

  // Routes button clicks of IDC_OPEN_READER..IDC_WRITE_CARD and the read
  // list's selection change to the commands; true when it was one of them.
  bool OnCommand(int id, int notifyCode) override;

 protected:
  void DoDataExchange(dlg::CDataExchange* pDX) override;
  // The confirmation dialog before a dump is written; the window side
  // gives one that paints the locked sectors red.
  virtual std::unique_ptr<CConfirmWriteDlg> NewConfirmWriteDialog() { return std::make_unique<CConfirmWriteDlg>(); }
  // The compare's result; the window side gives one whose list scrolls
  // sideways to its widest line.
  virtual std::unique_ptr<CCompareResultDlg> NewCompareResultDialog() { return std::make_unique<CCompareResultDlg>(); }

 private:
  // What the card operations report, shown at once.
  class Shown : public Progress {
   public:
    explicit Shown(CCardTestDlg& dlg) : dlg_(dlg) {}
    void Status(const std::string& text) override;
    // Under Wine each repaint of the status line costs milliseconds: a
    // progress text is shown at most every 100 ms.
    void Working(const std::string& text) override;
    void ReadLine(const std::string& text, LineKind kind, int sector, int block) override;
    void WriteLine(const std::string& text, bool select) override;
    bool CancelAsked() override;

   private:
    CCardTestDlg& dlg_;
    std::chrono::steady_clock::time_point shown_{};
  };

  void LoadKey(int keyMode);
  // Before a sector command of the context menu: a card must have been
  // found, and the form collected; false when not (the user has been told).
  bool CardCommandStarts(const char* noCard);
  // After a sector command of the context menu on a card whose SAK names
  // no known size: the status line says it was taken as 1K.
  void NoteUnknownSize();
  void DictionaryRead(const std::vector<Key>& keys);
  bool ConfirmDumpWrite(const CardImage& dump, const DumpCheck& check, const std::vector<std::string>& cardWarnings,
                        int cardSectors, bool* block0);
  // Compare (dump_compare.cpp): a dump file chosen and parsed, or false
  // (cancelled, or the user told why it is unusable).
  bool AskDump(const std::string& title, CardImage* dump);
  void ShowCompare(const CompareSide& a, const CompareSide& b);
  // Saving (save.cpp): writes `bytes` to `path` atomically; on failure tells
  // the user and gives false.
  bool SaveFile(const std::string& bytes, const std::string& path);

  ReaderSession m_reader;
  CardLink m_link{m_reader};
  Shown m_shown{*this};
  // What the last read-out or dictionary read learnt of the card.
  CardImage m_image;
};
