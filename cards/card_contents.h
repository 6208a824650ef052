#pragma once
// What an NFC-formatted card carries, for the explanation of one of its
// sectors: the MAD on sector 0 (and MAD2 on sector 16 of a card over 1K),
// the NDEF message on a sector the MAD gives to NDEF. Read from the card
// image as far as it was read; the explanation says where it stops.

#include <string>
#include <vector>

#include "cards/card_image.h"

// Empty for a sector that holds neither, or when the card has no MAD (or
// its sector 0 trailer was not read).
std::vector<std::string> ContentLines(const CardImage& image, int sector);
