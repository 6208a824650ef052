#include "cardtest/read_out.h"

#include <cstring>

#include "cardtest/texts.h"

void ReadOut::Run(const std::string& uid, CardImage& image) {
  image = CardImage();
  image.uid = uid;
  for (int sector = 0; sector < kSectors; ++sector)
    if (!Sector(sector, image)) break;
}

bool ReadOut::Sector(int sector, CardImage& image) {
  char data[33];
  std::memset(data, 0, sizeof data);
  const int keyMode = link_.KeyModeOf(sector, formKeyMode_);
  const char letter = KeyLetter(keyMode);

  if (!Wake()) return false;
  if (!link_.Authenticate(sector, keyMode)) {
    const std::string failed = Format("扇区[%02d]:校验密码[%c]失败！", sector, letter);
    progress_.ReadLine(failed, kAuthFailed, sector, 0);
    progress_.Status(failed);
    return true;
  }
  progress_.ReadLine(Format("扇区[%02d]:校验密码[%c]成功！", sector, letter), kAuthOk, sector, 0);
  for (int block = 0; block < kBlocksPerSector; ++block) {
    // A block the key may not read leaves the card idle: the sector's other
    // blocks need the card back and the sector authenticated again.
    bool read = true;
    if (link_.Idle()) {
      if (!Wake()) return false;
      read = link_.Authenticate(sector, keyMode);
    }
    if (!read || !link_.ReadBlock(BlockAddress(sector, block), data)) {
      const std::string failed = Format("读扇区[%02d]第[%d]块失败！", sector, block);
      progress_.ReadLine(failed, kBlockLine, sector, block);
      progress_.Status(failed);
      continue;
    }
    data[32] = '\0';
    link_.NoteRead(image, BlockAddress(sector, block), data, formKeyMode_);
    progress_.ReadLine(Format("块[%d]:%s", block, data), kBlockLine, sector, block);
  }
  return true;
}

void KeyLoad::Run(int keyMode, const uint8_t key[6]) {
  link_.UseFormKeyMode();
  const Key loaded = KeyFromBytes(key);
  const char letter = KeyLetter(keyMode);
  for (int sector = 0; sector < kSectors; ++sector) {
    if (!link_.LoadKey(keyMode, sector, loaded)) {
      progress_.Status(Format("装载第%d扇区%c密钥失败", sector, letter));
      return;
    }
  }
  progress_.Status(Format("装载%c密钥成功", letter));
  link_.Reader().Call(&ReaderApi::dc_beep, 10);
}

bool BlockWrite::Run(int sector, int block, int formKeyMode, char data[33]) {
  // After a dictionary read each sector has its own key and key type.
  const int keyMode = link_.KeyModeOf(sector, formKeyMode);
  const char letter = KeyLetter(keyMode);
  if (!Wake()) return false;
  if (!link_.Authenticate(sector, keyMode)) {
    progress_.Status(Format("扇区[%02d]:校验密码[%c]失败！", sector, letter));
    return false;
  }
  progress_.WriteLine(Format("扇区[%02d]:校验密码[%c]成功！", sector, letter), true);
  if (!link_.WriteBlock(BlockAddress(sector, block), data)) {
    const std::string failed = Format("写扇区[%02d]第[%d]块失败！", sector, block);
    progress_.WriteLine(failed, false);
    progress_.Status(failed);
    return false;
  }
  progress_.WriteLine(Format("扇区[%02d],块[%d]:写卡成功  %s", sector, block, data), true);
  return true;
}
