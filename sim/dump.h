#pragma once
// The card's memory on disk, in whichever dump format the file holds (see
// cards/dump_file.h); a file created here is a raw image of the card's size.

#include <filesystem>
#include <string>

#include "cards/dump_file.h"

namespace sim {

enum class DumpLoad { Loaded, Missing, Failed };

// On Failed, *problem names the file and what is wrong with it; the file is
// not touched.
DumpLoad LoadDump(const std::filesystem::path& path, DumpFile* dump, std::string* problem);

// Writes a temporary file beside the dump and renames it over the dump, so
// a crash or a full disk leaves either the old dump or the new one, never
// half of each.
bool SaveDump(const std::filesystem::path& path, const DumpFile& dump, std::string* problem);

}  // namespace sim
