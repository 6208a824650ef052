#pragma once
// A card image as a dump file, in the formats of dump_file.h. Raw cannot say
// "unknown", and the tools that read .eml expect no dashes, so both take
// complete images only.

#include <string>

#include "cards/card_image.h"
#include "cards/dump_file.h"

using DumpKind = DumpFormat;

// False, with *problem naming the incomplete sectors, when `kind` cannot
// hold the image.
bool RenderCardDump(const CardImage& image, DumpKind kind, std::string* out, std::string* problem);
