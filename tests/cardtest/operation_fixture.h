#pragma once
// The card operations on their own, against the recording fake: no dialog,
// only a card link on the fake (opened, handle 7) and what the operations
// report, in order.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cardtest/card_link.h"
#include "cardtest/find_card.h"
#include "cardtest/progress.h"
#include "fake_reader.h"

struct Recorded : Progress {
  struct Line {
    std::string text;
    LineKind kind;
    int sector, block;
  };
  std::vector<std::string> status;  // progress texts included
  std::vector<Line> readLines;
  std::vector<std::string> writeLines;
  // Asked between reader calls; nothing cancels unless a test says so.
  std::function<bool()> cancelWhen;

  void Status(const std::string& text) override { status.push_back(text); }
  void ReadLine(const std::string& text, LineKind kind, int sector, int block) override {
    readLines.push_back({text, kind, sector, block});
  }
  void WriteLine(const std::string& text, bool) override { writeLines.push_back(text); }
  bool CancelAsked() override { return cancelWhen && cancelWhen(); }

  std::vector<std::string> ReadTexts() const {
    std::vector<std::string> texts;
    for (const Line& line : readLines) texts.push_back(line.text);
    return texts;
  }
  // As the window empties its lists before the next command.
  void Clear() {
    status.clear();
    readLines.clear();
    writeLines.clear();
  }
};

class OperationTest : public ::testing::Test {
 protected:
  // Finds the fake's card as find card does, so a refusal can be followed
  // by waking it; the calls are recorded from after it.
  void FindTheCard() {
    CardIdentity shown;
    FindCard(link).Run(shown);
    Mark();
  }
  void Mark() { reader.log.clear(); }

  FakeReader reader;
  ReaderSession session = reader.Session(7);
  CardLink link{session};
  Recorded progress;
};
