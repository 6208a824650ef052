#pragma once
// A dump file read back into a card image, in any of the three formats the
// dump writer produces, told apart by content (see dump_writer.h). In MCT
// text a block of dashes is a block the dump does not hold, a missing
// "+Sector" a sector it does not hold, and dashes over a trailer's key
// bytes a key it does not know.

#include <string>

#include "cards/card_image.h"

// False, with *problem saying why (line numbers from 1), for a file that is
// none of the formats, is cut short, or holds anything but hex digits and
// those dashes.
bool ParseCardDump(const std::string& bytes, CardImage* image, std::string* problem);
