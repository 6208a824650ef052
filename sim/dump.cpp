#include "sim/dump.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "sim/platform.h"

namespace sim {

namespace fs = std::filesystem;

DumpLoad LoadDump(const fs::path& path, Memory* memory, std::string* problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return DumpLoad::Missing;
  const std::string name = "card dump " + DisplayPath(path);
  if (ec) {
    *problem = name + " cannot be read: " + ec.message();
    return DumpLoad::Failed;
  }
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) {
    *problem = name + " cannot be opened: " + std::strerror(errno);
    return DumpLoad::Failed;
  }
  // One byte more than needed tells a long file from a right-sized one.
  uint8_t buffer[kMemorySize + 1];
  const size_t got = std::fread(buffer, 1, sizeof buffer, file);
  const bool readError = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (readError) {
    *problem = name + " cannot be read: " + std::strerror(readErrno);
    return DumpLoad::Failed;
  }
  if (got != static_cast<size_t>(kMemorySize)) {
    const auto size = fs::file_size(path, ec);
    *problem = name + " has " + (ec ? std::to_string(got) : std::to_string(size)) +
               " bytes; a MIFARE Classic 1K image has 1024";
    return DumpLoad::Failed;
  }
  std::memcpy(memory->data(), buffer, kMemorySize);
  return DumpLoad::Loaded;
}

bool SaveDump(const fs::path& path, const Memory& memory, std::string* problem) {
  fs::path temporary = path;
  temporary += ".tmp";
  const std::string name = "card dump " + DisplayPath(path);
  std::FILE* file = OpenFile(temporary, "wb");
  if (file == nullptr) {
    *problem = name + " not saved: cannot create " + DisplayPath(temporary) + ": " +
               std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(memory.data(), 1, memory.size(), file) == memory.size() &&
                       SyncFile(file);
  const int writeErrno = errno;
  const bool closed = std::fclose(file) == 0;
  std::error_code ec;
  if (!written || !closed) {
    fs::remove(temporary, ec);
    *problem = name + " not saved: writing " + DisplayPath(temporary) + " failed: " +
               std::strerror(writeErrno);
    return false;
  }
  // Replaces an existing dump in one step on both systems: mingw's libstdc++
  // renames with MoveFileExW and MOVEFILE_REPLACE_EXISTING.
  fs::rename(temporary, path, ec);
  if (ec) {
    const std::string reason = ec.message();
    fs::remove(temporary, ec);
    *problem = name + " not saved: cannot replace it: " + reason;
    return false;
  }
  return true;
}

}  // namespace sim
