#pragma once
// How a card operation tells the user what it is doing, and hears a cancel:
// the main dialog shows each report at once; a test records them.

#include <string>


// What a line of the read list reports. 0 is no kind: a line without one is
// no line of ours.
enum LineKind { kAuthOk = 1, kAuthFailed = 2, kBlockLine = 3 };

class Progress {
 public:
  virtual ~Progress() = default;
  // The status line, shown at once.
  virtual void Status(const std::string& text) = 0;
  // The status line of a long command under way: of a quick run of them the
  // window may show only some, as long as the last one shown is recent.
  virtual void Working(const std::string& text) { Status(text); }
  // A line for the read list, carrying what it reports; it is selected.
  virtual void ReadLine(const std::string& text, LineKind kind, int sector, int block) = 0;
  // A line for the write list, selected when `select`.
  virtual void WriteLine(const std::string& text, bool select) = 0;
  // Keeps the window alive between two reader calls; true once the user has
  // asked to cancel (and from then on).
  virtual bool CancelAsked() = 0;
};
