#pragma once
// A recording fake of the reader library for the card command tests. A
// session made by the fake logs every call as text
// ("dc_load_key(7,0,3,FFFFFFFFFFFF)") and every pause as "pause", in the
// order they happen, into the one fake that exists.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "reader/session.h"

class FakeReader {
 public:
  FakeReader();
  ~FakeReader();
  FakeReader(const FakeReader&) = delete;
  FakeReader& operator=(const FakeReader&) = delete;

  // A reader session on this fake, opened with `handle` (0: not opened).
  ReaderSession Session(int32_t handle = 0) const;

  // What the card answers.
  int32_t initResult = 7;
  uint32_t tagType = 0x0004;
  uint32_t serial = 0x917E5C3A;  // UID 3A 5C 7E 91
  uint8_t sak = 0x08;
  std::string ats = "0578807002";
  std::map<int, std::string> blocks;  // block address -> 32 digits; others: BlockText()
  // The card's keys by sector ("A0A1A2A3A4A5"), key A and key B: when a
  // sector has one, authenticating it with that key type needs the reader
  // to hold that very key for the sector. Sectors without one take any key.
  std::map<int, std::string> keysA, keysB;
  // The reader's key memory, by (mode, sector), as dc_load_key left it.
  std::map<std::pair<int, int>, std::string> loaded;
  // Like a real card, one that refused an authentication, read or write (or
  // whose field was reset) answers none of them until it is selected again.
  bool idle = false;
  // The sector the card was last opened for (-1: none): like a card, the
  // fake reads and writes only blocks of that sector.
  int authenticated = -1;

  // Failures: a call fails when its logged text starts with `prefix`; with
  // an occurrence, only that (1-based) match of the prefix fails.
  void Fail(const std::string& prefix, int occurrence = 0);
  // Any further rule, consulted for every call (the fuzz test's dice).
  std::function<bool(const std::string& call)> failIf;

  // The data a block reads as unless `blocks` says otherwise: its address
  // repeated, so every block is told apart ("0505...05" for block 5).
  static std::string BlockText(int block);

  std::vector<std::string> log;
  // The log without pauses.
  std::vector<std::string> Calls() const;
  // The calls of one function, in order.
  std::vector<std::string> CallsOf(const std::string& function) const;
  // True when every call but dc_init and dc_beep is followed by exactly one
  // pause, and those two by none.
  bool PausedAfterEveryCall() const;

  // Used by the table's functions.
  static FakeReader* current;
  int16_t Status(const std::string& call, bool refused = false);

 private:
  struct Rule {
    std::string prefix;
    int occurrence;
    int seen;
  };
  std::vector<Rule> rules_;
};
