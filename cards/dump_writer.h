#pragma once
// A card image as a dump file, in the three formats the common card tools
// (and our virtual reader) read:
//   Mct  "+Sector: N" lines, each followed by four blocks of 32 hex digits;
//        an unknown key is 12 dashes, an unread block 32 dashes
//   Raw  1024 bytes, blocks 0 to 63 (.bin, .mfd)
//   Eml  64 lines of 32 hex digits
// Raw and Eml cannot say "unknown", so they take complete images only.

#include <string>

#include "cards/card_image.h"

enum class DumpKind { Mct, Raw, Eml };

// False, with *problem naming the incomplete sectors, when `kind` cannot
// hold the image.
bool RenderCardDump(const CardImage& image, DumpKind kind, std::string* out, std::string* problem);
