#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dialog/file.h"

namespace dlg {

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = std::strerror(errno);
    return false;
  }
  std::string data;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    *error = "read error";
    return false;
  }
  bytes->swap(data);
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  // The temporary name must be no user's file: created exclusively, so an
  // existing file of that name is passed over, never written or removed.
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  bool ok = true;
  int saved = 0;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
    else saved = n < 0 ? errno : EIO;
  }
  if (ok && fsync(fd) != 0) {
    ok = false;
    saved = errno;
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    *error = std::strerror(saved);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace dlg
