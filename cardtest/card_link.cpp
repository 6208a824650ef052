#include "cardtest/card_link.h"

#include "cards/access.h"
#include "txtconv/txtconv.h"

bool CardLink::Authenticate(int sector, int keyMode) {
  return Answered(reader_.Call(&ReaderApi::dc_authentication, keyMode, sector));
}

bool CardLink::ReadBlock(int address, char* hex) { return Answered(reader_.Call(&ReaderApi::dc_read_hex, address, hex)); }

bool CardLink::WriteBlock(int address, char* hex) {
  return Answered(reader_.Call(&ReaderApi::dc_write_hex, address, hex));
}

bool CardLink::Answered(int16_t status) {
  if (status != 0) idle_ = true;
  return status == 0;
}

bool CardLink::WakeIfIdle() {
  if (!idle_) return true;
  uint32_t tagType = 0;
  uint32_t serial = 0;
  uint8_t sak = 0;
  // Without a card found there is nothing to compare an answer with.
  bool awake = found_;
  // WUPA, as find card sends it: an idle card answers it as well as REQA.
  if (awake) awake = reader_.Call(&ReaderApi::dc_request, 1, &tagType) == 0;
  if (awake) awake = reader_.Call(&ReaderApi::dc_anticoll, 0, &serial) == 0;
  // Never select another card: the keys and the write target were meant
  // for the one the user found.
  if (awake) awake = serial == serial_;
  if (awake) awake = reader_.Call(&ReaderApi::dc_select, serial, &sak) == 0;
  if (awake) idle_ = false;
  return awake;
}

bool CardLink::LoadKey(int keyMode, int sector, Key key) {
  uint8_t bytes[6];
  KeyBytes(key, bytes);
  if (reader_.Call(&ReaderApi::dc_load_key, keyMode, sector, bytes) != 0) return false;
  NoteKey(sector, keyMode, key);
  return true;
}

void CardLink::NoteKey(int sector, int keyMode, Key key) {
  sectors_[sector].loaded = true;
  sectors_[sector].mode = keyMode;
  sectors_[sector].key = key;
}

void CardLink::ForgetSectorKeys() {
  for (SectorKey& sector : sectors_) {
    sector.loaded = false;
    sector.mode = kKeyModeA;
  }
}

void CardLink::NoteRead(CardImage& image, int address, const char* hex, int formKeyMode) const {
  const int sector = image.layout.SectorOf(address);
  uint8_t* block = image.blocks[address].data();
  if (!HexToBytes(hex, block, 32)) return;
  image.read[address] = true;
  // The key that opened the sector, when it is the one the reader was given.
  const int mode = KeyModeOf(sector, formKeyMode);
  if (sectors_[sector].loaded && sectors_[sector].mode == mode) {
    if (mode == kKeyModeA) {
      image.keyA[sector] = sectors_[sector].key;
      image.keyAKnown[sector] = true;
    } else {
      image.keyB[sector] = sectors_[sector].key;
      image.keyBKnown[sector] = true;
    }
  }
  // Where key A may read key B, the trailer holds it as it is.
  int conditions[4];
  if (image.layout.IsTrailer(address) && mode == kKeyModeA && DecodeAccessBits(block, conditions) &&
      KeyBReadable(conditions[kTrailerBlock])) {
    image.keyB[sector] = KeyFromBytes(block + 10);
    image.keyBKnown[sector] = true;
  }
}
