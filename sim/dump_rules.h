#pragma once
// What the virtual reader takes from a dump file: a whole card. Unlike the
// program, it needs every block, and may leave nothing unknown but a
// trailer's key bytes, which a card never shows.

#include <string>

#include "cards/dump_file.h"

namespace sim {

// False, with *problem saying why in the words of the reader's log (line
// numbers from 1), for a file that is none of the formats or is incomplete.
bool ParseDump(const std::string& bytes, DumpFile* dump, std::string* problem);

}  // namespace sim
