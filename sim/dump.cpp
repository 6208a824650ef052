#include "sim/dump.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "dcrf32/platform.h"
#include "sim/dump_rules.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace sim {

namespace fs = std::filesystem;

namespace {

// Read from the file's own mode, not by trying: the save renames a new file
// over the dump, which Linux and Wine allow whatever the old file's mode,
// and root passes every access() check.
#ifdef _WIN32
bool ReadOnly(const fs::path& path) {
  // The C runtime shows the read-only attribute as a mode without write bits.
  std::error_code ec;
  const fs::perms perms = fs::status(path, ec).permissions();
  return !ec && (perms & fs::perms::owner_write) == fs::perms::none;
}
#else
bool InGroup(gid_t group) {
  if (group == getegid()) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

bool ReadOnly(const fs::path& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;  // a missing dump is created
  // The one class of bits that applies to this user, as for anyone but root.
  mode_t bit = S_IWOTH;
  if (st.st_uid == geteuid())
    bit = S_IWUSR;
  else if (InGroup(st.st_gid))
    bit = S_IWGRP;
  return (st.st_mode & bit) == 0;
}
#endif

}  // namespace

// Far more than any dump with comments: a bigger file is not one, and is
// not read into memory whole.
constexpr uintmax_t kLargestDump = 1 << 20;

DumpLoad LoadDump(const fs::path& path, DumpFile* dump, std::string* problem) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return DumpLoad::Missing;
  const std::string name = "card dump " + dcrf32::DisplayPath(path);
  if (ec) {
    *problem = name + " cannot be read: " + ec.message();
    return DumpLoad::Failed;
  }
  // Windows will not open a folder at all, so the open's error would name a
  // missing permission instead.
  if (status.type() == fs::file_type::directory) {
    *problem = name + " is a folder";
    return DumpLoad::Failed;
  }
  std::FILE* file = dcrf32::OpenFile(path, "rb");
  if (file == nullptr) {
    *problem = name + " cannot be opened: " + std::strerror(errno);
    return DumpLoad::Failed;
  }
  std::string bytes;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && bytes.size() <= kLargestDump)
    bytes.append(buffer, got);
  const bool readError = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (readError) {
    *problem = name + " cannot be read: " + std::strerror(readErrno);
    return DumpLoad::Failed;
  }
  if (bytes.size() > kLargestDump) {
    *problem = name + " is over 1 MiB: not a MIFARE Classic dump";
    return DumpLoad::Failed;
  }
  std::string why;
  if (!ParseDump(bytes, dump, &why)) {
    *problem = name + " " + why;
    return DumpLoad::Failed;
  }
  return DumpLoad::Loaded;
}

bool SaveDump(const fs::path& path, const DumpFile& dump, std::string* problem) {
  const std::string bytes = WriteDump(dump);
  fs::path temporary = path;
  temporary += ".tmp";
  const std::string name = "card dump " + dcrf32::DisplayPath(path);
  if (ReadOnly(path)) {
    *problem = name + " not saved: the file is read-only";
    return false;
  }
  std::FILE* file = dcrf32::OpenFile(temporary, "wb");
  if (file == nullptr) {
    *problem = name + " not saved: cannot create " + dcrf32::DisplayPath(temporary) + ": " +
               std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                       dcrf32::SyncFile(file);
  const int writeErrno = errno;
  const bool closed = std::fclose(file) == 0;
  std::error_code ec;
  if (!written || !closed) {
    fs::remove(temporary, ec);
    *problem = name + " not saved: writing " + dcrf32::DisplayPath(temporary) + " failed: " +
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
