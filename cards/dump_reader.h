#pragma once
// A dump file read back into a card image, in any of the formats of
// dump_file.h. Dashes may stand for a whole block the dump does not hold or
// for a trailer's whole key it does not know, and an MCT file may leave
// sectors out; a card image has no room for other unknown bytes.

#include <string>

#include "cards/card_image.h"

// False, with *problem saying why (line numbers from 1), for a file that is
// none of the formats, is cut short, or holds anything but hex digits and
// those dashes.
bool ParseCardDump(const std::string& bytes, CardImage* image, std::string* problem);
