// The dictionary read: finds each sector's keys among a list of candidates
// and reads what they open. Most cards use a handful of keys, so a key
// found once is tried first on every later sector; each key is searched
// only until it is found; and key B is taken from the trailer wherever key
// A may read it there.
#include <cstring>
#include <unordered_set>

#include "cardtest/card_test_dlg.h"
#include "cardtest/read_list.h"
#include "cardtest/texts.h"
#include "cards/access.h"
#include "dialog/file.h"
#include "reader/session.h"

struct CCardTestDlg::KeySearch {
  const std::vector<Key>& keys;
  std::vector<Key> found;  // on this card, in the order found
  std::unordered_set<Key> foundSet;
  int tries = 0;

  void Found(Key key) {
    if (foundSet.insert(key).second) found.push_back(key);
  }
};

void CCardTestDlg::OnDictionaryRead() {
  Key typed = 0;
  bool typedValid = false;
  if (!DictionaryStarts(&typed, &typedValid)) return;
  DictionaryRead(KeyList(typedValid ? &typed : nullptr, BuiltInKeys()));
}

void CCardTestDlg::OnDictionaryReadFile() {
  Key typed = 0;
  bool typedValid = false;
  if (!DictionaryStarts(&typed, &typedValid)) return;
  dlg::FileRequest request;
  request.title = "选择密钥文件";
  request.filters = {{"密钥文件 (*.keys;*.dic;*.txt)", "*.keys;*.dic;*.txt"}, {"所有文件 (*.*)", "*.*"}};
  if (!GetBackend()->AskFile(request)) return;
  std::string text, error;
  if (!dlg::ReadWholeFile(request.path, &text, &error)) {
    MessageBox("无法读取密钥文件 " + request.path + "：" + error, "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  std::vector<Key> keys;
  int badLine = 0;
  if (!ParseKeyFile(text, &keys, &badLine)) {
    MessageBox(badLine == 0                    ? "密钥文件中没有密钥，未读卡"
               : badLine == kKeyFileCrLineEnds ? "密钥文件的行尾只有CR（回车），请另存为LF或CR LF行尾，整个文件未使用，未读卡"
                                               : Format("密钥文件第%d行不是12位十六进制的密钥，整个文件未使用，未读卡", badLine),
               "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  DictionaryRead(KeyList(nullptr, keys));
}

bool CCardTestDlg::DictionaryStarts(Key* typed, bool* typedValid) {
  if (!m_bCardFound) {
    MessageBox("请先打开读卡器并寻卡，再用字典读取", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return false;
  }
  // A failed collect has told the user already.
  if (!UpdateData(true)) return false;
  *typedValid = ParseKey(m_strKey, typed);
  return true;
}

void CCardTestDlg::DictionaryRead(const std::vector<Key>& keys) {
  KeySearch search{keys, {}, {}, 0};
  m_lstRead.ResetContent();
  m_image = CardImage();
  m_image.uid = m_strCsn;
  m_bCancelled = false;
  // From here on each sector authenticates with what was found for it.
  m_bPerSectorKeys = true;
  m_sectorKeyMode.fill(kKeyModeA);
  m_sectorKeyLoaded.fill(false);

  int opened = 0;
  bool completed = true;
  for (int sector = 0; sector < kSectors && completed; ++sector) {
    completed = DictionarySector(search, sector);
    if (m_image.keyAKnown[sector] || m_image.keyBKnown[sector]) ++opened;
  }
  if (completed)
    m_strStatus = Format("字典读取完成：%d/%d 个扇区已读取", opened, kSectors);
  else if (m_bCancelled)
    m_strStatus = Format("字典读取已取消：%d/%d 个扇区已读取", opened, kSectors);
  // Otherwise the status says why the card was lost. Shown before the
  // selection fills the write form, which collects the form first.
  UpdateData(false);
  OnSelchangeReadList();
}

bool CCardTestDlg::Proceed() {
  if (!m_bCancelled && GetBackend() && GetBackend()->KeepResponsive()) m_bCancelled = true;
  return !m_bCancelled;
}

CCardTestDlg::TryResult CCardTestDlg::TryKey(KeySearch& search, int sector, int keyMode, Key key) {
  ++search.tries;
  m_strStatus = Format("字典读取：扇区[%02d] 密钥%c，已试%d个密钥（Esc取消）", sector, KeyLetter(keyMode), search.tries);
  UpdateData(false);
  if (!Proceed() || !WakeCardIfIdle()) return kStopped;
  uint8_t bytes[6];
  KeyBytes(key, bytes);
  if (!Proceed()) return kStopped;
  if (m_reader.Call(&ReaderApi::dc_load_key, keyMode, sector, bytes) != 0) {
    m_strStatus = Format("装载第%d扇区%c密钥失败", sector, KeyLetter(keyMode));
    return kStopped;
  }
  m_sectorKeyMode[sector] = keyMode;
  m_sectorKey[sector] = key;
  m_sectorKeyLoaded[sector] = true;
  if (!Proceed()) return kStopped;
  return Authenticate(sector, keyMode) ? kOpened : kRefused;
}

CCardTestDlg::TryResult CCardTestDlg::SearchKey(KeySearch& search, int sector, int keyMode, Key* found) {
  // Found keys first: the list may grow only between two searches.
  for (size_t i = 0; i < search.found.size(); ++i) {
    const Key key = search.found[i];
    const TryResult result = TryKey(search, sector, keyMode, key);
    if (result != kRefused) {
      *found = key;
      return result;
    }
  }
  for (Key key : search.keys) {
    if (search.foundSet.count(key)) continue;
    const TryResult result = TryKey(search, sector, keyMode, key);
    if (result != kRefused) {
      *found = key;
      return result;
    }
  }
  return kRefused;
}

bool CCardTestDlg::ReadSectorBlocks(int sector, int keyMode, std::vector<std::string>& lines) {
  lines.assign(kBlocksPerSector, std::string());
  std::vector<bool> wanted(kBlocksPerSector, true);
  return ReadBlocksWith(sector, keyMode, wanted, lines);
}

bool CCardTestDlg::ReadBlocksWith(int sector, int keyMode, const std::vector<bool>& wanted,
                                  std::vector<std::string>& lines) {
  char data[33];
  for (int block = 0; block < kBlocksPerSector; ++block) {
    if (!wanted[block]) continue;
    std::memset(data, 0, sizeof data);
    // A block the key may not read leaves the card idle: the next one
    // needs the card back and the sector opened again.
    bool read = true;
    if (m_bCardIdle) {
      if (!Proceed() || !WakeCardIfIdle() || !Proceed()) return false;
      read = Authenticate(sector, keyMode);
    }
    if (read && !Proceed()) return false;
    if (!read || !ReadBlock(BlockAddress(sector, block), data)) {
      lines[block] = Format("读扇区[%02d]第[%d]块失败！", sector, block);
      continue;
    }
    data[32] = '\0';
    NoteBlock(BlockAddress(sector, block), data);
    lines[block] = Format("块[%d]:%s", block, data);
  }
  return true;
}

bool CCardTestDlg::RereadWithKeyB(int sector, std::vector<std::string>& lines, bool* used) {
  // Data blocks key A could not read because the access bits (when key A
  // could read them) let only key B read them.
  int conditions[4];
  const int trailer = BlockAddress(sector, kTrailerBlock);
  const bool known = m_image.read[trailer] && DecodeAccessBits(m_image.blocks[trailer].data(), conditions);
  std::vector<bool> wanted(kBlocksPerSector, false);
  bool any = false;
  for (int block = 0; block < kTrailerBlock; ++block) {
    const Who read = known ? DataBlockRuleOf(conditions[block]).read : Who::kKeyB;
    wanted[block] = !m_image.read[BlockAddress(sector, block)] && read == Who::kKeyB;
    any = any || wanted[block];
  }
  *used = any;
  // The key search left the sector open with key B.
  return !any || ReadBlocksWith(sector, kKeyModeB, wanted, lines);
}

bool CCardTestDlg::DictionarySector(KeySearch& search, int sector) {
  std::vector<std::string> blockLines;
  Key keyA = 0, keyB = 0;
  TryResult a = SearchKey(search, sector, kKeyModeA, &keyA);
  bool going = a != kStopped;
  if (a == kOpened) {
    search.Found(keyA);
    m_image.keyA[sector] = keyA;
    m_image.keyAKnown[sector] = true;
    going = ReadSectorBlocks(sector, kKeyModeA, blockLines);
    if (m_image.keyBKnown[sector]) {
      keyB = m_image.keyB[sector];
      search.Found(keyB);
    }
  }
  TryResult b = m_image.keyBKnown[sector] ? kOpened : kRefused;
  bool dataNeedsB = false;
  if (going && b != kOpened) {
    b = SearchKey(search, sector, kKeyModeB, &keyB);
    going = b != kStopped;
    if (b == kOpened) {
      search.Found(keyB);
      m_image.keyB[sector] = keyB;
      m_image.keyBKnown[sector] = true;
      going = a != kOpened ? ReadSectorBlocks(sector, kKeyModeB, blockLines)
                           : RereadWithKeyB(sector, blockLines, &dataNeedsB);
    }
  }
  // The reader keeps key A where it was found (the B search loaded only B
  // slots) and reads the data, else key B.
  if (a == kOpened && !dataNeedsB) {
    m_sectorKeyMode[sector] = kKeyModeA;
    m_sectorKey[sector] = keyA;
  } else if (b != kOpened) {
    m_sectorKeyMode[sector] = kKeyModeA;
  }

  const bool anyKey = a == kOpened || b == kOpened;
  if (!anyKey && !going) return false;  // stopped before anything was found
  if (!anyKey) {
    AppendLine(m_lstRead, Format("扇区[%02d]:字典中没有可用的密钥", sector), kAuthFailed, sector, 0);
    return true;
  }
  const std::string notFound = "未找到";
  const std::string textA = a == kOpened ? KeyHex(keyA) : notFound;
  const std::string textB = m_image.keyBKnown[sector] ? KeyHex(m_image.keyB[sector]) : notFound;
  AppendLine(m_lstRead, Format("扇区[%02d]:密钥A[%s] 密钥B[%s]", sector, textA.c_str(), textB.c_str()), kAuthOk,
             sector, 0);
  // A cancel may leave the sector's last blocks unread and unlisted.
  for (size_t block = 0; block < blockLines.size(); ++block)
    if (!blockLines[block].empty()) AppendLine(m_lstRead, blockLines[block], kBlockLine, sector, static_cast<int>(block));
  return going;
}
