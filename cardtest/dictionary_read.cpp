#include "cardtest/dictionary_read.h"

#include <cstring>

#include "cardtest/texts.h"
#include "cards/access.h"

void DictionaryRead::Run(const std::string& uid, CardSize size, CardImage& image) {
  image_ = &image;
  image = CardImage(size);
  image.uid = uid;
  const int sectors = image.Sectors();
  // From here on each sector authenticates with what was found for it.
  link_.UseSectorKeys();
  link_.ForgetSectorKeys();

  int opened = 0;
  bool completed = true;
  for (int sector = 0; sector < sectors && completed; ++sector) {
    completed = Sector(sector);
    if (image.keyAKnown[sector] || image.keyBKnown[sector]) ++opened;
  }
  // Otherwise the status says why the card was lost.
  if (completed)
    progress_.Status(Format("字典读取完成：%d/%d 个扇区已读取", opened, sectors));
  else if (cancelled_)
    progress_.Status(Format("字典读取已取消：%d/%d 个扇区已读取", opened, sectors));
}

void DictionaryRead::Found(Key key) {
  if (foundSet_.insert(key).second) found_.push_back(key);
}

DictionaryRead::TryResult DictionaryRead::TryKey(int sector, int keyMode, Key key) {
  ++tries_;
  progress_.Working(Format("字典读取：扇区[%02d] 密钥%c，已试%d个密钥（Esc取消）", sector, KeyLetter(keyMode), tries_));
  if (Cancelled() || !Wake() || Cancelled()) return kStopped;
  if (!link_.LoadKey(keyMode, sector, key)) {
    progress_.Status(Format("装载第%d扇区%c密钥失败", sector, KeyLetter(keyMode)));
    return kStopped;
  }
  if (Cancelled()) return kStopped;
  return link_.Authenticate(sector, keyMode) ? kOpened : kRefused;
}

DictionaryRead::TryResult DictionaryRead::SearchKey(int sector, int keyMode, Key* found) {
  TryResult result = kRefused;
  auto opens = [&](Key key) {
    result = TryKey(sector, keyMode, key);
    if (result != kRefused) *found = key;
    return result != kRefused;
  };
  // Found keys first: the list may grow only between two searches.
  for (size_t i = 0; i < found_.size(); ++i)
    if (opens(found_[i])) return result;
  for (Key key : keys_)
    if (!foundSet_.count(key) && opens(key)) return result;
  return kRefused;
}

bool DictionaryRead::ReadBlocks(int sector, int keyMode, const std::vector<bool>& wanted,
                                std::vector<std::string>& lines) {
  char data[33];
  const int first = image_->layout.FirstBlock(sector);
  for (int block = 0; block < static_cast<int>(wanted.size()); ++block) {
    if (!wanted[block]) continue;
    std::memset(data, 0, sizeof data);
    // A block the key may not read leaves the card idle: the next one
    // needs the card back and the sector opened again.
    bool read = true;
    if (link_.Idle()) {
      if (Cancelled() || !Wake() || Cancelled()) return false;
      read = link_.Authenticate(sector, keyMode);
    }
    if (read && Cancelled()) return false;
    if (!read || !link_.ReadBlock(first + block, data)) {
      lines[block] = Format("读扇区[%02d]第[%d]块失败！", sector, block);
      continue;
    }
    data[32] = '\0';
    link_.NoteRead(*image_, first + block, data, keyMode);
    lines[block] = Format("块[%d]:%s", block, data);
  }
  return true;
}

bool DictionaryRead::RereadWithKeyB(int sector, std::vector<std::string>& lines, bool* used) {
  // Data blocks key A could not read because the access bits (when key A
  // could read them) let only key B read them.
  int conditions[4];
  const Layout& layout = image_->layout;
  const int trailer = layout.Trailer(sector);
  const bool known = image_->read[trailer] && DecodeAccessBits(image_->blocks[trailer].data(), conditions);
  std::vector<bool> wanted(layout.BlocksIn(sector), false);
  bool any = false;
  for (int block = 0; block < layout.BlocksIn(sector) - 1; ++block) {
    const Who read = known ? DataBlockRuleOf(conditions[layout.AccessGroup(sector, block)]).read : Who::kKeyB;
    wanted[block] = !image_->read[layout.FirstBlock(sector) + block] && read == Who::kKeyB;
    any = any || wanted[block];
  }
  *used = any;
  // The key search left the sector open with key B.
  return !any || ReadBlocks(sector, kKeyModeB, wanted, lines);
}

bool DictionaryRead::Sector(int sector) {
  CardImage& image = *image_;
  std::vector<std::string> blockLines(image.layout.BlocksIn(sector));
  const std::vector<bool> all(blockLines.size(), true);
  Key keyA = 0, keyB = 0;
  TryResult a = SearchKey(sector, kKeyModeA, &keyA);
  bool going = a != kStopped;
  if (a == kOpened) {
    Found(keyA);
    image.keyA[sector] = keyA;
    image.keyAKnown[sector] = true;
    going = ReadBlocks(sector, kKeyModeA, all, blockLines);
    if (image.keyBKnown[sector]) Found(image.keyB[sector]);
  }
  TryResult b = image.keyBKnown[sector] ? kOpened : kRefused;
  bool dataNeedsB = false;
  if (going && b != kOpened) {
    b = SearchKey(sector, kKeyModeB, &keyB);
    going = b != kStopped;
    if (b == kOpened) {
      Found(keyB);
      image.keyB[sector] = keyB;
      image.keyBKnown[sector] = true;
      going = a != kOpened ? ReadBlocks(sector, kKeyModeB, all, blockLines)
                           : RereadWithKeyB(sector, blockLines, &dataNeedsB);
    }
  }
  // The reader keeps key A where it was found (the B search loaded only B
  // slots) and reads the data, else key B.
  if (a == kOpened && !dataNeedsB)
    link_.NoteKey(sector, kKeyModeA, keyA);
  else if (b != kOpened)
    link_.OpenWith(sector, kKeyModeA);

  const bool anyKey = a == kOpened || b == kOpened;
  if (!anyKey && !going) return false;  // stopped before anything was found
  if (!anyKey) {
    progress_.ReadLine(Format("扇区[%02d]:字典中没有可用的密钥", sector), kAuthFailed, sector, 0);
    return true;
  }
  ListSector(sector, keyA, a == kOpened, blockLines);
  return going;
}

void DictionaryRead::ListSector(int sector, Key keyA, bool keyAFound, const std::vector<std::string>& blockLines) {
  const std::string notFound = "未找到";
  const std::string textA = keyAFound ? KeyHex(keyA) : notFound;
  const std::string textB = image_->keyBKnown[sector] ? KeyHex(image_->keyB[sector]) : notFound;
  progress_.ReadLine(Format("扇区[%02d]:密钥A[%s] 密钥B[%s]", sector, textA.c_str(), textB.c_str()), kAuthOk, sector,
                     0);
  // A cancel may leave the sector's last blocks unread and unlisted.
  for (size_t block = 0; block < blockLines.size(); ++block)
    if (!blockLines[block].empty()) progress_.ReadLine(blockLines[block], kBlockLine, sector, static_cast<int>(block));
}
