#pragma once
// The main dialog's card side: the card test form and the card commands.
// Platform-free: the window side (icon, system menu, painting, colours)
// derives from this class and adds only what a real window needs.
//
// Every command runs to completion on the caller's thread, calling the reader
// through the dialog's own reader session.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "cardtest/card_test_form.h"
#include "cardtest/confirm_write_dlg.h"
#include "cardtest/dump_plan.h"
#include "cards/card_image.h"
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
  // "解释此块…": the selected line's sector's access conditions.
  void OnExplainBlock();
  // "把转储文件写入卡片…": checks a dump file whole, asks for confirmation,
  // then writes it sector by sector with the card's current keys.
  void OnWriteDump();
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

 private:
  // What one run of find card carries from its first activation to its second.
  struct Activation {
    uint32_t tagType = 0;
    uint32_t serial = 0;
    uint32_t conversions = 0;  // the text conversions' counter
  };
  // Reset, type A, request, anticollision, select: shows ATQA, CSN, SAK and
  // card type; false once a step has failed and been reported.
  bool ActivateCard(Activation& activation, const char* unknownFormat);
  bool FindCardFailed(const char* message);
  void LoadKey(int keyMode);

  // A MIFARE Classic card that refuses an authentication or a command drops
  // back to idle and answers nothing until it is activated again. These
  // track that, so the next authentication can bring the card back first.
  // Authenticates the sector with key mode `keyMode`; a refusal leaves
  // the card idle.
  bool Authenticate(int sector, int keyMode);
  // Reads one block into `hex` (33 characters); a refusal leaves the card idle.
  bool ReadBlock(int address, char* hex);
  // When the card was left idle: request, anticollision and select again,
  // and true only if the card that answers is the one find card found. On
  // false the status line asks for a new find card and the command stops.
  bool WakeCardIfIdle();
  // One sector of the read-out into the read list; false once the command
  // has to stop because the card is gone or another one answers.
  bool ReadSector(int sector);
  // Keeps what a read block tells of the card in the image.
  void NoteBlock(int address, const char* hex);

  // The dictionary read (dictionary.cpp).
  enum TryResult { kOpened, kRefused, kStopped };
  struct KeySearch;
  void DictionaryRead(const std::vector<Key>& keys);
  bool DictionarySector(KeySearch& search, int sector);
  TryResult SearchKey(KeySearch& search, int sector, int keyMode, Key* found);
  TryResult TryKey(KeySearch& search, int sector, int keyMode, Key key);
  // Reads the sector's four blocks with the key it was opened with into
  // `lines`; false when the command has to stop.
  bool ReadSectorBlocks(int sector, int keyMode, std::vector<std::string>& lines);
  bool ReadBlocksWith(int sector, int keyMode, const std::vector<bool>& wanted, std::vector<std::string>& lines);
  // After key B was found in a sector key A opened: the data blocks only
  // key B may read, read with it into `lines`; *used tells whether there
  // were any.
  bool RereadWithKeyB(int sector, std::vector<std::string>& lines, bool* used);
  // Before each reader call of a long command: keeps the window alive;
  // false once the user has cancelled.
  bool Proceed();
  bool DictionaryStarts(Key* typedKey, bool* typedValid);

  // Writing a dump (dump_write.cpp).
  struct DumpWrite;
  enum WriteResult { kWritten, kWriteRefused, kWriteStopped };
  // Opens every sector to write with the known keys and reads its trailer;
  // false when the user cancelled or the card was lost.
  bool SurveyCard(DumpWrite& run);
  void ReadCardTrailer(int sector, int key, SectorOnCard& card);
  void KeepOpeningKeys(const DumpWrite& run);
  // The confirmation; false when the user did not confirm.
  bool ConfirmDumpWrite(DumpWrite& run, const DumpCheck& check);
  // What the card's current access bits will not let the write do.
  static std::vector<std::string> CardWarnings(const DumpWrite& run);
  void WriteDump(DumpWrite& run);
  bool WriteDumpSector(DumpWrite& run, int sector, const std::vector<int>& blocks);
  WriteResult WriteDumpBlock(DumpWrite& run, int sector, int address, int& mode);
  WriteResult WriteDumpTrailer(DumpWrite& run, int sector, int& mode);
  WriteResult SendDumpBlock(DumpWrite& run, int sector, int address, int key, int& mode, const std::string& text);
  bool TrailerReadsBack(int sector, int mode, const std::array<uint8_t, 16>& wanted, std::vector<const char*>* stays);
  void UseKeysOnCard(const DumpWrite& run, int sector, const std::vector<const char*>& stays);
  // Loads the sector's candidate keys in turn until one opens it.
  TryResult OpenForWrite(DumpWrite& run, int sector, int keyMode, Key* opened);
  // Remembers what the reader now holds for the sector.
  void NoteKeyLoaded(int sector, int keyMode, Key key);
  // Between reader calls within a sector: keeps the window alive and notes
  // a cancel, which takes effect only before the next sector or block 0.
  void KeepAliveWithinSector();

  // Saving (save.cpp): writes `bytes` to `path` atomically; on failure tells
  // the user and gives false.
  bool SaveFile(const std::string& bytes, const std::string& path);

  ReaderSession m_reader;
  bool m_bCardFound = false;  // find card got as far as a selected card
  uint32_t m_nFoundSerial = 0;
  bool m_bCardIdle = false;   // the card refused something since then

  // What the reader holds for each sector: one key for all after a key
  // load, each sector's own after a dictionary read.
  // How a sector authenticates: the form's key mode, or after a dictionary
  // read the sector's own.
  int KeyModeOf(int sector) const { return m_bPerSectorKeys ? m_sectorKeyMode[sector] : m_nKeyMode; }
  bool m_bPerSectorKeys = false;
  std::array<int, 16> m_sectorKeyMode{};
  std::array<Key, 16> m_sectorKey{};
  std::array<bool, 16> m_sectorKeyLoaded{};
  // What the last read-out or dictionary read learnt of the card.
  CardImage m_image;
  bool m_bCancelled = false;
};
