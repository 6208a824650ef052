#pragma once
// The card's memory on disk, in whichever dump format the file holds (see
// dump_format.h); a file created here is a raw 1024-byte image.

#include <filesystem>
#include <string>

#include "sim/dump_format.h"

namespace sim {

enum class DumpLoad { Loaded, Missing, Failed };

// On Failed, *problem names the file and what is wrong with it; the file is
// not touched.
DumpLoad LoadDump(const std::filesystem::path& path, DumpImage* image, DumpLayout* layout,
                  std::string* problem);

// Writes a temporary file beside the dump and renames it over the dump, so
// a crash or a full disk leaves either the old dump or the new one, never
// half of each.
bool SaveDump(const std::filesystem::path& path, const DumpImage& image, const DumpLayout& layout,
              std::string* problem);

}  // namespace sim
