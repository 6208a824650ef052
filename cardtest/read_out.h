#pragma once
// The read-out: every sector authenticated with the key the reader holds
// for it and its four blocks read into the read list, five lines a sector;
// a failure costs its block or its sector and the read goes on.

#include <string>

#include "cardtest/card_operation.h"
#include "cards/card_image.h"

class ReadOut : CardOperation {
 public:
  ReadOut(CardLink& link, Progress& progress, int formKeyMode) : CardOperation(link, progress), formKeyMode_(formKeyMode) {}
  // Reads the card whose CSN the window shows as `uid` into `image`.
  void Run(const std::string& uid, CardImage& image);

 private:
  // False once the command has to stop because the card is gone or another
  // one answers.
  bool Sector(int sector, CardImage& image);

  int formKeyMode_;
};

class KeyLoad : CardOperation {
 public:
  KeyLoad(CardLink& link, Progress& progress) : CardOperation(link, progress) {}
  // Loads `key` as `keyMode` for every sector, then beeps.
  void Run(int keyMode, const uint8_t key[6]);
};

// Writes one block of the form's sector with the key the reader holds for it.
class BlockWrite : CardOperation {
 public:
  BlockWrite(CardLink& link, Progress& progress) : CardOperation(link, progress) {}
  // False when it has reported a failure in the status line.
  bool Run(int sector, int block, int formKeyMode, char data[33]);
};
