#pragma once
// Writing a saved dump onto the card, once the dump has been checked whole.
// Survey() opens every sector to write with the known keys and reads its
// trailer, so the confirmation can say what the card will take; Write()
// then writes each block with a known key the card lets write it. A
// sector's data blocks go before its trailer, and a sector whose data could
// not all be written keeps its old trailer, so that no sector is left with
// new keys over old data. Sector 0 goes last, block 0 (only when asked)
// before its trailer. A cancel waits for the sector in hand to be complete,
// except that it is also heard before block 0.

#include <array>
#include <string>
#include <vector>

#include "cardtest/card_operation.h"
#include "cardtest/dump_plan.h"
#include "cards/card_image.h"
#include "cards/keys.h"

class DumpWriteRun : CardOperation {
 public:
  // `found`: the last dictionary read, when it read this card; `typed`: the
  // key typed in the form, when valid.
  DumpWriteRun(CardLink& link, Progress& progress, const CardImage& dump, const CardImage* found, const Key* typed);

  // False when the user cancelled or the card was lost; the status says which.
  bool Survey();
  // What the card's current access bits will not let the write do.
  std::vector<std::string> Warnings() const;
  // Writes every block the dump holds, block 0 only when `block0`.
  void Write(bool block0);

 private:
  enum WriteResult { kWritten, kWriteRefused, kWriteStopped };
  enum TryResult { kOpened, kRefused, kStopped };
  bool SurveySector(int sector);
  void ReadTrailer(int sector, int key, SectorOnCard& card);
  void KeepOpeningKeys();
  TryResult Open(int sector, int keyMode, Key* opened);
  bool WriteSector(int sector, const std::vector<int>& blocks);
  WriteResult WriteBlock(int sector, int address, int& mode);
  WriteResult WriteTrailer(int sector, int& mode);
  WriteResult Send(int sector, int address, int key, int& mode, const std::string& text);
  unsigned TrailerReadsBack(int sector, int mode, const std::array<uint8_t, 16>& wanted);
  void UseKeysOnCard(int sector, unsigned stays);
  void Line(const std::string& text, bool select = false) { progress_.WriteLine(text, select); }
  // "扇区[05],块[2]:" and what became of the block, for the write list.
  std::string BlockLine(int address, const std::string& what) const;
  // Counts the block and lists `line`.
  WriteResult Refused(const std::string& line);
  WriteResult Written(int address, const std::string& hex);
  // The access group the card's bits give block `address`.
  int GroupOf(int address) const;

  const CardImage& dump_;
  const CardImage* found_;
  bool typedValid_;
  Key typed_ = 0;
  std::vector<SectorOnCard> card_;
  int planned_ = 0;
  int written_ = 0;
  int refused_ = 0;
};
