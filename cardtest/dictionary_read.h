#pragma once
// The dictionary read: finds each sector's keys among a list of candidates
// and reads what they open into the read list and a card image. Most cards
// use a handful of keys, so a key found once is tried first on every later
// sector; each key is searched only until it is found; key B is taken from
// the trailer wherever key A may read it there; and blocks only key B may
// read are read with key B once it is found.

#include <string>
#include <unordered_set>
#include <vector>

#include "cardtest/card_operation.h"
#include "cards/card_image.h"
#include "cards/keys.h"

class DictionaryRead : CardOperation {
 public:
  DictionaryRead(CardLink& link, Progress& progress, const std::vector<Key>& keys)
      : CardOperation(link, progress), keys_(keys) {}
  // Reads the card of `size` whose CSN the window shows as `uid` into `image`.
  void Run(const std::string& uid, CardSize size, CardImage& image);

 private:
  enum TryResult { kOpened, kRefused, kStopped };
  bool Sector(int sector);
  TryResult SearchKey(int sector, int keyMode, Key* found);
  TryResult TryKey(int sector, int keyMode, Key key);
  void Found(Key key);
  // Reads the sector's blocks marked in `wanted` with the key it was opened
  // with into `lines` (one per block); false when the command has to stop.
  bool ReadBlocks(int sector, int keyMode, const std::vector<bool>& wanted, std::vector<std::string>& lines);
  // After key B was found in a sector key A opened: the data blocks only
  // key B may read, read with it; *used tells whether there were any.
  bool RereadWithKeyB(int sector, std::vector<std::string>& lines, bool* used);
  void ListSector(int sector, Key keyA, bool keyAFound, const std::vector<std::string>& blockLines);

  const std::vector<Key>& keys_;
  std::vector<Key> found_;  // on this card, in the order found
  std::unordered_set<Key> foundSet_;
  int tries_ = 0;
  CardImage* image_ = nullptr;
};
