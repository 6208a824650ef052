#pragma once
// What a card operation reported, in order, for the tests to look at.

#include <functional>
#include <string>
#include <vector>

#include "cardtest/progress.h"

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
