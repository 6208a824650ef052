#pragma once
// The card operations on their own, against the recording fake: no dialog,
// only a card link on the fake (opened, handle 7) and what the operations
// report.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cardtest/card_link.h"
#include "cardtest/find_card.h"
#include "fake_reader.h"
#include "recorded_progress.h"

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
