#pragma once
// A reader whose answers are spoiled at random (the reader switches
// --chaos SEED,PERCENT and --chaos-log FILE, firmware.h): PERCENT of the
// answers are cut short, oversized, given a wrong status word, replaced
// with noise, or the card is pulled from the field mid-command, its answer
// never sent. Each APDU leaves one line in the chaos log (what was done to
// its answer), written before the answer goes out.

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "firmware.h"

namespace responder {

class Chaos {
 public:
  explicit Chaos(const ReaderOptions& options)
      : random_(options.chaosSeed.value_or(0)), percent_(options.chaosSeed ? options.chaosPercent : 0) {
    if (!options.chaosLog.empty()) log_ = std::fopen(options.chaosLog.c_str(), "a");
  }
  ~Chaos() {
    if (log_) std::fclose(log_);
  }
  Chaos(const Chaos&) = delete;
  Chaos& operator=(const Chaos&) = delete;

  // Spoils the answer or not; false: pull the card instead of answering.
  bool Spoil(Bytes* answer) {
    std::string what = "clean";
    bool answerIt = true;
    if (Roll(100) < percent_) {
      // A pulled card costs the tests most time, so it is the rarest.
      const int kind = Roll(20);
      switch (kind < 5 ? 0 : kind < 10 ? 1 : kind < 15 ? 2 : kind < 19 ? 3 : 4) {
        case 0: {
          // Never empty: vpcd reads an empty frame as no answer yet and
          // waits for ever, where a real reader's driver would time out.
          what = "short";
          answer->resize(1 + Roll(static_cast<int>(answer->size()) - 1));
          break;
        }
        case 1: {
          what = "oversized";
          // Data past what was asked for, the status word still 90 00.
          const int extra = 1 + Roll(300);
          Bytes noise(extra);
          for (uint8_t& b : noise) b = static_cast<uint8_t>(Roll(256));
          answer->insert(answer->end() - std::min<size_t>(2, answer->size()), noise.begin(),
                         noise.end());
          break;
        }
        case 2: {
          what = "status";
          static const uint16_t kWrong[] = {0x6300, 0x6A82, 0x6982, 0x6700, 0x9001, 0x6281, 0x0000};
          const uint16_t sw = kWrong[Roll(7)];
          if (answer->size() < 2) answer->resize(2);
          (*answer)[answer->size() - 2] = static_cast<uint8_t>(sw >> 8);
          (*answer)[answer->size() - 1] = static_cast<uint8_t>(sw);
          break;
        }
        case 3: {
          what = "noise";
          answer->resize(1 + Roll(24));
          for (uint8_t& b : *answer) b = static_cast<uint8_t>(Roll(256));
          // Noise that happens to end in 90 00 is an answer, not noise.
          if (answer->size() >= 2 && answer->back() == 0x00 && (*answer)[answer->size() - 2] == 0x90)
            answer->back() = 0x01;
          break;
        }
        default:
          what = "pulled";
          answerIt = false;
          break;
      }
    }
    if (log_) {
      std::fprintf(log_, "%s\n", what.c_str());
      std::fflush(log_);
    }
    return answerIt;
  }

 private:
  int Roll(int below) {
    if (below <= 0) return 0;
    return std::uniform_int_distribution<int>(0, below - 1)(random_);
  }

  std::mt19937 random_;
  int percent_;
  std::FILE* log_ = nullptr;
};

}  // namespace responder
