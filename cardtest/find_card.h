#pragma once
// Find card: resets the field, requests, resolves collisions and selects
// the card, then asks for its ATS and activates it a second time, so that
// it is left selected at ISO/IEC 14443-3 for the sector commands.

#include <string>

#include "cardtest/card_link.h"

// What the window shows of the card, as far as find card got.
struct CardIdentity {
  std::string atqa, csn, sak, type, ats, status;
};

class FindCard {
 public:
  explicit FindCard(CardLink& link) : link_(link) {}
  // Updates `shown` step by step; false once a step has failed, with the
  // status naming it.
  bool Run(CardIdentity& shown);

 private:
  // What one run carries from its first activation to its second.
  struct Activation {
    uint32_t tagType = 0;
    uint32_t serial = 0;
    uint32_t conversions = 0;  // the text conversions' counter
  };
  bool Activate(Activation& activation, const char* unknownFormat, CardIdentity& shown);

  CardLink& link_;
};
