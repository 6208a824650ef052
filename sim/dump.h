#pragma once
// The card's memory on disk: a 1024-byte MIFARE Classic 1K image, blocks
// 0-63 in order, the layout of the common .mfd/.bin dumps.

#include <filesystem>
#include <string>

#include "sim/card.h"

namespace sim {

enum class DumpLoad { Loaded, Missing, Failed };

// On Failed, *problem names the file and what is wrong with it.
DumpLoad LoadDump(const std::filesystem::path& path, Memory* memory, std::string* problem);

// Writes a temporary file beside the dump and renames it over the dump, so
// a crash or a full disk leaves either the old image or the new one, never
// half of each.
bool SaveDump(const std::filesystem::path& path, const Memory& memory, std::string* problem);

}  // namespace sim
