#pragma once
// What every card operation shares: the card link it works on, the
// progress it reports through, and the one cancel poll.

#include "cardtest/card_link.h"
#include "cardtest/progress.h"

class CardOperation {
 protected:
  CardOperation(CardLink& link, Progress& progress) : link_(link), progress_(progress) {}

  // Wakes the card if a refusal left it idle; when another card or none
  // answers, tells the user to find the card again and gives false.
  bool Wake();
  // Between two reader calls: keeps the window alive, also after a cancel
  // while a sector is finished; true once the user has asked to cancel, and
  // from then on.
  bool Cancelled() {
    if (progress_.CancelAsked()) cancelled_ = true;
    return cancelled_;
  }

  CardLink& link_;
  Progress& progress_;
  bool cancelled_ = false;
};
